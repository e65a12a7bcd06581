#include "orvik/core/text_forms.h"

#include <gtest/gtest.h>

#include "orvik/core/serial_number.h"

namespace orvik::core {
namespace {

struct FormCase {
  const char* form;
  const char* input;
  int n;
  const char* expected;
};

// One table for every text form: the writers and the routines all rely on them.
TEST(TextForms, EachFormGivesTheExpectedText) {
  const FormCase cases[] = {
      {"digits", "R$ 1.234,56", 0, "123456"},
      {"digits", "abc", 0, ""},
      {"last", "12345", 3, "345"},
      {"last", "7", 4, "0007"},
      {"last", "", 3, "000"},
      {"last", "-15", 4, "0015"},
      {"last", "abc", 0, ""},
      {"blank", "abcdef", 3, "abc"},
      {"blank", "ab", 5, "ab   "},
      {"blank", "", 2, "  "},
      {"date", "01022010", 0, "01/02/2010"},
      {"date", "01/02/2010", 0, "01/02/2010"},
      {"date", "010210", 0, "01/02/2010"},
      {"date", "1022010", 0, "01/02/2010"},  // seven digits: a leading 0 first
      {"date", "1/2/10", 0, "00/12/2010"},   // four digits fill to six on the left
      {"date", "", 0, "00/00/2000"},
      {"date", "31.12.99", 0, "31/12/2099"},
      {"date", "x20240315y", 0, "20/24/0315"},  // digits taken blindly, as given
  };
  for (const FormCase& c : cases) {
    std::string got;
    const std::string form = c.form;
    if (form == "digits") got = Digits(c.input);
    if (form == "last") got = LastDigits(c.input, c.n);
    if (form == "blank") got = BlankFit(c.input, c.n);
    if (form == "date") got = FormatDate(c.input);
    EXPECT_EQ(got, c.expected) << c.form << "(" << c.input << ", " << c.n << ")";
  }
}

TEST(TextForms, IntegersAndPortNumbers) {
  EXPECT_EQ(ParseInteger("42", 7), 42);
  EXPECT_EQ(ParseInteger("-3", 7), -3);
  EXPECT_EQ(ParseInteger("+3", 7), 3);
  EXPECT_EQ(ParseInteger("x", 7), 7);
  EXPECT_EQ(ParseInteger("3x", 7), 7);
  EXPECT_EQ(ParseInteger("", 7), 7);
  EXPECT_EQ(ParseInteger("-", 7), 7);
  EXPECT_EQ(ParseInteger("+-3", 7), 7);
  EXPECT_EQ(ParseInteger("99999999999", 7), 7);

  EXPECT_EQ(PortNumber("COM3"), 3);
  EXPECT_EQ(PortNumber("COM12"), 12);
  EXPECT_EQ(PortNumber("COM"), 1);
  EXPECT_EQ(PortNumber(""), 1);
  EXPECT_EQ(PortNumber("COMx"), 1);
  EXPECT_EQ(PortNumber("COM123"), 12);  // only characters 4-5 count
}

TEST(SerialNumber, XorWithPositionAndBack) {
  const std::string plain = "BE0506SC56000005131";
  const std::string coded = TransformSerialNumber(plain);
  ASSERT_EQ(coded.size(), plain.size());
  EXPECT_EQ(coded[0], static_cast<char>('B' ^ 65));
  EXPECT_EQ(coded[3], static_cast<char>('5' ^ 68));
  EXPECT_EQ(TransformSerialNumber(coded), plain);
}

}  // namespace
}  // namespace orvik::core
