#include "orvik/lumvar/tables.h"

#include "common/text1252.h"
#include "queries_test_peer.h"

namespace orvik::lumvar {
namespace {

using testing::Sent;

class Tables : public testing::ScriptedPeer {
 protected:
  std::string Answer() const { return core::State().return_value; }
  // Every read of a command answers the given printer error unless scripted exactly.
  void ErrorByDefault(const std::string& command, int code) {
    by_command[command] = std::to_string(code) + ";NomeErro=\"E\" Circunstancia=\"x\"";
  }
  void Money(const std::string& name, const std::string& value) {
    Ok("LeMoeda", "NomeDadoMonetario=\"" + name + "\"", "ValorMoeda=" + value);
  }
  std::vector<std::string> Split(const std::string& text) const {
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
      const size_t comma = text.find(',', from);
      parts.push_back(text.substr(from, comma - from));
      if (comma == std::string::npos) return parts;
      from = comma + 1;
    }
  }
  static std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
  }
};

// ---- Rates ----

TEST_F(Tables, AllRatesWithEmptySlotsAsZeros) {
  ErrorByDefault("LeAliquota", 8005);
  Ok("LeAliquota", "CodAliquotaProgramavel=0", "AliquotaICMS=Y PercentualAliquota=18,00");
  Ok("LeAliquota", "CodAliquotaProgramavel=3", "AliquotaICMS=Y PercentualAliquota=5,00");
  EXPECT_EQ(ReadRates(0), 1);
  EXPECT_EQ(Answer(), "1800,0000,0000,0500" + Repeat(",0000", 12));
  ASSERT_EQ(sent.size(), 16u);
  for (int n = 0; n < 16; ++n)
    EXPECT_EQ(sent[n], (Sent{"LeAliquota", "CodAliquotaProgramavel=" + std::to_string(n)}));
  // The empty slots left no error behind.
  EXPECT_EQ(core::State().last_return_code, 0);
  EXPECT_EQ(core::State().st2, 0);
}

TEST_F(Tables, RateFiltersKeepOneKindAsRatesOrIndexes) {
  ErrorByDefault("LeAliquota", 8005);
  Ok("LeAliquota", "CodAliquotaProgramavel=0", "AliquotaICMS=Y PercentualAliquota=18,00");
  Ok("LeAliquota", "CodAliquotaProgramavel=1", "AliquotaICMS=N PercentualAliquota=5,00");
  Ok("LeAliquota", "CodAliquotaProgramavel=2", "AliquotaICMS=Y PercentualAliquota=7,00");
  const struct {
    int filter;
    const char* answer;
  } cases[] = {{1, "0500"}, {2, "01"}, {3, "1800,0700"}, {4, "00,02"}, {0, "1800,0500,0700"}};
  for (const auto& c : cases) {
    EXPECT_EQ(ReadRates(c.filter), 1);
    EXPECT_EQ(Answer().substr(0, std::string(c.answer).size() + (c.filter == 0 ? 1 : 0)),
              c.filter == 0 ? std::string(c.answer) + "," : c.answer)
        << c.filter;
    if (c.filter != 0) {
      EXPECT_EQ(Answer(), c.answer) << c.filter;
    }
    EXPECT_EQ(core::State().rate_kind_filter, c.filter);
  }
}

TEST_F(Tables, AnotherRateErrorStopsWithWhatWasRead) {
  ErrorByDefault("LeAliquota", 8005);
  Ok("LeAliquota", "CodAliquotaProgramavel=0", "AliquotaICMS=Y PercentualAliquota=18,00");
  Error("LeAliquota", "CodAliquotaProgramavel=2", 8001);
  EXPECT_EQ(ReadRates(0), 0);
  EXPECT_EQ(Answer(), "1800,0000");
  EXPECT_EQ(core::State().last_return_code, 8001);
  EXPECT_EQ(sent.size(), 3u);
}

// ---- Partial totalizers ----

TEST_F(Tables, PartialTotalizersLayout) {
  ErrorByDefault("LeMoeda", 8005);
  folder.WriteIni("[Sistema]\r\nPath=" + folder.slash() + "\r\nSANGRIA=1\r\nSUPRIMENTO=0\r\n");
  core::Startup();
  Money("TotalDiaValorAliquota[0]", "25,5000");
  Money("TotalDiaNaoFiscal[1]", "10,0000");
  Money("GT", "123,4500");
  EXPECT_EQ(PartialTotalizers(), 1);
  const std::string z(14, '0');
  const std::string want = "00000000002550" + Repeat(z, 15) + "," + z + "," + z + "," + z + "," +
                           z /*19: j=0*/ + "00000000001000" /*20: j=1*/ + Repeat(z, 7) + "," +
                           "00000000001000" /*28: SANGRIA*/ + "," + z /*29: SUPRIMENTO*/ + "," +
                           "000000000000012345";
  EXPECT_EQ(Answer(), want);

  std::vector<std::string> names;
  for (const Sent& s : sent) names.push_back(s.parameters);
  ASSERT_EQ(names.size(), 31u);
  EXPECT_EQ(names[0], "NomeDadoMonetario=\"TotalDiaValorAliquota[0]\"");
  EXPECT_EQ(names[15], "NomeDadoMonetario=\"TotalDiaValorAliquota[15]\"");
  EXPECT_EQ(names[16], "NomeDadoMonetario=\"TotalDiaIsencaoICMS\"");
  EXPECT_EQ(names[17], "NomeDadoMonetario=\"TotalDiaNaoTributadoICMS\"");
  EXPECT_EQ(names[18], "NomeDadoMonetario=\"TotalDiaSubstituicaoTributariaICMS\"");
  EXPECT_EQ(names[19], "NomeDadoMonetario=\"TotalDiaNaoFiscal[0]\"");
  EXPECT_EQ(names[27], "NomeDadoMonetario=\"TotalDiaNaoFiscal[8]\"");
  EXPECT_EQ(names[28], "NomeDadoMonetario=\"TotalDiaNaoFiscal[1]\"");
  EXPECT_EQ(names[29], "NomeDadoMonetario=\"TotalDiaNaoFiscal[0]\"");
  EXPECT_EQ(names[30], "NomeDadoMonetario=\"GT\"");
}

TEST_F(Tables, PartialTotalizersMfdLayout) {
  ErrorByDefault("LeMoeda", 8005);
  Money("TotalDiaDescontos", "1,0000");
  Money("GT", "9,9900");
  EXPECT_EQ(PartialTotalizersMfd(), 1);
  const std::string a = Answer();
  const std::vector<std::string> parts = Split(a);
  // Commas before 16..28 and 58..61: the pieces are 0-15 together, 16..27 alone, 28-57
  // together, 58..61 alone.
  ASSERT_EQ(parts.size(), 18u);
  EXPECT_EQ(parts[0], std::string(16 * 14, '0'));
  EXPECT_EQ(parts[7], "00000000000100");  // entry 22, the discounts
  EXPECT_EQ(parts[13].size(), 30u * 14);
  EXPECT_EQ(parts[17], "000000000000000999");
  // Entries 25, 26, 43-55 and 58-60 are not read.
  EXPECT_EQ(sent.size(), 62u - 2 - 13 - 3);
  EXPECT_EQ(sent[24].parameters, "NomeDadoMonetario=\"TotalDiaCancelamentosICMS\"");
  EXPECT_EQ(sent[25].parameters, "NomeDadoMonetario=\"TotalDiaCancelamentosISSQN\"");
  EXPECT_EQ(sent[26].parameters, "NomeDadoMonetario=\"TotalDiaNaoFiscal[0]\"");
  EXPECT_EQ(sent[40].parameters, "NomeDadoMonetario=\"TotalDiaNaoFiscal[14]\"");
}

TEST_F(Tables, AnotherTotalizerErrorEmptiesTheAnswer) {
  ErrorByDefault("LeMoeda", 8005);
  Error("LeMoeda", "NomeDadoMonetario=\"TotalDiaNaoTributadoICMS\"", 8003);
  EXPECT_EQ(PartialTotalizers(), 0);
  EXPECT_EQ(Answer(), "");
  EXPECT_EQ(core::State().last_return_code, 8003);
}

// ---- Payment forms ----

TEST_F(Tables, PaymentFormsWithOnlyCash) {
  ErrorByDefault("LeMeioPagamento", 8014);
  Ok("LeMeioPagamento", "CodMeioPagamentoProgram=-2",
     "CodMeioPagamento=-2 CodMeioPagamentoProgram=-2 NomeMeioPagamento=\"Dinheiro\" "
     "PermiteVinculado=N");
  Money("TotalDiaDinheiro", "150,0000");
  Money("TotalDocDinheiro", "20,0000");
  EXPECT_EQ(PaymentForms(20, 52), 1);
  const std::vector<std::string> entries = Split(Answer());
  ASSERT_EQ(entries.size(), 52u);
  for (const std::string& e : entries) EXPECT_EQ(e.size(), 57u) << e;
  EXPECT_EQ(entries[0], "Dinheiro        " + std::string("00000000000000015000") +
                            "00000000000000002000" + "0");
  for (size_t i = 1; i < entries.size(); ++i)
    EXPECT_EQ(entries[i], std::string(16, ' ') + std::string(41, '0')) << i;

  ASSERT_EQ(sent.size(), 18u);
  EXPECT_EQ(sent[1], (Sent{"LeMoeda", "NomeDadoMonetario=\"TotalDiaDinheiro\""}));
  EXPECT_EQ(sent[2], (Sent{"LeMoeda", "NomeDadoMonetario=\"TotalDocDinheiro\""}));
  EXPECT_EQ(sent[3], (Sent{"LeMeioPagamento", "CodMeioPagamentoProgram=0"}));
  EXPECT_EQ(sent[17], (Sent{"LeMeioPagamento", "CodMeioPagamentoProgram=14"}));
}

TEST_F(Tables, PaymentFormsMfdAndALinkableForm) {
  ErrorByDefault("LeMeioPagamento", 8014);
  Ok("LeMeioPagamento", "CodMeioPagamentoProgram=3",
     "CodMeioPagamento=3 CodMeioPagamentoProgram=3 NomeMeioPagamento=\"Cartao de Credito XYZ\" "
     "PermiteVinculado=S");
  Money("TotalDiaMeioPagamento[3]", "7,5000");
  Money("TotalDocMeioPagamento[3]", "7,5000");
  EXPECT_EQ(PaymentForms(14, 20), 1);
  const std::vector<std::string> entries = Split(Answer());
  ASSERT_EQ(entries.size(), 20u);
  for (const std::string& e : entries) EXPECT_EQ(e.size(), 45u) << e;
  EXPECT_EQ(entries[4],
            "Cartao de Credit" + std::string("00000000000750") + "00000000000750" + "1");
}

TEST_F(Tables, APaymentFormErrorOtherThanUnprogrammedEmptiesTheTable) {
  ErrorByDefault("LeMeioPagamento", 8014);
  Error("LeMeioPagamento", "CodMeioPagamentoProgram=2", 8003);
  EXPECT_EQ(PaymentForms(20, 52), 0);
  EXPECT_EQ(Answer(), "");
}

// ---- Gerencial reports, departments, non-fiscal tables ----

TEST_F(Tables, GerencialReportsWithTheirFillers) {
  ErrorByDefault("LeGerencial", 8018);
  Ok("LeGerencial", "CodGerencial=0", "CodGerencial=0 NomeGerencial=\"Relatorio Geral\"");
  Ok("LeInteiro", "NomeInteiro=\"CER[0]\"", "ValorInteiro=3");
  EXPECT_EQ(GerencialReports(), 1);
  const std::string filler = "0000" + std::string(17, ' ');
  std::string want = "0003Relatorio Geral  ";
  for (int n = 1; n < 20; ++n) want += "," + filler;
  want += Repeat(filler + ",", 10);
  EXPECT_EQ(Answer(), want);
  EXPECT_EQ(Answer().back(), ',');
  EXPECT_EQ(sent[1], (Sent{"LeInteiro", "NomeInteiro=\"CER[0]\""}));
}

TEST_F(Tables, DepartmentsEmptyOrEndedByErrors) {
  ErrorByDefault("LeDepartamento", 8031);
  Ok("LeDepartamento", "CodDepartamento=1",
     "CodDepartamento=1 NomeDepartamento=\"Bebidas e frios\"");
  Money("TotalDiaValorVendasDepartamento[1]", "12,3400");
  Money("TotalDiaQuantidadeVendasDepartamento[1]", "2,0000");
  EXPECT_EQ(Departments(), 1);
  const std::vector<std::string> entries = Split(Answer());
  ASSERT_EQ(entries.size(), 20u);
  const std::string empty = std::string(40, '0') + std::string(10, ' ');
  EXPECT_EQ(entries[0], empty);
  EXPECT_EQ(entries[1],
            "00000000000000001234" + std::string("00000000000000000200") + "Bebidas e ");

  sent.clear();
  Error("LeDepartamento", "CodDepartamento=2", 8003);
  EXPECT_EQ(Departments(), 0);
  EXPECT_EQ(Answer(), "");
}

TEST_F(Tables, NonFiscalNamesNeverFail) {
  ErrorByDefault("LeNaoFiscal", 8005);
  Ok("LeNaoFiscal", "CodNaoFiscal=1", "CodNaoFiscal=1 NomeNaoFiscal=\"Sangria\"");
  EXPECT_EQ(NonFiscalNames(9), 1);
  const std::vector<std::string> entries = Split(Answer());
  ASSERT_EQ(entries.size(), 9u);
  EXPECT_EQ(entries[1], "Sangria            ");
  EXPECT_EQ(entries[0], std::string(19, ' '));
  EXPECT_EQ(core::State().last_return_code, 0);
  EXPECT_EQ(NonFiscalNames(15), 1);
  EXPECT_EQ(Split(Answer()).size(), 15u);
}

TEST_F(Tables, NonFiscalCountersStopAtTheFirstError) {
  by_command["LeInteiro"] = "0;ValorInteiro=7";
  Error("LeInteiro", "NomeInteiro=\"CON[3]\"", 8003);
  EXPECT_EQ(NonFiscalCounters(), 0);
  EXPECT_EQ(Answer(), "0007,0007,0007");
  EXPECT_EQ(sent[0], (Sent{"LeInteiro", "NomeInteiro=\"CON[0]\""}));
}

TEST_F(Tables, NonFiscalReceiptsLayouts) {
  ErrorByDefault("LeNaoFiscal", 8005);
  Ok("LeNaoFiscal", "CodNaoFiscal=0", "CodNaoFiscal=0 NomeNaoFiscal=\"Suprimento\"");
  Money("TotalDiaNaoFiscal[0]", "50,0000");
  Ok("LeInteiro", "NomeInteiro=\"CON[0]\"", "ValorInteiro=2");
  EXPECT_EQ(NonFiscalReceipts(), 1);
  std::vector<std::string> entries = Split(Answer());
  ASSERT_EQ(entries.size(), 50u);
  EXPECT_EQ(entries[0], "0002" + std::string("00000000000000005000") + "Suprimento         ");
  EXPECT_EQ(entries[1], std::string(24, '0') + std::string(19, ' '));
  EXPECT_EQ(entries[49], std::string(24, '0') + std::string(19, ' '));

  EXPECT_EQ(NonFiscalReceiptsMfd(), 1);
  entries = Split(Answer());
  ASSERT_EQ(entries.size(), 30u);
  EXPECT_EQ(entries[0], "Suprimento         00000000005000");
  EXPECT_EQ(entries[1], std::string(19, ' ') + std::string(14, '0'));
  EXPECT_EQ(entries[29], std::string(19, ' ') + std::string(14, '0'));
}

}  // namespace
}  // namespace orvik::lumvar
