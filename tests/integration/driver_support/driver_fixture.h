#pragma once
// A point-of-sale program's view of the driver: the virtual printer serves a
// pseudo-terminal, a scratch folder holds ORVIK.INI and is the current folder (the driver
// keeps ID.TXT, AUMENTA.TXT, IMPR*.TXT there), and liborvik.so is loaded with dlopen so
// each test process starts it anew (one process per case).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ecf_sim/server.h"
#include "orvik/orvik.h"

// The export of that name, typed from orvik.h.
#define EXPORT(name) fn<decltype(::name)>(#name)

namespace orvik_testing {

class DriverOverPty : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes ORVIK.INI (extra [Sistema] lines, then other sections) and loads the driver.
  void Load(const std::string& sistema = "", const std::string& more = "");

  template <class F>
  F* fn(const char* name) {
    void* symbol = Symbol(name);
    EXPECT_NE(symbol, nullptr) << name;
    return reinterpret_cast<F*>(symbol);
  }

  // The last return code and message, as Orvik_RetornoImpressora gives them.
  std::string last();
  int last_code();
  // A command that must succeed.
  void run(const std::string& command, const std::string& params);
  // A register as the printer answers it (ValorMoeda=..., ValorInteiro=...).
  std::string ask(const std::string& command, const std::string& params);

  ecf_sim::Printer printer;
  ecf_sim::Server server{printer};
  std::filesystem::path dir, old_cwd;
  void* handle = nullptr;

 private:
  void* Symbol(const char* name);
};

}  // namespace orvik_testing
