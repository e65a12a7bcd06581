#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <mutex>

#include "devkit/control.h"
#include "devkit/line.h"
#include "devkit/server.h"
#include "devkit/state_file.h"

namespace devkit {
namespace {

// The host's side of the line: opens the slave as a driver would and sets its speed,
// framing and flow control.
int open_host(const std::string& path, speed_t speed, tcflag_t extra) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  cfsetspeed(&t, speed);
  t.c_cflag = (t.c_cflag & ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS)) | extra;
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

std::string read_for(int fd, int ms) {
  std::string out;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) > 0) {
      char buf[256];
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) out.append(buf, static_cast<std::size_t>(n));
    }
  }
  return out;
}

TEST(LineSettings, TheDeviceSeesWhatTheHostSetOnThePseudoTerminal) {
  struct Case {
    speed_t speed;
    tcflag_t flags;
    LineSettings want;
  } cases[] = {
      {B9600, CS8 | CRTSCTS, {9600, 8, 'N', 1, true}},
      {B9600, CS8, {9600, 8, 'N', 1, false}},
      {B115200, CS8, {115200, 8, 'N', 1, false}},
      {B4800, CS8 | CSTOPB | CRTSCTS, {4800, 8, 'N', 2, true}},
      // A Linux pseudo-terminal keeps no data size or parity of its own: it reads 8N always.
      {B9600, CS7 | PARENB | PARODD, {9600, 8, 'N', 1, false}},
  };
  Line line;
  std::string error;
  ASSERT_TRUE(line.open_pty(&error)) << error;
  for (const auto& c : cases) {
    int host = open_host(line.slave_path(), c.speed, c.flags);
    ASSERT_GE(host, 0);
    auto seen = line.host_settings();
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(*seen, c.want) << describe(c.want) << " seen as " << describe(*seen);
    ::close(host);
  }
  EXPECT_EQ(describe({9600, 8, 'N', 1, true}), "9600 8N1 CTS");
}

TEST(LineSettings, UnknownOnADeviceOpenedByPath) {
  Line made, opened;
  std::string error;
  ASSERT_TRUE(made.open_pty(&error)) << error;
  ASSERT_TRUE(opened.open_device(made.slave_path(), &error)) << error;
  EXPECT_FALSE(opened.host_settings().has_value());
  EXPECT_FALSE(read_line_settings(-1).has_value());
}

TEST(ServerTest, HandsTheHostsBytesToTheDeviceAndCarriesItsReplies) {
  Line line;
  std::string error;
  ASSERT_TRUE(line.open_pty(&error)) << error;
  std::mutex m;
  std::string received;
  Server server(line, [&](std::string_view bytes) {
    std::lock_guard lock(m);
    received.append(bytes);
    if (received.find('\n') != std::string::npos) line.write_in_pieces("pong\n", 3, 10);
  });
  server.start();
  int host = open_host(line.slave_path(), B9600, CS8);
  ASSERT_GE(host, 0);
  ASSERT_EQ(::write(host, "ping\n", 5), 5);
  EXPECT_EQ(read_for(host, 1500), "pong\n");
  server.stop();
  {
    std::lock_guard lock(m);
    EXPECT_EQ(received, "ping\n");
  }
  ::close(host);
}

TEST(ControlFileTest, ReadsWordsAndRemovesTheFile) {
  auto file = std::filesystem::temp_directory_path() / ("devkit_ctl_" + std::to_string(::getpid()));
  ControlFile control(file);
  EXPECT_TRUE(control.take().empty());  // no file, nothing to do
  std::ofstream(file) << "error 8014 2\r\n\n  split\t3 40\nnoise \x15zz x\n";
  auto lines = control.take();
  EXPECT_FALSE(std::filesystem::exists(file));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].word, "error");
  EXPECT_EQ(lines[0].number(0, 0), 8014);
  EXPECT_EQ(lines[0].number(1, 1), 2);
  EXPECT_EQ(lines[0].number(2, 1), 1);  // missing: the fallback
  EXPECT_EQ(lines[0].text, "error 8014 2");
  EXPECT_EQ(lines[1].word, "split");
  EXPECT_EQ(lines[1].number(1, 20), 40);
  EXPECT_EQ(lines[2].text_arg(0), "\x15zz");
  EXPECT_EQ(lines[2].number(1, 7), 7);  // not a number: the fallback
}

TEST(ControlFileTest, AFileStillBeingWrittenIsLeftForTheNextTake) {
  auto file =
      std::filesystem::temp_directory_path() / ("devkit_ctl_open_" + std::to_string(::getpid()));
  ControlFile control(file);
  {
    // Created, its line not yet written: a device serving a request now must not lose it.
    std::ofstream writer(file);
    EXPECT_TRUE(control.take().empty());
    EXPECT_TRUE(std::filesystem::exists(file));
    writer << "paper-low\n";
  }
  auto lines = control.take();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].word, "paper-low");
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(control.take().empty());
}

TEST(FaultQueueTest, TakesEachFaultOnceInOrder) {
  FaultQueue<int> q;
  q.push(1, 2);
  q.push(5);
  EXPECT_EQ(q.take(), 1);
  EXPECT_EQ(q.take(), 1);
  EXPECT_EQ(q.take(), 5);
  EXPECT_FALSE(q.take().has_value());
  q.push(3, 4);
  q.clear();
  EXPECT_FALSE(q.take().has_value());
}

TEST(StateFileTest, SavesAtomicallyAndKeepsTheOldFileOnFailure) {
  auto dir =
      std::filesystem::temp_directory_path() / ("devkit_state_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto file = dir / "state";
  std::string error, back;
  ASSERT_TRUE(save_atomically(file, std::string("one\0two", 7), &error)) << error;
  ASSERT_TRUE(read_whole_file(file, back, &error));
  EXPECT_EQ(back, std::string("one\0two", 7));
  EXPECT_FALSE(std::filesystem::exists(dir / "state.tmp"));
  // A folder where the temporary file should go: the save fails, the state stays.
  std::filesystem::create_directories(dir / "state.tmp");
  EXPECT_FALSE(save_atomically(file, "three", &error));
  EXPECT_FALSE(error.empty());
  ASSERT_TRUE(read_whole_file(file, back, &error));
  EXPECT_EQ(back, std::string("one\0two", 7));
  EXPECT_FALSE(read_whole_file(dir / "missing", back, &error));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace devkit
