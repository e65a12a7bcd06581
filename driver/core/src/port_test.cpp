#include "orvik/core/port.h"

#include <gtest/gtest.h>

#include "common/ini.h"
#include "orvik/core/fake_transport.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"

namespace orvik::core {
namespace {

class PortLayer : public ::testing::Test {
 protected:
  void SetUp() override { SetTransport(std::make_unique<FakeTransport>(&record)); }
  void TearDown() override {
    ClosePort(1);
    SetTransport(nullptr);
  }
  void StartWith(const std::string& ini) {
    folder.WriteIni(ini);
    Startup();
  }
  std::string Porta() const { return common::IniFile(folder.ini()).read("Sistema", "Porta"); }

  TestFolder folder;
  FakeTransport::Record record;
};

struct SerialCase {
  const char* ini;
  const char* device;
  const char* porta;
  const char* speed;
  Parity parity;
  bool cts_flow;
};

TEST_F(PortLayer, SerialDeviceAndLineSettingsPerCase) {
  const SerialCase cases[] = {
      {"", "/dev/ttyS0", "COM1", "115200", Parity::kEven, true},
      {"[Sistema]\r\nPorta=COM\r\n", "/dev/ttyS0", "COM1", "115200", Parity::kEven, true},
      {"[Sistema]\r\nPorta=COM10\r\n", "/dev/ttyS9", "COM10", "115200", Parity::kEven, true},
      {"[Sistema]\r\nPorta=COM3\r\n[Portas]\r\ncom3=/dev/pts/77\r\n", "/dev/pts/77", "COM3",
       "115200", Parity::kEven, true},
      // A device path is the device, kept as written; [Portas] plays no part.
      {"[Sistema]\r\nPorta=/dev/ttyUSB0\r\n[Portas]\r\nCOM1=/dev/pts/77\r\n", "/dev/ttyUSB0",
       "/dev/ttyUSB0", "115200", Parity::kEven, true},
      {"[Sistema]\r\nPorta=/dev/serial/by-id/usb-X_Y-if00-port0\r\n",
       "/dev/serial/by-id/usb-X_Y-if00-port0", "/dev/serial/by-id/usb-X_Y-if00-port0", "115200",
       Parity::kEven, true},
      {"[Sistema]\r\nBAUD=14400\r\n", "/dev/ttyS0", "COM1", "115200", Parity::kEven, true},
      {"[Sistema]\r\nBAUD=9600\r\n", "/dev/ttyS0", "COM1", "9600", Parity::kEven, true},
      {"[Sistema]\r\nModeloImp=ORVIK_610\r\nBAUD=57600\r\n", "/dev/ttyS0", "COM1", "9600",
       Parity::kNone, true},
      {"[Sistema]\r\nModeloImp=ORVIK_820\r\n", "/dev/ttyS0", "COM1", "9600", Parity::kNone, true},
      {"[Sistema]\r\nModeloImp=ORVIK_VUNO_SERIAL\r\nBAUD=14400\r\n", "/dev/ttyS0", "COM1", "14400",
       Parity::kNone, false},
      {"[Sistema]\r\nModeloImp=ORVIK_VUNO_SERIAL\r\n", "/dev/ttyS0", "COM1", "9600", Parity::kNone,
       false},
  };
  for (const SerialCase& c : cases) {
    SCOPED_TRACE(c.ini);
    StartWith(c.ini);
    EXPECT_EQ(State().port1.device, c.device);
    EXPECT_EQ(Porta(), c.porta);
    ASSERT_TRUE(OpenPort(1));
    EXPECT_TRUE(ConfigurePort(1));
    ClosePort(1);
    ASSERT_FALSE(record.settings.empty());
    const LineSettings& ls = record.settings.back();
    EXPECT_EQ(ls.speed, c.speed);
    EXPECT_EQ(ls.parity, c.parity);
    EXPECT_EQ(ls.data_bits, 8);
    EXPECT_EQ(ls.stop_bits, 1);
    EXPECT_EQ(ls.cts_flow, c.cts_flow);
  }
}

TEST_F(PortLayer, ParallelPortNameAndAddresses) {
  struct {
    const char* ini;
    const char* porta;
    const char* device;
    int base;
  } cases[] = {
      {"", "LPT1", "/dev/parport0", 888},
      {"Porta=LPT2\r\nEndereco=278\r\n", "LPT2", "/dev/parport1", 632},
      {"Porta=LPT\r\nEndereco=zz\r\n", "LPT1", "/dev/parport0", 888},
      {"Porta=LPT12\r\n", "LPT1", "/dev/parport0", 888},
      {"Porta=COM2\r\n", "LPT1", "/dev/parport0", 888},
      {"Porta=LPTx\r\n[Portas]\r\nLPT1=/dev/lp9\r\n", "LPT1", "/dev/lp9", 888},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini);
    StartWith(std::string("[Sistema]\r\nModeloImp=ORVIK_VUNO_LPT\r\n") + c.ini);
    EXPECT_EQ(Porta(), c.porta);
    EXPECT_EQ(State().port1.device, c.device);
    EXPECT_EQ(State().lpt_base, c.base);
    EXPECT_EQ(State().lpt_base1, c.base + 1);
    EXPECT_EQ(State().lpt_base2, c.base + 2);
  }
}

TEST_F(PortLayer, OpenTwiceDoesNotReopenNorLog) {
  StartWith("[Sistema]\r\nHomologar=1\r\n");
  ASSERT_TRUE(OpenPort(1));
  const std::string log_after_first = folder.Read("LOG.DAT");
  EXPECT_NE(log_after_first.find("=>---------------[1.0.0.8]------------\r\n"), std::string::npos);
  EXPECT_NE(log_after_first.find("=><<Porta (/dev/ttyS0)(115200) Aberta com sucesso>>"),
            std::string::npos);
  ASSERT_TRUE(OpenPort(1));
  EXPECT_EQ(record.opened.size(), 1u);
  EXPECT_EQ(folder.Read("LOG.DAT"), log_after_first);
  ClosePort(1);
  ClosePort(1);
  EXPECT_EQ(record.closes, 1);
  EXPECT_EQ(State().port1.handle, -1);
}

TEST_F(PortLayer, FailedOpenLogsAndLeavesThePortClosed) {
  StartWith("[Sistema]\r\nHomologar=1\r\n");
  record.fail_open = true;
  EXPECT_FALSE(OpenPort(1));
  EXPECT_EQ(State().port1.handle, -1);
  EXPECT_NE(folder.Read("LOG.DAT").find("=><<Falha na Abertura da Porta (/dev/ttyS0) a 115200>>"),
            std::string::npos);
}

// Over the real termios transport: the -5 of a port that cannot be opened keeps its log
// line and adds the reason on the next one.
TEST_F(PortLayer, FailedOpenLogsWhyOverTermios) {
  SetTransport(nullptr);
  const std::string missing = folder.path().string() + "/ttyUSB9";
  const std::string plain = folder.path().string() + "/ORVIK.INI";
  const struct {
    std::string porta, reason;
  } cases[] = {{missing, "dispositivo inexistente"},
               {plain, "o nome nao e de um dispositivo serial"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.porta);
    StartWith("[Sistema]\r\nHomologar=1\r\nPorta=" + c.porta + "\r\n");
    EXPECT_FALSE(OpenPort(1));
    const std::string log = folder.Read("LOG.DAT");
    const std::string failed = "=><<Falha na Abertura da Porta (" + c.porta + ") a 115200>>\r\n";
    const size_t at = log.rfind(failed);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_NE(log.find("=><<Motivo: " + c.reason + ">>", at + failed.size()), std::string::npos)
        << log;
  }
}

TEST_F(PortLayer, WaitForCtsHonoursChecaCts) {
  StartWith("[Sistema]\r\nChecaCTS=0\r\n");
  record.cts = false;
  EXPECT_TRUE(WaitForCts());  // not checked: true at once, port not even open
  StartWith("");
  ASSERT_TRUE(OpenPort(1));
  record.cts = true;
  EXPECT_TRUE(WaitForCts());
}

TEST_F(PortLayer, ScaleDeviceName) {
  StartWith("[Portas]\r\nCOM4=/dev/scale\r\n");
  EXPECT_EQ(ScaleDeviceName("COM4"), "/dev/scale");
  EXPECT_EQ(ScaleDeviceName("COM2"), "/dev/ttyS1");
  EXPECT_EQ(ScaleDeviceName("COM"), "/dev/ttyS0");
}

}  // namespace
}  // namespace orvik::core
