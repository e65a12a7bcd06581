#include "orvik/qvx/routines.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "common/text1252.h"
#include "orvik/core/fake_transport.h"
#include "orvik/core/port.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"
#include "orvik/qvx/reply.h"

namespace orvik::qvx {
namespace {

using core::FakeTransport;
using core::State;

const std::string STX(1, kStx), ETX(1, kEtx);

std::string Ok() {
  return STX + "+1000" + "00" + ETX;
}
std::string Error(const char* number) {
  return STX + "-1000" + number + ETX;
}
std::string Data(const std::string& data) {
  return STX + "S1000" + data + ETX;
}
std::string U(const char* utf8) {
  return common::utf8_to_cp1252(utf8);
}

// Runs routines against a fake printer that records each command text and answers from
// a table by text (default: accepted).
class QvxRoutines : public ::testing::Test {
 protected:
  void SetUp() override { Use("ORVIK_820"); }
  void TearDown() override { core::SetTransport(nullptr); }

  void Use(const std::string& model, const std::string& more = "") {
    folder.WriteIni("[Sistema]\r\nModeloImp=" + model + "\r\n" + more);
    core::Startup();
    record = FakeTransport::Record{};
    core::SetTransport(std::make_unique<FakeTransport>(&record));
    record.responder = [this](const std::string& frame) {
      const std::string text = frame.substr(3, frame.size() - 4);
      texts.push_back(text);
      auto it = answers.find(text);
      return it == answers.end() ? Ok() : it->second;
    };
    texts.clear();
    answers.clear();
  }

  core::TestFolder folder;
  FakeTransport::Record record;
  std::vector<std::string> texts;
  std::map<std::string, std::string> answers;
};

struct FrameCase {
  const char* what;
  std::function<int()> run;
  std::vector<std::string> family1, family2;  // texts sent, in order
};

TEST_F(QvxRoutines, CommandTextsOfEveryRoutineOnBothModels) {
  const std::string desc38 = "ARROZ TIPO 1" + std::string(26, ' ');
  const std::string kg_label = "Peso (KG) X Preco(R$/KG)         Valor";
  const FrameCase cases[] = {
      {"X", [] { return LeituraX(); }, {"150"}, {"150"}},
      {"Z", [] { return ReducaoZ("", ""); }, {"160"}, {"160"}},
      {"gerencial", [] { return AbreRelatorioGerencial(); }, {"151"}, {"151"}},
      {"gerencial MFD", [] { return AbreRelatorioGerencialMFD("01"); }, {"151"}, {"151"}},
      {"line",
       [] { return ImprimeLinha("linha\r\n1"); },
       {"260linha  1" + std::string(32, ' ')},
       {"260linha  1" + std::string(40, ' ')}},
      {"close", [] { return FechaDocumento(); }, {"21"}, {"21"}},
      {"voucher",
       [] { return AbreComprovanteNaoFiscalVinculado("1", "10,00", "12"); },
       {"20"},
       {"20"}},
      {"fiscal memory by date",
       [] { return LeituraMemoriaFiscalData("01022010", "01/03/2010", "c"); },
       {"17010210010310"},
       {"17010210010310"}},
      {"fiscal memory by six-digit date",
       [] { return LeituraMemoriaFiscalData("010210", "1032010", "c"); },
       {"17010210010310"},
       {"17010210010310"}},
      {"fiscal memory by reduction",
       [] { return LeituraMemoriaFiscalReducao("1", "12", "s"); },
       {"1800010012"},
       {"1800010012"}},
      {"open",
       [] { return AbreCupom("123.456.789-09"); },
       {"10"},
       {"10123.456.789-09" + std::string(14, ' ')}},
      {"open MFD",
       [] { return AbreCupomMFD("12345678901234567890123456789", "n", "a"); },
       {"10"},
       {"101234567890123456789012345678"}},
      {"short item",
       [] { return VendeItem("789-1", "FEIJAO", "FF", "UN", "1000", 2, "1,99", "$", "0"); },
       {"11-"
        "001000"
        "00000000199"
        "F00"
        "&000000000000000"
        "UN"
        "0000000007891"
        "0"
        "FEIJAO" +
        std::string(14, ' ')},
       {"11G"
        "0001000"
        "00000000199"
        "F00"
        "&000000000000000"
        "UN"
        "0000000007891"
        "0"
        "FEIJAO" +
        std::string(14, ' ')}},
      {"long item in KG",
       [=] { return VendeItem("7", "ARROZ TIPO 1", "16", "KG", "2500", 3, "4590", "$", "10"); },
       {"11-"
        "002500"
        "00000004590"
        "T00"
        "&000000000000010"
        "KG"
        "0000000000007"
        "2" +
        desc38 + kg_label},
       {"11H"
        "0002500"
        "00000004590"
        "T00"
        "&000000000000010"
        "KG"
        "0000000000007"
        "2" +
        desc38 + kg_label}},
      {"item in litres, rate 3",
       [] { return VendeItem("1", "OLEO", "3", "LT", "1", 2, "5", "", ""); },
       {"11-"
        "000001"
        "00000000005"
        "T03"
        "&000000000000000"
        "LT"
        "0000000000001"
        "2"
        "OLEO" +
        std::string(34, ' ') + "Litro(LT) X Preco(R$/LT)         Valor"},
       {"11G"
        "0000001"
        "00000000005"
        "T03"
        "&000000000000000"
        "LT"
        "0000000000001"
        "2"
        "OLEO" +
        std::string(34, ' ') + "Litro(LT) X Preco(R$/LT)         Valor"}},
      {"cancel item", [] { return CancelaItemGenerico("7"); }, {"12007"}, {"12007"}},
      {"cancel coupon", [] { return CancelaCupom(); }, {"14"}, {"14"}},
      {"surcharge",
       [] { return IniciaFechamentoCupom("A", "%", "1,50"); },
       {"06@&000000000000150"},
       {"06@&000000000000150"}},
      {"discount",
       [] { return IniciaFechamentoCupom("D", "$", "2,00"); },
       {"06&000000000000200"},
       {"06&000000000000200"}},
      {"payment",
       [] { return EfetuaFormaPagamento("3", "10,00"); },
       {"0702000000000001000"
        "1"},
       {"07020000000000010001"}},
      {"payment not a number pays as DINHEIRO",
       [] { return EfetuaFormaPagamento("Cartao", "5"); },
       {"07000000000000000051"},
       {"07000000000000000051"}},
      {"close",
       [] { return FechaCupom("2", "A", "$", "0", "10,00", "Obrigado"); },
       {"07020000000000000000", "08S008Obrigado"},
       {"07020000000000000000", "08S008Obrigado"}},
      {"end of the close",
       [] { return TerminaFechamentoCupom("Volte\nSempre"); },
       {"07000000000000000000", "08S012Volte Sempre"},
       {"07000000000000000000", "08S012Volte Sempre"}},
      {"supply",
       [] { return Suprimento("50,00", "0"); },
       {"22", "2300000000000005000%0000", "21"},
       {"22", "2300000000000005000%0000", "21"}},
      {"withdrawal",
       [] { return Sangria("20,00"); },
       {"22", "2301000000000002000%0000", "21"},
       {"22", "2301000000000002000%0000", "21"}},
      {"authentication", [] { return Autenticacao(); }, {"01000", "03     "}, {"01000", "03     "}},
      {"drawer", [] { return AcionaGaveta(); }, {"240\x14P"}, {"240\x14P"}},
  };
  for (const auto& model : {std::string("ORVIK_610"), std::string("ORVIK_820")}) {
    for (const FrameCase& c : cases) {
      SCOPED_TRACE(model + ": " + c.what);
      Use(model);
      EXPECT_EQ(c.run(), 1);
      EXPECT_EQ(texts, model == "ORVIK_610" ? c.family1 : c.family2);
    }
  }
}

TEST_F(QvxRoutines, PaymentIndexAddsDinheiroMinusOne) {
  struct {
    const char* dinheiro;
    const char* form;
    const char* index;
  } cases[] = {{"1", "3", "03"}, {"0", "1", "00"}, {"5", "2", "06"}, {"7", "x", "07"}};
  for (const auto& c : cases) {
    Use("ORVIK_610", std::string("DINHEIRO=") + c.dinheiro + "\r\n");
    EXPECT_EQ(EfetuaFormaPagamento(c.form, "100"), 1);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].substr(0, 4), std::string("07") + c.index) << c.dinheiro << "/" << c.form;
  }
}

TEST_F(QvxRoutines, FieldsTooWideSendNothing) {
  struct {
    const char* what;
    const char* model;
    std::function<int()> run;
    const char* message;
  } cases[] = {
      {"7-digit quantity on the 610", "ORVIK_610",
       [] { return VendeItem("1", "A", "FF", "UN", "1234567", 2, "100", "", "0"); },
       "Quantidade inválida"},
      {"8-digit quantity on the 820", "ORVIK_820",
       [] { return VendeItem("1", "A", "FF", "UN", "12345678", 2, "100", "", "0"); },
       "Quantidade inválida"},
      {"price of 12 digits", "ORVIK_820",
       [] { return VendeItem("1", "A", "FF", "UN", "1", 2, "123456789012", "", "0"); },
       "Campo Preço unitário excede 11 dígitos"},
      {"code of 14 digits", "ORVIK_820",
       [] { return VendeItem("12345678901234", "A", "FF", "UN", "1", 2, "1", "", "0"); },
       "Campo Código excede 13 dígitos"},
      {"rate 100", "ORVIK_820",
       [] { return VendeItem("1", "A", "100", "UN", "1", 2, "1", "", ""); }, "Alíquota inválida"},
      {"rate 18,00", "ORVIK_820",
       [] { return VendeItem("1", "A", "18,00", "UN", "1", 2, "1", "", ""); }, "Alíquota inválida"},
      {"rate ff", "ORVIK_820", [] { return VendeItem("1", "A", "ff", "UN", "1", 2, "1", "", ""); },
       "Alíquota inválida"},
      {"item 1000", "ORVIK_820", [] { return CancelaItemGenerico("1000"); },
       "Campo Item excede 3 dígitos"},
      {"reduction 10000", "ORVIK_820", [] { return LeituraMemoriaFiscalReducao("1", "10000", ""); },
       "Campo Redução final excede 4 dígitos"},
      {"payment of 16 digits", "ORVIK_820",
       [] { return EfetuaFormaPagamento("1", "1234567890123456"); },
       "Campo Valor excede 15 dígitos"},
      {"payment form 0 with DINHEIRO 0", "ORVIK_820", [] { return EfetuaFormaPagamento("0", "1"); },
       "Campo Forma de pagamento fora de 00 a 99"},
      {"supply form 100", "ORVIK_820", [] { return Suprimento("1", "100"); },
       "Campo Forma excede 2 dígitos"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Use(c.model);
    EXPECT_EQ(c.run(), 0);
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(State().last_return_code, -6);
    EXPECT_EQ(State().last_message, U(c.message));
  }
  // Leading zeros do not make a number wider; the quantity counts every digit it was given.
  Use("ORVIK_820");
  EXPECT_EQ(EfetuaFormaPagamento("1", "0000000000000000100"), 1);
  EXPECT_EQ(texts.at(0), "07000000000000001001");
}

TEST_F(QvxRoutines, TaxCodes) {
  struct {
    const char* aliquot;
    const char* field;
  } cases[] = {{"FF", "F00"}, {"II", "I00"}, {"NN", "N00"}, {"16", "T00"}, {"0", "T00"},
               {"3", "T03"},  {"07", "T07"}, {"15", "T15"}, {"99", "T99"}};
  for (const auto& c : cases) {
    std::string out;
    EXPECT_TRUE(TaxField(c.aliquot, out)) << c.aliquot;
    EXPECT_EQ(out, c.field) << c.aliquot;
  }
  std::string out;
  for (const char* bad : {"", "F", "FFF", "-1", "1a", "T1", " 1"})
    EXPECT_FALSE(TaxField(bad, out)) << bad;
}

TEST_F(QvxRoutines, TextFieldsBlankControlBytesAndKeep8BitOnes) {
  EXPECT_EQ(TextField("a\tb\x01", 5), "a b  ");
  EXPECT_EQ(TextField("a\xe7\xe3o", 4), "a\xe7\xe3o");
  EXPECT_EQ(TextField("abcdef", 3), "abc");
}

TEST_F(QvxRoutines, SupplyKeepsItsFirstFailureAndClosesAllTheSame) {
  answers["2300000000000000100%0000"] = Error("25");
  answers["21"] = Error("24");
  EXPECT_EQ(Suprimento("1,00", "0"), 0);
  EXPECT_EQ(texts, (std::vector<std::string>{"22", "2300000000000000100%0000", "21"}));
  EXPECT_EQ(State().last_return_code, 25);
  EXPECT_EQ(State().last_message, U("Comando não aceito durante Cupom Não Fiscal"));
  // When the first two pass, the close's result is the answer.
  answers.erase("2300000000000000100%0000");
  texts.clear();
  EXPECT_EQ(Suprimento("1,00", "0"), 0);
  EXPECT_EQ(State().last_return_code, 24);
}

TEST_F(QvxRoutines, AuthenticationGoesOnAfterError44Only) {
  answers["01000"] = Error("44");
  EXPECT_EQ(Autenticacao(), 1);
  EXPECT_EQ(texts, (std::vector<std::string>{"01000", "03     "}));
  texts.clear();
  answers["01000"] = Error("46");
  EXPECT_EQ(Autenticacao(), 0);
  EXPECT_EQ(texts, (std::vector<std::string>{"01000"}));
  EXPECT_EQ(State().last_return_code, 46);
}

TEST_F(QvxRoutines, CloseIgnoresThePaymentOfWhatIsLeft) {
  answers["07000000000000000000"] = Error("56");
  EXPECT_EQ(TerminaFechamentoCupom(""), 1);
  EXPECT_EQ(texts.back(), "08S000");
}

TEST_F(QvxRoutines, StatusQueriesReadTheirBits) {
  // Bytes: first 0xC5 (coupon open, day closed, daylight saving, last was a coupon),
  // second 0x00, third 0x42 (drawer open, paper near end), then four more characters.
  answers["32"] = Data("C500420000");
  int flags = -1;
  EXPECT_EQ(FlagsFiscais(&flags), 1);
  EXPECT_EQ(flags, 1 + 4 + 8 + 32);
  int drawer = -1;
  EXPECT_EQ(VerificaEstadoGaveta(&drawer), 1);
  EXPECT_EQ(drawer, 1);
  EXPECT_EQ(VerificaSensorPoucoPapel(), 1);
  EXPECT_EQ(State().return_value, "1");
  EXPECT_EQ(VerificaModoOperacao(), 1);
  EXPECT_EQ(State().return_value, "1");
  answers["32"] = Data("0800000000");  // technical intervention
  EXPECT_EQ(VerificaModoOperacao(), 1);
  EXPECT_EQ(State().return_value, "0");
  EXPECT_EQ(VerificaEstadoGaveta(&drawer), 1);
  EXPECT_EQ(drawer, 0);

  // Failures empty the answers ("0" for the low-paper sensor).
  answers["32"] = Error("10");
  State().return_value = "old";
  EXPECT_EQ(VerificaModoOperacao(), 0);
  EXPECT_EQ(State().return_value, "");
  EXPECT_EQ(VerificaSensorPoucoPapel(), 0);
  EXPECT_EQ(State().return_value, "0");
  flags = drawer = 7;
  EXPECT_EQ(FlagsFiscais(&flags), 0);
  EXPECT_EQ(VerificaEstadoGaveta(&drawer), 0);
  EXPECT_EQ(flags, 0);
  EXPECT_EQ(drawer, 0);
  answers["32"] = Data("zz00000000");  // not hexadecimal
  EXPECT_EQ(FlagsFiscais(&flags), 0);
  EXPECT_EQ(State().last_return_code, -1);
}

TEST_F(QvxRoutines, RatesWithTheirKindsInExactly16Groups) {
  answers["30"] = Data(
      "1800"
      "0500"
      "0000"
      "1200" +
      std::string(48, '0') + "9999");
  answers["34M86"] = Data("4000");  // bit of rate 2 (second from the top): service tax
  EXPECT_EQ(RetornoAliquotas(), 1);
  std::string want = "T1800,S0500,-0000,T1200";
  for (int i = 4; i < 16; ++i) want += ",-0000";
  EXPECT_EQ(State().return_value, want);
  // A short rates text leaves the missing groups empty; a bad kind register marks T.
  answers["30"] = Data("0700");
  answers["34M86"] = Data("zz");
  EXPECT_EQ(RetornoAliquotas(), 1);
  want = "T0700";
  for (int i = 1; i < 16; ++i) want += ",-0000";
  EXPECT_EQ(State().return_value, want);
  answers["30"] = Error("10");
  EXPECT_EQ(RetornoAliquotas(), 0);
  EXPECT_EQ(State().return_value, "");
}

TEST_F(QvxRoutines, PaymentFormsDatesAndNetSales) {
  for (int r = 50; r <= 65; ++r)
    answers["34M" + std::to_string(r)] = Data(r == 50 ? "DINHEIRO        X" : "                ");
  EXPECT_EQ(VerificaFormasPagamento(), 1);
  EXPECT_EQ(State().return_value, "DINHEIRO" + std::string(8 + 15 * 16, ' '));
  answers["34M53"] = Error("57");
  EXPECT_EQ(VerificaFormasPagamento(), 0);
  EXPECT_EQ(State().return_value, "");

  answers["33"] = Data("100326143005");
  EXPECT_EQ(DataHoraImpressora(), 1);
  EXPECT_EQ(State().return_value, "100326");
  EXPECT_EQ(State().second_return_value, "143005");
  EXPECT_EQ(DataMovimento(), 1);
  EXPECT_EQ(State().return_value, "100326");

  State().second_return_value = "old";
  answers["34M83"] = Data("090326220000");
  EXPECT_EQ(DataHoraReducao(), 1);
  EXPECT_EQ(State().return_value, "090326220000");
  EXPECT_EQ(State().second_return_value, "");

  answers["34M40"] = Data("99999999999999999");  // beyond what a double holds exactly
  answers["34M38"] = Data("00000000000001");
  answers["34M36"] = Data("00000000000010");
  EXPECT_EQ(VendaLiquida(), 1);
  EXPECT_EQ(State().return_value, "99999999999999988");
  answers["34M38"] = Error("10");
  EXPECT_EQ(VendaLiquida(), 0);
  EXPECT_EQ(State().return_value, "000");
}

}  // namespace
}  // namespace orvik::qvx
