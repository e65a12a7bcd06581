// Opens a client base as the program does when one is selected (TrocarBanco: every list
// the windows show is read) and reports the time until the invoice list and the products
// editor have their first row, and the memory taken.
//   office_lista_bench PATHBASEDADOS PASTA_DA_BASE
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <exception>

#include "store/data_module.h"

namespace {

long peak_kb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

double since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "uso: office_lista_bench PATHBASEDADOS PASTA_DA_BASE\n");
    return 2;
  }
  try {
    store::TdmTributarium dm;
    dm.ListaLogDoDia = false;
    dm.PathBaseDados = argv[1];
    dm.ConectaCatalogo();
    auto t = std::chrono::steady_clock::now();
    dm.TrocarBanco("", argv[2]);
    double aberta = since(t);
    std::printf("selecting the base (every list read): %.2f s, peak %ld KB\n", aberta, peak_kb());
    // The grids show what the queries read in their first batch.
    std::printf("invoice list: %zu rows read, first row shown after %.2f s\n",
                dm.tNotaFiscal.Fetched().size(), aberta);
    std::printf("products editor: %zu rows read, first row shown after %.2f s\n",
                dm.tProduto.Fetched().size(), aberta);
    t = std::chrono::steady_clock::now();
    dm.tNotaFiscal.FetchMore();
    std::printf("invoice list, one more batch (scrolling to its end): %.4f s\n", since(t));
    t = std::chrono::steady_clock::now();
    dm.tNotaFiscal.Refresh();
    std::printf("invoice list refreshed (after each invoice saved): %.2f s\n", since(t));
    t = std::chrono::steady_clock::now();
    dm.tProduto.Refresh();
    std::printf("products list refreshed (after each product saved): %.2f s\n", since(t));
    t = std::chrono::steady_clock::now();
    std::size_t notas = dm.tNotaFiscal.Rows().size();
    std::printf(
        "invoice list read whole (%zu rows, as a reader of Rows() does): %.2f s, peak %ld KB\n",
        notas, since(t), peak_kb());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
