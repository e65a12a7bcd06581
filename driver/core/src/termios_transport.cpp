// The port layer's transport over Linux character devices (serial lines and
// pseudo-terminals) through termios.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "common/serial_devices.h"
#include "orvik/core/line_speed.h"
#include "orvik/core/port.h"
#include "orvik/core/text_forms.h"

namespace orvik::core {
namespace {

constexpr int kWriteTimeoutMs = 1000;

bool SpeedConstant(const std::string& speed, speed_t& out) {
  static const struct {
    const char* text;
    speed_t value;
  } kSpeeds[] = {{"1200", B1200},   {"2400", B2400},     {"4800", B4800},
                 {"9600", B9600},   {"19200", B19200},   {"38400", B38400},
                 {"57600", B57600}, {"115200", B115200}, {"230400", B230400}};
  for (const auto& s : kSpeeds) {
    if (speed == s.text) {
      out = s.value;
      return true;
    }
  }
  return false;
}

class TermiosTransport final : public Transport {
 public:
  int Open(const std::string& device) override {
    open_error_ = ENOENT;
    if (device.empty()) return -1;
    // Non-blocking, so that neither the open (carrier) nor a write (flow control) can
    // hang the till; reads and writes wait through poll with their own time-outs.
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      open_error_ = errno;
      return -1;
    }
    struct stat st {};
    // Only an existing device: a plain file of that name is not a line. Another driver
    // process using the port holds its lock (TIOCEXCL alone does not stop root).
    int error = 0;
    if (::fstat(fd, &st) != 0)
      error = errno;
    else if (!S_ISCHR(st.st_mode))
      error = ENOTTY;
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
      error = errno;
    else if (::isatty(fd) && ::ioctl(fd, TIOCEXCL) != 0)
      error = errno;
    if (error != 0) {
      ::close(fd);
      open_error_ = error;
      return -1;
    }
    open_error_ = 0;
    return fd;
  }

  bool Configure(int fd, const LineSettings& settings) override {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return false;
    ::cfmakeraw(&tio);
    speed_t speed;
    const bool standard = SpeedConstant(settings.speed, speed);
    if (standard) {
      ::cfsetispeed(&tio, speed);
      ::cfsetospeed(&tio, speed);
    }
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag |= settings.data_bits == 7 ? CS7 : CS8;
    if (settings.parity == Parity::kEven) tio.c_cflag |= PARENB;
    if (settings.stop_bits == 2) tio.c_cflag |= CSTOPB;
    if (settings.cts_flow) tio.c_cflag |= CRTSCTS;
    // No parity checking, no XON/XOFF, nothing replaced or stripped.
    tio.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY | PARMRK | IGNPAR | ISTRIP);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return false;
    bool ok = true;
    if (!standard) {
      // Any other speed the configuration names is set as it is, when the line allows it.
      const int bits = ParseInteger(settings.speed, 0);
      ok = bits > 0 && SetCustomSpeed(fd, static_cast<unsigned>(bits));
    }
    // DTR on.
    int dtr = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIS, &dtr) != 0 && errno != ENOTTY && errno != EINVAL) ok = false;
    return ok;
  }

  long Write(int fd, std::string_view bytes) override {
    return WriteWithin(fd, bytes, kWriteTimeoutMs);
  }

  long WriteWithin(int fd, std::string_view bytes, int timeout_ms) override {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) break;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, static_cast<int>(left.count()));
    }
    return static_cast<long>(done);
  }

  std::string ReadChunk(int fd, size_t max, int timeout_ms) override {
    std::string out(max, '\0');
    pollfd p{fd, POLLIN, 0};
    int ready;
    do {
      ready = ::poll(&p, 1, timeout_ms);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return {};
    if (!(p.revents & POLLIN)) {
      // Hang-up or error with nothing to read: wait out the slice rather than spin.
      ::poll(nullptr, 0, timeout_ms);
      return {};
    }
    const ssize_t n = ::read(fd, out.data(), max);
    if (n <= 0) return {};
    out.resize(static_cast<size_t>(n));
    return out;
  }

  bool Cts(int fd) override {
    int status = 0;
    if (::ioctl(fd, TIOCMGET, &status) != 0) return errno == ENOTTY;
    return (status & TIOCM_CTS) != 0;
  }

  void Close(int fd) override {
    // The exclusive flag of a pseudo-terminal outlives the close while the other side
    // stays open, so it is released first.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
  }

  std::string OpenFailure() const override {
    return common::open_problem_log_text(common::open_problem_of(open_error_), open_error_);
  }

 private:
  int open_error_ = 0;
};

}  // namespace

std::unique_ptr<Transport> MakeTermiosTransport() {
  return std::make_unique<TermiosTransport>();
}

std::unique_ptr<Transport> MakePlatformTransport() {
  return MakeTermiosTransport();
}

}  // namespace orvik::core
