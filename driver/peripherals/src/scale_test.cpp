#include "orvik/peripherals/scale.h"

#include <gtest/gtest.h>

#include <chrono>

#include "orvik/core/fake_transport.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"

namespace orvik::peripherals {
namespace {

using namespace std::string_literals;
using core::FakeTransport;
using core::State;
using K = ScaleReading;

ScaleReading Parse(const std::string& bytes) {
  return ParseScaleReply(bytes.data(), bytes.data() + bytes.size());
}

TEST(ParseScaleReply, WeightsSpecialAnswersAndWhatIsNoWeight) {
  const struct {
    const char* title;
    std::string reply;
    ScaleReading::Kind kind;
    std::string text;
  } cases[] = {
      {"Weight",
       "\x02"
       "00150\x03",
       K::kWeight, "00150"},
      {"Unstable", "\x02IIIII\x03", K::kUnstable, "IIIII"},
      {"Overload", "\x02SSSSS\x03", K::kOverload, "SSSSS"},
      {"Negative", "\x02NNNNN\x03", K::kNegative, "NNNNN"},
      {"NoiseBeforeTheFrame",
       "xx\x02"
       "01.250\x03",
       K::kWeight, "01.250"},
      {"PartialFrameFirst",
       "\x02"
       "001\x02"
       "00150\x03",
       K::kWeight, "00150"},
      {"BlanksAreText", "\x02  0.150\x03", K::kWeight, "  0.150"},
      {"SixteenCharacters",
       "\x02"
       "0123456789012345\x03",
       K::kWeight, "0123456789012345"},
      {"Unstable4IsAWeightText", "\x02IIII\x03", K::kWeight, "IIII"},
      {"NoStx", "00150\x03", K::kNone, ""},
      {"Empty", "\x02\x03", K::kNone, ""},
      {"NoEtx",
       "\x02"
       "00150",
       K::kNone, ""},
      {"EtxNotLast",
       "\x02"
       "00150\x03x",
       K::kNone, ""},
      {"Nothing", "", K::kNone, ""},
      {"JustEtx", "\x03", K::kNone, ""},
      {"OverLong",
       "\x02"
       "01234567890123456\x03",
       K::kNone, ""},
      {"ControlByte",
       "\x02"
       "00\x00"
       "150\x03"s,
       K::kNone, ""},
      {"Delete",
       "\x02"
       "001\x7F\x03",
       K::kNone, ""},
      {"EtxInsideText",
       "\x02"
       "00\x03"
       "150\x03",
       K::kNone, ""},
  };
  for (const auto& c : cases) {
    const ScaleReading r = Parse(c.reply);
    EXPECT_EQ(r.kind, c.kind) << c.title;
    EXPECT_EQ(r.text, c.text) << c.title;
  }
  EXPECT_EQ(ParseScaleReply(nullptr, nullptr).kind, K::kNone);
}

TEST(ScaleSpeed, OnlyTheFirstCharacterCounts) {
  const struct {
    std::string text, speed;
  } cases[] = {{"1200", "1200"}, {"19200", "1200"}, {"2400", "2400"},
               {"4800", "4800"}, {"9600", "9600"},  {"", "9600"},
               {"abc", "9600"},  {"38400", "9600"}, {"115200", "1200"}};
  for (const auto& c : cases) EXPECT_EQ(ScaleSpeed(c.text), c.speed) << c.text;
}

class Scale : public ::testing::Test {
 protected:
  void SetUp() override {
    core::SetTransport(std::make_unique<FakeTransport>(&record));
    folder.WriteIni("[Sistema]\r\nModeloImp=ORVIK_KAP\r\nPorta=COM1\r\n");
    core::Startup();
    record.responder = [this](const std::string& sent) -> std::string {
      if (sent != "\x05") return {};
      ++enqs;
      return enqs - 1 < static_cast<int>(answers.size()) ? answers[enqs - 1] : "";
    };
  }
  void TearDown() override { core::SetTransport(nullptr); }

  core::TestFolder folder;
  FakeTransport::Record record;
  std::vector<std::string> answers;
  int enqs = 0;
};

TEST_F(Scale, WeightGoesToTheBufferAndTheReturnFile) {
  answers = {
      "\x02"
      "00150\x03"};
  State().last_return_code = 7;
  char weight[32] = "          ";
  EXPECT_EQ(LeBalanca("COM3", "9600", weight), 1);
  EXPECT_STREQ(weight, "00150");
  EXPECT_EQ(folder.Read("RETORNO.TXT"), "00150\r\n");
  EXPECT_EQ(State().last_message, "");
  EXPECT_EQ(State().last_return_code, 7);
  EXPECT_EQ(enqs, 1);
  EXPECT_EQ(record.opened.at(0), "/dev/ttyS2");
  EXPECT_EQ(record.settings.at(0).speed, "9600");
  EXPECT_EQ(record.open_handles, 0);
  // The printer's port is left alone.
  EXPECT_EQ(State().port1.handle, -1);
}

TEST_F(Scale, SpecialAnswers) {
  const struct {
    std::string reply;
    int answer;
    std::string message;
  } cases[] = {{"\x02IIIII\x03", -34, "Peso inst\xE1vel"},
               {"\x02SSSSS\x03", -35, "Peso excedido"},
               {"\x02NNNNN\x03", -33, "Peso negativo"}};
  for (const auto& c : cases) {
    answers = {c.reply};
    enqs = 0;
    State().last_return_code = 3;
    char weight[32] = "";
    EXPECT_EQ(LeBalanca("COM1", "2", weight), c.answer);
    EXPECT_EQ(std::string(weight), c.reply.substr(1, 5));
    EXPECT_EQ(State().last_message, c.message);
    EXPECT_EQ(State().last_return_code, 3);
  }
  EXPECT_EQ(record.settings.back().speed, "2400");
}

TEST_F(Scale, NoWeightIsRetriedThenCommunicationFailure) {
  answers = {"\x02\x03", "00150\x03",
             "\x02"
             "01234567890123456789\x03"};
  char weight[32] = "antes";
  EXPECT_EQ(LeBalanca("COMx", "", weight), 0);
  EXPECT_EQ(enqs, 3);
  EXPECT_EQ(State().last_return_code, -1);
  EXPECT_EQ(State().last_message, "Falha de comunica\xE7\xE3o");
  EXPECT_STREQ(weight, "antes");
  EXPECT_EQ(record.opened.at(0), "/dev/ttyS0");
}

TEST_F(Scale, ThirdAttemptMayAnswer) {
  answers = {"",
             "\x02"
             "0\x01"
             "2\x03",
             "\x02"
             "00200\x03"};
  EXPECT_EQ(LeBalanca("COM", "19200", nullptr), 1);
  EXPECT_EQ(enqs, 3);
  EXPECT_EQ(folder.Read("RETORNO.TXT"), "00200\r\n");
  EXPECT_EQ(record.settings.at(0).speed, "1200");
}

TEST_F(Scale, StaleBytesAreDiscardedBeforeTheEnq) {
  answers = {
      "\x02"
      "00300\x03"};
  record.pending =
      "\x02"
      "99999\x03";
  char weight[32] = "";
  EXPECT_EQ(LeBalanca("COM1", "9", weight), 1);
  EXPECT_STREQ(weight, "00300");
}

TEST_F(Scale, PortThatCannotBeOpened) {
  record.fail_open = true;
  char weight[16] = "x";
  EXPECT_EQ(LeBalanca("COM9", "9600", weight), -5);
  EXPECT_EQ(State().last_return_code, -5);
  EXPECT_EQ(State().last_message, "Erro Abertura Porta Serial");
  EXPECT_STREQ(weight, "x");
}

}  // namespace
}  // namespace orvik::peripherals
