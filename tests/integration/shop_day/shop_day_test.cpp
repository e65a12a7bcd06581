// A shop's day through the driver's exports, as a point-of-sale program runs it, with the
// virtual printer on the other end of a pseudo-terminal. Each case loads the driver anew
// (one process per case).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "common/files.h"
#include "common/text1252.h"
#include "driver_fixture.h"

namespace {

namespace fs = std::filesystem;

// A label and its value on one 48-column line, the value at the right.
std::string Line(const std::string& label, const std::string& value) {
  return label + std::string(48 - label.size() - value.size(), ' ') + value;
}

class ShopDay : public orvik_testing::DriverOverPty {
 protected:
  std::vector<std::string> Lines(const std::string& name) {
    return common::split_lines(common::read_file(dir / name).value_or(""));
  }
  std::string Counter(const std::string& name) {
    std::string answer = ask("LeInteiro", "NomeInteiro=\"" + name + "\"");
    return answer.substr(answer.find('=') + 1);
  }
  int Crz() {
    std::lock_guard lock(server.mutex());
    return printer.state().crz;
  }

  // The programming a shop does once: an 18% ICMS rate, a 5% service-tax rate and a card
  // that takes vouchers.
  void ProgramShop() {
    EXPECT_EQ(EXPORT(Orvik_ProgramaAliquota)("18,00", 0), 1) << last();
    EXPECT_EQ(EXPORT(Orvik_ProgramaAliquota)("5,00", 1), 1) << last();
    EXPECT_EQ(EXPORT(Orvik_ProgramaFormaPagamentoMFD)("Cartao", "1"), 1) << last();
    EXPECT_EQ(EXPORT(Orvik_ProgramaOperador)("Caixa \"1\""), 1);
  }

  // The sales of the day: 75,00 gross, 45,00 of it at 18% and 30,00 of service tax; a card
  // payment of 25,00 with its voucher.
  void Sell() {
    EXPECT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
    EXPECT_EQ(EXPORT(Orvik_VendeItem)("1", "ARROZ", "18,00", "I", "2", 2, "10,00", "$", "0"), 1)
        << last();
    EXPECT_EQ(EXPORT(Orvik_VendeItem)("2", "CORTE", "5,00", "I", "1", 2, "30,00", "$", "0"), 1)
        << last();
    EXPECT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("Dinheiro", "50,00"), 1) << last();
    EXPECT_EQ(EXPORT(Orvik_TerminaFechamentoCupom)("Obrigado"), 1) << last();

    EXPECT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
    EXPECT_EQ(EXPORT(Orvik_VendeItem)("3", "FEIJAO", "18,00", "I", "1", 2, "25,00", "$", "0"), 1)
        << last();
    EXPECT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("Cartao", "25,00"), 1) << last();
    EXPECT_EQ(EXPORT(Orvik_TerminaFechamentoCupom)(""), 1) << last();
    char coo[16] = "";
    EXPECT_EQ(EXPORT(Orvik_NumeroCupom)(coo), 1);
    EXPECT_EQ(EXPORT(Orvik_AbreComprovanteNaoFiscalVinculado)("Cartao", "25,00", coo), 1) << last();
    EXPECT_EQ(EXPORT(Orvik_UsaComprovanteNaoFiscalVinculado)("CARTAO \"CREDITO\" NSU 1234"), 1)
        << last();
    EXPECT_EQ(EXPORT(Orvik_FechaComprovanteNaoFiscalVinculado)(), 1) << last();
  }
};

TEST_F(ShopDay, FromTheOpeningToTheReportsOfTheZ) {
  Load("CorrigeRelogioZ=0\r\nSUPRIMENTO=0\r\nSANGRIA=1\r\n");
  ProgramShop();
  EXPECT_EQ(EXPORT(Orvik_AberturaDoDia)("100,00", ""), 1) << last();
  Sell();
  EXPECT_EQ(EXPORT(Orvik_Sangria)("30,00"), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_RelatorioGerencial)("Conferencia de caixa"), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_RelatorioGerencial)("Troco: 100,00"), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_FechaRelatorioGerencial)(), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_LeituraX)(), 1) << last();
  EXPECT_EQ(ask("LeMoeda", "NomeDadoMonetario=\"TotalDiaNaoFiscal[0]\""), "ValorMoeda=100,0000");
  EXPECT_EQ(ask("LeMoeda", "NomeDadoMonetario=\"TotalDiaNaoFiscal[1]\""), "ValorMoeda=30,0000");
  const std::string last_coo = Counter("COO");
  const std::string first_coo = Counter("COOInicioDia");

  EXPECT_EQ(EXPORT(Orvik_FechamentoDoDia)(), 1) << last();
  EXPECT_EQ(Crz(), 1);
  EXPECT_EQ(Lines("60M.TXT"), (std::vector<std::string>{first_coo, last_coo, "000", "7500"}));

  // The reports of the Z agree with what was sold.
  EXPECT_EQ(EXPORT(Orvik_RelatorioTipo60Mestre)(), 1) << last();
  std::vector<std::string> master = Lines("RETORNO.TXT");
  ASSERT_EQ(master.size(), 12u);
  EXPECT_EQ(master[1], Line("Subtipo                   :", "M"));
  EXPECT_EQ(master[3], Line("Numero de serie           :", "OR050800000000012345"));
  EXPECT_EQ(master[6], Line("COO Inicial               :", "000000"));
  EXPECT_EQ(master[8], Line("Contador de reducoes      :", "0001"));
  EXPECT_EQ(master[10], Line("Venda Bruta               :", "75,00"));
  EXPECT_EQ(master[11], Line("Totalizador geral         :", "75,00"));

  EXPECT_EQ(EXPORT(Orvik_RegistrosTipo60)(), 1) << last();
  const std::vector<std::string> records = Lines("RETORNO.TXT");
  ASSERT_GE(records.size(), 2u);
  for (const std::string& record : records) EXPECT_EQ(record.size(), 126u) << record;
  EXPECT_EQ(records[0].substr(0, 11), "60M20260615");
  EXPECT_EQ(records[0].substr(57, 32), "00000000000075000000000000007500");
  bool icms_line = false, iss_line = false;
  for (const std::string& record : records) {
    if (record.substr(31, 16) == "1800000000004500") icms_line = true;
    if (record.substr(31, 16) == "ISS 000000003000") iss_line = true;
  }
  EXPECT_TRUE(icms_line);
  EXPECT_TRUE(iss_line);

  EXPECT_EQ(EXPORT(Orvik_MapaResumo)(), 1) << last();
  const std::vector<std::string> map = Lines("RETORNO.TXT");
  ASSERT_EQ(map.size(), 12u);
  EXPECT_EQ(map[0], Line("Contador de Reducao Z..:", "1"));
  EXPECT_EQ(map[2], Line("Venda Bruta............:", "75,00"));
  EXPECT_EQ(map[3], Line("Venda Liquida..........:", "45,00"));
  EXPECT_EQ(map[7], Line("ISS....................:", "30,00"));
  EXPECT_EQ(map[11], Line("1800...................:", "45,00"));
  EXPECT_FALSE(fs::exists(dir / "RETORNO.DAT"));

  EXPECT_EQ(EXPORT(Orvik_RelatorioTipo60Analitico)(), 1) << last();
  const std::vector<std::string> analytic = Lines("RETORNO.TXT");
  ASSERT_EQ(analytic.size(), 15u);
  EXPECT_EQ(analytic[13], Line("1800                      :", "45,00"));
  EXPECT_EQ(analytic[14], Line("0500                      :", "30,00"));

  char gross[64] = "";
  EXPECT_EQ(EXPORT(Orvik_GrandeTotalUltimaReducaoMFD)(gross), 1);
  EXPECT_STREQ(gross, "7500");
  char record[2048] = "";
  EXPECT_EQ(EXPORT(Orvik_DadosUltimaReducaoMFD)(record), 1);
  EXPECT_EQ(std::string(record).size(), 1278u);
  char fields[1024] = "";
  EXPECT_EQ(EXPORT(Orvik_DadosUltimaReducao)(fields), 1);
  EXPECT_EQ(std::string(fields).size(), 631u);

  // After the Z the day takes no more documents: the printer's refusal comes back.
  EXPECT_EQ(EXPORT(Orvik_Sangria)("1,00"), 0);
  EXPECT_EQ(last_code(), 8104);
}

TEST_F(ShopDay, TheZStepsTheClockFiveMinutesTowardsTheTimeGiven) {
  Load("CorrigeRelogioZ=0\r\n");
  EXPECT_EQ(EXPORT(Orvik_ReducaoZ)("", "09:07:00"), 1) << last();
  std::lock_guard lock(server.mutex());
  const ecf_sim::DateTime now = printer.now();
  EXPECT_EQ(now.hour, 9);
  EXPECT_EQ(now.minute, 5);
  EXPECT_EQ(printer.state().crz, 1);
}

TEST_F(ShopDay, OneFailedReadAmongTheMapsLeavesTheFilesAsTheyWere) {
  Load("CorrigeRelogioZ=0\r\n");
  ProgramShop();
  Sell();
  EXPECT_EQ(EXPORT(Orvik_ReducaoZ)("", ""), 1) << last();
  std::ofstream(dir / "RETORNO.TXT") << "anterior\r\n";
  server.clear_journal();
  server.inject_on(ecf_sim::Fault{ecf_sim::Fault::kError, 9999, 2, 0, {}}, "LeIndicador",
                   "Aliquota01ICMSReducao[1]");
  EXPECT_EQ(EXPORT(Orvik_MapaResumo)(), 0);
  EXPECT_EQ(last_code(), 9999);
  EXPECT_EQ(Lines("RETORNO.TXT"), std::vector<std::string>{"anterior"});
  EXPECT_TRUE(fs::exists(dir / "RETORNO.DAT"));
  // The map stopped at the refused read: it is the last command the printer saw.
  const auto journal = server.journal();
  ASSERT_FALSE(journal.empty());
  EXPECT_EQ(journal.back().command, "LeIndicador");
  EXPECT_EQ(journal.back().code, 9999);
}

TEST_F(ShopDay, ChequesOnTheChequeModel) {
  // CHEQUES.INI lives beside the host program.
  const fs::path layouts = common::executable_folder() / "CHEQUES.INI";
  ASSERT_FALSE(fs::exists(layouts)) << "a CHEQUES.INI of someone else's is in the way";
  std::ofstream(layouts, std::ios::binary) << "[001]\r\nHPosAno=45\r\nVPosValor=3\r\n";
  // Removed however the test ends.
  struct Remove {
    fs::path file;
    ~Remove() {
      std::error_code ec;
      fs::remove(file, ec);
    }
  } remove_layouts{layouts};
  Load("ModeloImp=ORVIK_QM4100XR\r\nHabilitaCorte=0\r\n");
  EXPECT_EQ(EXPORT(Orvik_IncluiCidadeFavorecido)("Campinas", "Loja Um"), 1);
  int status = 0;
  EXPECT_EQ(EXPORT(Orvik_VerificaStatusCheque)(&status), 1);
  EXPECT_EQ(status, 1);
  // Without a cheque in the sensor the printer refuses it.
  EXPECT_EQ(EXPORT(Orvik_ImprimeCheque)("001", "123,45", "", "", "15062026", "Ref. \"NF\" 7"), 0);
  EXPECT_EQ(last_code(), 8117);
  {
    std::lock_guard lock(server.mutex());
    printer.state().cheque_present = true;
  }
  EXPECT_EQ(EXPORT(Orvik_VerificaStatusCheque)(&status), 1);
  EXPECT_EQ(status, 3);
  char cmc7[256] = "";
  EXPECT_EQ(EXPORT(Orvik_LeituraCheque)(cmc7), 1);
  EXPECT_NE(std::string(cmc7), "");
  EXPECT_EQ(EXPORT(Orvik_ImprimeCheque)("001", "123,45", "", "", "15062026", "Ref. \"NF\" 7"), 1)
      << last();
  std::lock_guard lock(server.mutex());
  ASSERT_EQ(printer.printed_cheques().size(), 1u);
  const auto& fields = printer.printed_cheques()[0].fields;
  EXPECT_EQ(fields.at("Cidade"), "Campinas");
  EXPECT_EQ(fields.at("Favorecido"), "Loja Um");
  EXPECT_EQ(fields.at("Valor"), "123,45");
  EXPECT_EQ(fields.at("Data"), "15/06/2026");
  EXPECT_EQ(fields.at("HPosAno"), "5");
  EXPECT_FALSE(printer.state().cheque_present);
}

TEST_F(ShopDay, ReadingsToTheLineAndTheMfdVoucherForms) {
  Load("CorrigeRelogioZ=0\r\n");
  ProgramShop();
  EXPECT_EQ(EXPORT(Orvik_LeituraXSerial)(), 1) << last();
  const std::string x = common::read_file(dir / "IMPRESSAO.TXT").value_or("");
  EXPECT_NE(x.find("LEITURA  X"), std::string::npos) << x.substr(0, 400);

  EXPECT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("3", "FEIJAO", "18,00", "I", "1", 2, "25,00", "$", "0"), 1);
  EXPECT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("Cartao", "25,00"), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_TerminaFechamentoCupom)(""), 1) << last();
  // The consumer arguments of the MFD form are accepted and not sent.
  EXPECT_EQ(
      EXPORT(Orvik_AbreComprovanteNaoFiscalVinculadoMFD)("Cartao", "25,00", "", "1", "Ana", "Rua"),
      1)
      << last();
  EXPECT_EQ(EXPORT(Orvik_UsaComprovanteNaoFiscalVinculado)("VIA CLIENTE"), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_FechaComprovanteNaoFiscalVinculado)(), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_EstornoNaoFiscalVinculadoMFD)("", "", ""), 1) << last();
  {
    std::lock_guard lock(server.mutex());
    EXPECT_TRUE(printer.state().tape.back().kind == 9);  // the voucher's reversal
  }

  EXPECT_EQ(EXPORT(Orvik_ReducaoZ)("", ""), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_LeituraMemoriaFiscalSerialReducao)("1", "1", "s"), 1) << last();
  const std::string mf = common::read_file(dir / "IMPRESSAO.TXT").value_or("");
  EXPECT_NE(mf.find("LEITURA MEMORIA FISCAL"), std::string::npos) << mf.substr(0, 400);
}

TEST_F(ShopDay, ARefusedWithdrawalLeavesNoDocumentOpen) {
  Load("CorrigeRelogioZ=0\r\n");
  // A zero withdrawal: the item is refused and the empty receipt cannot be closed.
  EXPECT_EQ(EXPORT(Orvik_Sangria)("0,00"), 0);
  EXPECT_EQ(last_code(), 8109);
  EXPECT_EQ(Counter("TipoDocEmEmissao"), "0");
  EXPECT_EQ(EXPORT(Orvik_Suprimento)("10,00", ""), 1) << last();
  // A customer's coupon left open is not touched by a withdrawal whose open fails.
  EXPECT_EQ(EXPORT(Orvik_AbreCupom)(""), 1) << last();
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("1", "ARROZ", "FF", "I", "1", 2, "10,00", "$", "0"), 1);
  server.clear_journal();
  EXPECT_EQ(EXPORT(Orvik_Sangria)("5,00"), 0);
  EXPECT_EQ(last_code(), 8116);
  ASSERT_EQ(server.journal().size(), 1u);
  EXPECT_EQ(Counter("TipoDocEmEmissao"), "3");
}

TEST_F(ShopDay, NullEmptyAndHostileTextsGiveAnAnswerOrAClearFailure) {
  Load("CorrigeRelogioZ=0\r\n");
  // 64 KB: every awkward byte once in each 4 KB, plain letters between.
  std::string hostile;
  while (hostile.size() < 64 * 1024)
    hostile += "a\"b;c{d}e#f\r\ng\xE7\xE3\xFF h=1 " + std::string(4096 - 22, 'x');
  const char* texts[] = {nullptr, "", hostile.c_str()};
  using Call = std::function<int(const char*)>;
  const std::pair<const char*, Call> calls[] = {
      {"RelatorioGerencial", [&](const char* t) { return EXPORT(Orvik_RelatorioGerencial)(t); }},
      {"FechaRelatorioGerencial",
       [&](const char*) { return EXPORT(Orvik_FechaRelatorioGerencial)(); }},
      {"AbreRelatorioGerencialMFD",
       [&](const char* t) { return EXPORT(Orvik_AbreRelatorioGerencialMFD)(t); }},
      {"NomeiaRelatorioGerencialMFD",
       [&](const char* t) { return EXPORT(Orvik_NomeiaRelatorioGerencialMFD)(t, t); }},
      {"AbreComprovanteNaoFiscalVinculado",
       [&](const char* t) { return EXPORT(Orvik_AbreComprovanteNaoFiscalVinculado)(t, t, t); }},
      {"UsaComprovanteNaoFiscalVinculado",
       [&](const char* t) { return EXPORT(Orvik_UsaComprovanteNaoFiscalVinculado)(t); }},
      {"AbreRecebimentoNaoFiscalMFD",
       [&](const char* t) { return EXPORT(Orvik_AbreRecebimentoNaoFiscalMFD)(t, t, t); }},
      {"EfetuaRecebimentoNaoFiscalMFD",
       [&](const char* t) { return EXPORT(Orvik_EfetuaRecebimentoNaoFiscalMFD)(t, t); }},
      {"FechaRecebimentoNaoFiscalMFD",
       [&](const char* t) { return EXPORT(Orvik_FechaRecebimentoNaoFiscalMFD)(t); }},
      {"CancelaCupom", [&](const char*) { return EXPORT(Orvik_CancelaCupom)(); }},
      {"Sangria", [&](const char* t) { return EXPORT(Orvik_Sangria)(t); }},
      {"Suprimento", [&](const char* t) { return EXPORT(Orvik_Suprimento)(t, t); }},
      {"RecebimentoNaoFiscal",
       [&](const char* t) { return EXPORT(Orvik_RecebimentoNaoFiscal)(t, t, t); }},
      {"ProgramaMoedaSingular",
       [&](const char* t) { return EXPORT(Orvik_ProgramaMoedaSingular)(t); }},
      {"AlteraSimboloMoeda", [&](const char* t) { return EXPORT(Orvik_AlteraSimboloMoeda)(t); }},
      {"NomeiaDepartamento", [&](const char* t) { return EXPORT(Orvik_NomeiaDepartamento)(1, t); }},
      {"NomeiaTotalizadorNaoSujeitoIcms",
       [&](const char* t) { return EXPORT(Orvik_NomeiaTotalizadorNaoSujeitoIcms)(5, t); }},
      {"ProgramaFormaPagamentoMFD",
       [&](const char* t) { return EXPORT(Orvik_ProgramaFormaPagamentoMFD)(t, t); }},
      {"ProgramaAliquota", [&](const char* t) { return EXPORT(Orvik_ProgramaAliquota)(t, 0); }},
      {"LeituraMemoriaFiscalData",
       [&](const char* t) { return EXPORT(Orvik_LeituraMemoriaFiscalData)(t, t, t); }},
      {"LeituraMemoriaFiscalReducao",
       [&](const char* t) { return EXPORT(Orvik_LeituraMemoriaFiscalReducao)(t, t, t); }},
      {"AutenticacaoMFD", [&](const char* t) { return EXPORT(Orvik_AutenticacaoMFD)(t, t); }},
      {"ImprimeCheque",
       [&](const char* t) { return EXPORT(Orvik_ImprimeCheque)(t, t, t, t, t, t); }},
      {"IncluiCidadeFavorecido",
       [&](const char* t) { return EXPORT(Orvik_IncluiCidadeFavorecido)(t, t); }},
      {"AberturaDoDia", [&](const char* t) { return EXPORT(Orvik_AberturaDoDia)(t, t); }},
  };
  for (const char* text : texts) {
    for (const auto& [name, call] : calls) {
      SCOPED_TRACE(std::string(name) + (text == nullptr ? " null" : *text ? " hostile" : " empty"));
      const int r = call(text);
      EXPECT_TRUE(r == 1 || r == 0 || r == -2 || r == -8) << r;
      if (r != 1) {
        EXPECT_NE(last_code(), 0) << last();
      }
    }
  }
  // The configuration kept its shape: the hostile city and payee added no line of their own.
  std::vector<std::string> sections;
  for (const std::string& line : Lines("ORVIK.INI"))
    if (!line.empty() && line[0] == '[') sections.push_back(line);
  EXPECT_EQ(std::count(sections.begin(), sections.end(), "[Sistema]"), 1);
  EXPECT_EQ(std::count(sections.begin(), sections.end(), "[Opcional]"), 1);
  // The Z times of a confused host are no times at all: the Z goes out without a clock step.
  EXPORT(Orvik_FechaRelatorioGerencial)();
  EXPORT(Orvik_CancelaCupom)();
  EXPECT_EQ(EXPORT(Orvik_ReducaoZ)(nullptr, "10:07:00:00"), 1) << last();
  EXPECT_EQ(Crz(), 1);
}

}  // namespace
