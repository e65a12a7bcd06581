// Rows per second writing invoice items through the stored procedure and reading them
// back through the generation's item query.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "store/data_module.h"
#include "store/entities.h"

namespace {

namespace fs = std::filesystem;
using namespace store;

constexpr int kItemsPerInvoice = 100;

// With forced writes (every commit reaches the disk, as delivered) the disk's sync time
// dominates, so that run writes fewer items by default.
int rows_wanted(bool forced_writes) {
  const char* e = std::getenv(forced_writes ? "STORE_BENCH_SYNC_ROWS" : "STORE_BENCH_ROWS");
  return e ? std::atoi(e) : (forced_writes ? 2000 : 100000);
}

std::string server() {
  const char* e = std::getenv("STORE_BENCH_SERVER");
  return e ? e : "";
}

struct Database {
  fs::path dir;
  std::unique_ptr<TdmTributarium> dm;

  explicit Database(bool forced_writes) {
    std::string tmpl = (fs::temp_directory_path() / "store-bench-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    dir = tmpl;
    fs::copy_file(fs::path(STORE_SHARE_DIR) / kCatalogFile, dir / kCatalogFile);
    fs::create_directories(dir / kTemplateFolder);
    fs::copy_file(fs::path(STORE_SHARE_DIR) / kTemplateFolder / kDataFile,
                  dir / kTemplateFolder / kDataFile);
    if (!forced_writes) {
      std::string cmd =
          "gfix -user SYSDBA -write async '" + (dir / kTemplateFolder / kDataFile).string() + "'";
      if (std::system(cmd.c_str()) != 0) std::abort();
    }
    dm = std::make_unique<TdmTributarium>();
    dm->PathBaseDados = location(dir);
    dm->ConectaCatalogo();
    dm->TrocarBanco("Default", location(dir / kTemplateFolder));
  }
  ~Database() {
    dm.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  static std::string location(const fs::path& p) {
    return server().empty() ? p.string() : server() + ":" + p.string();
  }
};

Database* db = nullptr;

void BM_InsertItems(benchmark::State& state) {
  bool forced_writes = state.range(0) != 0;
  state.SetLabel(forced_writes ? "forced writes (as delivered)" : "forced writes off");
  int total = rows_wanted(forced_writes);
  for (auto _ : state) {
    state.PauseTiming();
    delete db;
    db = new Database(forced_writes);
    TdmTributarium& m = *db->dm;
    state.ResumeTiming();
    int invoice = 0;
    for (int i = 0; i < total; ++i) {
      if (i % kItemsPerInvoice == 0) {
        TNotaFiscal n;
        n.NB_NOTA = ++invoice;
        n.TX_CNPJ = "11222333000181";
        n.TX_UF = std::string("SP");
        n.DT_EMISSAO = {2024, 1 + invoice % 12, 1 + invoice % 28};
        n.TX_EMITENTE = "Terceiro";
        n.TX_ALIQUOTA = "1800";
        n.TX_VALOR_TOTAL = "100000";
        if (!n.Inserir()) state.SkipWithError("invoice not written");
        invoice = n.ID_NOTA;
      }
      StoredProc& sp = m.spInserirProdutoNota;
      if (!m.trDados.InTransaction()) m.trDados.StartTransaction();
      sp.ClearParams();
      sp.SetParam("CD_PRODUTO", std::to_string(1000 + i % kItemsPerInvoice));
      sp.SetParam("NB_ITEM", std::int64_t{i % kItemsPerInvoice + 1});
      sp.SetParam("TX_QUANTIDADE", "1000");
      sp.SetParam("TX_VALOR_ITEM", "1990");
      sp.SetParam("TX_VALOR_DESCONTO", "0");
      sp.SetParam("TX_BASE_ICMS", "1990");
      sp.SetParam("TX_BASE_SUBSTITUICAO", "0");
      sp.SetParam("TX_VALOR_IPI", "0");
      sp.SetParam("TX_ALIQUOTA", "1800");
      sp.SetParam("NB_CST", std::int64_t{0});
      sp.SetParam("TX_DESCRICAO", "Item de nota fiscal de teste");
      sp.SetParam("ID_NOTA", std::int64_t{invoice});
      sp.ExecProc();
      m.trDados.CommitRetaining();
    }
  }
  state.counters["rows"] = total;
  state.counters["rows_per_s"] =
      benchmark::Counter(total, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ReadItems(benchmark::State& state) {
  if (!db) {
    state.SkipWithError("run after BM_InsertItems");
    return;
  }
  Query& q = db->dm->qBuscaProdutoNF;
  std::size_t rows = 0;
  for (auto _ : state) {
    q.Close();
    q.SetParam("DtInicial", Date{2024, 1, 1});
    q.SetParam("DtFinal", Date{2024, 12, 31});
    q.Open();
    rows = q.Rows().size();
  }
  q.Close();
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["rows_per_s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsIterationInvariantRate);
  delete db;
  db = nullptr;
}

BENCHMARK(BM_InsertItems)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ReadItems)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
