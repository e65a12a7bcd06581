#pragma once
// What the embedded windows may ask of the main window: the log, the subtitle, the base
// selection and the session values. Tests give the editors a small stand-in.
#include <QString>
#include <string>

class QWidget;

namespace store {
class TdmTributarium;
}

namespace shell {

class Principal {
 public:
  virtual ~Principal() = default;
  virtual store::TdmTributarium& dm() = 0;
  // The window that owns dialogs.
  virtual QWidget* janela() = 0;
  virtual void GravaLog(const std::string& linha) = 0;
  virtual void MostraSubTitulo() = 0;
  // Makes a base current; false when its database could not be opened (already shown).
  virtual bool SelecionaBase(const QString& nome, const QString& pasta) = 0;
  virtual bool UsuarioMestre() const = 0;
  virtual QString BaseAtual() const = 0;
  // PathBaseDados before any selection, the selected base's folder after one.
  virtual QString PastaAtual() const = 0;
  // The databases folder read at start-up (holds the template folder Default).
  virtual QString PathBaseDados() const = 0;
};

}  // namespace shell
