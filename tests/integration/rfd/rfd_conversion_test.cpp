// The RFD conversion over a pseudo-terminal: a day sold on the virtual printer (sales
// with cancellations, discounts and several rates, a voucher, a supply, an X and a Z),
// converted by RFD_ConvertedaMFD, and the final file read back field by field.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "common/files.h"
#include "driver_fixture.h"
#include "sintegra/sintegra.h"

namespace {

namespace fs = std::filesystem;

// Field widths after the record name, as the RFD layout gives them (the ECF head is
// fabrication 20, additional-MF letter 1, model 20).
const std::map<std::string, std::vector<int>> kWidths = {
    {"E00", {20, 1, 2, 7, 20, 20, 6, 2, 14, 14, 14, 40, 40, 10, 42, 42}},
    {"E01", {20, 1, 7, 20, 20, 10, 8, 6, 3, 14, 3, 6, 6, 8, 8, 8, 15}},
    {"E02", {20, 1, 20, 14, 14, 40, 120, 8, 6, 6, 18, 2}},
    {"E12", {20, 1, 20, 2, 6, 6, 6, 8, 8, 6, 14, 1}},
    {"E13", {20, 1, 20, 2, 6, 7, 13}},
    {"E14", {20, 1, 20, 2, 6, 6, 8, 14, 13, 1, 13, 1, 14, 1, 13, 1, 40, 14}},
    {"E15", {20, 1, 20, 2, 6, 6, 3, 14, 100, 7, 3, 8, 8, 8, 14, 7, 1, 7, 13, 13, 1, 1, 1}},
    {"E16", {20, 1, 20, 2, 6, 6, 6, 4, 6, 2, 8, 6}},
    {"E17", {20, 1, 20, 2, 6, 15, 13}},
    {"E18", {20, 1, 20, 2, 6, 15, 13}},
    {"E21", {20, 1, 20, 2, 6, 6, 6, 15, 13, 1, 13}},
};

// Field n (1 = the first after the record name), trimmed of trailing blanks.
std::string F(const std::string& line, int n) {
  const auto& w = kWidths.at(line.substr(0, 3));
  size_t at = 3;
  for (int i = 1; i < n; ++i) at += w[i - 1];
  std::string v = line.substr(at, w[n - 1]);
  while (!v.empty() && v.back() == ' ') v.pop_back();
  return v;
}

size_t Width(const std::string& kind) {
  size_t n = 3;
  for (int w : kWidths.at(kind)) n += w;
  return n;
}

class RfdConversion : public orvik_testing::DriverOverPty {
 protected:
  void SetUp() override {
    DriverOverPty::SetUp();
    rfd = dir / "rfd";
  }
  void LoadDriver(const std::string& sistema = "") {
    Load("PathRFD=" + rfd.string() + "/\r\n" + sistema,
         "[SoftwareHouse]\r\nCNPJ=11.222.333/0001-81\r\nRazaoSocial=SOFTWARE CASA LTDA\r\n"
         "NomeAplicativo=PDV TESTE\r\nVersao=1.0\r\n");
    EXPECT_EQ(EXPORT(RFD_ApagaArquivos)(), 1);
  }

  // The day: two coupons (the second cancelled after its close), a card voucher, a
  // supply, an X and the Z.
  void SellTheDay(bool z = true) {
    run("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
    run("DefineAliquota", "CodAliquotaProgramavel=1 PercentualAliquota=12,00");
    run("DefineAliquota", "CodAliquotaProgramavel=2 PercentualAliquota=5,00 AliquotaICMS=false");
    run("DefineMeioPagamento", "NomeMeioPagamento=\"Cartao\" PermiteVinculado=true");

    run("AbreCupomFiscal", "");
    run("VendeItem",
        "CodAliquota=0 CodProduto=\"7891000100103\" NomeProduto=\"ARROZ 5KG\" "
        "PrecoUnitario=12,50 Quantidade=2,000 Unidade=\"UN\"");
    run("VendeItem",
        "CodAliquota=1 CodProduto=\"22\" NomeProduto=\"FEIJAO\" PrecoUnitario=3,990 "
        "Quantidade=3,000 Unidade=\"KG\"");
    run("VendeItem",
        "CodAliquota=-2 CodProduto=\"33\" NomeProduto=\"LIVRO\" PrecoUnitario=30,00 "
        "Quantidade=1,000 Unidade=\"UN\"");
    run("VendeItem",
        "CodAliquota=2 CodProduto=\"44\" NomeProduto=\"ENTREGA\" PrecoUnitario=5,00 "
        "Quantidade=1,000 Unidade=\"UN\"");
    run("VendeItem",
        "CodAliquota=0 CodProduto=\"55\" NomeProduto=\"SABAO\" PrecoUnitario=2,00 "
        "Quantidade=1,000 Unidade=\"UN\"");
    run("VendeItem",
        "CodAliquota=0 CodProduto=\"66\" NomeProduto=\"AZEITE DE OLIVA EXTRA VIRGEM PORTUGUES "
        "GARRAFA DE VIDRO 500ML IMPORTADO\" PrecoUnitario=25,90 Quantidade=1,000 Unidade=\"UN\"");
    run("AcresceItemFiscal", "NumItem=2 Cancelar=false ValorAcrescimo=-1,00");
    run("AcresceItemFiscal", "NumItem=1 Cancelar=false ValorAcrescimo=0,50");
    run("CancelaItemFiscal", "NumItem=5");
    run("AcresceSubtotal", "Cancelar=false ValorAcrescimo=-2,00");
    run("PagaCupom", "CodMeioPagamento=-2 Valor=80,00");
    run("PagaCupom", "NomeMeioPagamento=\"Cartao\" Valor=20,00");
    run("EncerraDocumento", "Operador=\"Maria\"");

    run("AbreCreditoDebito", "NomeMeioPagamento=\"Cartao\" Valor=20,00");
    run("EncerraDocumento", "Operador=\"Maria\"");

    run("AbreCupomFiscal", "");
    run("VendeItem",
        "CodAliquota=0 CodProduto=\"77\" NomeProduto=\"PAO\" PrecoUnitario=0,50 "
        "Quantidade=4,000 Unidade=\"UN\"");
    run("PagaCupom", "CodMeioPagamento=-2 Valor=2,00");
    run("EncerraDocumento", "Operador=\"Maria\"");
    run("CancelaCupom", "Operador=\"Maria\"");

    run("AbreCupomNaoFiscal", "");
    run("EmiteItemNaoFiscal", "CodNaoFiscal=0 Valor=100,00");
    run("PagaCupom", "CodMeioPagamento=-2 Valor=100,00");
    run("EncerraDocumento", "Operador=\"Maria\"");

    run("EmiteLeituraX", "Operador=\"Maria\"");
    if (z) run("EmiteReducaoZ", "Operador=\"Maria\"");
  }

  std::vector<std::string> FinalLines(const std::string& name) {
    std::vector<std::string> out;
    auto text = common::read_file(rfd / name);
    EXPECT_TRUE(text.has_value()) << (rfd / name);
    if (!text) return out;
    for (auto& l : common::split_lines(*text))
      if (!l.empty()) out.push_back(l);
    return out;
  }
  static std::vector<std::string> Of(const std::vector<std::string>& lines,
                                     const std::string& kind) {
    std::vector<std::string> out;
    for (const auto& l : lines)
      if (l.starts_with(kind)) out.push_back(l);
    return out;
  }

  fs::path rfd;
  // 15/06/2026 gives the DMA code .F6Q; the printer's serial ends in 012345.
  const std::string kFinal = "OR012345.F6Q";
};

TEST_F(RfdConversion, OneZGivesAFileThatAgreesWithTheDaySold) {
  LoadDriver();
  SellTheDay();
  ASSERT_EQ(EXPORT(RFD_ConvertedaMFD)("1"), 1) << last();
  const auto lines = FinalLines(kFinal);
  ASSERT_FALSE(lines.empty());

  // Every record has its width, and the lines are sorted without repeats.
  for (const auto& l : lines) {
    const std::string kind = l.substr(0, 3);
    if (kWidths.count(kind)) {
      EXPECT_EQ(l.size(), Width(kind)) << l;
    }
  }
  EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()));
  EXPECT_EQ(std::adjacent_find(lines.begin(), lines.end()), lines.end());
  for (const auto& l : lines) {
    if (l.starts_with("E00") || l.starts_with("E01")) continue;
    EXPECT_EQ(l.substr(3, 20), "OR050800000000012345") << l;
    EXPECT_EQ(l.substr(24, 20), "ORVIK KAP           ") << l;
  }

  // The Z.
  const auto e12 = Of(lines, "E12");
  ASSERT_EQ(e12.size(), 1u);
  EXPECT_EQ(F(e12[0], 5), "000001");    // CRZ
  EXPECT_EQ(F(e12[0], 7), "000001");    // CRO
  EXPECT_EQ(F(e12[0], 8), "20260615");  // movement date
  EXPECT_EQ(F(e12[0], 12), "S");        // the printer allows the ISSQN discount
  {
    std::lock_guard lock(server.mutex());
    const auto& z = printer.state().reductions.at(0);
    EXPECT_EQ(F(e12[0], 6),
              std::string(6 - std::to_string(z.coo).size(), '0') + std::to_string(z.coo));
    EXPECT_EQ(std::stoll(F(e12[0], 11)), z.totals.gross);
  }
  std::map<std::string, long long> totalizers;
  for (const auto& l : Of(lines, "E13")) totalizers[F(l, 6)] = std::stoll(F(l, 7));
  {
    // The day's totals as the printer keeps them (the subtotal discount shared out).
    std::lock_guard lock(server.mutex());
    const auto& t = printer.state().reductions.at(0).totals.totalizer;
    EXPECT_EQ(totalizers["00T1800"], t[0]);
    EXPECT_EQ(totalizers["01T1200"], t[1]);
    EXPECT_EQ(totalizers["02S0500"], t[2]);
  }
  // 95,37 net: 97,37 of items less the 2,00 subtotal discount.
  EXPECT_EQ(
      totalizers["00T1800"] + totalizers["01T1200"] + totalizers["02S0500"] + totalizers["F1"],
      9537);
  EXPECT_LT(totalizers["F1"], 3000);
  EXPECT_TRUE(totalizers.count("Can-T"));
  EXPECT_TRUE(totalizers.count("DT"));
  EXPECT_TRUE(totalizers.count("DS"));
  EXPECT_TRUE(totalizers.count("AT"));
  EXPECT_TRUE(totalizers.count("AS"));
  EXPECT_EQ(totalizers["OPNF"], 10000);

  // The first coupon: its items, adjustments and payments.
  const auto e14 = Of(lines, "E14");
  ASSERT_EQ(e14.size(), 2u);
  const std::string& c1 = e14[0];
  EXPECT_EQ(F(c1, 5), "000001");           // CCF
  EXPECT_EQ(F(c1, 6), "000001");           // COO
  EXPECT_EQ(F(c1, 7), "20260615");         // date
  EXPECT_EQ(std::stoll(F(c1, 8)), 9737);   // subtotal
  EXPECT_EQ(std::stoll(F(c1, 9)), 200);    // discount
  EXPECT_EQ(std::stoll(F(c1, 13)), 9537);  // net total
  EXPECT_EQ(F(c1, 14), "N");
  // The second coupon was cancelled after its close: once, under its own COO.
  const std::string& c2 = e14[1];
  EXPECT_EQ(F(c2, 6), "000003");
  EXPECT_EQ(F(c2, 14), "S");
  EXPECT_EQ(std::stoll(F(c2, 8)), 200);

  std::vector<std::string> items;
  for (const auto& l : Of(lines, "E15"))
    if (F(l, 5) == "000001") items.push_back(l);
  ASSERT_EQ(items.size(), 6u);
  struct Expected {
    const char* code;
    const char* quantity;
    const char* unit;
    long long price, discount, surcharge, net;
    const char* totalizer;
    const char* cancelled;
    const char* price_decimals;
  };
  const Expected expected[] = {
      {"7891000100103", "0002000", "UN", 1250, 0, 50, 2550, "00T1800", "N", "2"},
      {"22", "0003000", "KG", 3990, 100, 0, 1097, "01T1200", "N", "3"},
      {"33", "0001000", "UN", 3000, 0, 0, 3000, "F1", "N", "2"},
      {"44", "0001000", "UN", 500, 0, 0, 500, "02S0500", "N", "2"},
      {"55", "0001000", "UN", 200, 0, 0, 200, "00T1800", "S", "2"},
      {"66", "0001000", "UN", 2590, 0, 0, 2590, "00T1800", "N", "2"},
  };
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(items[i]);
    const Expected& e = expected[i];
    EXPECT_EQ(std::stoi(F(items[i], 7)), static_cast<int>(i + 1));
    EXPECT_EQ(F(items[i], 8), e.code);
    EXPECT_EQ(F(items[i], 10), e.quantity);
    EXPECT_EQ(F(items[i], 11), e.unit);
    EXPECT_EQ(std::stoll(F(items[i], 12)), e.price);
    EXPECT_EQ(std::stoll(F(items[i], 13)), e.discount);
    EXPECT_EQ(std::stoll(F(items[i], 14)), e.surcharge);
    EXPECT_EQ(std::stoll(F(items[i], 15)), e.net);
    EXPECT_EQ(F(items[i], 16), e.totalizer);
    EXPECT_EQ(F(items[i], 17), e.cancelled);
    EXPECT_EQ(F(items[i], 21), "T");  // the printer truncates, and every gross holds
    EXPECT_EQ(F(items[i], 22), "3");
    EXPECT_EQ(F(items[i], 23), e.price_decimals);
  }
  EXPECT_EQ(F(items[0], 9), "ARROZ 5KG");
  EXPECT_EQ(F(items[5], 9),
            "AZEITE DE OLIVA EXTRA VIRGEM PORTUGUES GARRAFA DE VIDRO 500ML IMPORTADO");

  std::map<std::string, long long> paid;
  for (const auto& l : Of(lines, "E21"))
    if (F(l, 5) == "000001") paid[F(l, 8)] = std::stoll(F(l, 9));
  EXPECT_EQ(paid, (std::map<std::string, long long>{{"Cartao", 2000}, {"Dinheiro", 8000}}));

  // The other documents: the voucher, the supply, the X and the Z.
  std::map<std::string, std::string> other;
  for (const auto& l : Of(lines, "E16")) other[F(l, 10)] = l;
  ASSERT_EQ(other.size(), 4u) << "CC CN LX RZ";
  EXPECT_EQ(F(other["CC"], 5), "000002");
  EXPECT_EQ(F(other["CC"], 8), "0001");  // CDC
  EXPECT_EQ(F(other["RZ"], 9), "000001");
  for (const auto& [kind, l] : other) {
    EXPECT_EQ(F(l, 11), "20260615") << l;
    EXPECT_EQ(F(l, 12).size(), 6u) << l;
    EXPECT_NE(F(l, 12), "000000") << l;
  }

  std::map<std::string, long long> e17, e18;
  for (const auto& l : Of(lines, "E17")) e17[F(l, 6)] = std::stoll(F(l, 7));
  for (const auto& l : Of(lines, "E18")) e18[F(l, 6)] = std::stoll(F(l, 7));
  EXPECT_EQ(e17["Suprimento"], 10000);
  EXPECT_EQ(e18["Cartao"], 2000);
  EXPECT_EQ(e18["TROCO"], 463);

  // Header records.
  ASSERT_EQ(Of(lines, "E00").size(), 1u);
  ASSERT_EQ(Of(lines, "E01").size(), 1u);
  const std::string e01 = Of(lines, "E01")[0];
  EXPECT_EQ(e01.substr(112, 3), "TDM");
  EXPECT_EQ(e01.substr(115, 12), "000001000001");
  EXPECT_EQ(e01.substr(127, 16), "2026061520260615");
  EXPECT_EQ(F(Of(lines, "E00")[0], 9), "11222333000181");
  EXPECT_EQ(F(Of(lines, "E00")[0], 12), "SOFTWARE CASA LTDA");
  ASSERT_EQ(Of(lines, "E02").size(), 1u);
  EXPECT_EQ(Of(lines, "E02")[0].substr(44, 14), "12345678000195");
  EXPECT_FALSE(Of(lines, "E11").empty());
}

TEST_F(RfdConversion, TheZExportMakesTheFileWhenTheConfigurationAsks) {
  LoadDriver("GERA_RFD_REDZ=1\r\n");
  SellTheDay(false);
  EXPECT_EQ(EXPORT(Orvik_ReducaoZ)("", ""), 1) << last();
  const auto lines = FinalLines(kFinal);
  EXPECT_EQ(Of(lines, "E12").size(), 1u);
  EXPECT_EQ(Of(lines, "E14").size(), 2u);
}

TEST_F(RfdConversion, FirmwareOneZeroZeroEndsItsDocumentsOnTheFabLine) {
  {
    std::lock_guard lock(server.mutex());
    printer.state().identity.firmware = "01.00.00";
  }
  LoadDriver();
  SellTheDay();
  ASSERT_EQ(EXPORT(RFD_ConvertedaMFD)("1"), 1) << last();
  const auto lines = FinalLines(kFinal);
  const auto e16 = Of(lines, "E16");
  ASSERT_EQ(e16.size(), 4u);
  for (const auto& l : e16) {
    EXPECT_EQ(F(l, 11), "20260615") << l;
    EXPECT_NE(F(l, 12), "000000") << l;
  }
  ASSERT_EQ(Of(lines, "E01").size(), 1u);
  EXPECT_EQ(F(Of(lines, "E01")[0], 6), "01.00.00");
}

TEST_F(RfdConversion, ASecondConversionOfTheSameZGivesTheSameFile) {
  LoadDriver();
  SellTheDay();
  ASSERT_EQ(EXPORT(RFD_ConvertedaMFD)("1"), 1) << last();
  const auto first = FinalLines(kFinal);
  ASSERT_EQ(EXPORT(RFD_ConvertedaMFD)("1"), 1) << last();
  const auto second = FinalLines(kFinal);
  // Each download is itself a detail-tape reading the fiscal memory lists (E10) and
  // counts (the CFD of E11, with the printer's clock): those records move on; every
  // other line is the same.
  auto without_counters = [](const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& l : lines)
      if (!l.starts_with("E10") && !l.starts_with("E11")) out.push_back(l);
    return out;
  };
  EXPECT_EQ(without_counters(first), without_counters(second));
  EXPECT_EQ(Of(second, "E10").size(), Of(first, "E10").size() + 1);
  EXPECT_EQ(Of(second, "E11").size(), 1u);
}

TEST_F(RfdConversion, AZThatDoesNotExistFailsWithThePrintersCodeAndWritesNothing) {
  LoadDriver();
  EXPECT_EQ(EXPORT(RFD_ConvertedaMFD)("1"), 1001);
  EXPECT_FALSE(fs::exists(rfd / kFinal));
  EXPECT_EQ(EXPORT(RFD_ConvertedaMFD)("abc"), -8);
}

TEST_F(RfdConversion, WithoutTheTdmFlagOnlyTheHeaderAndDocumentRecordsAreKept) {
  LoadDriver();
  SellTheDay();
  EXPECT_EQ(EXPORT(AtoCotepe_SetaTDMFlag)(0), 1);
  ASSERT_EQ(EXPORT(RFD_ConvertedaMFD)("1"), 1) << last();
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(rfd)) files.push_back(e.path());
  ASSERT_EQ(files.size(), 1u);
  const std::string name = files[0].filename().string();
  EXPECT_TRUE(name.starts_with("OR050800000000012345_20260615_")) << name;
  EXPECT_TRUE(name.ends_with(".TXT")) << name;
  for (const auto& l : FinalLines(name)) {
    const int n = std::stoi(l.substr(1, 2));
    EXPECT_TRUE(n < 3 || n > 11) << l;
  }
  EXPECT_NE(FinalLines(name)[1].find("MFD"), std::string::npos);
}

TEST_F(RfdConversion, AnUnwritablePathRfdFailsWithoutAPartialFile) {
  LoadDriver();
  SellTheDay();
  std::ofstream(rfd.string()) << "a file where the folder should be";
  EXPECT_EQ(EXPORT(RFD_ConvertedaMFD)("1"), -8);
  EXPECT_NE(last().find("Impossivel Criar"), std::string::npos) << last();
  EXPECT_TRUE(fs::is_regular_file(rfd));
}

TEST_F(RfdConversion, TheMonthIntervalConvertsEveryZAndTheOneAfterItIsNotNeeded) {
  LoadDriver();
  SellTheDay();
  EXPECT_EQ(EXPORT(RFD_ConvertedaMFDData)("01/06/2026", "30/06/2026"), 1) << last();
  EXPECT_TRUE(fs::exists(rfd / kFinal));
  // No Z after the interval either: the fall-back answers 8089 and says why.
  EXPECT_EQ(EXPORT(RFD_ConvertedaMFDData)("01/07/2026", "31/07/2026"), 8089);
  EXPECT_NE(last().find("ErroCMDDataInvalida - Data solicitada inexistente."), std::string::npos)
      << last();
}

// --- the month's Sintegra file -------------------------------------------------------------

TEST_F(RfdConversion, TheMonthsSintegraFileReadsBackWithTheProgramsLoader) {
  LoadDriver();
  SellTheDay();
  const std::string target = (dir / "sintegra.txt").string();
  std::ofstream(target) << "an old file that must be replaced";
  ASSERT_EQ(EXPORT(Orvik_RelatorioSintegraMFD)(0x04 | 0x08 | 0x10, target.c_str(), "6", "2026",
                                               "SUPERMERCADO BOA VISTA", "RUA DAS PALMEIRAS", "120",
                                               "", "CENTRO", "CAMPINAS", "13010-000", "1932001000",
                                               "", "JOAO"),
            1)
      << last();
  sintegra::TSintegra file;
  ASSERT_NO_THROW(file.CarregaArquivo(target));
  std::map<std::string, int> kinds;
  for (const auto& r : file.Registros()) kinds[r->Tipo()]++;
  EXPECT_EQ(kinds["10"], 1);
  EXPECT_EQ(kinds["11"], 1);
  auto lines = common::split_lines(*common::read_file(target));
  std::map<std::string, std::vector<std::string>> by;
  for (const auto& l : lines)
    if (!l.empty()) by[l.substr(0, 2) == "60" ? l.substr(0, 3) : l.substr(0, 2)].push_back(l);
  for (const auto& [kind, list] : by)
    for (const auto& l : list) EXPECT_EQ(l.size(), 126u) << l;
  EXPECT_EQ(kinds["60"], static_cast<int>(by["60M"].size() + by["60A"].size() + by["60D"].size() +
                                          by["60I"].size() + by["60R"].size()));
  EXPECT_EQ(kinds["75"], static_cast<int>(by["75"].size()));
  EXPECT_EQ(kinds["90"], 1);
  ASSERT_EQ(by["60M"].size(), 1u);
  EXPECT_EQ(by["60M"][0].substr(3, 8), "20260615");
  EXPECT_EQ(by["60M"][0].substr(11, 20), "OR050800000000012345");
  // The codes of the day: 18% and 12% ICMS, F, the service tax, cancellations, discounts.
  std::set<std::string> codes;
  for (const auto& l : by["60A"]) codes.insert(l.substr(31, 4));
  EXPECT_EQ(codes, (std::set<std::string>{"1800", "1200", "F   ", "ISS ", "CANC", "DESC"}));
  // 60I: the first coupon's six items and the cancelled coupon's one; the cancelled soap
  // and the bread of the cancelled coupon under CANC.
  EXPECT_EQ(by["60I"].size(), 7u);
  int cancelled = 0;
  for (const auto& l : by["60I"]) cancelled += l.substr(94, 4) == "CANC";
  EXPECT_EQ(cancelled, 2);
  int beans = 0;
  for (const auto& l : by["60I"]) {
    if (l.substr(42, 14) != "22            ") continue;
    ++beans;
    // 3,990 a kilo read as 3,99 in cents, not 39,90.
    EXPECT_EQ(l.substr(69, 13), "0000000000399") << l;
    EXPECT_EQ(l.substr(98, 12), "000000000131") << l;  // 12% of 10,97
  }
  EXPECT_EQ(beans, 1);
  EXPECT_FALSE(by["60D"].empty());
  EXPECT_FALSE(by["60R"].empty());
  EXPECT_FALSE(by["75"].empty());
  ASSERT_EQ(by["90"].size(), 1u);
  EXPECT_EQ(lines.back().empty() ? lines[lines.size() - 2] : lines.back(), by["90"][0]);
}

TEST_F(RfdConversion, AMonthWithoutAZLeavesTheTargetAndTheWorkingFilesAlone) {
  LoadDriver();
  const std::string target = (dir / "sintegra.txt").string();
  std::ofstream(target) << "the caller's own file";
  EXPECT_NE(EXPORT(Orvik_RelatorioSintegraMFD)(0, target.c_str(), "6", "2026", "", "", "", "", "",
                                               "", "", "", "", ""),
            1);
  EXPECT_EQ(*common::read_file(target), "the caller's own file");
  EXPECT_EQ(EXPORT(Orvik_RelatorioSintegraMFD)(0, target.c_str(), "13", "2026", "", "", "", "", "",
                                               "", "", "", "", ""),
            -8);
  EXPECT_EQ(EXPORT(Sintegra_ApagaFiles)(), 1);
}

}  // namespace
