#pragma once
// Test support: the embedded engine of this test process keeps its lock files in a folder
// of its own, so that an engine left stuck by one test cannot block the others. Programs
// the test starts inherit it and so share the locks of the databases they share.
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace store::testing {

// Sets FIREBIRD_LOCK once per process (the engine reads it when it starts), before the
// first attachment; a FIREBIRD_LOCK given from outside is kept. The folder goes at exit.
inline void UseOwnLockFolder() {
  static const bool done = [] {
    if (const char* given = ::getenv("FIREBIRD_LOCK"); given && *given) return true;
    static std::string folder =
        (std::filesystem::temp_directory_path() / "orvik-fb-lock-XXXXXX").string();
    if (!::mkdtemp(folder.data())) return false;
    ::setenv("FIREBIRD_LOCK", folder.c_str(), 1);
    ::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    });
    return true;
  }();
  (void)done;
}

}  // namespace store::testing
