#pragma once
// Where the driver's configuration file ORVIK.INI lives, for the driver itself and for
// the program that writes into it before a reading: $ORVIK_INI when set (that file,
// existing or not); otherwise ORVIK.INI (any letter case) in the host executable's
// folder, then /etc/orvik/, then /etc/. When none exists, the executable's folder is
// used and the first write creates it there.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace common {

// Finding ORVIK.INI along a list of folders, the first folder holding it (in any letter
// case) winning, without reading every folder on every call. Each folder's answer is
// kept with the folder's identity and change time; a folder whose entries change gets a
// new change time, so an unchanged one still holds (or still lacks) the file it had.
class OrvikIniLookup {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;

  // folders in lookup order; now tells the wall-clock time the file system stamps with.
  explicit OrvikIniLookup(std::vector<std::filesystem::path> folders, Clock now = {});

  // The file of the first folder holding ORVIK.INI in any letter case; otherwise
  // ORVIK.INI in the first folder. Always the answer a fresh search would give.
  std::filesystem::path Find();

  const std::vector<std::filesystem::path>& folders() const { return folders_; }

  // How many times a folder's entries were read (for tests and benchmarks).
  size_t scans() const { return scans_; }

 private:
  // What one folder looked like when its entries were last read.
  struct Seen {
    bool valid = false;
    dev_t dev = 0;
    ino_t ino = 0;
    struct timespec mtime {};
    struct timespec ctime {};
    // The change time was far enough in the past when the folder was read that any later
    // change must carry a different time stamp; until then the folder is read again.
    bool settled = false;
    std::optional<std::filesystem::path> found;
  };

  std::vector<std::filesystem::path> folders_;
  std::vector<Seen> seen_;
  Clock now_;
  size_t scans_ = 0;
};

// The folders searched when $ORVIK_INI is not set: the executable's folder, /etc/orvik,
// /etc.
std::vector<std::filesystem::path> orvik_ini_folders();

// The file ORVIK.INI of this process, by the rule above. Safe from any thread.
std::filesystem::path orvik_ini_path();

// The first of folders holding ORVIK.INI in any letter case; otherwise ORVIK.INI in the
// first folder. Reads every folder on each call.
std::filesystem::path look_up_orvik_ini(const std::vector<std::filesystem::path>& folders);

// Replaces the folders orvik_ini_path() looks in when $ORVIK_INI is not set (tests and
// benchmarks point them at scratch folders); an empty list restores the real ones.
void set_orvik_ini_folders(std::vector<std::filesystem::path> folders);

}  // namespace common
