// Items whose description does not fit one line print on several, in a form a printout
// reader rebuilds: the description whole, and quantity, unit, price, tax code and total.
#include <gtest/gtest.h>

#include <sstream>

#include "common/text1252.h"
#include "ecf_sim/printer.h"
#include "test_support.h"

namespace ecf_sim {
namespace {

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

bool has_price_decimals(const std::string& w) {
  auto comma = w.rfind(',');
  return comma != std::string::npos && (w.size() - comma - 1 == 2 || w.size() - comma - 1 == 3);
}

// What a reader of the printed coupon makes of one item.
struct ReadItem {
  std::string number, code, description, quantity_unit, price, tax, total;
  int lines = 0;
};

// Reads the item starting at lines[at] as a printout reader does: a 57-column line ending
// in the degree sign is a whole item; otherwise number and code open it, the next lines
// add to the description until one whose price word (3rd from the right, 4th after an
// A/T indicator) has two or three decimals.
ReadItem read_item(const std::vector<std::string>& lines, std::size_t at) {
  ReadItem r;
  auto w = words(lines[at]);
  r.number = w.at(0);
  r.code = w.at(1);
  if (lines[at].size() == 57 && lines[at].back() == '\xB0') {
    r.lines = 1;
    r.total = w.back();
    r.tax = w[w.size() - 3];
    r.quantity_unit = w[w.size() - 4];
    for (std::size_t k = 2; k + 4 < w.size(); ++k)
      r.description += (r.description.empty() ? "" : " ") + w[k];
    return r;
  }
  for (std::size_t k = 2; k < w.size(); ++k)
    r.description += (r.description.empty() ? "" : " ") + w[k];
  for (std::size_t n = at + 1; n < lines.size(); ++n) {
    auto v = words(lines[n]);
    std::size_t shift = v.size() >= 2 && (v[v.size() - 2] == "A" || v[v.size() - 2] == "T");
    std::size_t price_at = 3 + shift;  // from the right
    if (v.size() >= price_at && has_price_decimals(v[v.size() - price_at])) {
      r.lines = static_cast<int>(n - at + 1);
      r.total = v.back();
      r.price = v[v.size() - price_at];
      r.tax = v[v.size() - price_at + 1];
      r.quantity_unit = v.at(v.size() - price_at - 2);
      EXPECT_NE(lines[n].size(), 57u) << "a price line read as a one-line item";
      return r;
    }
    EXPECT_NE(lines[n].size(), 57u) << lines[n];
    for (const auto& x : v) r.description += " " + x;
  }
  ADD_FAILURE() << "item without its price line";
  return r;
}

TEST(ItemLines, ReaderRebuildsEveryDescription) {
  const std::string long_words =
      "AZEITE DE OLIVA EXTRA VIRGEM PORTUGUES GARRAFA DE VIDRO 500ML IMPORTADO "
      "DIRETAMENTE DO PRODUTOR COM SELO DE ORIGEM PROTEGIDA";
  struct Case {
    const char* what;
    std::string description;
    int min_lines;
    std::string read_back;  // what the reader gets, when not the description itself
  } cases[] = {
      {"short stays on one line", "ARROZ 5KG", 1, {}},
      {"just over the room", "BISCOITO RECHEADO SABOR CHOCOLATE COM MORANGO", 2, {}},
      {"long, several lines", long_words, 3, {}},
      {"prices inside the text",
       "OLEO 1,50 LT 2,99 PROMO 3,49 LEVE 4,25 PAGUE 5,10 FIM 6,75 X",
       2,
       {}},
      // A word wider than a line is split, and the reader joins the pieces with a blank.
      {"one word longer than a line", std::string(130, 'Z'), 3,
       std::string(38, 'Z') + " " + std::string(56, 'Z') + " " + std::string(36, 'Z')},
      {"accents",
       common::utf8_to_cp1252("PÃO FRANCES ÇÉDULA MAÇÃ ÁGUA DE COCO NATURAL GELADA"),
       2,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Printer p;
    p.set_clock(DateTime{{2026, 6, 15}, 10, 0, 0});
    ASSERT_EQ(p.execute("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00").code,
              0);
    ASSERT_EQ(p.execute("AbreCupomFiscal", "").code, 0);
    Reply r = p.execute("VendeItem", "CodAliquota=0 CodProduto=\"7891000100103\" NomeProduto=\"" +
                                         c.description +
                                         "\" PrecoUnitario=12,50 Quantidade=2,000 Unidade=\"KG\"");
    ASSERT_EQ(r.code, 0) << r.results;
    // A second item shows the first one ended where it should.
    ASSERT_EQ(p.execute("VendeItem",
                        "CodAliquota=-2 CodProduto=\"9\" NomeProduto=\"SAL\" "
                        "PrecoUnitario=1,000 Quantidade=1 Unidade=\"UN\"")
                  .code,
              0);
    ASSERT_EQ(p.execute("PagaCupom", "CodMeioPagamento=-2 Valor=30,00").code, 0);
    ASSERT_EQ(p.execute("EncerraDocumento", "").code, 0);
    auto lines = testing::capture_lines(p.state().tape.back().printed);
    std::size_t first = 0;
    while (first < lines.size() && lines[first].rfind("001 ", 0) != 0) ++first;
    ASSERT_LT(first, lines.size());
    ReadItem one = read_item(lines, first);
    EXPECT_GE(one.lines, c.min_lines);
    if (c.min_lines == 1) {
      EXPECT_EQ(one.lines, 1);
    }
    EXPECT_EQ(one.number, "001");
    EXPECT_EQ(one.code, "7891000100103");
    EXPECT_EQ(one.description, c.read_back.empty() ? c.description : c.read_back);
    EXPECT_EQ(one.tax, "T00");
    EXPECT_EQ(one.total, "25,00\xB0");
    if (one.lines == 1) {
      EXPECT_EQ(one.quantity_unit, "2,000KGx12,50");
    } else {
      EXPECT_EQ(one.quantity_unit, "2,000KG");
      EXPECT_EQ(one.price, "12,50");
    }
    ReadItem two = read_item(lines, first + one.lines);
    EXPECT_EQ(two.number, "002");
    EXPECT_EQ(two.description, "SAL");
    EXPECT_EQ(two.lines, 1);
  }
}

TEST(ItemLines, ALongCodeBesideALongPriceMovesToSeveralLinesWhole) {
  Printer p;
  p.set_clock(DateTime{{2026, 6, 15}, 10, 0, 0});
  ASSERT_EQ(p.execute("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00").code,
            0);
  ASSERT_EQ(p.execute("AbreCupomFiscal", "").code, 0);
  Reply r = p.execute("VendeItem",
                      "CodAliquota=0 CodProduto=\"12345678901234\" NomeProduto=\"X\" "
                      "PrecoUnitario=9999,999 Quantidade=999,999 Unidade=\"UN\"");
  ASSERT_EQ(r.code, 0) << r.results;
  auto lines = testing::capture_lines(p.state().open_body);
  std::size_t first = 0;
  while (first < lines.size() && lines[first].rfind("001 ", 0) != 0) ++first;
  ASSERT_LT(first, lines.size());
  ReadItem one = read_item(lines, first);
  EXPECT_GE(one.lines, 2);
  EXPECT_EQ(one.code, "12345678901234");
  EXPECT_EQ(one.description, "X");
  EXPECT_EQ(one.price, "9999,999");
}

}  // namespace
}  // namespace ecf_sim
