// Timings of the binary memory path. Each phase runs in a child process of its own, so its
// peak memory (maximum resident set) is its own:
//   1. a month on the virtual printer read over a pseudo-terminal into a TDM file;
//   2. that TDM file turned into the Ato 17 file;
//   3. the Sintegra report over an Ato 17 file of 100,000 item lines, beside a plain read
//      and sort of those lines.
// Usage: bench_memories [days] [coupons per day] [items per coupon]
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ato17/ato17.h"
#include "common/files.h"
#include "ecf_sim/server.h"
#include "leitura/leitura.h"
#include "leitura/tdm.h"
#include "orvik/core/fake_transport.h"
#include "orvik/core/port.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"
#include "orvik/lumvar/engine.h"
#include "orvik/memfiles/sintegra_binary.h"
#include "orvik/memfiles/working_folder.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

fs::path g_dir;
int g_days = 26, g_coupons = 150, g_items = 4;

// CPU seconds of this process (the machine is shared: wall time includes waiting for it).
double Cpu() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// Runs a phase in a child; prints its peak memory.
void Phase(const char* name, const std::function<void()>& body) {
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid == 0) {
    body();
    std::fflush(stdout);
    ::_exit(0);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  std::printf("  %-28s peak memory %ld KiB%s\n", name, usage.ru_maxrss,
              WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : " (FAILED)");
}

void Month() {
  ecf_sim::Printer printer;
  auto run = [&](std::string_view c, std::string_view a = {}) {
    if (!printer.execute(c, a).ok()) {
      std::fprintf(stderr, "printer refused %s\n", std::string(c).c_str());
      std::exit(1);
    }
  };
  printer.set_clock({{2026, 6, 1}, 8, 0, 0});
  run("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
  for (int day = 1; day <= g_days; ++day) {
    printer.set_clock({{2026, 6, day}, 8, 0, 0});
    for (int c = 0; c < g_coupons; ++c) {
      run("AbreCupomFiscal");
      for (int i = 0; i < g_items; ++i)
        run("VendeItem", "AliquotaICMS=true PercentualAliquota=18,00 CodProduto=\"789" +
                             std::to_string(i) + "\" NomeProduto=\"PRODUTO " + std::to_string(i) +
                             "\" PrecoUnitario=2,50 Quantidade=1,000 Unidade=\"UN\"");
      run("PagaCupom", "CodMeioPagamento=-2 Valor=100,00");
      run("EncerraDocumento", "Operador=\"Maria\"");
    }
    run("EmiteReducaoZ");
  }
  std::string error;
  printer.save(g_dir / "month.state", &error);
}

void Transfer() {
  ecf_sim::Printer printer;
  printer.load(g_dir / "month.state");
  ecf_sim::Server server(printer);
  std::string error;
  if (!server.open_pty(&error)) std::exit(1);
  server.start();
  std::ofstream(g_dir / "ORVIK.INI", std::ios::binary)
      << "[Portas]\r\nCOM1=" << server.slave_path() << "\r\n";
  ::setenv("ORVIK_INI", (g_dir / "ORVIK.INI").c_str(), 1);
  const std::string file = (g_dir / "month.tdm").string();
  const auto start = Clock::now();
  const int r = DLLReadLeMemorias("COM1", file.c_str(), "OR050800000000012345", 1);
  const double seconds = Seconds(start);
  server.stop();
  const auto bytes = common::read_file(file);
  const auto tdm = leitura::ParseTdm(bytes.value_or(""));
  const double image = static_cast<double>(tdm.tdm.image.size());
  // On the line the image travels as hex text in replies of 2048 characters plus their frames
  // (about 30 bytes each way); 8E1 is 11 bits a byte.
  const double wire_bytes = image * 2 + (image * 2 / 2048 + 3) * 60;
  std::printf(
      "TDM transfer: answer %d, image %.0f bytes, TDM %zu bytes, %.2f s over the pty "
      "(%.0f bytes/s of image); the same at 115200 baud 8E1: %.0f wire bytes, %.1f s\n",
      r, image, bytes ? bytes->size() : 0, seconds, image / seconds, wire_bytes,
      wire_bytes * 11 / 115200);
}

void Ato17() {
  const std::string tdm = (g_dir / "month.tdm").string(), txt = (g_dir / "month.txt").string();
  const double cpu = Cpu();
  const auto start = Clock::now();
  const int r =
      DLLATO17GeraArquivo(tdm.c_str(), txt.c_str(), "20260601", "20260630", 'M', "01", "TDM");
  const double seconds = Seconds(start);
  const auto text = common::read_file(txt);
  const size_t lines = text ? std::count(text->begin(), text->end(), '\n') : 0;
  std::printf("Ato 17 generation: answer %d, %zu lines, %zu bytes in %.3f s wall, %.3f s CPU\n", r,
              lines, text ? text->size() : 0, seconds, Cpu() - cpu);
}

std::string Pad(std::string v, size_t n) {
  v.resize(n, ' ');
  return v;
}
std::string Zeros(const std::string& v, size_t n) {
  return std::string(n - v.size(), '0') + v;
}

// An Ato 17 file of 100,000 E15 lines: 25 days, 1,000 coupons a day of 4 items.
void WriteBigAto17(const fs::path& file) {
  std::ofstream out(file, std::ios::binary);
  const std::string head = Pad("OR050800000000012345", 20) + " " + Pad("ORVIK KAP", 20);
  out << "E01" << head.substr(0, 21) << Pad("ECF-IF", 7) << Pad("ORVIK", 20) << Pad("ORVIK KAP", 20)
      << Pad("01.00.08", 10)
      << "20260105090000001"
         "12345678000195"
         "TDM"
         "000001000025"
      << "2026060120260630"
         "01.00.00"
         "AC1704 01.00.00\r\n";
  out << "E02" << head << "12345678000195" << Pad("244123456119", 14) << Pad("LOJA", 40)
      << Pad("RUA", 120) << "20260105093000000001" << Zeros("123456", 18) << "01\r\n";
  int coo = 0;
  for (int day = 1; day <= 25; ++day) {
    const std::string date = "202606" + Zeros(std::to_string(day), 2);
    for (int c = 0; c < 1000; ++c) {
      const std::string n = Zeros(std::to_string(++coo), 6);
      out << "E14" << head << "01" << n << n << date << std::string(14, '0') << std::string(13, '0')
          << "V" << std::string(13, '0') << "V" << std::string(14, '0') << "N"
          << std::string(13, '0') << "A" << Pad("", 40) << std::string(14, '0') << "\r\n";
      for (int i = 1; i <= 4; ++i)
        out << "E15" << head << "01" << n << n << Zeros(std::to_string(i), 3)
            << Pad("789" + std::to_string(c % 500), 14)
            << Pad("PRODUTO " + std::to_string(c % 500), 100)
            << "0001000"
               "UN "
               "00000250"
               "00000000"
               "00000000"
            << Zeros("250", 14) << Pad("00T1800", 7) << "N" << std::string(33, '0') << "T32\r\n";
    }
    out << "E12" << head << "01" << Zeros(std::to_string(day), 6) << Zeros(std::to_string(++coo), 6)
        << "000001" << date << date << "230000" << Zeros("1000000", 14) << "N\r\n";
    out << "E13" << head << "01" << Zeros(std::to_string(day), 6) << Pad("00T1800", 7)
        << Zeros("1000000", 13) << "\r\n";
  }
}

void Sintegra() {
  orvik::core::TestFolder folder(g_dir.string());
  const fs::path source = g_dir / "big_ato17.txt";
  WriteBigAto17(source);
  orvik::core::FakeTransport::Record record;
  record.responder = [](const std::string& frame) -> std::string {
    const std::string packet = frame.substr(1, frame.find(';') - 1);
    return "{" + packet + ";0;ValorInteiro=100;9}";
  };
  orvik::core::SetTransport(std::make_unique<orvik::core::FakeTransport>(&record));
  orvik::core::Startup();
  orvik::memfiles::SetHostFolderOverride(folder.path());
  double cpu = Cpu();
  auto start = Clock::now();
  const int r = orvik::memfiles::RelatorioSintegraMFDBinario(
      0x1C, source.string(), (g_dir / "big_sintegra.txt").string(),
      {"LOJA", "RUA", "1", "", "CENTRO", "CIDADE", "", "1", "1", "", "EU"});
  const double report = Seconds(start), report_cpu = Cpu() - cpu;
  const auto out = common::read_file(g_dir / "big_sintegra.txt");
  const size_t out_lines = out ? std::count(out->begin(), out->end(), '\n') : 0;
  // The 24 first-COO questions to the printer (one per Z after the first) are part of it;
  // time one through the same transport.
  start = Clock::now();
  orvik::lumvar::ExecuteLumvar("LeInteiro", "NomeInteiro=\"COOReducao[1]\"");
  const double question = Seconds(start);
  cpu = Cpu();
  start = Clock::now();
  std::vector<std::string> lines;
  {
    std::ifstream in(source, std::ios::binary);
    std::string l;
    while (std::getline(in, l)) lines.push_back(l);
  }
  std::sort(lines.begin(), lines.end());
  const double plain = Seconds(start), plain_cpu = Cpu() - cpu;
  std::printf(
      "Sintegra from Ato 17: answer %d, %zu input lines (100000 E15) -> %zu Sintegra "
      "lines in %.3f s wall, %.3f s CPU (%.0f input lines/s of CPU); plain read and "
      "sort of the input: %.3f s wall, %.3f s CPU (%.0f lines/s of CPU); one printer "
      "question through the in-process transport: %.4f s (24 in the report)\n",
      r, lines.size(), out_lines, report, report_cpu, lines.size() / report_cpu, plain, plain_cpu,
      lines.size() / plain_cpu, question);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) g_days = std::max(1, std::min(28, std::atoi(argv[1])));
  if (argc > 2) g_coupons = std::max(1, std::atoi(argv[2]));
  if (argc > 3) g_items = std::max(1, std::atoi(argv[3]));
  char pattern[] = "/tmp/orvik_bench_memoriesXXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  g_dir = pattern;
  std::printf("Month: %d days x %d coupons x %d items\n", g_days, g_coupons, g_items);
  Phase("month on the printer", Month);
  Phase("TDM transfer", Transfer);
  Phase("Ato 17 generation", Ato17);
  Phase("Sintegra from Ato 17", Sintegra);
  fs::remove_all(g_dir);
  return 0;
}
