#include "orvik/memfiles/working_folder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "common/files.h"
#include "common/host_files.h"
#include "common/ini.h"
#include "common/orvik_ini.h"
#include "common/text1252.h"
#include "orvik/core/state.h"
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

TEST(WorkingFolder, UserStateFolderFromTheEnvironment) {
  struct Case {
    const char* state;  // XDG_STATE_HOME, nullptr: unset
    const char* home;   // HOME, nullptr: unset
    const char* folder;
  };
  const Case cases[] = {
      {"/s", "/h", "/s/orvik"},
      {nullptr, "/h", "/h/.local/state/orvik"},
      {"", "/h", "/h/.local/state/orvik"},
      {"relativa", "/h", "/h/.local/state/orvik"},  // not absolute: ignored
      {nullptr, nullptr, ""},
  };
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.state ? c.state : "(unset)") + " " + (c.home ? c.home : "(unset)"));
    c.state ? ::setenv("XDG_STATE_HOME", c.state, 1) : ::unsetenv("XDG_STATE_HOME");
    c.home ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
    EXPECT_EQ(common::user_state_folder().string(), c.folder);
  }
  ::unsetenv("XDG_STATE_HOME");
  ::setenv("HOME", home.c_str(), 1);
}

// The test programs' folder belongs to root and is not open to others: a process of an
// unprivileged user keeps its working files, and its new ORVIK.INI, in its state folder,
// and LOG.DAT says where.
TEST(WorkingFolder, AUserWhoCannotWriteBesideTheProgramGetsTheStateFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  if ((std::filesystem::status(common::executable_folder()).permissions() &
       std::filesystem::perms::others_write) != std::filesystem::perms::none)
    GTEST_SKIP() << "the program folder is writable by everyone";
  core::TestFolder folder;
  const uid_t nobody = 65534;
  const std::filesystem::path state = folder.path() / "estado";
  std::filesystem::create_directory(state);
  // No ORVIK.INI anywhere the lookup goes: the driver writes a new one.
  ::unsetenv("ORVIK_INI");
  if (::chown(folder.path().c_str(), nobody, nobody) != 0 ||
      ::chown(state.c_str(), nobody, nobody) != 0)
    FAIL() << "chown";
  int answer[2];
  ASSERT_EQ(::pipe(answer), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(answer[0]);
    if (::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(2);
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    // The first start writes the new ORVIK.INI; with the log switched on there, the second
    // start logs.
    common::set_orvik_ini_folders({});
    core::Startup();
    const std::filesystem::path ini = state / "orvik" / "ORVIK.INI";
    if (!std::filesystem::is_regular_file(ini)) ::_exit(3);
    common::IniFile(ini).write("Sistema", "Homologar", "1");
    core::Startup();
    const std::string rfdtemp = PastaRFDTemp() + "|" + core::State().path_rfd;
    if (::write(answer[1], rfdtemp.data(), rfdtemp.size()) < 0) ::_exit(4);
    ::_exit(0);
  }
  ::close(answer[1]);
  std::string got;
  char buf[512];
  for (ssize_t n; (n = ::read(answer[0], buf, sizeof buf)) > 0;) got.append(buf, n);
  ::close(answer[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  const std::string mine = (state / "orvik").string() + "/";
  EXPECT_EQ(got, mine + "RFDTEMP/|" + mine + "RFD/");
  EXPECT_TRUE(std::filesystem::is_directory(state / "orvik"));
  const std::string log = folder.Read("LOG.DAT");
  EXPECT_NE(log.find(common::utf8_to_cp1252("Pasta de trabalho do usuário: ") + mine),
            std::string::npos)
      << log;
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
