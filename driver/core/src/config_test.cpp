#include "orvik/core/config.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "common/files.h"
#include "common/ini.h"
#include "orvik/core/config_lookup.h"
#include "orvik/core/test_folder.h"

namespace orvik::core {
namespace {

namespace fs = std::filesystem;

// A clock an hour ahead: every folder counts as long unchanged, so only the change
// stamps decide whether a folder is read again.
std::chrono::system_clock::time_point AnHourAhead() {
  return std::chrono::system_clock::now() + std::chrono::hours(1);
}

ino_t Inode(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(ConfigLookupCache, AgreesWithAFreshSearchAsFoldersChange) {
  TestFolder a, b, c;
  const fs::path later = a.path() / "later";  // a folder that does not exist yet
  const std::vector<fs::path> folders{later, a.path(), b.path(), c.path()};
  ConfigLookup lookup(folders, AnHourAhead);
  struct Step {
    const char* what;
    std::function<void()> change;
    fs::path expected;
  } steps[] = {
      {"none anywhere", [] {}, later / "ORVIK.INI"},
      {"one in the last folder", [&] { c.Write("orvik.ini", ""); }, c.path() / "orvik.ini"},
      {"unchanged", [] {}, c.path() / "orvik.ini"},
      {"a newer one higher up wins", [&] { b.Write("Orvik.Ini", ""); }, b.path() / "Orvik.Ini"},
      {"edited in place, still there", [&] { b.Write("Orvik.Ini", "[Flags]\r\n"); },
       b.path() / "Orvik.Ini"},
      {"renamed to another case",
       [&] { fs::rename(b.path() / "Orvik.Ini", b.path() / "ORVIK.INI"); }, b.path() / "ORVIK.INI"},
      {"deleted: the next folder's", [&] { fs::remove(b.path() / "ORVIK.INI"); },
       c.path() / "orvik.ini"},
      {"another file beside it changes nothing", [&] { c.Write("LOG.DAT", "x"); },
       c.path() / "orvik.ini"},
      {"a missing folder appears holding one",
       [&] {
         fs::create_directory(later);
         std::ofstream(later / "ORVIK.INI") << "";
       },
       later / "ORVIK.INI"},
      {"the folder goes away again", [&] { fs::remove_all(later); }, c.path() / "orvik.ini"},
      {"the last one deleted: the first folder's name", [&] { fs::remove(c.path() / "orvik.ini"); },
       later / "ORVIK.INI"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.change();
    EXPECT_EQ(lookup.Find(), step.expected);
    EXPECT_EQ(LookUpConfig(folders), step.expected);
  }
}

TEST(ConfigLookupCache, UnchangedFoldersAreNotReadAgain) {
  TestFolder a, b;
  b.WriteIni("");
  ConfigLookup lookup({a.path(), b.path()}, AnHourAhead);
  EXPECT_EQ(lookup.Find(), b.ini());
  EXPECT_EQ(lookup.scans(), 2u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(lookup.Find(), b.ini());
  EXPECT_EQ(lookup.scans(), 2u);
  // Rewriting the file in place leaves its folder alone.
  b.WriteIni("[Flags]\r\nNumPkt=3\r\n");
  EXPECT_EQ(lookup.Find(), b.ini());
  EXPECT_EQ(lookup.scans(), 2u);
}

TEST(ConfigLookupCache, RecentlyChangedFoldersAreReadEveryTime) {
  // Just created, so their change stamps are within the clock's coarseness of now: a
  // change in the same tick could carry the same stamp and go unseen.
  TestFolder a, b;
  b.WriteIni("");
  ConfigLookup lookup({a.path(), b.path()});
  lookup.Find();
  lookup.Find();
  EXPECT_EQ(lookup.scans(), 4u);
  // The same folders seen from an hour later settle after one more reading.
  ConfigLookup later({a.path(), b.path()}, AnHourAhead);
  later.Find();
  later.Find();
  EXPECT_EQ(later.scans(), 2u);
}

TEST(ConfigLookupCache, FolderSwappedForAnotherIsReadAgain) {
  TestFolder base;
  const fs::path etc = base.path() / "etc", old = base.path() / "old";
  fs::create_directory(etc);
  ConfigLookup lookup({etc}, AnHourAhead);
  EXPECT_EQ(lookup.Find(), etc / "ORVIK.INI");
  // Another folder holding the file takes the same name.
  fs::create_directory(base.path() / "new");
  std::ofstream(base.path() / "new" / "orvik.ini") << "";
  fs::rename(etc, old);
  fs::rename(base.path() / "new", etc);
  EXPECT_EQ(lookup.Find(), etc / "orvik.ini");
}

TEST(ConfigLookupCache, ProcessLookupFollowsTheConfiguredFolders) {
  TestFolder a, b;
  ::unsetenv("ORVIK_INI");
  SetConfigFolders({a.path(), b.path()});
  b.WriteIni("[Sistema]\r\nPorta=COM4\r\n");
  EXPECT_EQ(ConfigPath(), b.ini());
  EXPECT_EQ(Config().read("Sistema", "Porta"), "COM4");
  a.Write("ORVIK.ini", "[Sistema]\r\nPorta=COM7\r\n");
  EXPECT_EQ(Config().read("Sistema", "Porta"), "COM7");
  SetConfigFolders({});
}

// What the packet-number save did before it wrote digits in place: read the number,
// then rewrite the file with the new one.
long StepByRewrite(const fs::path& ini, long (*next)(long)) {
  common::IniFile file(ini);
  const long value = next(file.read_int("Flags", "NumPkt", 1));
  file.write("Flags", "NumPkt", std::to_string(value));
  return value;
}

long Packet(long stored) {
  const long packet = static_cast<long>(static_cast<int>(stored)) + 1;
  return packet < 1 || packet > 255 ? 1 : packet;
}

TEST(StepConfigNumber, LeavesTheFileAsARewriteWould) {
  struct {
    const char* ini;  // nullptr: no file
    bool in_place;    // the digits are overwritten where they are
  } cases[] = {
      {nullptr, false},
      {"", false},
      {"[Flags]\r\nNumPkt=11\r\n", true},
      {"[Sistema]\r\nPorta=COM1\r\n[Flags]\r\nGerencial=0\r\nNumPkt=200\r\nX=1\r\n", true},
      {"[flags]\nNumPkt=12", true},          // LF ends, no final break
      {"[ Flags ]\rNumPkt=0\r", true},       // lone CR ends
      {"[Flags]\r\n  NumPkt=5\r\n", false},  // not exactly key=digits
      {"[Flags]\r\nnumpkt=5\r\n", false},    // the key takes the writer's spelling
      {"[Flags]\r\nNumPkt = 5\r\n", false},
      {"[Flags]\r\nNumPkt=\"5\"\r\n", false},
      {"[Flags]\r\nNumPkt=007\r\n", false},  // 8 has fewer digits
      {"[Flags]\r\nNumPkt=9\r\n", false},
      {"[Flags]\r\nNumPkt=99\r\n", false},
      {"[Flags]\r\nNumPkt=255\r\n", false},  // wraps to 1
      {"[Flags]\r\nNumPkt=\r\n", false},
      {"[Flags]\r\nNumPkt=x\r\n", false},
      {"[Flags]\r\nNumPkt=-9\r\n", false},
      {"[Flags]\r\nNumPkt=4000\r\n", false},
      {"[Flags]\r\nNumPkt=12345678901234\r\n", false},
      {"[Flags]\r\n;NumPkt=3\r\nNumPkt=30\r\n", true},
      {"[Flags]\r\nNumPkt=30\r\nNumPkt=40\r\n", true},  // the first one
      {"[Flags]\r\nA=1\r\n[Other]\r\nNumPkt=30\r\n[Flags]\r\nNumPkt=40\r\n", false},
      {"NumPkt=30\r\n[Flags]\r\nNumPkt=50\r\n", true},  // before any section
      {"[Flags\r\nNumPkt=60\r\n", true},                // unclosed header
      {"[Flags]\r\nNumPkt=70 ; note\r\n", false},
  };
  TestFolder reference, folder;  // the last one made is the driver's $ORVIK_INI
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini ? c.ini : "<no file>");
    fs::remove(folder.ini());
    fs::remove(reference.ini());
    if (c.ini) {
      folder.WriteIni(c.ini);
      reference.WriteIni(c.ini);
    }
    const ino_t before = Inode(folder.ini());
    const long expected = StepByRewrite(reference.ini(), Packet);
    EXPECT_EQ(StepConfigNumber("Flags", "NumPkt", 1, Packet), expected);
    EXPECT_EQ(folder.Read("ORVIK.INI"), reference.Read("ORVIK.INI"));
    EXPECT_EQ(Inode(folder.ini()) == before, c.in_place);
  }
}

TEST(StepConfigNumber, DigitsAcrossASectorBoundaryAreNotWrittenInPlace) {
  TestFolder folder;
  // "[Flags]\r\n" is 9 bytes and "NumPkt=" 7, so the padding puts the digits at 510.
  const std::string pad = "P=" + std::string(510 - 9 - 7 - 4, 'x') + "\r\n";
  folder.WriteIni("[Flags]\r\n" + pad + "NumPkt=123\r\n");
  ASSERT_EQ(folder.Read("ORVIK.INI").find("123"), 510u);
  const ino_t before = Inode(folder.ini());
  EXPECT_EQ(StepConfigNumber("Flags", "NumPkt", 1, Packet), 124);
  EXPECT_EQ(folder.Read("ORVIK.INI"), "[Flags]\r\n" + pad + "NumPkt=124\r\n");
  EXPECT_NE(Inode(folder.ini()), before);
  // One byte earlier they fit in the first sector.
  folder.WriteIni("[Flags]\r\n" + pad.substr(1) + "NumPkt=123\r\n");
  const ino_t second = Inode(folder.ini());
  EXPECT_EQ(StepConfigNumber("Flags", "NumPkt", 1, Packet), 124);
  EXPECT_EQ(Inode(folder.ini()), second);
}

TEST(StepConfigNumber, ALinkedFileIsUpdatedThroughTheLink) {
  TestFolder folder;
  folder.Write("real.ini", "[Flags]\r\nNumPkt=41\r\n");
  fs::create_symlink(folder.path() / "real.ini", folder.ini());
  EXPECT_EQ(StepConfigNumber("Flags", "NumPkt", 1, Packet), 42);
  EXPECT_TRUE(fs::is_symlink(folder.ini()));
  EXPECT_EQ(folder.Read("real.ini"), "[Flags]\r\nNumPkt=42\r\n");
}

TEST(StepConfigNumber, EveryChangeBetweenStepsIsSeen) {
  TestFolder folder;
  folder.WriteIni("[Sistema]\r\nPorta=COM1\r\n[Flags]\r\nNumPkt=20\r\n");
  EXPECT_EQ(StepConfigNumber("Flags", "NumPkt", 1, Packet), 21);
  // Another program edits the file in place, same size.
  folder.WriteIni("[Sistema]\r\nPorta=COM2\r\n[Flags]\r\nNumPkt=50\r\n");
  EXPECT_EQ(StepConfigNumber("Flags", "NumPkt", 1, Packet), 51);
  // ... or renames a new one over it.
  folder.Write("new.ini", "[Flags]\r\nNumPkt=80\r\n");
  fs::rename(folder.path() / "new.ini", folder.ini());
  EXPECT_EQ(StepConfigNumber("Flags", "NumPkt", 1, Packet), 81);
  EXPECT_EQ(folder.Read("ORVIK.INI"), "[Flags]\r\nNumPkt=81\r\n");
  // ... or deletes it: the default, and the file comes back holding the new number.
  fs::remove(folder.ini());
  EXPECT_EQ(StepConfigNumber("Flags", "NumPkt", 1, Packet), 2);
  EXPECT_EQ(folder.Read("ORVIK.INI"), "[Flags]\r\nNumPkt=2\r\n");
}

}  // namespace
}  // namespace orvik::core
