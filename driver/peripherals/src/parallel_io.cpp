#include "orvik/peripherals/parallel_io.h"

#include <dlfcn.h>

#include <filesystem>

#include "orvik/orvik.h"

namespace orvik::peripherals {
namespace {

// The outside library's two functions, as it declares them.
using Out32Fn = void ORVIK_CALL (*)(short address, short value);
using Inp32Fn = short ORVIK_CALL (*)(short address);

class LibraryIo final : public PortIo {
 public:
  LibraryIo(Out32Fn out, Inp32Fn in) : out_(out), in_(in) {}
  void Out(int address, int value) override {
    out_(static_cast<short>(address), static_cast<short>(value & 0xFF));
  }
  int In(int address) override { return in_(static_cast<short>(address)) & 0xFF; }

 private:
  Out32Fn out_;
  Inp32Fn in_;
};

// The folder this library was loaded from.
std::filesystem::path OwnFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnFolder), &info) == 0 || !info.dli_fname) return {};
  return std::filesystem::path(info.dli_fname).parent_path();
}

std::unique_ptr<PortIo> Load() {
  void* handle = nullptr;
  const std::filesystem::path folder = OwnFolder();
  if (!folder.empty()) {
    const std::filesystem::path beside = folder / kInpoutLibrary;
    std::error_code ec;
    if (std::filesystem::exists(beside, ec)) handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  if (!handle) handle = dlopen(kInpoutLibrary, RTLD_NOW | RTLD_LOCAL);
  if (!handle) return nullptr;
  auto out = reinterpret_cast<Out32Fn>(dlsym(handle, "Out32"));
  auto in = reinterpret_cast<Inp32Fn>(dlsym(handle, "Inp32"));
  if (!out || !in) {
    dlclose(handle);
    return nullptr;
  }
  // Kept loaded for the life of the process.
  return std::make_unique<LibraryIo>(out, in);
}

std::unique_ptr<PortIo>& Slot() {
  static std::unique_ptr<PortIo> slot;
  return slot;
}

}  // namespace

PortIo* ParallelIo() {
  if (!Slot()) Slot() = Load();
  return Slot().get();
}

void SetParallelIo(std::unique_ptr<PortIo> io) {
  Slot() = std::move(io);
}

}  // namespace orvik::peripherals
