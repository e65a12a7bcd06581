#include "devkit/line.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace devkit {

namespace {

void make_raw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return;
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
}

int baud_of(speed_t s) {
  switch (s) {
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    default:
      return 0;
  }
}

}  // namespace

void sleep_ms(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::optional<LineSettings> read_line_settings(int fd) {
  termios t{};
  if (fd < 0 || tcgetattr(fd, &t) != 0) return std::nullopt;
  LineSettings s;
  s.baud = baud_of(cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5:
      s.data_bits = 5;
      break;
    case CS6:
      s.data_bits = 6;
      break;
    case CS7:
      s.data_bits = 7;
      break;
    default:
      s.data_bits = 8;
      break;
  }
  s.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 'O' : 'E') : 'N';
  s.stop_bits = (t.c_cflag & CSTOPB) ? 2 : 1;
  s.cts_flow = (t.c_cflag & CRTSCTS) != 0;
  return s;
}

std::string describe(const LineSettings& s) {
  std::string out = std::to_string(s.baud) + " " + std::to_string(s.data_bits) + s.parity +
                    std::to_string(s.stop_bits);
  if (s.cts_flow) out += " CTS";
  return out;
}

Line::~Line() {
  if (fd_ >= 0) ::close(fd_);
  if (keep_open_ >= 0) ::close(keep_open_);
}

bool Line::open_pty(std::string* error) {
  int master = -1, slave = -1;
  char name[256] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    if (error) *error = std::string("openpty: ") + std::strerror(errno);
    return false;
  }
  // Raw from the start: no echo of requests back to us, no line-end translation.
  make_raw(slave);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  fd_ = master;
  keep_open_ = slave;
  slave_path_ = name;
  return true;
}

bool Line::open_device(const std::string& path, std::string* error) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return false;
  }
  make_raw(fd);
  fd_ = fd;
  slave_path_ = path;
  return true;
}

std::optional<LineSettings> Line::host_settings() const {
  if (keep_open_ < 0) return std::nullopt;
  return read_line_settings(keep_open_);
}

bool Line::write_all(std::string_view bytes) const {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        sleep_ms(1);
        continue;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool Line::write_in_pieces(std::string_view bytes, int parts, int gap_ms) const {
  if (parts <= 1) return write_all(bytes);
  std::size_t step = std::max<std::size_t>(1, bytes.size() / static_cast<std::size_t>(parts));
  for (std::size_t at = 0; at < bytes.size(); at += step) {
    if (!write_all(bytes.substr(at, step))) return false;
    if (at + step < bytes.size()) sleep_ms(gap_ms);
  }
  return true;
}

}  // namespace devkit
