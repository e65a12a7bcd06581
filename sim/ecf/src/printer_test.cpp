#include "ecf_sim/printer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "common/text1252.h"
#include "test_support.h"

namespace ecf_sim {
namespace {

using testing::capture_lines;
using testing::document_lines;

std::string run(Printer& p, const std::string& cmd, const std::string& params = {}) {
  Reply r = p.execute(cmd, params);
  EXPECT_EQ(r.code, 0) << cmd << " " << params << " -> " << r.results;
  return r.results;
}

int64_t integer(Printer& p, const std::string& name) {
  return std::stoll(run(p, "LeInteiro", "NomeInteiro=\"" + name + "\"").substr(13));
}

// Money registers in cents (the reply carries four decimals).
int64_t money(Printer& p, const std::string& name) {
  std::string r = run(p, "LeMoeda", "NomeDadoMonetario=\"" + name + "\"");
  std::string digits;
  for (char c : r)
    if (c >= '0' && c <= '9') digits += c;
  return std::stoll(digits) / 100;
}

class PrinterTest : public ::testing::Test {
 protected:
  void SetUp() override { p.set_clock(DateTime{{2026, 6, 15}, 10, 0, 0}); }

  void program() {
    run(p, "DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
    run(p, "DefineAliquota", "CodAliquotaProgramavel=1 PercentualAliquota=7,00");
    run(p, "DefineAliquota",
        "CodAliquotaProgramavel=2 PercentualAliquota=5,00 AliquotaICMS = false");
    run(p, "DefineMeioPagamento", "NomeMeioPagamento=\"Cartao\" PermiteVinculado=true");
    run(p, "DefineMeioPagamento", "NomeMeioPagamento=\"Cheque\" PermiteVinculado=false");
  }

  // A coupon of 25,00 (18%) + 11,97 (substitution) - 1,00 item discount - 2,00 subtotal
  // discount = 33,97, paid 20,00 cash + 13,97 card.
  void sell_coupon() {
    run(p, "AbreCupomFiscal");
    run(p, "VendeItem",
        "AliquotaICMS=true PercentualAliquota=18,00 CodProduto=\"7891000100103\" "
        "NomeProduto=\"ARROZ 5KG\" PrecoUnitario=12,50 Quantidade=2,000 Unidade=\"UN\"");
    run(p, "VendeItem",
        "CodAliquota=-2 CodProduto=\"123\" NomeProduto=\"CERVEJA LATA\" PrecoUnitario=3,990 "
        "Quantidade=3,000 Unidade=\"Un\"");
    run(p, "AcresceItemFiscal", "Cancelar=false ValorAcrescimo=-1,00");
    run(p, "AcresceSubtotal", "Cancelar=false ValorAcrescimo=-2,00");
    run(p, "PagaCupom", "CodMeioPagamento=-2 Valor=20,00");
    run(p, "PagaCupom", "NomeMeioPagamento=\"Cartao\" Valor=13,97");
    run(p, "ImprimeTexto", "TextoLivre=\"Obrigado pela preferencia\"");
    run(p, "EncerraDocumento", "Operador=\"Maria\"");
  }

  Printer p;
};

TEST_F(PrinterTest, ShopDayMovesCountersAndTotalsLikeAPrinter) {
  program();
  sell_coupon();
  EXPECT_EQ(integer(p, "COO"), 1);
  EXPECT_EQ(integer(p, "CCF"), 1);
  EXPECT_EQ(money(p, "TotalDiaVendaBruta"), 3697);
  EXPECT_EQ(money(p, "TotalDiaVendaLiquida"), 3397);
  EXPECT_EQ(money(p, "TotalDiaDescontos"), 300);
  EXPECT_EQ(money(p, "GT"), 3697);
  EXPECT_EQ(money(p, "TotalDiaDinheiro"), 2000);
  EXPECT_EQ(money(p, "TotalDiaMeioPagamento[0]"), 1397);
  EXPECT_EQ(money(p, "TotalDocLiquido"), 3397);
  // The subtotal discount is spread over the totalizers: 25,00 and 10,97 share 2,00.
  EXPECT_EQ(money(p, "TotalDiaValorAliquota[0]"), 2360);
  EXPECT_EQ(money(p, "TotalDiaSubstituicaoTributariaICMS"), 1037);

  // Cancelling the last coupon is a document of its own.
  run(p, "CancelaCupom", "Operador=\"Maria\"");
  EXPECT_EQ(integer(p, "COO"), 2);
  EXPECT_EQ(integer(p, "CCF"), 1);
  EXPECT_EQ(integer(p, "CFC"), 1);
  EXPECT_EQ(money(p, "TotalDiaCancelamentosICMS"), 3397);
  EXPECT_EQ(money(p, "TotalDiaVendaLiquida"), 0);
  EXPECT_EQ(money(p, "TotalDiaVendaBruta"), 3697);  // gross keeps what was sold
  EXPECT_EQ(money(p, "TotalDiaDinheiro"), 0);

  // A second coupon with an ISS item, and a non-fiscal supply.
  run(p, "AbreCupomFiscal", "IdConsumidor=\"123.456.789-09\"");
  run(p, "VendeItem",
      "CodAliquota=02 CodProduto=\"S1\" NomeProduto=\"SERVICO\" PrecoUnitario=10,00 "
      "Quantidade=1,000 Unidade=\"Un\"");
  run(p, "PagaCupom", "CodMeioPagamento=-2 Valor=10,00");
  run(p, "EncerraDocumento", "Operador=\"Maria\"");
  EXPECT_EQ(integer(p, "CCF"), 2);
  run(p, "AbreCupomNaoFiscal");
  run(p, "EmiteItemNaoFiscal", "CodNaoFiscal=0 Valor=50,00");
  run(p, "PagaCupom", "CodMeioPagamento=-2 Valor=50,00");
  run(p, "EncerraDocumento", "Operador=\"Maria\"");
  EXPECT_EQ(money(p, "TotalDiaNaoFiscal[0]"), 5000);
  EXPECT_EQ(integer(p, "CON[0]"), 1);
  EXPECT_EQ(integer(p, "GNF"), 1);

  run(p, "EmiteLeituraX", "Operador=\"Maria\"");
  EXPECT_EQ(integer(p, "GNF"), 2);
  EXPECT_EQ(integer(p, "COO"), 5);
  EXPECT_EQ(integer(p, "Indicadores") & 64, 64);  // movement day open

  run(p, "EmiteReducaoZ", "Operador=\"Maria\"");
  EXPECT_EQ(integer(p, "COO"), 6);
  EXPECT_EQ(integer(p, "CRZ"), 1);
  EXPECT_EQ(money(p, "TotalDiaVendaBruta"), 0);
  EXPECT_EQ(money(p, "TotalDiaNaoFiscal[0]"), 0);
  EXPECT_EQ(money(p, "GT"), 4697);
  EXPECT_EQ(money(p, "GTInicial"), 4697);
  EXPECT_EQ(run(p, "LeIndicador", "NomeIndicador=\"DiaFechado\""),
            "ValorNumericoIndicador=1 ValorIndicador=1");

  // What the fiscal memory keeps of that day.
  EXPECT_EQ(integer(p, "COOReducao[1]"), 6);
  EXPECT_EQ(money(p, "VendaBrutaReducao[1]"), 4697);
  EXPECT_EQ(money(p, "TotalAliquota02Reducao[1]"), 1000);
  EXPECT_EQ(money(p, "Aliquota00Reducao[1]"), 1800);
  EXPECT_EQ(money(p, "CancelamentosICMSReducao[1]"), 3397);
  EXPECT_EQ(run(p, "LeIndicador", "NomeIndicador=\"Aliquota00ICMSReducao[1]\""),
            "ValorNumericoIndicador=1 ValorIndicador=1");
  EXPECT_EQ(run(p, "LeIndicador", "NomeIndicador=\"Aliquota02ICMSReducao[1]\""),
            "ValorNumericoIndicador=0 ValorIndicador=0");
  EXPECT_EQ(run(p, "LeData", "NomeData=\"DataReducao[1]\""), "ValorData=#15/06/2026#");

  std::string data = run(p, "LeTexto", "NomeTexto=\"DadosUltimaReducaoZ\"");
  ASSERT_EQ(data.size(), 12u + 616u + 1u);
  std::string text = data.substr(12, 616);
  EXPECT_EQ(text.substr(582, 6), "150626");  // movement date, ddmmyy
  EXPECT_EQ(std::stoll(text.substr(2, 18)), 4697);
  // Gross sales as the host sums them: fields 3, 4 and the nineteen partial totals.
  int64_t gross = std::stoll(text.substr(20, 14)) + std::stoll(text.substr(34, 14));
  for (int i = 0; i < 19; ++i) gross += std::stoll(text.substr(112 + 14 * i, 14));
  EXPECT_EQ(gross, 4697);
}

TEST_F(PrinterTest, ReplyShapesFitTheHostsReading) {
  program();
  EXPECT_EQ(run(p, "LeAliquota", "CodAliquotaProgramavel=2"),
            "AliquotaICMS=N PercentualAliquota=5,00");
  EXPECT_EQ(run(p, "LeMeioPagamento", "CodMeioPagamentoProgram=0"),
            "CodMeioPagamento=0 CodMeioPagamentoProgram=0 NomeMeioPagamento=\"Cartao\" "
            "PermiteVinculado=S");
  EXPECT_EQ(run(p, "LeMeioPagamento", "NomeMeioPagamento=\"DINHEIRO\""),
            "CodMeioPagamento=-2 CodMeioPagamentoProgram=-2 NomeMeioPagamento=\"Dinheiro\" "
            "PermiteVinculado=N");
  EXPECT_EQ(run(p, "LeNaoFiscal", "NomeNaoFiscal=\"Sangria\""),
            "CodNaoFiscal=1 NomeNaoFiscal=\"Sangria\"");
  EXPECT_EQ(run(p, "LeGerencial", "CodGerencial=0"),
            "CodGerencial=0 NomeGerencial=\"Relatorio Geral\"");
  EXPECT_EQ(run(p, "LeMoeda", "NomeDadoMonetario=\"GT\""), "ValorMoeda=0,0000");
  EXPECT_EQ(run(p, "LeData", "NomeData=\"Data\""), "ValorData=#15/06/2026#");
  EXPECT_EQ(run(p, "LeInteiro", "NomeInteiro=\"AliquotaDisponivel\""), "ValorInteiro=3");
  EXPECT_EQ(run(p, "LeTexto", "NomeTexto=\"NomeEstadoFiscal\""), "ValorTexto=\"ESTADO_LIVRE\"");
  Reply err = p.execute("LeAliquota", "CodAliquotaProgramavel=9");
  EXPECT_EQ(err.code, 8005);
  EXPECT_EQ(err.results, "NomeErro=\"ErroCMDAliquotaNaoProgramada\" Circunstancia=\"" +
                             common::utf8_to_cp1252("Alíquota ou totalizador não programado") +
                             "\"");
}

TEST_F(PrinterTest, RefusesWhatAPrinterRefuses) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> before;
    std::string command, params;
    int code;
  };
  const std::string sale =
      "CodAliquota=0 CodProduto=\"1\" NomeProduto=\"X\" PrecoUnitario=1,00 Quantidade=1 "
      "Unidade=\"Un\"";
  const Case cases[] = {
      {"selling without an open coupon", {}, "VendeItem", sale, 8101},
      {"paying before items",
       {{"AbreCupomFiscal", ""}},
       "PagaCupom",
       "CodMeioPagamento=-2 Valor=1,00",
       8102},
      {"rate not programmed",
       {{"AbreCupomFiscal", ""}},
       "VendeItem",
       "AliquotaICMS=true PercentualAliquota=12,00 CodProduto=\"1\" NomeProduto=\"X\" "
       "PrecoUnitario=1,00 Quantidade=1 Unidade=\"Un\"",
       8005},
      {"rate slot empty",
       {{"AbreCupomFiscal", ""}},
       "VendeItem",
       "CodAliquota=9 CodProduto=\"1\" NomeProduto=\"X\" PrecoUnitario=1,00 Quantidade=1",
       8005},
      {"second Z on a closed day", {{"EmiteReducaoZ", ""}}, "EmiteReducaoZ", "", 8104},
      {"coupon after the day's Z", {{"EmiteReducaoZ", ""}}, "AbreCupomFiscal", "", 8104},
      {"closing short of the total",
       {{"AbreCupomFiscal", ""},
        {"VendeItem", sale},
        {"PagaCupom", "CodMeioPagamento=-2 Valor=0,50"}},
       "EncerraDocumento",
       "",
       8103},
      {"payment form not programmed",
       {{"AbreCupomFiscal", ""}, {"VendeItem", sale}},
       "PagaCupom",
       "CodMeioPagamento=9 Valor=1,00",
       8014},
      {"gerencial not programmed", {}, "AbreGerencial", "CodGerencial=5", 8018},
      {"department not programmed",
       {{"AbreCupomFiscal", ""}},
       "VendeItem",
       sale + " CodDepartamento=3",
       8031},
      {"reduction that does not exist yet", {}, "LeInteiro", "NomeInteiro=\"COOReducao[1]\"", 1001},
      {"fiscal memory without data",
       {},
       "EmiteLeituraMF",
       "LeituraSimplificada=false DataInicial=#01/01/2026# DataFinal=#31/01/2026#",
       8089},
      {"second coupon while one is open", {{"AbreCupomFiscal", ""}}, "AbreCupomFiscal", "", 8116},
      {"cancelling with nothing to cancel", {}, "CancelaCupom", "", 8111},
      {"item already cancelled",
       {{"AbreCupomFiscal", ""}, {"VendeItem", sale}, {"CancelaItemFiscal", "NumItem=1"}},
       "CancelaItemFiscal",
       "NumItem=1",
       8107},
      {"unknown command", {}, "FazCafe", "", 8001},
      {"unknown register", {}, "LeInteiro", "NomeInteiro=\"Xyz\"", 8003},
      {"voucher on a form that does not allow it",
       {{"AbreCupomFiscal", ""},
        {"VendeItem", sale},
        {"PagaCupom", "CodMeioPagamento=-2 Valor=1,00"},
        {"EncerraDocumento", ""}},
       "AbreCreditoDebito",
       "CodMeioPagamento=-2",
       8112},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Printer fresh;
    fresh.set_clock(DateTime{{2026, 6, 15}, 10, 0, 0});
    run(fresh, "DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
    for (const auto& [cmd, params] : c.before) run(fresh, cmd, params);
    Reply r = fresh.execute(c.command, c.params);
    EXPECT_EQ(r.code, c.code) << r.results;
    EXPECT_NE(r.results.find("NomeErro=\""), std::string::npos);
  }
}

TEST_F(PrinterTest, PendingReductionBlocksTheNextDay) {
  program();
  sell_coupon();
  p.set_clock(DateTime{{2026, 6, 16}, 8, 0, 0});
  EXPECT_EQ(p.execute("AbreCupomFiscal", "").code, 8105);
  EXPECT_EQ(integer(p, "Indicadores") & 128, 128);
  run(p, "EmiteReducaoZ");
  // The Z closed yesterday's movement; today is open for sales.
  EXPECT_EQ(run(p, "LeData", "NomeData=\"DataReducao[1]\""), "ValorData=#15/06/2026#");
  run(p, "AbreCupomFiscal");
}

TEST_F(PrinterTest, CancellingAnOpenCouponRevertsItsItems) {
  program();
  run(p, "AbreCupomFiscal");
  run(p, "VendeItem",
      "CodAliquota=00 CodProduto=\"1\" NomeProduto=\"A\" PrecoUnitario=10,00 Quantidade=1");
  run(p, "VendeItem",
      "CodAliquota=00 CodProduto=\"2\" NomeProduto=\"B\" PrecoUnitario=5,00 Quantidade=1");
  run(p, "CancelaItemFiscal", "NumItem=2");
  EXPECT_EQ(money(p, "TotalDiaValorAliquota[0]"), 1000);
  EXPECT_EQ(money(p, "TotalDiaCancelamentosICMS"), 500);
  run(p, "CancelaCupom");
  EXPECT_EQ(money(p, "TotalDiaValorAliquota[0]"), 0);
  EXPECT_EQ(money(p, "TotalDiaCancelamentosICMS"), 1500);
  EXPECT_EQ(integer(p, "CFC"), 1);
  EXPECT_EQ(integer(p, "TipoDocEmEmissao"), 0);
  auto lines = capture_lines(p.state().tape.back().printed);
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    return common::trim(l) == "CUPOM FISCAL CANCELADO";
  }));
}

TEST_F(PrinterTest, PrintedCouponFollowsTheLayout) {
  program();
  sell_coupon();
  // Hosts pass printouts as zero-terminated strings.
  EXPECT_EQ(p.state().tape.back().printed.find('\0'), std::string::npos);
  auto lines = capture_lines(p.state().tape.back().printed);
  ASSERT_GE(lines.size(), 15u);
  EXPECT_EQ(lines[0], "SUPERMERCADO BOA VISTA LTDA");
  EXPECT_EQ(lines[3].substr(0, 5), "CNPJ:");
  const std::string& head = lines[6];
  ASSERT_EQ(head.size(), 48u);
  EXPECT_EQ(head.substr(0, 10), "15/06/2026");
  EXPECT_EQ(head.substr(22, 4), "CCF:");
  EXPECT_EQ(head.substr(26, 6), "000001");
  EXPECT_EQ(head.substr(38, 4), "COO:");
  EXPECT_EQ(head.substr(42, 6), "000001");
  EXPECT_EQ(std::string(common::trim(lines[7])), "CUPOM FISCAL");
  const std::string& item = lines[8];
  ASSERT_EQ(item.size(), 57u);
  EXPECT_EQ(item.back(), '\xB0');
  EXPECT_EQ(item.substr(0, 18), "001 7891000100103 ");
  EXPECT_NE(item.find(" 2,000UNx12,50 T00 T 25,00\xB0"), std::string::npos);
  EXPECT_EQ(lines[9].substr(lines[9].size() - 25), "3,000Unx3,990 F1 T 11,97\xB0");
  EXPECT_EQ(lines[10].substr(0, 17), "desconto item:002");
  EXPECT_EQ(lines[10].substr(33), "          -1,00");
  EXPECT_EQ(lines[11], "SUBTOTAL R$                                35,97");
  EXPECT_EQ(lines[12], "DESCONTO R$                                -2,00");
  EXPECT_EQ(lines[13], "TOTAL R$                                   33,97");
  EXPECT_EQ(lines[14].substr(0, 15), "Dinheiro       ");
  EXPECT_EQ(lines[14].substr(36), "       20,00");
  EXPECT_EQ(lines[15].substr(0, 6), "Cartao");
  EXPECT_EQ(lines[16].substr(0, 8), "TROCO R$");
  EXPECT_EQ(lines[17], std::string(48, '-'));
  EXPECT_EQ(lines[lines.size() - 3].substr(0, 26), "ORVIK      ORVIK KAP      ");
  const std::string& when = lines[lines.size() - 2];
  EXPECT_EQ(when.substr(28, 10), "15/06/2026");
  EXPECT_EQ(when[38], ' ');
  EXPECT_EQ(when.substr(39, 2).size(), 2u);
  EXPECT_EQ(lines.back().substr(0, 25), "FAB:OR050800000000012345 ");
  for (const auto& l : lines) EXPECT_LE(l.size(), l.back() == '\xB0' ? 57u : 48u) << l;
}

TEST_F(PrinterTest, PrintedReductionFollowsTheLayout) {
  program();
  sell_coupon();
  run(p, "AbreCupomNaoFiscal");
  run(p, "EmiteItemNaoFiscal", "CodNaoFiscal=1 Valor=30,00");
  run(p, "PagaCupom", "CodMeioPagamento=-2 Valor=30,00");
  run(p, "EncerraDocumento");
  run(p, "EmiteReducaoZ");
  auto lines = capture_lines(p.state().tape.back().printed);
  auto find = [&](const std::string& begin) -> std::string {
    for (const auto& l : lines)
      if (l.rfind(begin, 0) == 0) return l;
    ADD_FAILURE() << "no line begins with " << begin;
    return std::string(48, ' ');
  };
  EXPECT_EQ(std::string(common::trim(lines[7])), common::utf8_to_cp1252("REDUÇÃO  Z"));
  EXPECT_EQ(find("MOVIMENTO DO DIA:").substr(38), "15/06/2026");
  EXPECT_EQ(find(common::utf8_to_cp1252("CONTADOR DE REDUÇÃO Z:")).substr(42), "000001");
  // Í has no translation in the host's table: the capture reads it as I.
  EXPECT_EQ(find("CONTADOR DE REINICIO").substr(42), "000001");
  std::string rate = find("T00=");
  EXPECT_EQ(rate.substr(0, 10), "T00=18,00%");
  EXPECT_EQ(rate.substr(15, 15), "          23,60");
  EXPECT_EQ(find("S02=").substr(0, 10), "S02=05,00%");
  EXPECT_EQ(find(common::utf8_to_cp1252("SUBSTITUIÇÃO TRIBUTÁRIA ICMS:")).substr(32),
            "           10,37");
  EXPECT_EQ(find("DESCONTO ICMS:").substr(32), "            3,00");
  std::string sangria = find("01 Sangria");
  EXPECT_EQ(sangria.substr(3, 15), "Sangria        ");
  EXPECT_EQ(sangria.substr(29), "              30,00");
  EXPECT_EQ(find("-2  Dinheiro").substr(4, 15), "Dinheiro       ");
  EXPECT_EQ(find("-2  Dinheiro").substr(23), "                    50,00");
  EXPECT_EQ(find("    TROCO").substr(4, 5), "TROCO");
  EXPECT_EQ(find(common::utf8_to_cp1252("VENDA BRUTA DIÁRIA:")).substr(19),
            "                        36,97");
  EXPECT_EQ(find("TOTALIZADOR GERAL:").substr(19), "                        36,97");
  // The code page round trip the host applies gives back the Portuguese labels.
  EXPECT_NE(find(common::utf8_to_cp1252("TOTAL OPERAÇÕES NÃO-FISCAIS:")).size(), 0u);
  // Ê prints as the printer's byte, which the host reads as Ò.
  EXPECT_NE(find(common::utf8_to_cp1252("NÃO INCIDÒNCIA ICMS:")).size(), 0u);
}

TEST_F(PrinterTest, FiscalMemoryReadingListsTheSectionsTheReaderNeeds) {
  program();
  sell_coupon();
  run(p, "EmiteReducaoZ");
  run(p, "EmiteLeituraMF",
      "Destino=\"S\" LeituraSimplificada=false ReducaoInicial=1 ReducaoFinal=1");
  std::string text;
  for (;;) {
    std::string r = run(p, "LeImpressao");
    if (r.size() < 18) break;
    text += r.substr(16, r.size() - 17);
  }
  auto lines = capture_lines(text);
  auto index = [&](const std::string& begin) {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i].rfind(begin, 0) == 0) return i;
    ADD_FAILURE() << "no line begins with " << begin;
    return lines.size() - 1;
  };
  const std::string& user = lines[index("Usuario:")];
  EXPECT_EQ(user.substr(8, 2), "01");
  EXPECT_EQ(user.substr(16, 3), "001");
  EXPECT_EQ(user.substr(21, 10), "05/01/2026");
  EXPECT_EQ(user.substr(33, 8), "09:30:00");
  EXPECT_EQ(lines[index("CNPJ:  ")].substr(7, 18), "12.345.678/0001-95");
  std::size_t sw = index(common::utf8_to_cp1252("SOFTWARE BÁSICO:"));
  EXPECT_EQ(lines[sw + 1].substr(0, 8), "01.00.08");
  EXPECT_EQ(lines[sw + 1].substr(9, 10), "05/01/2026");
  EXPECT_EQ(lines[sw + 1].substr(22, 8), "09:00:00");
  EXPECT_EQ(lines[sw + 2].substr(0, 10), "MOEDA:R$  ");
  EXPECT_EQ(lines[sw + 2].substr(11, 10), "05/01/2026");
  EXPECT_EQ(lines[sw + 3].substr(0, 5), "MFD: ");
  std::size_t z = index(common::utf8_to_cp1252("REDUÇÕES DIÁRIAS"));
  EXPECT_EQ(lines[z + 1].substr(0, 16), "0001 15/06/2026 ");
  EXPECT_EQ(p.serial_pending(), 0u);
  EXPECT_EQ(run(p, "LeImpressao"), "TextoImpressao=\"\"");
}

TEST_F(PrinterTest, DetailTapeReadingReturnsExactlyTheRange) {
  program();
  for (int i = 0; i < 5; ++i) sell_coupon();
  run(p, "EmiteLeituraFitaDetalhe", "COOInicial=2 COOFinal=4 Destino=\"S\"");
  p.set_chunk_size(300);
  std::string text;
  int empty = 0, replies = 0;
  while (empty < 2) {
    std::string r = run(p, "LeImpressao");
    ++replies;
    std::string chunk = r.substr(16, r.size() - 17);
    if (chunk.size() < 2) {
      ++empty;
      continue;
    }
    empty = 0;
    text += chunk;
  }
  EXPECT_GT(replies, 5);
  std::string expected;
  for (int coo = 2; coo <= 4; ++coo) expected += p.state().tape[coo - 1].printed;
  EXPECT_EQ(text, expected);
  std::set<int> coos;
  for (const auto& l : capture_lines(text))
    if (l.size() == 48 && l.compare(38, 4, "COO:") == 0) coos.insert(std::stoi(l.substr(42)));
  EXPECT_EQ(coos, (std::set<int>{2, 3, 4}));
  EXPECT_EQ(integer(p, "CFD"), 1);
  EXPECT_EQ(p.execute("EmiteLeituraFitaDetalhe", "COOInicial=50 COOFinal=60 Destino=\"S\"").code,
            8089);
}

TEST_F(PrinterTest, LastChunkOfAReadingIsNeverASingleByte) {
  program();
  sell_coupon();
  run(p, "EmiteLeituraFitaDetalhe", "COOInicial=1 COOFinal=1 Destino=\"S\"");
  const std::string& printed = p.state().tape[0].printed;
  p.set_chunk_size(printed.size() - 1);
  std::string r = run(p, "LeImpressao");
  // A one-byte reply would read as empty to the host and lose the byte.
  EXPECT_EQ(r.substr(16, r.size() - 17), printed);
  EXPECT_EQ(run(p, "LeImpressao"), "TextoImpressao=\"\"");
}

TEST_F(PrinterTest, StateSurvivesSaveAndLoad) {
  program();
  sell_coupon();
  run(p, "AbreCupomFiscal");  // an open coupon survives too
  run(p, "VendeItem",
      "CodAliquota=01 CodProduto=\"9\" NomeProduto=\"PAO\" PrecoUnitario=0,50 Quantidade=4");
  auto dir =
      std::filesystem::temp_directory_path() / ("ecfsim_state_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  auto file = dir / "printer.state";
  std::string error;
  ASSERT_TRUE(p.save(file, &error)) << error;
  Printer q;
  ASSERT_TRUE(q.load(file, &error)) << error;
  EXPECT_EQ(serialize_state(q.state()), serialize_state(p.state()));
  EXPECT_EQ(q.state().open.items.size(), 1u);
  run(q, "PagaCupom", "CodMeioPagamento=-2 Valor=2,00");
  run(q, "EncerraDocumento");
  EXPECT_EQ(integer(q, "COO"), 2);

  // A damaged file is refused and the printer keeps what it had.
  std::string text = serialize_state(p.state());
  std::ofstream(file, std::ios::binary) << text.substr(0, text.size() / 2);
  EXPECT_FALSE(q.load(file, &error));
  EXPECT_EQ(integer(q, "COO"), 2);
  std::filesystem::remove_all(dir);
}

TEST_F(PrinterTest, VoucherReversalAndGerencialCounters) {
  program();
  sell_coupon();
  run(p, "AbreCreditoDebito", "NomeMeioPagamento=\"Cartao\" Valor = 13,97 COO = 1");
  run(p, "ImprimeTexto", "TextoLivre=\"Via do cliente\"");
  run(p, "EncerraDocumento");
  EXPECT_EQ(integer(p, "CDC"), 1);
  EXPECT_EQ(integer(p, "TipoUltimoDocEmitido"), kCreditDebit);
  auto lines = capture_lines(p.state().tape.back().printed);
  EXPECT_EQ(lines[7].substr(0, 10), "CDC:000001");
  EXPECT_EQ(std::string(common::trim(lines[8])), "COMPROVANTE CREDITO OU DEBITO");
  run(p, "EmiteViaCreditoDebito");
  run(p, "EstornaCreditoDebito", "COO=2");
  EXPECT_EQ(integer(p, "CDC"), 2);

  run(p, "DefineGerencial", "CodGerencial=3 NomeGerencial=\"Conferencia\"");
  run(p, "AbreGerencial", "CodGerencial=3");
  EXPECT_EQ(integer(p, "TipoDocEmEmissao"), 15);
  EXPECT_EQ(run(p, "LeTexto", "NomeTexto=\"NomeEstadoFiscal\""), "ValorTexto=\"ESTADO_GERENCIAL\"");
  run(p, "ImprimeTexto", "TextoLivre=\"linha 1\\nlinha 2\"");
  run(p, "EncerraDocumento");
  EXPECT_EQ(integer(p, "GRG"), 1);
  EXPECT_EQ(integer(p, "CER[3]"), 1);
  lines = capture_lines(p.state().tape.back().printed);
  EXPECT_EQ(lines[7].substr(0, 10), "GRG:000001");
  EXPECT_EQ(std::string(common::trim(lines[8])), "RELATORIO GERENCIAL");
}

TEST_F(PrinterTest, MemoryDumpHoldsTheStructuredRecords) {
  program();
  sell_coupon();
  run(p, "EmiteReducaoZ");
  std::string dump = memory_dump(p.state());
  ASSERT_GE(dump.size(), 12u);
  EXPECT_EQ(dump.substr(0, 8), "ORVKDMP1");
  uint32_t count = 0;
  for (int i = 0; i < 4; ++i)
    count |= static_cast<uint32_t>(static_cast<unsigned char>(dump[8 + i])) << (8 * i);
  std::map<char, int> kinds;
  std::size_t at = 12;
  for (uint32_t i = 0; i < count; ++i) {
    ASSERT_LE(at + 5, dump.size());
    char type = dump[at];
    uint32_t len = 0;
    for (int k = 0; k < 4; ++k)
      len |= static_cast<uint32_t>(static_cast<unsigned char>(dump[at + 1 + k])) << (8 * k);
    kinds[type]++;
    at += 5 + len;
  }
  EXPECT_EQ(at, dump.size());
  EXPECT_EQ(kinds['I'], 1);
  EXPECT_EQ(kinds['Z'], 1);
  EXPECT_EQ(kinds['D'], 2);
  EXPECT_EQ(kinds['T'], 2);
  EXPECT_EQ(kinds['P'], 2);
  // Handed out as hexadecimal text through LeImpressao.
  run(p, "EmiteDumpMemoria");
  EXPECT_EQ(p.serial_pending(), dump.size() * 2);
}

// A till must never stop: whatever a host sends, the printer answers and its books stay
// consistent (gross = net + cancellations + discounts, day gross within the grand total).
TEST_F(PrinterTest, RandomCommandsKeepTheBooksConsistent) {
  program();
  const char* commands[] = {"AbreCupomFiscal",      "VendeItem",         "AcresceItemFiscal",
                            "CancelaItemFiscal",    "AcresceSubtotal",   "PagaCupom",
                            "EncerraDocumento",     "CancelaCupom",      "AbreCupomNaoFiscal",
                            "EmiteItemNaoFiscal",   "ImprimeTexto",      "AbreGerencial",
                            "EmiteLeituraX",        "LeImpressao",       "LeMoeda",
                            "EstornaMeioPagamento", "AbreCreditoDebito", "IdentificaConsumidor"};
  const char* params[] = {
      "",
      "CodAliquota=00 CodProduto=\"1\" NomeProduto=\"A\" PrecoUnitario=1,99 Quantidade=3",
      "CodAliquota=02 CodProduto=\"2\" NomeProduto=\"B\" PrecoUnitario=10,00 Quantidade=1,5",
      "CodAliquota=-2 CodProduto=\"3\" NomeProduto=\"C\" PrecoUnitario=0,333 Quantidade=7",
      "Cancelar=false ValorAcrescimo=-0,50",
      "Cancelar=false ValorPercentual=10,00",
      "Cancelar=true",
      "NumItem=1",
      "CodMeioPagamento=-2 Valor=5,00",
      "NomeMeioPagamento=\"Cartao\" Valor=50,00",
      "CodNaoFiscal=0 Valor=3,00",
      "CodGerencial=0",
      "TextoLivre=\"x}y{\\\\z\"",
      "NomeDadoMonetario=\"GT\"",
      "CodMeioPagamentoOrigem=-2 CodMeioPagamentoDestino=0 Valor=1,00",
      "CodMeioPagamento=0 Valor = 1,00",
      "IdConsumidor=\"1\"",
      "Valor=\xFF\x80 ;;}{",
      "NumItem=99999999999999999999",
  };
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  // Most pairs are refused (a parameter the command does not take), so the run is long
  // enough for many coupons to close.
  for (int i = 0; i < 40000; ++i) {
    std::string cmd = commands[next() % std::size(commands)];
    std::string par = params[next() % std::size(params)];
    Reply r = p.execute(cmd, par);
    ASSERT_TRUE(r.ok() || r.results.rfind("NomeErro=\"", 0) == 0) << cmd << " " << par;
    const DayTotals& d = p.state().day;
    ASSERT_EQ(d.gross, d.net() + d.cancel_icms + d.cancel_iss + d.discount_icms + d.discount_iss)
        << "after " << cmd << " " << par;
    ASSERT_EQ(p.state().gt - p.state().gt_initial, d.gross);
  }
  EXPECT_GT(integer(p, "COO"), 100);
}

}  // namespace
}  // namespace ecf_sim
