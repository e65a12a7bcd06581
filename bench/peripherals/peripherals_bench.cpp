// The non-fiscal printer and the scale through liborvik's exports against the virtual
// devices: serial lines per second, parallel bytes per second (and register calls per
// byte), one scale reading. Each family needs its own driver instance, so the library is
// copied into one folder per family and each copy loaded on its own.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "inpout32/link.h"
#include "orvik/orvik.h"
#include "scale_sim/scale.h"
#include "vuno_sim/device.h"

namespace {

namespace fs = std::filesystem;

// A 48-column line and its line break.
const std::string kLine = std::string(48, 'X') + "\n";

class Driver {
 public:
  Driver(const fs::path& folder, const std::string& ini_text, bool with_inpout) : folder_(folder) {
    fs::create_directories(folder);
    fs::copy_file(ORVIK_LIBRARY_PATH, folder / "liborvik.so.1",
                  fs::copy_options::overwrite_existing);
    if (with_inpout)
      fs::copy_file(INPOUT32_LIBRARY_PATH, folder / "libinpout32.so",
                    fs::copy_options::overwrite_existing);
    std::ofstream(folder / "ORVIK.INI", std::ios::binary) << ini_text;
    Use();
    handle_ = dlopen((folder / "liborvik.so.1").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) throw std::runtime_error(dlerror());
  }
  // The driver looks ORVIK.INI up on every command.
  void Use() const { setenv("ORVIK_INI", (folder_ / "ORVIK.INI").c_str(), 1); }
  template <class F>
  F* fn(const char* name) {
    return reinterpret_cast<F*>(dlsym(handle_, name));
  }

 private:
  fs::path folder_;
  void* handle_ = nullptr;
};

#define EXPORT(d, name) (d).fn<decltype(::name)>(#name)

struct World {
  World() {
    char pattern[] = "/tmp/bench-peripherals-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
    dir = pattern;
    fs::current_path(dir);
    std::string error;
    if (!serial.open_pty(&error) || !scale.open_pty(&error)) throw std::runtime_error(error);
    serial.start();
    scale.start();
    socket = (dir / "lpt.sock").string();
    if (!parallel.listen(socket, &error)) throw std::runtime_error(error);
    parallel.start();
    setenv(inpout32::kLinkEnv, socket.c_str(), 1);
    const std::string path = "Path=" + dir.string() + "/\r\n";
    serial_driver = std::make_unique<Driver>(
        dir / "serial",
        "[Sistema]\r\nModeloImp=ORVIK_VUNO_SERIAL\r\nPorta=COM1\r\nBAUD=9600\r\n" + path +
            "[Portas]\r\nCOM1=" + serial.slave_path() + "\r\nCOM2=" + scale.slave_path() + "\r\n",
        false);
    parallel_driver = std::make_unique<Driver>(
        dir / "parallel", "[Sistema]\r\nModeloImp=ORVIK_VUNO_LPT\r\nPorta=LPT1\r\n" + path, true);
  }
  ~World() {
    serial.stop();
    scale.stop();
    parallel.stop();
    std::error_code ec;
    fs::current_path("/", ec);
    fs::remove_all(dir, ec);
  }
  // Keeps the printer's tape from growing without end.
  void trim() {
    std::lock_guard lock(serial_device.mutex());
    serial_device.printer().clear();
    std::lock_guard lock2(parallel_device.mutex());
    parallel_device.printer().clear();
  }

  fs::path dir;
  std::string socket;
  vuno_sim::Device serial_device, parallel_device;
  vuno_sim::SerialServer serial{serial_device};
  vuno_sim::ParallelServer parallel{parallel_device};
  scale_sim::Scale scale;
  std::unique_ptr<Driver> serial_driver, parallel_driver;
};

World& TheWorld() {
  static World world;
  return world;
}

void SetBaud(World& w, const std::string& baud) {
  w.serial_driver->Use();
  std::ofstream(w.dir / "serial" / "ORVIK.INI", std::ios::binary)
      << "[Sistema]\r\nModeloImp=ORVIK_VUNO_SERIAL\r\nPorta=COM1\r\nBAUD=" << baud
      << "\r\nPath=" << w.dir.string() << "/\r\n[Portas]\r\nCOM1=" << w.serial.slave_path()
      << "\r\nCOM2=" << w.scale.slave_path() << "\r\n";
  w.serial.set_expected(devkit::LineSettings{std::stoi(baud), 8, 'N', 1, false});
}

// One 48-column line per call on the serial printer.
void BM_SerialLine(benchmark::State& state) {
  World& w = TheWorld();
  const std::string baud = std::to_string(state.range(0));
  SetBaud(w, baud);
  auto send = EXPORT(*w.serial_driver, Vuno_EnviaBuffer);
  int64_t n = 0;
  for (auto _ : state) {
    if (send(kLine.c_str()) != 1) state.SkipWithError("send failed");
    if (++n % 256 == 0) w.trim();
  }
  state.counters["lines/s"] = benchmark::Counter(double(n), benchmark::Counter::kIsRate);
  // What the line itself allows: ten bits per byte on the wire.
  state.counters["line_bound/s"] = double(state.range(0)) / (10.0 * double(kLine.size()));
}
BENCHMARK(BM_SerialLine)->Arg(9600)->Arg(115200)->UseRealTime()->Unit(benchmark::kMillisecond);

// A 1000-byte text through the parallel port's register link.
void BM_ParallelBytes(benchmark::State& state) {
  World& w = TheWorld();
  w.parallel_driver->Use();
  auto send = EXPORT(*w.parallel_driver, Vuno_EnviaBuffer);
  const std::string text(1000, 'P');
  const uint64_t before = w.parallel.requests();
  int64_t bytes = 0;
  for (auto _ : state) {
    if (send(text.c_str()) != 1) state.SkipWithError("send failed");
    bytes += static_cast<int64_t>(text.size());
    w.trim();
  }
  state.counters["bytes/s"] = benchmark::Counter(double(bytes), benchmark::Counter::kIsRate);
  state.counters["calls/byte"] = double(w.parallel.requests() - before) / double(bytes);
}
BENCHMARK(BM_ParallelBytes)->UseRealTime()->Unit(benchmark::kMillisecond);

// One weight reading; the wire time of ENQ and a 7-byte answer beside it.
void BM_ScaleReading(benchmark::State& state) {
  World& w = TheWorld();
  w.serial_driver->Use();
  const int baud = static_cast<int>(state.range(0));
  w.scale.set_speed(baud);
  auto read = EXPORT(*w.serial_driver, Orvik_LeBalanca);
  const char* speed = baud == 1200 ? "1200" : "9600";
  char weight[32];
  for (auto _ : state) {
    if (read("COM2", speed, weight) != 1) state.SkipWithError("no weight");
  }
  state.counters["wire_ms"] = 8 * 10 * 1000.0 / baud;
}
BENCHMARK(BM_ScaleReading)->Arg(1200)->Arg(9600)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
