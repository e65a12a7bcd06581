#include "orvik/memfiles/printout_readers.h"

#include <gtest/gtest.h>

#include "common/text1252.h"
#include "orvik/memfiles/printout_text.h"

namespace orvik::memfiles {
namespace {

// A printout written in UTF-8 here, as the capture hands it over (Windows-1252).
std::vector<std::string> Printout(const std::string& utf8) {
  return SplitPrintout(common::utf8_to_cp1252(utf8));
}

// An item line of exactly 57 columns ending in the degree sign: left part, blanks, right.
std::string Item57(const std::string& left, const std::string& right) {
  std::string r = right + "°";
  const size_t used = left.size() + common::utf8_to_cp1252(r).size();
  return left + std::string(used < 57 ? 57 - used : 1, ' ') + r;
}

const char* kHeader =
    "SUPERMERCADO BOA VISTA LTDA\n"
    "RUA DAS PALMEIRAS, 120 - CENTRO\n"
    "CAMPINAS - SP - CEP 13010-000\n"
    "CNPJ:12.345.678/0001-95 IE:244.123.456.119\n"
    "------------------------------------------------\n";

std::string Footer(const std::string& when = "15/06/2026 10:00:02") {
  return "------------------------------------------------\n"
         "VERSÃO:01.00.08  ECF:001  LJ:0001\n"
         "ORVIK      ORVIK KAP            ECF-IF\n"
         "OPERADOR: Maria             " +
         when +
         "\n"
         "FAB:OR050800000000012345 BR\n";
}

std::string Head(const std::string& coo,
                 const std::string& label = "CCF:", const std::string& counter = "000001") {
  return "15/06/2026 10:00:02   " + label + counter + "      COO:" + coo + "\n";
}

struct Reading {
  ConversionState state;
  std::vector<ReadDocument> documents;
  std::vector<std::string> log;
};

Reading Read(const std::string& utf8, ConversionState state = {}) {
  Reading r;
  r.state = std::move(state);
  r.state.movement_date = "20260615";
  DocumentReader reader(
      r.state, [&](ReadDocument& d) { r.documents.push_back(d); },
      [&](const std::string& t) { r.log.push_back(t); }, [] { return std::string("S"); });
  for (const auto& line : Printout(utf8)) reader.Line(line);
  reader.Finish();
  return r;
}

bool Logged(const Reading& r, const std::string& part) {
  for (const auto& l : r.log)
    if (l.find(part) != std::string::npos) return true;
  return false;
}

// --- document kinds ---------------------------------------------------------------------

TEST(DocumentKinds, TheTitleAloneNamesTheDocument) {
  struct Case {
    const char* title;
    const char* denomination;  // nullptr: no record
  };
  const Case cases[] = {
      {"LEITURA  X", "LX"},
      {"RELATORIO GERENCIAL", "RG"},
      {"COMPROVANTE NAO-FISCAL", "CN"},
      {"COMPROVANTE CREDITO OU DEBITO", "CC"},
      {"LEITURA MEMORIA FISCAL", "MF"},
      {"REDUÇÃO  Z", "RZ"},
      {"ESTORNO DE COMPROVANTE CREDITO OU DEBITO", nullptr},
      {"LEITURA FITA DETALHE", nullptr},
      {"LEITURA X", nullptr},  // one blank: not the X's title
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    const Reading r = Read(std::string(kHeader) + Head("000007", "GNF:", "000004") + "       " +
                           c.title + "\n" + Footer());
    if (!c.denomination) {
      EXPECT_TRUE(r.documents.empty());
      EXPECT_TRUE(Logged(r, "Documento nao reconhecido ignorado (COO 000007)"));
      continue;
    }
    ASSERT_EQ(r.documents.size(), 1u);
    ASSERT_TRUE(r.documents[0].other);
    EXPECT_EQ(r.documents[0].other->denomination, c.denomination);
    EXPECT_EQ(r.documents[0].other->coo, "000007");
    EXPECT_EQ(r.documents[0].other->date, "20260615");
    // "OPERADOR:" on the closing line does not hide the time after it.
    EXPECT_EQ(r.documents[0].other->time, "100002");
  }
}

TEST(DocumentKinds, AnXReadingThatNamesTheZCounterIsNoZ) {
  const Reading r = Read(std::string(kHeader) + Head("000009", "GNF:", "000004") +
                         "                   LEITURA  X\n"
                         "CONTADOR DE REDUÇÃO Z:                    000001\n"
                         "T00=18,00%               24,26              4,36\n" +
                         Footer());
  ASSERT_EQ(r.documents.size(), 1u);
  EXPECT_FALSE(r.documents[0].z);
  EXPECT_TRUE(r.documents[0].totalizers.empty());
  EXPECT_EQ(r.documents[0].other->denomination, "LX");
}

TEST(DocumentKinds, CountersOfGerencialAndVoucherGoToTheirFields) {
  const Reading r = Read(std::string(kHeader) + Head("000007", "GNF:", "000003") + "GRG:000001\n" +
                         "              RELATORIO GERENCIAL\n" + Footer() + kHeader +
                         Head("000008", "GNF:", "000004") + "CDC:000002\n" +
                         "         COMPROVANTE CREDITO OU DEBITO\n" + Footer());
  ASSERT_EQ(r.documents.size(), 2u);
  EXPECT_EQ(r.documents[0].other->grg, "000001");
  EXPECT_EQ(r.documents[0].other->gnf, "000003");
  EXPECT_EQ(r.documents[1].other->cdc, "0002");
  EXPECT_EQ(r.documents[1].other->gnf, "000004");
}

// --- coupons ----------------------------------------------------------------------------

std::string Coupon(const std::string& coo, const std::string& body,
                   const std::string& title = "CUPOM FISCAL") {
  return std::string(kHeader) + Head(coo) + "                  " + title + "\n" + body + Footer();
}

TEST(CouponItems, QuantityPriceAndTaxForms) {
  struct Case {
    std::string line;
    const char* quantity;
    const char* unit;
    const char* price;
    const char* price_decimals;
    const char* net;
    const char* totalizer;
    const char* rounding;
    const char* description;
  };
  const Case cases[] = {
      {Item57("001 7891000100103 ARROZ TIPO 1", "2,000UNx12,50 T00 T 25,00"), "0002000", "UN",
       "00001250", "2", "2500", "00T1800", "T", "ARROZ TIPO 1"},
      {Item57("001 123 CERVEJA LATA", "3,000Unx3,990 F1 A 11,97"), "0003000", "Un", "00003990", "3",
       "1197", "F1", "A", "CERVEJA LATA"},
      {Item57("001 9 FIO", "2UNx1,00 S01 T 2,00"), "0002000", "UN", "00000100", "2", "200",
       "01S0500", "T", "FIO"},
      {Item57("001 9 QUEIJO", "1,5KGx10,00 T00 T 15,00"), "0001500", "KG", "00001000", "2", "1500",
       "00T1800", "T", "QUEIJO"},
      {Item57("001 9 OURO", "1,2345Gx1,00 FS1 T 1,23"), "0001234", "5G", "00000100", "2", "123",
       "FS1", "T", "OURO"},
      {Item57("001 9 BRINDE", ",000UNx1,00 I1 T 1,00"), "0001000", "UN", "00000100", "2", "100",
       "I1", "T", "BRINDE"},
      {Item57("001 9 SEM PRECO", "1,000UN N1 T 4,00"), "0001000", "UN", "00000400", "2", "400",
       "N1", "T", "SEM PRECO"},
      {Item57("001 9 SEM INDICADOR", "1,000UNx4,00 T00 4,00"), "0001000", "UN", "00000400", "2",
       "400", "00T1800", "T", "SEM INDICADOR"},
  };
  ConversionState rates;
  rates.slots[0] = "T1800";
  rates.slots[1] = "S0500";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ASSERT_EQ(common::utf8_to_cp1252(c.line).size(), 57u);
    const Reading r = Read(Coupon("000001", c.line + "\n"), rates);
    ASSERT_EQ(r.documents.size(), 1u);
    ASSERT_EQ(r.documents[0].items.size(), 1u);
    const ItemRecord& i = r.documents[0].items[0];
    EXPECT_EQ(i.item, "001");
    EXPECT_EQ(i.code, c.line.substr(4, c.line.find(' ', 4) - 4));
    EXPECT_EQ(i.quantity, c.quantity);
    EXPECT_EQ(i.unit, c.unit);
    EXPECT_EQ(i.unit_price, c.price);
    EXPECT_EQ(i.price_decimals, c.price_decimals);
    EXPECT_EQ(i.net_total, c.net);
    EXPECT_EQ(i.totalizer, c.totalizer);
    EXPECT_EQ(i.rounding, c.rounding);
    EXPECT_EQ(i.description, c.description);
    EXPECT_EQ(i.quantity_decimals, "3");
    EXPECT_EQ(i.cancelled, "N");
  }
}

TEST(CouponItems, LinesOfTheWrongShapeAreNotItems) {
  const std::string good = Item57("001 1 PAO", "4,000UNx0,50 T00 T 2,00");
  const std::string cases[] = {
      good.substr(0, 18) + good.substr(19),           // 56 columns
      good.substr(0, good.size() - 2) + " ",          // no degree sign at the end
      Item57("001 1 PAO", "4,000UNxABC T00 T 2,00"),  // letters where the price goes
  };
  for (const std::string& line : cases) {
    SCOPED_TRACE(line);
    const Reading r = Read(Coupon("000001", line + "\n"));
    ASSERT_EQ(r.documents.size(), 1u);
    EXPECT_TRUE(r.documents[0].items.empty());
  }
}

TEST(CouponItems, AnItemOnSeveralLinesJoinsItsDescription) {
  const Reading r = Read(Coupon("000001",
                                "001 7891000100103 AZEITE DE OLIVA EXTRA VIRGEM PORTUGUES\n"
                                "GARRAFA DE VIDRO 500ML\n"
                                "                              2,000KG x 12,50 T00 T 25,00°\n"
                                "002 8 LONGO DEMAIS\n"
                                "                            1,000 UN x 3,456 F1 A 3,46°\n"));
  ASSERT_EQ(r.documents.size(), 1u);
  ASSERT_EQ(r.documents[0].items.size(), 2u);
  const ItemRecord& a = r.documents[0].items[0];
  EXPECT_EQ(a.code, "7891000100103");
  EXPECT_EQ(a.description, "AZEITE DE OLIVA EXTRA VIRGEM PORTUGUES GARRAFA DE VIDRO 500ML");
  EXPECT_EQ(a.quantity, "0002000");
  EXPECT_EQ(a.unit, "KG");
  EXPECT_EQ(a.unit_price, "00001250");
  EXPECT_EQ(a.net_total, "2500");
  EXPECT_EQ(a.totalizer, "00T0000");
  const ItemRecord& b = r.documents[0].items[1];
  EXPECT_EQ(b.item, "002");
  EXPECT_EQ(b.quantity, "0001000");
  EXPECT_EQ(b.unit, "UN");
  EXPECT_EQ(b.price_decimals, "3");
  EXPECT_EQ(b.rounding, "A");
  EXPECT_EQ(b.totalizer, "F1");
}

TEST(CouponItems, AdjustmentsAndCancellationsChangeTheItemTheyName) {
  const std::string items = Item57("001 1 ARROZ", "2,000UNx12,50 T00 T 25,00") + "\n" +
                            Item57("002 2 FEIJAO", "1,000UNx8,00 T00 T 8,00") + "\n" +
                            Item57("003 3 SAL", "1,000UNx2,00 T00 T 2,00") + "\n" +
                            Item57("004 4 OLEO", "1,000UNx7,00 T00 T 7,00") + "\n";
  const Reading r =
      Read(Coupon("000001", items + "desconto item:002                          -1,00\n"
                                    "acr‚scimo item:001                          0,50\n"
                                    "desconto item:004                          -0,70\n"
                                    "cancelamento acr‚s/desc item:004            0,70\n"
                                    "item cancelado:003                         -2,00\n"
                                    "item cancelado:009                         -2,00\n"
                                    "cancelamento item:\n"
                                    "001\n"
                                    "1,000                                     12,50\n"));
  ASSERT_EQ(r.documents.size(), 1u);
  const auto& it = r.documents[0].items;
  ASSERT_EQ(it.size(), 4u);
  EXPECT_EQ(it[0].net_total, "2550");
  EXPECT_EQ(it[0].surcharge, "50");
  EXPECT_EQ(it[0].cancelled, "P");
  EXPECT_EQ(it[0].cancelled_quantity, "0001000");
  EXPECT_EQ(it[0].cancelled_value, "0000000001250");
  EXPECT_EQ(it[1].net_total, "700");
  EXPECT_EQ(it[1].discount, "100");
  EXPECT_EQ(it[2].cancelled, "S");
  EXPECT_EQ(it[2].cancelled_value, "0");
  EXPECT_EQ(it[3].net_total, "700");
  EXPECT_EQ(it[3].discount, "0");
  EXPECT_TRUE(Logged(r, "Item inexistente ignorado (cancelado 009, COO 000001)"));
}

TEST(CouponTotals, SubtotalAdjustmentsPaymentsAndBuyer) {
  const Reading r =
      Read(Coupon("000004", Item57("001 1 ARROZ", "2,000UNx12,50 T00 T 25,00") + "\n" +
                                "SUBTOTAL R$                                25,00\n"
                                "DESCONTO R$                                -2,00\n"
                                "acr‚scimo R$                                0,30\n"
                                "TOTAL R$                                   23,30\n"
                                "Dinheiro                                   20,00\n"
                                "Cartao                                      5,00\n"
                                "TROCO R$                                    1,70\n"
                                "------------------------------------------------\n"
                                "Autorizacao 1234\n"
                                "CNPJ/CPF CONSUMIDOR: 123.456.789-09\n"
                                "NOME: JOSE DA SILVA\n"));
  ASSERT_EQ(r.documents.size(), 1u);
  const CouponRecord& c = *r.documents[0].coupon;
  EXPECT_EQ(c.coo, "000004");
  EXPECT_EQ(c.ccf, "000001");
  EXPECT_EQ(c.date, "20260615");
  EXPECT_EQ(c.subtotal, "2500");
  EXPECT_EQ(c.discount, "200");
  EXPECT_EQ(c.surcharge, "030");
  EXPECT_EQ(c.buyer_id, "00012345678909");
  EXPECT_EQ(c.buyer_name, "JOSE DA SILVA");
  const auto& p = r.documents[0].payments;
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].method, "Dinheiro");
  EXPECT_EQ(p[0].amount, "0000000002000");
  EXPECT_EQ(p[1].method, "Cartao");
  EXPECT_EQ(p[1].coo, "000004");
  EXPECT_EQ(p[1].ccf, "000001");
}

TEST(CouponTotals, ThePaymentListEndsAtSomaOrARateLine) {
  for (const char* end : {"SOMA                                       25,00\n",
                          "T01=18,00%                                  4,50\n"}) {
    SCOPED_TRACE(end);
    const Reading r =
        Read(Coupon("000001", Item57("001 1 A", "1,000UNx25,00 T00 T 25,00") +
                                  "\nTOTAL R$                                   "
                                  "25,00\nDinheiro                             "
                                  "      25,00\n" +
                                  end + "Outro                                 1,00\n"));
    ASSERT_EQ(r.documents.size(), 1u);
    ASSERT_EQ(r.documents[0].payments.size(), 1u);
    EXPECT_EQ(r.documents[0].payments[0].method, "Dinheiro");
  }
}

TEST(CouponCancellation, CancellingTheCouponMarksTheOneHeldAndWritesItOnce) {
  const Reading r = Read(Coupon("000003", Item57("001 1 PAO", "4,000UNx0,50 T00 T 2,00") + "\n") +
                         kHeader + Head("000004", "CCF:", "000001") +
                         "                  CUPOM FISCAL\n"
                         "CANCELAMENTO\n"
                         "COO DO DOCUMENTO CANCELADO:               000003\n"
                         "VALOR CANCELADO R$                          2,00\n" +
                         Footer() +
                         Coupon("000005", Item57("001 1 PAO", "4,000UNx0,50 T00 T 2,00") + "\n",
                                "CUPOM FISCAL CANCELADO"));
  ASSERT_EQ(r.documents.size(), 2u);
  EXPECT_EQ(r.documents[0].coupon->coo, "000003");
  EXPECT_EQ(r.documents[0].coupon->cancelled, "S");
  EXPECT_EQ(r.documents[0].items.size(), 1u);
  EXPECT_EQ(r.documents[1].coupon->coo, "000005");
  EXPECT_EQ(r.documents[1].coupon->cancelled, "S");
}

// --- the Z ------------------------------------------------------------------------------

TEST(ZReport, RateAndLabelRows) {
  ConversionState rates;
  const Reading r = Read(std::string(kHeader) + Head("000009", "GNF:", "000004") +
                             "                   REDUÇÃO  Z\n"
                             "MOVIMENTO DO DIA:                     15/06/2026\n"
                             "CONTADOR DE REDUÇÃO Z:                    000001\n"
                             "CONTADOR DE REINICIO DE OPERAÇÃO:         000002\n"
                             "T01=18,00%            1.234,56              4,36\n"
                             "T16=18,00%               24,26              4,36\n"
                             "S02=05,00%                4,76              0,23\n"
                             "SUBSTITUIÇÃO TRIBUTÁRIA ICMS:              10,45\n"
                             "ISENTO ICMS:                                0,00\n"
                             "NÃO INCIDÒNCIA ICMS:                        1,00\n"
                             "CANCELAMENTO ICMS:                          6,00\n"
                             "DESCONTO ICMS:                              2,76\n"
                             "ACRÉSCIMO ICMS:                             0,50\n"
                             "SUBSTITUIÇÃO TRIBUTÁRIA ISSQN:              0,10\n"
                             "CANCELAMENTO ISSQN:                         0,20\n"
                             "DESCONTO ISSQN:                             0,24\n"
                             "ACRÉSCIMO ISSQN:                            0,05\n"
                             "TOTAL OPERAÇÕES NÃO-FISCAIS:              100,00\n"
                             "TOTALIZADORES NÃO FISCAIS\n"
                             "N. NOME            CONT              VALOR\n"
                             "00 Suprimento      0001                   100,00\n"
                             "DESCONTOS NÃO-FISCAIS                       0,00\n"
                             "------------------------------------------------\n"
                             "MEIOS DE PAGAMENTO\n"
                             "N.  MEIO                        VALOR\n"
                             "-2  Dinheiro                              120,00\n"
                             "    TROCO                                   0,53\n"
                             "VENDA BRUTA DIÁRIA:                        48,47\n" +
                             Footer(),
                         rates);
  ASSERT_EQ(r.documents.size(), 1u);
  const ReadDocument& d = r.documents[0];
  ASSERT_TRUE(d.z);
  EXPECT_EQ(d.z->crz, "000001");
  EXPECT_EQ(d.z->cro, "000002");
  EXPECT_EQ(d.z->gross_sales, "00000000004847");
  EXPECT_EQ(d.z->issqn_discount, "S");
  EXPECT_EQ(d.other->crz, "000001");
  EXPECT_EQ(d.other->denomination, "RZ");
  std::vector<std::pair<std::string, std::string>> got;
  for (const auto& t : d.totalizers) got.emplace_back(t.code, t.value);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"01T1800", "123456"}, {"02S0500", "476"}, {"F1", "1045"},   {"I1", "000"},  {"N1", "100"},
      {"Can-T", "600"},      {"DT", "276"},      {"AT", "050"},    {"FS1", "010"}, {"Can-S", "020"},
      {"DS", "024"},         {"AS", "005"},      {"OPNF", "10000"}};
  EXPECT_EQ(got, expected);
  EXPECT_TRUE(Logged(r, "Aliquota fora da tabela ignorada: T16=18,00%"));
  ASSERT_EQ(d.nonfiscal_totalizers.size(), 1u);
  EXPECT_EQ(d.nonfiscal_totalizers[0].name, "Suprimento");
  EXPECT_EQ(d.nonfiscal_totalizers[0].value, "0000000010000");
  ASSERT_EQ(d.payment_methods.size(), 2u);
  EXPECT_EQ(d.payment_methods[0].name, "Dinheiro");
  EXPECT_EQ(d.payment_methods[1].name, "TROCO");
  EXPECT_EQ(d.payment_methods[1].value, "0000000000053");
}

TEST(ZReport, PercentRowsAreNumberedFromTheFirstUsedSlot) {
  for (bool slot0_used : {false, true}) {
    ConversionState rates;
    if (slot0_used) rates.slots[0] = "T0700";
    const Reading r = Read(std::string(kHeader) + Head("000009", "GNF:", "000004") +
                               "                   REDUÇÃO  Z\n"
                               "T18,00%        1.000,00\n"
                               "S05,00%           50,00\n" +
                               Footer(),
                           rates);
    ASSERT_EQ(r.documents.size(), 1u);
    ASSERT_EQ(r.documents[0].totalizers.size(), 2u);
    EXPECT_EQ(r.documents[0].totalizers[0].code, slot0_used ? "00T1800" : "01T1800");
    EXPECT_EQ(r.documents[0].totalizers[1].code, slot0_used ? "01S0500" : "02S0500");
  }
}

// --- damaged printouts ------------------------------------------------------------------

TEST(DamagedPrintouts, EndInALoggedSkipNeverInAHalfDocument) {
  const std::string item = Item57("001 1 PAO", "4,000UNx0,50 T00 T 2,00") + "\n";
  struct Case {
    const char* name;
    std::string text;
    size_t documents;
    const char* log;
  };
  const Case cases[] = {
      {"cut before FAB:", std::string(kHeader) + Head("000001") + "CUPOM FISCAL\n" + item, 0,
       "Documento incompleto ignorado (COO 000001)"},
      {"cut inside an item of several lines",
       std::string(kHeader) + Head("000001") + "CUPOM FISCAL\n001 1 PAO FRANCES\n" + Footer(), 1,
       "Item incompleto ignorado (COO 000001)"},
      {"impossible date",
       std::string(kHeader) + "31/02/2026 10:00:02   CCF:000001      COO:000001\n" +
           "CUPOM FISCAL\n" + item + Footer(),
       0, "Cabecalho de documento invalido ignorado"},
      {"letters in the COO",
       std::string(kHeader) + "15/06/2026 10:00:02   CCF:000001      COO:0000A1\n" +
           "CUPOM FISCAL\n" + item + Footer(),
       0, "Cabecalho de documento invalido ignorado"},
      {"a new header before the end",
       std::string(kHeader) + Head("000001") + "CUPOM FISCAL\n" + item + Coupon("000002", item), 1,
       "Documento incompleto ignorado (COO 000001)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Reading r = Read(c.text);
    EXPECT_EQ(r.documents.size(), c.documents);
    EXPECT_TRUE(Logged(r, c.log));
  }
}

TEST(DamagedPrintouts, CrNulAndOverlongLinesAreReadAsText) {
  std::string text = common::utf8_to_cp1252(
      Coupon("000001", Item57("001 1 PAO", "4,000UNx0,50 T00 T 2,00") + "\r\n" +
                           std::string(5000, 'x') + "\n" + std::string("NUL\0LINE\n", 9)));
  ConversionState s;
  std::vector<ReadDocument> docs;
  DocumentReader r2(s, [&](ReadDocument& d) { docs.push_back(d); }, {});
  for (const auto& line : SplitPrintout(text)) r2.Line(line);
  r2.Finish();
  ASSERT_EQ(docs.size(), 1u);
  EXPECT_EQ(docs[0].items.size(), 1u);
}

// --- the first pass ---------------------------------------------------------------------

TEST(FirstPass, TheZGivesRatesDateTotalModelAndFab) {
  struct Case {
    const char* fab_line;
    const char* version;
    const char* fabrication;
    const char* letter;
    int layout;
  };
  const Case cases[] = {
      {"FAB:OR050800000000012345 BR", "01.00.08", "OR050800000000012345", " ", 1},
      {"FAB:OR05080000000001234A BR", "01.00.08", "OR05080000000001234", "A", 1},
      {"FAB:OR050800000000012345 BR", "01.00.00", "OR050800000000012345", " ", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fab_line);
    ConversionState s;
    std::vector<std::string> log;
    FirstPassReader first(s, false, [&](const std::string& t) { log.push_back(t); });
    HeaderReader header(s);
    const std::string text = std::string(kHeader) +
                             Coupon("000001", "T05=99,00%   one line that is no Z row\n") +
                             Head("000009", "GNF:", "000004") +
                             "                   REDUÇÃO  Z\n"
                             "MOVIMENTO DO DIA:                     14/06/2026\n"
                             "T00=18,00%               24,26              4,36\n"
                             "S01=05,00%                4,76              0,23\n"
                             "T99=12,00%                4,76              0,23\n"
                             "TOTALIZADOR GERAL:                         48,47\n"
                             "------------------------------------------------\n"
                             "VERSÃO:" +
                             c.version +
                             "  ECF:001  LJ:0001\n"
                             "ORVIK      ORVIK KAP            ECF-IF\n" +
                             c.fab_line + "\n";
    bool in_header = true;
    for (const auto& line : Printout(text)) {
      if (in_header) in_header = header.Line(line);
      first.Line(line);
    }
    EXPECT_EQ(s.owner_name, "SUPERMERCADO BOA VISTA LTDA");
    EXPECT_EQ(s.owner_address.size(), 96u);
    EXPECT_EQ(s.owner_address.substr(48, 29), "CAMPINAS - SP - CEP 13010-000");
    EXPECT_EQ(s.slots[0], "T1800");
    EXPECT_EQ(s.slots[1], "S0500");
    EXPECT_EQ(s.slots[5], "T0000");
    EXPECT_EQ(s.movement_date, "20260614");
    EXPECT_EQ(s.grand_total, "000000000000004847");
    EXPECT_EQ(s.brand, "ORVIK");
    EXPECT_EQ(s.model, "ORVIK KAP");
    EXPECT_EQ(s.ecf_type, "ECF-IF");
    EXPECT_EQ(s.Prefix(), "OR");
    EXPECT_EQ(s.software_version, c.version);
    EXPECT_EQ(s.fabrication, c.fabrication);
    EXPECT_EQ(s.additional_mf, c.letter);
    EXPECT_EQ(s.layout, c.layout);
    EXPECT_TRUE(first.fabrication_seen());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0],
              "Aliquota fora da tabela ignorada: T99=12,00%                4,76              0,23");
  }
}

TEST(FirstPass, WithoutAModelLineThePrefixIsQv) {
  ConversionState s;
  EXPECT_EQ(s.Prefix(), "QV");
}

// --- the fiscal-memory reading ----------------------------------------------------------

TEST(FiscalMemoryReading, GivesOwnerSoftwareRestartsAndTapes) {
  ConversionState s;
  s.fabrication = "OR050800000000012345";
  s.model = "ORVIK KAP";
  s.owner_name = "SUPERMERCADO BOA VISTA LTDA";
  s.grand_total = "4847";
  std::vector<std::string> lines;
  FiscalMemoryReader reader(s, [&](const std::string& l) { lines.push_back(l); }, {});
  for (const auto& line : Printout(std::string(kHeader) + Head("000010", "GNF:", "000005") +
                                   "             LEITURA MEMORIA FISCAL\n"
                                   "COMPLETA\n"
                                   "CRZ: 0001 A 0001\n"
                                   "------------------------------------------------\n"
                                   "USUÁRIOS\n"
                                   "Usuario:01  CRO:001  05/01/2026  09:30:00\n"
                                   "CNPJ:  12.345.678/0001-95\n"
                                   "IE:    244.123.456.119\n"
                                   "------------------------------------------------\n"
                                   "CODIFICAÇÃO GT:\n"
                                   "a partir de 05/01/2026 09:30:00\n"
                                   "0:A 1:B 2:C 3:D 4:E 5:F 6:G 7:H 8:I 9:J \n"
                                   "------------------------------------------------\n"
                                   "SOFTWARE BÁSICO:\n"
                                   "01.00.08 05/01/2026   09:00:00\n"
                                   "MOEDA:R$   05/01/2026 09:30:00\n"
                                   "MFD: MF050800000000012345\n"
                                   "------------------------------------------------\n"
                                   "REINICIO  OPERAÇÃO\n"
                                   "001  05/01/2026 09:30:00  002# 06/01/2026 10:00:00\n"
                                   "------------------------------------------------\n"
                                   "IMPRESSÃO FITA DETALHE\n"
                                   "DATA       CONT   COO INI  COO FIM\n"
                                   "15/06/2026 000001 000001   000009\n"
                                   "CNPJ:12.345.678/0001-95\n"
                                   "------------------------------------------------\n"
                                   "REDUÇÕES DIÁRIAS\n"
                                   "0001 15/06/2026 000009                     48,47\n"))
    reader.Line(line);
  const std::string head = "OR050800000000012345 ORVIK KAP           ";
  const std::vector<std::string> expected = {
      "E05" + head + "12345678000195" + "20260105" + "093000" + "ABCDEFGHIJ",
      "E07" + head + "01.00.08  " + "20260105",
      "E06" + head + "12345678000195" + "20260105" + "093000" + "R$  ",
      "E08" + head + "12345678000195" + "MF050800000000012345",
      "E09" + head + "000001" + "20260105" + "093000" + "N",
      "E09" + head + "000002" + "20260106" + "100000" + "S",
      "E10" + head + "000001" + "20260615" + "000001" + "000009" + "12345678000195",
      "E02" + head + "12345678000195" + "244123456119  " +
          "SUPERMERCADO BOA VISTA LTDA             " + std::string(120, ' ') + "20260105" +
          "093000" + "000001" + "000000000000004847" + "01",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_TRUE(reader.owner_written());
  EXPECT_EQ(s.software_date, "20260105");
  EXPECT_EQ(s.software_time, "090000");
}

TEST(FiscalMemoryReading, ACutReadingWritesWhatItHadAndNoOwner) {
  ConversionState s;
  std::vector<std::string> lines;
  FiscalMemoryReader reader(s, [&](const std::string& l) { lines.push_back(l); }, {});
  for (const auto& line : Printout("USUÁRIOS\n"
                                   "Usuario:01  CRO:001  05/01/2026  09:30:00\n"
                                   "CNPJ:  12.345.678/0001-95\n"
                                   "SOFTWARE BÁSICO:\n"
                                   "01.00.08 99/99/2026   09:00:00\n"
                                   "REINICIO  OPERAÇÃO\n"
                                   "0x1  05/01/2026 09:30:00\n"
                                   "001  05/01/20"))
    reader.Line(line);
  EXPECT_FALSE(reader.owner_written());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 3), "E07");
  EXPECT_EQ(lines[0].substr(54), "00000000");  // an impossible date is no date
  EXPECT_EQ(lines[1].substr(0, 3), "E09");
  EXPECT_EQ(s.owner_cnpj, "12345678000195");
}

}  // namespace
}  // namespace orvik::memfiles
