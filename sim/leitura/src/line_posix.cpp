// The reading library's line: the POSIX side, termios on a serial device or a
// pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "line.h"

namespace leitura {
namespace {

using Clock = std::chrono::steady_clock;

speed_t SpeedOf(int baud) {
  switch (baud) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    default:
      return B115200;
  }
}

}  // namespace

Line::~Line() {
  Close();
}

bool Line::Open(const std::string& device, int baud) {
  const auto failed = [this] {
    error_ = std::strerror(errno);
    Close();
    return false;
  };
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  handle_ = fd;
  if (fd < 0) return failed();
  if (::isatty(fd) == 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0)
    return failed();
  termios tio{};
  const speed_t speed = SpeedOf(baud);
  if (::tcgetattr(fd, &tio) != 0) return failed();
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  // 8 data bits, even parity, one stop bit, no flow control, as the printer expects.
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD | CS8 | PARENB;
  tio.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY | PARMRK | IGNPAR | ISTRIP);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    // A line without parity (a pseudo-terminal) reports the parity bit as not taken.
    tio.c_cflag &= ~PARENB;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return failed();
  }
  ::tcflush(fd, TCIOFLUSH);
  return true;
}

void Line::Close() {
  if (handle_ < 0) return;
  const int e = errno;
  const int fd = static_cast<int>(handle_);
  // On a pseudo-terminal the exclusive flag would outlive the close.
  ::ioctl(fd, TIOCNXCL);
  ::close(fd);
  handle_ = -1;
  errno = e;
}

bool Line::Write(std::string_view bytes) {
  const int fd = static_cast<int>(handle_);
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (Clock::now() > deadline) return false;
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, 20);
  }
  return true;
}

bool Line::Read(std::string& into, int ms) {
  const int fd = static_cast<int>(handle_);
  pollfd p{fd, POLLIN, 0};
  const int r = ::poll(&p, 1, ms);
  if (r < 0) return errno == EINTR;
  if (r == 0) return true;
  if (p.revents & (POLLERR | POLLNVAL)) return false;
  char buf[4096];
  const ssize_t n = ::read(fd, buf, sizeof buf);
  if (n > 0) into.append(buf, static_cast<size_t>(n));
  if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
  if (n == 0 && (p.revents & POLLHUP)) ::usleep(10000);  // no peer yet
  return true;
}

}  // namespace leitura
