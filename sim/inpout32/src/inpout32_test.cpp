// libinpout32.so loaded as the driver loads it. The backend is settled at the first
// access, so each case runs in a process of its own (CTest runs them so).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "inpout32/registers.h"

namespace {

using Out32Fn = void (*)(short, short);
using Inp32Fn = short (*)(short);

// A register file on a Unix socket that records every request.
class LinkPeer {
 public:
  explicit LinkPeer(const std::string& path) : path_(path) {
    listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
    ::unlink(path.c_str());
    EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(::listen(listener_, 1), 0);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LinkPeer() {
    ::shutdown(listener_, SHUT_RDWR);
    if (const int fd = client_.load(); fd >= 0) ::shutdown(fd, SHUT_RDWR);
    ::close(listener_);
    thread_.join();
    ::unlink(path_.c_str());
  }
  std::vector<std::string> requests() {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  uint8_t status = 0x90;

 private:
  void Serve() {
    const int fd = ::accept(listener_, nullptr, nullptr);
    if (fd < 0) return;
    client_ = fd;
    unsigned char req[3];
    while (::recv(fd, req, 3, MSG_WAITALL) == 3) {
      {
        std::lock_guard lock(mutex_);
        requests_.emplace_back(reinterpret_cast<char*>(req), 3);
      }
      unsigned char reply[2] = {'K', 0};
      if (req[0] == 'W' && req[1] <= 2) {
        regs_[req[1]] = req[2];
        reply[1] = req[2];
      } else if (req[0] == 'R' && req[1] <= 2) {
        reply[1] = req[1] == 1 ? status : regs_[req[1]];
      } else {
        reply[0] = 'E';
      }
      ::send(fd, reply, 2, MSG_NOSIGNAL);
    }
    ::close(fd);
  }

  std::string path_;
  int listener_ = -1;
  std::atomic<int> client_{-1};
  uint8_t regs_[3] = {};
  std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

class Library : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/inpout32-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    if (handle) ::dlclose(handle);
    std::filesystem::remove_all(dir);
    ::unsetenv("ORVIK_INI");
    ::unsetenv(inpout32::kLinkEnv);
  }
  void Load(const std::string& ini) {
    std::ofstream(dir / "ORVIK.INI") << ini;
    ::setenv("ORVIK_INI", (dir / "ORVIK.INI").c_str(), 1);
    handle = ::dlopen(INPOUT32_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << ::dlerror();
    out = reinterpret_cast<Out32Fn>(::dlsym(handle, "Out32"));
    in = reinterpret_cast<Inp32Fn>(::dlsym(handle, "Inp32"));
    ASSERT_TRUE(out && in);
  }

  std::filesystem::path dir;
  void* handle = nullptr;
  Out32Fn out = nullptr;
  Inp32Fn in = nullptr;
};

TEST_F(Library, SocketLinkIsOneRequestPerAccessAtTheConfiguredBase) {
  const std::string socket = (dir / "lpt.sock").string();
  LinkPeer peer(socket);
  ::setenv(inpout32::kLinkEnv, socket.c_str(), 1);
  Load("[Sistema]\r\nEndereco=278\r\n");
  out(0x278, 'A');
  out(0x27A, 0xDF);
  out(0x27A, 0xDE);
  EXPECT_EQ(in(0x279), 0x90);
  EXPECT_EQ(in(0x278), 'A');
  // Outside the port: nothing is asked.
  out(0x378, 1);
  EXPECT_EQ(in(0x37B), 0xFF);
  const std::vector<std::string> expected = {
      std::string("W\x00"
                  "A",
                  3),
      std::string("W\x02\xDF", 3), std::string("W\x02\xDE", 3), std::string("R\x01\x00", 3),
      std::string("R\x00\x00", 3)};
  EXPECT_EQ(peer.requests(), expected);
}

TEST_F(Library, MissingSocketReadsAsABusyDeselectedPrinter) {
  ::setenv(inpout32::kLinkEnv, (dir / "none.sock").c_str(), 1);
  Load("[Sistema]\r\n");
  out(0x378, 'A');
  EXPECT_EQ(in(0x379), 0);
}

TEST_F(Library, MissingParallelDeviceReadsAsABusyDeselectedPrinter) {
  Load("[Sistema]\r\nPorta=LPT2\r\n[Portas]\r\nLPT2=" + (dir / "parport9").string() + "\r\n");
  out(0x378, 'A');
  EXPECT_EQ(in(0x379), 0);
}

TEST(PortConfig, BaseAndDeviceAsTheDriverReadsThem) {
  char pattern[] = "/tmp/inpout32-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::filesystem::path dir = pattern;
  const struct {
    std::string ini;
    int base;
    std::string device;
  } cases[] = {
      {"", 0x378, "/dev/parport0"},
      {"[Sistema]\r\nEndereco=278\r\nPorta=LPT2\r\n", 0x278, "/dev/parport1"},
      {"[Sistema]\r\nEndereco=xyz\r\nPorta=LPT12\r\n", 0x378, "/dev/parport0"},
      {"[Sistema]\r\nPorta=LPT3\r\n[Portas]\r\nLPT3=/dev/lp-x\r\n", 0x378, "/dev/lp-x"},
  };
  for (const auto& c : cases) {
    std::ofstream(dir / "ORVIK.INI", std::ios::trunc) << c.ini;
    ::setenv("ORVIK_INI", (dir / "ORVIK.INI").c_str(), 1);
    const inpout32::PortConfig config = inpout32::ReadPortConfig();
    EXPECT_EQ(config.base, c.base) << c.ini;
    EXPECT_EQ(config.device, c.device) << c.ini;
  }
  ::unsetenv("ORVIK_INI");
  std::filesystem::remove_all(dir);
}

TEST(RegisterAt, ThreeAddressesFromTheBase) {
  inpout32::Register reg;
  ASSERT_TRUE(inpout32::RegisterAt(0x378, 0x378, reg));
  EXPECT_EQ(reg, inpout32::kData);
  ASSERT_TRUE(inpout32::RegisterAt(0x378, 0x379, reg));
  EXPECT_EQ(reg, inpout32::kStatus);
  ASSERT_TRUE(inpout32::RegisterAt(0x378, 0x37A, reg));
  EXPECT_EQ(reg, inpout32::kControl);
  EXPECT_FALSE(inpout32::RegisterAt(0x378, 0x37B, reg));
  EXPECT_FALSE(inpout32::RegisterAt(0x378, 0x377, reg));
}

}  // namespace
