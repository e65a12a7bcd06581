// The query exports and the MFD download against the virtual printer, after a sale made
// through the coupon exports. Each case loads the driver anew (one process per case).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/files.h"
#include "driver_fixture.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

class DriverQueries : public orvik_testing::DriverOverPty {
 protected:
  void SetUp() override {
    DriverOverPty::SetUp();
    Load();
  }
  std::string ReturnFile() { return common::read_file(dir / "RETORNO.TXT").value_or("<missing>"); }

  // Rates 18% and 12% ICMS and 5% service tax, a card form; then a coupon of three items,
  // one per rate, paid 50,00 in cash and 8,50 by card.
  void ShopAndSale() {
    run("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
    run("DefineAliquota", "CodAliquotaProgramavel=1 PercentualAliquota=12,00");
    run("DefineAliquota", "CodAliquotaProgramavel=2 PercentualAliquota=5,00 AliquotaICMS=false");
    run("DefineMeioPagamento", "NomeMeioPagamento=\"Cartao\" PermiteVinculado=true");
    ASSERT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
    ASSERT_EQ(EXPORT(Orvik_VendeItem)("1", "ARROZ", "18,00", "I", "2", 2, "10,00", "$", "0"), 1)
        << last();
    ASSERT_EQ(EXPORT(Orvik_VendeItem)("2", "FEIJAO", "01", "I", "1", 2, "8,50", "$", "0"), 1)
        << last();
    ASSERT_EQ(EXPORT(Orvik_VendeItem)("3", "CORTE", "5,00", "I", "1", 2, "30,00", "$", "0"), 1)
        << last();
    ASSERT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("Dinheiro", "50,00"), 1) << last();
    ASSERT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("Cartao", "8,50"), 1) << last();
    ASSERT_EQ(EXPORT(Orvik_TerminaFechamentoCupom)(""), 1) << last();
  }
  ecf_sim::Document LastCoupon() {
    std::lock_guard lock(server.mutex());
    for (auto it = printer.state().tape.rbegin(); it != printer.state().tape.rend(); ++it)
      if (it->kind == 3) return *it;
    return {};
  }
};

TEST_F(DriverQueries, CountersAndTotalsAgreeWithTheSale) {
  ShopAndSale();
  char buffer[4096] = "";
  EXPECT_EQ(EXPORT(Orvik_NumeroCupom)(buffer), 1) << last();
  EXPECT_STREQ(buffer, "000001");
  EXPECT_EQ(ReturnFile(), "000001\r\n");
  EXPECT_EQ(EXPORT(Orvik_GrandeTotal)(buffer), 1) << last();
  EXPECT_STREQ(buffer, "000000000000005850");
  EXPECT_EQ(EXPORT(Orvik_VendaBruta)(buffer), 1) << last();
  EXPECT_STREQ(buffer, "00000000005850");
  EXPECT_EQ(EXPORT(Orvik_ValorFormaPagamento)("Dinheiro", buffer), 1) << last();
  EXPECT_STREQ(buffer, "5000");
  EXPECT_EQ(EXPORT(Orvik_ValorFormaPagamento)("Cartao", buffer), 1) << last();
  EXPECT_STREQ(buffer, "850");
  EXPECT_EQ(EXPORT(Orvik_NumeroReducoes)(buffer), 1) << last();
  EXPECT_STREQ(buffer, "0000");

  char date[16] = "", time[16] = "";
  EXPECT_EQ(EXPORT(Orvik_DataHoraImpressora)(date, time), 1) << last();
  EXPECT_STREQ(date, "150626");
  EXPECT_EQ(std::string(time).size(), 6u);
  EXPECT_EQ(EXPORT(Orvik_DataMovimento)(date), 1) << last();
  EXPECT_STREQ(date, "150626");

  int ack = 0, st1 = -1, st2 = -1, flags = -1;
  EXPECT_EQ(EXPORT(Orvik_VerificaEstadoImpressora)(&ack, &st1, &st2), 1) << last();
  EXPECT_EQ(ack, 6);
  EXPECT_EQ(st1 & (2 | 64 | 128), 0);  // no coupon open, paper present
  EXPECT_EQ(EXPORT(Orvik_FlagsFiscais)(&flags), 1) << last();
  EXPECT_EQ(flags, 32);  // the last document was a coupon
}

TEST_F(DriverQueries, TablesAgreeWithTheSale) {
  ShopAndSale();
  char buffer[8192] = "";
  EXPECT_EQ(EXPORT(Orvik_RetornoAliquotas)(buffer), 1) << last();
  std::string rates = "1800,1200,0500";
  for (int i = 0; i < 13; ++i) rates += ",0000";
  EXPECT_EQ(std::string(buffer), rates);
  EXPECT_EQ(EXPORT(Orvik_VerificaAliquotasICMS)(buffer), 1) << last();
  EXPECT_STREQ(buffer, "1800,1200");
  EXPECT_EQ(EXPORT(Orvik_VerificaIndiceAliquotasIss)(buffer), 1) << last();
  EXPECT_STREQ(buffer, "02");

  EXPECT_EQ(EXPORT(Orvik_VerificaTotalizadoresParciais)(buffer), 1) << last();
  const std::string totals = buffer;
  EXPECT_EQ(totals.substr(0, 42),
            "00000000002000"
            "00000000000850"
            "00000000003000");
  EXPECT_EQ(totals.substr(totals.size() - 19), ",000000000000005850");
  EXPECT_EQ(totals.size(), 16u * 14 + 4 * 15 + 8 * 14 + 3 * 15 + 4);

  EXPECT_EQ(EXPORT(Orvik_VerificaFormasPagamento)(buffer), 1) << last();
  const std::string forms = buffer;
  ASSERT_EQ(forms.size(), 52u * 57 + 51) << forms;
  EXPECT_EQ(forms.substr(0, 36), "Dinheiro        00000000000000005000");
  EXPECT_EQ(forms.substr(58, 36), "Cartao          00000000000000000850");
  EXPECT_EQ(forms[58 + 56], '1');  // the card allows a linked voucher

  EXPECT_EQ(EXPORT(Orvik_VerificaRelatorioGerencialMFD)(buffer), 1) << last();
  EXPECT_EQ(std::string(buffer).substr(0, 21), "0000Relatorio Geral  ");
  EXPECT_EQ(EXPORT(Orvik_VerificaTotalizadoresNaoFiscais)(buffer), 1) << last();
  EXPECT_EQ(std::string(buffer).substr(0, 40), "Suprimento         ,Sangria            ,");
}

TEST_F(DriverQueries, IdentityOfThePrinter) {
  char buffer[256] = "", second[256] = "", third[256] = "";
  EXPECT_EQ(EXPORT(Orvik_NumeroSerie)(buffer), 1) << last();
  EXPECT_STREQ(buffer, "OR050800000000012345");
  EXPECT_EQ(EXPORT(Orvik_NumeroSerieCriptografado)(buffer), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_NumeroSerieDescriptografado)(buffer, second), 1) << last();
  EXPECT_STREQ(second, "OR050800000000012345");
  EXPECT_EQ(EXPORT(Orvik_LeCodigoNacionalIdentificacaoECF)(buffer), 1) << last();
  EXPECT_STREQ(buffer, "191201");
  EXPECT_EQ(EXPORT(Orvik_MarcaModeloTipoImpressoraMFD)(buffer, second, third), 1) << last();
  EXPECT_EQ(std::string(buffer).size(), 15u);
  EXPECT_EQ(std::string(second), "ORVIK KAP           ");
  EXPECT_EQ(EXPORT(Orvik_CNPJ_IE)(buffer, second), 1) << last();
  EXPECT_EQ(std::string(buffer).size(), 18u);
  EXPECT_EQ(std::string(second).size(), 15u);
  EXPECT_EQ(EXPORT(Orvik_PercentualLivreMFD)(buffer), 1) << last();
  EXPECT_EQ(std::string(buffer).back(), '%');
}

TEST_F(DriverQueries, TheDayDownloadedFromTheMfdHoldsTheCouponAsPrinted) {
  ShopAndSale();
  const std::string raw = (dir / "MFD.BIN").string();
  const std::string text = (dir / "MFD.TXT").string();
  ASSERT_EQ(EXPORT(Orvik_DownloadMFD)(raw.c_str(), "1", "15062026", "15062026", ""), 1) << last();
  ASSERT_EQ(EXPORT(Orvik_FormatoDadosMFD)(raw.c_str(), text.c_str(), "0", "1", "", "", ""), 1)
      << last();
  const std::vector<std::string> got = common::split_lines(*common::read_file(text));

  const ecf_sim::Document coupon = LastCoupon();
  ASSERT_EQ(coupon.kind, 3);
  const std::vector<std::string> printed = ecf_sim::testing::capture_lines(coupon.printed);
  ASSERT_FALSE(printed.empty());
  // The coupon's lines appear in the download, in order, as printed.
  auto at = std::search(got.begin(), got.end(), printed.begin(), printed.end());
  EXPECT_NE(at, got.end()) << "downloaded:\n" << *common::read_file(text);

  const std::string rtf = (dir / "MFD.RTF").string();
  ASSERT_EQ(EXPORT(Orvik_FormatoDadosMFD)(raw.c_str(), rtf.c_str(), "1", "", "", "", ""), 1);
  const std::string rich = *common::read_file(rtf);
  EXPECT_EQ(rich.rfind("{\\rtf1", 0), 0u);
  EXPECT_NE(rich.find("Courier New"), std::string::npos);
  EXPECT_NE(rich.find("\\b "), std::string::npos);  // the TOTAL line is bold
}

TEST_F(DriverQueries, SoftwareDateComesFromACapturedFiscalMemoryReading) {
  ShopAndSale();
  run("EmiteReducaoZ", "");
  char date[16] = "", time[16] = "";
  ASSERT_EQ(EXPORT(Orvik_DataHoraSoftwareBasico)(date, time), 1) << last();
  // The virtual printer's firmware was installed on 05/01/2026 at 09:00:00.
  EXPECT_STREQ(date, "050126");
  EXPECT_STREQ(time, "090000");
  EXPECT_TRUE(fs::exists(dir / "LEITMF.TXT"));
}

TEST_F(DriverQueries, AQueryThatCannotReachThePrinterStillWritesItsAnswer) {
  // The printer's line is gone (unplugged cable, wrong port).
  std::ofstream(dir / "ORVIK.INI", std::ios::binary)
      << "[Sistema]\r\nPorta=COM1\r\nPath=" << dir.string()
      << "/\r\n[Portas]\r\nCOM1=" << (dir / "no-such-line").string() << "\r\n";
  EXPECT_EQ(EXPORT(Orvik_AbrePortaSerial)(), -5);  // reads the port keys again
  char buffer[4096] = "stale";
  EXPECT_EQ(EXPORT(Orvik_NumeroCupom)(buffer), -5);
  EXPECT_STREQ(buffer, "000000");
  EXPECT_EQ(ReturnFile(), "000000\r\n");
  EXPECT_EQ(EXPORT(Orvik_VerificaFormasPagamento)(buffer), -5);
  EXPECT_STREQ(buffer, "");
  const std::string file = (dir / "MFD.TXT").string();
  std::ofstream(file) << "old";
  EXPECT_EQ(EXPORT(Orvik_DownloadMFD)(file.c_str(), "0", "", "", ""), -5);
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(DriverQueries, AMissingSourceIsReportedByTheFormatExport) {
  EXPECT_EQ(EXPORT(Orvik_FormatoDadosMFD)("/nonexistent/x", "y", "0", "", "", "", ""), -8);
  EXPECT_EQ(last(), "-8 Erro no Arquivo Origem");
}

}  // namespace
