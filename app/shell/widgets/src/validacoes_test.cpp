#include "shell/widgets/validacoes.h"

#include <gtest/gtest.h>

#include "shell/widgets/calculos.h"

namespace shell {
namespace {

TEST(ValidaCNPJ, AcceptsBothFormsAndRejectsWrongDigitsOrSeparators) {
  struct Caso {
    const char* texto;
    bool valido;
  } casos[] = {
      {"11.222.333/0001-81", true},
      {"11222333000181", true},
      {"11222333000182", false},      // wrong second check digit
      {"11222333000191", false},      // wrong first check digit
      {"11-222-333/0001-81", false},  // separators in the wrong places
      {"11.222.333/0001.81", false},
      {"00000000000000", false},
      {"", false},
      {"1122233300018", false},    // 13 characters
      {"112223330001811", false},  // 15 characters
      {"ABCDEFGHIJKLMN", false},   // letters count as 9
      {"99999999999999", false},
  };
  for (const Caso& c : casos) EXPECT_EQ(ValidaCNPJ(c.texto), c.valido) << c.texto;
}

TEST(ValidaCNPJ, LettersCountAsNine) {
  // 99999999000191 is valid, so the same text with a letter in place of a 9 is too.
  ASSERT_TRUE(ValidaCNPJ("99999999000191"));
  EXPECT_TRUE(ValidaCNPJ("9999999A000191"));
}

TEST(SomenteDigitos, SwallowsPrintableNonDigitsAndLetsControlKeysPass) {
  struct Caso {
    int codigo;
    bool passa;
  } casos[] = {
      {8, true},                  // backspace
      {13, true},                 // Enter
      {31, true},   {32, false},  // blank
      {44, false},                // comma
      {46, false},                // point
      {47, false},  {48, true},   {57, true},  {58, false},  {65, false},
      {97, false},  {126, false}, {127, true}, {128, false}, {0xE7, false},  // ç
      {254, false}, {255, true},
  };
  for (const Caso& c : casos) EXPECT_EQ(SomenteDigitos(c.codigo), c.passa) << c.codigo;
}

TEST(ValidaTelefoneECEP, CountDigitsAfterRemovingSeparators) {
  EXPECT_TRUE(ValidaTelefone(""));
  EXPECT_TRUE(ValidaTelefone("1133334444"));
  EXPECT_TRUE(ValidaTelefone("11-3333.4444"));
  EXPECT_TRUE(ValidaTelefone(" 1133334444 "));
  EXPECT_FALSE(ValidaTelefone("113333444"));
  EXPECT_FALSE(ValidaTelefone("11333344445"));
  EXPECT_FALSE(ValidaTelefone("11333344A4"));
  EXPECT_TRUE(ValidaCEP(""));
  EXPECT_TRUE(ValidaCEP("01310-100"));
  EXPECT_TRUE(ValidaCEP("01310100"));
  EXPECT_FALSE(ValidaCEP("0131010"));
  EXPECT_FALSE(ValidaCEP("0131O100"));
}

TEST(ValorProduto, MultipliesQuantityAndPriceRoundingToCents) {
  struct Caso {
    const char *quantidade, *preco, *valor;
  } casos[] = {
      {"5000", "250", "1250"},  // 5,000 x 2,50 = 12,50
      {"1500", "333", "500"},   // 1,5 x 3,33 = 4,995 -> 5,00
      {"1", "1", "000"},        // 0,001 x 0,01
      {"500", "100", "050"},    // half a real
      {"", "999", "000"},
      {"9999999999999", "99999999999999", "999999999999890000000000"},  // no overflow
  };
  for (const Caso& c : casos) {
    auto v = ValorProduto(c.quantidade, c.preco);
    ASSERT_TRUE(v) << c.quantidade;
    EXPECT_EQ(*v, c.valor) << c.quantidade << " x " << c.preco;
  }
  EXPECT_FALSE(ValorProduto("12a", "100"));
  EXPECT_FALSE(ValorProduto("100", "1,5"));
}

}  // namespace
}  // namespace shell
