#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ecf_sim/server.h"
#include "orvik/orvik.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr int kItems = 20;

struct Item {
  std::string aliquot, price, quantity, parameters;
};

// The items of the coupon and the parameters the driver sends for each.
std::vector<Item> Items() {
  const char* aliquots[] = {"18,00", "01", "FF", "II"};
  const char* taxes[] = {"AliquotaICMS=true PercentualAliquota=18,00", "CodAliquota=01",
                         "CodAliquota=-2", "CodAliquota=-3"};
  std::vector<Item> items;
  for (int i = 0; i < kItems; ++i) {
    Item it;
    it.aliquot = aliquots[i % 4];
    it.price = std::to_string(1 + i) + ",99";
    it.quantity = std::to_string(1 + i % 3);
    it.parameters = std::string(taxes[i % 4]) + " CodProduto=\"" + std::to_string(1000 + i) +
                    "\" NomeProduto=\"PRODUTO " + std::to_string(i) +
                    "\" PrecoUnitario=" + it.price + " Quantidade=" + it.quantity +
                    ",000 Unidade=\"Un\"";
    items.push_back(it);
  }
  return items;
}

// A printer with its rates programmed, served on a pseudo-terminal.
struct Shop {
  Shop() {
    printer.set_clock(ecf_sim::DateTime{{2026, 6, 15}, 9, 0, 0});
    std::string error;
    if (!server.open_pty(&error)) throw std::runtime_error(error);
    server.start();
    std::lock_guard lock(server.mutex());
    printer.execute("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
    printer.execute("DefineAliquota", "CodAliquotaProgramavel=1 PercentualAliquota=12,00");
  }
  ~Shop() { server.stop(); }
  ecf_sim::Printer printer;
  ecf_sim::Server server{printer};
};

void SaleThroughExports(benchmark::State& state) {
  Shop shop;
  char pattern[] = "/tmp/bench-sale-XXXXXX";
  if (!mkdtemp(pattern)) {
    state.SkipWithError("no scratch folder");
    return;
  }
  const fs::path dir = pattern;
  fs::current_path(dir);
  std::ofstream(dir / "ORVIK.INI", std::ios::binary)
      << "[Sistema]\r\nPorta=COM1\r\nPath=" << dir.string()
      << "/\r\nEspacamentoDocumentos=0\r\n[Portas]\r\nCOM1=" << shop.server.slave_path() << "\r\n";
  setenv("ORVIK_INI", (dir / "ORVIK.INI").c_str(), 1);
  void* lib = dlopen(ORVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    state.SkipWithError(dlerror());
    return;
  }
  auto open = reinterpret_cast<decltype(::Orvik_AbreCupom)*>(dlsym(lib, "Orvik_AbreCupom"));
  auto sell = reinterpret_cast<decltype(::Orvik_VendeItem)*>(dlsym(lib, "Orvik_VendeItem"));
  auto subtotal = reinterpret_cast<decltype(::Orvik_IniciaFechamentoCupom)*>(
      dlsym(lib, "Orvik_IniciaFechamentoCupom"));
  auto pay = reinterpret_cast<decltype(::Orvik_EfetuaFormaPagamento)*>(
      dlsym(lib, "Orvik_EfetuaFormaPagamento"));
  auto close = reinterpret_cast<decltype(::Orvik_TerminaFechamentoCupom)*>(
      dlsym(lib, "Orvik_TerminaFechamentoCupom"));
  const auto items = Items();

  int failures = 0;
  uint64_t commands = 0;
  double seconds = 0;
  for (auto _ : state) {
    const uint64_t before = shop.server.served();
    const auto start = std::chrono::steady_clock::now();
    failures += open("") != 1;
    for (int i = 0; i < kItems; ++i)
      failures += sell(std::to_string(1000 + i).c_str(), ("PRODUTO " + std::to_string(i)).c_str(),
                       items[i].aliquot.c_str(), "I", items[i].quantity.c_str(), 2,
                       items[i].price.c_str(), "$", "0") != 1;
    failures += subtotal("D", "$", "100") != 1;
    failures += pay("Dinheiro", "1000,00") != 1;
    failures += close("Obrigado") != 1;
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    commands += shop.server.served() - before;
  }
  state.counters["commands"] = static_cast<double>(commands) / state.iterations();
  state.counters["us_per_command"] = seconds * 1e6 / static_cast<double>(commands);
  state.counters["failures"] = failures;
  fs::current_path("/");
  fs::remove_all(dir);
}
BENCHMARK(SaleThroughExports)->Iterations(50)->Unit(benchmark::kMillisecond)->UseRealTime();

void SameCommandsRaw(benchmark::State& state) {
  Shop shop;
  ecf_sim::testing::RawClient client(shop.server.slave_path());
  if (!client.is_open()) {
    state.SkipWithError("cannot open the line");
    return;
  }
  const auto items = Items();
  int failures = 0;
  uint64_t commands = 0;
  double seconds = 0;
  auto send = [&](const std::string& command, const std::string& params) {
    failures += client.send(command, params).code != 0;
    ++commands;
  };
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    send("AbreCupomFiscal", "");
    for (const Item& it : items) send("VendeItem", it.parameters);
    send("AcresceSubtotal", "Cancelar=false ValorAcrescimo=-1,00");
    send("PagaCupom", "CodMeioPagamento=-2 Valor=1000,00");
    send("ImprimeTexto", "TextoLivre=\"Obrigado\"");
    send("EncerraDocumento", "Operador=\"\"");
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["commands"] = static_cast<double>(commands) / state.iterations();
  state.counters["us_per_command"] = seconds * 1e6 / static_cast<double>(commands);
  state.counters["failures"] = failures;
}
BENCHMARK(SameCommandsRaw)->Iterations(50)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
