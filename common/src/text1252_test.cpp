#include "common/text1252.h"

#include <gtest/gtest.h>

TEST(Text1252, RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(common::utf8_to_cp1252(common::cp1252_to_utf8(all)), all);
}

TEST(Text1252, ConvertsPortugueseAndSpecialCharacters) {
  struct Case {
    const char* utf8;
    const char* cp1252;
  } cases[] = {
      {"Operação", "Opera\xE7\xE3o"},
      {"REDUÇÃO  Z", "REDU\xC7\xC3O  Z"},
      {"€ “x” –", "\x80 \x93x\x94 \x96"},
      {"°", "\xB0"},
      {"日", "?"},              // not in the code page
      {"\xE7x", "\xE7x"},       // a stray Latin-1 byte passes through
      {"\xC0\x80", "\xC0\x80"}  // overlong form is not UTF-8
  };
  for (const auto& c : cases) EXPECT_EQ(common::utf8_to_cp1252(c.utf8), c.cp1252) << c.utf8;
  EXPECT_EQ(common::cp1252_to_utf8("Opera\xE7\xE3o \x80"), "Operação €");
}

TEST(Text1252, UpperCaseKeepsAccents) {
  EXPECT_EQ(common::cp1252_upper("arroz ma\xE7\xE3 \xF7"), "ARROZ MA\xC7\xC3 \xF7");
}

TEST(Text1252, IequalsAndTrim) {
  EXPECT_TRUE(common::iequals("orvik.ini", "ORVIK.INI"));
  EXPECT_FALSE(common::iequals("orvik.in", "ORVIK.INI"));
  EXPECT_EQ(common::trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(common::trim("   "), "");
}
