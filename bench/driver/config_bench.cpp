// The configuration file work a command does, alone: saving the packet number and
// finding ORVIK.INI, each the way the engine does it beside a rewrite of the whole file
// and a search of every folder.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/ini.h"
#include "orvik/core/config.h"
#include "orvik/core/config_lookup.h"
#include "orvik/core/test_folder.h"

namespace {

namespace fs = std::filesystem;
using orvik::core::TestFolder;

// A configuration of the size a shop's file has after start-up.
const char* kIni =
    "[Sistema]\r\nModeloImp=ORVIK_KAP\r\nPorta=COM1\r\nPath=/var/lib/orvik/\r\n"
    "HabilitaICMSCupom=0\r\nTimeOutRedZ=40\r\nTimeOutComandos=10\r\nEspacamentoDocumentos=7\r\n"
    "ChecaCTS=1\r\nCorrigeRelogioZ=1\r\nSANGRIA=1\r\nSUPRIMENTO=0\r\nLMFAutomatico=0\r\n"
    "[Flags]\r\nGerencial=0\r\nNumPkt=100\r\n[Portas]\r\nCOM1=/dev/ttyUSB0\r\n";

long Packet(long stored) {
  const long packet = static_cast<long>(static_cast<int>(stored)) + 1;
  // Kept within three digits so the whole-file case stays out of the figures.
  return packet < 100 || packet > 255 ? 100 : packet;
}

void Percentiles(benchmark::State& state, std::vector<double>& micros) {
  std::sort(micros.begin(), micros.end());
  auto at = [&](double q) {
    return micros.empty() ? 0.0 : micros[static_cast<size_t>(q * (micros.size() - 1))];
  };
  state.counters["median_us"] = at(0.5);
  state.counters["p99_us"] = at(0.99);
}

// Argument 0: ORVIK.INI on the disk (/tmp); 1: on a memory file system (/dev/shm).
// Second argument 0: read the number and rewrite the file through a renamed copy;
// 1: the digits overwritten where they are.
void PacketNumberSave(benchmark::State& state) {
  TestFolder folder(state.range(0) == 0 ? "/tmp" : "/dev/shm");
  folder.WriteIni(kIni);
  const bool in_place = state.range(1) == 1;
  std::vector<double> micros;
  micros.reserve(20000);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (in_place) {
      benchmark::DoNotOptimize(orvik::core::StepConfigNumber("Flags", "NumPkt", 1, Packet));
    } else {
      common::IniFile ini(orvik::core::ConfigPath());
      const long value = Packet(ini.read_int("Flags", "NumPkt", 1));
      ini.write("Flags", "NumPkt", std::to_string(value));
    }
    micros.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count());
  }
  Percentiles(state, micros);
}
BENCHMARK(PacketNumberSave)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Iterations(5000)
    ->Unit(benchmark::kMicrosecond);

// Finding the file with $ORVIK_INI unset, laid out as on a till whose file sits in /etc:
// the program's folder (a few dozen files), a missing /etc/orvik, then a folder holding it
// among a hundred and fifty others. Argument 0: every folder read each time; 1: the lookup
// that keeps each folder's answer.
void FindConfig(benchmark::State& state) {
  TestFolder program, etc;
  for (int i = 0; i < 40; ++i) program.Write("lib" + std::to_string(i) + ".so", "");
  for (int i = 0; i < 150; ++i) etc.Write("conf" + std::to_string(i), "");
  etc.WriteIni(kIni);
  const std::vector<fs::path> folders{program.path(), program.path() / "orvik", etc.path()};
  // Folders just made count as recently changed; seen from an hour later they have settled,
  // as the folders of an installed till have.
  orvik::core::ConfigLookup lookup(
      folders, [] { return std::chrono::system_clock::now() + std::chrono::hours(1); });
  const bool cached = state.range(0) == 1;
  for (auto _ : state) {
    if (cached)
      benchmark::DoNotOptimize(lookup.Find());
    else
      benchmark::DoNotOptimize(orvik::core::LookUpConfig(folders));
  }
  if (cached)
    state.counters["folder_reads"] =
        static_cast<double>(lookup.scans()) / static_cast<double>(state.iterations());
}
BENCHMARK(FindConfig)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
