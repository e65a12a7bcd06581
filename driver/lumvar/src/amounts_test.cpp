#include "orvik/lumvar/amounts.h"

#include <gtest/gtest.h>

namespace orvik::lumvar {
namespace {

TEST(AmountForms, CentsAndMils) {
  struct {
    std::string text, cents, mils;
  } cases[] = {
      {"1234", "12,34", "1,234"},
      {"12,34", "12,34", "1,234"},
      {"5", "0,05", "0,005"},
      {"12.5", "1,25", "0,125"},
      {"1500", "15,00", "1,500"},
      {"2", "0,02", "0,002"},
      {"", "0,00", "0,000"},
      {"0000", "0,00", "0,000"},
      {"007,50", "7,50", "0,750"},
      {"1.234,56", "1234,56", "123,456"},
      // Letters, signs and stray separators are dropped, never a failure here.
      {"R$ -1,99", "1,99", "0,199"},
      {"abc", "0,00", "0,000"},
      {"1,,2..3", "1,23", "0,123"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Cents(c.text), c.cents);
    EXPECT_EQ(Mils(c.text), c.mils);
  }
  // Hundreds of digits pass through whole, for the printer to refuse.
  const std::string many(300, '9');
  EXPECT_EQ(Cents(many), std::string(298, '9') + ",99");
}

TEST(AmountForms, DecimalsAppendButNeverCut) {
  struct {
    std::string text;
    int k;
    std::string out;
  } cases[] = {
      {"2", 3, "2,000"},       {"1,5", 3, "1,500"},   {"1.5", 3, "1.500"},
      {"1,5678", 3, "1,5678"}, {"", 2, ",00"},        {"1.000,5", 3, "1.000,500"},
      {"3,", 2, "3,00"},       {"1,5x", 3, "1,5x00"}, {"7", 0, "7,"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Decimals(c.text, c.k), c.out);
  }
}

TEST(AmountForms, IsZeroLooksAtTheLastTwelveDigits) {
  EXPECT_TRUE(IsZero(""));
  EXPECT_TRUE(IsZero("0,00"));
  EXPECT_TRUE(IsZero("abc"));
  EXPECT_TRUE(IsZero("1000000000000"));  // a 1 beyond the twelfth digit is cut off
  EXPECT_FALSE(IsZero("0,01"));
  EXPECT_FALSE(IsZero("100000000000"));
}

TEST(TaxCodes, FixedCodesIndexesAndPercentages) {
  struct {
    std::string aliquot, parameter;
    bool percentage;
  } cases[] = {
      {"FF", "CodAliquota=-2", false},
      {"ii", "CodAliquota=-3", false},
      {"Nn", "CodAliquota=-4", false},
      {"FS", "CodAliquota=-11", false},
      {"is", "CodAliquota=-12", false},
      {"NS", "CodAliquota=-13", false},
      {"01", "CodAliquota=01", false},
      {"T", "CodAliquota=T", false},
      {"", "CodAliquota=", false},
      {"18,00", "PercentualAliquota=18,00", true},
      {"1800", "PercentualAliquota=18,00", true},
      {"7,5", "PercentualAliquota=0,75", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.aliquot);
    const TaxPart part = MapTaxCode(c.aliquot);
    EXPECT_EQ(part.parameter, c.parameter);
    EXPECT_EQ(part.percentage, c.percentage);
  }
}

TEST(QuotedTexts, QuotesBecomeTheirEscape) {
  EXPECT_EQ(EscapeQuotes("TV 29\" LCD"), "TV 29\\x22 LCD");
  EXPECT_EQ(EscapeQuotes("\"\""), "\\x22\\x22");
  EXPECT_EQ(EscapeQuotes("plain"), "plain");
}

}  // namespace
}  // namespace orvik::lumvar
