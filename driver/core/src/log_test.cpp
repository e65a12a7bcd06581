#include "orvik/core/log.h"

#include <gtest/gtest.h>

#include "common/clock.h"
#include "common/files.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"

namespace orvik::core {
namespace {

// Decodes a scrambled line back to the plain bytes, checking the key digits on the way.
std::string Unscramble(const std::string& hex, bool& keys_odd) {
  keys_odd = true;
  std::string plain;
  for (size_t i = 0; i + 4 <= hex.size(); i += 4) {
    const int x = std::stoi(hex.substr(i, 2), nullptr, 16);
    const int k = std::stoi(hex.substr(i + 2, 2), nullptr, 16);
    keys_odd = keys_odd && (k % 2 == 1) && k <= 255;
    plain += static_cast<char>(x ^ k);
  }
  return plain;
}

TEST(HomolScramble, FourHexDigitsPerByteWithOddKeys) {
  const std::string plain = HomolPlainLine(45296.125, "abc");
  EXPECT_EQ(plain, "45296.125**abc");
  for (uint32_t seed : {1u, 2u, 77u, 123456789u}) {
    const std::string line = ScrambleHomolLine(plain, seed);
    ASSERT_EQ(line.size(), 4 * plain.size());
    EXPECT_EQ(line.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    bool odd = false;
    EXPECT_EQ(Unscramble(line, odd), plain);
    EXPECT_TRUE(odd) << line;
  }
  EXPECT_NE(ScrambleHomolLine(plain, 1), ScrambleHomolLine(plain, 2));
}

TEST(HomolScramble, SecondsInTheirShortestForm) {
  EXPECT_EQ(HomolPlainLine(3600, "x"), "3600**x");
  EXPECT_EQ(HomolPlainLine(0.5, ""), "0.5**");
  EXPECT_EQ(HomolPlainLine(45296123 / 1000.0, "y"), "45296.123**y");
}

TEST(Log, WritesBothFilesOnlyWhenLoggingIsOn) {
  TestFolder folder;
  State() = DriverState{};
  Log("quiet");
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "LOG.DAT"));

  State().logging = true;
  Log("abc");
  Log("def");
  const auto lines = common::split_lines(folder.Read("LOG.DAT"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(folder.Read("LOG.DAT").find("=>abc\r\n"), std::string::npos);
  // dd/mm/yyyy hh:mm:ss=>text
  EXPECT_EQ(lines[0].size(), 19 + 2 + 3u);
  EXPECT_EQ(lines[0].substr(19, 5), "=>abc");

  const auto homol = common::split_lines(folder.Read("HOMOL.DAT"));
  ASSERT_EQ(homol.size(), 2u);
  bool odd = false;
  const std::string plain = Unscramble(homol[0], odd);
  EXPECT_TRUE(odd);
  EXPECT_EQ(homol[0].size(), 4 * plain.size());
  ASSERT_GE(plain.size(), 5u);
  EXPECT_EQ(plain.substr(plain.size() - 5), "**abc");
}

TEST(Log, LinesCarryTheClocksTime) {
  TestFolder folder;
  common::LocalDateTime t;
  t.year = 2026, t.month = 12, t.day = 9, t.hour = 12, t.minute = 34, t.second = 56;
  t.millisecond = 789;
  common::clock::set_fixed(common::clock::from_local(t));
  State() = DriverState{};
  State().logging = true;
  Log("abc");
  common::clock::reset();
  EXPECT_EQ(folder.Read("LOG.DAT"), "09/12/2026 12:34:56=>abc\r\n");
  bool odd = false;
  EXPECT_EQ(Unscramble(common::split_lines(folder.Read("HOMOL.DAT")).at(0), odd), "45296.789**abc");
  EXPECT_TRUE(odd);
}

TEST(Log, KeepsAnExistingFileWhateverItsLetterCase) {
  TestFolder folder;
  folder.Write("log.dat", "old\r\n");
  State() = DriverState{};
  State().logging = true;
  Log("new");
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "LOG.DAT"));
  EXPECT_EQ(common::split_lines(folder.Read("log.dat")).size(), 2u);
}

}  // namespace
}  // namespace orvik::core
