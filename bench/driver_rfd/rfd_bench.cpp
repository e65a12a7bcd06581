// Figures of the RFD conversion: readers, merge and assembly over a month of detail tape,
// and the conversion end to end with the virtual printer on a pseudo-terminal.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/files.h"
#include "ecf_sim/printer.h"
#include "ecf_sim/server.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"
#include "orvik/memfiles/capture.h"
#include "orvik/memfiles/download.h"
#include "orvik/memfiles/printout_readers.h"
#include "orvik/memfiles/printout_text.h"
#include "orvik/memfiles/rfd_conversion.h"
#include "orvik/memfiles/rfd_lines.h"
#include "orvik/memfiles/sintegra.h"
#include "orvik/memfiles/sintegra_month.h"
#include "orvik/memfiles/working_folder.h"

namespace {

namespace fs = std::filesystem;
namespace mf = orvik::memfiles;

constexpr int kDays = 30;
constexpr int kCouponsPerDay = 450;

void Run(ecf_sim::Printer& p, const std::string& c, const std::string& a = "") {
  const auto r = p.execute(c, a);
  if (r.code != 0) {
    std::fprintf(stderr, "%s %s: %d %s\n", c.c_str(), a.c_str(), r.code, r.results.c_str());
    std::abort();
  }
}

// The month on a printer: every day its coupons, an X and the Z.
void SellMonth(ecf_sim::Printer& p) {
  p.set_clock(ecf_sim::DateTime{{2026, 6, 1}, 8, 0, 0});
  Run(p, "DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
  Run(p, "DefineAliquota", "CodAliquotaProgramavel=1 PercentualAliquota=12,00");
  Run(p, "DefineMeioPagamento", "NomeMeioPagamento=\"Cartao\" PermiteVinculado=true");
  for (int day = 1; day <= kDays; ++day) {
    p.set_clock(ecf_sim::DateTime{{2026, 6, day}, 8, 0, 0});
    for (int c = 0; c < kCouponsPerDay; ++c) {
      Run(p, "AbreCupomFiscal");
      for (int i = 0; i < 10; ++i)
        Run(p, "VendeItem",
            "CodAliquota=" + std::to_string(i % 2) + " CodProduto=\"78910001" +
                std::to_string(1000 + i) + "\" NomeProduto=\"PRODUTO " + std::to_string(i) +
                "\" PrecoUnitario=2,50 Quantidade=1,000 Unidade=\"UN\"");
      Run(p, "PagaCupom", "CodMeioPagamento=-2 Valor=25,00");
      Run(p, "EncerraDocumento", "Operador=\"Maria\"");
    }
    Run(p, "EmiteLeituraX");
    Run(p, "EmiteReducaoZ");
  }
}

// What the month leaves behind, made once.
struct Month {
  ecf_sim::Printer printer;
  fs::path folder;
  std::string tape;  // DETALHE-like text of the whole month
  std::vector<std::string> rfd_lines;
  long long bytes = 0;

  Month() {
    const char* dir = std::getenv("RFD_BENCH_DIR");
    folder = dir ? fs::path(dir) : fs::temp_directory_path() / "rfd_bench";
    fs::create_directories(folder);
    SellMonth(printer);
    tape = (folder / "MONTH.TXT").string();
    std::ofstream out(tape, std::ios::binary);
    mf::CaptureConverter conv([&](std::string_view t) { out << t; }, [](std::string_view) {});
    for (const auto& d : printer.state().tape) conv.Feed(d.printed);
    conv.Finish();
    out.close();
    bytes = static_cast<long long>(fs::file_size(tape));
    // The month's record lines, as the conversion writes them.
    mf::ConversionState s;
    s.fabrication = "OR050800000000012345";
    s.model = "ORVIK KAP";
    mf::DocumentReader reader(s, [&](mf::ReadDocument& d) { Lines(d, mf::EcfHead(s)); }, {});
    mf::LineReader in(tape);
    for (std::string l; in.Next(l);) reader.Line(l);
    reader.Finish();
    std::ofstream(folder / "RFDLINES.TXT", std::ios::binary) << Joined(rfd_lines);
  }
  void Lines(const mf::ReadDocument& d, const std::string& head) {
    if (d.coupon) rfd_lines.push_back(mf::LineE14(head, "01", *d.coupon));
    for (const auto& i : d.items) rfd_lines.push_back(mf::LineE15(head, "01", i, false));
    for (const auto& p : d.payments) rfd_lines.push_back(mf::LineE21(head, "01", p));
    if (d.other) rfd_lines.push_back(mf::LineE16(head, "01", *d.other));
  }
  static std::string Joined(const std::vector<std::string>& lines) {
    std::string t;
    for (const auto& l : lines) t += l + "\r\n";
    return t;
  }
};

Month& TheMonth() {
  static Month m;
  return m;
}

void FirstPass(benchmark::State& state) {
  Month& m = TheMonth();
  for (auto _ : state) {
    mf::ConversionState s;
    mf::HeaderReader header(s);
    mf::FirstPassReader first(s, false, {});
    mf::LineReader in(m.tape);
    bool in_header = true;
    for (std::string l; in.Next(l);) {
      if (in_header) in_header = header.Line(l);
      first.Line(l);
    }
    benchmark::DoNotOptimize(s.movement_date);
  }
  state.SetBytesProcessed(state.iterations() * m.bytes);
}
BENCHMARK(FirstPass)->Name("Readers/FirstPass")->Unit(benchmark::kMillisecond);

void SecondPass(benchmark::State& state) {
  Month& m = TheMonth();
  long items = 0;
  for (auto _ : state) {
    mf::ConversionState s;
    items = 0;
    mf::DocumentReader reader(s, [&](mf::ReadDocument& d) { items += d.items.size(); }, {});
    mf::LineReader in(m.tape);
    for (std::string l; in.Next(l);) reader.Line(l);
    reader.Finish();
  }
  state.SetBytesProcessed(state.iterations() * m.bytes);
  state.counters["items"] = static_cast<double>(items);
  state.counters["tape_MB"] = static_cast<double>(m.bytes) / 1e6;
}
BENCHMARK(SecondPass)->Name("Readers/SecondPass")->Unit(benchmark::kMillisecond);

void Merge(benchmark::State& state) {
  Month& m = TheMonth();
  for (auto _ : state) {
    auto out = mf::MergeLines(m.rfd_lines, m.rfd_lines, true);
    benchmark::DoNotOptimize(out.size());
  }
  state.counters["lines"] = static_cast<double>(m.rfd_lines.size() * 2);
}
BENCHMARK(Merge)->Unit(benchmark::kMillisecond);

void Assembly(benchmark::State& state) {
  Month& m = TheMonth();
  orvik::core::TestFolder folder;
  orvik::core::Startup();
  mf::SetHostFolderOverride(folder.path());
  // The month's keyed lines, once.
  mf::sintegra::Begin(0x1C, {});
  mf::sintegra::DeleteWorkingFiles();
  mf::ConversionState s;
  s.fabrication = "OR050800000000012345";
  s.slots[0] = "T1800";
  s.slots[1] = "T1200";
  mf::DocumentReader reader(s, [&](mf::ReadDocument& d) { mf::AppendSintegraLines(s, d); }, {});
  s.movement_date = "20260601";
  mf::LineReader in(m.tape);
  for (std::string l; in.Next(l);) reader.Line(l);
  reader.Finish();
  const std::string sint = mf::sintegra::SintPath();
  const std::string kept = sint + ".kept";
  fs::copy_file(sint, kept, fs::copy_options::overwrite_existing);
  fs::copy_file(sint, m.folder / "SINT.TXT", fs::copy_options::overwrite_existing);
  for (auto _ : state) {
    state.PauseTiming();
    fs::copy_file(kept, sint, fs::copy_options::overwrite_existing);
    state.ResumeTiming();
    if (!mf::sintegra::DeriveSummaries() || mf::sintegra::Assemble())
      state.SkipWithError("assembly failed");
  }
  state.counters["keyed_lines"] =
      static_cast<double>(common::split_lines(*common::read_file(kept)).size());
  mf::sintegra::End();
  mf::SetHostFolderOverride(std::nullopt);
}
BENCHMARK(Assembly)->Unit(benchmark::kMillisecond);

// The printer on a pty, the driver configured for it, RFDTEMP in a scratch folder.
struct OverPty {
  ecf_sim::Server server{TheMonth().printer};
  orvik::core::TestFolder folder;
  OverPty() {
    std::string error;
    if (!server.open_pty(&error)) std::abort();
    server.start();
    folder.WriteIni("[Sistema]\r\nPorta=COM1\r\nPath=" + folder.slash() +
                    "\r\nHomologar=1\r\nPathRFD=" + folder.slash() +
                    "rfd/\r\n[Portas]\r\nCOM1=" + server.slave_path() + "\r\n");
    orvik::core::Startup();
    mf::SetHostFolderOverride(folder.path());
  }
  ~OverPty() {
    mf::SetHostFolderOverride(std::nullopt);
    server.stop();
  }
  long long DownloadedBytes() const {
    long long total = 0;
    for (const auto& l : common::split_lines(folder.Read("LOG.DAT"))) {
      const auto at = l.find("cntBytes1(OK):");
      if (at != std::string::npos) total += std::stoll(l.substr(at + 14));
    }
    return total;
  }
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void OneZOverPty(benchmark::State& state) {
  OverPty pty;
  const std::string work = mf::PastaRFDTemp();
  fs::create_directories(work);
  for (auto _ : state) {
    using clock = std::chrono::steady_clock;
    // The steps on their own, on the 15th's Z.
    auto t = clock::now();
    const auto& z = TheMonth().printer.state().reductions.at(14);
    const int r = mf::DownloadMfd(work + "DETORG.TXT", "2", std::to_string(z.first_coo),
                                  std::to_string(z.coo), "");
    state.counters["download_s"] = Seconds(t);
    t = clock::now();
    mf::ConverteCaptura(work + "DETORG.TXT", false, work + "DETALHE.TXT");
    state.counters["capture_conversion_s"] = Seconds(t);
    t = clock::now();
    mf::ConversionState s;
    mf::FirstPassReader first(s, false, {});
    mf::DocumentReader reader(s, [](mf::ReadDocument&) {}, {});
    mf::LineReader in(work + "DETALHE.TXT");
    for (std::string l; in.Next(l);) {
      first.Line(l);
      reader.Line(l);
    }
    reader.Finish();
    state.counters["passes_s"] = Seconds(t);
    state.counters["day_bytes"] = static_cast<double>(fs::file_size(work + "DETORG.TXT"));
    // The whole conversion: the above plus rates, part files, consolidation, the
    // fiscal-memory reading, E11 and the merge.
    t = clock::now();
    const int whole = mf::ConverteMfd("15");
    state.counters["whole_s"] = Seconds(t);
    if (r != 1 || whole != 1) state.SkipWithError("conversion failed");
  }
}
BENCHMARK(OneZOverPty)->Iterations(1)->Unit(benchmark::kSecond);

void MonthOverPty(benchmark::State& state) {
  OverPty pty;
  for (auto _ : state) {
    if (mf::ConverteMfdData("01/06/2026", "30/06/2026") != 1)
      state.SkipWithError("conversion failed");
  }
  state.counters["bytes_downloaded"] = static_cast<double>(pty.DownloadedBytes());
}
BENCHMARK(MonthOverPty)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
