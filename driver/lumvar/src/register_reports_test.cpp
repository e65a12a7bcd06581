#include "orvik/lumvar/register_reports.h"

#include <map>

#include "common/files.h"
#include "common/text1252.h"
#include "coupon_test_peer.h"
#include "orvik/core/text_forms.h"

namespace orvik::lumvar {
namespace {

using core::State;
using coupon_testing::Command;
using coupon_testing::CouponPeer;
using namespace report_forms;

std::string L(std::string_view utf8) {
  return common::utf8_to_cp1252(utf8);
}

TEST(ReportForms, MoneyTextAndIntegers) {
  struct {
    const char* value;
    const char* text;
  } cases[] = {{"12345", "123,45"},
               {"5", "0,05"},
               {"", "0,00"},
               {"000000012", "0,12"},
               {"100", "1,00"},
               {"a1b2", "0,12"},
               {"99999999999999", "999999999999,99"}};
  for (const auto& c : cases) EXPECT_EQ(MoneyText(c.value), c.text) << c.value;
  EXPECT_EQ(MoneyText(int64_t{4294967296}), "42949672,96");
  EXPECT_EQ(IntegerOf("2147483648"), 2147483648);
  EXPECT_EQ(IntegerOf(""), 0);
  EXPECT_EQ(IntegerOf("12a"), 0);
  EXPECT_EQ(IntegerOf(std::string(19, '9')), 0);
}

TEST(ReportForms, LabelLinesAre48BytesOfWindows1252) {
  const std::string label = "Numero de serie           :";  // 27
  EXPECT_EQ(LabelLine(label, std::string(20, '7')), label + " " + std::string(20, '7'));
  EXPECT_EQ(LabelLine(label, std::string(21, '7')), label + std::string(21, '7'));
  EXPECT_EQ(LabelLine(label, std::string(30, '7')), label + std::string(21, '7'));
  EXPECT_EQ(LabelLine(label, "60"), label + std::string(19, ' ') + "60");
  // An accented label counts one byte per letter.
  const std::string accented = L("Número do equipamento     :");
  ASSERT_EQ(accented.size(), 27u);
  EXPECT_EQ(LabelLine(accented, "0001").size(), 48u);
  EXPECT_EQ(LabelLine(accented, "0001"), accented + std::string(17, ' ') + "0001");
  EXPECT_EQ(LabelLine(std::string(50, 'x'), "1"), std::string(48, 'x'));
}

// The last-reduction text of a day: user 01, GT 1.500,00, cancellations 2,00, discounts
// 1,00, rates 18,00 and 5,00, totals 100,00 and 30,00 in their slots and 7,00 in F1.
std::string LastReductionText() {
  std::string t;
  t += "01";
  t += core::LastDigits("150000", 18);
  t += core::LastDigits("200", 14);
  t += core::LastDigits("100", 14);
  t += "1800"
       "0500" +
       std::string(56, '0');
  std::string totals = core::LastDigits("10000", 14) + core::LastDigits("3000", 14);
  totals += std::string(14 * 14, '0');
  totals += core::LastDigits("700", 14) + std::string(28, '0');
  t += totals;
  t += std::string(14 + 14 + 126 + 36, '0');
  t += "000250"
       "000050"
       "00"
       "101226";
  t += std::string(28, '0');
  EXPECT_EQ(t.size(), 616u);
  return t;
}

std::string Money(const std::string& cents) {
  return "0;ValorMoeda=" + MoneyText(cents) + "00";
}

// A scripted printer that answers by command and parameters, as the register reports
// read dozens of named registers.
class Reports : public CouponPeer {
 protected:
  void SetUp() override {
    CouponPeer::SetUp();
    auto queued = record.responder;
    record.responder = [this, queued](const std::string& bytes) -> std::string {
      partial_ += bytes;
      if (partial_.empty() || partial_.back() != '}') return {};
      const std::string frame = std::move(partial_);
      partial_.clear();
      const size_t a = frame.find(';');
      const size_t b = frame.find(';', a + 1);
      const size_t c = frame.rfind(';');
      const Command command{frame.substr(a + 1, b - a - 1), frame.substr(b + 1, c - b - 1)};
      auto it = by_parameters.find(command.name + "|" + command.parameters);
      if (it == by_parameters.end()) return queued(frame);
      sent.push_back(command);
      // Appended: "{" + temporary trips a g++ 12 -O3 -Wrestrict false alarm.
      std::string reply(1, '{');
      reply += frame.substr(1, a - 1);
      reply += ';';
      reply += it->second;
      reply += ";9}";
      return reply;
    };
    Day(12);
  }
  void On(const std::string& command, const std::string& parameters, const std::string& body) {
    by_parameters[command + "|" + parameters] = body;
  }
  void Fail(const std::string& command, const std::string& parameters) {
    On(command, parameters, "9999;NomeErro=\"E\" Circunstancia=\"falha\"");
  }
  void MoneyOf(const std::string& name, const std::string& cents) {
    On("LeMoeda", "NomeDadoMonetario=\"" + name + "\"", Money(cents));
  }
  // The registers of the printer after its Z number z.
  void Day(int z) {
    const std::string n = std::to_string(z);
    On("LeTexto", "NomeTexto=\"NumeroSerieECF\"", "0;ValorTexto=\"OR050800000000012345\"");
    On("LeInteiro", "NomeInteiro=\"ECF\"", "0;ValorInteiro=1");
    On("LeInteiro", "NomeInteiro=\"CRO\"", "0;ValorInteiro=1");
    On("LeInteiro", "NomeInteiro=\"CRZ\"", "0;ValorInteiro=" + n);
    On("LeInteiro", "NomeInteiro=\"COOReducao[" + n + "]\"", "0;ValorInteiro=250");
    On("LeInteiro", "NomeInteiro=\"COOReducao[" + std::to_string(z - 1) + "]\"",
       "0;ValorInteiro=199");
    On("LeTexto", "NomeTexto=\"DadosUltimaReducaoZ\"",
       "0;ValorTexto=\"" + LastReductionText() + "\"");
    const std::string r = "Reducao[" + n + "]";
    MoneyOf("CancelamentosICMS" + r, "150");
    MoneyOf("CancelamentosISSQN" + r, "50");
    MoneyOf("Descontos" + r, "100");
    MoneyOf("TotalAliquotaF1" + r, "700");
    MoneyOf("TotalAliquotaI1" + r, "0");
    MoneyOf("TotalAliquotaN1" + r, "0");
    MoneyOf("TotalAliquotaFS1" + r, "0");
    MoneyOf("TotalAliquotaIS1" + r, "0");
    MoneyOf("TotalAliquotaNS1" + r, "0");
    MoneyOf("VendaBruta" + r, "14000");
    for (int nn = 0; nn < 16; ++nn) {
      const std::string slot = std::string(nn < 10 ? "0" : "") + std::to_string(nn);
      MoneyOf("Aliquota" + slot + r, nn == 0 ? "1800" : nn == 1 ? "500" : "0");
      MoneyOf("TotalAliquota" + slot + r, nn == 0 ? "10000" : nn == 1 ? "3000" : "0");
      On("LeIndicador", "NomeIndicador=\"Aliquota" + slot + "ICMS" + r + "\"",
         nn == 1 ? "0;ValorNumericoIndicador=0 ValorIndicador=0"
                 : "0;ValorNumericoIndicador=1 ValorIndicador=1");
    }
  }
  std::vector<std::string> Lines(const std::string& name) {
    return common::split_lines(folder.Read(name));
  }

  std::map<std::string, std::string> by_parameters;
  std::string partial_;
};

TEST_F(Reports, AnalyticReport) {
  EXPECT_EQ(RelatorioTipo60Analitico(), 1);
  const std::vector<std::string> expected = {
      LabelLine("Tipo do relatorio         :", "60"),
      LabelLine("Subtipo                   :", "A"),
      LabelLine("Data de emissao           :", "10/12/26"),
      LabelLine("Numero de serie           :", "OR050800000000012345"),
      LabelLine("Cancelamentos ICMS        :", "1,50"),
      LabelLine("Cancelamentos ISS         :", "0,50"),
      LabelLine("Descontos                 :", "1,00"),
      LabelLine("F                         :", "7,00"),
      LabelLine("I                         :", "0,00"),
      LabelLine("N                         :", "0,00"),
      LabelLine("FS                        :", "0,00"),
      LabelLine("IS                        :", "0,00"),
      LabelLine("NS                        :", "0,00"),
      LabelLine("1800                      :", "100,00"),
      LabelLine("0500                      :", "30,00"),
  };
  EXPECT_EQ(Lines("RETORNO.TXT"), expected);
  EXPECT_EQ(sent.size(), 2u + 1 + 9 + 32);
}

TEST_F(Reports, AnalyticReportEndsAtTheFirstFailedRead) {
  folder.Write("RETORNO.TXT", "old\r\n");
  Fail("LeInteiro", "NomeInteiro=\"CRZ\"");
  EXPECT_EQ(RelatorioTipo60Analitico(), 0);
  EXPECT_EQ(folder.Read("RETORNO.TXT"), "");
  Day(12);
  Fail("LeMoeda", "NomeDadoMonetario=\"DescontosReducao[12]\"");
  EXPECT_EQ(RelatorioTipo60Analitico(), 0);
  EXPECT_EQ(State().last_return_code, 9999);
  EXPECT_EQ(Lines("RETORNO.TXT").size(), 6u);
}

TEST_F(Reports, MasterReport) {
  EXPECT_EQ(RelatorioTipo60Mestre(), 1);
  // Gross sales: 2,00 + 1,00 + 100,00 + 30,00 + 7,00.
  const std::vector<std::string> expected = {
      LabelLine("Tipo do relatorio         :", "60"),
      LabelLine("Subtipo                   :", "M"),
      LabelLine("Data de emissao           :", "10/12/26"),
      LabelLine("Numero de serie           :", "OR050800000000012345"),
      LabelLine(L("Número do equipamento     :"), "0001"),
      LabelLine("Modelo do documento fiscal:", "2D"),
      LabelLine("COO Inicial               :", "000200"),
      LabelLine("COO Final                 :", "000250"),
      LabelLine("Contador de reducoes      :", "0012"),
      LabelLine("Reinicio de Operacao      :", "0001"),
      LabelLine("Venda Bruta               :", "140,00"),
      LabelLine("Totalizador geral         :", "1500,00"),
  };
  EXPECT_EQ(Lines("RETORNO.TXT"), expected);
}

TEST_F(Reports, TheFirstReductionHasNoInitialCoo) {
  by_parameters.clear();
  Day(1);
  EXPECT_EQ(RelatorioTipo60Mestre(), 1);
  EXPECT_EQ(Lines("RETORNO.TXT")[6], LabelLine("COO Inicial               :", "000000"));
  EXPECT_EQ(RegistrosTipo60(), 1);
  EXPECT_EQ(Lines("RETORNO.TXT")[0].substr(36, 12), "000000000250");
}

TEST_F(Reports, MasterReadsThatFailLeaveRetornoUntouched) {
  for (const char* parameters : {"NomeInteiro=\"CRO\"", "NomeInteiro=\"COOReducao[12]\"",
                                 "NomeInteiro=\"COOReducao[11]\""}) {
    SCOPED_TRACE(parameters);
    folder.Write("RETORNO.TXT", "old\r\n");
    Day(12);
    Fail("LeInteiro", parameters);
    EXPECT_EQ(RelatorioTipo60Mestre(), 0);
    EXPECT_EQ(RegistrosTipo60(), 0);
    EXPECT_EQ(folder.Read("RETORNO.TXT"), "old\r\n");
  }
}

TEST_F(Reports, Type60Records) {
  EXPECT_EQ(RegistrosTipo60(), 1);
  const std::vector<std::string> lines = Lines("RETORNO.TXT");
  const std::string head = "20261210OR050800000000012345";
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], "60M" + head + "0012D" + "000200000250000012001" + "0000000000014000" +
                          "0000000000150000" + std::string(37, ' '));
  auto analytic = [&](const std::string& code, const std::string& value) {
    return "60A" + head + code + value + std::string(79, ' ');
  };
  EXPECT_EQ(lines[1], analytic("CANC", "000000000150"));
  EXPECT_EQ(lines[2], analytic("DESC", "000000000100"));
  EXPECT_EQ(lines[3], analytic("F   ", "000000000700"));
  EXPECT_EQ(lines[8], analytic("NS  ", "000000000000"));
  // The ICMS rate has its line; the service-tax rate goes into the ISS line.
  EXPECT_EQ(lines[9], analytic("1800", "000000010000"));
  EXPECT_EQ(lines[10], analytic("ISS ", "000000003000"));
  for (const std::string& line : lines) EXPECT_EQ(line.size(), 126u);
}

TEST_F(Reports, SummaryMap) {
  EXPECT_EQ(MapaResumo(), 1);
  // Net: I1 + N1 + F1 + the ICMS rate = 107,00; service 30,00; gross = cancellations
  // 2,00 + discounts 1,00 + net + service.
  const std::vector<std::string> expected = {
      LabelLine("Contador de Reducao Z..:", "12"),
      LabelLine("COO....................:", "000250"),
      LabelLine("Venda Bruta............:", "140,00"),
      LabelLine("Venda Liquida..........:", "107,00"),
      LabelLine("Cancelamentos..........:", "2,00"),
      LabelLine(L("Acréscimos.............:"), "0,00"),
      LabelLine("Descontos..............:", "1,00"),
      LabelLine("ISS....................:", "30,00"),
      LabelLine(L("Isenção................:"), "0,00"),
      LabelLine(L("Não Incidência.........:"), "0,00"),
      LabelLine(L("Substituição Tributária:"), "7,00"),
      LabelLine("1800...................:", "100,00"),
  };
  EXPECT_EQ(Lines("RETORNO.TXT"), expected);
  EXPECT_FALSE(Exists("RETORNO.DAT"));
}

TEST_F(Reports, AFailedMapKeepsItsWorkFileAndTheOldReport) {
  folder.Write("RETORNO.TXT", "old\r\n");
  Fail("LeIndicador", "NomeIndicador=\"Aliquota03ICMSReducao[12]\"");
  EXPECT_EQ(MapaResumo(), 0);
  EXPECT_EQ(folder.Read("RETORNO.TXT"), "old\r\n");
  EXPECT_TRUE(Exists("RETORNO.DAT"));
  EXPECT_EQ(Lines("RETORNO.DAT")[2], LabelLine("Venda Bruta............:", "0,00"));
}

TEST_F(Reports, SumsBeyond32BitsAreKept) {
  // 30.000.000,00 in two rate totals: past what 32 bits hold in cents.
  MoneyOf("TotalAliquota00Reducao[12]", "2000000000");
  MoneyOf("TotalAliquota02Reducao[12]", "1000000000");
  MoneyOf("Aliquota02Reducao[12]", "1200");
  EXPECT_EQ(MapaResumo(), 1);
  EXPECT_EQ(Lines("RETORNO.TXT")[3], LabelLine("Venda Liquida..........:", "30000007,00"));
}

TEST_F(Reports, AReportThatCannotWriteItsFileAnswersMinus8) {
  State().path_directory = folder.slash() + "missing/";
  EXPECT_EQ(RelatorioTipo60Analitico(), 0);
  EXPECT_EQ(State().last_return_code, -8);
  EXPECT_EQ(RelatorioTipo60Mestre(), 0);
  EXPECT_EQ(State().last_return_code, -8);
  EXPECT_EQ(RegistrosTipo60(), 0);
  EXPECT_EQ(MapaResumo(), 0);
  EXPECT_EQ(State().last_return_code, -8);
}

TEST_F(Reports, LastReductionFields) {
  EXPECT_EQ(DadosUltimaReducao(), 1);
  const std::string& answer = State().return_value;
  EXPECT_EQ(answer.size(), 631u);
  EXPECT_EQ(answer.substr(0, 22), "01," + core::LastDigits("150000", 18) + ",");
  // A too short answer is blank-filled, never read past.
  On("LeTexto", "NomeTexto=\"DadosUltimaReducaoZ\"", "0;ValorTexto=\"01\"");
  EXPECT_EQ(DadosUltimaReducao(), 1);
  EXPECT_EQ(State().return_value.size(), 631u);
  Fail("LeTexto", "NomeTexto=\"DadosUltimaReducaoZ\"");
  EXPECT_EQ(DadosUltimaReducao(), 0);
  EXPECT_EQ(State().return_value, "");
}

TEST_F(Reports, LastReductionMfdRecord) {
  for (const char* name : {"CRO", "CCF", "GRG", "CFD", "NFC", "CFC", "CDC", "NCN"})
    On("LeInteiro", std::string("NomeInteiro=\"") + name + "\"", "0;ValorInteiro=7");
  // This record names the reduction with four digits.
  MoneyOf("TotalAliquotaI1Reducao[0012]", "1234");
  On("LeData", "NomeData=\"DataReducao[0012]\"", "0;ValorData=#10/12/2026#");
  On("LeHora", "NomeHora=\"HoraReducao[0012]\"", "0;ValorHora=#23:10:00#");
  // A failed read gives zeros, not the value of the read before it.
  Fail("LeInteiro", "NomeInteiro=\"GRG\"");
  EXPECT_EQ(DadosUltimaReducaoMFD(), 1);
  const std::string& answer = State().return_value;
  ASSERT_EQ(answer.size(), 1278u);
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t comma; (comma = answer.find(',', start)) != std::string::npos; start = comma + 1)
    fields.push_back(answer.substr(start, comma - start));
  fields.push_back(answer.substr(start));
  ASSERT_EQ(fields.size(), 37u);
  EXPECT_EQ(fields[0], "01");
  EXPECT_EQ(fields[1], "0007");
  EXPECT_EQ(fields[2], "0012");
  EXPECT_EQ(fields[3], "000250");
  EXPECT_EQ(fields[5], "000007");
  EXPECT_EQ(fields[6], "000000");  // GRG failed
  EXPECT_EQ(fields[14], "0000");
  EXPECT_EQ(fields[15], core::LastDigits("150000", 18));
  EXPECT_EQ(fields[16].size(), 224u);
  EXPECT_EQ(fields[17], "00000000001234");
  EXPECT_EQ(fields[35], LastReductionText().substr(48, 64));
  EXPECT_EQ(fields[36], "101226");
}

TEST_F(Reports, AnswersOfTheWrongShapeNeverMoveAField) {
  // Too long a last-reduction text is cut at its 616 characters; letters among a
  // counter's digits are dropped by the read; letters in a rate code leave its digits.
  On("LeTexto", "NomeTexto=\"DadosUltimaReducaoZ\"",
     "0;ValorTexto=\"" + LastReductionText() + std::string(100, '9') + "\"");
  On("LeInteiro", "NomeInteiro=\"COOReducao[11]\"", "0;ValorInteiro=x1y9z");
  On("LeTexto", "NomeTexto=\"NumeroSerieECF\"", "0;ValorTexto=\"" + std::string(30, 'S') + "\"");
  EXPECT_EQ(DadosUltimaReducao(), 1);
  EXPECT_EQ(State().return_value.size(), 631u);
  EXPECT_EQ(RegistrosTipo60(), 1);
  const std::vector<std::string> lines = Lines("RETORNO.TXT");
  for (const std::string& line : lines) EXPECT_EQ(line.size(), 126u);
  EXPECT_EQ(lines[0].substr(11, 20), std::string(20, 'S'));
  EXPECT_EQ(lines[0].substr(36, 6), "000020");
  EXPECT_EQ(RelatorioTipo60Mestre(), 1);
  EXPECT_EQ(Lines("RETORNO.TXT")[3], "Numero de serie           :" + std::string(21, 'S'));
}

TEST_F(Reports, GrossSalesOfTheLastReduction) {
  EXPECT_EQ(GrandeTotalUltimaReducaoMFD(), 1);
  EXPECT_EQ(State().return_value, "14000");
  Fail("LeMoeda", "NomeDadoMonetario=\"VendaBrutaReducao[12]\"");
  EXPECT_EQ(GrandeTotalUltimaReducaoMFD(), 0);
  EXPECT_EQ(State().return_value, "");
}

TEST_F(Reports, ConfigurationReportPrintsTwoChunksAndSavesItsLines) {
  On("LeData", "NomeData=\"Data\"", "0;ValorData=#10/12/2026#");
  On("LeHora", "NomeHora=\"Hora\"", "0;ValorHora=#09:30:05#");
  On("LeInteiro", "NomeInteiro=\"Arredondamento\"", "0;ValorInteiro=1");
  On("LeInteiro", "NomeInteiro=\"TipoDocEmEmissao\"", "0;ValorInteiro=0");
  // The store number cannot be read: its line is empty, not stale.
  Fail("LeInteiro", "NomeInteiro=\"Loja\"");
  EXPECT_EQ(ImprimeConfiguracoesImpressora(), 1);
  const std::vector<std::string> lines = Lines("IMPR.txt");
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[0], LabelLine("Data da impressora:", "10/12/26"));
  EXPECT_EQ(lines[1], LabelLine("Hora da impressora:", "09:30:05"));
  EXPECT_EQ(lines[4], LabelLine("Numero da loja", ""));
  EXPECT_EQ(lines[7], LabelLine("Modo de operacao", "Truncamento"));
  EXPECT_EQ(lines[8], LabelLine(L("Horário de verao"), "NAO"));
  EXPECT_EQ(lines[13], LabelLine("Tipo Impressora", "Fiscal + Gaveta"));
  EXPECT_EQ(lines[14], "");
  EXPECT_EQ(folder.Read("IMPR2.txt"), folder.Read("IMPR.txt"));
  std::vector<std::string> printed;
  for (const Command& c : sent)
    if (c.name == "ImprimeTexto") printed.push_back(c.parameters);
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_EQ(printed[0].size(), std::string("TextoLivre=\"\"").size() + 10 * 48);
  EXPECT_EQ(printed[1].size(), std::string("TextoLivre=\"\"").size() + 4 * 48);
  EXPECT_EQ(sent.back().name, "EncerraDocumento");
}

TEST_F(Reports, AFailedConfigurationPrintoutSavesNothing) {
  On("LeInteiro", "NomeInteiro=\"TipoDocEmEmissao\"", "0;ValorInteiro=15");
  Refuse("ImprimeTexto", 8101);
  EXPECT_EQ(ImprimeConfiguracoesImpressora(), 0);
  EXPECT_FALSE(Exists("IMPR.txt"));
  EXPECT_EQ(Names().back(), "ImprimeTexto");
}

}  // namespace
}  // namespace orvik::lumvar
