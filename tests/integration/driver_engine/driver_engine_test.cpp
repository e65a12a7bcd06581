#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <map>
#include <thread>

#include "common/ini.h"
#include "orvik/core/line_speed.h"
#include "orvik/core/port.h"
#include "orvik/core/pty_printer.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"
#include "orvik/lumvar/engine.h"
#include "orvik/lumvar/frame.h"

namespace {

using orvik::core::PtyPrinter;
using orvik::core::State;
using orvik::lumvar::ExecuteLumvar;

// A printer that answers every frame at once: by default success with empty results,
// otherwise the code and results set for the command.
class OverPty : public ::testing::Test {
 protected:
  OverPty()
      : printer([this](const PtyPrinter::Frame& f) -> std::string {
          std::lock_guard<std::mutex> lock(mutex);
          auto raw = raw_answers.find(f.command);
          if (raw != raw_answers.end()) return raw->second;
          auto it = answers.find(f.command);
          if (it == answers.end()) return PtyPrinter::Reply(f, "0", "");
          return PtyPrinter::Reply(f, it->second.first, it->second.second);
        }) {}

  void StartWith(const std::string& sistema, const std::string& more = "") {
    folder.WriteIni("[Sistema]\r\n" + sistema + "[Portas]\r\nCOM1=" + printer.slave_name() +
                    "\r\n" + more);
    orvik::core::Startup();
  }
  void Answer(const std::string& command, const std::string& code, const std::string& results) {
    std::lock_guard<std::mutex> lock(mutex);
    answers[command] = {code, results};
  }
  void AnswerRaw(const std::string& command, const std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    raw_answers[command] = bytes;
  }
  std::string Key(const char* section, const char* key) {
    return common::IniFile(folder.ini()).read(section, key, "<absent>");
  }

  orvik::core::TestFolder folder;
  std::mutex mutex;
  std::map<std::string, std::pair<std::string, std::string>> answers;
  std::map<std::string, std::string> raw_answers;
  PtyPrinter printer;
};

TEST_F(OverPty, ExactFrameOnTheLine) {
  StartWith("", "[Flags]\r\nNumPkt=11\r\n");
  Answer("LeIndicador", "0", "ValorNumericoIndicador=1");
  EXPECT_EQ(ExecuteLumvar("LeIndicador", "NomeIndicador=\"SemPapel\""), 1);
  const auto frames = printer.frames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].text, "{12;LeIndicador;NomeIndicador=\"SemPapel\";40}");
  EXPECT_EQ(State().read_value, "1");
  EXPECT_EQ(Key("Flags", "NumPkt"), "12");
  EXPECT_EQ(State().port1.handle, -1);
}

TEST_F(OverPty, PacketNumbersWrapAndStartAtTwo) {
  StartWith("", "[Flags]\r\nNumPkt=255\r\n");
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 1);
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 1);
  StartWith("");
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 1);
  const auto frames = printer.frames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].packet, "1");
  EXPECT_EQ(frames[1].packet, "2");
  EXPECT_EQ(frames[2].packet, "2");
}

// A pseudo-terminal keeps the speed and the flow-control flag the driver sets, but the
// kernel forces 8 bits without parity on it, so parity is checked against the fake
// transport in the port layer's unit tests instead.
TEST_F(OverPty, LineSettingsPerModelFamily) {
  struct {
    const char* sistema;
    speed_t speed;
    bool cts_flow;
  } cases[] = {
      {"BAUD=14400\r\n", B115200, true},
      {"BAUD=19200\r\n", B19200, true},
      {"ModeloImp=ORVIK_610\r\nBAUD=115200\r\n", B9600, true},
      {"ModeloImp=ORVIK_820\r\nBAUD=57600\r\n", B9600, true},
      {"ModeloImp=ORVIK_VUNO_SERIAL\r\nBAUD=38400\r\n", B38400, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sistema);
    StartWith(c.sistema);
    ASSERT_TRUE(orvik::core::OpenPort(1));
    EXPECT_TRUE(orvik::core::ConfigurePort(1));
    termios line{};
    // The master reports the slave's settings.
    ASSERT_EQ(::tcgetattr(printer.master(), &line), 0);
    orvik::core::ClosePort(1);
    EXPECT_EQ(::cfgetospeed(&line), c.speed);
    EXPECT_EQ(::cfgetispeed(&line), c.speed);
    EXPECT_EQ((line.c_cflag & CRTSCTS) != 0, c.cts_flow);
    EXPECT_EQ(line.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
  }
  // A speed termios has no constant for is set as configured for the serial non-fiscal
  // printer.
  StartWith("ModeloImp=ORVIK_VUNO_SERIAL\r\nBAUD=14400\r\n");
  ASSERT_TRUE(orvik::core::OpenPort(1));
  EXPECT_TRUE(orvik::core::ConfigurePort(1));
  EXPECT_EQ(orvik::core::ReadLineSpeed(printer.master()), 14400u);
  orvik::core::ClosePort(1);
  StartWith("ModeloImp=ORVIK_VUNO_SERIAL\r\nBAUD=fast\r\n");
  ASSERT_TRUE(orvik::core::OpenPort(1));
  EXPECT_FALSE(orvik::core::ConfigurePort(1));
  orvik::core::ClosePort(1);

  // And as the printer sees them while a command is under way.
  StartWith("BAUD=14400\r\n");
  ExecuteLumvar("AbreGaveta", "");
  const auto frames = printer.frames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(::cfgetospeed(&frames[0].line), static_cast<speed_t>(B115200));
  EXPECT_NE(frames[0].line.c_cflag & CRTSCTS, 0u);
}

TEST_F(OverPty, ReadValuesFromReplies) {
  StartWith("");
  struct {
    const char* command;
    const char* results;
    int filter;
    const char* value;
  } cases[] = {
      {"LeInteiro", "ValorInteiro=-15", 0, "15"},
      {"LeMoeda", "ValorMoeda=12345", 0, "123"},
      {"LeData", "ValorData=#09/12/2026#", 0, "09122026"},
      {"LeTexto", "ValorTexto=\"Loja \xc1gua Viva\"", 0, "Loja \xc1gua Viva"},
      {"LeAliquota", "AliquotaICMS=N PercentualAliquota=5,00", 3, ""},
      {"LeAliquota", "AliquotaICMS=N PercentualAliquota=5,00", 1, "5,00"},
      {"LeAliquota", "AliquotaICMS=Y PercentualAliquota=18,00", 4, "18,00"},
  };
  for (const auto& c : cases) {
    Answer(c.command, "0", c.results);
    State().rate_kind_filter = c.filter;
    EXPECT_EQ(ExecuteLumvar(c.command, ""), 1) << c.results;
    EXPECT_EQ(State().read_value, c.value) << c.results;
    EXPECT_EQ(State().raw_result, c.results);
  }
}

TEST_F(OverPty, PrinterErrors) {
  StartWith("");
  Answer("AbreCupomFiscal", "", "x");
  EXPECT_EQ(ExecuteLumvar("AbreCupomFiscal", ""), 0);
  EXPECT_EQ(State().last_return_code, 9999);
  EXPECT_EQ(State().st2, 1);

  Answer("VendeItem", "2011",
         "NomeErro=\"ErroCMDForaSequencia\" Circunstancia=\"Nenhum cupom aberto\"");
  EXPECT_EQ(ExecuteLumvar("VendeItem", "CodProduto=\"1\""), 0);
  EXPECT_EQ(State().last_return_code, 2011);
  EXPECT_EQ(State().last_message, "ErroCMDForaSequencia - Nenhum cupom aberto");
  EXPECT_FALSE(State().busy);
  EXPECT_EQ(State().port1.handle, -1);
}

TEST_F(OverPty, MalformedRepliesGiveAResultNotACrash) {
  StartWith("");
  struct {
    std::string bytes;
    int result;
    int code;
  } cases[] = {
      {"}", 0, 9999},                                       // no separators at all
      {"garbage;0;ValorInteiro=4;}", 1, 0},                 // no opening brace
      {std::string("{3;0;\x01\x00\xff\x7f;4}", 12), 1, 0},  // binary results
      {"{3;0;ValorInteiro=7}", 1, 0},                       // no length field
  };
  for (const auto& c : cases) {
    AnswerRaw("LeInteiro", c.bytes);
    EXPECT_EQ(ExecuteLumvar("LeInteiro", ""), c.result) << c.bytes;
    EXPECT_EQ(State().last_return_code, c.code) << c.bytes;
    EXPECT_FALSE(State().busy);
  }
}

TEST_F(OverPty, ReplyInPiecesAndLargerThanOneRead) {
  StartWith("");
  const std::string text(5000, 'x');
  Answer("LeImpressao", "0", "TextoImpressao=\"" + text + "\"");
  EXPECT_EQ(ExecuteLumvar("LeImpressao", ""), 1);
  EXPECT_EQ(State().read_value, text);
}

TEST_F(OverPty, LongFrameArrivesWhole) {
  StartWith("");
  const std::string params = "TextoLivre=\"" + std::string(400, 'z') + "\"";
  EXPECT_EQ(ExecuteLumvar("ImprimeTexto", params), 1);
  const auto frames = printer.frames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].text, orvik::lumvar::BuildFrame(2, "ImprimeTexto", params));

  // An over-long text from the host goes out whole as well.
  const std::string huge = "TextoLivre=\"" + std::string(100000, 'h') + "\"";
  EXPECT_EQ(orvik::frame::ExecutaComando("ImprimeTexto", huge.c_str()), 1);
  const auto after = printer.frames();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[1].parameters, huge);
}

TEST_F(OverPty, GerencialLeftOpenSequence) {
  StartWith("EspacamentoDocumentos=2\r\n", "[Flags]\r\nGerencial=1\r\n");
  orvik::frame::ProgramaOperador("Jo\xe3o");
  EXPECT_EQ(ExecuteLumvar("LeIndicador", "NomeIndicador=\"X\""), 1);
  EXPECT_EQ(ExecuteLumvar("ImprimeTexto", "TextoLivre=\"a\""), 1);
  EXPECT_EQ(printer.commands(), (std::vector<std::string>{"LeIndicador", "EncerraDocumento",
                                                          "AvancaPapel", "ImprimeTexto"}));
  const auto frames = printer.frames();
  EXPECT_EQ(frames[1].parameters, "Operador=\"Jo\xe3o\"");
  EXPECT_EQ(frames[2].parameters, "Avanco=60");
  EXPECT_EQ(Key("Flags", "Gerencial"), "0");
}

TEST_F(OverPty, AutomaticMonthlyReading) {
  StartWith("LMFAutomatico=1\r\n", "[Flags]\r\nLMFAUT_UltimaData=12/2025\r\n");
  Answer("LeData", "0", "ValorData=#03/03/2026#");
  Answer("LeInteiro", "0", "ValorInteiro=0");
  EXPECT_EQ(ExecuteLumvar("AbreCupomFiscal", ""), 1);
  EXPECT_EQ(ExecuteLumvar("VendeItem", ""), 1);
  EXPECT_EQ(printer.commands(), (std::vector<std::string>{"LeData", "LeInteiro", "EmiteLeituraMF",
                                                          "AbreCupomFiscal", "VendeItem"}));
  EXPECT_EQ(printer.frames()[2].parameters,
            "LeituraSimplificada=false DataInicial=#01/02/2026# DataFinal=#31/02/2026#");
  EXPECT_EQ(Key("Flags", "LMFAUT_UltimaData"), "02/2026");

  // A new process with the month stored costs one LeData.
  printer.clear();
  StartWith("LMFAutomatico=1\r\n", "[Flags]\r\nLMFAUT_UltimaData=02/2026\r\n");
  ExecuteLumvar("AbreCupomFiscal", "");
  ExecuteLumvar("VendeItem", "");
  EXPECT_EQ(printer.commands(),
            (std::vector<std::string>{"LeData", "AbreCupomFiscal", "VendeItem"}));
}

TEST_F(OverPty, PortThatCannotBeOpened) {
  folder.WriteIni("[Portas]\r\nCOM1=" + folder.slash() + "no-such-device\r\n");
  orvik::core::Startup();
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), -5);
  EXPECT_EQ(State().last_return_code, -5);
  EXPECT_EQ(State().last_message, "Erro Abertura Porta Serial");
  EXPECT_EQ(orvik::frame::AbrePortaSerial(), -5);
  // A plain file is not a line either.
  folder.Write("plain", "x");
  folder.WriteIni("[Portas]\r\nCOM1=" + folder.slash() + "plain\r\n");
  orvik::core::Startup();
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), -5);
}

TEST_F(OverPty, PortInUseByAnotherDriverCannotBeOpened) {
  StartWith("");
  const int other = ::open(printer.slave_name().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), -5);
  EXPECT_TRUE(printer.frames().empty());
  ::close(other);
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 1);
}

TEST_F(OverPty, FrameRoutinesOverTheLine) {
  StartWith("");
  EXPECT_EQ(orvik::frame::AbrePortaSerial(), 1);
  char answer[128] = {};
  Answer("LeTexto", "0", "ValorTexto=\"BE0506\"");
  EXPECT_EQ(orvik::frame::ExecutaLeitura("LeTexto", "NomeTexto=\"NumeroSerie\"", answer), 1);
  EXPECT_STREQ(answer, "ValorTexto=\"BE0506\"");
  EXPECT_EQ(orvik::frame::ProgramaBaudRate("57600"), 1);
  EXPECT_EQ(Key("Sistema", "BAUD"), "57600");
  // The next command runs at the new speed.
  ExecuteLumvar("AbreGaveta", "");
  const auto frames = printer.frames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(::cfgetospeed(&frames[2].line), static_cast<speed_t>(B57600));
}

}  // namespace
