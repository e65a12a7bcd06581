// Round trips, a 20-item coupon and the idle cost of a time-out, for the QVX families.
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "orvik/orvik.h"
#include "qvx_sim/server.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

void* g_lib = nullptr;

template <class F>
F* fn(const char* name) {
  void* s = dlsym(g_lib, name);
  if (!s) {
    std::fprintf(stderr, "missing export %s\n", name);
    std::exit(1);
  }
  return reinterpret_cast<F*>(s);
}
#define EXPORT(name) fn<decltype(::name)>(#name)

struct Figures {
  double median_ms, p99_ms;
};

Figures measure(int n, const std::function<void()>& body) {
  std::vector<double> ms;
  for (int i = 0; i < n; ++i) {
    const auto t0 = Clock::now();
    body();
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]};
}

// Bytes of the request and of the reply at 10 bits a byte, 9600 bit/s.
double wire_ms(size_t request, size_t reply) {
  return static_cast<double>(request + reply) * 10.0 / 9600.0 * 1000.0;
}

double cpu_seconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
  char pattern[] = "/tmp/qvx-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path dir = pattern;
  fs::current_path(dir);

  qvx_sim::Printer printer(qvx_sim::Model::k820);
  qvx_sim::Server server(printer);
  std::string error;
  if (!server.open_pty(&error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  server.start();
  std::ofstream(dir / "ORVIK.INI", std::ios::binary)
      << "[Sistema]\r\nModeloImp=ORVIK_820\r\nPorta=COM1\r\nPath=" << dir.string()
      << "/\r\n[Portas]\r\nCOM1=" << server.slave_path() << "\r\n";
  setenv("ORVIK_INI", (dir / "ORVIK.INI").c_str(), 1);
  g_lib = dlopen(ORVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!g_lib) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }

  char buffer[64];
  int failures = 0;
  auto sell_long = [&] {
    if (EXPORT(Orvik_VendeItem)("7891234567890", "QUEIJO MINAS FRESCAL PECA", "0", "KG", "1250", 3,
                                "39900", "$", "0") != 1)
      ++failures;
  };

  const Figures x = measure(n / 4, [&] { failures += EXPORT(Orvik_LeituraX)() != 1; });
  const Figures reg = measure(n, [&] { failures += EXPORT(Orvik_NumeroCupom)(buffer) != 1; });
  std::printf("after %d X readings and %d register reads the COO is %s\n", n / 4, n, buffer);
  EXPORT(Orvik_AbreCupom)("");
  const Figures item = measure(std::min(n, 900), sell_long);
  EXPORT(Orvik_CancelaCupom)();

  // A coupon of 20 items, from opening to close.
  const Figures coupon = measure(std::max(5, n / 20), [&] {
    EXPORT(Orvik_AbreCupom)("12345678909");
    for (int i = 0; i < 20; ++i)
      EXPORT(Orvik_VendeItem)("7891", "ARROZ TIPO 1 5KG", "0", "UN", "1000", 2, "2199", "$", "0");
    EXPORT(Orvik_IniciaFechamentoCupom)("D", "$", "0");
    EXPORT(Orvik_EfetuaFormaPagamento)("1", "500,00");
    if (EXPORT(Orvik_TerminaFechamentoCupom)("Obrigado") != 1)
      std::fprintf(stderr, "close failed\n");
  });

  // The idle cost of a read that waits out its 10 s.
  qvx_sim::Fault silent;
  silent.kind = qvx_sim::Fault::kSilence;
  server.inject(silent);
  const double cpu0 = cpu_seconds(RUSAGE_SELF), driver0 = cpu_seconds(RUSAGE_THREAD);
  const auto t0 = Clock::now();
  EXPORT(Orvik_NumeroCupom)(buffer);
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = cpu_seconds(RUSAGE_SELF) - cpu0;
  const double driver = cpu_seconds(RUSAGE_THREAD) - driver0;

  std::printf("exchange                 median ms   p99 ms   wire at 9600 ms\n");
  // Frames of 7, 9 and 136 bytes (the 820's long item: 132 characters of text); replies of
  // 9, 13 and 9.
  std::printf("150 (LeituraX)           %9.2f %8.2f   %6.1f\n", x.median_ms, x.p99_ms,
              wire_ms(7, 9));
  std::printf("34M41 (NumeroCupom)      %9.2f %8.2f   %6.1f\n", reg.median_ms, reg.p99_ms,
              wire_ms(9, 13));
  std::printf("long item (VendeItem KG) %9.2f %8.2f   %6.1f (request alone %.1f)\n", item.median_ms,
              item.p99_ms, wire_ms(136, 9), wire_ms(136, 0));
  std::printf("coupon of 20 items       %9.2f %8.2f\n", coupon.median_ms, coupon.p99_ms);
  std::printf(
      "10 s time-out: %.2f s waited; driver's thread %.3f s of CPU (%.3f %% of a core), "
      "with the printer's thread %.3f s (%.3f %%)\n",
      wall, driver, 100.0 * driver / wall, cpu, 100.0 * cpu / wall);

  std::printf("commands that failed: %d (COO now %s)\n", failures, buffer);
  server.stop();
  dlclose(g_lib);
  fs::current_path("/");
  fs::remove_all(dir);
  return 0;
}
