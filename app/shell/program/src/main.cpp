// tributarium: the accountant's program.
#include <QApplication>
#include <cstdio>
#include <cstring>

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

// Answered before the application exists, so that it needs no display.
constexpr char kAjuda[] =
    "uso: tributarium [OPÇÕES DO QT]\n"
    "\n"
    "O programa do escritório: as bases de dados de cada empresa cliente (notas fiscais,\n"
    "produtos, inventário) e o arquivo Sintegra do mês. A configuração é Tributarium.ini\n"
    "na pasta atual; a primeira partida numa pasta sem bases instala o catálogo entregue\n"
    "(entre como ADMIN, senha admin). tributarium-cli faz o mesmo trabalho sem janelas.\n"
    "\n"
    "  -h, --help  mostra este texto\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
      return std::fputs(kAjuda, stdout) < 0 ? 1 : 0;
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
