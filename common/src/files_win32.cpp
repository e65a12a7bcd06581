// The file helpers that differ between platforms: the Windows side.
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <fstream>
#include <system_error>

#include "common/files.h"
#include "common/host_files.h"

namespace common {

bool write_lines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
  std::string data;
  for (const auto& l : lines) data.append(l).append("\r\n");
  bool ok;
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    ok = out && out.write(data.data(), static_cast<std::streamsize>(data.size())) && out.flush();
  }
  // A write cut short (a full disk) leaves no file rather than a part of the lines.
  if (!ok) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
  }
  return ok;
}

bool write_all(int fd, std::string_view data) {
  size_t done = 0;
  while (done < data.size()) {
    const int n = ::_write(fd, data.data() + done, static_cast<unsigned>(data.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool replace_file_durably(const std::filesystem::path& file, std::string_view data) {
  const std::filesystem::path scratch = file.string() + ".tmp";
  const HANDLE h = ::CreateFileW(scratch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = ::WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
            written == data.size() && ::FlushFileBuffers(h);
  ok = ::CloseHandle(h) && ok;
  if (ok) ok = ::MoveFileExW(scratch.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  if (!ok) ::DeleteFileW(scratch.c_str());
  return ok;
}

std::filesystem::path executable_folder() {
  char name[MAX_PATH + 1] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, name, MAX_PATH);
  std::string folder(name, n);
  const size_t cut = folder.find_last_of("\\/");
  if (n == 0 || cut == std::string::npos) {
    std::error_code ec;
    return std::filesystem::current_path(ec);
  }
  folder.resize(cut);
  // The driver's folders beside the host program are named in the short (8.3) form.
  char shortened[MAX_PATH + 1] = {};
  const DWORD s = ::GetShortPathNameA(folder.c_str(), shortened, MAX_PATH);
  if (s > 0 && s <= MAX_PATH) folder.assign(shortened, s);
  return std::filesystem::path(folder);
}

std::string with_trailing_slash(std::string path) {
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
  return path;
}

std::string default_path_folder() {
  return "C:\\";
}

bool folder_writable(const std::filesystem::path& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) return false;
  return ::_access(folder.string().c_str(), 2) == 0;
}

}  // namespace common
