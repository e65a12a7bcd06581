#include "orvik/memfiles/record_store.h"

#include <sys/stat.h>

#include "orvik/memfiles/working_folder.h"
#include "test_peer.h"

namespace orvik::memfiles {
namespace {

class RecordStore : public testing::Peer {
 protected:
  std::string StoreFile(int type) { return PastaRFDTemp() + RecordFileName(type); }
};

TEST(RecordLayout, SizesAndTheLastFieldOfEachType) {
  const struct {
    int type;
    int size;
    Field last;
  } cases[] = {
      {2, 128, e12::kFirstCoo}, {3, 94, e13::kValue},
      {4, 210, e14::kBuyerId},  {5, 291, e15::kPriceDecimals},
      {6, 110, e16::kTime},     {7, 102, e17::kValue},
      {8, 102, e18::kValue},    {11, 118, e21::kReversedAmount},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RecordSize(c.type), c.size) << c.type;
    // The last field (its length byte and capacity) ends exactly at the record's end.
    EXPECT_EQ(c.last.offset + 1 + c.last.capacity, c.size) << c.type;
  }
  EXPECT_EQ(RecordSize(9), 0);
  EXPECT_EQ(RecordSize(10), 0);
  EXPECT_EQ(RecordFileName(2), "E12.DAT");
  EXPECT_EQ(RecordFileName(11), "E21.DAT");
}

TEST(RecordLayout, FieldsAreALengthByteAndTheirBytesAtTheirOffsets) {
  ClearRecord(2);
  SetField(2, head::kType, "E12");
  SetField(2, head::kFabrication, "OR050800000000012345XYZ");  // cut to 20
  SetField(2, e12::kGrossSales, "4847");
  const std::string& r = Record(2);
  EXPECT_EQ(r[0], 3);
  EXPECT_EQ(r.substr(1, 3), "E12");
  EXPECT_EQ(r[4], 20);
  EXPECT_EQ(r.substr(5, 20), "OR050800000000012345");
  EXPECT_EQ(r[104], 4);
  EXPECT_EQ(r.substr(105, 4), "4847");
  EXPECT_EQ(GetField(2, e12::kGrossSales), "4847");
  EXPECT_EQ(GetField(2, e12::kFirstCoo), "");
}

TEST_F(RecordStore, WritesAppendsReadsAndCounts) {
  EXPECT_EQ(TotalRegistrosE(3), 0);
  for (int i = 0; i < 3; ++i) {
    SetField(3, e13::kTotalizer, "T" + std::to_string(i));
    GravaRegistroE(3, TotalRegistrosE(3));
  }
  EXPECT_EQ(TotalRegistrosE(3), 3);
  struct stat st {};
  ASSERT_EQ(::stat(StoreFile(3).c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 3 * 94);

  SetField(3, e13::kTotalizer, "NOVO");
  GravaRegistroE(3, 1);  // overwrite in place
  EXPECT_EQ(TotalRegistrosE(3), 3);
  ASSERT_EQ(LeRegistroE(3, 1), 1);
  EXPECT_EQ(GetField(3, e13::kTotalizer), "NOVO");
  ASSERT_EQ(LeRegistroE(3, 2), 1);
  EXPECT_EQ(GetField(3, e13::kTotalizer), "T2");
  EXPECT_THROW(LeRegistroE(3, 3), std::runtime_error);
}

TEST_F(RecordStore, MissingFilesCountZeroAndLeaveTheRecordAlone) {
  SetField(4, e14::kCoo, "000123");
  EXPECT_EQ(TotalRegistrosE(4), 0);
  EXPECT_EQ(LeRegistroE(4, 0), 0);
  EXPECT_EQ(GetField(4, e14::kCoo), "000123");
  EXPECT_EQ(TotalRegistrosE(9), 0);
}

TEST_F(RecordStore, DeletingRemovesEveryTypeFile) {
  GravaRegistroE(2, 0);
  GravaRegistroE(11, 0);
  ApagaRegistroE(2);
  EXPECT_FALSE(std::filesystem::exists(StoreFile(2)));
  EXPECT_TRUE(std::filesystem::exists(StoreFile(11)));
  GravaRegistroE(2, 0);
  ApagaRegistrosE();
  for (int type = 2; type <= 11; ++type) EXPECT_FALSE(std::filesystem::exists(StoreFile(type)));
}

TEST_F(RecordStore, AnUnwritableWorkingFolderFailsClearlyAndLeavesNoFile) {
  // The host folder is a file: RFDTEMP/ cannot be made inside it.
  folder.Write("host", "not a folder");
  SetHostFolderOverride(folder.path() / "host");
  try {
    GravaRegistroE(2, 0);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "Impossivel Criar" + PastaRFDTemp());
  }
  EXPECT_EQ(TotalRegistrosE(2), 0);
}

TEST_F(RecordStore, AReadOnlyStoreFileIsAnErrorNotASilentLoss) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  GravaRegistroE(6, 0);
  ::chmod(StoreFile(6).c_str(), 0444);
  EXPECT_THROW(GravaRegistroE(6, 1), std::runtime_error);
  EXPECT_EQ(TotalRegistrosE(6), 1);
}

TEST(ItemRounding, OneCentOffIsRoundedTwoCentsKeepTheIndicator) {
  // unit price, quantity, price decimals, net, discount, surcharge, given -> stored
  const struct {
    const char *price, *qty, *decimals, *net, *discount, *surcharge, *given, *want;
  } cases[] = {
      {"399", "3000", "2", "1197", "0", "0", "T", "T"},    // exact
      {"333", "3000", "2", "1000", "0", "0", "T", "A"},    // gross 999, 1 cent under
      {"333", "3000", "2", "998", "0", "0", "T", "A"},     // gross 999, 1 cent over
      {"333", "3000", "2", "1001", "0", "0", "T", "T"},    // 2 cents off
      {"3333", "3000", "3", "1000", "0", "0", "T", "A"},   // three price decimals
      {"1000", "1000", "2", "900", "101", "0", "T", "A"},  // discount counted
      {"1000", "1000", "2", "1100", "0", "99", "T", "A"},  // surcharge counted
      {"100000", "3000", "2", "1", "0", "0", "T", "T"},    // price out of range
      {"333", "1000000", "2", "1", "0", "0", "A", "A"},    // quantity out of range
      {"3x3", "3000", "2", "1000", "0", "0", "A", "T"},    // not a number
      {"333", "3000", "2", "", "0", "0", "A", "T"},        // empty field
  };
  for (const auto& c : cases) {
    EXPECT_EQ(
        ItemRoundingIndicator(c.price, c.qty, c.decimals, c.net, c.discount, c.surcharge, c.given),
        c.want)
        << c.price << " x " << c.qty << " net " << c.net;
  }
}

TEST_F(RecordStore, ItemRecordsGetTheirIndicatorWhenStored) {
  ClearRecord(5);
  SetField(5, e15::kUnitPrice, "333");
  SetField(5, e15::kQuantity, "3000");
  SetField(5, e15::kPriceDecimals, "2");
  SetField(5, e15::kNetTotal, "1000");
  SetField(5, e15::kDiscount, "0");
  SetField(5, e15::kSurcharge, "0");
  SetField(5, e15::kRounding, "T");
  GravaRegistroE(5, 0);
  ClearRecord(5);
  ASSERT_EQ(LeRegistroE(5, 0), 1);
  EXPECT_EQ(GetField(5, e15::kRounding), "A");
}

}  // namespace
}  // namespace orvik::memfiles
