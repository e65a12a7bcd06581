#include "ato17/writer.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "ato17/ato17.h"
#include "common/files.h"
#include "ecf_sim/printer.h"

namespace ato17 {
namespace {

namespace fs = std::filesystem;

const std::string kHead = "OR050800000000012345 ORVIK KAP           ";

// A printer with two days: day 1 two coupons (one cancelled afterwards) and a supply, day 2
// one coupon; a Z closes each day.
class Memories : public ::testing::Test {
 protected:
  void SetUp() override {
    p_.set_clock({{2026, 6, 15}, 10, 0, 0});
    Run("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
    Coupon("789", "ARROZ", "12,50", "2,000");  // COO 1
    Coupon("555", "FEIJAO", "8,00", "1,000");  // COO 2
    Run("CancelaCupom");                       // COO 3 cancels COO 2
    Run("AbreCupomNaoFiscal");                 // COO 4
    Run("EmiteItemNaoFiscal", "CodNaoFiscal=0 Valor=10,00");
    Run("PagaCupom", "CodMeioPagamento=-2 Valor=10,00");
    Run("EncerraDocumento", "Operador=\"Maria\"");
    Run("EmiteReducaoZ");  // COO 5, CRZ 1
    p_.set_clock({{2026, 6, 16}, 9, 0, 0});
    Coupon("789", "ARROZ", "12,50", "1,000");  // COO 6
    Run("EmiteReducaoZ");                      // COO 7, CRZ 2
    image_ = ecf_sim::memory_dump(p_.state());
    tdm_bytes_ = leitura::BuildTdm("OR050800000000012345", "20260616093000", 3, image_);
  }
  void Run(std::string_view c, std::string_view a = {}) {
    const auto r = p_.execute(c, a);
    ASSERT_TRUE(r.ok()) << c << " " << r.results;
  }
  void Coupon(const char* code, const char* name, const char* price, const char* quantity) {
    Run("AbreCupomFiscal");
    Run("VendeItem", std::string("AliquotaICMS=true PercentualAliquota=18,00 CodProduto=\"") +
                         code + "\" NomeProduto=\"" + name + "\" PrecoUnitario=" + price +
                         " Quantidade=" + quantity + " Unidade=\"UN\"");
    Run("PagaCupom", "CodMeioPagamento=-2 Valor=50,00");
    Run("EncerraDocumento", "Operador=\"Maria\"");
  }
  Output Make(const Request& rq) {
    const auto tdm = leitura::ParseTdm(tdm_bytes_);
    EXPECT_EQ(tdm.error, leitura::TdmError::kNone);
    dump_ = leitura::ParseDump(tdm.tdm.image);
    return Generate(tdm.tdm, dump_.image, rq);
  }
  static std::map<std::string, std::vector<std::string>> ByKind(const Output& out) {
    std::map<std::string, std::vector<std::string>> by;
    for (const auto& l : out.lines) by[l.substr(0, 3)].push_back(l);
    return by;
  }

  ecf_sim::Printer p_;
  std::string image_, tdm_bytes_;
  leitura::DumpResult dump_;
};

TEST_F(Memories, RecordsAtTheirWidths) {
  const Output out = Make({"20260601", "20260630", 'M', "01", "TDM"});
  ASSERT_EQ(out.code, 0) << out.text;
  const std::map<std::string, size_t> widths = {
      {"E01", 166}, {"E02", 272}, {"E05", 82},  {"E06", 76}, {"E07", 62},  {"E08", 78},
      {"E09", 65},  {"E11", 136}, {"E12", 101}, {"E13", 72}, {"E14", 191}, {"E15", 267},
      {"E16", 90},  {"E17", 80},  {"E18", 80},  {"E21", 106}};
  const auto by = ByKind(out);
  for (const auto& [kind, width] : widths) {
    ASSERT_TRUE(by.count(kind)) << kind;
    for (const auto& line : by.at(kind)) EXPECT_EQ(line.size(), width) << line;
  }
  EXPECT_EQ(out.lines.front().substr(0, 3), "E01");
  EXPECT_TRUE(std::is_sorted(out.lines.begin(), out.lines.end()));
}

TEST_F(Memories, ExactLinesOfTheFirstDay) {
  const Output out = Make({"15/06/2026", "15/06/2026", 'M', "01", "TDM"});
  ASSERT_EQ(out.code, 0) << out.text;
  const auto by = ByKind(out);
  // E01: serial, MF letter, type, brand, model, firmware, its date and time, ECF number,
  // CNPJ, content, CRZ range, dates, library and layout versions.
  EXPECT_EQ(by.at("E01").at(0),
            "E01OR050800000000012345 ECF-IF ORVIK               ORVIK KAP           "
            "01.00.08  20260105090000001"
            "12345678000195"
            "TDM"
            "000001000001"
            "2026061520260615"
            "01.00.00"
            "AC1704 01.00.00");
  ASSERT_EQ(by.at("E12").size(), 1u);
  // user, CRZ, COO, CRO, movement date, issue date and time, gross sales, ISSQN discount.
  EXPECT_EQ(by.at("E12")[0], "E12" + kHead +
                                 "01"
                                 "000001"
                                 "000005"
                                 "000001"
                                 "20260615"
                                 "20260615" +
                                 by.at("E12")[0].substr(80, 6) +
                                 "00000000003300"
                                 "S");  // the printer allows the ISSQN discount
  // The first coupon's item: 2 x 12,50 at 18 %.
  EXPECT_EQ(by.at("E15").at(0), "E15" + kHead +
                                    "01"
                                    "000001"
                                    "000001"
                                    "001"
                                    "789           "
                                    "ARROZ" +
                                    std::string(95, ' ') +
                                    "0002000"
                                    "UN "
                                    "00001250"
                                    "00000000"
                                    "00000000"
                                    "00000000002500"
                                    "00T1800"
                                    "N"
                                    "0000000"
                                    "0000000000000"
                                    "0000000000000"
                                    "T32");
  // The cancelled coupon carries "S"; its cancellation is no document of its own.
  ASSERT_EQ(by.at("E14").size(), 2u);
  EXPECT_EQ(by.at("E14")[0].substr(122, 1), "N");
  EXPECT_EQ(by.at("E14")[1].substr(122, 1), "S");
  for (const auto& e16 : by.at("E16")) EXPECT_NE(e16.substr(46, 6), "000003");
  // The supply is an E17 of the Z, the payments and the change are E18.
  bool supply = false;
  for (const auto& e17 : by.at("E17"))
    supply |= e17.substr(52, 15) == "Suprimento     " && e17.substr(67) == "0000000001000";
  EXPECT_TRUE(supply);
  EXPECT_EQ(by.at("E18").back().substr(52, 15), "TROCO          ");
  // The second day is out of the interval.
  for (const auto& e15 : by.at("E15")) EXPECT_NE(e15.substr(46, 6), "000006");
}

TEST_F(Memories, IntervalKindsChooseTheirRecords) {
  const struct {
    Request rq;
    size_t z, coupons;
  } cases[] = {
      {{"20260616", "20260616", 'M', "01", "TDM"}, 1, 1},
      {{"16062026", "16062026", 'D', "01", "TDM"}, 1, 1},
      {{"000001", "000002", 'C', "01", "TDM"}, 0, 2},
      {{"1", "7", 'c', "01", "TDM"}, 2, 3},
      {{"20260101", "20260131", 'M', "01", "TDM"}, 0, 0},
  };
  for (const auto& c : cases) {
    const Output out = Make(c.rq);
    ASSERT_EQ(out.code, 0) << c.rq.first << " " << out.text;
    auto by = ByKind(out);
    EXPECT_EQ(by["E12"].size(), c.z) << c.rq.first << c.rq.kind;
    EXPECT_EQ(by["E14"].size(), c.coupons) << c.rq.first << c.rq.kind;
  }
}

TEST_F(Memories, ContentKindsChooseTheMemories) {
  const struct {
    const char* content;
    std::vector<std::string> present, absent;
  } cases[] = {
      {"TDM", {"E01", "E02", "E05", "E11", "E12", "E13", "E14", "E15", "E21"}, {}},
      {"MF", {"E01", "E02", "E05", "E09", "E11", "E12", "E13"}, {"E14", "E15", "E17", "E21"}},
      {"MFD", {"E01", "E02", "E12", "E14", "E15", "E17", "E18", "E21"}, {"E05", "E09", "E11"}},
  };
  for (const auto& c : cases) {
    const Output out = Make({"20260601", "20260630", 'M', "01", c.content});
    ASSERT_EQ(out.code, 0);
    const auto by = ByKind(out);
    for (const auto& k : c.present) EXPECT_TRUE(by.count(k)) << c.content << " " << k;
    for (const auto& k : c.absent) EXPECT_FALSE(by.count(k)) << c.content << " " << k;
    EXPECT_EQ(out.lines[0].substr(112, 3), std::string(c.content) + (c.content[2] ? "" : " "));
  }
}

TEST_F(Memories, BadRequestsAreRefused) {
  const struct {
    Request rq;
    int code;
  } cases[] = {
      {{"20260631", "20260630", 'M', "01", "TDM"}, ATO17_ERRO_INTERVALO},
      {{"2026-06-01", "20260630", 'D', "01", "TDM"}, ATO17_ERRO_INTERVALO},
      {{"20260630", "20260601", 'M', "01", "TDM"}, ATO17_ERRO_INTERVALO},
      {{"12a", "20", 'C', "01", "TDM"}, ATO17_ERRO_INTERVALO},
      {{"20260601", "20260630", 'X', "01", "TDM"}, ATO17_ERRO_ARGUMENTOS},
      {{"20260601", "20260630", 'M', "01", "RFD"}, ATO17_ERRO_ARGUMENTOS},
      {{"20260601", "20260630", 'M', "02", "TDM"}, ATO17_ERRO_ARGUMENTOS},
  };
  for (const auto& c : cases) EXPECT_EQ(Make(c.rq).code, c.code) << c.rq.first << c.rq.kind;
}

TEST(IntervalDates, ThreeForms) {
  const struct {
    const char *text, *date;
  } cases[] = {
      {"20260615", "20260615"}, {"15062026", "20260615"}, {"15/06/2026", "20260615"},
      {"29022024", "20240229"}, {"29022023", nullptr},    {"20261301", nullptr},
      {"2026061", nullptr},     {"15-06-2026", nullptr},  {"", nullptr},
      {"31/04/2026", nullptr},
  };
  for (const auto& c : cases) {
    const auto d = IntervalDate(c.text);
    if (c.date)
      EXPECT_EQ(d, std::optional<std::string>(c.date)) << c.text;
    else
      EXPECT_EQ(d, std::nullopt) << c.text;
  }
}

class Files : public Memories {
 protected:
  void SetUp() override {
    Memories::SetUp();
    char pattern[] = "/tmp/orvik_ato17XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    tdm_ = (dir_ / "Memorias.tdm").string();
    txt_ = (dir_ / "saida.txt").string();
    std::ofstream(tdm_, std::ios::binary) << tdm_bytes_;
  }
  void TearDown() override { fs::remove_all(dir_); }
  int Call(const std::string& tdm, const std::string& txt) {
    return DLLATO17GeraArquivo(tdm.c_str(), txt.c_str(), "20260601", "20260630", 'M', "01", "TDM");
  }
  fs::path dir_;
  std::string tdm_, txt_;
};

TEST_F(Files, WritesCrLfLinesThroughTheCApi) {
  ASSERT_EQ(Call(tdm_, txt_), ATO17_OK);
  const auto text = common::read_file(txt_);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->substr(0, 3), "E01");
  EXPECT_EQ(text->substr(text->size() - 2), "\r\n");
  EXPECT_EQ(text->find("\n\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(txt_ + ".tmp"));
}

TEST_F(Files, FailuresLeaveNoOutput) {
  auto damaged = tdm_bytes_;
  damaged[damaged.size() / 2] ^= 0x55;
  std::ofstream(dir_ / "damaged.tdm", std::ios::binary) << damaged;
  // A gigabyte of nothing: refused by its size, without being read.
  { std::ofstream big(dir_ / "big.tdm", std::ios::binary); }
  fs::resize_file(dir_ / "big.tdm", 1ull << 30);
  const struct {
    std::string tdm, txt;
    int code;
  } cases[] = {
      {(dir_ / "missing.tdm").string(), txt_, ATO17_ERRO_TDM_AUSENTE},
      {(dir_ / "damaged.tdm").string(), txt_, ATO17_ERRO_TDM_INVALIDO},
      {(dir_ / "big.tdm").string(), txt_, ATO17_ERRO_TDM_INVALIDO},
      {dir_.string(), txt_, ATO17_ERRO_TDM_AUSENTE},
      {tdm_, (dir_ / "no" / "saida.txt").string(), ATO17_ERRO_SAIDA},
  };
  for (const auto& c : cases) {
    std::ofstream(txt_) << "old";
    EXPECT_EQ(Call(c.tdm, c.txt), c.code) << c.tdm;
    EXPECT_FALSE(fs::exists(c.txt)) << c.tdm;
    EXPECT_FALSE(fs::exists(c.txt + ".tmp")) << c.tdm;
  }
  EXPECT_EQ(DLLATO17GeraArquivo(nullptr, "x", "1", "2", 'C', "01", "TDM"), ATO17_ERRO_ARGUMENTOS);
}

}  // namespace
}  // namespace ato17
