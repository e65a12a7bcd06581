// Port devices when the configuration maps none: the Windows side, the names the
// communications API opens.
#include "common/ports.h"

namespace common {

std::string default_serial_device(int number) {
  return "\\\\.\\COM" + std::to_string(number);
}

std::string default_parallel_device(int number) {
  return "LPT" + std::to_string(number);
}

}  // namespace common
