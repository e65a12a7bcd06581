#include "vuno_sim/printer.h"

#include <gtest/gtest.h>

namespace vuno_sim {
namespace {

using namespace std::string_literals;

std::vector<std::string> Journal(const Printer& p) {
  std::vector<std::string> lines;
  std::string j = p.journal();
  size_t start = 0, end;
  while ((end = j.find('\n', start)) != std::string::npos) {
    lines.push_back(j.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

TEST(Printer, SequencesBecomeTapeAndEvents) {
  const struct {
    const char* title;
    std::string bytes;
    std::vector<std::string> journal;
  } cases[] = {
      {"PlainLine", "Pedido 12\n", {"line Pedido 12"}},
      {"Attributes",
       "\x1BM1\x1B"
       "E\x1BW1X\x1BM0\x1B"
       "F\x1BW0Y\n",
       {"line <M1 E W1>XY"}},
      {"UnderlineItalic",
       "\x1B-1\x1B"
       "4a\x1B-0\x1B"
       "5b\n",
       {"line <-1 4>ab"}},
      {"Cuts",
       "\x1Bw\x1Bm\x1DV\x00\x1DV\x42"s,
       {"event cut full", "event cut partial", "event guillotine 0", "event guillotine 66"}},
      {"Pulse", "\x1Bv2\x1Bv\xC8", {"event pulse 50", "event pulse 200"}},
      {"Ean13",
       "\x1Dk\x02"
       "7891234567895\x00"s,
       {"event barcode 2 EAN13 13 7891234567895 h=162 w=3 hri=0 font=0 margin=0"}},
      {"Code128",
       "\x1Dk\x49\x03"
       "A\x00"
       "B"s,
       {"event barcode 73 CODE128 3 A\x00"
        "B h=162 w=3 hri=0 font=0 margin=0"s}},
      {"Pdf417",
       "\x1Dk\x80\x01\x02\x03\x04\x02\x00"
       "AB"s,
       {"event barcode 128 PDF417 2 AB h=162 w=3 hri=0 font=0 margin=0 pdf417=1,2,3,4"}},
      {"Settings",
       "\x1Dh\x50\x1Dk\x84\x2C\x01"s,
       {"event settings h=80 w=3 hri=0 font=0 margin=0",
        "event settings h=80 w=3 hri=0 font=0 margin=300"}},
      {"PaperWidth", "\x1DW\x40\x02", {"event paper-width 576"}},
      {"UnknownEscape", "\x1Bz", {"event refused 1B 7A"}},
      {"UnknownFlag", "\x1BM7", {"event refused 1B 4D 37"}},
      {"UnknownBarcodeKind",
       "\x1Dk\x07"
       "12\x00"s,
       {"event refused 1D 6B 07", "event refused 00"}},
      {"LoneZero", "\x00"s, {"event refused 00"}},
      {"UnknownStatus", "\x10\x04\x02", {"event refused 10 04 02"}},
  };
  for (const auto& c : cases) {
    Printer p;
    EXPECT_EQ(p.feed(c.bytes), "") << c.title;
    EXPECT_EQ(Journal(p), c.journal) << c.title;
    EXPECT_EQ(p.pending(), 0u) << c.title;
  }
}

TEST(Printer, SequencesMayArriveInPieces) {
  Printer p;
  const std::string all =
      "\x1BM1"
      "ab\n\x1Dk\x02"
      "789\x00\x1DW\x40\x02"s;
  for (char c : all) p.feed(std::string(1, c));
  EXPECT_EQ(Journal(p),
            (std::vector<std::string>{"line <M1>ab",
                                      "event barcode 2 EAN13 3 789 h=162 w=3 hri=0 font=0 margin=0",
                                      "event paper-width 576"}));
  EXPECT_EQ(p.paper_width(), 576);
  p.feed(
      "\x1Dk\x49\x05"
      "ab");
  EXPECT_EQ(p.pending(), 6u);
}

TEST(Printer, ZeroTerminatedBarcodeWithoutItsZeroIsRefused) {
  Printer p;
  p.feed("\x1Dk\x02" + std::string(300, '1'));
  EXPECT_EQ(p.pending(), 0u);
  ASSERT_EQ(p.events().size(), 1u);
  EXPECT_EQ(p.events()[0].kind, Event::kRefused);
}

TEST(Printer, StatusRequestsAnswerTheSensors) {
  Printer p;
  EXPECT_EQ(p.feed("\x10\x04\x01"), "\x12");
  EXPECT_EQ(p.feed("\x10\x04\x04"), "\x12");
  p.set_paper_low(true);
  EXPECT_EQ(p.feed("\x10\x04\x04"), "\x1E");
  p.set_paper_out(true);
  EXPECT_EQ(p.feed("\x10\x04\x04"), "\x7E");
  // The drawer pulse opens the drawer.
  p.feed("\x1Bv2");
  EXPECT_EQ(p.feed("\x10\x04\x01\x10\x04\x01"), "\x16\x16");
}

TEST(Printer, TapeKeepsRunsWithTheirAttributes) {
  Printer p;
  p.feed(
      "a\x1B"
      "Eb\x1B"
      "Fc");
  const auto tape = p.tape();
  ASSERT_EQ(tape.size(), 1u);
  ASSERT_EQ(tape[0].size(), 3u);
  EXPECT_EQ(tape[0][1].text, "b");
  EXPECT_TRUE(tape[0][1].attributes.emphasis);
  EXPECT_FALSE(tape[0][2].attributes.emphasis);
  EXPECT_EQ(p.tape_text(), std::vector<std::string>{"abc"});
}

}  // namespace
}  // namespace vuno_sim
