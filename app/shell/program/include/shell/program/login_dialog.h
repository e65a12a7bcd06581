#pragma once
// The login dialog: login and password checked against the catalogue's LOGIN procedure.
#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace store {
class TdmTributarium;
}

namespace shell {

struct UsuarioLogado {
  int id = 0;
  QString login;
  QString nome;
  bool mestre = false;
};

class TPasswordDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TPasswordDlg(store::TdmTributarium& dm, QWidget* pai = nullptr);

  const UsuarioLogado& usuario() const { return usuario_; }
  QLineEdit* edtLogin() const { return edtLogin_; }
  QLineEdit* edtSenha() const { return edtSenha_; }
  QPushButton* btnOK() const { return btnOK_; }
  QPushButton* btnCancel() const { return btnCancel_; }

  // The "OK" button: accepts the dialog only for a valid login and password.
  void Confirma();

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  store::TdmTributarium& dm_;
  UsuarioLogado usuario_;
  QLineEdit* edtLogin_;
  QLineEdit* edtSenha_;
  QPushButton* btnOK_;
  QPushButton* btnCancel_;
};

}  // namespace shell
