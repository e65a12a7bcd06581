// Finding ORVIK.INI: the Windows side. The folders are the host executable's, the system
// folder and the Windows folder. Windows file names ignore letter case already, so one
// existence test per folder answers and nothing needs keeping between calls.
#include <windows.h>

#include <system_error>

#include "common/files.h"
#include "common/orvik_ini.h"

namespace common {

OrvikIniLookup::OrvikIniLookup(std::vector<std::filesystem::path> folders, Clock now)
    : folders_(std::move(folders)), seen_(folders_.size()), now_(std::move(now)) {}

std::filesystem::path OrvikIniLookup::Find() {
  for (const std::filesystem::path& folder : folders_) {
    std::error_code ec;
    const std::filesystem::path file = folder / "ORVIK.INI";
    if (std::filesystem::is_regular_file(file, ec)) return file;
  }
  return folders_.empty() ? std::filesystem::path("ORVIK.INI") : folders_.front() / "ORVIK.INI";
}

std::vector<std::filesystem::path> orvik_ini_folders() {
  std::vector<std::filesystem::path> folders{executable_folder()};
  char folder[MAX_PATH + 1] = {};
  UINT n = ::GetSystemDirectoryA(folder, MAX_PATH);
  if (n > 0 && n <= MAX_PATH) folders.emplace_back(std::string(folder, n));
  n = ::GetWindowsDirectoryA(folder, MAX_PATH);
  if (n > 0 && n <= MAX_PATH) folders.emplace_back(std::string(folder, n));
  return folders;
}

}  // namespace common
