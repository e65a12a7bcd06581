#pragma once
// File-system faults made inside one test process: a small memory filesystem that fills up
// and a folder shown read-only (writes give EROFS even to root). Each test case runs in its
// own process, which first takes a mount namespace of its own, so nothing of this is seen
// outside it. Where the system allows no mount namespace the helpers answer false and the
// case is skipped.
#include <sched.h>
#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fault_survival {

// A mount namespace of this process alone, taken once.
inline bool PrivateMounts() {
  static const bool done = [] {
    if (::unshare(CLONE_NEWNS) != 0) return false;
    return ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  }();
  return done;
}

// An empty memory filesystem of `size` bytes ("512k") over folder (created when missing).
inline bool SmallDisk(const std::filesystem::path& folder, const std::string& size) {
  if (!PrivateMounts()) return false;
  std::filesystem::create_directories(folder);
  const std::string options = "size=" + size;
  return ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

// Shows `from` at `to` (both folders), as it is.
inline bool Bind(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!PrivateMounts()) return false;
  std::filesystem::create_directories(from);
  std::filesystem::create_directories(to);
  return ::mount(from.c_str(), to.c_str(), nullptr, MS_BIND, nullptr) == 0;
}

// The folder read-only, with what it holds, until Writable.
inline bool ReadOnly(const std::filesystem::path& folder) {
  if (!Bind(folder, folder)) return false;
  return ::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

// Undoes ReadOnly (or any mount over folder).
inline bool Writable(const std::filesystem::path& folder) {
  return ::umount2(folder.c_str(), MNT_DETACH) == 0;
}

// Fills the filesystem that holds `folder` with one-page files and gives the room back one
// page at a time, so that a writer can be failed at every point of its work in turn.
class Filler {
 public:
  explicit Filler(std::filesystem::path folder) : folder_(std::move(folder)) {}
  ~Filler() { FreeAll(); }
  Filler(const Filler&) = delete;
  Filler& operator=(const Filler&) = delete;

  // Writes pages until the filesystem refuses one; how many it took.
  size_t Fill() {
    const std::string page(4096, 'x');
    for (;;) {
      const auto path = folder_ / ("enchimento." + std::to_string(pages_.size()));
      std::ofstream out(path, std::ios::binary);
      out.write(page.data(), static_cast<std::streamsize>(page.size()));
      out.close();
      if (!out) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return pages_.size();
      }
      pages_.push_back(path);
    }
  }
  // One page more of room; false when none is held any more.
  bool FreeOnePage() {
    if (pages_.empty()) return false;
    std::error_code ec;
    std::filesystem::remove(pages_.back(), ec);
    pages_.pop_back();
    return true;
  }
  void FreeAll() {
    while (FreeOnePage()) {
    }
  }
  size_t held() const { return pages_.size(); }

 private:
  std::filesystem::path folder_;
  std::vector<std::filesystem::path> pages_;
};

// What a fault left on disk: the file's bytes (empty when it is missing) and the lines of
// a CR LF text that begin with kind.
inline std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
inline std::vector<std::string> Lines(const std::string& text, const std::string& kind) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    if (text.compare(at, kind.size(), kind) == 0) out.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return out;
}

}  // namespace fault_survival
