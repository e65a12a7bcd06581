#include "vuno_sim/device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "inpout32/link.h"

namespace vuno_sim {
namespace {

using namespace std::string_literals;

// The host's end of the serial line.
class Host {
 public:
  Host(const std::string& path, speed_t speed) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    tcsetattr(fd_, TCSANOW, &t);
  }
  ~Host() { ::close(fd_); }
  void send(const std::string& bytes) {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  // What arrives within ms.
  std::string receive(int ms) {
    std::string out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      char buf[64];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n > 0) out.append(buf, size_t(n));
    }
    return out;
  }

 private:
  int fd_ = -1;
};

class SerialDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server.open_pty(&error)) << error;
    server.start();
  }
  void TearDown() override { server.stop(); }
  size_t Events() {
    std::lock_guard lock(device.mutex());
    return device.printer().events().size();
  }
  Device device;
  SerialServer server{device};
};

TEST_F(SerialDevice, AnswersStatusAndTheFaultsOnIt) {
  Host host(server.slave_path(), B9600);
  host.send("\x10\x04\x01");
  EXPECT_EQ(host.receive(300), "\x12");
  device.inject(Fault{Fault::kGarbage, 0, "zz"});
  host.send("\x10\x04\x04");
  EXPECT_EQ(host.receive(300), "\x12zz");
  device.inject(Fault{Fault::kSilent});
  host.send("\x10\x04\x04");
  EXPECT_EQ(host.receive(300), "");
  device.offline = true;
  host.send("\x10\x04\x04");
  EXPECT_EQ(host.receive(300), "");
}

TEST_F(SerialDevice, OtherLineSpeedIsGarbage) {
  Host host(server.slave_path(), B19200);
  host.send("Pedido\n\x10\x04\x01");
  EXPECT_EQ(host.receive(300), "");
  std::lock_guard lock(device.mutex());
  ASSERT_FALSE(device.printer().events().empty());
  EXPECT_EQ(device.printer().events()[0].kind, Event::kGarbage);
  EXPECT_TRUE(device.printer().tape().empty());
}

// A raw client of the register link.
class Link {
 public:
  explicit Link(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
    EXPECT_EQ(::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  }
  ~Link() { ::close(fd_); }
  std::string ask(char op, int reg, int value) {
    const char req[3] = {op, char(reg), char(value)};
    EXPECT_EQ(::send(fd_, req, 3, 0), 3);
    char reply[2] = {0, 0};
    EXPECT_EQ(::recv(fd_, reply, 2, MSG_WAITALL), 2);
    return std::string(reply, 2);
  }
  uint8_t status() { return uint8_t(ask('R', 1, 0)[1]); }

 private:
  int fd_ = -1;
};

class ParallelDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    path = "/tmp/vuno-sim-test-" + std::to_string(::getpid()) + ".sock";
    std::string error;
    ASSERT_TRUE(server.listen(path, &error)) << error;
    server.start();
  }
  void TearDown() override { server.stop(); }
  void Strobe(Link& link, char byte) {
    link.ask('W', 0, byte);
    link.ask('W', 2, 0xDF);
    link.ask('W', 2, 0xDE);
  }
  std::string path;
  Device device;
  ParallelServer server{device};
};

TEST_F(ParallelDevice, LatchesOnTheStrobeAndShowsBusyThenAck) {
  Link link(path);
  EXPECT_EQ(link.status(), 0xD8);  // ready, no ack, selected, no error
  device.busy_us = 200000;
  Strobe(link, 'A');
  EXPECT_EQ(link.status() & 0x80, 0);  // busy
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_EQ(link.status(), 0x98);  // ready with the ack pulse
  EXPECT_EQ(link.status(), 0xD8);
  device.busy_us = 0;
  Strobe(link, '\n');
  std::lock_guard lock(device.mutex());
  EXPECT_EQ(device.printer().tape_text(), std::vector<std::string>{"A"});
}

TEST_F(ParallelDevice, SensorsAndRefusals) {
  Link link(path);
  device.printer().set_paper_out(true);
  EXPECT_EQ(link.status(), 0x70);  // busy (no ack), paper out, selected, error
  device.printer().set_paper_out(false);
  device.offline = true;
  EXPECT_EQ(link.status(), 0x40);  // busy, deselected, error
  device.offline = false;
  device.stuck_busy = true;
  EXPECT_EQ(link.status() & 0x80, 0);
  EXPECT_EQ(link.ask('W', 1, 0)[0], 'E');
  EXPECT_EQ(link.ask('X', 0, 0)[0], 'E');
  EXPECT_EQ(link.ask('R', 7, 0)[0], 'E');
}

}  // namespace
}  // namespace vuno_sim
