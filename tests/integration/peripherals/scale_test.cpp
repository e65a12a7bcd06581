// Orvik_LeBalanca with the virtual scale on a pseudo-terminal (port COM2).
#include "scale_sim/scale.h"

#include <chrono>

#include "peripherals_fixture.h"

namespace orvik_testing {
namespace {

using scale_sim::Fault;
using Clock = std::chrono::steady_clock;

class ScaleReading : public PeripheralsTest {
 protected:
  void SetUp() override {
    PeripheralsTest::SetUp();
    std::string error;
    ASSERT_TRUE(scale.open_pty(&error)) << error;
    scale.start();
    Load("ModeloImp=ORVIK_KAP\r\nPorta=COM1\r\n",
         "[Portas]\r\nCOM1=" + (dir / "no-such-line").string() + "\r\nCOM2=" + scale.slave_path() +
             "\r\n");
  }
  void TearDown() override {
    scale.stop();
    PeripheralsTest::TearDown();
  }
  int Read(const char* speed = "9600") {
    std::fill(std::begin(weight), std::end(weight), ' ');
    weight[20] = '\0';
    return EXPORT(Orvik_LeBalanca)("COM2", speed, weight);
  }
  scale_sim::Scale scale;
  char weight[64];
};

TEST_F(ScaleReading, WeightAndSpecialAnswers) {
  const struct {
    scale_sim::Mode mode;
    int answer;
    const char* text;
    const char* message;
  } cases[] = {
      {scale_sim::Mode::kWeight, 1, "00150", "0 "},
      {scale_sim::Mode::kUnstable, -34, "IIIII", "0 Peso inst\xE1vel"},
      {scale_sim::Mode::kOverload, -35, "SSSSS", "0 Peso excedido"},
      {scale_sim::Mode::kNegative, -33, "NNNNN", "0 Peso negativo"},
  };
  for (const auto& c : cases) {
    scale.set_mode(c.mode);
    EXPECT_EQ(Read(), c.answer) << c.text;
    EXPECT_STREQ(weight, c.text);
    EXPECT_EQ(last(), c.message);
  }
  std::ifstream in(dir / "RETORNO.TXT", std::ios::binary);
  std::string file((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(file, "NNNNN\r\n");
  EXPECT_NE(log().find("Pacote Balanca HEX  :[ 02 30 30 31 35 30 03  ]"), std::string::npos);
}

TEST_F(ScaleReading, BrokenAnswersAreRetried) {
  const struct {
    const char* title;
    Fault fault;
    int enqs;
  } cases[] = {
      {"Silent", Fault(Fault::kSilent), 2},      {"Slow", Fault(Fault::kSlow, 300), 1},
      {"Split", Fault(Fault::kSplit, 40, 3), 1}, {"NoStx", Fault(Fault::kNoStx), 2},
      {"Empty", Fault(Fault::kEmpty), 2},        {"PartialFrameFirst", Fault(Fault::kPartial), 1},
      {"OverLong", Fault(Fault::kOverLong), 2},  {"NoEtx", Fault(Fault::kNoEtx), 2},
  };
  scale.set_weight("01.250");
  for (const auto& c : cases) {
    const int before = scale.enqs();
    scale.inject(c.fault);
    EXPECT_EQ(Read(), 1) << c.title << ": " << last();
    EXPECT_STREQ(weight, "01.250") << c.title;
    EXPECT_EQ(scale.enqs() - before, c.enqs) << c.title;
  }
}

TEST_F(ScaleReading, AnswerOnlyToTheThirdEnq) {
  scale.answer_only(3);
  EXPECT_EQ(Read(), 1) << last();
  EXPECT_EQ(scale.enqs(), 3);
  scale.answer_only(4);
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(last(), "-1 Falha de comunica\xE7\xE3o");
  EXPECT_EQ(scale.enqs(), 6);
}

TEST_F(ScaleReading, ThreeBrokenAnswersAreACommunicationFailure) {
  scale.inject(Fault(Fault::kNoStx), 3);
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(last(), "-1 Falha de comunica\xE7\xE3o");
  // The buffer keeps what the caller put in it.
  EXPECT_EQ(std::string(weight), std::string(20, ' '));
  EXPECT_NE(log().find("Falha de comunica\xE7\xE3o"), std::string::npos);
}

TEST_F(ScaleReading, FloodingScaleEndsInBoundedTime) {
  scale.inject(Fault(Fault::kFlood, 1500));
  const auto start = Clock::now();
  EXPECT_EQ(Read(), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(last(), "-1 Falha de comunica\xE7\xE3o");
}

TEST_F(ScaleReading, SpeedsByTheirFirstCharacter) {
  const struct {
    const char* speed;
    int scale_speed;
    int answer;
  } cases[] = {
      {"19200", 1200, 1},
      {"", 9600, 1},
      {"abc", 9600, 1},
      {"2400", 2400, 1},
      {"4", 4800, 1},
      // The driver sets 9600 for "38400"; a scale at 38400 hears garbage.
      {"38400", 38400, 0},
  };
  for (const auto& c : cases) {
    scale.set_speed(c.scale_speed);
    EXPECT_EQ(Read(c.speed), c.answer) << c.speed << ": " << last();
  }
  EXPECT_GT(scale.garbled(), 0);
}

TEST_F(ScaleReading, PortTextsAndANullBuffer) {
  // "COM" and "COMx" are port 1, which is not the scale's line here.
  EXPECT_EQ(EXPORT(Orvik_LeBalanca)("COM", "9600", weight), -5);
  EXPECT_EQ(last(), "-5 Erro Abertura Porta Serial");
  EXPECT_EQ(EXPORT(Orvik_LeBalanca)("COMx", "9600", weight), -5);
  EXPECT_EQ(EXPORT(Orvik_LeBalanca)(nullptr, nullptr, weight), -5);
  EXPECT_EQ(EXPORT(Orvik_LeBalanca)("COM2", "9600", nullptr), 1);
  std::ifstream in(dir / "RETORNO.TXT", std::ios::binary);
  std::string file((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(file, "00150\r\n");
}

}  // namespace
}  // namespace orvik_testing
