// Coupons through the driver's exports, as a point-of-sale program makes them, with the
// virtual printer on the other end of a pseudo-terminal. Each case loads the driver anew
// (one process per case).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/text1252.h"
#include "driver_fixture.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

class DriverCoupon : public orvik_testing::DriverOverPty {
 protected:
  std::string money(const std::string& name) {
    return ask("LeMoeda", "NomeDadoMonetario=\"" + name + "\"");
  }
  std::string integer(const std::string& name) {
    return ask("LeInteiro", "NomeInteiro=\"" + name + "\"");
  }
  // The programming a shop does once: rates 18% and 12% ICMS, 5% service tax, a card.
  void ProgramShop() {
    run("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
    run("DefineAliquota", "CodAliquotaProgramavel=1 PercentualAliquota=12,00");
    run("DefineAliquota", "CodAliquotaProgramavel=2 PercentualAliquota=5,00 AliquotaICMS=false");
    run("DefineMeioPagamento", "NomeMeioPagamento=\"Cartao\" PermiteVinculado=true");
  }
  ecf_sim::Document LastDocument() {
    std::lock_guard lock(server.mutex());
    const auto& tape = printer.state().tape;
    return tape.empty() ? ecf_sim::Document{} : tape.back();
  }
  std::string Printed(const ecf_sim::Document& d) {
    std::string text;
    for (const auto& line : ecf_sim::testing::capture_lines(d.printed)) text += line + "\n";
    return text;
  }
};

TEST_F(DriverCoupon, SaleOfSeveralItemsAndRatesReachesTheRegisters) {
  Load();
  ProgramShop();
  EXPECT_EQ(EXPORT(Orvik_ProgramaOperador)("Caixa 1"), 1);
  EXPECT_EQ(EXPORT(Orvik_ProgramaIdAplicativoMFD)("PDV Teste 1.0"), 1);

  EXPECT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("1", "ARROZ 5KG", "18,00", "I", "2", 2, "10,00", "$", "0"), 1)
      << last();
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("2", "FEIJAO", "01", "I", "1", 2, "8,50", "%", "10"), 1)
      << last();
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("3", "LIVRO", "II", "F", "1500", 3, "30000", "$", ""), 1)
      << last();
  // A service sold by its percentage: refused as ICMS, taken as service tax.
  EXPECT_EQ(EXPORT(Orvik_AumentaDescricaoItem)("CORTE DE CABELO \"MASCULINO\""), 1);
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("4", "CORTE", "5,00", "I", "1", 2, "30,00", "$", "0"), 1)
      << last();
  EXPECT_FALSE(fs::exists(dir / "AUMENTA.TXT"));
  EXPECT_EQ(EXPORT(Orvik_IniciaFechamentoCupom)("D", "$", "265"), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("Dinheiro", "60,00"), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_EfetuaFormaPagamentoDescricaoForma)("Cartao", "40,00", "NSU 991"), 1)
      << last();
  EXPECT_EQ(EXPORT(Orvik_IdentificaConsumidor)("123.456.789-09", "ANA LIMA", "RUA B, 10"), 1);
  EXPECT_EQ(EXPORT(Orvik_TerminaFechamentoCupom)("Obrigado pela preferencia"), 1) << last();
  EXPECT_FALSE(fs::exists(dir / "ID.TXT"));

  EXPECT_EQ(integer("COO"), "ValorInteiro=1");
  EXPECT_EQ(integer("CCF"), "ValorInteiro=1");
  EXPECT_EQ(integer("TipoDocEmEmissao"), "ValorInteiro=0");
  EXPECT_EQ(money("GT"), "ValorMoeda=103,5000");
  EXPECT_EQ(money("TotalDiaVendaBruta"), "ValorMoeda=103,5000");
  EXPECT_EQ(money("TotalDiaVendaLiquida"), "ValorMoeda=100,0000");
  EXPECT_EQ(money("TotalDiaDinheiro"), "ValorMoeda=60,0000");
  EXPECT_EQ(money("TotalDiaMeioPagamento[0]"), "ValorMoeda=40,0000");

  const ecf_sim::Document coupon = LastDocument();
  EXPECT_EQ(coupon.kind, 3);
  EXPECT_FALSE(coupon.cancelled);
  EXPECT_EQ(coupon.customer_id, "123.456.789-09");
  EXPECT_EQ(coupon.customer_name, "ANA LIMA");
  EXPECT_EQ(coupon.customer_address, "RUA B, 10");
  ASSERT_EQ(coupon.items.size(), 4u);
  struct {
    int totalizer;
    int64_t quantity, gross, adjustment;
    const char* description;
  } items[] = {
      {0, 2000, 2000, 0, "ARROZ 5KG"},
      {1, 1000, 850, -85, "FEIJAO"},
      {-1, 1500, 4500, 0, "LIVRO"},
      {2, 1000, 3000, 0, "CORTE DE CABELO \"MASCULINO\""},
  };
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    if (items[i].totalizer >= 0) {
      EXPECT_EQ(coupon.items[i].totalizer, items[i].totalizer);
    }
    EXPECT_EQ(coupon.items[i].quantity, items[i].quantity);
    EXPECT_EQ(coupon.items[i].gross, items[i].gross);
    EXPECT_EQ(coupon.items[i].adjustment, items[i].adjustment);
    EXPECT_EQ(coupon.items[i].description, items[i].description);
  }
  EXPECT_EQ(coupon.discount, 265);
  EXPECT_EQ(coupon.total, 10000);
  ASSERT_EQ(coupon.payments.size(), 2u);
  EXPECT_EQ(coupon.payments[1].text, "NSU 991");
  const std::string printed = Printed(coupon);
  EXPECT_NE(printed.find("Obrigado pela preferencia"), std::string::npos) << printed;
  EXPECT_NE(printed.find("Aplicativo:PDV Teste 1.0"), std::string::npos) << printed;
}

TEST_F(DriverCoupon, QueryExportsAgreeWithTheSale) {
  Load();
  ProgramShop();
  char buffer[4096];
  if (EXPORT(Orvik_NumeroCupom)(buffer) == 0 && last_code() == -3)
    GTEST_SKIP() << "the register query exports are not built yet";
  ASSERT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_VendeItem)("1", "ARROZ", "18,00", "I", "2", 2, "10,00", "$", "0"), 1);
  ASSERT_EQ(EXPORT(Orvik_VendeItem)("2", "FEIJAO", "01", "I", "1", 2, "8,50", "$", "0"), 1);
  ASSERT_EQ(EXPORT(Orvik_VendeItem)("3", "CORTE", "5,00", "I", "1", 2, "30,00", "$", "0"), 1);
  ASSERT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("Dinheiro", "50,00"), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("Cartao", "8,50"), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_TerminaFechamentoCupom)(""), 1) << last();

  EXPECT_EQ(EXPORT(Orvik_NumeroCupom)(buffer), 1) << last();
  EXPECT_STREQ(buffer, "000001");
  EXPECT_EQ(EXPORT(Orvik_GrandeTotal)(buffer), 1) << last();
  EXPECT_STREQ(buffer, "000000000000005850");

  // Rates 0-15 run together, 14 digits each.
  EXPECT_EQ(EXPORT(Orvik_VerificaTotalizadoresParciais)(buffer), 1) << last();
  const std::string totals = buffer;
  ASSERT_GE(totals.size(), 16u * 14u);
  EXPECT_EQ(totals.substr(0, 14), "00000000002000");
  EXPECT_EQ(totals.substr(14, 14), "00000000000850");
  EXPECT_EQ(totals.substr(28, 14), "00000000003000");
  EXPECT_EQ(totals.substr(42, 14), std::string(14, '0'));
  EXPECT_EQ(totals.substr(totals.size() - 18), "000000000000005850");

  // Each form: name (16), day total (20), coupon total (20), linked flag.
  EXPECT_EQ(EXPORT(Orvik_VerificaFormasPagamento)(buffer), 1) << last();
  const std::string forms = buffer;
  const size_t cash = forms.find("Dinheiro");
  ASSERT_NE(cash, std::string::npos) << forms;
  EXPECT_EQ(forms.substr(cash + 16, 40),
            "00000000000000005000"
            "00000000000000005000");
  const size_t card = forms.find("Cartao");
  ASSERT_NE(card, std::string::npos) << forms;
  EXPECT_EQ(forms.substr(card + 16, 42),
            "00000000000000000850"
            "00000000000000000850"
            "1,");
}

TEST_F(DriverCoupon, CancelledCouponCountsAsCancellation) {
  Load();
  ProgramShop();
  ASSERT_EQ(EXPORT(Orvik_AbreCupomMFD)("", "JOAO", ""), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_VendeItem)("1", "ARROZ", "18,00", "I", "2", 2, "10,00", "$", "0"), 1);
  ASSERT_EQ(EXPORT(Orvik_VendeItem)("2", "OLEO", "FF", "I", "1", 2, "7,00", "$", "0"), 1);
  // An item cancelled on the way counts once, as its own cancellation (2,00 + 27,00).
  ASSERT_EQ(EXPORT(Orvik_VendeItem)("3", "SAL", "FF", "I", "1", 2, "2,00", "$", "0"), 1);
  ASSERT_EQ(EXPORT(Orvik_CancelaItemAnterior)(), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_CancelaCupom)(), 1) << last();

  // The open coupon itself ends cancelled.
  EXPECT_EQ(integer("COO"), "ValorInteiro=1");
  EXPECT_EQ(integer("CFC"), "ValorInteiro=1");
  EXPECT_EQ(integer("TipoDocEmEmissao"), "ValorInteiro=0");
  EXPECT_EQ(money("TotalDiaCancelamentosICMS"), "ValorMoeda=29,0000");
  EXPECT_EQ(money("TotalDiaVendaLiquida"), "ValorMoeda=0,0000");
  {
    std::lock_guard lock(server.mutex());
    const auto& tape = printer.state().tape;
    ASSERT_EQ(tape.size(), 1u);
    EXPECT_TRUE(tape[0].cancelled);
    EXPECT_EQ(tape[0].customer_name, "JOAO");
  }

  // A coupon already closed is cancelled by a cancellation document of its own.
  ASSERT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_VendeItem)("1", "ARROZ", "18,00", "I", "1", 2, "10,00", "$", "0"), 1);
  ASSERT_EQ(EXPORT(Orvik_FechaCupom)("Dinheiro", "A", "$", "", "10,00", ""), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_CancelaCupom)(), 1) << last();
  EXPECT_EQ(integer("COO"), "ValorInteiro=3");
  EXPECT_EQ(integer("CFC"), "ValorInteiro=2");
  EXPECT_EQ(money("TotalDiaCancelamentosICMS"), "ValorMoeda=39,0000");
  EXPECT_EQ(LastDocument().kind, 6);

  // Nothing left to cancel: the printer's refusal reaches the host.
  EXPECT_EQ(EXPORT(Orvik_CancelaCupom)(), 0);
  EXPECT_EQ(last_code(), 8111);
}

TEST_F(DriverCoupon, RioCouponPrintsItsIcms) {
  Load("HabilitaICMSCupom=1\r\nIdAplicativo=PDV RJ\r\n", "[ECF]\r\nUF=RJ\r\n");
  ProgramShop();
  ASSERT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_VendeItem)("1", "ARROZ", "18,00", "I", "1", 2, "100,00", "$", "0"), 1);
  ASSERT_EQ(EXPORT(Orvik_VendeItem)("2", "FEIJAO", "01", "I", "1", 2, "50,00", "$", "0"), 1);
  ASSERT_EQ(EXPORT(Orvik_FechaCupom)("Dinheiro", "A", "$", "0", "150,00", ""), 1) << last();

  // 18,00 + 6,00 of ICMS on this coupon.
  const std::string printed = Printed(LastDocument());
  const std::string line = "VALOR TOTAL DE ICMS" + std::string(24, ' ') + "24,00";
  EXPECT_NE(printed.find(line + "\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("VALIDO PARA O CUPOM MANIA\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("Aplicativo:PDV RJ"), std::string::npos) << printed;
  std::ifstream ini(dir / "ORVIK.INI");
  const std::string text((std::istreambuf_iterator<char>(ini)), {});
  EXPECT_NE(text.find("CupomManiaTotalImp=24,00"), std::string::npos) << text;
  EXPECT_NE(text.find("CupomManiaLido=0"), std::string::npos) << text;

  // The next coupon counts only its own ICMS.
  ASSERT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_VendeItem)("1", "ARROZ", "18,00", "I", "1", 2, "10,00", "$", "0"), 1);
  ASSERT_EQ(EXPORT(Orvik_FechaCupomResumido)("Dinheiro", ""), 1) << last();
  EXPECT_NE(Printed(LastDocument()).find("VALOR TOTAL DE ICMS" + std::string(25, ' ') + "1,80"),
            std::string::npos);
}

TEST_F(DriverCoupon, NullAndMalformedArgumentsAreRefusedNotFatal) {
  Load();
  ProgramShop();
  EXPECT_EQ(EXPORT(Orvik_AbreCupom)(nullptr), 1) << last();
  // Null texts count as empty: a sale without a rate is refused by the printer.
  EXPECT_EQ(EXPORT(Orvik_VendeItem)(nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                                    nullptr, nullptr),
            0);
  EXPECT_EQ(last_code(), 8002);
  // Letters only: a zero price, refused as an invalid value.
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("1", "X", "FF", "I", "1", 2, "abc", "$", "0"), 0);
  EXPECT_EQ(last_code(), 8109);
  // Hundreds of digits: too large for the printer, refused whole.
  const std::string huge(300, '9');
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("1", "X", "FF", "I", huge.c_str(), 2, "1,00", "$", "0"), 0);
  EXPECT_NE(last_code(), 0);
  // Signs and separators are dropped; the sale goes through as 2 x 1,99.
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("1", "X", "FF", "I", "+2", 2, "-1..99", "$", "0"), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)(nullptr, nullptr), 0);
  EXPECT_NE(last_code(), 0);
  EXPECT_EQ(EXPORT(Orvik_EfetuaFormaPagamentoMFD)("Dinheiro", "3,98", nullptr, nullptr), 1)
      << last();
  EXPECT_EQ(EXPORT(Orvik_EstornoFormasPagamento)(nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(EXPORT(Orvik_TerminaFechamentoCupom)(nullptr), 1) << last();
  EXPECT_EQ(money("GT"), "ValorMoeda=3,9800");
}

TEST_F(DriverCoupon, BarcodesAndOtherFamilies) {
  Load();
  run("AbreGerencial", "CodGerencial=0");
  EXPECT_EQ(EXPORT(Orvik_ConfiguraCodigoBarrasMFD)(80, 2, 1, 0, 0), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_CodigoBarrasITFMFD)("12345678"), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_CodigoBarrasEAN13MFD)("7891234567895"), 0);
  EXPECT_EQ(last(), "-2 Comando Inexistente para este modelo:Orvik_CodigoBarrasEAN13MFD");
  EXPECT_EQ(EXPORT(Orvik_CodigoBarrasCODE128MFD)("X"), 0);
  EXPECT_EQ(last(), "-2 Comando Inexistente para este modelo:OrvikKAP_CodigoBarrasCODE128MFD ");
  run("EncerraDocumento", "Operador=\"\"");
}

// The QVX families have their own routines (tests/integration/qvx_driver); here: what they
// refuse before the line, and an export they lack, send the Lumvar printer nothing.
TEST_F(DriverCoupon, QvxFamilySendsNoLumvarCommand) {
  Load("ModeloImp=ORVIK_610\r\n");
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("1", "X", "FF", "UN", "1234567", 2, "1,00", "$", "0"), 0);
  EXPECT_EQ(last(), "-6 " + common::utf8_to_cp1252("Quantidade inválida"));
  EXPECT_EQ(EXPORT(Orvik_IdentificaConsumidor)("1", "2", "3"), 0);
  EXPECT_EQ(last(), "-3 Nao Implementado:Orvik_IdentificaConsumidor");
  EXPECT_FALSE(fs::exists(dir / "ID.TXT"));
  std::lock_guard lock(server.mutex());
  EXPECT_EQ(printer.state().coo, 0);
}

}  // namespace
