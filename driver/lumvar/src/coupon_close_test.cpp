#include <functional>

#include "common/ini.h"
#include "coupon_test_peer.h"
#include "orvik/lumvar/coupon.h"

namespace orvik::lumvar {
namespace {

using core::State;
using coupon_testing::Command;
using coupon_testing::CouponPeer;

using CouponClose = CouponPeer;

const std::string kBlock234 = "VALOR TOTAL DE ICMS" + std::string(25, ' ') + "2,34" +
                              "\\n         VALIDO PARA O CUPOM MANIA\\n";

TEST_F(CouponClose, FreeTextWithIcmsBlockAndApplicationId) {
  struct {
    std::string sistema;  // extra [Sistema] lines
    bool rj;
    std::string message, text;
  } cases[] = {
      {"", false, "Obrigado", "Obrigado"},
      {"", false, "", ""},
      {"IdAplicativo=PDV 1.0\r\n", false, "Obrigado", "Obrigado\\nAplicativo:PDV 1.0"},
      {"IdAplicativo=PDV 1.0\r\n", false, "", "Aplicativo:PDV 1.0"},
      {"IdAplicativo=PDV 1.0\r\n", false, "\\nObrigado", "\\nObrigadoAplicativo:PDV 1.0"},
      {"IdAplicativo=PDV 1.0\r\n", false, "Obrigado\n", "Obrigado\nAplicativo:PDV 1.0"},
      {"IdAplicativo=PDV \"1\"\r\n", false, "Diz \"oi\"",
       "Diz \\x22oi\\x22\\nAplicativo:PDV \\x221\\x22"},
      {"", true, "", kBlock234},
      {"", true, "Volte sempre", "Volte sempre\\n" + kBlock234},
      {"", true, "Volte sempre\n", "Volte sempre\n" + kBlock234},
      {"IdAplicativo=PDV 1.0\r\n", true, "", kBlock234 + "Aplicativo:PDV 1.0"},
      {"IdAplicativo=PDV 1.0\r\n", true, "Volte", "Volte\\n" + kBlock234 + "\\nAplicativo:PDV 1.0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sistema + c.message);
    StartWith(c.sistema + (c.rj ? "HabilitaICMSCupom=1\r\n" : ""),
              std::string(c.rj ? "[ECF]\r\nUF=rj\r\n" : "") +
                  "[Flags]\r\nCupomManiaLido=1\r\nCupomManiaValorAux=1000\r\n");
    answers.clear();
    Then("LeMoeda", "0;ValorMoeda=12,3456");
    EXPECT_EQ(TerminaFechamentoCupom(c.message), 1);
    std::vector<Command> expected;
    if (c.rj) expected.push_back({"LeMoeda", "NomeDadoMonetario=\"TotalDiaImpostoICMS\""});
    expected.push_back({"ImprimeTexto", "TextoLivre=\"" + c.text + "\""});
    expected.push_back({"EncerraDocumento", "Operador=\"\""});
    EXPECT_EQ(sent, expected);
  }
}

TEST_F(CouponClose, IcmsStateIsConsumedAndReset) {
  StartWith("HabilitaICMSCupom=1\r\n",
            "[Flags]\r\nCupomManiaLido=1\r\nCupomManiaValorAux=1000\r\n");
  Then("LeMoeda", "0;ValorMoeda=12,3456");
  EXPECT_EQ(TerminaFechamentoCupom(""), 1);
  common::IniFile ini(folder.ini());
  EXPECT_EQ(ini.read("Flags", "CupomManiaTotalImp", ""), "2,34");
  EXPECT_EQ(ini.read("Flags", "CupomManiaLido", ""), "0");
  EXPECT_EQ(ini.read("Flags", "CupomManiaValorAux", ""), "0");
  EXPECT_FALSE(State().cupom_mania_lido);
  // Without the RJ text the block is not printed.
  EXPECT_EQ(sent[1], (Command{"ImprimeTexto", "TextoLivre=\"\""}));

  // A day total below the noted one (another day) counts as no ICMS.
  StartWith("HabilitaICMSCupom=1\r\n",
            "[Flags]\r\nCupomManiaLido=1\r\nCupomManiaValorAux=99999\r\n");
  Then("LeMoeda", "0;ValorMoeda=1,0000");
  EXPECT_EQ(TerminaFechamentoCupom(""), 1);
  EXPECT_EQ(common::IniFile(folder.ini()).read("Flags", "CupomManiaTotalImp", ""), "0,00");

  // A failed read leaves the last value and still closes.
  StartWith("HabilitaICMSCupom=1\r\n",
            "[Flags]\r\nCupomManiaLido=1\r\nCupomManiaTotalImp=7,00\r\n");
  Refuse("LeMoeda", 8003);
  EXPECT_EQ(TerminaFechamentoCupom(""), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"LeMoeda", "ImprimeTexto", "EncerraDocumento"}));
  EXPECT_EQ(common::IniFile(folder.ini()).read("Flags", "CupomManiaTotalImp", ""), "7,00");
}

TEST_F(CouponClose, ConsumerFileIsIdentifiedAndRemoved) {
  struct {
    std::string file;
    std::string parameters;  // empty: nothing identified
  } cases[] = {
      {"  123 \r\nANA\r\n RUA X \r\n",
       "IdConsumidor=\"123\" NomeConsumidor=\"ANA\" EnderecoConsumidor=\"RUA X\""},
      {"123\r\n\r\nRUA \"X\"\r\n", "IdConsumidor=\"123\" EnderecoConsumidor=\"RUA \\x22X\\x22\""},
      {"\r\nANA\r\n", " NomeConsumidor=\"ANA\""},
      {"\r\n \r\n\r\n", ""},
  };
  for (const auto& c : cases) {
    sent.clear();
    folder.Write("ID.TXT", c.file);
    EXPECT_EQ(TerminaFechamentoCupom(""), 1);
    EXPECT_FALSE(Exists("ID.TXT"));
    std::vector<Command> expected{{"ImprimeTexto", "TextoLivre=\"\""}};
    if (!c.parameters.empty()) expected.push_back({"IdentificaConsumidor", c.parameters});
    expected.push_back({"EncerraDocumento", "Operador=\"\""});
    EXPECT_EQ(sent, expected);
  }
  // Written by IdentificaConsumidor: three lines.
  EXPECT_EQ(IdentificaConsumidor("1", "ANA", ""), 1);
  EXPECT_EQ(folder.Read("ID.TXT"), "1\r\nANA\r\n\r\n");
}

TEST_F(CouponClose, ClosingSequences) {
  StartWith("EspacamentoDocumentos=3\r\n");
  State().operator_name = "Caixa 1";
  const Command print{"ImprimeTexto", "TextoLivre=\"Obrigado\""};
  const Command end{"EncerraDocumento", "Operador=\"Caixa 1\""};
  const Command feed{"AvancaPapel", "Avanco=90"};
  struct {
    std::function<int()> call;
    std::vector<Command> sent;
  } cases[] = {
      {[] { return FechaCupom("", "A", "$", "0", "", "Obrigado"); }, {print, end, feed}},
      {[] { return FechaCupom("Dinheiro", "D", "%", "500", "20,00", "Obrigado"); },
       {{"AcresceSubtotal", "Cancelar=false ValorPercentual=-5,00"},
        {"PagaCupom", "CodMeioPagamento=-2 Valor=20,00"},
        print,
        end,
        feed}},
      {[] { return FechaCupom("Cartao", "A", "$", "", "5,00", "Obrigado"); },
       {{"PagaCupom", "NomeMeioPagamento=\"Cartao\" Valor=5,00"}, print, end, feed}},
      {[] { return TerminaFechamentoCupom("Obrigado"); }, {print, end, feed}},
      {[] { return CancelaCupom(); }, {{"CancelaCupom", "Operador=\"Caixa 1\""}, feed}},
      {[] { return CupomAdicionalMFD(); }, {{"ImprimeCupomAdicional", ""}, feed}},
  };
  for (const auto& c : cases) {
    sent.clear();
    EXPECT_EQ(c.call(), 1);
    EXPECT_EQ(sent, c.sent);
  }
}

TEST_F(CouponClose, RefusalsAlongTheClose) {
  // The adjustment, the payment and the free text do not stop the close; the close's
  // own refusal is the answer, and no paper is fed after it.
  StartWith("EspacamentoDocumentos=3\r\n");
  Refuse("AcresceSubtotal", 8107);
  Refuse("PagaCupom", 8014);
  Refuse("ImprimeTexto", 8101);
  Refuse("EncerraDocumento", 8103);
  EXPECT_EQ(FechaCupom("Vale", "A", "$", "100", "5,00", "x"), 0);
  EXPECT_EQ(State().last_return_code, 8103);
  EXPECT_EQ(Names(), (std::vector<std::string>{"AcresceSubtotal", "PagaCupom", "ImprimeTexto",
                                               "EncerraDocumento"}));
  sent.clear();
  Refuse("CancelaCupom", 8111);
  EXPECT_EQ(CancelaCupom(), 0);
  Refuse("ImprimeCupomAdicional", 8101);
  EXPECT_EQ(CupomAdicionalMFD(), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"CancelaCupom", "ImprimeCupomAdicional"}));
}

TEST_F(CouponClose, SummaryClosePaysTheNetTotal) {
  Then("LeMoeda", "0;ValorMoeda=64,0000");
  EXPECT_EQ(FechaCupomResumido("Dinheiro", "Obrigado"), 1);
  EXPECT_EQ(sent, (std::vector<Command>{
                      {"LeMoeda", "NomeDadoMonetario=\"TotalDocLiquido\""},
                      {"PagaCupom", "CodMeioPagamento=-2 Valor=64,00"},
                      {"ImprimeTexto", "TextoLivre=\"Obrigado\""},
                      {"EncerraDocumento", "Operador=\"\""},
                  }));
  struct {
    const char* refused;
    int code;
    size_t commands;
  } cases[] = {{"LeMoeda", 8003, 1}, {"PagaCupom", 8014, 2}};
  for (const auto& c : cases) {
    sent.clear();
    answers.clear();
    Then("LeMoeda", "0;ValorMoeda=64,0000");
    if (std::string(c.refused) == "LeMoeda") answers["LeMoeda"].clear();
    Refuse(c.refused, c.code);
    EXPECT_EQ(FechaCupomResumido("Dinheiro", ""), 0);
    EXPECT_EQ(State().last_return_code, c.code);
    EXPECT_EQ(sent.size(), c.commands);
  }
}

TEST_F(CouponClose, CutterModelsCutAfterTheClose) {
  StartWith("ModeloImp=ORVIK_R7\r\nHabilitaCorte=1\r\nEspacamentoDocumentos=1\r\n");
  EXPECT_EQ(CancelaCupom(), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"CancelaCupom", "Operador=\"\""},
                                        {"AvancaPapel", "Avanco=30"},
                                        {"CortaPapel", "TipoCorte=0"}}));
}

}  // namespace
}  // namespace orvik::lumvar
