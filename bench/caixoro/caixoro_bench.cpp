#include <benchmark/benchmark.h>
#include <shapefil.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>

#include "caixoro.h"
#include "caixoro_windows.h"
#include "invoice_rules.h"
#include "testing/dbf_fixture.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Pasta() {
  static fs::path p = [] {
    fs::path d = fs::temp_directory_path() / "caixoro-bench";
    fs::create_directories(d);
    std::vector<std::vector<std::string>> pro, trb;
    for (int i = 1; i <= 100000; ++i)
      pro.push_back({std::to_string(i), "Produto de teste " + std::to_string(i), "12.500", "",
                     "4.99", "K", "T" + std::to_string(i % 100)});
    for (int i = 0; i < 100; ++i) trb.push_back({"T" + std::to_string(i), "18.00", "T"});
    shell::testing::EscreveDbf(d / "Qzapro.dbf", shell::testing::TabelaProdutos(pro));
    shell::testing::EscreveDbf(d / "Qzatrb.dbf", shell::testing::TabelaTributos(trb));
    return d;
  }();
  return p;
}

void BM_LeProdutos(benchmark::State& s) {
  const fs::path& d = Pasta();
  for (auto _ : s) benchmark::DoNotOptimize(shell::caixoro::LeProdutos(d));
  s.SetItemsProcessed(s.iterations() * 100000);
}
BENCHMARK(BM_LeProdutos)->Unit(benchmark::kMillisecond);

// The bare loop: every field of the seven read as a string, nothing else.
void BM_ShapelibPuro(benchmark::State& s) {
  const std::string arquivo = (Pasta() / "Qzapro.dbf").string();
  for (auto _ : s) {
    DBFHandle h = DBFOpen(arquivo.c_str(), "rb");
    std::size_t n = 0;
    int campos[7];
    for (int f = 0; f < 7; ++f) campos[f] = f;
    for (int r = 0; r < DBFGetRecordCount(h); ++r) {
      if (DBFIsRecordDeleted(h, r)) continue;
      for (int f : campos) n += std::strlen(DBFReadStringAttribute(h, r, f));
    }
    DBFClose(h);
    benchmark::DoNotOptimize(n);
  }
  s.SetItemsProcessed(s.iterations() * 100000);
}
BENCHMARK(BM_ShapelibPuro)->Unit(benchmark::kMillisecond);

std::vector<shell::caixoro::ProdutoLido>& Lista() {
  static auto l = shell::caixoro::LeProdutos(Pasta());
  return l;
}

void BM_MarcarTodos(benchmark::State& s) {
  shell::TfrmImportarProdutos w(Lista());
  bool marca = true;
  for (auto _ : s) {
    w.MarcarTodos(marca);
    marca = !marca;
  }
}
BENCHMARK(BM_MarcarTodos)->Unit(benchmark::kMicrosecond);

void BM_TrocaDePagina(benchmark::State& s) {
  shell::TfrmImportarProdutos w(Lista());
  for (auto _ : s) {
    if (w.pagina() == w.paginas()) w.Primeiro();
    w.Proximo();
  }
}
BENCHMARK(BM_TrocaDePagina)->Unit(benchmark::kMicrosecond);

void BM_Totais999(benchmark::State& s) {
  std::vector<shell::ValoresItem> itens(999, {"123456", "1000", "500", "000", "1800"});
  for (auto _ : s) benchmark::DoNotOptimize(shell::CalculaTotais(itens, "100", "200"));
}
BENCHMARK(BM_Totais999)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  fs::remove_all(fs::temp_directory_path() / "caixoro-bench");
  return 0;
}
