// Faults aimed at one command, the journal of received commands, cheques and the Z's
// clock limit.
#include <gtest/gtest.h>

#include <fstream>

#include "ecf_sim/server.h"
#include "test_support.h"

namespace ecf_sim {
namespace {

using testing::RawClient;

class AimedServer : public ::testing::Test {
 protected:
  void SetUp() override {
    printer.set_clock(DateTime{{2026, 6, 15}, 10, 0, 0});
    std::string error;
    ASSERT_TRUE(server.open_pty(&error)) << error;
    server.start();
    client = std::make_unique<RawClient>(server.slave_path());
    ASSERT_TRUE(client->is_open());
  }
  void TearDown() override {
    server.stop();
    std::error_code ec;
    std::filesystem::remove(control, ec);
    std::filesystem::remove(journal_file, ec);
  }
  void Control(const std::string& lines) {
    server.set_control_file(control);
    std::ofstream(control) << lines;
  }

  Printer printer;
  Server server{printer};
  std::unique_ptr<RawClient> client;
  std::filesystem::path control =
      std::filesystem::temp_directory_path() / ("ecfsim_aim_" + std::to_string(::getpid()));
  std::filesystem::path journal_file =
      std::filesystem::temp_directory_path() / ("ecfsim_jnl_" + std::to_string(::getpid()));
};

TEST_F(AimedServer, AFaultWaitsForItsCommandAndParameterText) {
  server.inject_on(Fault{Fault::kError, 8003, 2, 0, {}}, "LeMoeda", "DescontosReducao", 1);
  // Other commands, and the same command with other parameters, pass.
  EXPECT_EQ(client->send("LeInteiro", "NomeInteiro=\"CRZ\"").code, 0);
  EXPECT_EQ(client->send("LeMoeda", "NomeDadoMonetario=\"GT\"").code, 0);
  EXPECT_EQ(client->send("lemoeda", "NomeDadoMonetario=\"DescontosReducao[1]\"").code, 8003);
  // Used up after its count.
  EXPECT_EQ(client->send("LeMoeda", "NomeDadoMonetario=\"DescontosReducao[1]\"").code, 1001);
  // Without a text it takes the next requests of the command, whatever their parameters.
  server.inject_on(Fault{Fault::kError, 8108, 2, 0, {}}, "AbreGaveta", "", 2);
  EXPECT_EQ(client->send("AbreGaveta").code, 8108);
  EXPECT_EQ(client->send("LeInteiro", "NomeInteiro=\"COO\"").code, 0);
  EXPECT_EQ(client->send("AbreGaveta").code, 8108);
  EXPECT_EQ(client->send("AbreGaveta").code, 0);
  server.inject_on(Fault{Fault::kError, 8108, 2, 0, {}}, "AbreGaveta");
  server.clear_faults();
  EXPECT_EQ(client->send("AbreGaveta").code, 0);
}

TEST_F(AimedServer, ControlFileAimsFaultsAndWritesTheJournal) {
  Control("error-on LeTexto 8101 1 CMC7\nsilent-on AbreGaveta\n");
  EXPECT_EQ(client->send("LeTexto", "NomeTexto=\"NumeroSerieECF\"").code, 0);
  EXPECT_EQ(client->send("LeTexto", "NomeTexto=\"CMC7Documento\"").code, 8101);
  EXPECT_FALSE(client->send("AbreGaveta", {}, 300).complete);
  EXPECT_EQ(client->send("AbreGaveta").code, 0);
  // The journal line is read before the next request, so that request is not in it.
  Control("journal " + journal_file.string() + "\n");
  EXPECT_EQ(client->send("LeInteiro", "NomeInteiro=\"COO\"").code, 0);
  std::ifstream in(journal_file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "LeTexto;NomeTexto=\"NumeroSerieECF\";0\r",
                       "LeTexto;NomeTexto=\"CMC7Documento\";8101\r",
                       "AbreGaveta;;-1\r",
                       "AbreGaveta;;0\r",
                   }));
  const auto entries = server.journal();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[4].command, "LeInteiro");
  EXPECT_EQ(entries[4].params, "NomeInteiro=\"COO\"");
  Control("journal-clear\n");
  client->send("AbreGaveta");
  EXPECT_EQ(server.journal().size(), 1u);
}

TEST(SimCheques, PrintedOnlyWithAChequeInTheSensorThenEjected) {
  Printer p;
  p.set_clock(DateTime{{2026, 6, 15}, 10, 0, 0});
  const std::string cheque =
      "Cidade=\"Campinas\" Data=#15/06/2026# Favorecido=\"Loja Um\" Valor=123,45 "
      "MensagemDocLinha1 =\"Ref. NF 12\" HPosAno=5 VPosValor=3";
  EXPECT_EQ(p.execute("ImprimeCheque", cheque).code, 8117);
  EXPECT_TRUE(p.printed_cheques().empty());
  p.state().cheque_present = true;
  EXPECT_EQ(p.execute("LeIndicador", "NomeIndicador=\"SensorCheque\"").results,
            "ValorNumericoIndicador=1 ValorIndicador=1");
  EXPECT_EQ(p.execute("ImprimeCheque", "Valor=0,00").code, 8002);
  EXPECT_EQ(p.execute("ImprimeCheque", cheque).code, 0);
  ASSERT_EQ(p.printed_cheques().size(), 1u);
  const auto& fields = p.printed_cheques()[0].fields;
  EXPECT_EQ(fields.at("Cidade"), "Campinas");
  EXPECT_EQ(fields.at("Data"), "15/06/2026");
  EXPECT_EQ(fields.at("Favorecido"), "Loja Um");
  EXPECT_EQ(fields.at("Valor"), "123,45");
  EXPECT_EQ(fields.at("MensagemDocLinha1"), "Ref. NF 12");
  EXPECT_EQ(fields.at("HPosAno"), "5");
  // Ejected: the sensor is empty and a second print is refused.
  EXPECT_EQ(p.execute("LeIndicador", "NomeIndicador=\"SensorCheque\"").results,
            "ValorNumericoIndicador=0 ValorIndicador=0");
  EXPECT_EQ(p.execute("ImprimeCheque", cheque).code, 8117);
}

TEST(SimZClock, AZMovesTheClockByFiveMinutesAtMost) {
  struct {
    const char* hora;
    int code;
  } cases[] = {{"Hora=#10:06:00#", 8118}, {"Hora=#09:54:00#", 8118}, {"Hora=#10:05:00#", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hora);
    Printer p;
    p.set_clock(DateTime{{2026, 6, 15}, 10, 0, 0});
    EXPECT_EQ(p.execute("EmiteReducaoZ", c.hora).code, c.code);
    EXPECT_EQ(p.state().crz, c.code == 0 ? 1 : 0);
  }
  Printer p;
  p.set_clock(DateTime{{2026, 6, 15}, 10, 0, 0});
  EXPECT_EQ(p.execute("EmiteReducaoZ", "Hora=#09:55:00#").code, 0);
  EXPECT_EQ(p.now().minute, 55);
}

TEST(SimRefusals, EmptyReceiptsAndDocumentsAfterTheZ) {
  Printer p;
  p.set_clock(DateTime{{2026, 6, 15}, 10, 0, 0});
  ASSERT_EQ(p.execute("AbreCupomNaoFiscal", "").code, 0);
  EXPECT_EQ(p.execute("EncerraDocumento", "").code, 8102);
  ASSERT_EQ(p.execute("CancelaCupom", "").code, 0);
  ASSERT_EQ(p.execute("EmiteReducaoZ", "").code, 0);
  const std::pair<const char*, const char*> refused[] = {{"AbreCupomFiscal", ""},
                                                         {"AbreCupomNaoFiscal", ""},
                                                         {"AbreGerencial", "CodGerencial=0"},
                                                         {"EmiteReducaoZ", ""}};
  for (const auto& [command, params] : refused)
    EXPECT_EQ(p.execute(command, params).code, 8104) << command;
  // Readings are still given.
  EXPECT_EQ(p.execute("EmiteLeituraX", "").code, 0);
}

}  // namespace
}  // namespace ecf_sim
