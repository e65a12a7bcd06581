#pragma once
// A main window stand-in for programs that open the windows without the program's main
// window (benches, the child processes of tests): the data module and its log, no base to
// select, the master user. Needs no test framework.
#include <string>

#include "shell/widgets/principal.h"
#include "store/data_module.h"

namespace shell::testing {

class PrincipalSemJanela : public Principal {
 public:
  // grava_log false leaves the log out, for a bench that should not time its writes.
  explicit PrincipalSemJanela(store::TdmTributarium& dm, bool grava_log = true)
      : dm_(dm), grava_log_(grava_log) {}
  store::TdmTributarium& dm() override { return dm_; }
  QWidget* janela() override { return nullptr; }
  void GravaLog(const std::string& linha) override {
    if (grava_log_) dm_.GravaLog(linha);
  }
  void MostraSubTitulo() override {}
  bool SelecionaBase(const QString&, const QString&) override { return false; }
  bool UsuarioMestre() const override { return true; }
  QString BaseAtual() const override { return {}; }
  QString PastaAtual() const override { return {}; }
  QString PathBaseDados() const override { return {}; }

 private:
  store::TdmTributarium& dm_;
  bool grava_log_;
};

}  // namespace shell::testing
