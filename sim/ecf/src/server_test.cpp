#include "ecf_sim/server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "test_support.h"

namespace ecf_sim {
namespace {

using testing::RawClient;

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server.open_pty(&error)) << error;
    server.start();
    client = std::make_unique<RawClient>(server.slave_path());
    ASSERT_TRUE(client->is_open());
  }
  void TearDown() override { server.stop(); }

  Printer printer;
  Server server{printer};
  std::unique_ptr<RawClient> client;
};

TEST_F(ServerTest, AnswersOverAPseudoTerminal) {
  auto a = client->send("LeInteiro", "NomeInteiro=\"COO\"");
  ASSERT_TRUE(a.complete);
  EXPECT_EQ(a.code, 0);
  EXPECT_EQ(a.results, "ValorInteiro=0");
  a = client->send("LeAliquota", "CodAliquotaProgramavel=0");
  EXPECT_EQ(a.code, 8005);
  EXPECT_NE(a.results.find("\"ErroCMDAliquotaNaoProgramada\""), std::string::npos);
  // A brace inside a free text does not end the request.
  a = client->send("AbreGerencial", "CodGerencial=0");
  EXPECT_EQ(a.code, 0);
  a = client->send("ImprimeTexto", "TextoLivre=\"chave {x}\"");
  EXPECT_EQ(a.code, 0);
  a = client->send("EncerraDocumento");
  EXPECT_EQ(a.code, 0);
}

TEST_F(ServerTest, InjectedFaults) {
  server.inject(Fault{Fault::kError, 8108, 2, 0, {}});
  auto a = client->send("AbreGaveta");
  EXPECT_EQ(a.code, 8108);

  server.inject(Fault{Fault::kSilence, 0, 2, 0, {}});
  a = client->send("AbreGaveta", {}, 300);
  EXPECT_FALSE(a.complete);
  a = client->send("AbreGaveta");
  EXPECT_TRUE(a.complete);

  server.inject(Fault{Fault::kSplit, 0, 3, 30, {}});
  a = client->send("LeTexto", "NomeTexto=\"NumeroSerieECF\"");
  EXPECT_TRUE(a.complete);
  EXPECT_EQ(a.results, "ValorTexto=\"OR050800000000012345\"");

  server.inject(Fault{Fault::kNoise, 0, 2, 0, "\x15\x15zz"});
  a = client->send("LeInteiro", "NomeInteiro=\"CRZ\"");
  EXPECT_EQ(a.raw.substr(0, 4), "\x15\x15zz");
  EXPECT_EQ(a.results, "ValorInteiro=0");

  server.inject(Fault{Fault::kSlow, 0, 2, 200, {}});
  auto start = std::chrono::steady_clock::now();
  a = client->send("LeInteiro", "NomeInteiro=\"CRO\"");
  EXPECT_TRUE(a.complete);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}

TEST_F(ServerTest, ControlFileQueuesFaultsAndPaperOut) {
  auto file = std::filesystem::temp_directory_path() / ("ecfsim_ctl_" + std::to_string(::getpid()));
  server.set_control_file(file);
  std::ofstream(file) << "error 8014 2\npaper-out\n";
  EXPECT_EQ(client->send("AbreGaveta").code, 8014);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(client->send("AbreGaveta").code, 8014);
  auto a = client->send("LeIndicador", "NomeIndicador=\"SemPapel\"");
  EXPECT_EQ(a.results, "ValorNumericoIndicador=1 ValorIndicador=1");
  EXPECT_EQ(client->send("AbreCupomFiscal").code, 8108);
  std::ofstream(file) << "paper-ok\nintervention-on\n";
  EXPECT_EQ(client->send("AbreCupomFiscal").code, 8113);
  EXPECT_EQ(client->send("LeIndicador", "NomeIndicador=\"IntervencaoTecnica\"").results,
            "ValorNumericoIndicador=1 ValorIndicador=1");
  EXPECT_EQ(client->send("LeInteiro", "NomeInteiro=\"CRO\"").results, "ValorInteiro=1");
  std::ofstream(file) << "intervention-off\n";
  EXPECT_EQ(client->send("AbreCupomFiscal").code, 0);
  // Back from the technician the printer has restarted once.
  EXPECT_EQ(client->send("LeInteiro", "NomeInteiro=\"CRO\"").results, "ValorInteiro=2");
}

}  // namespace
}  // namespace ecf_sim
