#pragma once
// The register interface behind Out32/Inp32: one backend per process, chosen at the first
// access: the virtual printer's socket when ORVIK_INPOUT32_SOCKET names one, otherwise
// the kernel's ppdev on the LPT device of ORVIK.INI. A backend that cannot reach its
// device reads as a busy, deselected printer (status 0) and drops writes, so the driver
// reports the printer off line rather than sending into nothing.
#include <cstdint>
#include <memory>
#include <string>

#include "inpout32/link.h"

namespace inpout32 {

class Registers {
 public:
  virtual ~Registers() = default;
  virtual void Write(Register reg, uint8_t value) = 0;
  virtual uint8_t Read(Register reg) = 0;
};

// ppdev on a parport device (/dev/parport0): claimed once at the first access.
std::unique_ptr<Registers> MakePpdevRegisters(const std::string& device);
// One request/response per access on the Unix socket at path.
std::unique_ptr<Registers> MakeSocketRegisters(const std::string& path);

// What the port addresses mean: base is the data register, base + 1 status, base + 2
// control. False for any other address.
bool RegisterAt(int base, int address, Register& reg);

// The port configuration the library reads from ORVIK.INI: [Sistema] Endereco (hex,
// default 378) and the LPT device ([Portas] LPTn, otherwise /dev/parport(n-1), n from
// [Sistema] Porta).
struct PortConfig {
  int base = 0x378;
  std::string device = "/dev/parport0";
};
PortConfig ReadPortConfig();

}  // namespace inpout32
