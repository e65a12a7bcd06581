// The serial non-fiscal printer (family 5) over a real pseudo-terminal.
#include <chrono>
#include <thread>

#include "peripherals_fixture.h"
#include "vuno_sim/device.h"

namespace orvik_testing {
namespace {

using namespace std::string_literals;
using vuno_sim::Event;
using Clock = std::chrono::steady_clock;

class VunoSerial : public PeripheralsTest {
 protected:
  void SetUp() override {
    PeripheralsTest::SetUp();
    std::string error;
    ASSERT_TRUE(server.open_pty(&error)) << error;
    server.start();
  }
  void TearDown() override {
    server.stop();
    PeripheralsTest::TearDown();
  }
  void LoadSerial(const std::string& baud = "9600") {
    Load("ModeloImp=ORVIK_VUNO_SERIAL\r\nPorta=COM1\r\nBAUD=" + baud + "\r\n",
         "[Portas]\r\nCOM1=" + server.slave_path() + "\r\n");
  }
  // Waits until the printer has parsed everything sent (the send returns when the bytes
  // are on the line, not when the printer has read them).
  std::vector<Event> Events(size_t at_least) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    for (;;) {
      {
        std::lock_guard lock(device.mutex());
        if (device.printer().events().size() >= at_least || Clock::now() > end)
          return device.printer().events();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  std::vector<vuno_sim::TapeLine> Tape() {
    std::lock_guard lock(device.mutex());
    return device.printer().tape();
  }

  vuno_sim::Device device;
  vuno_sim::SerialServer server{device};
};

TEST_F(VunoSerial, KitchenOrderWithFormattingBarcodeAndCut) {
  LoadSerial();
  EXPECT_EQ(EXPORT(OrvikCupom_EnviaBufferFormatado)("COZINHA\n", 1, 0, 0, 1, 1), 1) << last();
  EXPECT_EQ(EXPORT(OrvikCupom_EnviaBuffer)("2 X-SALADA\n1 SUCO LARANJA\n"), 1) << last();
  EXPECT_EQ(EXPORT(OrvikCupom_ConfiguraCodigoBarras)(80, 2, 2, 0, 10), 1) << last();
  EXPECT_EQ(EXPORT(OrvikCupom_ImprimeCodigoBarrasEAN13)("7891234567895"), 1) << last();
  EXPECT_EQ(EXPORT(OrvikCupom_ImprimeCodigoBarrasCODE128)("PEDIDO-0042"), 1) << last();
  EXPECT_EQ(EXPORT(OrvikCupom_AjustaLarguraPapel)(576), 1) << last();
  EXPECT_EQ(EXPORT(OrvikCupom_AcionaGuilhotina)(1), 1) << last();
  EXPECT_EQ(last(), "0 ");

  const std::vector<Event> events = Events(9);
  std::vector<Event::Kind> kinds;
  for (const Event& e : events) kinds.push_back(e.kind);
  const std::vector<Event::Kind> expected = {Event::kSettings, Event::kSettings,   Event::kSettings,
                                             Event::kSettings, Event::kSettings,   Event::kBarcode,
                                             Event::kBarcode,  Event::kPaperWidth, Event::kFullCut};
  ASSERT_EQ(kinds, expected);
  EXPECT_EQ(events[5].value, 2);
  EXPECT_EQ(events[5].data, "7891234567895");
  EXPECT_EQ(events[5].settings, (vuno_sim::BarcodeSettings{80, 2, 2, 0, 10}));
  EXPECT_EQ(events[6].value, 73);
  EXPECT_EQ(events[6].data, "PEDIDO-0042");
  EXPECT_EQ(events[7].value, 576);

  const auto tape = Tape();
  ASSERT_EQ(tape.size(), 3u);
  ASSERT_EQ(tape[0].size(), 1u);
  EXPECT_EQ(tape[0][0].text, "COZINHA");
  EXPECT_EQ(tape[0][0].attributes, (vuno_sim::Attributes{true, false, false, true, true}));
  EXPECT_EQ(tape[1][0].text, "2 X-SALADA");
  EXPECT_EQ(tape[1][0].attributes, vuno_sim::Attributes{});
  EXPECT_EQ(tape[2][0].text, "1 SUCO LARANJA");

  const std::string log_text = log();
  EXPECT_NE(log_text.find("Pacote Vuno ASCII:[ 2 X-SALADA\n1 SUCO LARANJA\n ]"), std::string::npos);
  EXPECT_NE(log_text.find("Pacote Vuno HEX:  [ 1B 77  ]"), std::string::npos);
}

TEST_F(VunoSerial, RawCommandKeepsItsZeroBytes) {
  LoadSerial();
  const std::string command =
      "\x1DV\x00\x1Dk\x02"
      "123\x00"s;
  EXPECT_EQ(EXPORT(Vuno_EnviaComando)(command.data(), static_cast<int>(command.size())), 1);
  const auto events = Events(2);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, Event::kGuillotine);
  EXPECT_EQ(events[0].value, 0);
  EXPECT_EQ(events[1].kind, Event::kBarcode);
  EXPECT_EQ(events[1].data, "123");
  // A count of zero or less sends nothing and succeeds.
  EXPECT_EQ(EXPORT(Vuno_EnviaComando)(command.data(), -3), 1);
  EXPECT_EQ(EXPORT(Vuno_EnviaComando)(nullptr, 5), 1);
  EXPECT_EQ(EXPORT(Vuno_EnviaBuffer)(nullptr), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::lock_guard lock(device.mutex());
  EXPECT_EQ(device.printer().events().size(), 2u);
  EXPECT_EQ(device.printer().pending(), 0u);
}

TEST_F(VunoSerial, StatusQueriesAnswerFromThePrinter) {
  LoadSerial();
  EXPECT_EQ(EXPORT(OrvikCupom_VerificaOnLine)(), 1);
  EXPECT_EQ(EXPORT(OrvikCupom_VerificaEstadoGaveta)(), 2) << last();
  EXPECT_EQ(EXPORT(OrvikCupom_AcionaGaveta)(), 1);
  EXPECT_EQ(EXPORT(OrvikCupom_VerificaEstadoGaveta)(), 1) << last();
  EXPECT_EQ(EXPORT(Vuno_VerificaPoucoPapel)(), 1);
  EXPECT_EQ(EXPORT(Vuno_VerificaFimPapel)(), 1);
  device.printer().set_paper_low(true);
  EXPECT_EQ(EXPORT(Vuno_VerificaPoucoPapel)(), 2);
  EXPECT_EQ(EXPORT(Vuno_VerificaFimPapel)(), 1);
  device.printer().set_paper_out(true);
  EXPECT_EQ(EXPORT(Vuno_VerificaFimPapel)(), 2);
  // Garbage after the status byte is not taken for the next answer.
  device.inject(vuno_sim::Fault(vuno_sim::Fault::kGarbage, 0, "\x00\x00"s));
  EXPECT_EQ(EXPORT(Vuno_VerificaFimPapel)(), 2);
  device.printer().set_paper_out(false);
  EXPECT_EQ(EXPORT(Vuno_VerificaFimPapel)(), 1);
  EXPECT_NE(log().find("Pacote Rec  HEX:  [ 12  ]"), std::string::npos);
}

TEST_F(VunoSerial, SilentPrinterIsOffline) {
  LoadSerial();
  device.inject(vuno_sim::Fault(vuno_sim::Fault::kSilent));
  const auto start = Clock::now();
  EXPECT_EQ(EXPORT(Vuno_VerificaEstadoGaveta)(), 0);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1900));
  EXPECT_EQ(last(), "-10 Impressora offline ou desligada");
  EXPECT_NE(log().find("[ IMPRESSORA OFFLINE OU DESLIGADA ]"), std::string::npos);
}

TEST_F(VunoSerial, LateAnswerDoesNotAnswerTheNextQuestion) {
  LoadSerial();
  // The drawer answer comes after the driver has given up waiting for it.
  device.inject(vuno_sim::Fault(vuno_sim::Fault::kSlow, 2600));
  device.printer().set_drawer_open(true);
  EXPECT_EQ(EXPORT(Vuno_VerificaEstadoGaveta)(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(900));
  // That late byte (drawer open: bit 2 set) now waits on the line; the paper answer
  // (bit 2 clear: paper enough) must be read instead.
  EXPECT_EQ(EXPORT(Vuno_VerificaPoucoPapel)(), 1) << last();
}

TEST_F(VunoSerial, SpeedTheLineCannotTakeIsAPortError) {
  LoadSerial("abc");
  EXPECT_EQ(EXPORT(Vuno_EnviaBuffer)("texto\n"), 0);
  EXPECT_EQ(last(), "-5 Erro Abertura Porta Serial");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::lock_guard lock(device.mutex());
  EXPECT_TRUE(device.printer().events().empty());
  EXPECT_TRUE(device.printer().tape().empty());
}

TEST_F(VunoSerial, OtherSpeedThanThePrintersIsGarbageToIt) {
  LoadSerial("19200");
  EXPECT_EQ(EXPORT(Vuno_EnviaBuffer)("texto\n"), 1);
  const auto events = Events(1);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].kind, Event::kGarbage);
  EXPECT_TRUE(Tape().empty());
}

TEST_F(VunoSerial, TooLongBarcodeIsRefusedAndNothingSent) {
  LoadSerial();
  const std::string data(300, '1');
  EXPECT_EQ(EXPORT(Vuno_ImprimeCodigoBarrasCODE128)(data.c_str()), 0);
  EXPECT_EQ(EXPORT(OrvikCupom_RetornoImpressora) != nullptr, true);
  int code = 0;
  char message[256] = "";
  EXPORT(OrvikCupom_RetornoImpressora)(&code, message);
  EXPECT_EQ(code, -1);
  EXPECT_EQ(EXPORT(Vuno_ImprimeCodigoBarrasCODE39)(std::string(255, '1').c_str()), 1);
  const auto events = Events(1);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].data.size(), 255u);
}

TEST_F(VunoSerial, BuzzerBeepsWithItsPauses) {
  LoadSerial();
  const auto start = Clock::now();
  EXPECT_EQ(EXPORT(Vuno_AcionaBuzLite)(3, 20, 100), 1);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(450));
  const auto events = Events(3);
  ASSERT_EQ(events.size(), 3u);
  for (const Event& e : events) {
    EXPECT_EQ(e.kind, Event::kPulse);
    EXPECT_EQ(e.value, 50);
  }
  EXPECT_EQ(EXPORT(Vuno_AcionaBuzLite)(0, 20, 100), 0);
}

TEST_F(VunoSerial, FiscalFamilyIsToldTheCommandIsMissing) {
  Load("ModeloImp=ORVIK_KAP\r\nPorta=COM1\r\n", "[Portas]\r\nCOM1=" + server.slave_path() + "\r\n");
  EXPECT_EQ(EXPORT(Vuno_EnviaBuffer)("x"), 0);
  EXPECT_EQ(last(), "-2 Comando Inexistente para este modelo:Funcoes da Impressora Vuno");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::lock_guard lock(device.mutex());
  EXPECT_TRUE(device.printer().events().empty());
}

}  // namespace
}  // namespace orvik_testing
