#include "common/serial_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace common {

namespace {

speed_t speed_constant(int speed) {
  switch (speed) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B0;
  }
}

}  // namespace

bool SerialLine::open(const std::string& device) {
  close();
  error_ = 0;
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error_ = errno;
  } else {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
      error_ = errno;
    else if (!S_ISCHR(st.st_mode))
      error_ = ENOTTY;
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
      error_ = errno;
    else if (::isatty(fd) && ::ioctl(fd, TIOCEXCL) != 0)
      error_ = errno;
    if (error_ != 0)
      ::close(fd);
    else
      fd_ = fd;
  }
  problem_ = open_problem_of(error_);
  return fd_ >= 0;
}

bool SerialLine::configure(const SerialFraming& framing) {
  termios tio{};
  if (fd_ < 0 || ::tcgetattr(fd_, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  const speed_t speed = speed_constant(framing.speed);
  if (speed == B0) return false;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  tio.c_cflag |= CLOCAL | CREAD | CS8;
  if (framing.parity == 'E') tio.c_cflag |= PARENB;
  if (framing.cts_flow) tio.c_cflag |= CRTSCTS;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
    // A pseudo-terminal refuses parity; it carries the bytes all the same.
    if (errno != EINVAL || !(tio.c_cflag & PARENB)) return false;
    tio.c_cflag &= ~PARENB;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return false;
  }
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd_, TIOCMBIS, &lines);  // a pty has no modem lines; nothing to set there
  return true;
}

void SerialLine::close() {
  if (fd_ < 0) return;
  ::ioctl(fd_, TIOCNXCL);  // a pty's exclusive flag outlives the close
  ::close(fd_);
  fd_ = -1;
}

bool SerialLine::write_all(std::string_view bytes, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLOUT, 0};
    ::poll(&p, 1, static_cast<int>(left.count()));
  }
  return done == bytes.size();
}

std::string SerialLine::read_some(int wait_ms) {
  if (fd_ < 0) return {};
  pollfd p{fd_, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&p, 1, wait_ms);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return {};
  if (!(p.revents & POLLIN)) {
    ::poll(nullptr, 0, wait_ms);  // hang-up with nothing to read: do not spin
    return {};
  }
  char buffer[1024];
  const ssize_t n = ::read(fd_, buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

void SerialLine::drain() {
  for (int i = 0; i < 64 && !read_some(0).empty(); ++i) {
  }
}

}  // namespace common
