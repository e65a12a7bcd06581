// What a printer does besides selling: the detail-tape reading printed on paper, the
// technical intervention and the restart it counts, and its operating-time registers.
#include <gtest/gtest.h>

#include <memory>

#include "ecf_sim/printer.h"
#include "test_support.h"

namespace ecf_sim {
namespace {

std::string run(Printer& p, const std::string& cmd, const std::string& params = {}) {
  Reply r = p.execute(cmd, params);
  EXPECT_EQ(r.code, 0) << cmd << " " << params << " -> " << r.results;
  return r.results;
}

int64_t integer(Printer& p, const std::string& name) {
  return std::stoll(run(p, "LeInteiro", "NomeInteiro=\"" + name + "\"").substr(13));
}

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    p.set_clock(DateTime{{2026, 6, 15}, 10, 0, 0});
    p.set_running_clock([t = clock_ms] { return *t; });
    run(p, "DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
  }

  void sell() {
    run(p, "AbreCupomFiscal");
    run(p, "VendeItem",
        "CodAliquota=0 CodProduto=\"1\" NomeProduto=\"ARROZ\" PrecoUnitario=10,00 "
        "Quantidade=1,000 Unidade=\"UN\"");
    run(p, "PagaCupom", "CodMeioPagamento=-2 Valor=10,00");
    run(p, "EncerraDocumento");
  }

  std::shared_ptr<int64_t> clock_ms = std::make_shared<int64_t>(1000);
  Printer p;
};

TEST_F(ServiceTest, DetailTapeReadingOnPaperIsADocumentOfItsOwn) {
  for (int i = 0; i < 3; ++i) sell();
  const int gnf = static_cast<int>(integer(p, "GNF"));
  run(p, "EmiteLeituraFitaDetalhe", "COOInicial=1 COOFinal=3");
  EXPECT_EQ(integer(p, "COO"), 4);
  EXPECT_EQ(integer(p, "GNF"), gnf + 1);
  EXPECT_EQ(integer(p, "CFD"), 1);
  EXPECT_EQ(integer(p, "TipoUltimoDocEmitido"), kFiscalMemoryReading);
  EXPECT_EQ(p.serial_pending(), 0u) << "a paper reading leaves nothing for LeImpressao";
  ASSERT_EQ(p.state().tape.size(), 4u);
  auto lines = testing::capture_lines(p.state().tape.back().printed);
  int headers = 0, listed = 0;
  bool titled = false;
  for (const auto& l : lines) {
    if (l.size() == 48 && l.compare(38, 4, "COO:") == 0) ++headers;
    if (l.find("LEITURA FITA DETALHE") != std::string::npos) titled = true;
    for (const char* coo : {"000001 15/06/2026", "000002 15/06/2026", "000003 15/06/2026"})
      if (l.rfind(coo, 0) == 0) ++listed;
  }
  EXPECT_TRUE(titled);
  EXPECT_EQ(listed, 3);
  // Only its own header: copies of the documents' headers would be read back as documents.
  EXPECT_EQ(headers, 1);
  ASSERT_EQ(p.state().tape_readings.size(), 1u);
  EXPECT_EQ(p.state().tape_readings[0].first_coo, 1);
  EXPECT_EQ(p.state().tape_readings[0].last_coo, 3);

  // The same reading to the line is still no document.
  run(p, "EmiteLeituraFitaDetalhe", "COOInicial=1 COOFinal=2 Destino=\"S\"");
  EXPECT_EQ(integer(p, "COO"), 4);
  EXPECT_EQ(integer(p, "CFD"), 2);
}

TEST_F(ServiceTest, DetailTapeReadingOnPaperRefusals) {
  sell();
  struct {
    const char* what;
    const char* params;
    bool paper_out;
    int code;
  } cases[] = {
      {"no paper", "COOInicial=1 COOFinal=1", true, 8108},
      {"range without documents", "COOInicial=50 COOFinal=60", false, 8089},
      {"reversed range", "COOInicial=3 COOFinal=1", false, 8002},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    p.state().paper_out = c.paper_out;
    EXPECT_EQ(p.execute("EmiteLeituraFitaDetalhe", c.params).code, c.code);
    p.state().paper_out = false;
    EXPECT_EQ(integer(p, "COO"), 1);
    EXPECT_EQ(integer(p, "CFD"), 0);
  }
  run(p, "AbreCupomFiscal");
  EXPECT_EQ(p.execute("EmiteLeituraFitaDetalhe", "COOInicial=1 COOFinal=1").code, 8116);
}

TEST_F(ServiceTest, LeavingTechnicalInterventionCountsARestart) {
  sell();
  EXPECT_EQ(integer(p, "CRO"), 1);
  p.set_technical_intervention(true);
  EXPECT_EQ(p.execute("AbreCupomFiscal", "").code, 8113);
  EXPECT_EQ(integer(p, "CRO"), 1) << "entering is not a restart";
  p.set_clock(DateTime{{2026, 6, 15}, 14, 30, 0});
  p.set_technical_intervention(false);
  EXPECT_EQ(integer(p, "CRO"), 2);
  EXPECT_TRUE(p.changed()) << "the restart must reach the state file";
  p.set_technical_intervention(false);
  EXPECT_EQ(integer(p, "CRO"), 2) << "leaving twice is one restart";

  sell();
  run(p, "EmiteReducaoZ");
  ASSERT_EQ(p.state().reductions.size(), 1u);
  EXPECT_EQ(p.state().reductions[0].cro, 2);
  const std::string& last = p.state().reductions[0].last_data;
  ASSERT_EQ(last.size(), 616u);
  EXPECT_EQ(last.substr(544, 6), "000002") << "CRO field of the last reduction's data";

  run(p, "EmiteLeituraMF", "ReducaoInicial=1 ReducaoFinal=1");
  auto lines = testing::capture_lines(p.state().tape.back().printed);
  std::vector<std::string> restarts;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].find("REINICIO") != std::string::npos)
      for (std::size_t k = i + 1; k < lines.size() && lines[k][0] != '-'; ++k)
        restarts.push_back(lines[k]);
  ASSERT_EQ(restarts.size(), 2u);
  EXPECT_EQ(restarts[0].substr(0, 3), "001");
  EXPECT_EQ(restarts[1].substr(0, 3), "002");
  EXPECT_EQ(restarts[1].substr(5, 10), "15/06/2026");
  EXPECT_EQ(restarts[1].substr(16, 5), "14:30");

  State loaded;
  ASSERT_TRUE(deserialize_state(serialize_state(p.state()), loaded, nullptr));
  ASSERT_EQ(loaded.restarts.size(), 1u);
  EXPECT_EQ(loaded.restarts[0].cro, 2);
  EXPECT_EQ(loaded.restarts[0].when.hour, 14);
  EXPECT_EQ(loaded.restarts[0].when.minute, 30);
}

TEST_F(ServiceTest, OperatingTimeAndFiscalDocumentTimeRunWithThePrinter) {
  *clock_ms += 90'000;  // idle
  run(p, "AbreCupomFiscal");
  *clock_ms += 100'000;
  run(p, "VendeItem",
      "CodAliquota=0 CodProduto=\"1\" NomeProduto=\"ARROZ\" PrecoUnitario=10,00 "
      "Quantidade=1,000 Unidade=\"UN\"");
  *clock_ms += 50'000;
  run(p, "PagaCupom", "CodMeioPagamento=-2 Valor=10,00");
  run(p, "EncerraDocumento");
  *clock_ms += 45'000;                                 // idle again
  EXPECT_EQ(integer(p, "TempoOperacional"), 4);        // 285 s
  EXPECT_EQ(integer(p, "TempoEmitindoDocFiscal"), 2);  // 150 s with the coupon open

  // Parts of a minute are kept, not lost at each reading.
  for (int i = 0; i < 40; ++i) {
    *clock_ms += 1'500;
    integer(p, "COO");
  }
  EXPECT_EQ(integer(p, "TempoOperacional"), 5);  // 345 s

  State loaded;
  ASSERT_TRUE(deserialize_state(serialize_state(p.state()), loaded, nullptr));
  Printer again(loaded);
  again.set_running_clock([] { return 0; });
  EXPECT_EQ(integer(again, "TempoOperacional"), 5);
  EXPECT_EQ(integer(again, "TempoEmitindoDocFiscal"), 2);
  EXPECT_EQ(loaded.running_ms, 345'000);
}

TEST_F(ServiceTest, StateFileWithoutTheTimeCountersStillLoads) {
  p.state().minutes_on = 125;
  p.state().minutes_printing = 7;
  std::string text = serialize_state(p.state());
  // A file written before the time counters and restarts were kept ends after this.
  auto cut = text.find("running_ms=");
  ASSERT_NE(cut, std::string::npos);
  text = text.substr(0, cut) + "end=\n";
  State loaded;
  std::string error;
  ASSERT_TRUE(deserialize_state(text, loaded, &error)) << error;
  EXPECT_EQ(loaded.running_ms, 125 * 60'000);
  EXPECT_EQ(loaded.fiscal_ms, 7 * 60'000);
  EXPECT_TRUE(loaded.restarts.empty());
}

}  // namespace
}  // namespace ecf_sim
