#include "common/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/filestestXXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(FilesTest, FixedNamesAreFoundWithoutRegardToCase) {
  std::ofstream(dir_ / "orvik.ini") << "x";
  EXPECT_EQ(common::fixed_name(dir_, "ORVIK.INI"), dir_ / "orvik.ini");
  EXPECT_EQ(common::fixed_name(dir_, "RETORNO.TXT"), dir_ / "RETORNO.TXT");
  EXPECT_FALSE(common::find_case_blind(dir_ / "nope", "A").has_value());
}

TEST_F(FilesTest, AppendLineAndWriteLinesUseCrLf) {
  ASSERT_TRUE(common::append_line(dir_ / "LOG.DAT", "a"));
  ASSERT_TRUE(common::append_line(dir_ / "LOG.DAT", "b"));
  EXPECT_EQ(common::read_file(dir_ / "LOG.DAT"), "a\r\nb\r\n");
  ASSERT_TRUE(common::write_lines(dir_ / "R.TXT", {"x"}));
  ASSERT_TRUE(common::write_lines(dir_ / "R.TXT", {"y", "z"}));
  EXPECT_EQ(common::read_file(dir_ / "R.TXT"), "y\r\nz\r\n");
  ASSERT_TRUE(common::write_lines(dir_ / "R.TXT", {"w"}));  // shorter: nothing of the old left
  EXPECT_EQ(common::read_file(dir_ / "R.TXT"), "w\r\n");
  EXPECT_FALSE(common::append_line(dir_ / "no" / "L", "a"));
}

TEST(SplitLines, AcceptsEveryLineEnd) {
  EXPECT_EQ(common::split_lines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(common::split_lines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_TRUE(common::split_lines("").empty());
}

TEST(ExecutableFolder, IsTheFolderOfThisTestProgram) {
  EXPECT_TRUE(fs::exists(common::executable_folder() / "common_test"));
  EXPECT_EQ(common::with_trailing_slash("/a"), "/a/");
  EXPECT_EQ(common::with_trailing_slash("/a/"), "/a/");
}
