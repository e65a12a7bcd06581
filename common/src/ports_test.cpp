#include "common/ports.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>

namespace common {
namespace {

TEST(Ports, NumberOfAPortText) {
  const struct {
    const char* text;
    int number;
  } cases[] = {{"COM1", 1},   {"COM12", 12}, {"COM", 1},  {"COMx", 1},    {"COM+3", 3},
               {"COM-1", -1}, {"COM3x", 1},  {"LPT2", 2}, {"COM123", 12}, {"", 1}};
  for (const auto& c : cases) EXPECT_EQ(port_number(c.text), c.number) << c.text;
}

TEST(Ports, PortasSectionWinsOverTheDefaultDevice) {
  char dir[] = "/tmp/orvik_portsXXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  const std::filesystem::path ini_path = std::filesystem::path(dir) / "ORVIK.INI";
  std::ofstream(ini_path, std::ios::binary) << "[portas]\r\ncom3=/dev/pts/77\r\nLPT1=/dev/lp9\r\n";
  IniFile ini(ini_path);
  EXPECT_EQ(serial_device_for(ini, "COM3"), "/dev/pts/77");
  EXPECT_EQ(serial_device_for(ini, "COM2"), "/dev/ttyS1");
  EXPECT_EQ(serial_device_for(ini, "COM"), "/dev/ttyS0");
  // A device path is the device itself, whatever [Portas] says.
  EXPECT_EQ(serial_device_for(ini, "/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(serial_device_for(ini, "/dev/serial/by-id/usb-X-if00"), "/dev/serial/by-id/usb-X-if00");
  EXPECT_EQ(parallel_device(ini, 1), "/dev/lp9");
  EXPECT_EQ(parallel_device(ini, 2), "/dev/parport1");
  ::setenv("ORVIK_INI", ini_path.c_str(), 1);
  EXPECT_EQ(orvik_ini_path(), ini_path);
  ::unsetenv("ORVIK_INI");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace common
