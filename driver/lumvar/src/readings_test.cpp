#include <functional>

#include "common/clock.h"
#include "common/ini.h"
#include "coupon_test_peer.h"
#include "orvik/core/after_z.h"
#include "orvik/lumvar/documents.h"

namespace orvik::lumvar {
namespace {

using core::State;
using coupon_testing::Command;
using coupon_testing::CouponPeer;

using Readings = CouponPeer;

// Freezes the computer's clock at a local date and time for one test.
struct FixedClock {
  FixedClock(int year, int month, int day, int hour, int minute, int second) {
    common::LocalDateTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    common::clock::set_fixed(common::clock::from_local(t));
  }
  ~FixedClock() { common::clock::reset(); }
};

TEST(ZClockStep, MovesFiveMinutesAtMostAndStaysInsideTheDay) {
  struct {
    const char* printer;
    const char* target;
    bool automatic;
    int month;
    const char* sent;  // empty: no correction
  } cases[] = {
      {"100000", "100700", false, 12, "10:05:00"},
      {"100000", "100400", false, 12, "10:04:00"},
      // 290 seconds is still close enough to go straight to the target; 291 is not.
      {"100000", "100450", false, 12, "10:04:50"},
      {"100000", "100451", false, 12, "10:05:00"},
      {"100000", "095510", false, 12, "09:55:10"},
      {"100000", "095509", false, 12, "09:55:00"},
      // The printer's seconds are kept, and minutes carry into the hour.
      {"105730", "120000", false, 12, "11:02:30"},
      {"110210", "100000", false, 12, "10:57:10"},
      // Near midnight a step would leave the day: the target itself is sent.
      {"235500", "235955", false, 12, "23:59:55"},
      {"000459", "000000", false, 12, "00:00:00"},
      {"235500", "235930", false, 12, "23:59:30"},
      // The difference is taken within the day, never across midnight.
      {"235800", "000500", false, 12, "23:53:00"},
      {"000200", "235900", false, 12, "00:07:00"},
      // Automatic: up to 30 minutes all year, up to 60 from March to September.
      {"100000", "103000", true, 12, "10:05:00"},
      {"100000", "103100", true, 12, ""},
      {"100000", "104500", true, 7, "10:05:00"},
      {"100000", "104500", true, 12, ""},
      {"100000", "104500", true, 3, "10:05:00"},
      {"100000", "104500", true, 9, "10:05:00"},
      {"100000", "104500", true, 2, ""},
      {"100000", "104500", true, 10, ""},
      {"100000", "110000", true, 7, "10:05:00"},
      {"100000", "110100", true, 7, ""},
      {"100000", "090000", true, 7, "09:55:00"},
      // A printer time that is no time of day gives no correction.
      {"250000", "100000", false, 12, ""},
      {"1000", "100000", false, 12, ""},
      {"", "100000", false, 12, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.printer) + " -> " + c.target + " month " + std::to_string(c.month));
    EXPECT_EQ(ZClockTarget(c.printer, c.target, c.automatic, c.month), c.sent);
  }
}

TEST_F(Readings, ZWithAnExplicitTimeCorrectsTheClockAndNamesTheOperator) {
  StartWith("CorrigeRelogioZ=0\r\n");
  State().operator_name = "Ana \"A\"";
  Then("LeHora", "0;ValorHora=#10:00:00#");
  EXPECT_EQ(ReducaoZ("", "10:07:00"), 1);
  EXPECT_EQ(sent, (std::vector<Command>{
                      {"LeHora", "NomeHora=\"Hora\""},
                      {"EmiteReducaoZ", "Hora=#10:05:00# Operador=\"Ana \\x22A\\x22\""},
                  }));
}

TEST_F(Readings, ZWithoutTimeOrCorrectionSendsOnlyTheOperator) {
  StartWith("CorrigeRelogioZ=0\r\n");
  EXPECT_EQ(ReducaoZ("01012026", ""), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"EmiteReducaoZ", ""}}));
  sent.clear();
  State().operator_name = "Caixa 1";
  EXPECT_EQ(ReducaoZ("", "  "), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"EmiteReducaoZ", "Operador=\"Caixa 1\""}}));
}

TEST_F(Readings, AutomaticCorrectionFollowsTheMonth) {
  StartWith("CorrigeRelogioZ=1\r\n");
  struct {
    int month;
    const char* sent;
  } cases[] = {{7, "Hora=#10:05:00#"}, {12, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.month);
    FixedClock clock(2026, c.month, 10, 10, 45, 0);
    sent.clear();
    Then("LeHora", "0;ValorHora=#10:00:00#");
    EXPECT_EQ(ReducaoZ("", ""), 1);
    EXPECT_EQ(sent,
              (std::vector<Command>{{"LeHora", "NomeHora=\"Hora\""}, {"EmiteReducaoZ", c.sent}}));
  }
}

TEST_F(Readings, ZTimesThatAreNoTimeOfDaySendNoHoraItemAndAreLogged) {
  StartWith("CorrigeRelogioZ=1\r\nHomologar=1\r\n");
  for (const char* time : {"25:99:99", "10:07:00:00", "ab:cd", "12:61:00", "1234567"}) {
    SCOPED_TRACE(time);
    sent.clear();
    EXPECT_EQ(ReducaoZ("", time), 1);
    EXPECT_EQ(sent, (std::vector<Command>{{"EmiteReducaoZ", ""}}));
  }
  EXPECT_NE(folder.Read("LOG.DAT").find("Hora invalida para a Reducao Z: [25:99:99]"),
            std::string::npos);
}

TEST_F(Readings, AClockAnswerThatIsNoTimeSendsTheZWithoutAStep) {
  StartWith("CorrigeRelogioZ=0\r\nHomologar=1\r\n");
  for (const char* answer :
       {"0;ValorHora=#ab:cd:ef#", "0;ValorHora=#10:00#", "0;ValorHora=#10:00:00:00#", "0;"}) {
    SCOPED_TRACE(answer);
    sent.clear();
    Then("LeHora", answer);
    EXPECT_EQ(ReducaoZ("", "10:07:00"), 1);
    EXPECT_EQ(sent.back(), (Command{"EmiteReducaoZ", ""}));
  }
  EXPECT_NE(folder.Read("LOG.DAT").find("Hora da impressora ilegivel"), std::string::npos);
}

TEST_F(Readings, ZRefusedOrClockUnreadableStopsBeforeTheStepAfterIt) {
  StartWith("GERA_RFD_REDZ=1\r\nCorrigeRelogioZ=0\r\n");
  Refuse("LeHora", 9999);
  EXPECT_EQ(ReducaoZ("", "10:00:00"), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"LeHora"}));
  sent.clear();
  Refuse("EmiteReducaoZ", 8104);
  EXPECT_EQ(ReducaoZ("", "  "), 0);
  EXPECT_EQ(State().last_return_code, 8104);
  EXPECT_EQ(Names(), (std::vector<std::string>{"EmiteReducaoZ"}));
}

int g_converted_crz = -1;
int g_conversion_result = 1;
int RecordingConversion(int crz) {
  g_converted_crz = crz;
  State().last_return_code = -8;
  State().last_message = "conversion failed";
  return g_conversion_result;
}

TEST_F(Readings, TheStepAfterTheZNeverChangesTheZsAnswer) {
  StartWith("GERA_RFD_REDZ=1\r\nCorrigeRelogioZ=0\r\nHomologar=1\r\n");
  // No conversion registered: the log says no RFD file was made.
  core::SetAfterZConversion(nullptr);
  Then("LeInteiro", "0;ValorInteiro=12");
  EXPECT_EQ(ReducaoZ("", ""), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"EmiteReducaoZ", "LeInteiro"}));
  EXPECT_NE(folder.Read("LOG.DAT").find("arquivo RFD nao gerado"), std::string::npos);

  // A conversion that fails is logged; the Z still answers 1 with its own status.
  core::SetAfterZConversion(RecordingConversion);
  g_conversion_result = 0;
  Then("LeInteiro", "0;ValorInteiro=13");
  EXPECT_EQ(ReducaoZ("", ""), 1);
  EXPECT_EQ(g_converted_crz, 13);
  EXPECT_EQ(State().last_return_code, 0);
  EXPECT_EQ(State().last_message, "");

  // The CRZ read failing does not turn a printed Z into a failure.
  g_converted_crz = -1;
  Refuse("LeInteiro", 9999);
  EXPECT_EQ(ReducaoZ("", ""), 1);
  EXPECT_EQ(g_converted_crz, -1);
  EXPECT_EQ(State().last_return_code, 0);
  core::SetAfterZConversion(nullptr);
}

TEST_F(Readings, WithoutRfdWantedTheZReadsNothingAfterIt) {
  StartWith("GERA_RFD_REDZ=0\r\nCorrigeRelogioZ=0\r\n");
  EXPECT_EQ(ReducaoZ("", ""), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"EmiteReducaoZ"}));
}

TEST_F(Readings, XAndFiscalMemoryReadingsOnPaper) {
  State().operator_name = "Op";
  struct {
    const char* label;
    std::function<int()> call;
    Command sent;
  } cases[] = {
      {"X", [] { return LeituraX(); }, {"EmiteLeituraX", "Operador=\"Op\""}},
      {"dates complete, lower-case kind",
       [] { return LeituraMemoriaFiscalData("01012026", "31/01/2026", "c"); },
       {"EmiteLeituraMF",
        "LeituraSimplificada=false DataInicial=#01/01/2026# DataFinal=#31/01/2026#"}},
      {"dates simplified, six digits",
       [] { return LeituraMemoriaFiscalData("010126", "310126", "S"); },
       {"EmiteLeituraMF",
        "LeituraSimplificada=true DataInicial=#01/01/2026# DataFinal=#31/01/2026#"}},
      {"reductions complete",
       [] { return LeituraMemoriaFiscalReducao("0001", "12", "C"); },
       {"EmiteLeituraMF", "LeituraSimplificada=false ReducaoInicial=0001 ReducaoFinal=12"}},
      {"reductions with another kind",
       [] { return LeituraMemoriaFiscalReducao("1", "2", "CC"); },
       {"EmiteLeituraMF", "LeituraSimplificada=true ReducaoInicial=1 ReducaoFinal=2"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    sent.clear();
    EXPECT_EQ(c.call(), 1);
    EXPECT_EQ(sent, std::vector<Command>{c.sent});
  }
}

TEST_F(Readings, ReadingsToTheLineAreCapturedIntoImpressaoTxt) {
  std::vector<std::string> targets;
  CaptureToFile capture = [&](const std::string& target) {
    targets.push_back(target);
    return 1;
  };
  EXPECT_EQ(LeituraXSerial(capture), 1);
  EXPECT_EQ(LeituraMemoriaFiscalSerialData("01012026", "02012026", "s", capture), 1);
  EXPECT_EQ(LeituraMemoriaFiscalSerialReducao("1", "3", "C", capture), 1);
  EXPECT_EQ(sent, (std::vector<Command>{
                      {"EmiteLeituraX", "Destino=\"S\""},
                      {"EmiteLeituraMF",
                       "Destino=\"S\" LeituraSimplificada=true "
                       "DataInicial=#01/01/2026# DataFinal=#02/01/2026#"},
                      {"EmiteLeituraMF",
                       "Destino=\"S\" LeituraSimplificada=false ReducaoInicial=1 ReducaoFinal=3"},
                  }));
  EXPECT_EQ(targets, std::vector<std::string>(3, folder.slash() + "IMPRESSAO.TXT"));

  // A refused reading is not captured.
  targets.clear();
  Refuse("EmiteLeituraMF", 8089);
  EXPECT_EQ(LeituraMemoriaFiscalSerialData("01012026", "02012026", "s", capture), 0);
  EXPECT_TRUE(targets.empty());
  // The capture's own result is the answer.
  EXPECT_EQ(LeituraXSerial([](const std::string&) { return -5; }), -5);
}

TEST_F(Readings, OpeningOfTheDaySuppliesOnlyANonZeroValue) {
  StartWith("SUPRIMENTO=3\r\n");
  EXPECT_EQ(AberturaDoDia("0,00", "Dinheiro"), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"EmiteLeituraX"}));
  sent.clear();
  EXPECT_EQ(AberturaDoDia("100,00", ""), 1);
  EXPECT_EQ(sent, (std::vector<Command>{
                      {"EmiteLeituraX", "Operador=\"\""},
                      {"AbreCupomNaoFiscal", ""},
                      {"EmiteItemNaoFiscal", "CodNaoFiscal=3 Valor=100,00"},
                      {"PagaCupom", "CodMeioPagamento=-2 Valor=100,00"},
                      {"EncerraDocumento", "Operador=\"\""},
                  }));
  sent.clear();
  Refuse("EmiteLeituraX", 8105);
  EXPECT_EQ(AberturaDoDia("100,00", ""), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"EmiteLeituraX"}));
}

TEST_F(Readings, ClosingOfTheDayWrites60MAfterThePrintedZ) {
  StartWith("CorrigeRelogioZ=0\r\n");
  Then("LeMoeda", "0;ValorMoeda=1234567,8900");  // GT
  Then("LeMoeda", "0;ValorMoeda=1000000,0000");  // GT at the start of the day
  Then("LeInteiro", "0;ValorInteiro=250");       // COO
  Then("LeInteiro", "0;ValorInteiro=200");       // first COO of the day
  EXPECT_EQ(FechamentoDoDia(), 1);
  EXPECT_EQ(sent, (std::vector<Command>{
                      {"LeMoeda", "NomeDadoMonetario=\"GT\""},
                      {"LeMoeda", "NomeDadoMonetario=\"GTInicial\""},
                      {"LeInteiro", "NomeInteiro=\"COO\""},
                      {"LeInteiro", "NomeInteiro=\"COOInicioDia\""},
                      {"EmiteReducaoZ", ""},
                  }));
  EXPECT_EQ(folder.Read("60M.TXT"), "200\r\n250\r\n100000000\r\n123456789\r\n");
}

TEST_F(Readings, ClosingOfTheDayKeepsTheOld60MWhenAReadOrTheZFails) {
  StartWith("CorrigeRelogioZ=0\r\n");
  folder.Write("60M.TXT", "old\r\n");
  Refuse("LeMoeda", 9999);
  EXPECT_EQ(FechamentoDoDia(), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"LeMoeda"}));
  sent.clear();
  Refuse("EmiteReducaoZ", 8104);
  EXPECT_EQ(FechamentoDoDia(), 0);
  EXPECT_EQ(State().last_return_code, 8104);
  EXPECT_EQ(folder.Read("60M.TXT"), "old\r\n");
}

}  // namespace
}  // namespace orvik::lumvar
