#include "orvik/peripherals/parallel_io.h"

#include "common/library.h"
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

std::unique_ptr<PortIo> Load() {
  void* library = common::load_library(InpoutLibraryName());
  if (!library) return nullptr;
  auto out = reinterpret_cast<Out32Fn>(common::library_function(library, "Out32"));
  auto in = reinterpret_cast<Inp32Fn>(common::library_function(library, "Inp32"));
  if (!out || !in) {
    common::free_library(library);
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

std::string InpoutLibraryName() {
  return common::library_file_name("INPOUT32.DLL");
}

PortIo* ParallelIo() {
  if (!Slot()) Slot() = Load();
  return Slot().get();
}

void SetParallelIo(std::unique_ptr<PortIo> io) {
  Slot() = std::move(io);
}

}  // namespace orvik::peripherals
