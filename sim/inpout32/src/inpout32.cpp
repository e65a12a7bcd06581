// libinpout32.so: Out32 and Inp32 over the register interface. The backend and the port
// configuration are settled at the first access and kept for the life of the process.
#include <cstdlib>
#include <mutex>

#include "inpout32/registers.h"

#if defined(__i386__)
#define INPOUT32_CALL __attribute__((stdcall))
#else
#define INPOUT32_CALL
#endif
#define INPOUT32_API extern "C" __attribute__((visibility("default")))

namespace {

struct Port {
  int base = 0x378;
  std::unique_ptr<inpout32::Registers> registers;
};

std::mutex& Mutex() {
  static std::mutex mutex;
  return mutex;
}

Port& ThePort() {
  static Port port = [] {
    Port p;
    const inpout32::PortConfig config = inpout32::ReadPortConfig();
    p.base = config.base;
    const char* link = std::getenv(inpout32::kLinkEnv);
    p.registers = link && *link ? inpout32::MakeSocketRegisters(link)
                                : inpout32::MakePpdevRegisters(config.device);
    return p;
  }();
  return port;
}

}  // namespace

INPOUT32_API void INPOUT32_CALL Out32(short address, short value) {
  std::lock_guard lock(Mutex());
  Port& port = ThePort();
  inpout32::Register reg;
  if (!inpout32::RegisterAt(port.base, static_cast<unsigned short>(address), reg)) return;
  port.registers->Write(reg, static_cast<uint8_t>(value & 0xFF));
}

INPOUT32_API short INPOUT32_CALL Inp32(short address) {
  std::lock_guard lock(Mutex());
  Port& port = ThePort();
  inpout32::Register reg;
  // An address outside the port reads as a floating bus.
  if (!inpout32::RegisterAt(port.base, static_cast<unsigned short>(address), reg)) return 0xFF;
  return port.registers->Read(reg);
}
