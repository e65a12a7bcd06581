#include "common/ini.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "common/files.h"

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/initestXXXXXX";
    dir_ = mkdtemp(tmpl);
    path_ = dir_ / "ORVIK.INI";
  }
  void TearDown() override { fs::remove_all(dir_); }
  void put(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  std::string bytes() { return common::read_file(path_).value_or("<missing>"); }
  fs::path dir_, path_;
};

TEST_F(IniFileTest, ReadsNamesWithoutRegardToCaseAndTrimsValues) {
  put("; comment\r\n[sistema]\r\n  modeloimp =  ORVIK_R7  "
      "\r\nPath=\"/tmp/x/\"\r\n[Flags]\r\nA=1\r\n");
  common::IniFile ini(path_);
  EXPECT_EQ(ini.read("SISTEMA", "ModeloImp", "def"), "ORVIK_R7");
  EXPECT_EQ(ini.read("Sistema", "PATH", "def"), "/tmp/x/");
  EXPECT_EQ(ini.read("flags", "a", "def"), "1");
  EXPECT_EQ(ini.read("Flags", "ModeloImp", "def"), "def");
  EXPECT_EQ(ini.read("Nada", "A", "def"), "def");
  EXPECT_FALSE(ini.find("Sistema", "nada").has_value());
}

TEST_F(IniFileTest, MissingFileGivesDefaultsAndFirstWriteCreatesIt) {
  common::IniFile ini(path_);
  EXPECT_EQ(ini.read("Sistema", "Porta", "COM1"), "COM1");
  EXPECT_TRUE(ini.write("Sistema", "Porta", "COM3"));
  EXPECT_EQ(bytes(), "[Sistema]\r\nPorta=COM3\r\n");
}

TEST_F(IniFileTest, WriteReplacesOneKeyAndKeepsEveryOtherLine) {
  put("; keep me\n[Sistema]\nPorta = COM1\nBAUD=9600\n\n[Flags]\nNumPkt=3\n");
  common::IniFile ini(path_);
  ASSERT_TRUE(ini.write("SISTEMA", "porta", "COM2"));
  EXPECT_EQ(bytes(), "; keep me\n[Sistema]\nporta=COM2\nBAUD=9600\n\n[Flags]\nNumPkt=3\n");
}

TEST_F(IniFileTest, WritingTheLineThatIsAlreadyThereLeavesTheFileAlone) {
  put("[Sistema]\r\nPorta=COM1\r\nPath = /tmp/\r\n");
  common::IniFile ini(path_);
  struct stat before {};
  ASSERT_EQ(::stat(path_.c_str(), &before), 0);
  ASSERT_TRUE(ini.write("Sistema", "Porta", "COM1"));
  struct stat after {};
  ASSERT_EQ(::stat(path_.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  // Same value, different line (spacing, key case): the line is rewritten as usual.
  ASSERT_TRUE(ini.write("Sistema", "Path", "/tmp/"));
  ASSERT_TRUE(ini.write("Sistema", "PORTA", "COM1"));
  EXPECT_EQ(bytes(), "[Sistema]\r\nPORTA=COM1\r\nPath=/tmp/\r\n");
}

TEST_F(IniFileTest, NewKeyGoesAfterTheLastEntryOfItsSection) {
  put("[Sistema]\r\nA=1\r\n\r\n[Flags]\r\nB=2");
  common::IniFile ini(path_);
  ASSERT_TRUE(ini.write("Sistema", "C", "3"));
  ASSERT_TRUE(ini.write("Flags", "D", "4"));
  ASSERT_TRUE(ini.write("ECF", "UF", "RJ"));
  EXPECT_EQ(bytes(), "[Sistema]\r\nA=1\r\nC=3\r\n\r\n[Flags]\r\nB=2\r\nD=4\r\n[ECF]\r\nUF=RJ\r\n");
}

TEST_F(IniFileTest, FirstOfRepeatedSectionsAndKeysWins) {
  put("[S]\r\nK=first\r\nK=second\r\n[S]\r\nK=third\r\n");
  common::IniFile ini(path_);
  EXPECT_EQ(ini.read("S", "K"), "first");
  ASSERT_TRUE(ini.write("S", "K", "new"));
  EXPECT_EQ(bytes(), "[S]\r\nK=new\r\nK=second\r\n[S]\r\nK=third\r\n");
}

TEST_F(IniFileTest, ReadIntTakesLeadingNumberOrDefault) {
  put("[S]\r\nA=12\r\nB=x\r\nC=-7\r\nD=5abc\r\nE=\r\n");
  common::IniFile ini(path_);
  struct Case {
    const char* key;
    long expected;
  } cases[] = {{"A", 12}, {"B", 99}, {"C", -7}, {"D", 5}, {"E", 99}, {"Z", 99}};
  for (const auto& c : cases) EXPECT_EQ(ini.read_int("S", c.key, 99), c.expected) << c.key;
}

TEST_F(IniFileTest, KeysSectionsAndRemove) {
  put("[Portas]\r\nCOM1=/dev/pts/3\r\ncom1=/dev/x\r\nLPT1=/dev/parport0\r\n[B]\r\n");
  common::IniFile ini(path_);
  EXPECT_EQ(ini.keys("portas"), (std::vector<std::string>{"COM1", "LPT1"}));
  EXPECT_EQ(ini.sections(), (std::vector<std::string>{"Portas", "B"}));
  ASSERT_TRUE(ini.remove("Portas", "LPT1"));
  EXPECT_EQ(ini.keys("Portas"), (std::vector<std::string>{"COM1"}));
}

TEST_F(IniFileTest, WriteToUnwritableFolderFailsAndLeavesNothing) {
  common::IniFile ini(dir_ / "missing" / "ORVIK.INI");
  EXPECT_FALSE(ini.write("S", "K", "v"));
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(IniFileTest, LineBreaksInAValueAreStoredAsBlanks) {
  put("[Opcional]\r\nCidade=X\r\n");
  common::IniFile ini(path_);
  // A value that would otherwise add a section and a key of its own.
  ASSERT_TRUE(ini.write("Opcional", "Cidade", "Sao Paulo\r\n[Sistema]\nModeloImp=3\r"));
  ASSERT_TRUE(ini.write("Opcional", "Favorecido", "A\nB"));
  EXPECT_EQ(bytes(),
            "[Opcional]\r\nCidade=Sao Paulo  [Sistema] ModeloImp=3 \r\nFavorecido=A B\r\n");
  EXPECT_EQ(ini.sections(), std::vector<std::string>{"Opcional"});
  EXPECT_EQ(ini.read("Sistema", "ModeloImp", "none"), "none");
}
