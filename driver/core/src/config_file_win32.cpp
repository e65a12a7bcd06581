// ORVIK.INI's in-place overwrite: the Windows side.
#include <windows.h>

#include "config_file.h"

namespace orvik::core {
namespace {

HANDLE AsHandle(long long h) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(h));
}

}  // namespace

bool ConfigFileHandle::Open(const std::filesystem::path& path) {
  Close();
  // Others may keep reading and writing the file, as with the profile API.
  const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  handle_ = static_cast<long long>(reinterpret_cast<intptr_t>(h));
  return true;
}

bool ConfigFileHandle::ReadAll(std::string& out) {
  char buffer[4096];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(AsHandle(handle_), buffer, sizeof buffer, &n, nullptr)) return false;
    if (n == 0) return true;
    out.append(buffer, n);
  }
}

bool ConfigFileHandle::WriteAt(size_t offset, std::string_view bytes) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(static_cast<unsigned long long>(offset) >> 32);
  DWORD written = 0;
  return ::WriteFile(AsHandle(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     &at) != 0 &&
         written == bytes.size();
}

void ConfigFileHandle::Close() {
  if (handle_ != -1) ::CloseHandle(AsHandle(handle_));
  handle_ = -1;
}

}  // namespace orvik::core
