// Outside libraries: the Linux side, through the dynamic loader.
#include <dlfcn.h>

#include <cctype>

#include "common/files.h"
#include "common/library.h"

namespace common {

std::string library_file_name(std::string_view windows_name) {
  std::string stem(windows_name.substr(0, windows_name.rfind('.')));
  for (char& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return "lib" + stem + ".so";
}

std::filesystem::path own_module_folder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&own_module_folder), &info) && info.dli_fname)
    return std::filesystem::path(info.dli_fname).parent_path();
  return executable_folder();
}

void* load_library(const std::string& name) {
  if (name.find('/') != std::string::npos) return ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  const std::filesystem::path beside = own_module_folder() / name;
  std::error_code ec;
  if (std::filesystem::exists(beside, ec)) {
    if (void* h = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
  }
  return ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* library_function(void* library, const char* name) {
  return library ? ::dlsym(library, name) : nullptr;
}

void free_library(void* library) {
  if (library) ::dlclose(library);
}

}  // namespace common
