#include "ecf/tdm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ecf/gera_sintegra_thread.h"

namespace ecf {
namespace {

namespace fs = std::filesystem;

TEST(NomeArquivoAto17, FirstThreeAndLastFiveOfTheSerial) {
  const struct {
    const char* serie;
    const char* nome;
  } casos[] = {
      {"AB1234567890", "AB167890.txt"},
      {"ABCDEFGH", "ABCDEFGH.txt"},  // exactly eight: nothing overlaps
      {"AB123", "AB123.txt"},        // short: what there is, once
      {"AB", "AB.txt"},
      {"AB1234567   ", "AB167.txt"},  // trailing blanks of the name go
  };
  for (const auto& c : casos) EXPECT_EQ(NomeArquivoAto17(c.serie), c.nome) << c.serie;
}

TEST(NomeArquivoSaida, MonthWithoutLeadingZero) {
  EXPECT_EQ(NomeArquivoSaida(3, 2008), "Sintegra-3_2008.txt");
  EXPECT_EQ(NomeArquivoSaida(12, 2024), "Sintegra-12_2024.txt");
}

TEST(Instantaneo, PercentualFromTotalAndAtual) {
  Instantaneo s;
  EXPECT_EQ(s.Percentual(), 0);
  s.Total = 4;
  s.Atual = 1;
  EXPECT_EQ(s.Percentual(), 25);
  s.Atual = 9;
  EXPECT_EQ(s.Percentual(), 100);
  s.Total = 2'000'000'000;
  s.Atual = 1'999'999'999;
  EXPECT_EQ(s.Percentual(), 99);
  // The reading library's own percentage wins over the bytes it counts in Total.
  s.PercentualInformado = 40;
  EXPECT_EQ(s.Percentual(), 40);
  s.PercentualInformado = 130;
  EXPECT_EQ(s.Percentual(), 100);
}

class Pasta : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("ecf_tdm_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "dev");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(Pasta, PortListTakesConfiguredNamesThenExistingSerialDevices) {
  std::ofstream(dir_ / "ORVIK.INI") << "[Sistema]\r\nPorta=COM1\r\n[Portas]\r\nCOM7=/dev/pts/3\r\n"
                                       "LPT1=/dev/lp0\r\ncom2=/dev/pts/4\r\n";
  for (const char* d : {"ttyS0", "ttyS1", "ttyS10", "ttyUSB0", "ttyACM1", "ttyS"})
    std::ofstream(dir_ / "dev" / d) << "";
  fs::create_directories(dir_ / "dev" / "serial" / "by-id");
  fs::create_symlink("../../ttyUSB0", dir_ / "dev" / "serial" / "by-id" / "usb-Impressora-if00");
  const std::string dev = (dir_ / "dev").string();
  EXPECT_EQ(
      ListaPortas(dir_ / "ORVIK.INI", dir_ / "dev"),
      (std::vector<std::string>{"COM7", "com2", "COM1", "COM11", dev + "/ttyUSB0", dev + "/ttyACM1",
                                dev + "/serial/by-id/usb-Impressora-if00"}));
}

TEST_F(Pasta, PortListWithoutConfigurationOrDevicesIsEmpty) {
  EXPECT_TRUE(ListaPortas(dir_ / "nada.ini", dir_ / "dev").empty());
}

}  // namespace
}  // namespace ecf
