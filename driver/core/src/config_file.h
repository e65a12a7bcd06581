#pragma once
// ORVIK.INI opened once for a read and an overwrite in place (the packet number that
// every command steps): the platform's file calls behind one small class.
#include <filesystem>
#include <string>
#include <string_view>

namespace orvik::core {

class ConfigFileHandle {
 public:
  ConfigFileHandle() = default;
  ConfigFileHandle(const ConfigFileHandle&) = delete;
  ConfigFileHandle& operator=(const ConfigFileHandle&) = delete;
  ~ConfigFileHandle() { Close(); }

  // Opens an existing file for reading and writing; false when it cannot.
  bool Open(const std::filesystem::path& path);
  // The whole file from its start; false on a read error.
  bool ReadAll(std::string& out);
  // Writes bytes at offset and hands them to the disk without waiting; true when all
  // were written.
  bool WriteAt(size_t offset, std::string_view bytes);
  void Close();

 private:
  long long handle_ = -1;
};

}  // namespace orvik::core
