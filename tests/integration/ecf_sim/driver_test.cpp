// A shop day through the driver's raw command exports, with the virtual printer on the
// other end of a pseudo-terminal. Each case loads the driver anew (one process per case).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "driver_fixture.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

class DriverShopDay : public orvik_testing::DriverOverPty {
 protected:
  void SetUp() override {
    DriverOverPty::SetUp();
    Load("ModeloImp=ORVIK_KAP\r\n");
    command = EXPORT(Orvik_ExecutaComando);
    read = EXPORT(Orvik_ExecutaLeitura);
  }

  void run(const std::string& cmd, const std::string& params = {}) {
    EXPECT_EQ(command(cmd.c_str(), params.c_str()), 1) << cmd << " " << params << ": " << last();
  }
  std::string integer(const std::string& name) {
    return ask("LeInteiro", "NomeInteiro=\"" + name + "\"");
  }
  std::string money(const std::string& name) {
    return ask("LeMoeda", "NomeDadoMonetario=\"" + name + "\"");
  }
  int refused(const std::string& cmd, const std::string& params) {
    EXPECT_EQ(command(cmd.c_str(), params.c_str()), 0) << cmd;
    return last_code();
  }

  decltype(::Orvik_ExecutaComando)* command = nullptr;
  decltype(::Orvik_ExecutaLeitura)* read = nullptr;
};

TEST_F(DriverShopDay, CountersAndTotalsMoveAsOnAPrinter) {
  run("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
  run("DefineAliquota", "CodAliquotaProgramavel=1 PercentualAliquota=12,00");
  run("DefineMeioPagamento", "NomeMeioPagamento=\"Cartao\" PermiteVinculado=true");

  run("AbreCupomFiscal");
  run("VendeItem",
      "AliquotaICMS=true PercentualAliquota=18,00 CodProduto=\"1\" NomeProduto=\"ARROZ\" "
      "PrecoUnitario=20,00 Quantidade=1,000 Unidade=\"Un\"");
  run("VendeItem",
      "CodAliquota=01 CodProduto=\"2\" NomeProduto=\"FEIJAO\" PrecoUnitario=8,50 Quantidade=2,000 "
      "Unidade=\"Un\"");
  run("VendeItem",
      "CodAliquota=-3 CodProduto=\"3\" NomeProduto=\"LIVRO\" PrecoUnitario=30,00 "
      "Quantidade=1,000 Unidade=\"Un\"");
  run("AcresceItemFiscal", "Cancelar=false NumItem=1 ValorAcrescimo=-2,00");
  run("AcresceSubtotal", "Cancelar=false ValorAcrescimo=-1,00");
  EXPECT_EQ(money("TotalDocLiquido"), "ValorMoeda=64,0000");
  run("PagaCupom", "CodMeioPagamento=-2 Valor=40,00");
  run("PagaCupom", "NomeMeioPagamento=\"Cartao\" Valor=24,00");
  run("EncerraDocumento", "Operador=\"Caixa 1\"");
  EXPECT_EQ(integer("COO"), "ValorInteiro=1");
  EXPECT_EQ(integer("CCF"), "ValorInteiro=1");
  EXPECT_EQ(money("TotalDiaVendaBruta"), "ValorMoeda=67,0000");
  EXPECT_EQ(money("GT"), "ValorMoeda=67,0000");

  run("CancelaCupom", "Operador=\"Caixa 1\"");
  EXPECT_EQ(integer("COO"), "ValorInteiro=2");
  EXPECT_EQ(integer("CFC"), "ValorInteiro=1");
  EXPECT_EQ(money("TotalDiaCancelamentosICMS"), "ValorMoeda=64,0000");

  run("AbreCupomNaoFiscal");
  run("EmiteItemNaoFiscal", "CodNaoFiscal=0 Valor=100,00");
  run("PagaCupom", "CodMeioPagamento=-2 Valor=100,00");
  run("EncerraDocumento", "Operador=\"Caixa 1\"");
  EXPECT_EQ(integer("COO"), "ValorInteiro=3");
  EXPECT_EQ(integer("GNF"), "ValorInteiro=1");

  run("EmiteLeituraX", "Operador=\"Caixa 1\"");
  run("EmiteReducaoZ", "Operador=\"Caixa 1\"");
  EXPECT_EQ(integer("COO"), "ValorInteiro=5");
  EXPECT_EQ(integer("CRZ"), "ValorInteiro=1");
  EXPECT_EQ(money("TotalDiaVendaBruta"), "ValorMoeda=0,0000");
  EXPECT_EQ(money("GT"), "ValorMoeda=67,0000");
  EXPECT_EQ(money("VendaBrutaReducao[1]"), "ValorMoeda=67,0000");
  std::string data = ask("LeTexto", "NomeTexto=\"DadosUltimaReducaoZ\"");
  EXPECT_EQ(data.size(), 12u + 616u + 1u);

  // The driver's capture loop: LeImpressao until two empty replies.
  run("EmiteLeituraFitaDetalhe", "COOInicial=1 COOFinal=3 Destino=\"S\"");
  std::string printed;
  int empty = 0;
  while (empty < 2) {
    std::string chunk = ask("LeImpressao", "");
    std::string text = chunk.size() >= 17 ? chunk.substr(16, chunk.size() - 17) : "";
    if (text.size() < 2) {
      ++empty;
    } else {
      empty = 0;
      printed += text;
    }
  }
  std::lock_guard lock(server.mutex());
  std::string expected;
  for (int coo = 1; coo <= 3; ++coo) expected += printer.state().tape[coo - 1].printed;
  EXPECT_EQ(printed, expected);
}

TEST_F(DriverShopDay, RefusalsReachTheHostWithTheirCodes) {
  EXPECT_EQ(refused("VendeItem",
                    "CodAliquota=-3 CodProduto=\"1\" NomeProduto=\"X\" PrecoUnitario=1,00 "
                    "Quantidade=1,000 Unidade=\"Un\""),
            8101);
  EXPECT_NE(last().find("ErroCMDEstadoInvalido - "), std::string::npos) << last();
  run("AbreCupomFiscal");
  EXPECT_EQ(refused("PagaCupom", "CodMeioPagamento=-2 Valor=1,00"), 8102);
  EXPECT_EQ(refused("VendeItem",
                    "AliquotaICMS=true PercentualAliquota=25,00 CodProduto=\"1\" "
                    "NomeProduto=\"X\" PrecoUnitario=1,00 Quantidade=1,000 Unidade=\"Un\""),
            8005);
  run("CancelaCupom", "Operador=\"x\"");
  run("EmiteReducaoZ");
  EXPECT_EQ(refused("EmiteReducaoZ", ""), 8104);
}

TEST_F(DriverShopDay, RepliesSplitAcrossReadsOrAfterNoiseStillReadWhole) {
  run("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
  server.inject(ecf_sim::Fault{ecf_sim::Fault::kSplit, 0, 4, 30, {}});
  EXPECT_EQ(ask("LeAliquota", "CodAliquotaProgramavel=0"),
            "AliquotaICMS=Y PercentualAliquota=18,00");
  server.inject(ecf_sim::Fault{ecf_sim::Fault::kNoise, 0, 2, 0, "\x15\x15"});
  EXPECT_EQ(ask("LeTexto", "NomeTexto=\"NumeroSerieECF\""), "ValorTexto=\"OR050800000000012345\"");
  server.inject(ecf_sim::Fault{ecf_sim::Fault::kError, 8108, 2, 0, {}});
  EXPECT_EQ(refused("AbreCupomFiscal", ""), 8108);
  EXPECT_NE(last().find("ErroCMDSemPapel - Impressora sem papel"), std::string::npos) << last();
  run("AbreCupomFiscal");
}

}  // namespace
