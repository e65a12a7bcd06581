#include "orvik/memfiles/sintegra.h"

#include <gtest/gtest.h>

#include "common/files.h"
#include "orvik/core/test_folder.h"
#include "orvik/memfiles/working_folder.h"

namespace orvik::memfiles::sintegra {
namespace {

const std::string kFab = "LV0123456789        ";  // fabrication number as a text field of 20

class SintegraFiles : public ::testing::Test {
 protected:
  void SetUp() override { SetHostFolderOverride(folder_.path()); }
  void TearDown() override {
    End();
    SetHostFolderOverride(std::nullopt);
  }
  std::vector<std::string> Result() {
    return common::split_lines(common::read_file(SintegraPath()).value_or(""));
  }
  static HeaderData Owner() {
    return {"LOJA EXEMPLO LTDA",
            "RUA DAS FLORES",
            "123",
            "SALA 2",
            "CENTRO",
            "SAO PAULO",
            "SP",
            "01234-567",
            "(11) 3333-4444",
            "(11) 3333-5555",
            "MARIA"};
  }
  core::TestFolder folder_;
};

TEST(SintegraKeys, SortByGroupThenDateThenKind) {
  EXPECT_EQ(Key(Kind::k60M, "20240105"), "022024010502");
  EXPECT_EQ(Key(Kind::k60A, "20240105"), "022024010503");
  EXPECT_EQ(Key(Kind::k60D, "20240105"), "022024010505");
  EXPECT_EQ(Key(Kind::k60I, "20240105"), "022024010506");
  EXPECT_EQ(Key(Kind::k60R, "20240105"), "032024010504");
  EXPECT_EQ(Key(Kind::k75, "20240105"), "042024010507");
}

TEST(SintegraIcms, BaseTimesRateOverTenThousandForEveryBase) {
  const struct {
    const char *base, *code;
    int64_t icms;
  } cases[] = {
      {"1000", "1800", 180},
      {"999", "1800", 179},  // truncates
      // From ten thousand up the rate keeps its decimals (7.50 %, not 7 %).
      {"1500000", "0750", 112500},
      {"1000000", "1825", 182500},
      {"99999999999999", "9999", 99989999999999},
      {"1000", "ISS ", 0},
      {"1000", "CANC", 0},
      {"1000", "F   ", 0},
      {"1000", "18", 0},
      {"", "1800", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(Icms(c.base, c.code), c.icms) << c.base << " " << c.code;
}

TEST(SintegraCodes, ItemTaxCode) {
  const struct {
    const char *totalizer, *code;
  } cases[] = {
      {"01T1800", "1800"}, {"02T0700", "0700"}, {"03S0500", "ISS "}, {"FS1", "ISS "},
      {"IS1", "ISS "},     {"NS1", "ISS "},     {"F1", "F   "},      {"I1", "I   "},
      {"N1", "N   "},      {"01T0000", "0000"}, {"XX", "0000"},
  };
  for (const auto& c : cases) EXPECT_EQ(ItemTaxCode(c.totalizer), c.code) << c.totalizer;
}

TEST(SintegraCodes, TotalizerCodeOf60A) {
  const struct {
    const char* totalizer;
    Summary summary;
    const char* code;
  } cases[] = {
      {"FS1", Summary::kIss, "ISS "},
      {"IS1", Summary::kIss, "ISS "},
      {"NS1", Summary::kIss, "ISS "},
      {"02S0500", Summary::kIss, "ISS "},
      {"F1", Summary::kOwnLine, "F   "},
      {"I1", Summary::kOwnLine, "I   "},
      {"N1", Summary::kOwnLine, "N   "},
      {"Can-T", Summary::kCanc, "CANC"},
      {"Can-S", Summary::kCanc, "CANC"},
      {"DT", Summary::kDesc, "DESC"},
      {"DS", Summary::kDesc, "DESC"},
      {"AT", Summary::kSkip, ""},
      {"AS", Summary::kSkip, ""},
      {"OPNF", Summary::kSkip, ""},
      {"01T1800", Summary::kOwnLine, "1800"},
      // As they stand: no digits-field form, so "F000" stays "F000" and is left out.
      {"01TF000", Summary::kOwnLine, "F000"},
      {"01T07A", Summary::kOwnLine, "07A"},
  };
  for (const auto& c : cases) {
    const auto got = TotalizerCode60A(c.totalizer);
    EXPECT_EQ(got.summary, c.summary) << c.totalizer;
    EXPECT_EQ(got.code, c.code) << c.totalizer;
  }
}

TEST(SintegraRecords, ExactLines) {
  EXPECT_EQ(Record60M("20240105", "LV0123456789", "1", "12", "345", "7", "1002", "150000",
                      "1234567890123456789"),
            "60M20240105" + kFab + "0012D000012000345000007002" + "0000000000150000" +
                "4567890123456789" + std::string(37, ' '));
  EXPECT_EQ(Record60A("20240105", "LV0123456789", "1800", "0000000012345"),
            "60A20240105" + kFab + "1800000000012345" + std::string(79, ' '));
  EXPECT_EQ(
      Record60I("20240105", "LV0123456789", "345", "2", "789", "2000", "150", "300", "1800", "54"),
      "60I20240105" + kFab + "2D000345002" + "789           " + "0000000002000" + "0000000000150" +
          "000000000300" + "1800" + "000000000054" + std::string(16, ' '));
  EXPECT_EQ(Record75("20240105", "789", "CAFE", "KG", "ISS "),
            "752024010520240105789           " + std::string(8, ' ') + "CAFE" +
                std::string(49, ' ') + "KG    " + "00000" + "0000" + "00000" +
                std::string(13, '0'));
  for (const auto& line :
       {Record60M("", "", "", "", "", "", "", "", ""), Record60A("", "", "", ""),
        Record60I("", "", "", "", "", "", "", "", "", ""), Record75("", "", "", "", "")})
    EXPECT_EQ(line.size(), 126u);
}

// A 60I line as the readers append it: quantity with 3 decimals, price and base in cents.
void Item(std::string_view date, std::string_view coo, std::string_view product,
          std::string_view quantity, std::string_view price, std::string_view base,
          std::string_view code) {
  ASSERT_TRUE(AppendKeyedLine(
      Kind::k60I, date,
      Record60I(date, "LV0123456789", coo, "1", product, quantity, price, base, code, "0")));
}

TEST_F(SintegraFiles, SixtyDAndSixtyRSumPerDayAndPerMonth) {
  Begin(kWith60D | kWith60R, Owner());
  Item("20240105", "10", "789", "2000", "150", "300", "1800");  // 2 x 1.50
  Item("20240105", "11", "789", "1500", "150", "225", "1800");  // 1.5 x 1.50
  Item("20240105", "12", "789", "1000", "150", "150", "CANC");  // cancelled
  Item("20240106", "13", "789", "1000", "150", "150", "1800");
  Item("20240106", "14", "555", "1000", "990", "0", "1800");  // base 0: no 60D
  ASSERT_TRUE(DeriveSummaries());
  const auto lines = common::split_lines(*common::read_file(SintPath()));
  std::vector<std::string> derived(lines.begin() + 5, lines.end());
  const std::vector<std::string> expected = {
      "022024010505"
      "60D20240105" +
          kFab + "789           " + "0000000003500" + "0000000000000525" + "0000000000000525" +
          "1800" + "0000000000094" + std::string(19, ' '),
      "022024010605"
      "60D20240106" +
          kFab + "789           " + "0000000001000" + "0000000000000150" + "0000000000000150" +
          "1800" + "0000000000027" + std::string(19, ' '),
      "032024010604"
      "60R012024"
      "555           "
      "0000000001000"
      "0000000000000990"
      "0000000000000000"
      "1800" +
          std::string(54, ' '),
      "032024010604"
      "60R012024"
      "789           "
      "0000000004500"
      "0000000000000675"
      "0000000000000675"
      "1800" +
          std::string(54, ' '),
      "032024010604"
      "60R012024"
      "789           "
      "0000000001000"
      "0000000000000150"
      "0000000000000150"
      "CANC" +
          std::string(54, ' '),
  };
  EXPECT_EQ(derived, expected);
  for (const auto& line : derived) EXPECT_EQ(line.size(), 12u + 126u);
}

TEST_F(SintegraFiles, NothingDerivedWithoutTheirBits) {
  Begin(kWith60I, Owner());
  Item("20240105", "10", "789", "2000", "150", "300", "1800");
  ASSERT_TRUE(DeriveSummaries());
  EXPECT_EQ(common::split_lines(*common::read_file(SintPath())).size(), 1u);
}

// A small month: one Z with a 60A, an item sold twice (75 deduplicated) and the trailer.
class SintegraAssembly : public SintegraFiles {
 protected:
  void Fill(int selections) {
    Begin(selections, Owner());
    SetOwner("12.345.678/0001-90", "1234567");
    const auto m = Record60M("20240205", "LV0123456789", "1", "1", "20", "5", "1", "450", "9000");
    ASSERT_TRUE(AppendKeyedLine(Kind::k60M, "20240205", m));
    ASSERT_TRUE(AppendKeyedLine(Kind::k60A, "20240205",
                                Record60A("20240205", "LV0123456789", "1800", "450")));
    Item("20240205", "10", "789", "2000", "150", "300", "1800");
    Item("20240205", "11", "789", "1000", "150", "150", "1800");
    for (int i = 0; i < 2; ++i)
      ASSERT_TRUE(
          AppendKeyedLine(Kind::k75, "20240205",
                          Record75("20240205", "789", i ? "CAFE MOIDO" : "CAFE", "UN", "1800")));
  }
  const std::string type10_ =
      "10"
      "12345678000190"
      "1234567       "
      "LOJA EXEMPLO LTDA" +
      std::string(18, ' ') + "SAO PAULO" + std::string(21, ' ') + "SP" +
      "1133335555"
      "20240201"
      "20240229"
      "331";
  const std::string type11_ =
      "11"
      "RUA DAS FLORES" +
      std::string(20, ' ') +
      "00123"
      "SALA 2" +
      std::string(16, ' ') + "CENTRO" + std::string(9, ' ') + "01234567" + "MARIA" +
      std::string(23, ' ') + "001133334444";
};

TEST_F(SintegraAssembly, SelectionsZeroGiveHeaderMovementTotalsProductsTrailer) {
  Fill(0);
  ASSERT_TRUE(DeriveSummaries());
  ASSERT_EQ(Assemble(), std::nullopt);
  const auto lines = Result();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], type10_);
  EXPECT_EQ(lines[1], type11_);
  EXPECT_TRUE(lines[2].starts_with("60M20240205"));
  EXPECT_TRUE(lines[3].starts_with("60A20240205"));
  // The second 75 of the same day and product is left out, whatever its description.
  EXPECT_EQ(lines[4], Record75("20240205", "789", "CAFE", "UN", "1800"));
  EXPECT_EQ(lines[5],
            "90"
            "12345678000190"
            "1234567       "
            "60"
            "00000002"
            "75"
            "00000001"
            "99"
            "00000006" +
                std::string(65, ' ') + "1");
  for (const auto& line : lines) EXPECT_EQ(line.size(), 126u);
}

TEST_F(SintegraAssembly, EverySelectionCountsEverySixtyAlike) {
  Fill(kWith60D | kWith60I | kWith60R);
  ASSERT_TRUE(DeriveSummaries());
  ASSERT_EQ(Assemble(), std::nullopt);
  const auto lines = Result();
  std::vector<std::string> kinds;
  for (const auto& l : lines) kinds.push_back(l.substr(0, l.starts_with("6") ? 3 : 2));
  EXPECT_EQ(kinds, (std::vector<std::string>{"10", "11", "60M", "60A", "60D", "60I", "60I", "60R",
                                             "75", "90"}));
  // 60M, 60A, 60D, two 60I and 60R: six; one 75; ten lines in all.
  EXPECT_EQ(lines.back().substr(30, 30),
            "60"
            "00000006"
            "75"
            "00000001"
            "99"
            "00000010");
}

TEST_F(SintegraAssembly, PeriodSpansTheMonthsOfTheSixtyM) {
  const struct {
    const char *first_z, *last_z, *first, *last;
  } cases[] = {
      {"20240205", "20240205", "20240201", "20240229"},  // leap February
      {"20230205", "20230205", "20230201", "20230228"},
      {"20231130", "20240115", "20231101", "20240131"},
      {"20240410", "20240402", "20240401", "20240430"},
  };
  for (const auto& c : cases) {
    DeleteWorkingFiles();
    Begin(0, Owner());
    SetOwner("1", "2");
    for (const char* date : {c.first_z, c.last_z})
      ASSERT_TRUE(AppendKeyedLine(Kind::k60M, date,
                                  Record60M(date, "X", "1", "1", "1", "1", "1", "1", "1")));
    ASSERT_EQ(Assemble(), std::nullopt);
    const auto lines = Result();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].substr(107, 16), std::string(c.first) + c.last) << c.first_z;
  }
}

TEST_F(SintegraAssembly, WithoutSixtyMThePeriodComesFromTheFallback) {
  Begin(0, Owner());
  SetOwner("1", "2");
  SetFallbackPeriod("20240303", "20240317");
  ASSERT_TRUE(AppendKeyedLine(Kind::k75, "20240303", Record75("20240303", "1", "A", "UN", "0")));
  ASSERT_EQ(Assemble(), std::nullopt);
  EXPECT_EQ(Result()[0].substr(107, 16), "2024030320240317");
}

TEST_F(SintegraAssembly, WithoutOwnerThereIsNoTenOrEleven) {
  Begin(0, Owner());
  ASSERT_TRUE(AppendKeyedLine(Kind::k75, "20240303", Record75("20240303", "1", "A", "UN", "0")));
  ASSERT_EQ(Assemble(), std::nullopt);
  const auto lines = Result();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with("75"));
  EXPECT_TRUE(lines[1].starts_with("90"));
}

TEST_F(SintegraAssembly, ReSortStartsAtTheFirstSixtyRRecordNotAtAnyText) {
  Begin(kWith60R, Owner());
  SetOwner("1", "2");
  // A 60A whose ECF number holds the text "60R" must stay where the keys put it.
  ASSERT_TRUE(AppendKeyedLine(Kind::k60M, "20240101",
                              Record60M("20240101", "B60R", "1", "1", "1", "1", "1", "1", "1")));
  ASSERT_TRUE(
      AppendKeyedLine(Kind::k60A, "20240101", Record60A("20240101", "B60R", "1800", "100")));
  // Two 60R lines whose keys put product 2 (last sold on the 20th) before product 1.
  ASSERT_TRUE(AppendKeyedLine(Kind::k60R, "20240103",
                              "60R012024"
                              "2             " +
                                  std::string(103, '0')));
  ASSERT_TRUE(AppendKeyedLine(Kind::k60R, "20240120",
                              "60R012024"
                              "1             " +
                                  std::string(103, '0')));
  ASSERT_EQ(Assemble(), std::nullopt);
  const auto lines = Result();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_TRUE(lines[2].starts_with("60M"));
  EXPECT_TRUE(lines[3].starts_with("60A"));
  EXPECT_TRUE(
      lines[4].starts_with("60R012024"
                           "1 "));
  EXPECT_TRUE(
      lines[5].starts_with("60R012024"
                           "2 "));
  EXPECT_TRUE(lines[6].starts_with("90"));
}

TEST_F(SintegraAssembly, MissingSintFileIsAnError) {
  Begin(0, Owner());
  EXPECT_NE(Assemble(), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(SintegraPath()));
}

}  // namespace
}  // namespace orvik::memfiles::sintegra
