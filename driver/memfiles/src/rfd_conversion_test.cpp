#include "orvik/memfiles/rfd_conversion.h"

#include <filesystem>
#include <fstream>

#include "common/files.h"
#include "common/text1252.h"
#include "orvik/core/state.h"
#include "orvik/memfiles/printout_text.h"
#include "orvik/memfiles/rfd_lines.h"
#include "test_peer.h"

namespace orvik::memfiles {
namespace {

namespace fs = std::filesystem;

// --- record lines -------------------------------------------------------------------------

TEST(RfdLines, EveryRecordHasItsWidth) {
  ConversionState s;
  s.fabrication = "OR050800000000012345";
  s.model = "ORVIK KAP";
  const std::string head = EcfHead(s);
  ItemRecord item;
  struct Case {
    const char* kind;
    std::string line;
    size_t width;
  };
  const Case cases[] = {
      {"E00", LineE00(s, {}), 297},
      {"E01", LineE01(s, true, "1", "1"), 166},
      {"E02", LineE02(s), 272},
      {"E12", LineE12(head, "01", {}), 101},
      {"E13", LineE13(head, "01", "1", {}), 72},
      {"E14", LineE14(head, "01", {}), 191},
      {"E15", LineE15(head, "01", item, false), 267},
      {"E16", LineE16(head, "01", {}), 90},
      {"E17", LineE17(head, "01", "1", {}), 80},
      {"E18", LineE18(head, "01", "1", {}), 80},
      {"E21", LineE21(head, "01", {}), 106},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.line.size(), c.width) << c.kind;
    EXPECT_EQ(c.line.substr(0, 3), c.kind);
  }
}

TEST(RfdLines, FieldsInTheirPlaces) {
  const std::string head = EcfHead("OR050800000000012345", "A", "ORVIK KAP");
  CouponRecord c;
  c.coo = "000004";
  c.ccf = "2";
  c.date = "20260615";
  c.subtotal = "2500";
  c.discount = "200";
  c.surcharge = "30";
  c.net_total = "1";  // recomputed when written
  c.buyer_name = "JOSE";
  c.buyer_id = "12345678909";
  const std::string e14 = LineE14(head, "1", c);
  EXPECT_EQ(e14.substr(0, 44), "E14OR050800000000012345AORVIK KAP           ");
  EXPECT_EQ(e14.substr(44, 2), "01");
  EXPECT_EQ(e14.substr(46, 12), "000002000004");
  EXPECT_EQ(e14.substr(58, 8), "20260615");
  EXPECT_EQ(e14.substr(66, 14), "00000000002500");
  EXPECT_EQ(e14.substr(80, 14), "0000000000200V");
  EXPECT_EQ(e14.substr(94, 14), "0000000000030V");
  EXPECT_EQ(e14.substr(108, 14), "00000000002330");
  EXPECT_EQ(e14.substr(122, 1), "N");
  EXPECT_EQ(e14.substr(137, 40), "JOSE" + std::string(36, ' '));
  EXPECT_EQ(e14.substr(177, 14), "00012345678909");

  ItemRecord i;
  i.coo = "4";
  i.ccf = "2";
  i.item = "1";
  i.code = "789";
  i.quantity = "2000";
  i.unit = "UN";
  i.unit_price = "3990";
  i.net_total = "7980";
  i.totalizer = "00T1800";
  i.cancelled = "S";
  i.price_decimals = "3";
  const std::string e15 = LineE15(head, "01", i, false);
  EXPECT_EQ(e15.substr(46, 15), "000004000002001");
  EXPECT_EQ(e15.substr(61, 14), "789           ");
  EXPECT_EQ(e15.substr(75, 14), "ERRO DESCRICAO");
  EXPECT_EQ(e15.substr(175, 10), "0002000UN ");
  EXPECT_EQ(e15.substr(185, 8), "00003990");
  EXPECT_EQ(e15.substr(209, 14), "00000000007980");
  EXPECT_EQ(e15.substr(223, 8), "00T1800S");
  EXPECT_EQ(e15.substr(264, 3), "T33");
  // Items of a cancelled coupon keep "N".
  EXPECT_EQ(LineE15(head, "01", i, true).substr(230, 1), "N");
}

// --- merge, names, ranges -----------------------------------------------------------------

TEST(RfdMerge, OldLinesFromE12OnJoinAndRepeatsCollapse) {
  const std::vector<std::string> fresh = {"E14b", "E01new", "E12a", "E00x"};
  const std::vector<std::string> old = {"E01old", "E02old", "E12a", "E13z", "E11old"};
  EXPECT_EQ(MergeLines(fresh, old, true),
            (std::vector<std::string>{"E00x", "E01new", "E12a", "E13z", "E14b"}));
  EXPECT_EQ(MergeLines({"E00x", "E02y", "E05z", "E11c", "E12a"}, {}, false),
            (std::vector<std::string>{"E00x", "E02y", "E12a"}));
}

TEST(RfdMerge, TheCrzRangeIsWidenedNeverShrunk) {
  const std::string e01 = std::string(115, ' ') + "000003" + "000005" + std::string(39, ' ');
  struct Case {
    long crz, first, last;
  };
  for (const Case& c : {Case{1, 1, 5}, Case{4, 3, 5}, Case{7, 3, 7}}) {
    long first = c.crz, last = c.crz;
    WidenCrzRange(e01, first, last);
    EXPECT_EQ(first, c.first) << c.crz;
    EXPECT_EQ(last, c.last) << c.crz;
  }
}

TEST(RfdMerge, FinalFileNames) {
  ConversionState s;
  s.fabrication = "OR050800000000012345";
  s.brand = "ORVIK";
  s.model_known = true;
  s.movement_date = "20110314";
  EXPECT_EQ(FinalFileName(s, true, "101112"), "OR012345.E3B");
  EXPECT_EQ(FinalFileName(s, false, "101112"), "OR050800000000012345_20110314_101112.TXT");
}

TEST(RfdMerge, TheCrzRangeOfAReadingByDates) {
  long first = 0, last = 0;
  const auto lines = SplitPrintout(common::utf8_to_cp1252(
      "0099 not yet\nREDUÇÕES DIÁRIAS\n0012 14/06/2026 000009  1,00\n0010 12/06/2026\n"
      "12AB 13/06/2026\n0011 13/06/2026\nTOTAL DO PERIODO:\n"));
  ASSERT_TRUE(CrzRangeOfReading(lines, first, last));
  EXPECT_EQ(first, 10);
  EXPECT_EQ(last, 12);
  EXPECT_FALSE(CrzRangeOfReading(SplitPrintout("0001 x\n"), first, last));
}

// --- a conversion from stored files -------------------------------------------------------

const char* kDay =
    "SUPERMERCADO BOA VISTA LTDA\n"
    "RUA DAS PALMEIRAS, 120 - CENTRO\n"
    "CNPJ:12.345.678/0001-95 IE:244.123.456.119\n"
    "------------------------------------------------\n"
    "15/06/2026 10:00:02   CCF:000001      COO:000001\n"
    "                  CUPOM FISCAL\n"
    "001 1 ARROZ                    2,000UNx12,50 T00 T 25,00°\n"
    "TOTAL R$                                   25,00\n"
    "Dinheiro                                   25,00\n"
    "TROCO R$                                    0,00\n"
    "------------------------------------------------\n"
    "VERSÃO:01.00.08  ECF:001  LJ:0001\n"
    "ORVIK      ORVIK KAP            ECF-IF\n"
    "OPERADOR: Maria             15/06/2026 10:00:02\n"
    "FAB:OR050800000000012345 BR\n"
    "15/06/2026 18:00:00   GNF:000001      COO:000002\n"
    "                   REDUÇÃO  Z\n"
    "MOVIMENTO DO DIA:                     15/06/2026\n"
    "CONTADOR DE REDUÇÃO Z:                    000001\n"
    "T00=18,00%               25,00              4,50\n"
    "VENDA BRUTA DIÁRIA:                        25,00\n"
    "TOTALIZADOR GERAL:                         25,00\n"
    "------------------------------------------------\n"
    "VERSÃO:01.00.08  ECF:001  LJ:0001\n"
    "ORVIK      ORVIK KAP            ECF-IF\n"
    "OPERADOR: Maria             15/06/2026 18:00:00\n"
    "FAB:OR050800000000012345 BR\n";

class StoredConversion : public testing::Peer {
 public:
  // Also called again inside a test to start a case over from the same files.
  void SetUp() override {
    Peer::SetUp();
    folder.WriteIni("[Sistema]\r\nPath=" + folder.slash() +
                    "\r\nHomologar=1\r\nPathRFD=" + folder.slash() + "rfd/\r\n");
    core::Startup();
    fs::create_directories(work());
    Write("DETALHE.TXT", common::utf8_to_cp1252(kDay));
    Write("ALQ_0001.TXT", "T1800S0500X12AB\r\n");
    // CRZ CRO COO GNF CCF (30), GRG (6), CFD and GT (24), date ddmmyyyy, time.
    Write("E11_0001.TXT",
          "000001000001000002000001000001"
          "000000"
          "000000000000000000002500" +
              std::string("15062026") + "180000\r\n");
    SetaStorage(1);
  }
  void TearDown() override {
    SetaStorage(0);
    Peer::TearDown();
  }

  fs::path work() const { return folder.path() / "RFDTEMP"; }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(work() / name, std::ios::binary) << text;
  }
  std::vector<std::string> Final() {
    auto text = common::read_file(folder.path() / "rfd" / "OR012345.F6Q");
    return text ? common::split_lines(*text) : std::vector<std::string>{};
  }
};

TEST_F(StoredConversion, ReadsTheFilesAndAsksNothingOfThePrinter) {
  ASSERT_EQ(ConverteMfd("1"), 1) << core::State().last_message;
  EXPECT_TRUE(sent.empty());
  const auto lines = Final();
  std::vector<std::string> kinds;
  for (const auto& l : lines)
    if (!l.empty()) kinds.push_back(l.substr(0, 3));
  EXPECT_EQ(kinds, (std::vector<std::string>{"E00", "E01", "E11", "E12", "E13", "E14", "E15", "E16",
                                             "E21"}));
  for (const auto& l : lines) {
    if (!l.starts_with("E11")) continue;
    EXPECT_EQ(l.substr(44), "000001000001000002000001000001" + std::string(12, '0') + "000000" +
                                std::string(6, '0') + "000000000000000000002500" + "20260615" +
                                "180000");
  }
  EXPECT_TRUE(LogHas("Aliquota ignorada em"));
  EXPECT_TRUE(LogHas("***(CMD1A):Lendo "));
  EXPECT_TRUE(LogHas("***(CMD5)  FIM ***"));
  // The part files went into RFD.DAT, which is gone too; the final file stays in RFDTEMP.
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(work())) left.push_back(e.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"ALQ_0001.TXT", "DETALHE.TXT", "E11_0001.TXT",
                                            "OR012345.F6Q"}));
}

TEST_F(StoredConversion, MissingOrDamagedInputsFailWithAMessageAndNoFile) {
  struct Case {
    const char* name;
    std::function<void(StoredConversion&)> damage;
    const char* message;
  };
  const Case cases[] = {
      {"no ALQ_", [](StoredConversion& t) { fs::remove(t.work() / "ALQ_0001.TXT"); },
       "Arquivo inexistente: "},
      {"short E11_", [](StoredConversion& t) { t.Write("E11_0001.TXT", "000001\r\n"); },
       "Arquivo invalido: "},
      {"no E11_", [](StoredConversion& t) { fs::remove(t.work() / "E11_0001.TXT"); },
       "Arquivo inexistente: "},
      {"no DETALHE", [](StoredConversion& t) { fs::remove(t.work() / "DETALHE.TXT"); },
       "Arquivo inexistente: "},
      {"no FAB:",
       [](StoredConversion& t) {
         std::string day = common::utf8_to_cp1252(kDay);
         for (size_t at; (at = day.find("FAB:")) != std::string::npos;) day.replace(at, 4, "XAB:");
         t.Write("DETALHE.TXT", day);
       },
       "Numero de fabricacao (FAB:) nao encontrado"},
      {"no movement date",
       [](StoredConversion& t) {
         std::string day = common::utf8_to_cp1252(kDay);
         day.replace(day.find("MOVIMENTO"), 9, "XOVIMENTO");
         t.Write("DETALHE.TXT", day);
       },
       "Data de movimento nao encontrada"},
      {"impossible movement date",
       [](StoredConversion& t) {
         std::string day = common::utf8_to_cp1252(kDay);
         day.replace(day.find("15/06/2026\nCONTADOR"), 10, "35/13/2026");
         t.Write("DETALHE.TXT", day);
       },
       "Data de movimento"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    c.damage(*this);
    EXPECT_EQ(ConverteMfd("1"), -8);
    EXPECT_EQ(core::State().last_return_code, -8);
    EXPECT_NE(core::State().last_message.find(c.message), std::string::npos)
        << core::State().last_message;
    EXPECT_FALSE(fs::exists(folder.path() / "rfd" / "OR012345.F6Q"));
    EXPECT_FALSE(fs::exists(work() / "RFD.DAT"));
  }
}

TEST_F(StoredConversion, AHugeCaptureWithoutLineEndsIsReadInBoundedPiecesAndFails) {
  {
    std::ofstream out(work() / "DETALHE.TXT", std::ios::binary);
    const std::string block(1 << 20, 'A');
    for (int i = 0; i < 64; ++i) out << block;
  }
  EXPECT_EQ(ConverteMfd("1"), -8);
  EXPECT_TRUE(LogHas("Linhas longas cortadas"));
  EXPECT_FALSE(fs::exists(folder.path() / "rfd" / "OR012345.F6Q"));
}

TEST_F(StoredConversion, ASecondRunMergesWithTheFirstFile) {
  ASSERT_EQ(ConverteMfd("1"), 1);
  const auto first = Final();
  ASSERT_EQ(ConverteMfd("1"), 1);
  EXPECT_EQ(Final(), first);
}

TEST_F(StoredConversion, TheReadingSettingOffDeletesOnlyLeitmf) {
  Write("LEITMF.TXT", "x");
  EXPECT_EQ(SetaEmiteLmf(0), 1);
  EXPECT_FALSE(fs::exists(work() / "LEITMF.TXT"));
  EXPECT_TRUE(fs::exists(work() / "DETALHE.TXT"));
  EXPECT_FALSE(core::State().rfd_emit_lmf);
  SetaEmiteLmf(1);
  EXPECT_EQ(ApagaArquivos(), 1);
  EXPECT_TRUE(fs::is_empty(work()));
}

TEST_F(StoredConversion, ACrzThatIsNotANumberFails) {
  for (const char* crz : {"", "abc", "0", "1x"}) {
    EXPECT_EQ(ConverteMfd(crz), -8) << crz;
    EXPECT_NE(core::State().last_message.find("CRZ invalido"), std::string::npos);
  }
}

// --- debug mode ---------------------------------------------------------------------------

// DEBUGGER on: the tape and the fiscal-memory reading already in RFDTEMP are converted with
// the fixed rate table, and the printer is never asked anything (any frame lands in sent).
class DebugConversion : public StoredConversion {
 public:
  void SetUp() override {
    StoredConversion::SetUp();
    folder.WriteIni("[Sistema]\r\nPath=" + folder.slash() + "\r\nHomologar=1\r\nDEBUGGER=1\r\n" +
                    "PathRFD=" + folder.slash() + "rfd/\r\n");
    core::Startup();
    SetaStorage(0);
    fs::remove(work() / "ALQ_0001.TXT");
    fs::remove(work() / "E11_0001.TXT");
    // A second rate printed without its slot number: its running number shows in E13.
    std::string day = kDay;
    const std::string t00 = "T00=18,00%               25,00              4,50\n";
    day.insert(day.find(t00) + t00.size(), "T05,00%                  10,00              0,50\n");
    Write("DETALHE.TXT", common::utf8_to_cp1252(day));
    Write("LEITMF.TXT", kReading);
  }
  const std::string kReading =
      common::utf8_to_cp1252("REINICIO  OPERAÇÃO\n001  05/01/2026 09:30:00\n");
};

TEST_F(DebugConversion, ConvertsTheFilesInTheFolderWithoutThePrinter) {
  ::testing::internal::CaptureStderr();
  const int result = ConverteMfd("1");
  const std::string shown = ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(result, 1) << core::State().last_message;
  EXPECT_EQ(Commands(), std::vector<std::string>{});

  const ConversionState& s = LastConversionState();
  const std::vector<std::string> slots(s.slots.begin() + 1, s.slots.begin() + 15);
  EXPECT_EQ(slots, (std::vector<std::string>{"T0700", "T1200", "T1800", "T2500", "S0203", "T0800",
                                             "T1320", "T2600", "T0012", "T9999", "T8000", "T6000",
                                             "T4000", "T2000"}));
  EXPECT_EQ(s.first_coo, "700");

  const std::string debug1 = "Modo Debug1 iCountAliq=(1)- Nao deve ser usado em producao";
  const std::string debug2 = "Modo Debug2 - Nao deve ser usado em producao";
  const size_t at1 = shown.find(debug1 + "\n");
  const size_t at2 = shown.find(debug2 + "\n");
  ASSERT_NE(at1, std::string::npos) << shown;
  ASSERT_NE(at2, std::string::npos) << shown;
  EXPECT_LT(at1, at2);
  EXPECT_TRUE(LogHas(debug1));
  EXPECT_TRUE(LogHas(debug2));
  EXPECT_FALSE(LogHas("***(CMD3)  Gerando E11 ***"));

  std::vector<std::string> kinds, totalizers, restarts;
  for (const auto& l : Final()) {
    if (l.empty()) continue;
    kinds.push_back(l.substr(0, 3));
    if (l.starts_with("E13")) totalizers.push_back(l.substr(52, 7));
    if (l.starts_with("E09")) restarts.push_back(l.substr(44));
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"E00", "E01", "E09", "E12", "E13", "E13", "E14", "E15",
                                             "E16", "E21"}));
  // The running number starts at 01 although slot 00 holds the tape's T00.
  EXPECT_EQ(totalizers, (std::vector<std::string>{"00T1800", "01T0500"}));
  EXPECT_EQ(restarts, (std::vector<std::string>{"000001"
                                                "20260105"
                                                "093000"
                                                "N"}));
  // The reading was read where it lay, not taken again.
  EXPECT_EQ(common::read_file(work() / "LEITMF.TXT"), kReading);
}

TEST_F(DebugConversion, ADateIntervalConvertsCrz121AloneFromTheFilesInTheFolder) {
  ::testing::internal::CaptureStderr();
  const int result = ConverteMfdData("15/06/2026", "15/06/2026");
  const std::string shown = ::testing::internal::GetCapturedStderr();
  ASSERT_EQ(result, 1) << core::State().last_message;
  EXPECT_EQ(Commands(), std::vector<std::string>{});

  // Debug3 before the one conversion; no second one for the Z after the range.
  const std::string debug1 = "Modo Debug1 iCountAliq=(1)- Nao deve ser usado em producao\n";
  const std::string debug3 = "Modo Debug3 - Nao deve ser usado em producao\n";
  const size_t at3 = shown.find(debug3);
  const size_t at1 = shown.find(debug1);
  ASSERT_NE(at3, std::string::npos) << shown;
  ASSERT_NE(at1, std::string::npos) << shown;
  EXPECT_LT(at3, at1);
  EXPECT_EQ(shown.find(debug1, at1 + 1), std::string::npos) << shown;
  EXPECT_TRUE(LogHas("Modo Debug3 - Nao deve ser usado em producao"));

  std::vector<std::string> e01;
  for (const auto& l : Final())
    if (l.starts_with("E01")) e01.push_back(l.substr(115, 12));
  EXPECT_EQ(e01, (std::vector<std::string>{"000121000121"}));
  EXPECT_TRUE(core::State().rfd_emit_lmf);
}

}  // namespace
}  // namespace orvik::memfiles
