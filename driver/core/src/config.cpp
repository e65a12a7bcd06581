#include "orvik/core/config.h"

#include <cstdlib>

#include "common/files.h"

namespace orvik::core {

std::filesystem::path ConfigPath() {
  if (const char* env = std::getenv("ORVIK_INI"); env && *env) return env;
  return LookUpConfig({common::executable_folder(), "/etc/orvik", "/etc"});
}

std::filesystem::path LookUpConfig(const std::vector<std::filesystem::path>& folders) {
  for (const std::filesystem::path& folder : folders) {
    if (auto found = common::find_case_blind(folder, "ORVIK.INI")) return *found;
  }
  return folders.empty() ? std::filesystem::path("ORVIK.INI") : folders.front() / "ORVIK.INI";
}

common::IniFile Config() {
  return common::IniFile(ConfigPath());
}

}  // namespace orvik::core
