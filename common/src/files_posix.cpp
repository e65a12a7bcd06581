// The file helpers that differ between platforms: the POSIX side.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "common/files.h"
#include "common/host_files.h"

namespace common {

bool write_lines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
  std::string data;
  for (const auto& l : lines) data.append(l).append("\r\n");
  // Rewritten in place and cut to length afterwards: truncating to zero first makes ext4
  // flush the file on close, which costs milliseconds on every query's return file.
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = write_all(fd, data) && ::ftruncate(fd, static_cast<off_t>(data.size())) == 0;
  ok = ::close(fd) == 0 && ok;
  // A write cut short (a full disk) has overwritten the old lines in part: no file is
  // better than one that mixes the new lines with the old.
  if (!ok) ::unlink(file.c_str());
  return ok;
}

bool write_all(int fd, std::string_view data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool replace_file_durably(const std::filesystem::path& file, std::string_view data) {
  const std::string scratch = file.string() + ".tmp";
  const int fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = write_all(fd, data) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(scratch.c_str(), file.c_str()) == 0;
  if (!ok) ::unlink(scratch.c_str());
  return ok;
}

std::filesystem::path executable_folder() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

std::string with_trailing_slash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

std::string default_path_folder() {
  std::error_code ec;
  const std::string cwd = std::filesystem::current_path(ec).string();
  return cwd.empty() ? "/" : with_trailing_slash(cwd);
}

bool folder_writable(const std::filesystem::path& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return false;
  // The effective ids decide, as they do for the files the driver creates.
  return ::eaccess(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace common
