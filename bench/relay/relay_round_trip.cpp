// Round trip of one command: direct line against network mode through orvik-relay.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ecf_sim/server.h"
#include "orvik/orvik.h"

namespace fs = std::filesystem;

namespace {

// Runs n reads in this process (a child) and prints the figures of its mode.
int Measure(const char* mode, const fs::path& dir, int n) {
  void* driver = dlopen(ORVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!driver) return std::fprintf(stderr, "%s\n", dlerror()), 1;
  auto read =
      reinterpret_cast<decltype(&::Orvik_ExecutaLeitura)>(dlsym(driver, "Orvik_ExecutaLeitura"));
  std::vector<double> ms;
  char answer[256];
  for (int i = 0; i < n; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (read("LeInteiro", "NomeInteiro=\"COO\"", answer) != 1)
      return std::fprintf(stderr, "%s: read %d failed\n", mode, i), 1;
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double v : ms) sum += v;
  std::printf("%-28s n=%d  median %7.2f ms  p90 %7.2f ms  mean %7.2f ms\n", mode, n,
              ms[ms.size() / 2], ms[ms.size() * 9 / 10], sum / n);
  (void)dir;
  return 0;
}

int Child(const char* mode, const fs::path& dir, const std::string& ini_text, int n) {
  std::ofstream(dir / "ORVIK.INI", std::ios::binary) << ini_text;
  setenv("ORVIK_INI", (dir / "ORVIK.INI").c_str(), 1);
  const pid_t pid = fork();
  if (pid == 0) {
    const int r = Measure(mode, dir, n);
    std::fflush(stdout);
    _exit(r);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  char pattern[] = "/tmp/orvik-relay-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path dir = pattern;
  fs::current_path(dir);

  ecf_sim::Printer printer;
  ecf_sim::Server server{printer};
  std::string error;
  if (!server.open_pty(&error)) return std::fprintf(stderr, "%s\n", error.c_str()), 1;
  server.start();
  const std::string base = "[Sistema]\r\nPath=" + dir.string() + "/\r\nChecaCTS=0\r\n";
  int rc = Child("direct line (pty)", dir,
                 base + "Porta=COM1\r\n[Portas]\r\nCOM1=" + server.slave_path() + "\r\n", n);

  const pid_t relay = fork();
  if (relay == 0) {
    freopen("/dev/null", "w", stderr);  // its exchange log is in relay.log
    execl(ORVIK_RELAY_PATH, ORVIK_RELAY_PATH, "--pasta", dir.c_str(), "--dispositivo",
          server.slave_path().c_str(), "--log", (dir / "relay.log").c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // The relay's own log to stderr is not wanted in the figures.
  rc |= Child("network mode (orvik-relay)", dir, base + "ConfigRede=1\r\n", n);
  kill(relay, SIGTERM);
  waitpid(relay, nullptr, 0);
  server.stop();
  fs::current_path("/");
  fs::remove_all(dir);
  return rc;
}
