#include "orvik/lumvar/engine.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "common/ini.h"
#include "orvik/core/config.h"
#include "orvik/core/fake_transport.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"

namespace orvik::lumvar {
namespace {

using core::FakeTransport;
using core::State;

// The fields of a frame "{pkt;command;parameters;len}".
struct SentFrame {
  std::string packet, command, parameters;
};

SentFrame Parse(const std::string& frame) {
  SentFrame f;
  const size_t a = frame.find(';');
  const size_t b = frame.find(';', a + 1);
  const size_t c = frame.rfind(';');
  f.packet = frame.substr(1, a - 1);
  f.command = frame.substr(a + 1, b - a - 1);
  f.parameters = frame.substr(b + 1, c - b - 1);
  return f;
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    core::SetTransport(std::make_unique<FakeTransport>(&record));
    record.responder = [this](const std::string& frame) -> std::string {
      if (frame.empty() || frame.back() != '}') return {};  // first half of a long frame
      const SentFrame f = Parse(frame);
      sent.push_back(f);
      auto it = answers.find(f.command);
      const std::string body = it == answers.end() ? ";0;;" : it->second;
      return "{" + f.packet + body + "9}";
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
  std::vector<std::string> Commands() const {
    std::vector<std::string> names;
    for (const SentFrame& f : sent) names.push_back(f.command);
    return names;
  }

  core::TestFolder folder;
  FakeTransport::Record record;
  std::map<std::string, std::string> answers;  // command -> ";code;results;"
  std::vector<SentFrame> sent;
};

TEST(Frame, LayoutAndLength) {
  EXPECT_EQ(BuildFrame(12, "LeIndicador", "NomeIndicador=\"SemPapel\""),
            "{12;LeIndicador;NomeIndicador=\"SemPapel\";40}");
  EXPECT_EQ(BuildFrame(1, "EmiteLeituraX", ""), "{1;EmiteLeituraX;;17}");
}

TEST_F(Engine, TimeoutsPerCommand) {
  StartWith("[Sistema]\r\nTimeOutRedZ=90\r\nTimeOutComandos=7\r\n");
  EXPECT_EQ(TimeoutFor("EmiteReducaoZ", ""), 90);
  EXPECT_EQ(TimeoutFor("EmiteLeituraMF", "x"), 90);
  EXPECT_EQ(TimeoutFor("LeTexto", "NomeTexto=\"CMC7Documento\""), 40);
  EXPECT_EQ(TimeoutFor("LeTexto", "NomeTexto=\"Cliche\""), 7);
  EXPECT_EQ(TimeoutFor("EmiteLeituraFitaDetalhe", ""), 60);
  EXPECT_EQ(TimeoutFor("LeImpressao", ""), 40);
  EXPECT_EQ(TimeoutFor("VendeItem", ""), 7);
}

TEST_F(Engine, PacketNumbersAdvanceWrapAndArePersistedFirst) {
  struct {
    const char* ini;
    const char* packet;
  } cases[] = {
      {"", "2"},
      {"[Flags]\r\nNumPkt=11\r\n", "12"},
      {"[Flags]\r\nNumPkt=254\r\n", "255"},
      {"[Flags]\r\nNumPkt=255\r\n", "1"},
      {"[Flags]\r\nNumPkt=x\r\n", "2"},
      {"[Flags]\r\nNumPkt=-9\r\n", "1"},
      {"[Flags]\r\nNumPkt=4000\r\n", "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini);
    sent.clear();
    StartWith(c.ini);
    EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].packet, c.packet);
    EXPECT_EQ(Key("Flags", "NumPkt"), c.packet);
  }
  // A command that cannot even open the port still uses its number.
  record.fail_open = true;
  StartWith("[Flags]\r\nNumPkt=40\r\n");
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), -5);
  EXPECT_EQ(Key("Flags", "NumPkt"), "41");
}

// The packet number is read from the file on every command, whoever changed it since.
TEST_F(Engine, PacketNumberFollowsTheFileBetweenCommands) {
  StartWith("[Sistema]\r\nPorta=COM1\r\n[Flags]\r\nNumPkt=20\r\n");
  ExecuteLumvar("AbreGaveta", "");
  ExecuteLumvar("AbreGaveta", "");
  // Edited in place by another program.
  folder.WriteIni("[Sistema]\r\nPorta=COM1\r\n[Flags]\r\nNumPkt=40\r\n");
  ExecuteLumvar("AbreGaveta", "");
  // Replaced by a new file renamed over it.
  folder.Write("ORVIK.new", "[Flags]\r\nNumPkt=7\r\n");
  std::filesystem::rename(folder.path() / "ORVIK.new", folder.ini());
  ExecuteLumvar("AbreGaveta", "");
  ExecuteLumvar("AbreGaveta", "");
  // Deleted: the default applies and the file comes back with the number used.
  std::filesystem::remove(folder.ini());
  ExecuteLumvar("AbreGaveta", "");
  std::vector<std::string> packets;
  for (const SentFrame& f : sent) packets.push_back(f.packet);
  EXPECT_EQ(packets, (std::vector<std::string>{"21", "22", "41", "8", "9", "2"}));
  EXPECT_EQ(folder.Read("ORVIK.INI"), "[Flags]\r\nNumPkt=2\r\n");
}

// Without $ORVIK_INI the file is looked up on every command: a new one higher in the
// order takes over, and when it goes the next one is used again.
TEST_F(Engine, PacketNumberFollowsTheLookedUpFile) {
  StartWith("");
  core::TestFolder high, low;
  ::unsetenv("ORVIK_INI");
  core::SetConfigFolders({high.path() / "orvik", low.path()});
  low.WriteIni("[Flags]\r\nNumPkt=30\r\n");
  ExecuteLumvar("AbreGaveta", "");
  std::filesystem::create_directory(high.path() / "orvik");
  high.Write("orvik/Orvik.ini", "[Flags]\r\nNumPkt=100\r\n");
  ExecuteLumvar("AbreGaveta", "");
  ExecuteLumvar("AbreGaveta", "");
  std::filesystem::remove(high.path() / "orvik/Orvik.ini");
  ExecuteLumvar("AbreGaveta", "");
  core::SetConfigFolders({});
  std::vector<std::string> packets;
  for (const SentFrame& f : sent) packets.push_back(f.packet);
  EXPECT_EQ(packets, (std::vector<std::string>{"31", "101", "102", "32"}));
  EXPECT_EQ(low.Read("ORVIK.INI"), "[Flags]\r\nNumPkt=32\r\n");
}

TEST_F(Engine, SuccessClassificationAndOutputs) {
  StartWith("");
  answers["LeInteiro"] = ";0;ValorInteiro=-15;";
  State().last_message = "old";
  State().st1 = 3;
  EXPECT_EQ(ExecuteLumvar("LeInteiro", "NomeInteiro=\"X\""), 1);
  EXPECT_EQ(State().read_value, "15");
  EXPECT_EQ(State().raw_result, "ValorInteiro=-15");
  EXPECT_EQ(State().last_return_code, 0);
  EXPECT_EQ(State().last_message, "");
  EXPECT_EQ(State().ack, 6);
  EXPECT_EQ(State().st1, 0);
  EXPECT_EQ(State().st2, 0);
  // A command that is not a read leaves the read value alone.
  answers["AbreGaveta"] = ";0;ValorInteiro=99;";
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 1);
  EXPECT_EQ(State().read_value, "15");
  EXPECT_EQ(State().raw_result, "ValorInteiro=99");
  // Port opened and closed around each command, busy flag cleared.
  EXPECT_EQ(record.open_handles, 0);
  EXPECT_EQ(record.closes, 2);
  EXPECT_FALSE(State().busy);
  EXPECT_EQ(State().port1.handle, -1);
}

TEST_F(Engine, PrinterErrors) {
  struct {
    const char* body;
    int code;
    const char* message;
  } cases[] = {
      {";8;NomeErro=\"ErroCMDForaSequencia\" Circunstancia=\"Cupom aberto\";", 8,
       "ErroCMDForaSequencia - Cupom aberto"},
      {";;x;", 9999, " - "},
      {";E1;NomeErro=\"A\";", 9999, "A - "},
      {";-7;;", -7, " - "},
  };
  StartWith("");
  for (const auto& c : cases) {
    answers["AbreCupomFiscal"] = c.body;
    State().st2 = 0;
    EXPECT_EQ(ExecuteLumvar("AbreCupomFiscal", ""), 0) << c.body;
    EXPECT_EQ(State().last_return_code, c.code) << c.body;
    EXPECT_EQ(State().last_message, c.message) << c.body;
    EXPECT_EQ(State().st2, 1);
    EXPECT_FALSE(State().busy);
  }
}

TEST_F(Engine, LongFramesGoOutIn255AndTheRest) {
  StartWith("");
  // {2;X;<params>;len} : 1 + 2 + 2 + params + 1 + 3 + 1 characters.
  const std::string p245(245, 'a');
  EXPECT_EQ(BuildFrame(2, "X", p245).size(), 255u);
  ExecuteLumvar("X", p245);
  ASSERT_EQ(record.writes.size(), 1u);
  EXPECT_EQ(record.writes[0].size(), 255u);

  record.writes.clear();
  const std::string p246(246, 'a');
  ExecuteLumvar("X", p246);
  ASSERT_EQ(record.writes.size(), 2u);
  EXPECT_EQ(record.writes[0].size(), 255u);
  EXPECT_EQ(record.writes[1].size(), 1u);
  EXPECT_EQ(record.writes[0] + record.writes[1], BuildFrame(3, "X", p246));
}

TEST_F(Engine, PortThatCannotBeOpened) {
  StartWith("");
  record.fail_open = true;
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), -5);
  EXPECT_EQ(State().last_return_code, -5);
  EXPECT_EQ(State().last_message, "Erro Abertura Porta Serial");
  EXPECT_FALSE(State().busy);
  EXPECT_TRUE(record.writes.empty());
}

TEST_F(Engine, CtsThatNeverRises) {
  StartWith("");
  record.cts = false;
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 0);
  EXPECT_EQ(State().last_return_code, -1);
  EXPECT_EQ(State().last_message, "Falha de comunica\xe7\xe3o(CTS)");
  EXPECT_TRUE(record.writes.empty());
  EXPECT_EQ(record.open_handles, 0);
}

TEST_F(Engine, BusyFlagTurnsANestedCommandIntoANoOp) {
  StartWith("");
  State().busy = true;
  State().last_return_code = 42;
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 1);
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(State().last_return_code, 42);
  EXPECT_EQ(Key("Flags", "NumPkt"), "<absent>");
}

TEST_F(Engine, KeepPortOpenLeavesThePortToTheCapture) {
  StartWith("");
  ASSERT_TRUE(core::OpenPort(1));
  State().keep_port_open = true;
  EXPECT_EQ(ExecuteLumvar("LeImpressao", ""), 1);
  EXPECT_EQ(ExecuteLumvar("LeImpressao", ""), 1);
  EXPECT_EQ(record.opened.size(), 1u);
  EXPECT_EQ(record.closes, 0);
  EXPECT_NE(State().port1.handle, -1);
  State().keep_port_open = false;
  core::ClosePort(1);
}

TEST_F(Engine, GerencialLeftOpenIsClosedBeforeOtherCommands) {
  StartWith("[Sistema]\r\nEspacamentoDocumentos=3\r\n[Flags]\r\nGerencial=1\r\n");
  State().operator_name = "Ana";
  EXPECT_EQ(ExecuteLumvar("LeTexto", "NomeTexto=\"X\""), 1);
  EXPECT_EQ(Commands(), std::vector<std::string>{"LeTexto"});
  EXPECT_EQ(Key("Flags", "Gerencial"), "1");

  sent.clear();
  EXPECT_EQ(ExecuteLumvar("ImprimeTexto", "TextoLivre=\"a\""), 1);
  EXPECT_EQ(Commands(),
            (std::vector<std::string>{"EncerraDocumento", "AvancaPapel", "ImprimeTexto"}));
  EXPECT_EQ(sent[0].parameters, "Operador=\"Ana\"");
  EXPECT_EQ(sent[1].parameters, "Avanco=90");
  EXPECT_EQ(Key("Flags", "Gerencial"), "0");
  EXPECT_EQ(State().gerencial_open, 0);

  sent.clear();
  ExecuteLumvar("ImprimeTexto", "");
  EXPECT_EQ(Commands(), std::vector<std::string>{"ImprimeTexto"});
}

TEST_F(Engine, GerencialCloseWithCutterAndNoFeed) {
  StartWith(
      "[Sistema]\r\nModeloImp=ORVIK_R7\r\nHabilitaCorte=1\r\nEspacamentoDocumentos=0\r\n"
      "[Flags]\r\nGerencial=1\r\n");
  ExecuteLumvar("AbreCupomFiscal", "");
  EXPECT_EQ(Commands(),
            (std::vector<std::string>{"EncerraDocumento", "CortaPapel", "AbreCupomFiscal"}));
  EXPECT_EQ(sent[1].parameters, "TipoCorte=0");
}

TEST_F(Engine, GerencialCloseFailingForLackOfCommunicationStopsTheCommand) {
  StartWith("[Sistema]\r\nEspacamentoDocumentos=0\r\n[Flags]\r\nGerencial=1\r\n");
  record.fail_open = true;
  EXPECT_EQ(ExecuteLumvar("AbreCupomFiscal", ""), -5);
  // -5 is not -1: the close counts as done and the command itself was tried.
  EXPECT_EQ(Key("Flags", "Gerencial"), "0");

  StartWith("[Sistema]\r\nEspacamentoDocumentos=0\r\n[Flags]\r\nGerencial=1\r\n");
  record.fail_open = false;
  record.cts = false;
  EXPECT_EQ(ExecuteLumvar("AbreCupomFiscal", ""), 0);
  EXPECT_EQ(State().last_return_code, -1);
  EXPECT_TRUE(record.writes.empty());
  EXPECT_EQ(Key("Flags", "Gerencial"), "1");
}

class AutomaticReading : public Engine {
 protected:
  void Start(const std::string& flags) {
    StartWith("[Sistema]\r\nLMFAutomatico=1\r\n[Flags]\r\n" + flags);
    answers["LeData"] = ";0;ValorData=#15/01/2026#;";
    answers["LeInteiro"] = ";0;ValorInteiro=0;";
  }
};

TEST_F(AutomaticReading, MonthAlreadyReadCostsOneLeDataOnce) {
  Start("LMFAUT_UltimaData=12/2025\r\n");
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 1);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"LeData", "AbreGaveta"}));
  EXPECT_EQ(sent[0].parameters, "NomeData=\"Data\"");
  sent.clear();
  ExecuteLumvar("AbreGaveta", "");
  EXPECT_EQ(Commands(), std::vector<std::string>{"AbreGaveta"});
}

TEST_F(AutomaticReading, ReadsTheLastMonthOnceAndRemembersIt) {
  Start("LMFAUT_UltimaData=11/2025\r\n");
  ExecuteLumvar("LeIndicador", "");  // reads never trigger it
  EXPECT_EQ(Commands(), std::vector<std::string>{"LeIndicador"});
  sent.clear();
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 1);
  EXPECT_EQ(Commands(),
            (std::vector<std::string>{"LeData", "LeInteiro", "EmiteLeituraMF", "AbreGaveta"}));
  EXPECT_EQ(sent[1].parameters, "NomeInteiro=\"TipoDocEmEmissao\"");
  EXPECT_EQ(sent[2].parameters,
            "LeituraSimplificada=false DataInicial=#01/12/2025# DataFinal=#31/12/2025#");
  EXPECT_EQ(Key("Flags", "LMFAUT_UltimaData"), "12/2025");
  sent.clear();
  ExecuteLumvar("AbreGaveta", "");
  EXPECT_EQ(Commands(), std::vector<std::string>{"AbreGaveta"});
}

TEST_F(AutomaticReading, NotBeforeAZReduction) {
  Start("");
  ExecuteLumvar("EmiteReducaoZ", "");
  EXPECT_EQ(Commands(), std::vector<std::string>{"EmiteReducaoZ"});
}

TEST_F(AutomaticReading, OpenDocumentPostponesTheReading) {
  Start("");
  answers["LeInteiro"] = ";0;ValorInteiro=2;";
  ExecuteLumvar("VendeItem", "");
  ExecuteLumvar("VendeItem", "");
  EXPECT_EQ(Commands(), (std::vector<std::string>{"LeData", "LeInteiro", "VendeItem", "LeData",
                                                  "LeInteiro", "VendeItem"}));
  EXPECT_EQ(Key("Flags", "LMFAUT_UltimaData"), "<absent>");
}

TEST_F(AutomaticReading, FailuresOfTheReading) {
  // 8089: the month stays unrecorded and the command is not sent.
  Start("");
  answers["EmiteLeituraMF"] = ";8089;NomeErro=\"X\";";
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 0);
  EXPECT_EQ(State().last_return_code, 8089);
  EXPECT_EQ(Key("Flags", "LMFAUT_UltimaData"), "<absent>");
  EXPECT_EQ(Commands().back(), "EmiteLeituraMF");
  sent.clear();
  ExecuteLumvar("AbreGaveta", "");  // done for this process all the same
  EXPECT_EQ(Commands(), std::vector<std::string>{"AbreGaveta"});

  // Any other failure records the month and still stops the command.
  sent.clear();
  Start("");
  answers["EmiteLeituraMF"] = ";12;NomeErro=\"X\";";
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 0);
  EXPECT_EQ(Key("Flags", "LMFAUT_UltimaData"), "12/2025");
  EXPECT_EQ(Commands().back(), "EmiteLeituraMF");

  // LeData failing stops everything and the next command tries again.
  sent.clear();
  Start("");
  answers["LeData"] = ";3;;";
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), 0);
  EXPECT_EQ(Commands(), std::vector<std::string>{"LeData"});
  EXPECT_FALSE(State().lmf_running);
}

TEST_F(AutomaticReading, UnreadableDateFallsBackToJanuary2010) {
  Start("");
  answers["LeData"] = ";0;ValorData=#xx#;";
  ExecuteLumvar("AbreGaveta", "");
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent[2].parameters,
            "LeituraSimplificada=false DataInicial=#01/12/2009# DataFinal=#31/12/2009#");
}

TEST_F(Engine, FeedAfterDocument) {
  struct {
    const char* ini;
    std::vector<std::string> commands;
  } cases[] = {
      {"[Sistema]\r\nEspacamentoDocumentos=2\r\n", {"AvancaPapel"}},
      {"[Sistema]\r\nEspacamentoDocumentos=0\r\n", {}},
      {"[Sistema]\r\nModeloImp=ORVIK_QM4100XR\r\nHabilitaCorte=1\r\n",
       {"AvancaPapel", "CortaPapel"}},
      {"[Sistema]\r\nModeloImp=ORVIK_R7\r\nHabilitaCorte=0\r\n", {"AvancaPapel"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ini);
    sent.clear();
    StartWith(c.ini);
    FeedAfterDocument();
    EXPECT_EQ(Commands(), c.commands);
  }
  StartWith("[Sistema]\r\nEspacamentoDocumentos=2\r\n");
  sent.clear();
  FeedAfterDocument();
  EXPECT_EQ(sent[0].parameters, "Avanco=60");
}

class NetworkMode : public Engine {};

TEST_F(NetworkMode, MissingPathFailsAtOnce) {
  StartWith("[Sistema]\r\nConfigRede=1\r\nPath=" + folder.slash() + "nowhere\r\n");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ExecuteLumvar("AbreGaveta", ""), -8);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(State().last_return_code, -8);
  EXPECT_EQ(State().last_message, "Erro no Diretorio especificado em Path");
  EXPECT_TRUE(record.opened.empty());
  EXPECT_FALSE(State().busy);
}

TEST_F(NetworkMode, HalfWrittenStatusFileIsNotTakenAsTheReply) {
  StartWith("[Sistema]\r\nConfigRede=1\r\n");
  std::thread relay([this] {
    for (int i = 0; i < 5000 && !std::filesystem::exists(folder.path() / "COMANDO.TXT"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    folder.Write("STATUS.TXT", "{2;0;Valor");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    folder.Write("STATUS.TXT", "{2;0;ValorInteiro=31;9}\r\n");
  });
  EXPECT_EQ(ExecuteLumvar("LeInteiro", ""), 1);
  relay.join();
  EXPECT_EQ(State().read_value, "31");
}

TEST_F(NetworkMode, ExchangeThroughCommandAndStatusFiles) {
  StartWith("[Sistema]\r\nConfigRede=1\r\n[Flags]\r\nNumPkt=6\r\n");
  folder.Write("STATUS.TXT", "{1;0;stale;9}\r\n");  // a left-over reply must not be taken
  std::thread relay([this] {
    std::string text;
    for (int i = 0; i < 5000; ++i) {
      text = folder.Read("COMANDO.TXT");
      if (text.size() > 2 && text.substr(text.size() - 2) == "\r\n") break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(text, BuildFrame(7, "LeInteiro", "NomeInteiro=\"X\"") + "\r\n");
    folder.Write("STATUS.TXT.part", "{7;0;ValorInteiro=31;9}\r\n");
    std::filesystem::rename(folder.path() / "STATUS.TXT.part", folder.path() / "STATUS.TXT");
  });
  EXPECT_EQ(ExecuteLumvar("LeInteiro", "NomeInteiro=\"X\""), 1);
  relay.join();
  EXPECT_EQ(State().read_value, "31");
  EXPECT_TRUE(record.opened.empty());
}

}  // namespace
}  // namespace orvik::lumvar
