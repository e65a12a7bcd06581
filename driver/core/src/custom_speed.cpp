#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "orvik/core/line_speed.h"

namespace orvik::core {

bool SetCustomSpeed(int fd, unsigned bits_per_second) {
  termios2 tio{};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_cflag &= ~CBAUD;
  tio.c_cflag |= BOTHER;
  tio.c_cflag &= ~(CBAUD << IBSHIFT);
  tio.c_cflag |= BOTHER << IBSHIFT;
  tio.c_ospeed = bits_per_second;
  tio.c_ispeed = bits_per_second;
  return ::ioctl(fd, TCSETS2, &tio) == 0;
}

unsigned ReadLineSpeed(int fd) {
  termios2 tio{};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return 0;
  return tio.c_ospeed;
}

}  // namespace orvik::core
