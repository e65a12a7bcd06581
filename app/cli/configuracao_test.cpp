#include "configuracao.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "common/ini.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

class ConfiguracaoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tributarium_ini_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(ConfiguracaoTest, FirstOpeningWritesTheFiveKeysWithTheirDefaults) {
  TConfiguracoes c(dir_ / "Tributarium.ini", "/inst");
  EXPECT_EQ(c.PathLog(), "/inst/Log");
  EXPECT_EQ(c.PathSintegra(), "/inst/Sintegra");
  EXPECT_EQ(c.PathBaseDados(), "/inst/Dados");
  EXPECT_TRUE(c.IniciarBase());
  EXPECT_EQ(c.BaseSelecionada(), "");
  common::IniFile ini(dir_ / "Tributarium.ini");
  EXPECT_EQ(ini.keys("Tributarium"),
            (std::vector<std::string>{"PathLog", "PathSintegra", "PathBaseDados", "IniciarBase",
                                      "BaseSelecionada"}));
}

TEST_F(ConfiguracaoTest, RepairAddsOnlyTheMissingKeys) {
  std::ofstream(dir_ / "Tributarium.ini") << "[tributarium]\r\nPathBaseDados=/bases\r\n"
                                             "BaseSelecionada=Padaria Jo\xE3o\r\n";
  TConfiguracoes c(dir_ / "Tributarium.ini", "/inst");
  EXPECT_EQ(c.PathBaseDados(), "/bases");
  EXPECT_EQ(c.BaseSelecionada(), "Padaria João");  // Windows-1252 in the file
  EXPECT_TRUE(c.IniciarBase());
  EXPECT_EQ(c.PathLog(), "/inst/Log");
  ASSERT_TRUE(c.Grava("BaseSelecionada", "Açaí"));
  EXPECT_EQ(common::IniFile(dir_ / "Tributarium.ini").read("Tributarium", "BaseSelecionada"),
            "A\xE7\x61\xED");
}

TEST_F(ConfiguracaoTest, AFileThatCannotBeWrittenIsReported) {
  EXPECT_THROW(TConfiguracoes(dir_ / "falta" / "Tributarium.ini", "/inst"), std::runtime_error);
}

}  // namespace
}  // namespace cli
