#include "orvik/lumvar/coupon.h"

#include <functional>

#include "common/ini.h"
#include "coupon_test_peer.h"

namespace orvik::lumvar {
namespace {

using core::State;
using coupon_testing::Command;
using coupon_testing::CouponPeer;

using CouponItems = CouponPeer;

TEST_F(CouponItems, SaleParametersFromHostTexts) {
  struct {
    std::string aliquot, quantity_type, quantity;
    int decimals;
    std::string price, discount_type, discount;
    std::string sale;           // the VendeItem parameters
    std::string discount_sent;  // the AcresceItemFiscal parameters, or nothing
  } cases[] = {
      {"01", "I", "3", 2, "1,99", "$", "0",
       "CodAliquota=01 CodProduto=\"789\" NomeProduto=\"ARROZ\" PrecoUnitario=1,99 "
       "Quantidade=3,000 Unidade=\"Un\"",
       ""},
      // Type F counts thousandths.
      {"FF", "F", "1,5", 2, "10,00", "$", "",
       "CodAliquota=-2 CodProduto=\"789\" NomeProduto=\"ARROZ\" PrecoUnitario=10,00 "
       "Quantidade=0,015 Unidade=\"F\"",
       ""},
      {"II", "F", "1500", 2, "10,00", "$", "",
       "CodAliquota=-3 CodProduto=\"789\" NomeProduto=\"ARROZ\" PrecoUnitario=10,00 "
       "Quantidade=1,500 Unidade=\"F\"",
       ""},
      // Any other type is a unit with decimals of its own.
      {"NN", "Kg", "1,5", 3, "12,990", "$", "",
       "CodAliquota=-4 CodProduto=\"789\" NomeProduto=\"ARROZ\" PrecoUnitario=12,990 "
       "Quantidade=1,500 Unidade=\"Kg\"",
       ""},
      {"FS", "Kg", "2", 3, "1500", "$", "",
       "CodAliquota=-11 CodProduto=\"789\" NomeProduto=\"ARROZ\" PrecoUnitario=1,500 "
       "Quantidade=2,000 Unidade=\"Kg\"",
       ""},
      // Type I keeps the digits only; lower case and blanks around it still mean units.
      {"is", "i", "2,5", 2, "1", "$", "",
       "CodAliquota=-12 CodProduto=\"789\" NomeProduto=\"ARROZ\" PrecoUnitario=0,01 "
       "Quantidade=25,000 Unidade=\"Un\"",
       ""},
      {"NS", " I ", "2,5", 2, "100", "$", "",
       "CodAliquota=-13 CodProduto=\"789\" NomeProduto=\"ARROZ\" PrecoUnitario=1,00 "
       "Quantidade=2,500 Unidade=\"Un\"",
       ""},
      // Discounts: amount or percentage, always with the minus sign.
      {"01", "I", "1", 2, "10,00", "$", "0,50",
       "CodAliquota=01 CodProduto=\"789\" NomeProduto=\"ARROZ\" PrecoUnitario=10,00 "
       "Quantidade=1,000 Unidade=\"Un\"",
       "Cancelar=false ValorAcrescimo=-0,50"},
      {"01", "I", "1", 2, "10,00", "%", "10",
       "CodAliquota=01 CodProduto=\"789\" NomeProduto=\"ARROZ\" PrecoUnitario=10,00 "
       "Quantidade=1,000 Unidade=\"Un\"",
       "Cancelar=false ValorPercentual=-10,00"},
      {"01", "I", "1", 2, "10,00", "%", "0,00", "", ""},
      // Letters, signs and separators are dropped; the printer judges the rest.
      {"01", "Un", "abc", 2, "R$ -1,99", "$", "x",
       "CodAliquota=01 CodProduto=\"789\" NomeProduto=\"ARROZ\" PrecoUnitario=1,99 "
       "Quantidade=0,000 Unidade=\"Un\"",
       ""},
      {"01", "Un", "1.000,5", 2, "1.234,56", "$", "",
       "CodAliquota=01 CodProduto=\"789\" NomeProduto=\"ARROZ\" PrecoUnitario=1234,56 "
       "Quantidade=1000,500 Unidade=\"Un\"",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.quantity_type + " " + c.quantity + " " + c.price + " " + c.discount);
    sent.clear();
    EXPECT_EQ(VendeItem("789", "ARROZ", c.aliquot, c.quantity_type, c.quantity, c.decimals, c.price,
                        c.discount_type, c.discount),
              1);
    ASSERT_GE(sent.size(), 1u);
    EXPECT_EQ(sent[0].name, "VendeItem");
    if (!c.sale.empty()) {
      EXPECT_EQ(sent[0].parameters, c.sale);
    }
    if (c.discount_sent.empty()) {
      EXPECT_EQ(sent.size(), 1u);
    } else {
      ASSERT_EQ(sent.size(), 2u);
      EXPECT_EQ(sent[1], (Command{"AcresceItemFiscal", c.discount_sent}));
    }
  }
}

TEST_F(CouponItems, HundredsOfDigitsGoOutWholeInTwoWrites) {
  const std::string quantity(400, '7');
  record.writes.clear();
  EXPECT_EQ(VendeItem("1", "X", "01", "I", quantity, 2, "1,00", "$", "0"), 1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_NE(sent[0].parameters.find("Quantidade=" + quantity + ",000 "), std::string::npos);
  EXPECT_EQ(record.writes.size(), 2u);
}

TEST_F(CouponItems, PercentageRateIsTriedAsIcmsThenOnceAsService) {
  const std::string rest =
      "PercentualAliquota=18,00 CodProduto=\"1\" NomeProduto=\"CORTE\" PrecoUnitario=30,00 "
      "Quantidade=1,000 Unidade=\"Un\"";
  struct {
    std::vector<int> refusals;  // printer errors of the successive VendeItem, then success
    int result, last_code;
    std::vector<std::string> sent;
  } cases[] = {
      {{}, 1, 0, {"AliquotaICMS=true " + rest}},
      {{8005}, 1, 0, {"AliquotaICMS=true " + rest, "AliquotaICMS=false " + rest}},
      {{8005, 8005}, 0, 8005, {"AliquotaICMS=true " + rest, "AliquotaICMS=false " + rest}},
      {{8101}, 0, 8101, {"AliquotaICMS=true " + rest}},
  };
  for (const auto& c : cases) {
    sent.clear();
    answers.clear();
    for (int code : c.refusals) Refuse("VendeItem", code);
    EXPECT_EQ(VendeItem("1", "CORTE", "18,00", "I", "1", 2, "30,00", "%", "10"), c.result);
    EXPECT_EQ(State().last_return_code, c.last_code);
    std::vector<std::string> sales;
    for (const Command& s : sent)
      if (s.name == "VendeItem") sales.push_back(s.parameters);
    EXPECT_EQ(sales, c.sent);
    // The discount follows only a sale that went through.
    EXPECT_EQ(sent.back().name == "AcresceItemFiscal", c.result == 1);
  }
}

TEST_F(CouponItems, QuotesInHostTextsBecomeEscapes) {
  EXPECT_EQ(VendeItem("A\"1", "TV 29\" LCD", "01", "I", "1", 2, "1,00", "$", "0"), 1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].parameters,
            "CodAliquota=01 CodProduto=\"A\\x221\" NomeProduto=\"TV 29\\x22 LCD\" "
            "PrecoUnitario=1,00 Quantidade=1,000 Unidade=\"Un\"");
}

TEST_F(CouponItems, LongDescriptionFileServesTheNextItemOnly) {
  EXPECT_EQ(AumentaDescricaoItem("ARROZ TIPO 1 \"NOVO\" PACOTE 5 KG"), 1);
  EXPECT_EQ(folder.Read("AUMENTA.TXT"), "ARROZ TIPO 1 \"NOVO\" PACOTE 5 KG\r\n");
  EXPECT_EQ(VendeItem("1", "ARROZ", "01", "I", "1", 2, "1,00", "$", "0"), 1);
  EXPECT_FALSE(Exists("AUMENTA.TXT"));
  EXPECT_EQ(VendeItem("2", "FEIJAO", "01", "I", "1", 2, "1,00", "$", "0"), 1);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_NE(sent[0].parameters.find("NomeProduto=\"ARROZ TIPO 1 \\x22NOVO\\x22 PACOTE 5 KG\""),
            std::string::npos);
  EXPECT_NE(sent[1].parameters.find("NomeProduto=\"FEIJAO\""), std::string::npos);

  // A file of several lines (written by another program, any letter case) is joined with
  // line feeds.
  sent.clear();
  folder.Write("aumenta.txt", "LINHA 1\r\nLINHA 2\nLINHA 3");
  EXPECT_EQ(VendeItem("3", "X", "01", "I", "1", 2, "1,00", "$", "0"), 1);
  EXPECT_NE(sent[0].parameters.find("NomeProduto=\"LINHA 1\nLINHA 2\nLINHA 3\""),
            std::string::npos);
  EXPECT_FALSE(Exists("aumenta.txt"));
}

TEST_F(CouponItems, ExchangeFilesThatCannotBeWrittenFail) {
  std::filesystem::create_directory(folder.path() / "ID.TXT");
  std::filesystem::create_directory(folder.path() / "AUMENTA.TXT");
  State().last_return_code = 0;
  EXPECT_EQ(IdentificaConsumidor("1", "2", "3"), 0);
  EXPECT_EQ(State().last_return_code, -8);
  EXPECT_NE(State().last_message.find("ID.TXT"), std::string::npos);
  EXPECT_EQ(AumentaDescricaoItem("x"), 0);
  EXPECT_NE(State().last_message.find("AUMENTA.TXT"), std::string::npos);
  EXPECT_TRUE(sent.empty());
}

TEST_F(CouponItems, DepartmentSales) {
  struct {
    std::string unit, surcharge, discount;
    std::string name_sent, adjustment;
  } cases[] = {
      {"UN", "0", "0", "ARROZ", ""},
      {"un", "1", "0", "ARROZ", "Cancelar=false ValorAcrescimo=1,00"},
      {"Kg", "1", "0,5",
       "ARROZ                         Peso (Kg)    X    Preco(R$/Kg)            Valor",
       "Cancelar=false ValorAcrescimo=-0,50"},
      {"Lt", "", "",
       "ARROZ                         Litro(Lt)    X    Preco(R$/Lt)            Valor", ""},
      {"m", "", "", "ARROZ                         Metro(m)    X    Preco(R$/m)            Valor",
       ""},
      {"Pc", "", "", "ARROZ                         (Pc)    X    Preco(R$/Pc)            Valor",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.unit);
    sent.clear();
    EXPECT_EQ(VendeItemDepartamento("7", "ARROZ", "II", "2,5", "3", c.surcharge, c.discount, "02",
                                    c.unit),
              1);
    ASSERT_GE(sent.size(), 1u);
    EXPECT_EQ(sent[0],
              (Command{"VendeItem", "CodAliquota=-3 CodProduto=\"7\" NomeProduto=\"" + c.name_sent +
                                        "\" PrecoUnitario=2,500 Quantidade=3,000 "
                                        "Unidade=\"" +
                                        c.unit + "\" CodDepartamento=02"}));
    if (c.adjustment.empty()) {
      EXPECT_EQ(sent.size(), 1u);
    } else {
      ASSERT_EQ(sent.size(), 2u);
      EXPECT_EQ(sent[1], (Command{"AcresceItemFiscal", c.adjustment}));
    }
  }
  // The same retry as VendeItem for a percentage.
  sent.clear();
  Refuse("VendeItem", 8005);
  EXPECT_EQ(VendeItemDepartamento("7", "CORTE", "5,00", "10", "1", "", "", "01", "UN"), 1);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].parameters.rfind("AliquotaICMS=false PercentualAliquota=5,00 ", 0), 0u);
}

TEST_F(CouponItems, ItemAdjustmentsAndCancellations) {
  struct {
    std::function<int()> call;
    Command expected;
  } cases[] = {
      {[] { return AcrescimoDescontoItemMFD("3", "A", "$", "150"); },
       {"AcresceItemFiscal", "Cancelar=false NumItem=3 ValorAcrescimo= 1,50"}},
      {[] { return AcrescimoDescontoItemMFD("3", "D", "$", "1,5"); },
       {"AcresceItemFiscal", "Cancelar=false NumItem=3 ValorAcrescimo=-0,15"}},
      {[] { return AcrescimoDescontoItemMFD("4", "A", "%", "5,00"); },
       {"AcresceItemFiscal", "Cancelar=false NumItem=4 ValorPercentual= 5,00"}},
      {[] { return AcrescimoDescontoItemMFD("4", "", "%", "5,00"); },
       {"AcresceItemFiscal", "Cancelar=false NumItem=4 ValorPercentual=-5,00"}},
      {[] { return CancelaAcrescimoDescontoItemMFD("A", "4"); },
       {"AcresceItemFiscal", "Cancelar=true NumItem=4"}},
      {[] { return CancelaItemAnterior(); }, {"CancelaItemFiscal", ""}},
      {[] { return CancelaItemGenerico("12"); }, {"CancelaItemFiscal", "NumItem=12"}},
      {[] { return AtivaDesativaVendaUmaLinhaMFD(1); },
       {"EscreveInteiro", "NomeInteiro=\"ImprimeItem1Linha\" ValorInteiro=1"}},
  };
  for (const auto& c : cases) {
    sent.clear();
    EXPECT_EQ(c.call(), 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], c.expected);
  }
  Refuse("CancelaItemFiscal", 8106);
  EXPECT_EQ(CancelaItemGenerico("99"), 0);
  EXPECT_EQ(State().last_return_code, 8106);
}

TEST_F(CouponItems, SubtotalAdjustments) {
  struct {
    std::function<int()> call;
    std::vector<std::string> sent;  // AcresceSubtotal parameters
    int result = 1;
  } cases[] = {
      {[] { return IniciaFechamentoCupom("A", "$", "0,00"); }, {}},
      {[] { return IniciaFechamentoCupom("A", "$", "1,00"); },
       {"Cancelar=false ValorAcrescimo= 1,00"}},
      {[] { return IniciaFechamentoCupom("D", "%", "1000"); },
       {"Cancelar=false ValorPercentual=-10,00"}},
      {[] { return IniciaFechamentoCupomMFD("D", "$", "5,00", "1,00"); },
       {"Cancelar=false ValorAcrescimo=-1,00"}},
      {[] { return IniciaFechamentoCupomMFD("A", "$", "5,00", "1,00"); },
       {"Cancelar=false ValorAcrescimo=5,00"}},
      {[] { return IniciaFechamentoCupomMFD("", "%", "0", "2"); },
       {"Cancelar=false ValorPercentual=0,00", "Cancelar=false ValorPercentual=-0,02"}},
      {[] { return AcrescimoDescontoSubtotalMFD("A", "$", "2,00"); },
       {"Cancelar=false ValorAcrescimo= 2,00"}},
      {[] { return AcrescimoDescontoSubtotalMFD("D", "%", "2,00"); },
       {"Cancelar=false ValorPercentual=-2,00"}},
      {[] { return CancelaAcrescimoDescontoSubtotalMFD("A"); }, {"Cancelar=true"}},
  };
  for (const auto& c : cases) {
    sent.clear();
    EXPECT_EQ(c.call(), c.result);
    std::vector<std::string> params;
    for (const Command& s : sent) {
      EXPECT_EQ(s.name, "AcresceSubtotal");
      params.push_back(s.parameters);
    }
    EXPECT_EQ(params, c.sent);
  }
  // Flag X: both at once is a command this printer lacks.
  sent.clear();
  EXPECT_EQ(IniciaFechamentoCupomMFD("X", "$", "1", "1"), 0);
  EXPECT_EQ(State().last_return_code, -2);
  EXPECT_EQ(State().last_message,
            "Comando Inexistente para este modelo:IniciaFechamentoCupomMFD com Desconto e "
            "Acrescimo");
  EXPECT_TRUE(sent.empty());
  // A refused surcharge stops the discount.
  Refuse("AcresceSubtotal", 8107);
  EXPECT_EQ(IniciaFechamentoCupomMFD("", "$", "1", "1"), 0);
  EXPECT_EQ(sent.size(), 1u);
}

TEST_F(CouponItems, OpeningDeletesTheConsumerFileAndNamesTheConsumer) {
  struct {
    std::function<int()> call;
    std::string parameters;
  } cases[] = {
      {[] { return AbreCupom(""); }, ""},
      {[] { return AbreCupom("   "); }, ""},
      {[] { return AbreCupom("123.456.789-09"); }, "IdConsumidor=\"123.456.789-09\""},
      {[] { return AbreCupomMFD("1", "ANA \"A\"", "RUA B"); },
       "IdConsumidor=\"1\" NomeConsumidor=\"ANA \\x22A\\x22\" EnderecoConsumidor=\"RUA B\""},
      {[] { return AbreCupomMFD("", "ANA", " "); }, " NomeConsumidor=\"ANA\""},
      {[] { return AbreCupomMFD("", "", ""); }, ""},
  };
  for (const auto& c : cases) {
    sent.clear();
    folder.Write("id.txt", "1\r\n2\r\n3\r\n");
    EXPECT_EQ(c.call(), 1);
    EXPECT_FALSE(Exists("id.txt"));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (Command{"AbreCupomFiscal", c.parameters}));
  }
}

TEST_F(CouponItems, IcmsTotalIsNotedOnceAtOpeningOrFirstItem) {
  StartWith("HabilitaICMSCupom=1\r\n");
  Then("LeMoeda", "0;ValorMoeda=10,0000");
  EXPECT_EQ(AbreCupom(""), 1);
  EXPECT_EQ(VendeItem("1", "X", "01", "I", "1", 2, "1,00", "$", "0"), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"AbreCupomFiscal", "LeMoeda", "VendeItem"}));
  EXPECT_EQ(sent[1].parameters, "NomeDadoMonetario=\"TotalDiaImpostoICMS\"");
  common::IniFile ini(folder.ini());
  EXPECT_EQ(ini.read("Flags", "CupomManiaLido", ""), "1");
  EXPECT_EQ(ini.read("Flags", "CupomManiaValorAux", ""), "1000");

  // The MFD opening does not note it; the first item does.
  StartWith("HabilitaICMSCupom=1\r\n", "[Flags]\r\nCupomManiaLido=0\r\n");
  EXPECT_EQ(AbreCupomMFD("", "", ""), 1);
  EXPECT_EQ(VendeItem("1", "X", "01", "I", "1", 2, "1,00", "$", "0"), 1);
  EXPECT_EQ(VendeItem("2", "Y", "01", "I", "1", 2, "1,00", "$", "0"), 1);
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"AbreCupomFiscal", "LeMoeda", "VendeItem", "VendeItem"}));

  // A failed read fails the export and sells nothing.
  StartWith("HabilitaICMSCupom=1\r\n");
  Refuse("LeMoeda", 8003);
  EXPECT_EQ(VendeItem("1", "X", "01", "I", "1", 2, "1,00", "$", "0"), 0);
  EXPECT_EQ(State().last_return_code, 8003);
  EXPECT_EQ(Names(), (std::vector<std::string>{"LeMoeda"}));
  // Off: nothing is read.
  StartWith("HabilitaICMSCupom=0\r\n");
  EXPECT_EQ(AbreCupom(""), 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"AbreCupomFiscal"}));
}

}  // namespace
}  // namespace orvik::lumvar
