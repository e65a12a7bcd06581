// Port devices when the configuration maps none: the POSIX side.
#include "common/ports.h"

namespace common {

std::string default_serial_device(int number) {
  return "/dev/ttyS" + std::to_string(number - 1);
}

std::string default_parallel_device(int number) {
  return "/dev/parport" + std::to_string(number - 1);
}

}  // namespace common
