#include "orvik/core/frame_support.h"

#include <gtest/gtest.h>

#include <cstring>

#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"

namespace orvik::core {
namespace {

class Writers : public ::testing::Test {
 protected:
  void SetUp() override {
    State() = DriverState{};
    State().path_directory = folder.slash();
    std::memset(buffer, 'Z', sizeof buffer - 1);
    buffer[sizeof buffer - 1] = 0;
  }
  TestFolder folder;
  char buffer[64];
};

struct WriterCase {
  const char* value;
  char kind;  // 'a' as-is, 'd' digits, 't' text
  int n;
  const char* expected;
};

TEST_F(Writers, CopyIntoBufferAndRecreateReturnFile) {
  const WriterCase cases[] = {
      {"12,34", 'a', 0, "12,34"},      {"", 'a', 0, ""},
      {"1.234,56", 'd', 4, "3456"},    {"12", 'd', 5, "00012"},
      {"", 'd', 14, "00000000000000"}, {"abcdef", 't', 3, "abc"},
      {"ab", 't', 4, "ab  "},
  };
  for (const WriterCase& c : cases) {
    folder.Write("RETORNO.TXT", "previous line\r\nsecond\r\n");
    State().return_value = c.value;
    if (c.kind == 'a') WriteAsIs(buffer);
    if (c.kind == 'd') WriteDigits(buffer, c.n);
    if (c.kind == 't') WriteText(buffer, c.n);
    EXPECT_STREQ(buffer, c.expected) << c.value;
    EXPECT_EQ(State().return_value, c.expected);
    EXPECT_EQ(folder.Read("RETORNO.TXT"), std::string(c.expected) + "\r\n") << c.value;
  }
}

TEST_F(Writers, NullBufferStillWritesTheReturnFile) {
  State().return_value = "77";
  WriteDigits(nullptr, 3);
  EXPECT_EQ(folder.Read("RETORNO.TXT"), "077\r\n");
  WriteAsIs(nullptr);
  EXPECT_EQ(folder.Read("RETORNO.TXT"), "077\r\n");
}

TEST_F(Writers, ExistingReturnFileOfAnyLetterCaseIsReused) {
  folder.Write("retorno.txt", "old\r\n");
  State().return_value = "new";
  WriteAsIs(buffer);
  EXPECT_EQ(folder.Read("retorno.txt"), "new\r\n");
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "RETORNO.TXT"));
}

TEST_F(Writers, SecondValueGoesToTheBufferOnly) {
  State().return_value = "first";
  State().second_return_value = "9.87";
  WriteSecondDigits(buffer, 5);
  EXPECT_STREQ(buffer, "00987");
  WriteSecondText(buffer, 7);
  EXPECT_STREQ(buffer, "00987  ");
  State().second_return_value = "x y";
  WriteSecondAsIs(buffer);
  EXPECT_STREQ(buffer, "x y");
  WriteSecondAsIs(nullptr);
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "RETORNO.TXT"));
}

TEST_F(Writers, AsIsLogsTheCallersBufferLength) {
  State().logging = true;
  std::memset(buffer, ' ', 10);
  buffer[10] = 0;
  State().return_value = std::string("x");  // = "x" trips a g++ 12 -O3 -Wrestrict false alarm
  WriteAsIs(buffer);
  EXPECT_NE(folder.Read("LOG.DAT").find("=>LenParm=10\r\n"), std::string::npos);
}

TEST(FailurePaths, NotImplementedAndCommandMissing) {
  TestFolder folder;
  State() = DriverState{};
  State().logging = true;
  State().return_value = "stale";
  EXPECT_EQ(NotImplemented(" Orvik_SubTotal"), 0);
  EXPECT_EQ(State().last_return_code, -3);
  EXPECT_EQ(State().last_message, "Nao Implementado: Orvik_SubTotal");
  EXPECT_EQ(State().return_value, "");
  EXPECT_NE(folder.Read("LOG.DAT").find("=>---[Nao Implementado: Orvik_SubTotal]---"),
            std::string::npos);

  EXPECT_EQ(CommandMissing("Orvik_LeituraXSerial"), 0);
  EXPECT_EQ(State().last_return_code, -2);
  EXPECT_EQ(State().last_message, "Comando Inexistente para este modelo:Orvik_LeituraXSerial");
  EXPECT_EQ(State().ack, 6);
  EXPECT_EQ(State().st1, 4);
  EXPECT_EQ(State().st2, 1);
}

}  // namespace
}  // namespace orvik::core
