#pragma once
// Line speeds that termios has no constant for (14400 and the like), set and read
// through the kernel's termios2 interface. Kept apart because its header clashes with
// <termios.h>.

namespace orvik::core {

// Sets input and output speed of a terminal to bits_per_second; false on failure.
bool SetCustomSpeed(int fd, unsigned bits_per_second);

// The output speed of a terminal in bits per second; 0 when it cannot be read.
unsigned ReadLineSpeed(int fd);

}  // namespace orvik::core
