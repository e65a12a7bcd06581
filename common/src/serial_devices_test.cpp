#include "common/serial_devices.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

namespace common {
namespace {

namespace fs = std::filesystem;

class SerialDevices : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvik_serialXXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(SerialDevices, ListsTheKindsOfLinesInNumberOrderThenTheStableLinks) {
  fs::create_directories(dir_ / "serial" / "by-id");
  for (const char* name : {"ttyS10", "ttyS2", "ttyUSB1", "ttyUSB0", "ttyACM0", "ttyS", "tty1",
                           "ttyUSBx", "ttyprintk", "lp0"})
    std::ofstream(dir_ / name) << "";
  fs::create_symlink("../../ttyUSB0", dir_ / "serial" / "by-id" / "usb-Maker_Printer-if00");
  const std::string d = dir_.string();
  EXPECT_EQ(serial_devices(dir_),
            (std::vector<std::string>{d + "/ttyS2", d + "/ttyS10", d + "/ttyUSB0", d + "/ttyUSB1",
                                      d + "/ttyACM0", d + "/serial/by-id/usb-Maker_Printer-if00"}));
  EXPECT_TRUE(serial_devices(dir_ / "missing").empty());
}

TEST_F(SerialDevices, ProbeNamesWhyALineCannotBeOpened) {
  int error = 0;
  EXPECT_EQ(probe_open((dir_ / "ttyUSB9").string(), &error), OpenProblem::kNoDevice);
  EXPECT_EQ(error, ENOENT);
  std::ofstream(dir_ / "plain") << "x";
  EXPECT_EQ(probe_open((dir_ / "plain").string()), OpenProblem::kNotALine);

  int master = -1, slave = -1;
  char name[256] = "";
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  EXPECT_EQ(probe_open(name), OpenProblem::kNone);
  // Another driver process holds the line: its lock is seen.
  const int holder = ::open(name, O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(probe_open(name, &error), OpenProblem::kBusy);
  ::close(holder);
  EXPECT_EQ(probe_open(name), OpenProblem::kNone);
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(name, 0), 0);
    EXPECT_EQ(probe_open(name), OpenProblem::kPermission);
  }
  ::close(slave);
  ::close(master);
}

TEST(SerialDeviceTexts, EveryProblemHasALogLineAndAdvice) {
  EXPECT_EQ(open_problem_log_text(OpenProblem::kNone, 0), "");
  EXPECT_EQ(open_problem_log_text(open_problem_of(EACCES), EACCES),
            "permissao negada (o usuario precisa estar no grupo dialout)");
  EXPECT_NE(open_problem_advice(open_problem_of(EACCES), EACCES).find("dialout"),
            std::string::npos);
  EXPECT_EQ(open_problem_log_text(open_problem_of(EBUSY), EBUSY),
            "porta em uso por outro processo");
  EXPECT_EQ(open_problem_log_text(open_problem_of(ENOENT), ENOENT), "dispositivo inexistente");
  EXPECT_NE(open_problem_advice(OpenProblem::kOther, EMFILE).find("Too many"), std::string::npos);
}

}  // namespace
}  // namespace common
