#pragma once
// Outside libraries loaded by name at run time (the memory-reading libraries, the
// parallel-port access library): dlopen/dlsym on Linux, LoadLibraryA/GetProcAddress/
// FreeLibrary on Windows.
#include <filesystem>
#include <string>
#include <string_view>

namespace common {

// The file of an outside library known by its Windows name: the name itself on Windows
// ("Leitura.dll"); lib + the lower-case stem + ".so" on Linux ("libleitura.so").
std::string library_file_name(std::string_view windows_name);

// The folder of the module (shared library or program) that holds this code.
std::filesystem::path own_module_folder();

// Loads a library: a name holding a folder separator as that path; otherwise first from
// the folder of this module, then by the platform's own search. Null when it cannot.
void* load_library(const std::string& name);

// The address of a function of a loaded library; null when it has none.
void* library_function(void* library, const char* name);

// Releases a library load_library returned.
void free_library(void* library);

}  // namespace common
