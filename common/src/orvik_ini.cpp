#include "common/orvik_ini.h"

#include <cstdlib>
#include <memory>
#include <mutex>

#include "common/files.h"
#include "common/host_files.h"

namespace common {
namespace {

std::mutex& LookupMutex() {
  static std::mutex m;
  return m;
}

// The process's lookup; its answers stay valid across calls.
std::unique_ptr<OrvikIniLookup>& LookupSlot() {
  static std::unique_ptr<OrvikIniLookup> slot;
  return slot;
}

}  // namespace

std::filesystem::path orvik_ini_path() {
  if (const char* env = std::getenv("ORVIK_INI"); env && *env) return env;
  std::lock_guard lock(LookupMutex());
  std::unique_ptr<OrvikIniLookup>& slot = LookupSlot();
  // The host executable's folder does not change while the process runs.
  if (!slot) slot = std::make_unique<OrvikIniLookup>(orvik_ini_folders());
  return slot->Find();
}

std::filesystem::path look_up_orvik_ini(const std::vector<std::filesystem::path>& folders) {
  for (const std::filesystem::path& folder : folders) {
    if (auto found = find_case_blind(folder, "ORVIK.INI")) return *found;
  }
  return folders.empty() ? std::filesystem::path("ORVIK.INI") : folders.front() / "ORVIK.INI";
}

void set_orvik_ini_folders(std::vector<std::filesystem::path> folders) {
  std::lock_guard lock(LookupMutex());
  if (folders.empty())
    LookupSlot().reset();
  else
    LookupSlot() = std::make_unique<OrvikIniLookup>(std::move(folders));
}

}  // namespace common
