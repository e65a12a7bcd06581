#include "orvik/lumvar/payment_forms.h"

#include "queries_test_peer.h"

namespace orvik::lumvar {
namespace {

using testing::ScriptedPeer;
using testing::Sent;

class PaymentForms : public ScriptedPeer {};

TEST_F(PaymentForms, CashAndCodesResolveWithoutThePrinter) {
  const struct {
    const char* form;
    const char* code;
  } cases[] = {
      {"DINHEIRO", "-2"}, {"  dinheiro ", "-2"}, {"Dinheiro", "-2"}, {"-2", "-2"}, {" -2 ", "-2"},
      {"3", "3"},         {"014", "014"},        {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResolvePaymentFormCode(c.form), c.code) << "form '" << c.form << "'";
  }
  EXPECT_TRUE(sent.empty());
}

TEST_F(PaymentForms, NamesAreLookedUpAndAnswerTheProgrammedCode) {
  Ok("LeMeioPagamento", "NomeMeioPagamento=\"Cartao\"",
     "CodMeioPagamento=4 NomeMeioPagamento=\"Cartao\" CodMeioPagamentoProgram=7 "
     "PermiteVinculado=S");
  EXPECT_EQ(ResolvePaymentFormCode("Cartao"), "7");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], (Sent{"LeMeioPagamento", "NomeMeioPagamento=\"Cartao\""}));
}

TEST_F(PaymentForms, AnUnknownNameAnswersAnEmptyCodeAndKeepsThePrinterError) {
  Error("LeMeioPagamento", "NomeMeioPagamento=\"Vale\"", 8014);
  core::State().read_code = std::string("5");  // left over from an earlier read
  EXPECT_EQ(ResolvePaymentFormCode("Vale"), "");
  EXPECT_EQ(core::State().last_return_code, 8014);
}

TEST_F(PaymentForms, ASignedOrMixedTextIsANameNotACode) {
  Ok("LeMeioPagamento", "NomeMeioPagamento=\"-3\"",
     "CodMeioPagamento=1 NomeMeioPagamento=\"x\" CodMeioPagamentoProgram=2 PermiteVinculado=N");
  EXPECT_EQ(ResolvePaymentFormCode("-3"), "2");
  EXPECT_EQ(sent.size(), 1u);
}

}  // namespace
}  // namespace orvik::lumvar
