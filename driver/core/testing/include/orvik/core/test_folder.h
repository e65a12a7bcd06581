#pragma once
// A scratch folder for one test: ORVIK_INI points at an ORVIK.INI inside it, the
// current directory is the folder (LOG.DAT, HOMOL.DAT) and it is removed afterwards.
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "common/files.h"

namespace orvik::core {

class TestFolder {
 public:
  // base: the folder to create it in (benchmarks compare a disk with a memory file system).
  explicit TestFolder(const std::string& base = "/tmp") {
    std::string pattern = base + "/orvik_testXXXXXX";
    const char* made = ::mkdtemp(pattern.data());
    if (!made) throw std::runtime_error("cannot create a scratch folder in " + base);
    path_ = made;
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
    ini_ = path_ / "ORVIK.INI";
    ::setenv("ORVIK_INI", ini_.c_str(), 1);
  }
  ~TestFolder() {
    std::error_code ec;
    std::filesystem::current_path(old_cwd_, ec);
    std::filesystem::remove_all(path_, ec);
    ::unsetenv("ORVIK_INI");
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  const std::filesystem::path& ini() const { return ini_; }
  // The folder as the driver's Path value, with its trailing '/'.
  std::string slash() const { return path_.string() + "/"; }

  // Writes the configuration file as given (lines joined with CR LF).
  void WriteIni(const std::string& text) const { Write("ORVIK.INI", text); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
  }
  std::string Read(const std::string& name) const {
    return common::read_file(path_ / name).value_or("<missing>");
  }

 private:
  std::filesystem::path path_, old_cwd_, ini_;
};

}  // namespace orvik::core
