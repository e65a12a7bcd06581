#pragma once
// Base of the editors shown in the main window's content area: caption (the subtitle),
// help context, the changed mark and the leave-with-changes question on close.
#include <QWidget>

namespace shell {

class Principal;

class JanelaEmbutida : public QWidget {
  Q_OBJECT
 public:
  JanelaEmbutida(Principal& principal, const QString& titulo, int contextoAjuda,
                 QWidget* pai = nullptr);

  int contextoAjuda() const { return contexto_; }
  bool alterado() const { return alterado_; }
  void setAlterado(bool a) { alterado_ = a; }

  // Asks to close: with the changed mark set the user is asked first. True when the
  // window agreed to go (the caller releases it).
  virtual bool PedeFechar();

 protected:
  Principal& principal_;

 private:
  int contexto_;
  bool alterado_ = false;
};

}  // namespace shell
