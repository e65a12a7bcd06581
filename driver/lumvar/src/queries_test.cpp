#include "orvik/lumvar/queries.h"

#include "queries_test_peer.h"

namespace orvik::lumvar {
namespace {

using testing::Sent;

class Queries : public testing::ScriptedPeer {
 protected:
  std::string First() const { return core::State().return_value; }
  std::string Second() const { return core::State().second_return_value; }
};

TEST_F(Queries, RegistersSendTheirExactReads) {
  const struct {
    int index;
    Sent read;
  } cases[] = {
      {0, {"LeTexto", "NomeTexto=\"NumeroSerieECF\""}},
      {3, {"LeMoeda", "NomeDadoMonetario=\"GT\""}},
      {6, {"LeInteiro", "NomeInteiro=\"COO\""}},
      {12, {"LeInteiro", "NomeInteiro=\"ContadorDocUltimoItemVendido\""}},
      {56, {"LeInteiro", "NomeInteiro=\"CFD\""}},
      {100, {"LeMoeda", "NomeDadoMonetario=\"TotalDocLiquido\""}},
      {112, {"LeInteiro", "NomeInteiro=\"PercentualMFDUtilizada\""}},
      {116, {"LeIndicador", "NomeIndicador=\"HorarioVerao\""}},
  };
  for (const auto& c : cases) {
    sent.clear();
    EXPECT_EQ(ReadRegister(c.index), 1) << c.index;
    ASSERT_EQ(sent.size(), 1u) << c.index;
    EXPECT_EQ(sent[0], c.read) << c.index;
  }
}

TEST_F(Queries, AnIndexOutsideTheTableSendsNothing) {
  for (int index : {2, 11, 57, 117, -1}) {
    core::State().return_value = "old";
    EXPECT_EQ(ReadRegister(index), 0) << index;
    EXPECT_EQ(First(), "") << index;
  }
  EXPECT_TRUE(sent.empty());
}

TEST_F(Queries, ValuesAreTheEngineReadValueAndFailuresEmptyThem) {
  Ok("LeMoeda", "NomeDadoMonetario=\"GT\"", "ValorMoeda=1234,5600");
  EXPECT_EQ(ReadRegister(3), 1);
  EXPECT_EQ(First(), "123456");
  Error("LeInteiro", "NomeInteiro=\"COO\"", 8003);
  EXPECT_EQ(ReadRegister(6), 0);
  EXPECT_EQ(First(), "");
  EXPECT_EQ(core::State().last_return_code, 8003);
}

TEST_F(Queries, CnpjThenIeOnlyWhenTheCnpjWasRead) {
  Ok("LeTexto", "NomeTexto=\"CNPJ\"", "ValorTexto=\"12345678000195\"");
  Ok("LeTexto", "NomeTexto=\"IE\"", "ValorTexto=\"244123456119\"");
  EXPECT_EQ(CnpjIe(), 1);
  EXPECT_EQ(First(), "12345678000195");
  EXPECT_EQ(Second(), "244123456119");
  sent.clear();
  Error("LeTexto", "NomeTexto=\"CNPJ\"", 8003);
  EXPECT_EQ(CnpjIe(), 0);
  EXPECT_EQ(sent.size(), 1u);
  EXPECT_EQ(Second(), "");
}

TEST_F(Queries, DatesAndTimes) {
  Ok("LeData", "NomeData=\"Data\"", "ValorData=#15/06/2026#");
  Ok("LeHora", "NomeHora=\"Hora\"", "ValorHora=#10:00:02#");
  EXPECT_EQ(PrinterDateTime(), 1);
  EXPECT_EQ(First(), "150626");
  EXPECT_EQ(Second(), "100002");

  Ok("LeInteiro", "NomeInteiro=\"CRZ\"", "ValorInteiro=12");
  Ok("LeData", "NomeData=\"DataReducao[12]\"", "ValorData=#14/06/2026#");
  Ok("LeHora", "NomeHora=\"HoraReducao[12]\"", "ValorHora=#23:59:01#");
  EXPECT_EQ(ReductionDateTime(), 1);
  EXPECT_EQ(First(), "140626");
  EXPECT_EQ(Second(), "235901");

  Ok("LeData", "NomeData=\"DataUltimoDoc\"", "ValorData=#15/06/2026#");
  Ok("LeHora", "NomeHora=\"HoraUltimoDoc\"", "ValorHora=#11:22:33#");
  EXPECT_EQ(LastDocumentDateTime(), 1);
  EXPECT_EQ(First(), "150626112233");
}

TEST_F(Queries, MovementDateOnlyWhileADayIsOpen) {
  Ok("LeInteiro", "NomeInteiro=\"Indicadores\"", "ValorInteiro=64");
  Ok("LeData", "NomeData=\"DataAbertura\"", "ValorData=#15/06/2026#");
  EXPECT_EQ(MovementDate(), 1);
  EXPECT_EQ(First(), "150626");
  sent.clear();
  Ok("LeInteiro", "NomeInteiro=\"Indicadores\"", "ValorInteiro=128");
  EXPECT_EQ(MovementDate(), 1);
  EXPECT_EQ(First(), "000000");
  EXPECT_EQ(sent.size(), 1u);
}

TEST_F(Queries, LastReductionMovementDateIsColumns583To588) {
  const std::string data = std::string(582, '1') + "140626" + std::string(28, '2');
  Ok("LeTexto", "NomeTexto=\"DadosUltimaReducaoZ\"", "ValorTexto=\"" + data + "\"");
  EXPECT_EQ(LastReductionMovementDate(), 1);
  EXPECT_EQ(First(), "140626");
  // A short block gives no date rather than a wrong one.
  Ok("LeTexto", "NomeTexto=\"DadosUltimaReducaoZ\"", "ValorTexto=\"123\"");
  EXPECT_EQ(LastReductionMovementDate(), 1);
  EXPECT_EQ(First(), "");
}

TEST_F(Queries, GrandTotalsAndCoosOfTheDay) {
  Ok("LeMoeda", "NomeDadoMonetario=\"GT\"", "ValorMoeda=500,0000");
  Ok("LeMoeda", "NomeDadoMonetario=\"GTInicial\"", "ValorMoeda=400,0000");
  EXPECT_EQ(GrandTotalsOfDay(), 1);
  EXPECT_EQ(First(), "40000");
  EXPECT_EQ(Second(), "50000");
  Ok("LeInteiro", "NomeInteiro=\"COO\"", "ValorInteiro=20");
  Ok("LeInteiro", "NomeInteiro=\"COOInicioDia\"", "ValorInteiro=11");
  EXPECT_EQ(CoosOfDay(), 1);
  EXPECT_EQ(First(), "11");
  EXPECT_EQ(Second(), "20");
}

TEST_F(Queries, BrandModelAndTypeAreFitted) {
  Ok("LeTexto", "NomeTexto=\"Marca\"", "ValorTexto=\"ORVIK\"");
  Ok("LeTexto", "NomeTexto=\"Modelo\"", "ValorTexto=\"ORVIK KAP\"");
  Ok("LeTexto", "NomeTexto=\"TipoECF\"", "ValorTexto=\"ECF-IF-LONGO\"");
  char type[16] = "xxxxxxxxxxxxxx";
  EXPECT_EQ(BrandModelType(type), 1);
  EXPECT_EQ(First(), "ORVIK          ");
  EXPECT_EQ(Second(), "ORVIK KAP           ");
  EXPECT_STREQ(type, "ECF-IF-");
}

TEST_F(Queries, PaymentFormValueByCashCodeOrName) {
  Ok("LeMoeda", "NomeDadoMonetario=\"TotalDiaDinheiro\"", "ValorMoeda=10,0000");
  Ok("LeMoeda", "NomeDadoMonetario=\"TotalDiaMeioPagamento[3]\"", "ValorMoeda=2,5000");
  Ok("LeMeioPagamento", "NomeMeioPagamento=\"Cheque\"",
     "CodMeioPagamento=3 CodMeioPagamentoProgram=3 NomeMeioPagamento=\"Cheque\" "
     "PermiteVinculado=N");
  EXPECT_EQ(PaymentFormValue("dinheiro"), 1);
  EXPECT_EQ(First(), "1000");
  EXPECT_EQ(PaymentFormValue("3"), 1);
  EXPECT_EQ(First(), "250");
  EXPECT_EQ(PaymentFormValue("Cheque"), 1);
  EXPECT_EQ(First(), "250");

  sent.clear();
  Error("LeMeioPagamento", "NomeMeioPagamento=\"Vale\"", 8014);
  EXPECT_EQ(PaymentFormValue("Vale"), 0);
  EXPECT_EQ(First(), "");
  EXPECT_EQ(sent.size(), 1u);
}

TEST_F(Queries, NonFiscalValueByCodeOrName) {
  Ok("LeNaoFiscal", "NomeNaoFiscal=\"Sangria\"", "CodNaoFiscal=1 NomeNaoFiscal=\"Sangria\"");
  Ok("LeMoeda", "NomeDadoMonetario=\"TotalDiaNaoFiscal[1]\"", "ValorMoeda=30,0000");
  EXPECT_EQ(NonFiscalValue("Sangria"), 1);
  EXPECT_EQ(First(), "3000");
  sent.clear();
  EXPECT_EQ(NonFiscalValue("1"), 1);
  EXPECT_EQ(sent, (std::vector<Sent>{{"LeMoeda", "NomeDadoMonetario=\"TotalDiaNaoFiscal[1]\""}}));
}

TEST(MemoryShare, FreeShareAndNominalSize) {
  EXPECT_EQ(FreeShareText("0123"), "98,76%");
  EXPECT_EQ(FreeShareText("0"), "99,99%");
  EXPECT_EQ(FreeShareText("5000"), "49,99%");
  const struct {
    const char *free_bytes, *share, *size;
  } cases[] = {
      {"0", "50,00%", "0"},
      {"1048576", "50,00%", "8388608"},
      {"4194304", "50,00%", "16777216"},
      {"33554432", "50,00%", "67108864"},
      {"999999999", "50,00%", "268435456"},
      {"1048576", "00,00%", "0"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NominalSizeText(c.free_bytes, c.share), c.size) << c.free_bytes << " " << c.share;
}

TEST_F(Queries, SerialNumberTransformGoesBothWays) {
  Ok("LeTexto", "NomeTexto=\"NumeroSerieECF\"", "ValorTexto=\"OR050800000000012345\"");
  ASSERT_EQ(EncryptedSerialNumber(), 1);
  const std::string encrypted = First();
  EXPECT_NE(encrypted, "OR050800000000012345");
  EXPECT_EQ(encrypted[0], static_cast<char>('O' ^ 65));
  EXPECT_EQ(DecryptedSerialNumber(encrypted), 1);
  EXPECT_EQ(First(), "OR050800000000012345");
}

TEST_F(Queries, NationalIdentificationCode) {
  Ok("LeTexto", "NomeTexto=\"VersaoSW\"", "ValorTexto=\"01.00.08\"");
  Ok("LeTexto", "NomeTexto=\"Modelo\"", "ValorTexto=\"orvik kap\"");
  EXPECT_EQ(NationalIdentificationCode(), 1);
  EXPECT_EQ(First(), "191201");
  EXPECT_EQ(NationalCodeFor("QVX/2DMR LOGGER", "03.03.04"), "191206");

  Ok("LeTexto", "NomeTexto=\"VersaoSW\"", "ValorTexto=\"01.00.09\"");
  EXPECT_EQ(NationalIdentificationCode(), 0);
  EXPECT_EQ(core::State().last_return_code, -12);
  EXPECT_EQ(core::State().last_message, "Modelo nao cadastrado");
  EXPECT_EQ(First(), "");
}

TEST_F(Queries, RepliesWithMissingQuotesOrFieldsNeverBreakAQuery) {
  const char* replies[] = {"ValorTexto=\"", "ValorTexto=", "", "ValorData=#", "x"};
  for (const char* r : replies) {
    Ok("LeTexto", "NomeTexto=\"CNPJ\"", r);
    Ok("LeTexto", "NomeTexto=\"IE\"", r);
    Ok("LeData", "NomeData=\"Data\"", r);
    Ok("LeHora", "NomeHora=\"Hora\"", r);
    Ok("LeTexto", "NomeTexto=\"Marca\"", r);
    EXPECT_EQ(CnpjIe(), 1) << r;
    EXPECT_EQ(PrinterDateTime(), 1) << r;
    char type[8];
    BrandModelType(type);
    EXPECT_EQ(First().size(), 15u) << r;
  }
}

}  // namespace
}  // namespace orvik::lumvar
