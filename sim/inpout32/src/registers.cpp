#include "inpout32/registers.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "common/ini.h"
#include "common/orvik_ini.h"
#include "common/ports.h"

namespace inpout32 {
namespace {

// Status of a printer that is not there: busy (bit 7 clear) and deselected (bit 4 clear).
constexpr uint8_t kAbsentStatus = 0x00;

class PpdevRegisters final : public Registers {
 public:
  explicit PpdevRegisters(std::string device) : device_(std::move(device)) {}
  ~PpdevRegisters() override {
    if (fd_ >= 0) {
      ::ioctl(fd_, PPRELEASE);
      ::close(fd_);
    }
  }

  void Write(Register reg, uint8_t value) override {
    if (!Claim()) return;
    switch (reg) {
      case kData:
        ::ioctl(fd_, PPWDATA, &value);
        break;
      case kControl: {
        // ppdev takes the four control lines; the direction and interrupt bits of the
        // register are the kernel's to set.
        unsigned char lines = value & 0x0F;
        ::ioctl(fd_, PPWCONTROL, &lines);
        break;
      }
      case kStatus:
        break;  // read-only
    }
  }

  uint8_t Read(Register reg) override {
    if (!Claim()) return reg == kStatus ? kAbsentStatus : 0;
    unsigned char value = 0;
    const unsigned long request = reg == kData ? PPRDATA : reg == kStatus ? PPRSTATUS : PPRCONTROL;
    if (::ioctl(fd_, request, &value) != 0) return reg == kStatus ? kAbsentStatus : 0;
    return value;
  }

 private:
  bool Claim() {
    if (fd_ >= 0) return true;
    if (failed_) return false;
    const int fd = ::open(device_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 || ::ioctl(fd, PPCLAIM) != 0) {
      if (fd >= 0) ::close(fd);
      failed_ = true;
      return false;
    }
    fd_ = fd;
    return true;
  }

  std::string device_;
  int fd_ = -1;
  bool failed_ = false;
};

class SocketRegisters final : public Registers {
 public:
  explicit SocketRegisters(std::string path) : path_(std::move(path)) {}
  ~SocketRegisters() override { Drop(); }

  void Write(Register reg, uint8_t value) override {
    uint8_t out;
    Exchange(kWrite, reg, value, out);
  }

  uint8_t Read(Register reg) override {
    uint8_t value;
    if (!Exchange(kRead, reg, 0, value)) return reg == kStatus ? kAbsentStatus : 0;
    return value;
  }

 private:
  bool Connect() {
    if (fd_ >= 0) return true;
    sockaddr_un addr{};
    if (path_.size() >= sizeof(addr.sun_path)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path_.c_str(), path_.size() + 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
      ::close(fd);
      return false;
    }
    // A printer that stops answering must not hang the till.
    timeval limit{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    fd_ = fd;
    return true;
  }

  void Drop() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool Exchange(char op, Register reg, uint8_t value, uint8_t& answer) {
    if (!Connect()) return false;
    const unsigned char request[3] = {static_cast<unsigned char>(op), reg, value};
    if (::send(fd_, request, sizeof request, MSG_NOSIGNAL) != 3) {
      Drop();
      return false;
    }
    unsigned char reply[2];
    size_t got = 0;
    while (got < sizeof reply) {
      const ssize_t n = ::recv(fd_, reply + got, sizeof reply - got, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        Drop();
        return false;
      }
      got += static_cast<size_t>(n);
    }
    if (reply[0] != static_cast<unsigned char>(kOk)) return false;
    answer = reply[1];
    return true;
  }

  std::string path_;
  int fd_ = -1;
};

int HexOr(const std::string& text, int fallback) {
  if (text.empty() || text.size() > 7) return fallback;
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return fallback;
  return static_cast<int>(std::strtol(text.c_str(), nullptr, 16));
}

}  // namespace

std::unique_ptr<Registers> MakePpdevRegisters(const std::string& device) {
  return std::make_unique<PpdevRegisters>(device);
}

std::unique_ptr<Registers> MakeSocketRegisters(const std::string& path) {
  return std::make_unique<SocketRegisters>(path);
}

bool RegisterAt(int base, int address, Register& reg) {
  const int offset = address - base;
  if (offset < 0 || offset > 2) return false;
  reg = static_cast<Register>(offset);
  return true;
}

PortConfig ReadPortConfig() {
  PortConfig config;
  const common::IniFile ini(common::orvik_ini_path());
  config.base = HexOr(ini.read("Sistema", "Endereco", "378"), 0x378);
  const std::string porta = ini.read("Sistema", "Porta", "LPT1");
  int n = 1;
  // The driver's reading of the key: LPT and a digit; 3 or 5 characters are LPT1.
  if (porta.size() != 3 && porta.size() != 5 && porta.size() > 3 && porta.rfind("LPT", 0) == 0 &&
      porta[3] >= '0' && porta[3] <= '9')
    n = porta[3] - '0';
  config.device = common::parallel_device(ini, n);
  return config;
}

}  // namespace inpout32
