// ORVIK.INI's in-place overwrite: the POSIX side.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "config_file.h"

namespace orvik::core {

bool ConfigFileHandle::Open(const std::filesystem::path& path) {
  Close();
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  handle_ = fd;
  return fd >= 0;
}

bool ConfigFileHandle::ReadAll(std::string& out) {
  const int fd = static_cast<int>(handle_);
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<size_t>(n));
  }
}

bool ConfigFileHandle::WriteAt(size_t offset, std::string_view bytes) {
  const int fd = static_cast<int>(handle_);
  if (::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) !=
      static_cast<ssize_t>(bytes.size()))
    return false;
  // Hands the digits to the disk now rather than at the next periodic writeback, as a
  // file renamed over another is on ext4; nothing waits for it.
  ::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(bytes.size()),
                    SYNC_FILE_RANGE_WRITE);
  return true;
}

void ConfigFileHandle::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

}  // namespace orvik::core
