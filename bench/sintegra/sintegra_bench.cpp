// Timings of the Sintegra file builder and loader beside one buffered stream doing the same
// I/O. Each mode runs in its own process so that its peak memory is its own:
//   sintegra_bench write N FOLDER           GeraArquivo of N type-54 records
//   sintegra_bench baseline-write N FILE    the same bytes (made beforehand) through one
//                                           std::ofstream
//   sintegra_bench baseline-write-sync N FILE   the same, then fsync (GeraArquivo syncs)
//   sintegra_bench load FILE                CarregaArquivo
//   sintegra_bench baseline-read FILE       every line through std::getline
//   sintegra_bench baseline-read-keep FILE  the same, each line kept in a list
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "sintegra/registros.h"
#include "sintegra/sintegra.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

struct Cpu {
  double seconds;
};
Cpu CpuNow() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return {usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
          (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6};
}

long PeakKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The values of item i, shared by the records and the baseline so both write the same bytes.
struct Item {
  long long number, item, quantity, value, base;
};
Item ItemOf(long long i) {
  return {i % 1000000, i % 990 + 1, (i % 1000) * 1000, (i % 5000) * 37, (i % 5000) * 30};
}

// "P" and the number (built in place: the compiler warns falsely about "P" + to_string).
std::string ProductCode(long long i) {
  char code[24];
  int n = std::snprintf(code, sizeof code, "P%lld", i);
  return std::string(code, static_cast<size_t>(n));
}

std::shared_ptr<sintegra::TRegistro> Record(long long i) {
  Item v = ItemOf(i);
  auto r = std::make_shared<sintegra::TRegTipo54>();
  r->SetCnpj("12345678000195");
  r->SetModel("01");
  r->SetSeries("1");
  r->SetNumber(std::to_string(v.number));
  r->SetCfop("5102");
  r->SetSituationCode("0");
  r->SetItemNumber(std::to_string(v.item));
  r->SetProductCode(ProductCode(i));
  r->SetQuantity(std::to_string(v.quantity));
  r->SetProductValue(std::to_string(v.value));
  r->SetDiscount("0");
  r->SetIcmsBase(std::to_string(v.base));
  r->SetSubstitutionBase("0");
  r->SetIpiValue("0");
  r->SetRate("1800");
  return r;
}

int FormatLine(char* out, size_t size, long long i) {
  Item v = ItemOf(i);
  std::string code = ProductCode(i);
  return std::snprintf(out, size,
                       "54%014lld%02d%-3s%06lld%04d%-3s%03lld%-14s%011lld%012lld%012d%012lld"
                       "%012d%012d%04d\r\n",
                       12345678000195LL, 1, "1", v.number, 5102, "000", v.item, code.c_str(),
                       v.quantity, v.value, 0, v.base, 0, 0, 1800);
}

int FormatTrailer(char* out, size_t size, long long n) {
  return std::snprintf(out, size, "90%014d%-14s54%08lld99%08lld%75s1\r\n", 0, "", n, n + 1, "");
}

// Wall time, processor time (user + system) and the process's peak resident memory.
void Report(const char* mode, long long lines, double seconds, Cpu cpu_start) {
  std::printf("%-22s lines=%lld wall_s=%.3f cpu_s=%.3f peak_mib=%.1f\n", mode, lines, seconds,
              CpuNow().seconds - cpu_start.seconds, PeakKiB() / 1024.0);
}

int Write(long long n, const std::string& folder) {
  auto start = Clock::now();
  sintegra::TSintegra s;
  for (long long i = 0; i < n; ++i) s.AdicionaRegistro(Record(i));
  double fill = Seconds(start);
  s.DefineDiretorio(folder);
  Cpu cpu_start = CpuNow();
  auto write_start = Clock::now();
  bool ok = s.GeraArquivo();
  double write = Seconds(write_start);
  if (!ok) {
    std::fprintf(stderr, "%s\n", s.LastError().c_str());
    return 1;
  }
  std::printf("%-20s records built in %.3f s (not part of the figure below)\n", "write", fill);
  Report("write (GeraArquivo)", n + 1, write, cpu_start);
  return 0;
}

int BaselineWrite(long long n, const std::string& file, bool sync) {
  // The bytes are made first, so that the figure is the writing alone.
  std::string bytes;
  bytes.reserve(static_cast<size_t>(n + 1) * 128);
  char line[256];
  for (long long i = 0; i < n; ++i) bytes.append(line, FormatLine(line, sizeof line, i));
  bytes.append(line, FormatTrailer(line, sizeof line, n));
  Cpu cpu_start = CpuNow();
  auto start = Clock::now();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (size_t pos = 0; pos < bytes.size(); pos += 128) out.write(bytes.data() + pos, 128);
    if (!out.flush()) return 1;
  }
  if (sync) {
    int fd = ::open(file.c_str(), O_RDONLY);
    ::fsync(fd);
    ::close(fd);
  }
  Report(sync ? "baseline-write-sync" : "baseline-write", n + 1, Seconds(start), cpu_start);
  return 0;
}

int Load(const std::string& file) {
  Cpu cpu_start = CpuNow();
  auto start = Clock::now();
  auto s = std::make_unique<sintegra::TSintegra>();
  s->CarregaArquivo(file);
  long long lines = static_cast<long long>(s->Registros().size());
  Report("load (CarregaArquivo)", lines, Seconds(start), cpu_start);
  // Letting the records go is part of every run too, though not of the figure.
  Cpu free_cpu = CpuNow();
  auto free_start = Clock::now();
  s.reset();
  std::printf("%-22s wall_s=%.3f cpu_s=%.3f (not part of the figure above)\n",
              "load: records freed", Seconds(free_start), CpuNow().seconds - free_cpu.seconds);
  return 0;
}

int BaselineRead(const std::string& file) {
  Cpu cpu_start = CpuNow();
  auto start = Clock::now();
  std::ifstream in(file, std::ios::binary);
  std::string line;
  long long lines = 0, bytes = 0;
  while (std::getline(in, line)) {
    ++lines;
    bytes += static_cast<long long>(line.size());
  }
  Report("baseline-read", lines, Seconds(start), cpu_start);
  return bytes > 0 ? 0 : 1;
}

// Reading every line into its own string kept in one list: the least a load that holds
// the file's lines in memory costs, as a second reference for CarregaArquivo.
int BaselineReadKeep(const std::string& file) {
  Cpu cpu_start = CpuNow();
  auto start = Clock::now();
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  Report("baseline-read-keep", static_cast<long long>(lines.size()), Seconds(start), cpu_start);
  return lines.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  try {
    if (mode == "write" && argc == 4) return Write(std::atoll(argv[2]), argv[3]);
    if (mode == "baseline-write" && argc == 4)
      return BaselineWrite(std::atoll(argv[2]), argv[3], false);
    if (mode == "baseline-write-sync" && argc == 4)
      return BaselineWrite(std::atoll(argv[2]), argv[3], true);
    if (mode == "load" && argc == 3) return Load(argv[2]);
    if (mode == "baseline-read" && argc == 3) return BaselineRead(argv[2]);
    if (mode == "baseline-read-keep" && argc == 3) return BaselineReadKeep(argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::fprintf(
      stderr,
      "usage: sintegra_bench write N FOLDER | baseline-write N FILE | "
      "baseline-write-sync N FILE | load FILE | baseline-read FILE | baseline-read-keep FILE\n");
  return 2;
}
