// The RFD conversion's record store (RFDTEMP/E12.DAT ... E21.DAT) when its disk fails: full,
// so that the next record only fits in part, or read-only. The write is refused with an
// error naming the file and the reason, the records already there stay whole and in
// place (no record cut short shifts the ones after it), and once the disk is back the
// same write works.
#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "orvik/memfiles/record_store.h"
#include "orvik/memfiles/working_folder.h"
#include "scratch_mounts.h"

namespace {

namespace fs = std::filesystem;
using namespace orvik::memfiles;

constexpr int kItem = 5;  // E15, 291 bytes: a record now and then straddles two pages

void PutItem(long n) {
  ClearRecord(kItem);
  SetField(kItem, head::kType, "E15");
  SetField(kItem, e15::kCoo, DigitsField(std::to_string(n), 6));
  SetField(kItem, e15::kDescription, "ITEM " + std::to_string(n));
  SetField(kItem, e15::kUnitPrice, "00000500");
  SetField(kItem, e15::kQuantity, "0001000");
  SetField(kItem, e15::kNetTotal, "00000000000500");
  SetField(kItem, e15::kDiscount, "00000000");
  SetField(kItem, e15::kSurcharge, "00000000");
}

std::string DescriptionOf(long n) {
  if (LeRegistroE(kItem, n) != 1) return "(no file)";
  return GetField(kItem, e15::kDescription);
}

struct Fault {
  const char* name;
  const char* reason;  // as the error gives it
  // Makes the fault on the host folder (whose RFDTEMP/ holds some records); false when
  // the system does not allow it.
  std::function<bool(const fs::path& host, fault_survival::Filler& filler)> make;
  std::function<void(const fs::path& host, fault_survival::Filler& filler)> undo;
};

class RecordStoreFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/record-store-faults-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    SetHostFolderOverride(std::nullopt);
    for (const auto& m : mounts_) ::umount2(m.c_str(), MNT_DETACH);
    fs::remove_all(dir_);
  }
  fs::path dir_;
  std::vector<fs::path> mounts_;
};

TEST_F(RecordStoreFaults, AWriteTheDiskRefusesFailsAndKeepsTheRecordsBeforeIt) {
  const Fault faults[] = {
      {"full disk", "No space left on device",
       [](const fs::path&, fault_survival::Filler& filler) {
         // The folder is already on a small filesystem: fill what is left of it.
         filler.Fill();
         return true;
       },
       [](const fs::path&, fault_survival::Filler& filler) { filler.FreeAll(); }},
      {"read-only folder", "Read-only file system",
       [this](const fs::path& host, fault_survival::Filler&) {
         if (!fault_survival::ReadOnly(host / "RFDTEMP")) return false;
         mounts_.push_back(host / "RFDTEMP");
         return true;
       },
       [this](const fs::path& host, fault_survival::Filler&) {
         fault_survival::Writable(host / "RFDTEMP");
         mounts_.pop_back();
       }},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    const fs::path host = dir_ / fault.name;
    if (!fault_survival::SmallDisk(host, "64k"))
      GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
    mounts_.push_back(host);
    SetHostFolderOverride(host);
    fault_survival::Filler filler(host);

    for (long n = 0; n < 3; ++n) {
      PutItem(n);
      GravaRegistroE(kItem, n);
    }
    ASSERT_TRUE(fault.make(host, filler));

    // Appends until the disk refuses one: on the full disk the page already taken holds a
    // few more records, and the first that straddles into a new page is refused.
    long count = TotalRegistrosE(kItem);
    std::string error;
    for (int attempt = 0; attempt < 64 && error.empty(); ++attempt) {
      PutItem(count);
      try {
        GravaRegistroE(kItem, count);
        ++count;
      } catch (const std::runtime_error& e) {
        error = e.what();
      }
    }
    ASSERT_FALSE(error.empty()) << "the disk took every record";
    EXPECT_NE(error.find("E15.DAT"), std::string::npos) << error;
    EXPECT_NE(error.find(fault.reason), std::string::npos) << error;
    EXPECT_EQ(TotalRegistrosE(kItem), count);
    EXPECT_EQ(fs::file_size(host / "RFDTEMP" / "E15.DAT") % RecordSize(kItem), 0u)
        << "a record was cut short";
    for (long n = 0; n < count; ++n) EXPECT_EQ(DescriptionOf(n), "ITEM " + std::to_string(n));

    fault.undo(host, filler);
    PutItem(count);
    EXPECT_NO_THROW(GravaRegistroE(kItem, count));
    EXPECT_EQ(TotalRegistrosE(kItem), count + 1);
    EXPECT_EQ(DescriptionOf(count), "ITEM " + std::to_string(count));
    EXPECT_EQ(DescriptionOf(0), "ITEM 0");
  }
}

}  // namespace
