// Opens a client base as the program does when one is selected (TrocarBanco: every list
// the windows show is read), then the invoice list and the products editor themselves on
// the offscreen platform, and reports the time until each shows its first row, what one
// more batch and scrolling on cost, their refresh after a save, and the memory taken.
//   office_lista_bench PATHBASEDADOS PASTA_DA_BASE [--inteira]
// --inteira also reads the invoice list whole at the end, as a reader of Rows() does.
#include <sys/resource.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>

#include "shell/editors/products_editor.h"
#include "shell/invoices/invoice_list.h"
#include "shell/testing/principal_sem_janela.h"
#include "shell/widgets/principal.h"
#include "store/data_module.h"

namespace {

long peak_kb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

long rss_kb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * 4;
}

using Relogio = std::chrono::steady_clock;

double since(Relogio::time_point t) {
  return std::chrono::duration<double>(Relogio::now() - t).count();
}

// A window shown, its grid scrolled to the end step by step as a user drags the bar down.
void Mede(const char* nome, QWidget& janela, QTableView* grade, Relogio::time_point selecao,
          const std::function<void()>& atualiza) {
  auto t = Relogio::now();
  janela.resize(1000, 700);
  janela.show();
  QApplication::processEvents();
  QAbstractItemModel* m = grade->model();
  std::printf(
      "%s: first row shown %.2f s after the window opened (%.2f s after the base "
      "was selected), %d rows in the grid, rss %ld KB\n",
      nome, since(t), since(selecao), m->rowCount(), rss_kb());
  t = Relogio::now();
  int antes = m->rowCount();
  grade->scrollToBottom();
  QApplication::processEvents();
  std::printf("%s: one more batch (scrolled to the end): %.3f s, %d -> %d rows\n", nome, since(t),
              antes, m->rowCount());
  t = Relogio::now();
  antes = m->rowCount();
  const int passos = 20;
  for (int i = 0; i < passos; ++i) {
    grade->scrollToBottom();
    QApplication::processEvents();
  }
  std::printf("%s: scrolling on, %d times to the end: %.3f s each, %d -> %d rows, rss %ld KB\n",
              nome, passos, since(t) / passos, antes, m->rowCount(), rss_kb());
  t = Relogio::now();
  atualiza();
  QApplication::processEvents();
  std::printf("%s: refreshed as after a save: %.2f s, %d rows in the grid\n", nome, since(t),
              m->rowCount());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4 || (argc == 4 && std::strcmp(argv[3], "--inteira") != 0)) {
    std::fprintf(stderr, "uso: office_lista_bench PATHBASEDADOS PASTA_DA_BASE [--inteira]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  try {
    store::TdmTributarium dm;
    dm.ListaLogDoDia = false;
    dm.PathBaseDados = argv[1];
    dm.ConectaCatalogo();
    shell::testing::PrincipalSemJanela principal(dm);
    const auto selecao = Relogio::now();
    dm.TrocarBanco("", argv[2]);
    std::printf(
        "selecting the base (every list opened, the long ones one batch each): %.2f s, "
        "rss %ld KB\n",
        since(selecao), rss_kb());
    {
      shell::TfrmNotasFiscais lista(principal);
      Mede("invoice list", lista, lista.grdNotas(), selecao, [&] { lista.Atualiza(); });
    }
    {
      shell::TfrmProdutos produtos(principal);
      Mede("products editor", produtos, produtos.grdProdutos(), selecao,
           [&] { dm.tProduto.Refresh(); });
    }
    std::printf("peak memory so far: %ld KB\n", peak_kb());
    if (argc == 4) {
      const auto t = Relogio::now();
      const std::size_t notas = dm.tNotaFiscal.Rows().size();
      std::printf(
          "invoice list read whole (%zu rows, as a reader of Rows() does): %.2f s, "
          "peak %ld KB\n",
          notas, since(t), peak_kb());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
