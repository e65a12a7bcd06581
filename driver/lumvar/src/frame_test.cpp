#include "orvik/lumvar/frame.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/ini.h"
#include "orvik/core/fake_transport.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"

namespace orvik::frame {
namespace {

using core::FakeTransport;
using core::State;

class FrameRoutines : public ::testing::Test {
 protected:
  void SetUp() override {
    core::SetTransport(std::make_unique<FakeTransport>(&record));
    record.responder = [this](const std::string& frame) {
      frames.push_back(frame);
      const std::string packet = frame.substr(1, frame.find(';') - 1);
      return "{" + packet + reply_body + "9}";
    };
  }
  void TearDown() override { core::SetTransport(nullptr); }
  void StartWith(const std::string& ini) {
    folder.WriteIni(ini);
    core::Startup();
  }
  std::string Key(const char* section, const char* key) {
    return common::IniFile(folder.ini()).read(section, key, "<absent>");
  }

  core::TestFolder folder;
  FakeTransport::Record record;
  std::string reply_body = ";0;;";
  std::vector<std::string> frames;
  char buffer[256] = {};
};

TEST_F(FrameRoutines, RetornoImpressoraCopiesCodeAndMessage) {
  StartWith("");
  State().last_return_code = -5;
  State().last_message = "Erro Abertura Porta Serial";
  int code = 0;
  EXPECT_EQ(RetornoImpressora(&code, buffer), 1);
  EXPECT_EQ(code, -5);
  EXPECT_STREQ(buffer, "Erro Abertura Porta Serial");
  EXPECT_EQ(RetornoImpressora(nullptr, nullptr), 1);
}

TEST_F(FrameRoutines, LeArquivoRetornoReadsTheFirstLine) {
  StartWith("");
  std::strcpy(buffer, "untouched");
  State().last_return_code = 77;
  EXPECT_EQ(LeArquivoRetorno(buffer), 0);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(State().last_return_code, 77);
  folder.Write("Retorno.txt", "00012\r\nsecond\r\n");
  EXPECT_EQ(LeArquivoRetorno(buffer), 1);
  EXPECT_STREQ(buffer, "00012");
}

TEST_F(FrameRoutines, PortTestOpensAndClosesAgain) {
  StartWith("");
  State().st2 = 1;
  State().last_return_code = 5;
  EXPECT_EQ(AbrePortaSerial(), 1);
  EXPECT_EQ(State().st2, 0);
  EXPECT_EQ(State().last_return_code, 0);
  EXPECT_EQ(State().port1.handle, -1);
  EXPECT_EQ(record.closes, 1);
  EXPECT_TRUE(record.writes.empty());

  record.fail_open = true;
  EXPECT_EQ(AbrePortaSerial(), -5);
  EXPECT_EQ(State().last_return_code, -5);
  EXPECT_EQ(State().last_message, "Erro Abertura Porta Serial");
}

TEST_F(FrameRoutines, IniciaPortaWritesThePortAndRereadsIt) {
  StartWith("[Portas]\r\nCOM12=/dev/pts/99\r\n");
  struct {
    const char* arg;
    const char* porta;
    const char* device;
  } cases[] = {
      {"COM12", "COM12", "/dev/pts/99"},
      {"COM3", "COM3", "/dev/ttyS2"},
      {"COMx", "COM1", "/dev/ttyS0"},
      {"CO", "COM1", "/dev/ttyS0"},
      {nullptr, "COM1", "/dev/ttyS0"},
      // A device path is kept as it is.
      {"/dev/ttyUSB0", "/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"/dev/serial/by-id/usb-X-if00", "/dev/serial/by-id/usb-X-if00",
       "/dev/serial/by-id/usb-X-if00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg ? c.arg : "(null)");
    EXPECT_EQ(IniciaPorta(c.arg), 1);
    EXPECT_EQ(Key("Sistema", "Porta"), c.porta);
    EXPECT_EQ(record.opened.back(), c.device);
  }
}

TEST_F(FrameRoutines, FechaPortaSerialPerFamily) {
  StartWith("");
  ASSERT_TRUE(core::OpenPort(1));
  State().last_message = "x";
  EXPECT_EQ(FechaPortaSerial(), 1);
  EXPECT_EQ(State().port1.handle, -1);
  EXPECT_EQ(State().last_message, "");

  StartWith("[Sistema]\r\nModeloImp=ORVIK_VUNO_LPT\r\n");
  EXPECT_EQ(FechaPortaSerial(), 0);
  EXPECT_EQ(State().last_return_code, -3);
  EXPECT_EQ(State().last_message, "Nao Implementado: Orvik_FechaPortaSerial");

  StartWith("[Sistema]\r\nModeloImp=ORVIK_610\r\n");
  EXPECT_EQ(FechaPortaSerial(), 0);
  EXPECT_EQ(State().last_message, "Nao Implementado:Orvik_FechaPortaSerial");
  SetQvxClosePort([] { return 1; });
  EXPECT_EQ(FechaPortaSerial(), 1);
  SetQvxClosePort(nullptr);
}

TEST_F(FrameRoutines, ExecutaLeituraReturnsTheRawResults) {
  StartWith("[Sistema]\r\nModeloImp=ORVIK_VUNO_LPT\r\n");  // no family check for raw commands
  reply_body = ";0;ValorTexto=\"ABC\";";
  EXPECT_EQ(ExecutaLeitura("LeTexto", "NomeTexto=\"X\"", buffer), 1);
  EXPECT_STREQ(buffer, "ValorTexto=\"ABC\"");
  EXPECT_EQ(folder.Read("RETORNO.TXT"), "ValorTexto=\"ABC\"\r\n");
  EXPECT_EQ(ExecutaComando("AbreGaveta", nullptr), 1);
  EXPECT_NE(frames.back().find(";AbreGaveta;;"), std::string::npos);

  // A failed read leaves no results of an earlier reply behind.
  record.fail_open = true;
  EXPECT_EQ(ExecutaLeitura("LeTexto", nullptr, buffer), -5);
  EXPECT_STREQ(buffer, "");
}

TEST_F(FrameRoutines, IdentifiersAndSpacing) {
  StartWith("");
  EXPECT_EQ(ProgramaOperador("Maria"), 1);
  EXPECT_EQ(State().operator_name, "Maria");
  EXPECT_EQ(ProgramaOperador(nullptr), 1);
  EXPECT_EQ(State().operator_name, "");
  EXPECT_EQ(ProgramaIdAplicativoMFD("PDV 2.0"), 1);
  EXPECT_EQ(State().application_id, "PDV 2.0");
  EXPECT_EQ(Key("Sistema", "IdAplicativo"), "PDV 2.0");

  struct {
    int lines, stored;
  } cases[] = {{45, 30}, {30, 30}, {0, 0}, {5, 5}};
  for (const auto& c : cases) {
    State().ack = 0;
    State().st1 = 9;
    EXPECT_EQ(LinhasEntreCupons(c.lines), 1);
    EXPECT_EQ(State().line_spacing, c.stored);
    EXPECT_EQ(Key("Sistema", "EspacamentoDocumentos"), std::to_string(c.stored));
    EXPECT_EQ(State().ack, 6);
    EXPECT_EQ(State().st1, 0);
  }
  int flag = 5;
  EXPECT_EQ(VerificaReducaoZAutomatica(&flag), 1);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(VerificaReducaoZAutomatica(nullptr), 1);
}

TEST_F(FrameRoutines, ProgramaBaudRate) {
  StartWith("");
  for (const char* bad : std::vector<const char*>{"4800", "", "115200 ", nullptr}) {
    EXPECT_EQ(ProgramaBaudRate(bad), 0);
    EXPECT_EQ(State().last_return_code, -7);
    EXPECT_EQ(State().last_message,
              "Valores aceitos para esta fun\xe7\xe3o[9600,19200,38400,57600,115200]");
  }
  EXPECT_TRUE(record.writes.empty());
  EXPECT_EQ(Key("Sistema", "BAUD"), "<absent>");

  EXPECT_EQ(ProgramaBaudRate("38400"), 1);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_NE(frames[0].find(";EscreveInteiro;NomeInteiro=\"BaudRate\" ValorInteiro=38400;"),
            std::string::npos);
  EXPECT_EQ(Key("Sistema", "BAUD"), "38400");

  reply_body = ";5;NomeErro=\"X\";";
  EXPECT_EQ(ProgramaBaudRate("9600"), 0);
  EXPECT_EQ(Key("Sistema", "BAUD"), "38400");

  StartWith("[Sistema]\r\nModeloImp=ORVIK_VUNO_SERIAL\r\n");
  EXPECT_EQ(ProgramaBaudRate("9600"), 0);
  EXPECT_EQ(State().last_return_code, -3);
  EXPECT_EQ(State().last_message, "Nao Implementado: Orvik_ProgramaBaudRate");
}

}  // namespace
}  // namespace orvik::frame
