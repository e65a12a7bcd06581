#include <functional>

#include "coupon_test_peer.h"
#include "orvik/lumvar/coupon.h"

namespace orvik::lumvar {
namespace {

using core::State;
using coupon_testing::Command;
using coupon_testing::CouponPeer;

using CouponPayments = CouponPeer;

TEST_F(CouponPayments, FormsByCodeOrName) {
  const std::string long_text(100, 'x');
  struct {
    std::function<int()> call;
    std::string parameters;
  } cases[] = {
      {[] { return EfetuaFormaPagamento("Dinheiro", "1000"); }, "CodMeioPagamento=-2 Valor=10,00"},
      {[] { return EfetuaFormaPagamento(" DINHEIRO ", "10,00"); },
       "CodMeioPagamento=-2 Valor=10,00"},
      {[] { return EfetuaFormaPagamento("-2", "5"); }, "CodMeioPagamento=-2 Valor=0,05"},
      {[] { return EfetuaFormaPagamento("03", "12,5"); }, "CodMeioPagamento=03 Valor=1,25"},
      {[] { return EfetuaFormaPagamento("Cartao \"C\"", "1,00"); },
       "NomeMeioPagamento=\"Cartao \\x22C\\x22\" Valor=1,00"},
      {[] { return EfetuaFormaPagamentoMFD("Cheque", "1,00", "3", "parcelado"); },
       "NomeMeioPagamento=\"Cheque\" Valor=1,00"},
      {[] { return EfetuaFormaPagamentoDescricaoForma("01", "1,00", "NSU 123"); },
       "CodMeioPagamento=01 Valor=1,00 TextoAdicional=\"NSU 123\""},
      {[&] { return EfetuaFormaPagamentoDescricaoForma("01", "1,00", long_text); },
       "CodMeioPagamento=01 Valor=1,00 TextoAdicional=\"" + std::string(80, 'x') + "\""},
  };
  for (const auto& c : cases) {
    sent.clear();
    EXPECT_EQ(c.call(), 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Command{"PagaCupom", c.parameters}));
  }
  Refuse("PagaCupom", 8014);
  EXPECT_EQ(EfetuaFormaPagamento("Vale", "1,00"), 0);
  EXPECT_EQ(State().last_return_code, 8014);
}

TEST_F(CouponPayments, ReversalResolvesBothFormsFirst) {
  StartWith("EspacamentoDocumentos=2\r\n");
  Then("LeMeioPagamento",
       "0;CodMeioPagamento=3 CodMeioPagamentoProgram=3 NomeMeioPagamento=\"Cartao\" "
       "PermiteVinculado=S");
  EXPECT_EQ(EstornoFormasPagamento("Cartao", "Dinheiro", "10,00"), 1);
  EXPECT_EQ(sent, (std::vector<Command>{
                      {"LeMeioPagamento", "NomeMeioPagamento=\"Cartao\""},
                      {"EstornaMeioPagamento",
                       "CodMeioPagamentoOrigem=3 CodMeioPagamentoDestino=-2 Valor=10,00"},
                      {"AvancaPapel", "Avanco=60"},
                  }));

  // A form the printer does not know: nothing is reversed.
  sent.clear();
  Refuse("LeMeioPagamento", 8014);
  EXPECT_EQ(EstornoFormasPagamento("-2", "Vale", "1,00"), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"LeMeioPagamento"}));
  sent.clear();
  EXPECT_EQ(EstornoFormasPagamento("", "-2", "1,00"), 0);
  EXPECT_TRUE(sent.empty());
  // A refused reversal feeds no paper.
  Refuse("EstornaMeioPagamento", 8111);
  EXPECT_EQ(EstornoFormasPagamento("-2", "01", "1,00"), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"EstornaMeioPagamento"}));
}

}  // namespace
}  // namespace orvik::lumvar
