#include "orvik/memfiles/sintegra_binary.h"

#include <fstream>

#include "common/files.h"
#include "orvik/memfiles/ato17_reader.h"
#include "test_peer.h"

namespace orvik::memfiles {
namespace {

using Lines = std::vector<std::string>;

std::string Pad(std::string_view v, size_t n) {
  std::string s(v.substr(0, std::min(n, v.size())));
  s.resize(n, ' ');
  return s;
}
std::string Zeros(std::string_view v, size_t n) {
  return std::string(n - v.size(), '0') + std::string(v);
}

const std::string kFab = "OR050800000000012345";
const std::string kFab2 = "OR050800000000099999";
std::string Head(const std::string& fab) {
  return Pad(fab, 20) + " " + Pad("ORVIK KAP", 20);
}

// Ato 17 lines at the record layout's widths.
std::string E01(const std::string& fab, std::string_view first, std::string_view last) {
  return "E01" + Pad(fab, 20) + " " + Pad("ECF-IF", 7) + Pad("ORVIK", 20) + Pad("ORVIK KAP", 20) +
         Pad("01.00.08", 10) +
         "20260105"
         "090000"
         "001"
         "12345678000195"
         "TDM"
         "000001"
         "000002" +
         std::string(first) + std::string(last) +
         "01.00.00"
         "AC1704 01.00.00";
}
std::string E02(const std::string& fab) {
  return "E02" + Head(fab) + "12345678000195" + Pad("00244123456119", 14) +
         Pad("SUPERMERCADO BOA VISTA LTDA", 40) + Pad("RUA DAS PALMEIRAS, 120", 120) +
         "20260105"
         "093000"
         "000001" +
         Zeros("1234567890123456", 18) + "01";
}
std::string E12(const std::string& fab, std::string_view crz, std::string_view coo,
                std::string_view date, std::string_view gross) {
  return "E12" + Head(fab) + "01" + Zeros(crz, 6) + Zeros(coo, 6) + "000001" + std::string(date) +
         std::string(date) + "230000" + Zeros(gross, 14) + "N";
}
std::string E13(const std::string& fab, std::string_view crz, std::string_view totalizer,
                std::string_view value) {
  return "E13" + Head(fab) + "01" + Zeros(crz, 6) + Pad(totalizer, 7) + Zeros(value, 13);
}
std::string E14(const std::string& fab, std::string_view coo, std::string_view date,
                char cancelled) {
  return "E14" + Head(fab) + "01" + Zeros(coo, 6) + Zeros(coo, 6) + std::string(date) +
         std::string(14, '0') + std::string(13, '0') + "V" + std::string(13, '0') + "V" +
         std::string(14, '0') + cancelled + std::string(13, '0') + "A" + Pad("", 40) +
         std::string(14, '0');
}
std::string E15(const std::string& fab, std::string_view coo, std::string_view item,
                std::string_view code, std::string_view description, std::string_view quantity,
                std::string_view price, std::string_view net, std::string_view totalizer,
                char price_decimals = '2') {
  return "E15" + Head(fab) + "01" + Zeros(coo, 6) + Zeros(coo, 6) + Zeros(item, 3) + Pad(code, 14) +
         Pad(description, 100) + Zeros(quantity, 7) + "UN " + Zeros(price, 8) +
         "00000000"
         "00000000" +
         Zeros(net, 14) + Pad(totalizer, 7) + "N" + std::string(7, '0') + std::string(26, '0') +
         "T"
         "3" +
         price_decimals;
}

// Two days of one printer.
Lines TwoDays() {
  return {
      E01(kFab, "20260615", "20260616"),
      E02(kFab),
      E12(kFab, "1", "5", "20260615", "4800"),
      E12(kFab, "2", "9", "20260616", "2500"),
      E13(kFab, "1", "00T1800", "2500"),
      E13(kFab, "1", "FS1", "300"),
      E13(kFab, "1", "01S0500", "200"),
      E13(kFab, "1", "Can-T", "800"),
      E13(kFab, "1", "Can-S", "100"),
      E13(kFab, "1", "DT", "50"),
      E13(kFab, "1", "AT", "10"),
      E13(kFab, "1", "OPNF", "1000"),
      E13(kFab, "1", "F1", "0"),
      E13(kFab, "1", "I1", "700"),
      E13(kFab, "2", "00T1800", "2500"),
      E14(kFab, "1", "20260615", 'N'),
      E14(kFab, "2", "20260615", 'S'),
      E14(kFab, "3", "20260615", 'N'),
      E14(kFab, "6", "20260616", 'N'),
      E14(kFab, "7", "20260616", 'N'),
      E15(kFab, "1", "1", "789", "ARROZ", "2000", "1250", "2500", "00T1800"),
      E15(kFab, "2", "1", "555", "FEIJAO", "1000", "800", "800", "00T1800"),
      E15(kFab, "3", "1", "S1", "ENTREGA", "1000", "200", "200", "01S0500"),
      E15(kFab, "3", "2", "123", "CERVEJA", "1000", "300", "300", "F1"),
      E15(kFab, "3", "3", "9", "ISENTO ZERO", "1000", "100", "100", "02T0000"),
      // Unit price with three decimals: 12,500 is 1250 cents.
      E15(kFab, "6", "1", "789", "ARROZ", "1000", "12500", "1250", "00T1800", '3'),
      E15(kFab, "7", "1", "789", "ARROZ", "1000", "1250", "1250", "00T1800"),
  };
}

class BinaryReport : public testing::Peer {
 protected:
  void SetUp() override {
    Peer::SetUp();
    answers["LeInteiro"] = "0;ValorInteiro=5";  // COOReducao[1]: the first day ended at COO 5
    source_ = (folder.path() / "OR0508.txt").string();
    target_ = (folder.path() / "saida.txt").string();
  }
  void Source(const Lines& lines, const char* end = "\r\n") {
    std::ofstream out(source_, std::ios::binary);
    for (const auto& l : lines) out << l << end;
  }
  int Report(int selections) {
    return RelatorioSintegraMFDBinario(selections, source_, target_, Header());
  }
  static sintegra::HeaderData Header() {
    return {"SUPERMERCADO BOA VISTA",
            "RUA DAS PALMEIRAS",
            "120",
            "",
            "CENTRO",
            "CAMPINAS",
            "",
            "13010-000",
            "(19) 3232-1000",
            "",
            "JOSE"};
  }
  Lines Result() const {
    return common::split_lines(common::read_file(target_).value_or("<missing>"));
  }
  static Lines Kinds(const Lines& lines) {
    Lines k;
    for (const auto& l : lines) k.push_back(l.substr(0, l.starts_with("60") ? 3 : 2));
    return k;
  }
  std::string source_, target_;
};

const std::string kBlank37(37, ' '), kBlank79(79, ' ');

TEST_F(BinaryReport, ARateCodeF000IsNotWrittenAsZeros) {
  Source({E01(kFab, "20260615", "20260615"), E02(kFab), E12(kFab, "1", "5", "20260615", "2900"),
          E13(kFab, "1", "00T1800", "2500"), E13(kFab, "1", "01TF000", "400")});
  ASSERT_EQ(Report(0), 1) << core::State().last_message;
  int lines60A = 0;
  for (const auto& line : Result()) {
    if (line.rfind("60A", 0) != 0) continue;
    ++lines60A;
    EXPECT_EQ(line.substr(31, 4), "1800") << line;
  }
  EXPECT_EQ(lines60A, 1);
}

TEST_F(BinaryReport, TwoDaysWithIssCancellationsAndSkipsGiveExactLines) {
  Source(TwoDays());
  ASSERT_EQ(Report(0), 1) << core::State().last_message;
  const Lines lines = Result();
  const std::string a1 = "60A20260615" + kFab;
  const Lines expected = {
      "10"
      "12345678000195"
      "244123456119  "
      "SUPERMERCADO BOA VISTA" +
          std::string(13, ' ') + "CAMPINAS" + std::string(22, ' ') +
          "  "
          "0000000000"
          "20260601"
          "20260630"
          "331",
      "11"
      "RUA DAS PALMEIRAS" +
          std::string(17, ' ') + "00120" + std::string(22, ' ') + "CENTRO" + std::string(9, ' ') +
          "13010000"
          "JOSE" +
          std::string(24, ' ') + "001932321000",
      "60M20260615" + kFab +
          "001"
          "2D"
          "000001"
          "000005"
          "000001"
          "001"
          "0000000000004800"
          "1234567890123456" +
          kBlank37,
      a1 +
          "1800"
          "000000002500" +
          kBlank79,
      a1 +
          "CANC"
          "000000000900" +
          kBlank79,
      a1 +
          "DESC"
          "000000000050" +
          kBlank79,
      a1 +
          "I   "
          "000000000700" +
          kBlank79,
      a1 +
          "ISS "
          "000000000500" +
          kBlank79,
      // The second day's first COO comes from the printer: COOReducao[1] + 1.
      "60M20260616" + kFab +
          "001"
          "2D"
          "000006"
          "000009"
          "000002"
          "001"
          "0000000000002500"
          "1234567890123456" +
          kBlank37,
      "60A20260616" + kFab +
          "1800"
          "000000002500" +
          kBlank79,
      // 75: one per day and product; the cancelled, service and letter codes carry 0000;
      // the 02T0000 item is left out.
      "752026061520260615123           " + std::string(8, ' ') + Pad("CERVEJA", 53) +
          "UN    "
          "00000"
          "0000"
          "00000"
          "0000000000000",
      "752026061520260615555           " + std::string(8, ' ') + Pad("FEIJAO", 53) +
          "UN    "
          "00000"
          "0000"
          "00000"
          "0000000000000",
      "752026061520260615789           " + std::string(8, ' ') + Pad("ARROZ", 53) +
          "UN    "
          "00000"
          "1800"
          "00000"
          "0000000000000",
      "752026061520260615S1            " + std::string(8, ' ') + Pad("ENTREGA", 53) +
          "UN    "
          "00000"
          "0000"
          "00000"
          "0000000000000",
      "752026061620260616789           " + std::string(8, ' ') + Pad("ARROZ", 53) +
          "UN    "
          "00000"
          "1800"
          "00000"
          "0000000000000",
      "90"
      "12345678000195"
      "244123456119  "
      "60"
      "00000008"
      "75"
      "00000005"
      "99"
      "00000016" +
          std::string(65, ' ') + "1",
  };
  EXPECT_EQ(lines, expected);
  for (const auto& l : lines) EXPECT_EQ(l.size(), 126u) << l;
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].command, "LeInteiro");
  EXPECT_EQ(sent[0].parameters, "NomeInteiro=\"COOReducao[1]\"");
}

TEST_F(BinaryReport, ItemsOfTheSixtyIAndTheirTaxCodes) {
  Source(TwoDays());
  ASSERT_EQ(Report(sintegra::kWith60I), 1);
  Lines items;
  for (const auto& l : Result())
    if (l.starts_with("60I")) items.push_back(l);
  const std::string i1 = "60I20260615" + kFab + "2D";
  const Lines expected = {
      i1 +
          "000001001"
          "789           "
          "0000000002000"
          "0000000001250"
          "000000002500"
          "1800"
          "000000000450" +
          std::string(16, ' '),
      i1 +
          "000002001"
          "555           "
          "0000000001000"
          "0000000000800"
          "000000000800"
          "CANC"
          "000000000000" +
          std::string(16, ' '),
      i1 +
          "000003001"
          "S1            "
          "0000000001000"
          "0000000000200"
          "000000000200"
          "ISS "
          "000000000000" +
          std::string(16, ' '),
      i1 +
          "000003002"
          "123           "
          "0000000001000"
          "0000000000300"
          "000000000300"
          "F   "
          "000000000000" +
          std::string(16, ' '),
      "60I20260616" + kFab +
          "2D"
          "000006001"
          "789           "
          "0000000001000"
          "0000000001250"
          "000000001250"
          "1800"
          "000000000225" +
          std::string(16, ' '),
      "60I20260616" + kFab +
          "2D"
          "000007001"
          "789           "
          "0000000001000"
          "0000000001250"
          "000000001250"
          "1800"
          "000000000225" +
          std::string(16, ' '),
  };
  EXPECT_EQ(items, expected);
}

TEST_F(BinaryReport, TheSelectionMaskChoosesTheSummaries) {
  const struct {
    int selections;
    Lines kinds;
  } cases[] = {
      {0,
       {"10", "11", "60M", "60A", "60A", "60A", "60A", "60A", "60M", "60A", "75", "75", "75", "75",
        "75", "90"}},
      {sintegra::kWith60D,
       // Day 1: products 123, 789 and S1 (the cancelled 555 has none); day 2: 789.
       {"10",  "11",  "60M", "60A", "60A", "60A", "60A", "60A", "60D", "60D",
        "60D", "60M", "60A", "60D", "75",  "75",  "75",  "75",  "75",  "90"}},
      {sintegra::kWith60R, {"10",  "11",  "60M", "60A", "60A", "60A", "60A", "60A", "60M", "60A",
                            "60R", "60R", "60R", "60R", "75",  "75",  "75",  "75",  "75",  "90"}},
  };
  for (const auto& c : cases) {
    Source(TwoDays());
    ASSERT_EQ(Report(c.selections), 1) << c.selections;
    EXPECT_EQ(Kinds(Result()), c.kinds) << c.selections;
  }
}

TEST_F(BinaryReport, SixtyRPerMonthWithTheCancelledApart) {
  Source(TwoDays());
  ASSERT_EQ(Report(sintegra::kWith60R), 1);
  Lines r;
  for (const auto& l : Result())
    if (l.starts_with("60R")) r.push_back(l);
  const std::string blanks(54, ' ');
  const Lines expected = {
      "60R062026"
      "123           "
      "0000000001000"
      "0000000000000300"
      "0000000000000300"
      "F   " +
          blanks,
      "60R062026"
      "555           "
      "0000000001000"
      "0000000000000800"
      "0000000000000800"
      "CANC" +
          blanks,
      "60R062026"
      "789           "
      "0000000004000"
      "0000000000005000"
      "0000000000005000"
      "1800" +
          blanks,
      "60R062026"
      "S1            "
      "0000000001000"
      "0000000000000200"
      "0000000000000200"
      "ISS " +
          blanks,
  };
  EXPECT_EQ(r, expected);
}

TEST_F(BinaryReport, LineEndsAndDamagedLinesDoNotChangeTheResult) {
  Source(TwoDays());
  ASSERT_EQ(Report(sintegra::kWith60I), 1);
  const Lines clean = Result();

  Lines damaged = TwoDays();
  damaged.insert(damaged.begin() + 3, "E15 short");                    // short
  damaged.insert(damaged.begin() + 3, "E1X" + std::string(300, '0'));  // not a record number
  damaged.insert(damaged.begin() + 3, "X" + std::string(300, '9'));    // not a record
  damaged.insert(damaged.begin() + 3, std::string());                  // empty
  damaged.push_back(E15(kFab, "8", "1", "789", "SEM CUPOM", "1000", "100", "100", "00T1800"));
  damaged[4 + 4] += "LIXO APOS O REGISTRO";  // long: rest ignored
  Source(damaged, "\n");
  ASSERT_EQ(Report(sintegra::kWith60I), 1);
  EXPECT_EQ(Result(), clean);
}

TEST_F(BinaryReport, NonNumericFieldsCountAsTheirDigits) {
  Lines lines = TwoDays();
  lines.push_back(E14(kFab, "12", "20260616", 'N'));
  lines.push_back(E15(kFab, "12", "1", "42", "ITEM", "1x00", "ab", "1O0", "00TAB"));
  Source(lines);
  ASSERT_EQ(Report(sintegra::kWith60I), 1);
  // The 00TAB rate has no digits: code 0000, so the item is left out.
  for (const auto& l : Result()) EXPECT_EQ(l.find("42            "), std::string::npos) << l;
}

TEST_F(BinaryReport, TwoPrintersInOneFileKeepTheirOwnDaysAndCoupons) {
  Lines lines = TwoDays();
  lines.push_back(E12(kFab2, "1", "3", "20260615", "999"));
  lines.push_back(E13(kFab2, "1", "FS1", "111"));
  lines.push_back(E14(kFab2, "1", "20260617", 'S'));  // same COO as the first printer's coupon
  lines.push_back(E15(kFab2, "1", "1", "789", "ARROZ", "1000", "1250", "1250", "00T1800"));
  Source(lines);
  ASSERT_EQ(Report(sintegra::kWith60I), 1);
  const Lines result = Result();
  int zs = 0, iss2 = 0;
  std::string item2;
  for (const auto& l : result) {
    zs += l.starts_with("60M20260615");
    iss2 += l.starts_with("60A20260615" + kFab2 + "ISS 000000000111");
    if (l.starts_with("60I") && l.substr(11, 20) == kFab2) item2 = l;
  }
  EXPECT_EQ(zs, 2);
  EXPECT_EQ(iss2, 1);
  // Its coupon is its own (dated the 17th, cancelled), not the first printer's COO 1.
  EXPECT_EQ(item2.substr(3, 8), "20260617");
  EXPECT_EQ(item2.substr(94, 4), "CANC");
}

TEST_F(BinaryReport, AMonthWithoutZReportsTakesItsPeriodFromE01) {
  Source({E01(kFab, "20260301", "20260331"), E02(kFab), E14(kFab, "1", "20260303", 'N'),
          E15(kFab, "1", "1", "789", "ARROZ", "1000", "1250", "1250", "00T1800")});
  ASSERT_EQ(Report(0), 1);
  const Lines lines = Result();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].substr(107, 16), "2026030120260331");
}

TEST_F(BinaryReport, AMissingOrUnreadableSourceAnswersZeroWithMinusEight) {
  folder.Write("saida.txt", "old");
  for (const std::string& source :
       {(folder.path() / "none.txt").string(), folder.path().string()}) {
    core::State().last_return_code = 0;
    EXPECT_EQ(RelatorioSintegraMFDBinario(0, source, target_, Header()), 0);
    EXPECT_EQ(core::State().last_return_code, -8);
    EXPECT_EQ(core::State().last_message, "Erro no Arquivo Origem");
    EXPECT_EQ(folder.Read("saida.txt"), "old");
    EXPECT_FALSE(sintegra::Active());
  }
}

TEST_F(BinaryReport, ASilentPrinterIsAskedOnceAndTheZsOwnCooStandsIn) {
  Lines lines = TwoDays();
  lines.push_back(E12(kFab, "3", "12", "20260617", "100"));
  Source(lines);
  answers["LeInteiro"] = "";  // an empty code: the query fails
  core::SetTransport(std::make_unique<core::FakeTransport>(&record));
  record.responder = [this](const std::string& frame) -> std::string {
    sent.push_back({frame, ""});
    return {};  // never answers
  };
  core::State().timeout_commands = 1;
  ASSERT_EQ(Report(0), 1);
  EXPECT_EQ(sent.size(), 1u);
  int stand_ins = 0;
  for (const auto& l : Result())
    stand_ins += l.starts_with("60M20260616" + kFab + "0012D000009") ||
                 l.starts_with("60M20260617" + kFab + "0012D000012");
  EXPECT_EQ(stand_ins, 2);
}

TEST(Ato17Reader, CutsTheRecordsAtTheirWidths) {
  const auto e15 =
      ParseAto17Line(E15(kFab, "7", "3", "789", "ARROZ", "2000", "1250", "2500", "00T1800") + "\r");
  ASSERT_TRUE(e15);
  EXPECT_EQ(e15->record, 15);
  ASSERT_EQ(e15->fields.size(), 24u);
  EXPECT_EQ(e15->fields[ato17::e15::kCoo], "000007");
  EXPECT_EQ(e15->fields[ato17::e15::kItem], "003");
  EXPECT_EQ(e15->fields[ato17::e15::kTotalizer], "00T1800");
  EXPECT_EQ(e15->fields[ato17::e15::kPriceDecimals], "2");
  const auto e02 = ParseAto17Line(E02(kFab));
  ASSERT_TRUE(e02);
  EXPECT_EQ(e02->fields[ato17::e02::kStateRegistration], "244123456119");
  EXPECT_EQ(e02->fields[6], "SUPERMERCADO BOA VISTA LTDA");
  for (const std::string& bad :
       Lines{"", "E", "E1", "E15", "e15", "E03" + std::string(300, ' '),
             E15(kFab, "7", "3", "789", "A", "1", "1", "1", "F1").substr(0, 266)})
    EXPECT_FALSE(ParseAto17Line(bad)) << bad;
}

}  // namespace
}  // namespace orvik::memfiles
