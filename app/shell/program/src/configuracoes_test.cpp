#include "shell/program/configuracoes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "common/files.h"
#include "common/ini.h"

namespace fs = std::filesystem;

namespace shell {
namespace {

class ConfiguracoesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string m = (fs::temp_directory_path() / "cfg-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(m.data()), nullptr);
    dir_ = m;
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_F(ConfiguracoesTest, FirstStartWritesTheFiveKeysWithTheirDefaults) {
  TConfiguracoes cfg(dir_);
  common::IniFile ini(dir_ / "Tributarium.ini");
  const std::string base = dir_.string();
  EXPECT_EQ(ini.find("Tributarium", "PathLog"), base + "/Log");
  EXPECT_EQ(ini.find("Tributarium", "PathSintegra"), base + "/Sintegra");
  EXPECT_EQ(ini.find("Tributarium", "PathBaseDados"), base + "/Dados");
  EXPECT_EQ(ini.find("Tributarium", "IniciarBase"), "1");
  EXPECT_EQ(ini.find("Tributarium", "BaseSelecionada"), "");
  EXPECT_EQ(ini.keys("Tributarium").size(), 5u);
  EXPECT_TRUE(cfg.IniciarBase());
}

TEST_F(ConfiguracoesTest, MissingKeyIsAddedAndTheOthersKept) {
  ASSERT_TRUE(common::write_lines(dir_ / "Tributarium.ini",
                                  {"[Tributarium]", "PathLog=/srv/log", "PathSintegra=/srv/sint",
                                   "PathBaseDados=/srv/dados", "BaseSelecionada=ACME"}));
  TConfiguracoes cfg(dir_);
  EXPECT_EQ(cfg.Le("IniciarBase"), "1");
  EXPECT_EQ(cfg.Le("PathLog"), "/srv/log");
  EXPECT_EQ(cfg.Le("PathBaseDados"), "/srv/dados");
  EXPECT_EQ(cfg.Le("BaseSelecionada"), "ACME");
}

TEST_F(ConfiguracoesTest, IniciarBaseIsYesOnlyForOne) {
  TConfiguracoes cfg(dir_);
  for (const char* v : {"0", "2", "sim", " "}) {
    ASSERT_TRUE(cfg.Grava("IniciarBase", v));
    EXPECT_FALSE(cfg.IniciarBase()) << v;
  }
  ASSERT_TRUE(cfg.GravaIniciarBase(true));
  EXPECT_EQ(cfg.Le("IniciarBase"), "1");
  ASSERT_TRUE(cfg.GravaIniciarBase(false));
  EXPECT_EQ(cfg.Le("IniciarBase"), "0");
}

TEST_F(ConfiguracoesTest, AccentedFolderIsKeptInWindows1252AndReadBackAsUnicode) {
  TConfiguracoes cfg(dir_);
  ASSERT_TRUE(cfg.Grava("PathSintegra", "/srv/Declarações"));
  EXPECT_EQ(cfg.Le("PathSintegra"), "/srv/Declarações");
  auto bruto = common::read_file(dir_ / "Tributarium.ini");
  ASSERT_TRUE(bruto);
  EXPECT_NE(bruto->find("Declara\xE7\xF5"
                        "es"),
            std::string::npos);
}

TEST_F(ConfiguracoesTest, ReadOnlyFolderStillGivesUsableFolders) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  TConfiguracoes cfg(dir_);
  EXPECT_FALSE(fs::exists(dir_ / "Tributarium.ini"));
  EXPECT_EQ(cfg.Le("PathBaseDados"), dir_.string() + "/Dados");
  EXPECT_FALSE(cfg.Grava("PathLog", "/x"));
}

}  // namespace
}  // namespace shell
