// Finding ORVIK.INI: the POSIX side (folder identity and change times from stat; the
// folders of the executable, /etc/orvik and /etc).
#include <sys/stat.h>

#include "common/files.h"
#include "common/host_files.h"
#include "common/orvik_ini.h"

namespace common {

namespace {

// Time stamps are taken from a coarse clock (a scheduler tick, or whole seconds on some
// file systems), so a change made in the same tick as an earlier one may carry the same
// stamp. A folder whose last change is older than this is past that doubt.
constexpr std::chrono::seconds kSettleTime{3};

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::chrono::system_clock::time_point AsTimePoint(const struct timespec& t) {
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec)));
}

}  // namespace

OrvikIniLookup::OrvikIniLookup(std::vector<std::filesystem::path> folders, Clock now)
    : folders_(std::move(folders)), seen_(folders_.size()), now_(std::move(now)) {
  if (!now_) now_ = [] { return std::chrono::system_clock::now(); };
}

std::filesystem::path OrvikIniLookup::Find() {
  for (size_t i = 0; i < folders_.size(); ++i) {
    const std::filesystem::path& folder = folders_[i];
    Seen& seen = seen_[i];
    struct stat st {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &st) != 0) {
      // A folder that is not there holds nothing; the stat is asked again next time.
      seen.valid = false;
      continue;
    }
    const bool unchanged = seen.valid && seen.settled && seen.dev == st.st_dev &&
                           seen.ino == st.st_ino && SameTime(seen.mtime, st.st_mtim) &&
                           SameTime(seen.ctime, st.st_ctim);
    if (!unchanged) {
      // The clock is read before the entries, so a change made while reading them leaves
      // the folder unsettled.
      const auto now = now_();
      ++scans_;
      seen.found = find_case_blind(folder, "ORVIK.INI");
      seen.valid = true;
      seen.dev = st.st_dev;
      seen.ino = st.st_ino;
      seen.mtime = st.st_mtim;
      seen.ctime = st.st_ctim;
      const auto latest = std::max(AsTimePoint(st.st_mtim), AsTimePoint(st.st_ctim));
      seen.settled = latest + kSettleTime < now;
    }
    if (seen.found) return *seen.found;
  }
  return folders_.empty() ? std::filesystem::path("ORVIK.INI") : folders_.front() / "ORVIK.INI";
}

std::vector<std::filesystem::path> orvik_ini_folders() {
  // Where the executable's folder is closed to this user, the user's own ORVIK.INI comes
  // first, and a new one is written there.
  const std::filesystem::path host_files = host_files_folder();
  if (host_files != executable_folder())
    return {host_files, executable_folder(), "/etc/orvik", "/etc"};
  return {executable_folder(), "/etc/orvik", "/etc"};
}

}  // namespace common
