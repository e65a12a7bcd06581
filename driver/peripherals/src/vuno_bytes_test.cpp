#include "orvik/peripherals/vuno_bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace orvik::peripherals {
namespace {

using namespace std::string_literals;

struct FormatCase {
  const char* title;
  int font, italic, underline, double_width, emphasis;
  std::string expected;
};

TEST(FormattedText, PrefixAndSuffixInThePrintersOrder) {
  const FormatCase cases[] = {
      {"Plain", 0, 0, 0, 0, 0, "X"},
      {"FontDoubleEmphasis", 1, 0, 0, 1, 1,
       "\x1BM1\x1B"
       "E\x1BW1X\x1BM0\x1B"
       "F\x1BW0"},
      {"Everything", 1, 1, 1, 1, 1,
       "\x1BM1\x1B-1\x1B"
       "4\x1B"
       "E\x1BW1X\x1BM0\x1B-0\x1B"
       "5\x1B"
       "F\x1BW0"},
      {"OnlyFontOneCounts", 2, 0, 0, 0, 0, "X"},
      {"AnyNonZeroFlag", 0, -7, 3, 0, 0,
       "\x1B-1\x1B"
       "4X\x1B-0\x1B"
       "5"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormattedText("X", c.font, c.italic, c.underline, c.double_width, c.emphasis),
              c.expected)
        << c.title;
}

TEST(FormattedText, KeepsZeroBytesOfTheText) {
  EXPECT_EQ(FormattedText("a\0b"s, 0, 0, 0, 0, 1),
            "\x1B"
            "Ea\0b\x1B"
            "F"s);
}

struct BarcodeCase {
  Barcode kind;
  std::string data;
  std::string expected;
};

TEST(BarcodeBytes, KindsAndTheirEndings) {
  const BarcodeCase cases[] = {
      {Barcode::kUpcA, "01234567890",
       "\x1Dk\x00"
       "01234567890\x00"s},
      {Barcode::kUpcE, "0123456",
       "\x1Dk\x01"
       "0123456\x00"s},
      {Barcode::kEan13, "7891234567895",
       "\x1Dk\x02"
       "7891234567895\x00"s},
      {Barcode::kEan8, "12345670",
       "\x1Dk\x03"
       "12345670\x00"s},
      {Barcode::kItf, "1234",
       "\x1Dk\x05"
       "1234\x00"s},
      {Barcode::kCodabar, "A12B",
       "\x1Dk\x06"
       "A12B\x00"s},
      {Barcode::kIsbn, "978",
       "\x1Dk\x15"
       "978\x00"s},
      {Barcode::kMsi, "12",
       "\x1Dk\x16"
       "12\x00"s},
      {Barcode::kPlessey, "12",
       "\x1Dk\x17"
       "12\x00"s},
      {Barcode::kCode39, "ABC",
       "\x1Dk\x45\x03"
       "ABC"s},
      {Barcode::kCode93, "AB",
       "\x1Dk\x48\x02"
       "AB"s},
      {Barcode::kCode128, "A",
       "\x1Dk\x49\x01"
       "A"s},
      {Barcode::kCode128, "", "\x1Dk\x49\x00"s},
      {Barcode::kEan13, "", "\x1Dk\x02\x00"s},
  };
  for (const auto& c : cases) {
    const auto bytes = BarcodeBytes(c.kind, c.data);
    ASSERT_TRUE(bytes.has_value()) << BarcodeNumber(c.kind);
    EXPECT_EQ(*bytes, c.expected) << BarcodeNumber(c.kind);
  }
}

TEST(BarcodeBytes, CountedKindsTakeAtMost255Bytes) {
  for (Barcode kind : {Barcode::kCode39, Barcode::kCode93, Barcode::kCode128}) {
    const auto longest = BarcodeBytes(kind, std::string(255, '7'));
    ASSERT_TRUE(longest.has_value());
    EXPECT_EQ(static_cast<uint8_t>((*longest)[3]), 255);
    EXPECT_EQ(longest->size(), 4u + 255u);
    // 300 bytes would go out with the length byte 0x2C and the rest printed as text.
    EXPECT_FALSE(BarcodeBytes(kind, std::string(300, '7')).has_value());
    EXPECT_FALSE(BarcodeBytes(kind, std::string(256, '7')).has_value());
  }
  // The zero-terminated kinds carry no length byte.
  EXPECT_TRUE(BarcodeBytes(Barcode::kEan13, std::string(300, '7')).has_value());
}

TEST(Pdf417Bytes, ParametersLengthLowFirstAndTheLimit) {
  EXPECT_EQ(*Pdf417Bytes(1, 2, 3, 4, "AB"),
            "\x1Dk\x80\x01\x02\x03\x04\x02\x00"
            "AB"s);
  const auto big = Pdf417Bytes(0, 0, 0, 0, std::string(300, 'x'));
  ASSERT_TRUE(big.has_value());
  EXPECT_EQ(big->substr(7, 2), "\x2C\x01"s);
  EXPECT_EQ(big->size(), 9u + 300u);
  EXPECT_TRUE(Pdf417Bytes(0, 0, 0, 0, std::string(65535, 'x')).has_value());
  EXPECT_FALSE(Pdf417Bytes(0, 0, 0, 0, std::string(65536, 'x')).has_value());
  // Parameters outside 0-255 keep their low byte.
  EXPECT_EQ(Pdf417Bytes(256 + 9, -1, 0, 0, "")->substr(3, 2), "\x09\xFF"s);
}

TEST(BarcodeSettings, OneBlockOfFiveCommands) {
  EXPECT_EQ(BarcodeSettings(162, 3, 2, 1, 300),
            "\x1Dh\xA2\x1Dw\x03\x1DH\x02\x1D"
            "f\x01\x1Dk\x84\x2C\x01"s);
  EXPECT_EQ(BarcodeSettings(0, 0, 0, 0, 0),
            "\x1Dh\x00\x1Dw\x00\x1DH\x00\x1D"
            "f\x00\x1Dk\x84\x00\x00"s);
}

TEST(SimpleCommands, BytesOfDrawerCutsWidthAndStatus) {
  const struct {
    const char* title;
    std::string got, expected;
  } cases[] = {
      {"Drawer", DrawerPulse(), "\x1Bv2"},
      {"FullCut", Cut(1), "\x1Bw"},
      {"PartialCutMode0", Cut(0), "\x1Bm"},
      {"PartialCutMode2", Cut(2), "\x1Bm"},
      {"GuilhotinaParcial0", PartialCut(0), "\x1DV\x00"s},
      {"GuilhotinaParcial66", PartialCut(66), "\x1DV\x42"},
      {"GuilhotinaParcialWraps", PartialCut(256 + 1), "\x1DV\x01"},
      {"PaperWidth576", PaperWidth(576), "\x1DW\x40\x02"},
      {"PaperWidth0", PaperWidth(0), "\x1DW\x00\x00"s},
      {"Drawer status", StatusRequest(1), "\x10\x04\x01"},
      {"Paper status", StatusRequest(4), "\x10\x04\x04"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.title;
}

TEST(Buzzer, DurationIsClampedAndThePauseAddsIt) {
  const struct {
    int duration, clamped;
  } clamps[] = {{20, 50},   {50, 50}, {120, 120},       {200, 200},
                {201, 200}, {-5, 50}, {INT32_MAX, 200}, {INT32_MIN, 50}};
  for (const auto& c : clamps) {
    EXPECT_EQ(ClampBuzzerDuration(c.duration), c.clamped) << c.duration;
    EXPECT_EQ(Beep(ClampBuzzerDuration(c.duration)), "\x1Bv"s + static_cast<char>(c.clamped));
  }
  EXPECT_EQ(BeepPauseMs(100, 50), 150);
  EXPECT_EQ(BeepPauseMs(-1000, 50), 0);
  EXPECT_EQ(BeepPauseMs(INT32_MAX, 200), int64_t{INT32_MAX} + 200);
}

TEST(Chr, LowByteOfAnyValue) {
  EXPECT_EQ(Chr(0), '\0');
  EXPECT_EQ(Chr(255), '\xFF');
  EXPECT_EQ(Chr(256), '\0');
  EXPECT_EQ(Chr(-1), '\xFF');
  EXPECT_EQ(Chr(INT32_MIN), '\0');
}

TEST(StatusDecoding, SerialReplies) {
  const struct {
    uint8_t reply;
    int drawer, paper_low, paper_end;
  } cases[] = {
      {0x00, 2, 1, 1}, {0x04, 1, 2, 1}, {0x20, 2, 1, 2}, {0x24, 1, 2, 2},
      {0x12, 2, 1, 1}, {0xFF, 1, 2, 2}, {0x0C, 1, 2, 1}, {0x60, 2, 1, 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DrawerAnswer(c.reply), c.drawer) << int(c.reply);
    EXPECT_EQ(PaperLowAnswer(c.reply), c.paper_low) << int(c.reply);
    EXPECT_EQ(PaperEndAnswer(c.reply), c.paper_end) << int(c.reply);
  }
}

TEST(StatusDecoding, ParallelStatusRegister) {
  const struct {
    uint8_t status;
    bool online;
    int paper_end;
  } cases[] = {
      {0x90, true, 1},   // ready, selected, paper in
      {0xD8, true, 1},   // and ack, no error
      {0x10, false, 1},  // busy
      {0xB0, false, 2},  // paper out
      {0x80, false, 2},  // not selected
      {0x00, false, 2},  // nothing there
      {0x30, false, 2},  // busy, paper out
      {0xFF, false, 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParallelOnline(c.status), c.online) << int(c.status);
    EXPECT_EQ(ParallelPaperEndAnswer(c.status), c.paper_end) << int(c.status);
  }
}

TEST(HexBytes, TwoUpperCaseDigitsAndABlankEach) {
  EXPECT_EQ(HexBytes("\x1B"
                     "a\0\xFF"s),
            "1B 61 00 FF ");
  EXPECT_EQ(HexBytes(""), "");
}

}  // namespace
}  // namespace orvik::peripherals
