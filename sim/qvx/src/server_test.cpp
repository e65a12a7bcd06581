#include "qvx_sim/server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

namespace qvx_sim {
namespace {

// The host's end: opens the slave as the driver does and sends one frame.
class Host {
 public:
  Host(const std::string& path, speed_t speed, bool cts) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, speed);
    if (cts)
      t.c_cflag |= CRTSCTS;
    else
      t.c_cflag &= ~CRTSCTS;
    tcsetattr(fd_, TCSANOW, &t);
  }
  ~Host() { ::close(fd_); }
  // The bytes answered until ETX ends them and the line is quiet, or the time is up.
  std::string send(const std::string& text, int ms = 3000) {
    const std::string frame = "\x02\x1b$" + text + "\x03";
    if (::write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return {};
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) > 0) {
        char b[512];
        const ssize_t n = ::read(fd_, b, sizeof b);
        if (n > 0) got.append(b, static_cast<size_t>(n));
      } else if (!got.empty() && got.back() == '\x03') {
        break;
      }
    }
    return got;
  }

 private:
  int fd_ = -1;
};

class QvxServer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server.open_pty(&error)) << error;
    server.start();
  }
  void TearDown() override { server.stop(); }
  Printer printer{Model::k820};
  Server server{printer};
};

TEST_F(QvxServer, AnswersOnlyA9600LineWithCtsFlow) {
  {
    Host host(server.slave_path(), B9600, true);
    EXPECT_EQ(host.send("150"),
              "\x02+1500"
              "00\x03");
    EXPECT_EQ(host.send("34M41"),
              "\x02S3400"
              "000001\x03");
  }
  for (auto [speed, cts] : {std::pair{B115200, true}, std::pair{B9600, false}}) {
    Host host(server.slave_path(), speed, cts);
    EXPECT_EQ(host.send("150", 400), "");
  }
  EXPECT_EQ(server.wrong_line(), 2u);
  std::lock_guard lock(server.mutex());
  EXPECT_EQ(printer.state().coo, 1);  // the unanswered X was not printed either
}

TEST_F(QvxServer, ControlFileFaults) {
  const auto file =
      std::filesystem::temp_directory_path() / ("qvxsim_ctl_" + std::to_string(getpid()));
  server.set_control_file(file);
  Host host(server.slave_path(), B9600, true);
  struct {
    const char* control;
    std::string reply;
  } cases[] = {
      {"error 33",
       "\x02-1500"
       "33\x03"},
      {"busy",
       "\x02-1500"
       "43\x03"},
      {"noise \\x15\\x02z",
       "\x15\x02z\x02+1500"
       "00\x03"},
      {"trailing zz",
       "\x02+1500"
       "00\x03zz"},
      {"double",
       "\x02-1500"
       "43\x03\x02+1500"
       "00\x03"},
      {"short", "\x02+1\x03"},
      {"split 3 30",
       "\x02+1500"
       "00\x03"},
      {"silent", ""},
  };
  for (const auto& c : cases) {
    std::ofstream(file) << c.control << "\n";
    EXPECT_EQ(host.send("150", c.reply.empty() ? 400 : 3000), c.reply) << c.control;
    EXPECT_FALSE(std::filesystem::exists(file));
  }
  std::ofstream(file) << "paper-out\ndrawer-open\n";
  EXPECT_EQ(host.send("32"),
            "\x02S3200"
            "0000030000\x03");
  EXPECT_EQ(host.send("10" + std::string(28, ' ')),
            "\x02-1000"
            "33\x03");
  std::ofstream(file) << "paper-ok\nintervention-on\n";
  EXPECT_EQ(host.send("10" + std::string(28, ' ')),
            "\x02-1000"
            "21\x03");
  std::ofstream(file) << "intervention-off\n";
  EXPECT_EQ(host.send("34M43"),
            "\x02S3400"
            "0002\x03");
}

}  // namespace
}  // namespace qvx_sim
