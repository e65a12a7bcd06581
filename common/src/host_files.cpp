#include "common/host_files.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdlib>
#include <system_error>

#include "common/files.h"

namespace common {

bool folder_writable(const std::filesystem::path& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return false;
#ifdef _WIN32
  return ::_access(folder.string().c_str(), 2) == 0;
#else
  // The effective ids decide, as they do for the files the driver creates.
  return ::eaccess(folder.c_str(), W_OK | X_OK) == 0;
#endif
}

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
