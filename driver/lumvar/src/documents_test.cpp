#include "orvik/lumvar/documents.h"

#include <functional>

#include "common/ini.h"
#include "coupon_test_peer.h"
#include "orvik/lumvar/coupon.h"

namespace orvik::lumvar {
namespace {

using core::State;
using coupon_testing::Command;
using coupon_testing::CouponPeer;

using Documents = CouponPeer;

// Exports that send one command built from their arguments.
TEST_F(Documents, OneCommandExportsSendTheirExactParameters) {
  struct {
    const char* label;
    std::function<int()> call;
    Command sent;
  } cases[] = {
      {"gerencial by index",
       [] { return AbreRelatorioGerencialMFD("3"); },
       {"AbreGerencial", "CodGerencial=3"}},
      {"gerencial name",
       [] { return NomeiaRelatorioGerencialMFD("2", "Sangrias \"dia\""); },
       {"DefineGerencial", "CodGerencial=2 NomeGerencial=\"Sangrias \\x22dia\\x22\""}},
      {"voucher by code",
       [] { return AbreComprovanteNaoFiscalVinculado("2", "15,50", "123"); },
       {"AbreCreditoDebito", "CodMeioPagamento=2 Valor = 15,50 COO = 123"}},
      {"voucher of cash",
       [] { return AbreComprovanteNaoFiscalVinculado("-2", "1", ""); },
       {"AbreCreditoDebito", "CodMeioPagamento=-2 Valor = 0,01"}},
      {"voucher by name",
       [] { return AbreComprovanteNaoFiscalVinculado("Cartao \"C\"", "", "45"); },
       {"AbreCreditoDebito", "NomeMeioPagamento=\"Cartao \\x22C\\x22\" COO = 45"}},
      {"voucher without form",
       [] { return AbreComprovanteNaoFiscalVinculado("", "10", ""); },
       {"AbreCreditoDebito", " Valor = 0,10"}},
      {"voucher line",
       [] { return UsaComprovanteNaoFiscalVinculado("Via \"cliente\"\\n"); },
       {"ImprimeTexto", "TextoLivre=\"Via \\x22cliente\\x22\\n\""}},
      {"voucher reprint",
       [] { return ReimpressaoNaoFiscalVinculadoMFD(); },
       {"ReimprimeViaCreditoDebito", ""}},
      {"voucher second copy",
       [] { return SegundaViaNaoFiscalVinculadoMFD(); },
       {"EmiteViaCreditoDebito", ""}},
      {"receipt open",
       [] { return AbreRecebimentoNaoFiscalMFD("123", "Jo\"se", "Rua A"); },
       {"AbreCupomNaoFiscal",
        "IdConsumidor=\"123\" EnderecoConsumidor=\"Rua A\" NomeConsumidor=\"Jo\\x22se\""}},
      {"receipt open, no consumer",
       [] { return AbreRecebimentoNaoFiscalMFD("", "", ""); },
       {"AbreCupomNaoFiscal", "IdConsumidor=\"\" EnderecoConsumidor=\"\" NomeConsumidor=\"\""}},
      {"receipt item",
       [] { return EfetuaRecebimentoNaoFiscalMFD("4", "12,5"); },
       {"EmiteItemNaoFiscal", "CodNaoFiscal=4 Valor=1,25"}},
      {"receipt item surcharge",
       [] { return AcrescimoItemNaoFiscalMFD("1", "A", "$", "2,00"); },
       {"AcresceItemNaoFiscal", "Cancelar=false ValorAcrescimo= 2,00"}},
      {"receipt item discount %",
       [] { return AcrescimoItemNaoFiscalMFD("1", "D", "%", "10"); },
       {"AcresceItemNaoFiscal", "Cancelar=false ValorPercentual=-0,10"}},
      {"receipt item adjustment cancelled",
       [] { return CancelaAcrescimoNaoFiscalMFD("2"); },
       {"AcresceItemNaoFiscal", "Cancelar=true NumItem=2"}},
      {"receipt item cancelled",
       [] { return CancelaItemNaoFiscalMFD("3"); },
       {"CancelaItemNaoFiscal", "NumItem=3"}},
      {"receipt subtotal adjustment cancelled",
       [] { return CancelaAcrescimoDescontoSubtotalRecebimentoMFD(); },
       {"AcresceSubtotal", "Cancelar=true"}},
      {"receipt subtotal",
       [] { return SubTotalComprovanteNaoFiscalMFD(); },
       {"LeMoeda", "NomeDadoMonetario=\"TotalDocLiquido\""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    sent.clear();
    EXPECT_EQ(c.call(), 1);
    EXPECT_EQ(sent, std::vector<Command>{c.sent});
  }
}

TEST_F(Documents, TheFirstProgrammedGerencialReportIsOpened) {
  // Reports 0 and 1 are not programmed: three attempts.
  Refuse("AbreGerencial", 8018);
  Refuse("AbreGerencial", 8018);
  EXPECT_EQ(AbreRelatorioGerencial(), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"AbreGerencial", "CodGerencial=0"},
                                        {"AbreGerencial", "CodGerencial=1"},
                                        {"AbreGerencial", "CodGerencial=2"}}));
  // Another error ends the search at once.
  sent.clear();
  Refuse("AbreGerencial", 8018);
  Refuse("AbreGerencial", 8104);
  EXPECT_EQ(AbreRelatorioGerencial(), 0);
  EXPECT_EQ(State().last_return_code, 8104);
  EXPECT_EQ(sent.size(), 2u);
  // None programmed: twenty attempts and the last failure.
  sent.clear();
  for (int i = 0; i < 25; ++i) Refuse("AbreGerencial", 8018);
  EXPECT_EQ(AbreRelatorioGerencial(), 0);
  EXPECT_EQ(sent.size(), 20u);
  EXPECT_EQ(sent.back().parameters, "CodGerencial=19");
  EXPECT_EQ(State().last_return_code, 8018);
}

TEST_F(Documents, AGerencialLineOpensAReportOnlyWhenNoneIsOpen) {
  Then("LeInteiro", "0;ValorInteiro=0");
  EXPECT_EQ(RelatorioGerencial("Total \"caixa\""), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"LeInteiro", "NomeInteiro=\"TipoDocEmEmissao\""},
                                        {"AbreGerencial", "CodGerencial=0"},
                                        {"ImprimeTexto", "TextoLivre=\"Total \\x22caixa\\x22\""}}));
  sent.clear();
  Then("LeInteiro", "0;ValorInteiro=15");
  EXPECT_EQ(UsaRelatorioGerencialMFD("linha"), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"LeInteiro", "ImprimeTexto"}));
  // A failed read or open prints nothing.
  sent.clear();
  Refuse("LeInteiro", 9999);
  EXPECT_EQ(RelatorioGerencial("x"), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"LeInteiro"}));
  sent.clear();
  Then("LeInteiro", "0;ValorInteiro=3");
  Refuse("AbreGerencial", 8116);
  EXPECT_EQ(RelatorioGerencial("x"), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"LeInteiro", "AbreGerencial"}));
}

TEST_F(Documents, ClosingTheGerencialReportClearsTheFlagFirst) {
  State().gerencial_open = 1;
  common::IniFile(folder.ini()).write("Flags", "Gerencial", "1");
  State().operator_name = "Op";
  EXPECT_EQ(FechaRelatorioGerencial(), 1);
  // Exactly one close: the engine's own close of a forgotten report does not run.
  EXPECT_EQ(sent, (std::vector<Command>{{"EncerraDocumento", "Operador=\"Op\""}}));
  EXPECT_EQ(State().gerencial_open, 0);
  EXPECT_EQ(common::IniFile(folder.ini()).read("Flags", "Gerencial"), "0");
}

TEST_F(Documents, AReportLeftOpenIsClosedWithTheOperatorsQuotesEscaped) {
  State().gerencial_open = 1;
  State().operator_name = "Jo\"ao";
  EXPECT_EQ(AcionaGaveta(), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"EncerraDocumento", "Operador=\"Jo\\x22ao\""},
                                        {"AbreGaveta", ""}}));
}

TEST_F(Documents, DepartmentsArePrintedInsideAGerencialReport) {
  EXPECT_EQ(ImprimeDepartamentos(), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"AbreGerencial", "ImprimeDadosDepartamento",
                                               "EncerraDocumento"}));
  sent.clear();
  Refuse("ImprimeDadosDepartamento", 8101);
  EXPECT_EQ(ImprimeDepartamentos(), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"AbreGerencial", "ImprimeDadosDepartamento"}));
}

TEST_F(Documents, TheVoucherCloseOnlyClosesTheDocument) {
  // ID.TXT belongs to the next coupon: a voucher neither sends nor consumes it.
  ASSERT_EQ(IdentificaConsumidor("123", "Ana", "Rua"), 1);
  State().application_id = "PDV";
  EXPECT_EQ(FechaComprovanteNaoFiscalVinculado(), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"EncerraDocumento", "Operador=\"\""}}));
  EXPECT_TRUE(Exists("ID.TXT"));
}

TEST_F(Documents, VoucherReversalNamesTheCurrentCoo) {
  Then("LeInteiro", "0;ValorInteiro=321");
  EXPECT_EQ(EstornoNaoFiscalVinculadoMFD(), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"LeInteiro", "NomeInteiro=\"COO\""},
                                        {"EstornaCreditoDebito", "COO=321"}}));
  sent.clear();
  Refuse("LeInteiro", 9999);
  EXPECT_EQ(EstornoNaoFiscalVinculadoMFD(), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"LeInteiro"}));
}

TEST_F(Documents, TheReceiptCloseSendsItsMessageThenCloses) {
  Refuse("ImprimeTexto", 8101);  // ignored
  EXPECT_EQ(FechaRecebimentoNaoFiscalMFD("Obrigado \"!\""), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"ImprimeTexto", "TextoLivre=\"Obrigado \\x22!\\x22\""},
                                        {"EncerraDocumento", "Operador=\"\""}}));
}

using OneCall = CouponPeer;

TEST_F(OneCall, WithdrawalSupplyAndReceiptSendTheirSequence) {
  StartWith("SANGRIA=7\r\nSUPRIMENTO=8\r\n");
  struct {
    const char* label;
    std::function<int()> call;
    std::string item, payment;
  } cases[] = {
      {"withdrawal", [] { return Sangria("50,00"); }, "CodNaoFiscal=7 Valor=50,00",
       "CodMeioPagamento=-2 Valor=50,00"},
      {"supply, blank form", [] { return Suprimento("100", " "); }, "CodNaoFiscal=8 Valor=1,00",
       "CodMeioPagamento=-2 Valor=1,00"},
      {"supply by form name", [] { return Suprimento("100", "Cheque"); },
       "CodNaoFiscal=8 Valor=1,00", "NomeMeioPagamento=\"Cheque\" Valor=1,00"},
      {"receipt", [] { return RecebimentoNaoFiscal("5", "20,00", "3"); },
       "CodNaoFiscal=5 Valor=20,00", "CodMeioPagamento=3 Valor=20,00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    sent.clear();
    EXPECT_EQ(c.call(), 1);
    EXPECT_EQ(sent, (std::vector<Command>{{"AbreCupomNaoFiscal", ""},
                                          {"EmiteItemNaoFiscal", c.item},
                                          {"PagaCupom", c.payment},
                                          {"EncerraDocumento", "Operador=\"\""}}));
  }
}

TEST_F(OneCall, AFailedOpenSendsNothingMore) {
  // The payment and close would otherwise land on the customer's coupon left open.
  for (auto call : {std::function<int()>([] { return Sangria("1"); }),
                    std::function<int()>([] { return Suprimento("1", ""); }),
                    std::function<int()>([] { return RecebimentoNaoFiscal("1", "1", "-2"); })}) {
    sent.clear();
    Refuse("AbreCupomNaoFiscal", 8116);
    EXPECT_EQ(call(), 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"AbreCupomNaoFiscal"}));
    EXPECT_EQ(State().last_return_code, 8116);
  }
}

TEST_F(OneCall, AfterTheOpenEveryStepRunsAndTheFirstRecordedFailureIsAnswered) {
  struct {
    const char* label;
    std::function<int()> call;
    const char* refused;
    int code;
    int result;
    int last_code;
  } cases[] = {
      // The item fails: the document is still paid and closed; the item's error is answered.
      {"withdrawal item", [] { return Sangria("1"); }, "EmiteItemNaoFiscal", 8005, 0, 8005},
      // A withdrawal's and a receipt's payment failures are not recorded.
      {"withdrawal payment", [] { return Sangria("1"); }, "PagaCupom", 8014, 1, 0},
      {"receipt payment", [] { return RecebimentoNaoFiscal("1", "1", "9"); }, "PagaCupom", 8014, 1,
       0},
      // A supply's is.
      {"supply payment", [] { return Suprimento("1", "9"); }, "PagaCupom", 8014, 0, 8014},
      {"supply close", [] { return Suprimento("1", ""); }, "EncerraDocumento", 8103, 0, 8103},
      {"receipt close", [] { return RecebimentoNaoFiscal("1", "1", "-2"); }, "EncerraDocumento",
       8103, 0, 8103},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    sent.clear();
    Refuse(c.refused, c.code);
    EXPECT_EQ(c.call(), c.result);
    std::vector<std::string> expected = {"AbreCupomNaoFiscal", "EmiteItemNaoFiscal", "PagaCupom",
                                         "EncerraDocumento"};
    // A receipt that cannot be closed is cancelled, so no document stays open.
    if (std::string(c.refused) == "EncerraDocumento") expected.push_back("CancelaCupom");
    EXPECT_EQ(Names(), expected);
    EXPECT_EQ(State().last_return_code, c.last_code);
  }
  // The first failure wins over later ones, the cancel's included.
  sent.clear();
  Refuse("EmiteItemNaoFiscal", 8005);
  Refuse("EncerraDocumento", 8102);
  Refuse("CancelaCupom", 8111);
  EXPECT_EQ(Suprimento("1", ""), 0);
  EXPECT_EQ(State().last_return_code, 8005);
  EXPECT_EQ(State().last_message, "E - recusado");
  EXPECT_EQ(sent.back(), (Command{"CancelaCupom", "Operador=\"\""}));
}

}  // namespace
}  // namespace orvik::lumvar
