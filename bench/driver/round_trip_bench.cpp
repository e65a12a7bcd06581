#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "orvik/core/pty_printer.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"
#include "orvik/lumvar/engine.h"

namespace {

using orvik::core::PtyPrinter;

void RoundTripOverPty(benchmark::State& state) {
  PtyPrinter printer(
      [](const PtyPrinter::Frame& f) { return PtyPrinter::Reply(f, "0", "ValorInteiro=42"); });
  // First argument 0: ORVIK.INI on the disk (/tmp); 1: on a memory file system (/dev/shm).
  // Second argument 1: the printer holds the line open between commands.
  orvik::core::TestFolder folder(state.range(0) == 0 ? "/tmp" : "/dev/shm");
  folder.WriteIni("[Portas]\r\nCOM1=" + printer.slave_name() + "\r\n");
  orvik::core::Startup();

  std::vector<double> micros;
  micros.reserve(100000);
  int failures = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const int result = orvik::lumvar::ExecuteLumvar("LeInteiro", "NomeInteiro=\"Contador\"");
    micros.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count());
    if (result != 1) ++failures;
  }
  std::sort(micros.begin(), micros.end());
  auto at = [&](double q) {
    return micros.empty() ? 0.0 : micros[static_cast<size_t>(q * (micros.size() - 1))];
  };
  state.counters["median_us"] = at(0.5);
  state.counters["p99_us"] = at(0.99);
  state.counters["max_us"] = micros.empty() ? 0.0 : micros.back();
  state.counters["failures"] = failures;
}
BENCHMARK(RoundTripOverPty)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
