#include "common/host_files.h"

#include <cstdlib>
#include <system_error>

#include "common/files.h"

namespace common {

std::filesystem::path user_state_folder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && *state && std::filesystem::path(state).is_absolute())
    return std::filesystem::path(state) / "orvik";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::filesystem::path(home) / ".local" / "state" / "orvik";
  return {};
}

std::filesystem::path host_files_folder() {
  const std::filesystem::path exe = executable_folder();
  if (folder_writable(exe)) return exe;
  const std::filesystem::path user = user_state_folder();
  if (user.empty()) return exe;
  std::error_code ec;
  std::filesystem::create_directories(user, ec);
  return user;
}

}  // namespace common
