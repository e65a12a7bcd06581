#pragma once
// A point-of-sale program's view of the non-fiscal printer and the scale: a scratch
// folder that is the current folder and holds ORVIK.INI, the virtual devices served in
// the test process, and liborvik.so loaded with dlopen (one process per case).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "orvik/orvik.h"

#define EXPORT(name) fn<decltype(::name)>(#name)

namespace orvik_testing {

class PeripheralsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/peripherals-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
    old_cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
  }
  void TearDown() override {
    if (!old_cwd.empty()) std::filesystem::current_path(old_cwd);
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    ::unsetenv("ORVIK_INI");
  }

  // Writes ORVIK.INI ([Sistema] lines, then more sections) and loads the library at path.
  void Load(const std::string& sistema, const std::string& more = "",
            const std::string& library = ORVIK_LIBRARY_PATH) {
    std::ofstream(dir / "ORVIK.INI", std::ios::binary)
        << "[Sistema]\r\n"
        << sistema << "Path=" << dir.string() << "/\r\nHomologar=1\r\n"
        << more;
    ::setenv("ORVIK_INI", (dir / "ORVIK.INI").c_str(), 1);
    handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << ::dlerror();
  }

  template <class F>
  F* fn(const char* name) {
    void* symbol = handle ? ::dlsym(handle, name) : nullptr;
    EXPECT_NE(symbol, nullptr) << name;
    return reinterpret_cast<F*>(symbol);
  }

  // "code message", as Orvik_RetornoImpressora gives them.
  std::string last() {
    int code = 0;
    char message[1024] = "";
    EXPORT(OrvikCupom_RetornoImpressora)(&code, message);
    return std::to_string(code) + " " + message;
  }

  std::string log() {
    std::ifstream in(dir / "LOG.DAT", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::filesystem::path dir, old_cwd;
  void* handle = nullptr;
};

}  // namespace orvik_testing
