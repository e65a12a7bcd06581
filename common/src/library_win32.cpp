// Outside libraries: the Windows side.
#include <windows.h>

#include "common/files.h"
#include "common/library.h"

namespace common {

std::string library_file_name(std::string_view windows_name) {
  return std::string(windows_name);
}

std::filesystem::path own_module_folder() {
  HMODULE self = nullptr;
  if (::GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&own_module_folder), &self)) {
    char name[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameA(self, name, MAX_PATH);
    if (n > 0 && n <= MAX_PATH) return std::filesystem::path(std::string(name, n)).parent_path();
  }
  return executable_folder();
}

void* load_library(const std::string& name) {
  if (name.find_first_of("\\/") == std::string::npos) {
    // Beside Orvik.dll first: the host program's folder and the system folders after.
    const std::string beside = (own_module_folder() / name).string();
    if (HMODULE h = ::LoadLibraryA(beside.c_str())) return h;
  }
  return ::LoadLibraryA(name.c_str());
}

void* library_function(void* library, const char* name) {
  if (!library) return nullptr;
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void free_library(void* library) {
  if (library) ::FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace common
