#pragma once
// Finding ORVIK.INI along a list of folders, the first folder holding it (in any letter
// case) winning, without reading every folder on every call. Each folder's answer is
// kept with the folder's identity and change time; a folder whose entries change gets a
// new change time, so an unchanged one still holds (or still lacks) the file it had.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace orvik::core {

class ConfigLookup {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;

  // folders in lookup order; now tells the wall-clock time the file system stamps with.
  explicit ConfigLookup(std::vector<std::filesystem::path> folders, Clock now = {});

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

}  // namespace orvik::core
