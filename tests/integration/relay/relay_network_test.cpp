// A point-of-sale program in network mode: the driver hands its commands to orvik-relay
// through COMANDO.TXT and STATUS.TXT in a shared folder, and the relay talks to the
// virtual printer on a pseudo-terminal.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/files.h"
#include "common/ini.h"
#include "driver_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class NetworkMode : public orvik_testing::DriverOverPty {
 protected:
  void TearDown() override {
    StopRelay();
    DriverOverPty::TearDown();
  }

  // Starts orvik-relay on the scratch folder and the printer's line; waits until it is
  // ready (its first log line).
  void StartRelay() {
    log_ = dir / ("relay-" + std::to_string(++relays_) + ".log");
    relay_ = fork();
    if (relay_ == 0) {
      execl(ORVIK_RELAY_PATH, ORVIK_RELAY_PATH, "--pasta", dir.c_str(), "--dispositivo",
            server.slave_path().c_str(), "--espera", "3", "--log", log_.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(relay_, 0);
    for (int i = 0; i < 200 && RelayLog().find("relay pronto") == std::string::npos; ++i)
      std::this_thread::sleep_for(10ms);
    ASSERT_NE(RelayLog().find("relay pronto"), std::string::npos) << RelayLog();
  }
  // SIGTERM; the exit status.
  int StopRelay() {
    if (relay_ <= 0) return -1;
    kill(relay_, SIGTERM);
    int status = 0;
    waitpid(relay_, &status, 0);
    relay_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string RelayLog() const { return common::read_file(log_).value_or(""); }

  void LoadNetworkMode() { Load("ConfigRede=1\r\nTimeOutComandos=5\r\nChecaCTS=0\r\n"); }

  void SellItem(const char* code, const char* price) {
    EXPECT_EQ(EXPORT(Orvik_VendeItem)(code, "ARROZ", "18,00", "I", "1", 2, price, "$", "0"), 1)
        << last();
  }

  pid_t relay_ = -1;
  int relays_ = 0;
  fs::path log_;
};

TEST_F(NetworkMode, CouponIsSoldThroughTheRelay) {
  StartRelay();
  LoadNetworkMode();
  run("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
  ASSERT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
  SellItem("1", "10,00");
  SellItem("2", "2,50");
  ASSERT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("Dinheiro", "12,50"), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_TerminaFechamentoCupom)(""), 1) << last();
  char buffer[64];
  EXPECT_EQ(EXPORT(Orvik_NumeroCupom)(buffer), 1) << last();
  EXPECT_STREQ(buffer, "000001");

  const ecf_sim::Document coupon = [&] {
    std::lock_guard lock(server.mutex());
    return printer.state().tape.back();
  }();
  EXPECT_EQ(coupon.items.size(), 2u);
  EXPECT_EQ(coupon.total, 1250);
  // Every exchange went through the files; the relay leaves neither behind.
  EXPECT_NE(RelayLog().find("-> {"), std::string::npos);
  EXPECT_NE(RelayLog().find(";VendeItem;"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "COMANDO.TXT"));
  EXPECT_EQ(StopRelay(), 0);
  EXPECT_NE(RelayLog().find("relay encerrado"), std::string::npos);
}

TEST_F(NetworkMode, SilentPrinterLeavesTheDriverToItsOwnTimeOut) {
  StartRelay();
  LoadNetworkMode();
  ecf_sim::Fault silence;
  silence.kind = ecf_sim::Fault::kSilence;
  server.inject(silence);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(EXPORT(Orvik_ExecutaComando)("EmiteLeituraX", ""), 0);
  EXPECT_EQ(last_code(), -1);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_FALSE(fs::exists(dir / "STATUS.TXT"));
  // The next command is answered again.
  EXPECT_EQ(EXPORT(Orvik_ExecutaComando)("EmiteLeituraX", ""), 1) << last();
}

TEST_F(NetworkMode, RelayRestartedMidDayNeitherLosesNorRepeatsACommand) {
  StartRelay();
  LoadNetworkMode();
  run("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
  ASSERT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
  SellItem("1", "10,00");
  EXPECT_EQ(StopRelay(), 0);
  StartRelay();
  SellItem("2", "3,00");
  ASSERT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("Dinheiro", "13,00"), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_TerminaFechamentoCupom)(""), 1) << last();
  std::lock_guard lock(server.mutex());
  const ecf_sim::Document& coupon = printer.state().tape.back();
  EXPECT_EQ(coupon.items.size(), 2u);
  EXPECT_EQ(coupon.total, 1300);
}

TEST_F(NetworkMode, MissingFolderStopsTheRelayAtOnceAndTheDriverWithMinusEight) {
  const std::string missing = (dir / "absent").string();
  const std::string command = std::string(ORVIK_RELAY_PATH) + " --pasta " + missing +
                              " --dispositivo " + server.slave_path() + " 2>" +
                              (dir / "err.txt").string();
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
  EXPECT_NE(common::read_file(dir / "err.txt").value_or("").find(missing), std::string::npos);
  Load("ConfigRede=1\r\n", "");
  // The fixture's Path is the scratch folder; point it at the missing one.
  common::IniFile(dir / "ORVIK.INI").write("Sistema", "Path", missing + "/");
  EXPECT_EQ(EXPORT(Orvik_AbrePortaSerial)(), 1) << last();  // re-reads Path
  EXPECT_EQ(EXPORT(Orvik_ExecutaComando)("EmiteLeituraX", ""), -8);
  EXPECT_EQ(last_code(), -8);
}

}  // namespace
