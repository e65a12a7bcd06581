#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "ecf_sim/server.h"
#include "orvik/orvik.h"

namespace {

namespace fs = std::filesystem;

// The virtual printer on a pseudo-terminal and the driver loaded against it, in a scratch
// folder of its own.
struct Till {
  explicit Till(const std::string& sistema) {
    printer.set_clock(ecf_sim::DateTime{{2026, 6, 15}, 9, 0, 0});
    std::string error;
    if (!server.open_pty(&error)) throw std::runtime_error(error);
    server.start();
    char pattern[] = "/tmp/bench-reports-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("no scratch folder");
    dir = pattern;
    fs::current_path(dir);
    std::ofstream(dir / "ORVIK.INI", std::ios::binary)
        << "[Sistema]\r\nPorta=COM1\r\nPath=" << dir.string() << "/\r\nEspacamentoDocumentos=0\r\n"
        << sistema << "[Portas]\r\nCOM1=" << server.slave_path() << "\r\n";
    setenv("ORVIK_INI", (dir / "ORVIK.INI").c_str(), 1);
    lib = dlopen(ORVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!lib) throw std::runtime_error(dlerror());
  }
  ~Till() {
    server.stop();
    if (lib) dlclose(lib);
    fs::current_path("/");
    fs::remove_all(dir);
  }
  template <class F>
  F* fn(const char* name) {
    return reinterpret_cast<F*>(dlsym(lib, name));
  }
  // A day with two rates, one sale on each and (when asked) its Z, made on the printer
  // directly.
  void Day(bool with_z) {
    std::lock_guard lock(server.mutex());
    printer.execute("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
    printer.execute("DefineAliquota",
                    "CodAliquotaProgramavel=1 PercentualAliquota=5,00 AliquotaICMS=false");
    printer.execute("AbreCupomFiscal", "");
    printer.execute("VendeItem",
                    "CodAliquota=0 CodProduto=\"1\" NomeProduto=\"A\" PrecoUnitario=10,00 "
                    "Quantidade=1,000 Unidade=\"Un\"");
    printer.execute("VendeItem",
                    "CodAliquota=1 CodProduto=\"2\" NomeProduto=\"B\" PrecoUnitario=5,00 "
                    "Quantidade=1,000 Unidade=\"Un\"");
    printer.execute("PagaCupom", "CodMeioPagamento=-2 Valor=15,00");
    printer.execute("EncerraDocumento", "");
    if (with_z) printer.execute("EmiteReducaoZ", "");
  }

  ecf_sim::Printer printer;
  ecf_sim::Server server{printer};
  fs::path dir;
  void* lib = nullptr;
};

void ZRound(benchmark::State& state) {
  const bool correction = state.range(0) == 1;
  Till till(correction ? "CorrigeRelogioZ=1\r\n" : "CorrigeRelogioZ=0\r\n");
  auto z = till.fn<decltype(::Orvik_ReducaoZ)>("Orvik_ReducaoZ");
  int failures = 0;
  int day = 0;
  uint64_t commands = 0;
  double seconds = 0;
  for (auto _ : state) {
    {
      // A new day, the printer's clock 10 minutes behind the computer's.
      std::lock_guard lock(till.server.mutex());
      till.printer.state().clock_offset_seconds = ++day * 86400 - 600;
    }
    const uint64_t before = till.server.served();
    const auto start = std::chrono::steady_clock::now();
    failures += z("", "") != 1;
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    commands += till.server.served() - before;
  }
  state.counters["commands"] = static_cast<double>(commands) / state.iterations();
  state.counters["us_per_command"] = seconds * 1e6 / static_cast<double>(commands);
  state.counters["failures"] = failures;
}
BENCHMARK(ZRound)->Arg(0)->Arg(1)->Iterations(100)->Unit(benchmark::kMillisecond)->UseRealTime();

void Report(benchmark::State& state) {
  Till till("CorrigeRelogioZ=0\r\n");
  const int which = static_cast<int>(state.range(0));
  // The configuration is printed in a management report, which the day's Z would refuse.
  till.Day(which != 7);
  using Plain = decltype(::Orvik_MapaResumo);
  using Buffer = decltype(::Orvik_DadosUltimaReducao);
  static char answer[4096];
  const char* names[] = {"Orvik_RelatorioTipo60Analitico",
                         "Orvik_RelatorioTipo60Mestre",
                         "Orvik_RegistrosTipo60",
                         "Orvik_MapaResumo",
                         "Orvik_DadosUltimaReducao",
                         "Orvik_DadosUltimaReducaoMFD",
                         "Orvik_GrandeTotalUltimaReducaoMFD",
                         "Orvik_ImprimeConfiguracoesImpressora"};
  const bool with_buffer = which >= 4 && which <= 6;
  void* routine = dlsym(till.lib, names[which]);
  state.SetLabel(names[which]);
  int failures = 0;
  uint64_t commands = 0;
  double seconds = 0;
  for (auto _ : state) {
    const uint64_t before = till.server.served();
    const auto start = std::chrono::steady_clock::now();
    const int r = with_buffer ? reinterpret_cast<Buffer*>(routine)(answer)
                              : reinterpret_cast<Plain*>(routine)();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    commands += till.server.served() - before;
    failures += r != 1;
  }
  state.counters["commands"] = static_cast<double>(commands) / state.iterations();
  state.counters["us_per_command"] = seconds * 1e6 / static_cast<double>(commands);
  state.counters["failures"] = failures;
}
BENCHMARK(Report)->DenseRange(0, 7)->Iterations(30)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
