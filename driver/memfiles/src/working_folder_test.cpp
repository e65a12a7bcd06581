#include "orvik/memfiles/working_folder.h"

#include <gtest/gtest.h>

#include "common/files.h"
#include "orvik/core/test_folder.h"

namespace orvik::memfiles {
namespace {

TEST(WorkingFolder, BesideTheHostExecutable) {
  SetHostFolderOverride(std::nullopt);
  EXPECT_EQ(PastaRFDTemp(),
            common::with_trailing_slash(common::executable_folder().string()) + "RFDTEMP/");
  SetHostFolderOverride("/x/y");
  EXPECT_EQ(PastaRFDTemp(), "/x/y/RFDTEMP/");
  SetHostFolderOverride(std::nullopt);
}

TEST(FieldHelpers, Forms) {
  EXPECT_EQ(DigitsField("12.345-6", 4), "3456");
  EXPECT_EQ(DigitsField("7", 3), "007");
  EXPECT_EQ(TextField("ab", 4), "ab  ");
  EXPECT_EQ(TextField("abcdef", 4), "abcd");
  EXPECT_EQ(LastChars("abc", 5), "abc");
  EXPECT_EQ(LastChars("abcdef", 2), "ef");
  EXPECT_EQ(StripLeadingZeros("000120"), "120");
  EXPECT_EQ(StripLeadingZeros("000"), "");
}

TEST(FieldHelpers, DmaCode) {
  const struct {
    const char *date, *code;
  } cases[] = {
      {"20110314", ".E3B"}, {"20090105", ".519"}, {"20101231", ".VCA"}, {"20000101", ".110"},
      {"20351231", ".VCZ"}, {"19991231", ""},     {"20361231", ""},     {"2011031", ""},
      {"2011O314", ""},     {"20111314", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DmaCode(c.date), c.code) << c.date;
}

TEST(FieldHelpers, AppendAndDelete) {
  core::TestFolder folder;
  const auto file = folder.path() / "a.txt";
  EXPECT_FALSE(DeleteFileIfPresent(file));
  EXPECT_TRUE(AppendLine(file, "um"));
  EXPECT_TRUE(AppendLine(file, "dois"));
  EXPECT_EQ(folder.Read("a.txt"), "um\r\ndois\r\n");
  EXPECT_TRUE(DeleteFileIfPresent(file));
  EXPECT_FALSE(AppendLine(folder.path() / "no" / "b.txt", "x"));
}

}  // namespace
}  // namespace orvik::memfiles
