#include "driver_fixture.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <fstream>

namespace orvik_testing {

namespace fs = std::filesystem;

void DriverOverPty::SetUp() {
  printer.set_clock(ecf_sim::DateTime{{2026, 6, 15}, 9, 0, 0});
  std::string error;
  ASSERT_TRUE(server.open_pty(&error)) << error;
  server.start();
  char pattern[] = "/tmp/driver-pty-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  dir = pattern;
  old_cwd = fs::current_path();
  fs::current_path(dir);
}

void DriverOverPty::TearDown() {
  server.stop();
  if (!old_cwd.empty()) fs::current_path(old_cwd);
  if (!dir.empty()) fs::remove_all(dir);
}

void DriverOverPty::Load(const std::string& sistema, const std::string& more) {
  std::ofstream(dir / "ORVIK.INI", std::ios::binary)
      << "[Sistema]\r\n"
      << sistema << "Porta=COM1\r\nPath=" << dir.string() << "/\r\nEspacamentoDocumentos=0\r\n"
      << more << "[Portas]\r\nCOM1=" << server.slave_path() << "\r\n";
  setenv("ORVIK_INI", (dir / "ORVIK.INI").c_str(), 1);
  handle = dlopen(ORVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
}

void* DriverOverPty::Symbol(const char* name) {
  return handle != nullptr ? dlsym(handle, name) : nullptr;
}

std::string DriverOverPty::last() {
  int code = 0;
  char message[1024] = "";
  EXPORT(Orvik_RetornoImpressora)(&code, message);
  return std::to_string(code) + " " + message;
}

int DriverOverPty::last_code() {
  int code = 0;
  char message[1024] = "";
  EXPORT(Orvik_RetornoImpressora)(&code, message);
  return code;
}

void DriverOverPty::run(const std::string& command, const std::string& params) {
  EXPECT_EQ(EXPORT(Orvik_ExecutaComando)(command.c_str(), params.c_str()), 1)
      << command << ": " << last();
}

std::string DriverOverPty::ask(const std::string& command, const std::string& params) {
  char answer[4096] = "";
  EXPECT_EQ(EXPORT(Orvik_ExecutaLeitura)(command.c_str(), params.c_str(), answer), 1)
      << command << ": " << last();
  return answer;
}

}  // namespace orvik_testing
