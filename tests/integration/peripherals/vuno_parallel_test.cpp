// The parallel non-fiscal printer (family 4): liborvik.so loads libinpout32.so, whose
// socket link reaches the virtual printer's register file.
#include <unistd.h>

#include <chrono>
#include <thread>

#include "inpout32/link.h"
#include "peripherals_fixture.h"
#include "vuno_sim/device.h"

namespace orvik_testing {
namespace {

using vuno_sim::Event;
using Clock = std::chrono::steady_clock;

class VunoParallel : public PeripheralsTest {
 protected:
  void SetUp() override {
    PeripheralsTest::SetUp();
    socket = (dir / "lpt.sock").string();
    std::string error;
    ASSERT_TRUE(server.listen(socket, &error)) << error;
    server.start();
    ::setenv(inpout32::kLinkEnv, socket.c_str(), 1);
  }
  void TearDown() override {
    server.stop();
    ::unsetenv(inpout32::kLinkEnv);
    PeripheralsTest::TearDown();
  }
  void LoadParallel(const std::string& library = ORVIK_LIBRARY_PATH) {
    Load("ModeloImp=ORVIK_VUNO_LPT\r\nPorta=LPT1\r\nEndereco=378\r\n", "", library);
  }

  std::string socket;
  vuno_sim::Device device;
  vuno_sim::ParallelServer server{device};
};

TEST_F(VunoParallel, KitchenOrderWithFormattingBarcodeAndCut) {
  LoadParallel();
  device.busy_us = 50;
  EXPECT_EQ(EXPORT(OrvikCupom_EnviaBufferFormatado)("COZINHA\n", 0, 0, 1, 0, 1), 1) << last();
  EXPECT_EQ(EXPORT(OrvikCupom_EnviaBuffer)("1 PIZZA\n"), 1) << last();
  EXPECT_EQ(EXPORT(OrvikCupom_ImprimeCodigoBarrasEAN8)("12345670"), 1) << last();
  EXPECT_EQ(EXPORT(OrvikCupom_AcionaGuilhotinaParcial)(0), 1) << last();
  std::lock_guard lock(device.mutex());
  const auto& events = device.printer().events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, Event::kBarcode);
  EXPECT_EQ(events[0].value, 3);
  EXPECT_EQ(events[0].data, "12345670");
  EXPECT_EQ(events[1].kind, Event::kGuillotine);
  EXPECT_EQ(events[1].value, 0);
  const auto tape = device.printer().tape();
  ASSERT_EQ(tape.size(), 2u);
  EXPECT_EQ(tape[0][0].text, "COZINHA");
  EXPECT_EQ(tape[0][0].attributes, (vuno_sim::Attributes{false, true, false, true, false}));
  EXPECT_EQ(tape[1][0].text, "1 PIZZA");
  // Data, strobe on, strobe off and at least one status read per byte.
  EXPECT_GE(server.requests(), 4u * (16 + 8 + 11 + 3));
}

TEST_F(VunoParallel, SuccessClearsAnEarlierFailure) {
  LoadParallel();
  device.stuck_busy = true;
  EXPECT_EQ(EXPORT(Vuno_EnviaBuffer)("x"), 0);
  EXPECT_EQ(last(), "-10 Impressora offline ou desligada");
  device.stuck_busy = false;
  EXPECT_EQ(EXPORT(Vuno_EnviaComando)("ab", 2), 1);
  EXPECT_EQ(last(), "0 ");
  const std::string log_text = log();
  EXPECT_NE(log_text.find("[0]=61"), std::string::npos);
  EXPECT_NE(log_text.find("[1]=62"), std::string::npos);
  EXPECT_NE(log_text.find("Pacote Vuno ASCII(LPT):[ ab ]"), std::string::npos);
  EXPECT_NE(log_text.find("Pacote Vuno HEX(LPT):  [ 61 62  ]"), std::string::npos);
}

TEST_F(VunoParallel, StuckBusyIsOfflineAfterAboutOneSecond) {
  LoadParallel();
  device.stuck_busy = true;
  const auto start = Clock::now();
  EXPECT_EQ(EXPORT(Vuno_EnviaBuffer)("abc"), 0);
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(950));
  EXPECT_LT(took, std::chrono::seconds(20));
  EXPECT_EQ(last(), "-10 Impressora offline ou desligada");
  // The first byte was taken, then the printer never became ready again.
  std::lock_guard lock(device.mutex());
  EXPECT_EQ(device.printer().pending() + device.printer().tape_text().size(), 0u);
}

TEST_F(VunoParallel, StatusFromTheStatusRegister) {
  LoadParallel();
  EXPECT_EQ(EXPORT(Vuno_VerificaOnLine)(), 1);
  EXPECT_EQ(EXPORT(Vuno_VerificaFimPapel)(), 1);
  EXPECT_EQ(EXPORT(Vuno_VerificaPoucoPapel)(), 0);
  EXPECT_EQ(EXPORT(Vuno_VerificaEstadoGaveta)(), 0);
  device.printer().set_paper_out(true);
  EXPECT_EQ(EXPORT(Vuno_VerificaOnLine)(), 0);
  EXPECT_EQ(last(), "-10 Impressora offline ou desligada");
  EXPECT_EQ(EXPORT(Vuno_VerificaFimPapel)(), 2);
  device.printer().set_paper_out(false);
  device.offline = true;
  EXPECT_EQ(EXPORT(Vuno_VerificaOnLine)(), 0);
  EXPECT_EQ(EXPORT(Vuno_VerificaFimPapel)(), 2);
  EXPECT_NE(log().find("LeituraPorta:64 40"), std::string::npos);
}

TEST_F(VunoParallel, NoPrinterOnTheLinkIsOffline) {
  server.stop();
  LoadParallel();
  ::setenv(inpout32::kLinkEnv, (dir / "nobody.sock").c_str(), 1);
  EXPECT_EQ(EXPORT(Vuno_EnviaBuffer)("x"), 0);
  EXPECT_EQ(last(), "-10 Impressora offline ou desligada");
}

TEST_F(VunoParallel, MissingPortLibrary) {
  // A till installed without libinpout32.so: the driver alone in its folder.
  const std::filesystem::path alone = dir / "lib";
  std::filesystem::create_directory(alone);
  std::filesystem::copy_file(ORVIK_LIBRARY_PATH, alone / "liborvik.so.1");
  LoadParallel((alone / "liborvik.so.1").string());
  EXPECT_EQ(EXPORT(Vuno_EnviaBuffer)("x"), 0);
  EXPECT_EQ(last(), "-11 N\xE3o foi poss\xEDvel carregar INPOUT32.DLL");
  EXPECT_NE(log().find("N\xE3o foi poss\xEDvel carregar INPOUT32.DLL"), std::string::npos);
  std::lock_guard lock(device.mutex());
  EXPECT_EQ(server.requests(), 0u);
}

}  // namespace
}  // namespace orvik_testing
