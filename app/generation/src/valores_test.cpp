#include "generation/valores.h"

#include <gtest/gtest.h>

namespace generation {
namespace {

TEST(ValoresTest, ReadsTwoImpliedDecimals) {
  struct Case {
    std::string texto;
    std::int64_t centavos;
  } cases[] = {{"1250", 1250}, {"5", 5},       {"", 0},      {"000", 0},
               {"12,5", 1250}, {"3.333", 333}, {"0,005", 1}, {"-150", -150}};
  for (const Case& c : cases) EXPECT_EQ(CentavosComCasas(c.texto), c.centavos) << c.texto;
  for (const char* ruim : {"12a", "abc", ",x"}) EXPECT_THROW(CentavosComCasas(ruim), ErroConversao);
}

TEST(ValoresTest, IntegersRefuseEmptyAndForeignTexts) {
  EXPECT_EQ(Inteiro("416"), 416);
  EXPECT_EQ(Inteiro("-7"), -7);
  for (const char* ruim : {"", " 1", "1,0", "x"})
    EXPECT_THROW(Inteiro(ruim), ErroConversao) << ruim;
  try {
    Inteiro("");
  } catch (const ErroConversao& e) {
    EXPECT_STREQ(e.what(), "'' não é um valor numérico válido.");
  }
}

TEST(ValoresTest, WritesCentsWithTwoImpliedDecimals) {
  struct Case {
    std::int64_t centavos;
    const char* texto;
  } cases[] = {{0, "000"}, {5, "005"}, {1250, "1250"}, {416, "416"}, {-5, "-005"}};
  for (const Case& c : cases) EXPECT_EQ(TextoCentavos(c.centavos), c.texto);
}

TEST(ValoresTest, RoundsHalfCentsAwayFromZero) {
  EXPECT_EQ(ValorProduto(1250, 333), 416);  // 4.1625
  EXPECT_EQ(ValorProduto(1500, 333), 500);  // 4.995
  EXPECT_EQ(ValorProduto(1000, 0), 0);
  EXPECT_EQ(AplicaAliquota(1800, 10000), 1800);  // 18% of 100.00
  EXPECT_EQ(AplicaAliquota(1200, 1050), 126);    // 1.26
  EXPECT_EQ(AplicaAliquota(1250, 1), 0);         // 0.00125
  EXPECT_EQ(AplicaAliquota(5000, 1), 1);         // half a cent
}

}  // namespace
}  // namespace generation
