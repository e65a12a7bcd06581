// Capture conversion throughput, plain and rich, on a 10 MB capture.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"
#include "orvik/memfiles/capture.h"

namespace {

// One printed coupon as the printer sends it to the line.
std::string Coupon(int n) {
  std::string c;
  c += "SUPERMERCADO BOA VISTA LTDA\nRUA DAS PALMEIRAS, 120 - CENTRO\n";
  c += "CNPJ:12.345.678/0001-95 IE:244.123.456.119\n" + std::string(48, '-');
  c += "15/06/2026 10:00:02   CCF:" + std::to_string(100000 + n).substr(1) + "      COO:000001\n";
  c += "\x1b!\x28"
       "                  CUPOM FISCAL\n\x1b!\x02";
  for (int i = 1; i <= 12; ++i)
    c += "\x1b!\x01"
         "00" +
         std::to_string(i % 10) +
         " 7891000100103 ARROZ TIPO 1 \x80\xC7\xC6 2,000UNx12,50 T00 T 25,00\xB0";
  c += "\x1b!\x02"
       "\x1b"
       "E1TOTAL R$                              300,00\n\x1b"
       "E0";
  c += "Dinheiro                                  300,00\nC:\\\\CAIXA\\\\01\n";
  c += std::string(48, '-') + "VERS\xC7O:01.00.08  ECF:001  LJ:0001\n";
  return c;
}

class Capture : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    folder = std::make_unique<orvik::core::TestFolder>();
    bytes = 0;
    orvik::core::Startup();
    std::ofstream out(folder->path() / "IMPR.TXT", std::ios::binary);
    for (int n = 0; bytes < 10 * 1024 * 1024; ++n) {
      const std::string c = Coupon(n);
      out << c;
      bytes += static_cast<int64_t>(c.size());
    }
  }
  void TearDown(const benchmark::State&) override { folder.reset(); }

  void Convert(benchmark::State& state, bool rich) {
    const std::string source = (folder->path() / "IMPR.TXT").string();
    const std::string target = (folder->path() / (rich ? "OUT.RTF" : "OUT.TXT")).string();
    for (auto _ : state) {
      if (!orvik::memfiles::ConverteCaptura(source, rich, target)) state.SkipWithError("failed");
    }
    state.SetBytesProcessed(state.iterations() * bytes);
  }

  std::unique_ptr<orvik::core::TestFolder> folder;
  int64_t bytes = 0;
};

// Wall time: the conversion is file to file, so the writes are part of the figure.
BENCHMARK_DEFINE_F(Capture, Plain)(benchmark::State& state) {
  Convert(state, false);
}
BENCHMARK_DEFINE_F(Capture, Rich)(benchmark::State& state) {
  Convert(state, true);
}
BENCHMARK_REGISTER_F(Capture, Plain)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_REGISTER_F(Capture, Rich)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
