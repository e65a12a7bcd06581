#include "qvx_sim/printer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "qvx_sim/server.h"

namespace qvx_sim {
namespace {

std::string pad(const std::string& s, size_t n) {
  return s + std::string(n - s.size(), ' ');
}

// Item texts as the host builds them: 11, kind, quantity, price, tax, discount, unit, code,
// form and description(s).
std::string short_item(Model m, const std::string& qty, const std::string& price,
                       const std::string& tax, const std::string& discount = "000000000000000") {
  return std::string("11") + (m == Model::k610 ? "-" : "G") + qty + price + tax + "&" + discount +
         "UN" + "0000000000001" + "0" + pad("ITEM", 20);
}

int code(const Reply& r) {
  return r.status == '-' ? r.error : 0;
}

TEST(QvxPrinter, ACouponOnEachModel) {
  for (Model m : {Model::k610, Model::k820}) {
    SCOPED_TRACE(m == Model::k610 ? "610" : "820");
    Printer p(m);
    const std::string qty = m == Model::k610 ? "002000" : "0002000";
    EXPECT_EQ(code(p.execute(m == Model::k610 ? "10" : "10" + std::string(28, ' '))), 0);
    EXPECT_EQ(code(p.execute(short_item(m, qty, "00000000250", "T00"))), 0);  // 2 x 2,50
    EXPECT_EQ(code(p.execute(short_item(m, qty, "00000000100", "F00", "000000000000050"))), 0);
    EXPECT_EQ(p.execute("34M96").data, "00000000000650");
    EXPECT_EQ(code(p.execute("06&000000000000050")), 0);    // discount 0,50
    EXPECT_EQ(code(p.execute("06&000000000000050")), 50);   // already totalized
    EXPECT_EQ(code(p.execute("07000000000000005001")), 0);  // 5,00 cash
    EXPECT_EQ(code(p.execute("08S000")), 58);               // 1,00 missing
    EXPECT_EQ(code(p.execute("07010000000000000000")), 0);  // the rest by cheque
    EXPECT_EQ(code(p.execute("08S008Obrigado")), 0);
    EXPECT_EQ(p.tape().back().rfind("ECF:", 0), 0u);
    EXPECT_EQ(p.execute("34M39").data, "000000000000000600");
    EXPECT_EQ(p.execute("34M40").data, "00000000000700");
    EXPECT_EQ(p.execute("34M36").data, "00000000000100");
    EXPECT_EQ(p.execute("34M41").data, "000001");
    EXPECT_EQ(p.state().paid_by_form[1], 100);
  }
}

TEST(QvxPrinter, RefusesWithTheTablesNumbers) {
  Printer p(Model::k610);
  struct {
    const char* text;
    int error;
  } cases[] = {
      {"11-001000000000001990F00&000000000000000UN00000000000010ITEM", 22},  // no coupon
      {"99", 2},
      {"x1", 2},
      {"12001", 22},
      {"08S000", 22},
      {"21", 24},
      {"2600", 24},
      {"03     ", 45},
      {"17320110010210", 16},
      {"17010310010210", 7},
      {"1800050001", 7},
      {"34M99", 10},
      {"10 ", 10},  // the 610 takes no consumer id
      {"14", 32},   // nothing to cancel
  };
  for (const auto& c : cases) EXPECT_EQ(code(p.execute(c.text)), c.error) << c.text;

  EXPECT_EQ(code(p.execute("10")), 0);
  EXPECT_EQ(code(p.execute("10")), 23);
  EXPECT_EQ(code(p.execute("150")), 23);
  EXPECT_EQ(code(p.execute("160")), 23);
  // 7 quantity digits are a 610 item of the wrong length.
  EXPECT_EQ(code(p.execute(short_item(Model::k610, "0010000", "00000000199", "T00"))), 10);
  EXPECT_EQ(code(p.execute(short_item(Model::k610, "001000", "00000000199", "T09"))), 18);
  EXPECT_EQ(code(p.execute(short_item(Model::k610, "001000", "00000000199", "X00"))), 15);
  EXPECT_EQ(code(p.execute(short_item(Model::k610, "00a000", "00000000199", "T00"))), 3);
  EXPECT_EQ(code(p.execute("12001")), 31);
  EXPECT_EQ(code(p.execute(short_item(Model::k610, "001000", "00000000199", "T00"))), 0);
  EXPECT_EQ(code(p.execute("12001")), 0);
  EXPECT_EQ(code(p.execute("12001")), 31);
  EXPECT_EQ(code(p.execute("08S000")), 51);
  EXPECT_EQ(code(p.execute("0720000000000000001"
                           "1")),
            57);  // form 20
  EXPECT_EQ(code(p.execute("14")), 0);

  p.state().paper_out = true;
  EXPECT_EQ(code(p.execute("10")), 33);
  EXPECT_EQ(p.execute("32").status, 'S');  // reads still answer
  p.state().paper_out = false;
  p.set_intervention(true);
  EXPECT_EQ(code(p.execute("10")), 21);
  p.set_intervention(false);
  EXPECT_EQ(p.execute("34M43").data, "0002");
}

TEST(QvxPrinter, StatusBytesAndClock) {
  Printer p(Model::k820);
  p.set_clock({2026, 3, 10, 14, 30, 5});
  EXPECT_EQ(p.execute("33").data.substr(0, 10), "1003261430");
  EXPECT_EQ(p.execute("32").data, "0000000000");
  p.state().drawer_open = true;
  p.state().paper_low = true;
  p.execute("10" + std::string(28, ' '));
  EXPECT_EQ(p.execute("32").data, "8100420100");
  EXPECT_EQ(code(p.execute(std::string("240\x14P"))), 0);
  EXPECT_EQ(code(p.execute("240P")), 10);
}

TEST(QvxPrinter, DayClosesWithItsZ) {
  Printer p(Model::k820);
  p.set_clock({2026, 3, 10, 9, 0, 0});
  EXPECT_EQ(code(p.execute("150")), 0);
  EXPECT_EQ(code(p.execute("160")), 0);
  EXPECT_EQ(code(p.execute("160")), 29);
  EXPECT_EQ(code(p.execute("10" + std::string(28, ' '))), 29);
  EXPECT_EQ(p.execute("34M42").data, "0001");
  EXPECT_EQ(p.execute("34M83").data.substr(0, 6), "100326");
  p.set_clock({2026, 3, 11, 9, 0, 0});
  EXPECT_EQ(code(p.execute("10" + std::string(28, ' '))), 0);
  p.execute("14");
  // A day left open: the next day asks for its Z first.
  p.set_clock({2026, 3, 12, 9, 0, 0});
  EXPECT_EQ(code(p.execute("10" + std::string(28, ' '))), 28);
  EXPECT_EQ(p.execute("32").data.substr(0, 2), "20");
}

TEST(QvxPrinter, StateSurvivesASaveAndALoad) {
  Printer p(Model::k610);
  p.execute("10");
  p.execute(short_item(Model::k610, "001500", "00000001000", "T01"));
  p.state().payment_names[5] = "VALE\\ \xe9" + std::string(10, ' ');
  const auto file = std::filesystem::temp_directory_path() / ("qvxsim_" + std::to_string(getpid()));
  std::string error;
  ASSERT_TRUE(p.save(file, &error)) << error;
  Printer q(Model::k820);
  ASSERT_TRUE(q.load(file, &error)) << error;
  EXPECT_EQ(q.state().model, Model::k610);
  EXPECT_EQ(q.state().doc, Doc::kCoupon);
  ASSERT_EQ(q.state().items.size(), 1u);
  EXPECT_EQ(q.state().items[0].value, 1500);
  EXPECT_EQ(q.state().payment_names[5], p.state().payment_names[5]);
  EXPECT_EQ(q.execute("34M96").data, "00000000001500");
  std::ofstream(file) << "something else\n";
  EXPECT_FALSE(q.load(file, &error));
  EXPECT_EQ(q.state().items.size(), 1u);  // a failed load changes nothing
  std::filesystem::remove(file);
}

TEST(QvxReplyFrame, Layout) {
  Printer p(Model::k820);
  EXPECT_EQ(build_reply(15, p, Reply{'+', 0, {}}),
            "\x02+1500"
            "00\x03");
  EXPECT_EQ(build_reply(11, p, Reply{'-', 22, {}}),
            "\x02-1100"
            "22\x03");
  EXPECT_EQ(build_reply(34, p, Reply{'S', 0, "000123"}),
            "\x02S3400"
            "000123\x03");
  EXPECT_EQ(decode_bytes("a\\x02\\x1Bz\\x"), "a\x02\x1bz\\x");
}

TEST(QvxFrameCutter, FramesNoiseAndBadHeaders) {
  FrameCutter c;
  c.feed("zz\x02\x1b$15");
  EXPECT_FALSE(c.next());
  c.feed("0\x03\x02\x1b$34M41\x03\x02xx\x03");
  auto a = c.next();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->text, "150");
  auto b = c.next();
  ASSERT_TRUE(b);
  EXPECT_EQ(b->text, "34M41");
  auto bad = c.next();
  ASSERT_TRUE(bad);
  EXPECT_TRUE(bad->bad_header);
  EXPECT_FALSE(c.next());
}

}  // namespace
}  // namespace qvx_sim
