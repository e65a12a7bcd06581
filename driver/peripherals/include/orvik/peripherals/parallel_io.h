#pragma once
// The parallel port's registers, reached through the outside port-access library
// (libinpout32.so: Out32 and Inp32), loaded on first use and kept loaded.
#include <memory>
#include <string>

namespace orvik::peripherals {

class PortIo {
 public:
  virtual ~PortIo() = default;
  // Writes value (its low byte) to the register at address.
  virtual void Out(int address, int value) = 0;
  // The register at address.
  virtual int In(int address) = 0;
};

// The library's registers; nullptr when it cannot be loaded (tried again on the next use).
// Looked for beside the driver first, then by name.
PortIo* ParallelIo();

// Replaces the port access (tests); nullptr goes back to the library.
void SetParallelIo(std::unique_ptr<PortIo> io);

// The file name the library is loaded by (INPOUT32.DLL; libinpout32.so on Linux).
std::string InpoutLibraryName();

}  // namespace orvik::peripherals
