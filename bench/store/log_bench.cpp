// Time of one operation-log line (GravaLog: the write, its commit and bringing today's
// list up to date) when the day already holds 100, 10,000 or 50,000 lines.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "common/clock.h"
#include "store/data_module.h"

namespace {

namespace fs = std::filesystem;
using namespace store;

std::string server() {
  const char* e = std::getenv("STORE_BENCH_SERVER");
  return e ? e : "";
}

std::string location(const fs::path& p) {
  return server().empty() ? p.string() : server() + ":" + p.string();
}

// Lines of the length the program writes.
const char* const kLines[] = {
    "spInserirProdutoNota:  - Sucesso! ",
    "--> Inicio CarregaRegistroTipo50.",
    "<-- Fim CarregaRegistroTipo54 - SUCESSO.",
    "spAlterarInventario - id: 1234 - Sucesso! ",
    "spInserirBase - Falha: Ocorreu um erro durante a execução dessa operação.",
};

// A catalogue whose day already holds `lines` lines, spread from midnight to now, the
// module connected to it.
struct Catalogue {
  fs::path dir;
  std::unique_ptr<TdmTributarium> dm;

  explicit Catalogue(int lines) {
    std::string tmpl = (fs::temp_directory_path() / "store-log-bench-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) std::abort();
    dir = tmpl;
    fs::copy_file(fs::path(STORE_SHARE_DIR) / kCatalogFile, dir / kCatalogFile);
    // Each line's commit would otherwise wait for the disk, whatever the list costs;
    // STORE_BENCH_SYNC=1 keeps forced writes on, as delivered.
    const char* sync = std::getenv("STORE_BENCH_SYNC");
    if (!sync || std::string(sync) != "1") {
      std::string cmd = "gfix -user SYSDBA -write async '" + (dir / kCatalogFile).string() + "'";
      if (std::system(cmd.c_str()) != 0) std::abort();
    }

    dm = std::make_unique<TdmTributarium>();
    dm->PathBaseDados = location(dir);
    dm->ConectaCatalogo();
    common::LocalDateTime now = common::clock::local_now();
    int seconds = now.hour * 3600 + now.minute * 60 + now.second;
    StoredProc& sp = dm->spLogOperacao;
    for (int i = 0; i < lines; ++i) {
      int s = static_cast<int>(static_cast<long long>(seconds) * i / lines);
      sp.ClearParams();
      sp.SetParam("ID_USUARIO", std::int64_t{1});
      sp.SetParam("DATA", Date{now.year, now.month, now.day});
      sp.SetParam("HORA", Time{s / 3600, s / 60 % 60, s % 60});
      sp.SetParam("TX_OPERACAO", std::string(kLines[i % 5]));
      sp.ExecProc();
      if (i % 1000 == 999) dm->trCatalogo.CommitRetaining();
    }
    dm->trCatalogo.CommitRetaining();
    dm->ConectaCatalogo();  // as the program starts: today's list read whole once
    // The first line after start-up also prepares its statements: not what is measured.
    dm->GravaLog("--> Inicio do teste.");
  }
  ~Catalogue() {
    dm.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

void BM_GravaLog(benchmark::State& state) {
  auto lines = static_cast<int>(state.range(0));
  Catalogue c(lines);
  TdmTributarium& m = *c.dm;
  bool failed = false;
  m.OnLogError = [&](const std::string&) { failed = true; };
  int n = 0;
  for (auto _ : state) {
    if (!m.GravaLog(kLines[n++ % 5])) state.SkipWithError("log line not written");
  }
  if (failed || !m.tLog.Active() || m.tLog.Rows().size() != static_cast<std::size_t>(lines + n + 1))
    state.SkipWithError("today's list is not complete");
  state.counters["day_lines"] = lines;
}

BENCHMARK(BM_GravaLog)
    ->Arg(100)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    // Few lines, so the day keeps the size it was given.
    ->Iterations(30);

}  // namespace

BENCHMARK_MAIN();
