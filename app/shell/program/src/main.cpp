// tributarium: the accountant's program.
#include <QApplication>

#include "shell/program/main_window.h"
#include "shell/program/termination_signals.h"
#include "shell/widgets/dialogos.h"
#include "store/data_module.h"

namespace {

// Errors that escape an event handler are shown and the program goes on.
class Aplicacao : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* o, QEvent* e) override {
    try {
      return QApplication::notify(o, e);
    } catch (const std::exception& erro) {
      shell::msg::ErroGeral(activeWindow(), QString::fromUtf8(erro.what()));
    } catch (...) {
      shell::msg::ErroGeral(activeWindow(), QStringLiteral("Erro desconhecido."));
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  Aplicacao app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tributarium"));
  shell::CarregaTraducoesQt();
  // Declared before the windows and the data module, so that it outlives them on the
  // way out.
  shell::TerminationSignals termination;
  store::TdmTributarium dm;
  shell::TformTributarium janela(dm);
  switch (janela.Inicia()) {
    case shell::TformTributarium::Partida::Cancelada:
      return 0;
    case shell::TformTributarium::Partida::Falhou:
      return 1;
    case shell::TformTributarium::Partida::Pronta:
      break;
  }
  janela.showMaximized();
  janela.SelecionaBaseAtivacao();
  return app.exec();
}
