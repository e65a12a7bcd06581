#include <functional>

#include "common/ini.h"
#include "coupon_test_peer.h"
#include "orvik/lumvar/cheque_layouts.h"
#include "orvik/lumvar/documents.h"

namespace orvik::lumvar {
namespace {

using core::State;
using coupon_testing::Command;
using coupon_testing::CouponPeer;

class Cheques : public CouponPeer {
 protected:
  void SetUp() override {
    CouponPeer::SetUp();
    StartWith("ModeloImp=ORVIK_QM4100XR\r\n");
    SetChequesFolder(folder.path());
  }
  void TearDown() override {
    SetChequesFolder({});
    CouponPeer::TearDown();
  }
};

TEST_F(Cheques, TheChequeIsLaidOutFromItsBanksSection) {
  folder.Write("cheques.ini",
               "[001]\r\nObservacao=Banco teste\r\nHPosAno=45\r\nVPosValor=3\r\nHPosValor=60\r\n"
               "HPosCidade=10\r\n");
  // Cut at 27 characters on a blank, then trimmed.
  const std::string city = "Sao Jose dos Campos do Rio Grande";
  const std::string payee(50, 'P');
  EXPECT_EQ(ImprimeCheque("001", "1234,56", payee, city, "10122026", "  Referente a \"NF\" 12  "),
            1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].name, "ImprimeCheque");
  EXPECT_EQ(sent[0].parameters,
            "Cidade=\"Sao Jose dos Campos do Rio\" Data=#10/12/2026# Favorecido=\"" +
                std::string(45, 'P') +
                "\" Valor=1234,56 MensagemDocLinha1 =\"Referente a \\x22NF\\x22 12\""
                " HPosAno=5 HPosCidade=10 HPosValor=60 VPosValor=3");
}

TEST_F(Cheques, BlankCityAndPayeeComeFromTheConfigurationAndLongMessagesTakeTwoLines) {
  ASSERT_EQ(IncluiCidadeFavorecido("Campinas", "Loja \"Um\""), 1);
  EXPECT_EQ(common::IniFile(folder.ini()).read("Opcional", "Cidade"), "Campinas");
  folder.Write("CHEQUES.INI", "");
  const std::string message = std::string(80, 'a') + std::string(90, 'b');
  EXPECT_EQ(ImprimeCheque("237", "10", " ", "", "311226", message), 1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].parameters,
            "Cidade=\"Campinas\" Data=#31/12/2026# Favorecido=\"Loja \\x22Um\\x22\" Valor=0,10 "
            "MensagemDocLinha1 =\"" +
                std::string(80, 'a') + "\" MensagemDocLinha2 =\"" + std::string(80, 'b') + "\"");
}

TEST_F(Cheques, LayoutKeysAreWholeNumbersAndTheYearColumnIsReduced) {
  struct {
    const char* section;
    std::string items;  // empty with bad: refused
    const char* bad;
  } cases[] = {
      {"HPosAno=40", " HPosAno=40", ""},
      {"HPosAno=41", " HPosAno=1", ""},
      {"HPosAno=abc", " HPosAno=0", ""},
      {"VPosMsgLinha1=-2\r\nHPosDia=07", " HPosDia=07 VPosMsgLinha1=-2", ""},
      {"HPosValor=1 Valor=999", "", "HPosValor"},
      {"VPosCidade=x", "", "VPosCidade"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section);
    folder.Write("CHEQUES.INI", std::string("[B]\r\n") + c.section + "\r\n");
    std::string bad;
    const auto items = ChequeLayout(common::IniFile(folder.path() / "CHEQUES.INI"), "b", &bad);
    if (*c.bad) {
      EXPECT_FALSE(items.has_value());
      EXPECT_EQ(bad, c.bad);
    } else {
      ASSERT_TRUE(items.has_value());
      EXPECT_EQ(*items, c.items);
    }
  }
}

TEST_F(Cheques, MissingFileOrBadKeysPrintNothing) {
  EXPECT_EQ(ImprimeCheque("001", "1", "P", "C", "01012026", ""), -8);
  EXPECT_EQ(State().last_return_code, -8);
  EXPECT_EQ(State().last_message, "CHEQUES.INI n\xE3o encontrado");
  folder.Write("CHEQUES.INI", "[001]\r\nVPosValor=3;x\r\n");
  EXPECT_EQ(ImprimeCheque("001", "1", "P", "C", "01012026", ""), 0);
  EXPECT_EQ(State().last_return_code, -8);
  EXPECT_TRUE(sent.empty());
  // Back printing is refused by the MFD form before anything else.
  folder.Write("CHEQUES.INI", "[001]\r\n");
  EXPECT_EQ(ImprimeChequeMFD("001", "1", "P", "C", "01012026", "", "1"), -2);
  EXPECT_EQ(State().last_message, "Parametro invalido");
  EXPECT_EQ(ImprimeChequeMFD("001", "1", "P", "C", "01012026", "", "0"), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"ImprimeCheque"}));
}

TEST_F(Cheques, TheReaderAndTheSensor) {
  Then("LeTexto", "0;ValorTexto=\"<12345678<0123456789>123456789012:\"");
  EXPECT_EQ(LeituraCheque(), 1);
  EXPECT_EQ(State().return_value, "<12345678<0123456789>123456789012:");
  EXPECT_EQ(sent.back(), (Command{"LeTexto", "NomeTexto=\"CMC7Documento\""}));
  // A failed read answers empty, not the previous cheque's line.
  Refuse("LeTexto", 8101);
  EXPECT_EQ(LeituraCheque(), 0);
  EXPECT_EQ(State().return_value, "");

  int status = 0;
  Then("LeIndicador", "0;ValorNumericoIndicador=1 ValorIndicador=1");
  EXPECT_EQ(VerificaStatusCheque(&status), 1);
  EXPECT_EQ(status, 3);
  Then("LeIndicador", "0;ValorNumericoIndicador=0 ValorIndicador=0");
  EXPECT_EQ(VerificaStatusCheque(&status), 1);
  EXPECT_EQ(status, 1);
  Refuse("LeIndicador", 9999);
  status = 3;
  EXPECT_EQ(VerificaStatusCheque(&status), 0);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(VerificaStatusCheque(nullptr), 1);
}

TEST_F(Cheques, Authentication) {
  // "\n" is the printer's two-character line break; nine at most, nine when not a number.
  std::string nine;
  for (int i = 0; i < 9; ++i) nine += "\\n";
  struct {
    const char* lines;
    std::string text;
  } cases[] = {{"12", nine}, {"9", nine}, {"2", "\\n\\n"}, {"0", ""}, {"-3", ""}, {"x", nine}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines);
    sent.clear();
    EXPECT_EQ(AutenticacaoMFD(c.lines, "AUT \"1\""), 1);
    EXPECT_EQ(sent, (std::vector<Command>{{"ImprimeAutenticacao", "TextoAutenticacao=\"" + c.text +
                                                                      "AUT \\x22" + "1\\x22\""}}));
  }
  sent.clear();
  EXPECT_EQ(Autenticacao(), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"ImprimeAutenticacao", ""}}));
}

TEST_F(Cheques, ModelsWithoutChequesTakeTheCommandMissingPath) {
  StartWith("ModeloImp=ORVIK_KAP\r\n");
  State().return_value = "stale";
  struct {
    std::function<int()> call;
    const char* label;
  } cases[] = {
      {[] { return ImprimeCheque("1", "1", "", "", "", ""); }, "Orvik_ImprimeCheque"},
      {[] { return ImprimeChequeMFD("1", "1", "", "", "", "", "1"); }, "Orvik_ImprimeChequeMFD"},
      {[] { return LeituraCheque(); }, "Orvik_LeituraCheque"},
      {[] { return VerificaStatusCheque(nullptr); }, "VerificaStatusCheque"},
      {[] { return ChequeNotAvailable("Orvik_ImprimeCopiaCheque"); }, "Orvik_ImprimeCopiaCheque"},
      {[] { return Autenticacao(); }, "OrvikKAP_Autenticacao"},
      {[] { return AutenticacaoMFD("1", "x"); }, "OrvikKAP_Autenticacao"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.call(), 0);
    EXPECT_EQ(State().last_return_code, -2);
    EXPECT_EQ(State().last_message, std::string("Comando Inexistente para este modelo:") + c.label);
  }
  EXPECT_EQ(State().return_value, "");
  EXPECT_TRUE(sent.empty());
  // The cheque model has no such commands either, but knows of them.
  StartWith("ModeloImp=ORVIK_QM4100XR\r\n");
  EXPECT_EQ(ChequeNotAvailable("Orvik_CancelaImpressaoCheque"), 0);
  EXPECT_EQ(State().last_return_code, -3);
  EXPECT_EQ(State().last_message, "Nao Implementado: Orvik_CancelaImpressaoCheque");
}

}  // namespace
}  // namespace orvik::lumvar
