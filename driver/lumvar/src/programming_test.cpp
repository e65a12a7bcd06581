#include <functional>

#include "coupon_test_peer.h"
#include "orvik/lumvar/documents.h"

namespace orvik::lumvar {
namespace {

using core::State;
using coupon_testing::Command;
using coupon_testing::CouponPeer;

using Programming = CouponPeer;

TEST_F(Programming, OneCommandExportsSendTheirExactParameters) {
  struct {
    const char* label;
    std::function<int()> call;
    Command sent;
  } cases[] = {
      {"drawer", [] { return AcionaGaveta(); }, {"AbreGaveta", ""}},
      {"cut", [] { return AcionaGuilhotinaMFD(1); }, {"CortaPapel", "TipoCorte=1"}},
      {"cut of an unknown kind",
       [] { return AcionaGuilhotinaMFD(10); },
       {"CortaPapel", "TipoCorte=0"}},
      {"truncation",
       [] { return ProgramaTruncamento(); },
       {"EscreveInteiro", "NomeInteiro=\"Arredondamento\" ValorInteiro=1"}},
      {"rounding",
       [] { return ProgramaArredondamento(); },
       {"EscreveInteiro", "NomeInteiro=\"Arredondamento\" ValorInteiro=0"}},
      {"currency singular",
       [] { return ProgramaMoedaSingular("Real \"R\""); },
       {"EscreveTexto", "NomeTexto=\"NomeMoedaSingular\" ValorTexto=\"Real \\x22R\\x22\""}},
      {"currency plural",
       [] { return ProgramaMoedaPlural("Reais"); },
       {"EscreveTexto", "NomeTexto=\"NomeMoedaPlural\" ValorTexto=\"Reais\""}},
      {"currency symbol",
       [] { return AlteraSimboloMoeda("R$"); },
       {"EscreveTexto", "NomeTexto=\"SimboloMoeda\" ValorTexto=\"R$\""}},
      {"department",
       [] { return NomeiaDepartamento(3, "Padaria"); },
       {"DefineDepartamento", "CodDepartamento=3 NomeDepartamento=\"Padaria\""}},
      {"non-fiscal totalizer",
       [] { return NomeiaTotalizadorNaoSujeitoIcms(4, "Conta \"luz\""); },
       {"DefineNaoFiscal", "CodNaoFiscal=4 NomeNaoFiscal=\"Conta \\x22luz\\x22\""}},
      {"line spacing",
       [] { return EspacoEntreLinhas(12); },
       {"EscreveInteiro", "NomeInteiro=\"EspacamentoLinhas\" ValorInteiro=12"}},
      {"extended answers",
       [] { return HabilitaDesabilitaRetornoEstendidoMFD(); },
       {"LeTexto", "NomeTexto=\"NumeroSerieECF\""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    sent.clear();
    EXPECT_EQ(c.call(), 1);
    EXPECT_EQ(sent, std::vector<Command>{c.sent});
  }
}

TEST_F(Programming, FeedAndCut) {
  EXPECT_EQ(AvancaCorta(3, 9), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"AvancaPapel", "Avanco=90"}}));
  sent.clear();
  EXPECT_EQ(AvancaCorta(0, 1), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"CortaPapel", "TipoCorte=1"}}));
  sent.clear();
  // A feed too long for 32 bits once multiplied still goes out as the number it is.
  EXPECT_EQ(AvancaCorta(100000000, 9), 1);
  EXPECT_EQ(sent, (std::vector<Command>{{"AvancaPapel", "Avanco=3000000000"}}));
  sent.clear();
  Refuse("AvancaPapel", 8108);
  EXPECT_EQ(AvancaCorta(1, 9), 0);
}

TEST_F(Programming, RatesGoToTheNextFreeSlot) {
  Then("LeInteiro", "0;ValorInteiro=4");
  EXPECT_EQ(ProgramaAliquota("18,00", 0), 1);
  Then("LeInteiro", "0;ValorInteiro=5");
  EXPECT_EQ(ProgramaAliquota("500", 1), 1);
  EXPECT_EQ(sent, (std::vector<Command>{
                      {"LeInteiro", "NomeInteiro=\"AliquotaDisponivel\""},
                      {"DefineAliquota", "CodAliquotaProgramavel=4 PercentualAliquota=18,00"},
                      {"LeInteiro", "NomeInteiro=\"AliquotaDisponivel\""},
                      {"DefineAliquota",
                       "CodAliquotaProgramavel=5 PercentualAliquota=5,00 AliquotaICMS = false"},
                  }));
  sent.clear();
  Refuse("LeInteiro", 9999);
  EXPECT_EQ(ProgramaAliquota("18,00", 0), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"LeInteiro"}));
}

TEST_F(Programming, DaylightSavingIsToggledFromWhatThePrinterSays) {
  Then("LeIndicador", "0;ValorNumericoIndicador=1 ValorIndicador=1");
  EXPECT_EQ(ProgramaHorarioVerao(), 1);
  Then("LeIndicador", "0;ValorNumericoIndicador=0 ValorIndicador=0");
  EXPECT_EQ(ProgramaHorarioVerao(), 1);
  EXPECT_EQ(sent, (std::vector<Command>{
                      {"LeIndicador", "NomeIndicador=\"HorarioVerao\""},
                      {"AcertaHorarioVerao", "EntradaHV=0"},
                      {"LeIndicador", "NomeIndicador=\"HorarioVerao\""},
                      {"AcertaHorarioVerao", "EntradaHV=1"},
                  }));
  // A failed read changes nothing, whatever the last read said.
  sent.clear();
  Refuse("LeIndicador", 9999);
  EXPECT_EQ(ProgramaHorarioVerao(), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"LeIndicador"}));
  EXPECT_EQ(State().last_return_code, 9999);
}

TEST_F(Programming, APaymentFormKeepsThePrintersSpellingWhenFound) {
  Refuse("LeMeioPagamento", 8014);
  Then("LeMeioPagamento",
       "0;CodMeioPagamento=1 CodMeioPagamentoProgram=1 NomeMeioPagamento=\"Cheque\" "
       "PermiteVinculado=N");
  Then("LeMeioPagamento",
       "0;CodMeioPagamento=2 CodMeioPagamentoProgram=2 NomeMeioPagamento=\"CarTao\" "
       "PermiteVinculado=S");
  EXPECT_EQ(ProgramaFormaPagamentoMFD("CARTAO", "1"), 1);
  EXPECT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].parameters, "CodMeioPagamentoProgram=0");
  EXPECT_EQ(sent[2].parameters, "CodMeioPagamentoProgram=2");
  EXPECT_EQ(sent.back(),
            (Command{"DefineMeioPagamento", "NomeMeioPagamento=\"CarTao\" PermiteVinculado=true"}));
}

TEST_F(Programming, ANewPaymentFormIsDefinedAfterTheWholeTable) {
  for (int i = 0; i < 15; ++i) Refuse("LeMeioPagamento", 8014);
  EXPECT_EQ(ProgramaFormaPagamentoMFD("Vale \"x\"", "S"), 1);
  EXPECT_EQ(sent.size(), 16u);
  EXPECT_EQ(sent.back(),
            (Command{"DefineMeioPagamento",
                     "NomeMeioPagamento=\"Vale \\x22x\\x22\" PermiteVinculado=false"}));
  EXPECT_EQ(State().last_return_code, 0);
}

TEST_F(Programming, ATableThatCannotBeReadDefinesNothing) {
  Refuse("LeMeioPagamento", 8014);
  Refuse("LeMeioPagamento", 9999);
  EXPECT_EQ(ProgramaFormaPagamentoMFD("Vale", "1"), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>(2, "LeMeioPagamento")));
  EXPECT_EQ(State().last_return_code, 9999);
}

}  // namespace
}  // namespace orvik::lumvar
