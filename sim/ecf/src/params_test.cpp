#include "ecf_sim/params.h"

#include <gtest/gtest.h>

namespace ecf_sim {
namespace {

TEST(Params, ReadsTheItemFormsHostsSend) {
  Params p;
  ASSERT_TRUE(
      p.parse("CodMeioPagamento=-2 Valor = 12,34  COO = 15 NomeProduto=\"ARROZ 5KG\" "
              "DataInicial=#01/06/2026# AliquotaICMS = false ValorAcrescimo= 1,00"));
  EXPECT_EQ(p.integer("CodMeioPagamento"), -2);
  EXPECT_EQ(p.decimal("Valor", 2), 1234);
  EXPECT_EQ(p.integer("coo"), 15);  // names are matched without regard to case
  EXPECT_EQ(p.get("NomeProduto"), "ARROZ 5KG");
  EXPECT_EQ(p.get("DataInicial"), "01/06/2026");
  EXPECT_EQ(p.boolean("AliquotaICMS"), false);
  EXPECT_EQ(p.decimal("ValorAcrescimo", 2), 100);
  EXPECT_FALSE(p.has("Missing"));
}

TEST(Params, RejectsTextsThatAreNotItems) {
  for (const char* bad : {"Valor", "=12", "Nome=\"unterminated", "A=1 B"}) {
    Params p;
    EXPECT_FALSE(p.parse(bad)) << bad;
  }
}

TEST(Params, DecimalAmountsScaleAndTruncate) {
  struct {
    const char* text;
    int places;
    std::optional<int64_t> want;
  } cases[] = {
      {"1,99", 2, 199},         {"12", 2, 1200},       {"1,5", 3, 1500},        {"3,000", 3, 3000},
      {"-1,00", 2, -100},       {"1.5", 2, 150},       {"1.234,56", 2, 123456}, {"12,345", 2, 1234},
      {"abc", 2, std::nullopt}, {"", 2, std::nullopt}, {" 2,50", 2, 250},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_decimal(c.text, c.places), c.want) << c.text;
}

TEST(Params, FreeTextEscapes) {
  EXPECT_EQ(decode_free_text("a\\nb"), "a\nb");
  EXPECT_EQ(decode_free_text("say \\x22hi\\x22"), "say \"hi\"");
  EXPECT_EQ(decode_free_text("\\x1Dh\\x50"), std::string("\x1Dh\x50"));
  EXPECT_EQ(decode_free_text("c:\\path"), "c:\\path");
}

}  // namespace
}  // namespace ecf_sim
