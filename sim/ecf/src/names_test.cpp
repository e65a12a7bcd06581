// The printer knows exactly the names the driver sends and refuses every other one with
// its own error, so a name misread on both sides cannot pass unnoticed.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ecf_sim/printer.h"

namespace ecf_sim {
namespace {

constexpr int kUnknownCommand = 8001;
constexpr int kBadParameter = 8002;
constexpr int kUnknownRegister = 8003;

struct Sent {
  const char* command;
  const char* params;
};

// Every command the driver sends, with every parameter it may put in it, written as the
// driver writes them (blanks around "=" included), in an order a till could send them.
const Sent kDriverCommands[] = {
    {"DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00"},
    {"DefineAliquota", "CodAliquotaProgramavel=1 PercentualAliquota=5,00 AliquotaICMS = false"},
    {"DefineMeioPagamento", "NomeMeioPagamento=\"Cartao\" PermiteVinculado=true"},
    {"DefineNaoFiscal", "CodNaoFiscal=2 NomeNaoFiscal=\"Taxa\""},
    {"DefineGerencial", "CodGerencial=1 NomeGerencial=\"Caixa\""},
    {"DefineDepartamento", "CodDepartamento=1 NomeDepartamento=\"Frios\""},
    {"EscreveInteiro", "NomeInteiro=\"ImprimeItem1Linha\" ValorInteiro=1"},
    {"EscreveInteiro", "NomeInteiro=\"Arredondamento\" ValorInteiro=0"},
    {"EscreveInteiro", "NomeInteiro=\"EspacamentoLinhas\" ValorInteiro=2"},
    {"EscreveTexto", "NomeTexto=\"NomeMoedaSingular\" ValorTexto=\"Real\""},
    {"EscreveTexto", "NomeTexto=\"NomeMoedaPlural\" ValorTexto=\"Reais\""},
    {"EscreveTexto", "NomeTexto=\"SimboloMoeda\" ValorTexto=\"R$\""},
    {"AcertaHorarioVerao", "EntradaHV=1"},
    {"AcertaHorarioVerao", "EntradaHV=0"},
    {"EmiteLeituraX", "Operador=\"Ana\""},
    {"AbreCupomFiscal",
     "IdConsumidor=\"12345678909\" NomeConsumidor=\"Maria\" "
     "EnderecoConsumidor=\"Rua A, 1\""},
    {"VendeItem",
     "AliquotaICMS=true PercentualAliquota=18,00 CodProduto=\"7891\" "
     "NomeProduto=\"ARROZ\" PrecoUnitario=1,99 Quantidade=3,000 Unidade=\"Un\""},
    {"VendeItem",
     "AliquotaICMS=false PercentualAliquota=5,00 CodProduto=\"55\" "
     "NomeProduto=\"SERVICO\" PrecoUnitario=2,000 Quantidade=1,000 Unidade=\"kg\""},
    {"VendeItem",
     "CodAliquota=-2 CodProduto=\"9\" NomeProduto=\"CERVEJA\" PrecoUnitario=3,990 "
     "Quantidade=2,000 Unidade=\"Un\" CodDepartamento=1"},
    {"VendeItem",
     "CodAliquota=00 CodProduto=\"8\" NomeProduto=\"FEIJAO\\x22\" PrecoUnitario=7,50 "
     "Quantidade=1,000 Unidade=\"Un\""},
    {"AcresceItemFiscal", "Cancelar=false NumItem=1 ValorAcrescimo= 0,10"},
    {"AcresceItemFiscal", "Cancelar=true NumItem=1"},
    {"AcresceItemFiscal", "Cancelar=false NumItem=3 ValorPercentual=-1,00"},
    {"AcresceItemFiscal", "Cancelar=false ValorAcrescimo=-0,05"},
    {"CancelaItemFiscal", "NumItem=2"},
    {"CancelaItemFiscal", ""},
    {"AcresceSubtotal", "Cancelar=false ValorPercentual= 1,00"},
    {"AcresceSubtotal", "Cancelar=true"},
    {"AcresceSubtotal", "Cancelar=false ValorAcrescimo=-0,50"},
    {"PagaCupom", "CodMeioPagamento=-2 Valor=5,00 TextoAdicional=\"entregue\""},
    {"PagaCupom", "NomeMeioPagamento=\"Cartao\" Valor=50,00"},
    {"ImprimeTexto", "TextoLivre=\"Obrigado\\nVolte sempre\""},
    {"ImprimeTexto", "TextoLivre=\"\\x1Dw\\x02\\x1Dh\\x50\\x1DH\\x00\\x1Df\\x00\""},
    {"IdentificaConsumidor",
     "IdConsumidor=\"1\" NomeConsumidor=\"Maria\" EnderecoConsumidor=\"Rua\""},
    {"EncerraDocumento", "Operador=\"Ana\""},
    {"AbreCreditoDebito", "NomeMeioPagamento=\"Cartao\" Valor = 1,00 COO = 2"},
    {"ImprimeTexto", "TextoLivre=\"via do cliente\""},
    {"EncerraDocumento", "Operador=\"Ana\""},
    {"EmiteViaCreditoDebito", ""},
    {"ReimprimeViaCreditoDebito", ""},
    {"EstornaCreditoDebito", "COO=3"},
    {"AbreCreditoDebito", "CodMeioPagamento=0 Valor = 1,00 COO = 2"},
    {"EncerraDocumento", "Operador=\"Ana\""},
    {"EstornaMeioPagamento", "CodMeioPagamentoOrigem=-2 CodMeioPagamentoDestino=0 Valor=1,00"},
    {"ImprimeCupomAdicional", ""},
    {"CancelaCupom", "Operador=\"Ana\""},
    {"AbreCupomNaoFiscal", ""},
    {"EmiteItemNaoFiscal", "CodNaoFiscal=0 Valor=3,00"},
    {"EmiteItemNaoFiscal", "CodNaoFiscal=2 Valor=2,00"},
    {"AcresceItemNaoFiscal", "Cancelar=false ValorAcrescimo= 1,00"},
    {"AcresceItemNaoFiscal", "Cancelar=true NumItem=2"},
    {"CancelaItemNaoFiscal", "NumItem=1"},
    {"PagaCupom", "CodMeioPagamento=-2 Valor=2,00"},
    {"EncerraDocumento", "Operador=\"Ana\""},
    {"AbreCupomNaoFiscal", "IdConsumidor=\"I\" EnderecoConsumidor=\"A\" NomeConsumidor=\"N\""},
    {"EmiteItemNaoFiscal", "CodNaoFiscal=0 Valor=3,00"},
    {"PagaCupom", "CodMeioPagamento=-2 Valor=3,00"},
    {"EncerraDocumento", "Operador=\"Ana\""},
    {"AbreGerencial", "CodGerencial=0"},
    {"ImprimeDadosDepartamento", ""},
    {"EncerraDocumento", "Operador=\"Ana\""},
    {"AbreGaveta", ""},
    {"AvancaPapel", "Avanco=60"},
    {"CortaPapel", "TipoCorte=0"},
    {"ImprimeAutenticacao", ""},
    {"ImprimeAutenticacao", "TextoAutenticacao=\"\\n\\nAUTENTICADO\""},
    {"ImprimeCheque",
     "Cidade=\"Sao Paulo\" Data=#10/12/2026# Favorecido=\"Fulano\" Valor=10,00 "
     "MensagemDocLinha1 =\"linha 1\" MensagemDocLinha2 =\"linha 2\" HPosAno=5 HPosCidade=1 "
     "HPosDia=2 HPosExtensoLinha1=3 HPosExtensoLinha2=4 HPosFavorecido=5 HPosMes=6 "
     "HPosMsgLinha1=7 HPosValor=8 VPosCidade=9 VPosExtensoLinha1=10 VPosExtensoLinha2=11 "
     "VPosFavorecido=12 VPosMsgLinha1=13 VPosValor=14"},
    {"EmiteLeituraX", "Destino=\"S\""},
    {"LeImpressao", ""},
    {"EmiteReducaoZ", "Hora=#10:05:00# Operador=\"Ana\""},
    {"EmiteReducaoZ", ""},
    {"EmiteLeituraMF", "LeituraSimplificada=false DataInicial=#01/12/2026# DataFinal=#31/12/2026#"},
    {"EmiteLeituraMF", "LeituraSimplificada=true ReducaoInicial=1 ReducaoFinal=1"},
    {"EmiteLeituraMF",
     "Destino=\"S\" LeituraSimplificada=true DataInicial=#01/12/2026# DataFinal=#31/12/2026#"},
    {"EmiteLeituraMF", "Destino=\"S\" LeituraSimplificada=false ReducaoInicial=1 ReducaoFinal=1"},
    {"EmiteLeituraFitaDetalhe", "COOInicial=1 COOFinal=999999 Destino=\"S\""},
    {"EmiteLeituraFitaDetalhe",
     "DataInicial=#01/12/2026# DataFinal=#10/12/2026# Destino=\"S\" Proprietario=1"},
    {"LeImpressao", ""},
    {"LeAliquota", "CodAliquotaProgramavel=0"},
    {"LeMeioPagamento", "CodMeioPagamentoProgram=-2"},
    {"LeMeioPagamento", "NomeMeioPagamento=\"Cartao\""},
    {"LeNaoFiscal", "CodNaoFiscal=0"},
    {"LeNaoFiscal", "NomeNaoFiscal=\"Sangria\""},
    {"LeGerencial", "CodGerencial=0"},
    {"LeDepartamento", "CodDepartamento=1"},
};

// Every register name the driver reads or writes, by the command that carries it.
const Sent kDriverRegisters[] = {
    {"LeTexto", "NumeroSerieECF"},
    {"LeTexto", "VersaoSW"},
    {"LeTexto", "Marca"},
    {"LeTexto", "Modelo"},
    {"LeTexto", "TipoECF"},
    {"LeTexto", "CNPJ"},
    {"LeTexto", "IE"},
    {"LeTexto", "IM"},
    {"LeTexto", "NumeroSerieMFD"},
    {"LeTexto", "SimboloMoeda"},
    {"LeTexto", "Cliche"},
    {"LeTexto", "NomeEstadoFiscal"},
    {"LeTexto", "DadosUltimaReducaoZ"},
    {"LeTexto", "CMC7Documento"},
    {"LeMoeda", "GT"},
    {"LeMoeda", "GTInicial"},
    {"LeMoeda", "TotalDiaCancelamentosICMS"},
    {"LeMoeda", "TotalDiaCancelamentosISSQN"},
    {"LeMoeda", "TotalDiaDescontos"},
    {"LeMoeda", "TotalDiaAcrescimos"},
    {"LeMoeda", "TotalDiaVendaBruta"},
    {"LeMoeda", "TotalDiaVendaLiquida"},
    {"LeMoeda", "TotalDiaTroco"},
    {"LeMoeda", "TotalDiaImpostoICMS"},
    {"LeMoeda", "TotalDiaDinheiro"},
    {"LeMoeda", "TotalDiaIsencaoICMS"},
    {"LeMoeda", "TotalDiaNaoTributadoICMS"},
    {"LeMoeda", "TotalDiaSubstituicaoTributariaICMS"},
    {"LeMoeda", "TotalDiaIsencaoISSQN"},
    {"LeMoeda", "TotalDiaNaoTributadoISSQN"},
    {"LeMoeda", "TotalDiaSubstituicaoTributariaISSQN"},
    {"LeMoeda", "TotalDocLiquido"},
    {"LeMoeda", "TotalDocTroco"},
    {"LeMoeda", "TotalDocValorPago"},
    {"LeMoeda", "TotalDocDinheiro"},
    {"LeMoeda", "TotalDiaValorAliquota[0]"},
    {"LeMoeda", "TotalDiaValorAliquota[15]"},
    {"LeMoeda", "TotalDiaNaoFiscal[0]"},
    {"LeMoeda", "TotalDiaNaoFiscal[8]"},
    {"LeMoeda", "TotalDiaMeioPagamento[0]"},
    {"LeMoeda", "TotalDocMeioPagamento[14]"},
    {"LeMoeda", "TotalDiaValorVendasDepartamento[1]"},
    {"LeMoeda", "TotalDiaQuantidadeVendasDepartamento[1]"},
    {"LeMoeda", "CancelamentosICMSReducao[1]"},
    {"LeMoeda", "CancelamentosISSQNReducao[1]"},
    {"LeMoeda", "DescontosReducao[12]"},
    {"LeMoeda", "DescontosISSQNReducao[1]"},
    {"LeMoeda", "AcrescimosReducao[1]"},
    {"LeMoeda", "AcrescimosISSQNReducao[1]"},
    {"LeMoeda", "TotalAliquotaF1Reducao[1]"},
    {"LeMoeda", "TotalAliquotaI1Reducao[1]"},
    {"LeMoeda", "TotalAliquotaN1Reducao[1]"},
    {"LeMoeda", "TotalAliquotaFS1Reducao[1]"},
    {"LeMoeda", "TotalAliquotaIS1Reducao[1]"},
    {"LeMoeda", "TotalAliquotaNS1Reducao[1]"},
    {"LeMoeda", "VendaBrutaReducao[1]"},
    {"LeMoeda", "Aliquota00Reducao[1]"},
    {"LeMoeda", "Aliquota15Reducao[1]"},
    {"LeMoeda", "TotalAliquota00Reducao[1]"},
    {"LeMoeda", "TotalAliquota15Reducao[1]"},
    {"LeInteiro", "COO"},
    {"LeInteiro", "GNF"},
    {"LeInteiro", "CFC"},
    {"LeInteiro", "CRZ"},
    {"LeInteiro", "CRO"},
    {"LeInteiro", "CDC"},
    {"LeInteiro", "NFC"},
    {"LeInteiro", "GRG"},
    {"LeInteiro", "CCF"},
    {"LeInteiro", "CFD"},
    {"LeInteiro", "NCN"},
    {"LeInteiro", "ContadorDocUltimoItemVendido"},
    {"LeInteiro", "ECF"},
    {"LeInteiro", "Loja"},
    {"LeInteiro", "TempoOperacional"},
    {"LeInteiro", "TempoEmitindoDocFiscal"},
    {"LeInteiro", "ContadorProprietarios"},
    {"LeInteiro", "CRZRestantes"},
    {"LeInteiro", "MFDLivre"},
    {"LeInteiro", "PercentualMFDUtilizada"},
    {"LeInteiro", "AliquotaDisponivel"},
    {"LeInteiro", "Arredondamento"},
    {"LeInteiro", "Indicadores"},
    {"LeInteiro", "TipoDocEmEmissao"},
    {"LeInteiro", "TipoUltimoDocEmitido"},
    {"LeInteiro", "COOInicioDia"},
    {"LeInteiro", "PermiteISS"},
    {"LeInteiro", "CON[3]"},
    {"LeInteiro", "CER[19]"},
    {"LeInteiro", "COOReducao[1]"},
    {"LeIndicador", "SemPapel"},
    {"LeIndicador", "SensorPoucoPapel"},
    {"LeIndicador", "DiaFechado"},
    {"LeIndicador", "HorarioVerao"},
    {"LeIndicador", "IntervencaoTecnica"},
    {"LeIndicador", "SensorGaveta"},
    {"LeIndicador", "SensorCheque"},
    {"LeIndicador", "Aliquota00ICMSReducao[1]"},
    {"LeIndicador", "Aliquota15ICMSReducao[1]"},
    {"LeData", "Data"},
    {"LeData", "DataAbertura"},
    {"LeData", "DataUltimoDoc"},
    {"LeData", "DataReducao[1]"},
    {"LeHora", "Hora"},
    {"LeHora", "HoraUltimoDoc"},
    {"LeHora", "HoraReducao[1]"},
};

// The parameter that carries a register name for each read command.
std::string register_params(const std::string& command, const std::string& name) {
  static const std::pair<const char*, const char*> kParameter[] = {
      {"LeInteiro", "NomeInteiro"},     {"LeMoeda", "NomeDadoMonetario"}, {"LeTexto", "NomeTexto"},
      {"LeIndicador", "NomeIndicador"}, {"LeData", "NomeData"},           {"LeHora", "NomeHora"},
  };
  for (const auto& [c, p] : kParameter)
    if (command == c) return std::string(p) + "=\"" + name + "\"";
  ADD_FAILURE() << "no register parameter for " << command;
  return {};
}

bool refused_as_unknown(int code) {
  return code == kUnknownCommand || code == kBadParameter || code == kUnknownRegister;
}

class PrinterNames : public ::testing::Test {
 protected:
  void SetUp() override {
    p.set_clock(DateTime{{2026, 12, 10}, 10, 0, 0});
    p.clear_changed();
  }
  Printer p;
};

TEST_F(PrinterNames, EveryCommandTheDriverSendsIsKnownWithAllItsParameters) {
  for (const Sent& s : kDriverCommands) {
    Reply r = p.execute(s.command, s.params);
    EXPECT_FALSE(refused_as_unknown(r.code))
        << s.command << " " << s.params << " -> " << r.code << " " << r.results;
  }
  // The sequence above is a real day: the coupon and the Z went through.
  EXPECT_EQ(p.state().crz, 1);
  EXPECT_GE(p.state().coo, 5);
}

TEST_F(PrinterNames, EveryRegisterTheDriverReadsIsKnown) {
  // One reduction, so that the per-reduction names answer their values.
  ASSERT_EQ(p.execute("EmiteReducaoZ", "").code, 0);
  for (const Sent& s : kDriverRegisters) {
    Reply r = p.execute(s.command, register_params(s.command, s.params));
    EXPECT_FALSE(refused_as_unknown(r.code))
        << s.command << " " << s.params << " -> " << r.code << " " << r.results;
  }
}

struct Refusal {
  const char* what;
  const char* command;
  const char* params;
  int code;
  bool in_a_sale = false;  // sent with a coupon open and one item sold
};

void PrintTo(const Refusal& r, std::ostream* os) {
  *os << r.what;
}

class PrinterRefuses : public PrinterNames, public ::testing::WithParamInterface<Refusal> {};

TEST_P(PrinterRefuses, TheNameWithItsOwnError) {
  const Refusal& c = GetParam();
  if (c.in_a_sale) {
    ASSERT_EQ(p.execute("AbreCupomFiscal", "").code, 0);
    ASSERT_EQ(p.execute("VendeItem",
                        "CodAliquota=-2 CodProduto=\"1\" NomeProduto=\"A\" "
                        "PrecoUnitario=1,00 Quantidade=1,000 Unidade=\"Un\"")
                  .code,
              0);
    p.clear_changed();
  }
  Reply r = p.execute(c.command, c.params);
  EXPECT_EQ(r.code, c.code) << r.results;
  EXPECT_EQ(r.results.rfind("NomeErro=\"", 0), 0u) << r.results;
  EXPECT_FALSE(p.changed()) << "a refused command changed the printer";
}

INSTANTIATE_TEST_SUITE_P(
    Misspelt, PrinterRefuses,
    ::testing::Values(
        Refusal{"Command", "AbreCupomFiscall", "", kUnknownCommand},
        Refusal{"ReadCommand", "LeInteiros", "NomeInteiro=\"COO\"", kUnknownCommand},
        Refusal{"IntegerRegister", "LeInteiro", "NomeInteiro=\"COOO\"", kUnknownRegister},
        Refusal{"MoneyRegister", "LeMoeda", "NomeDadoMonetario=\"TotalDiaDesconto\"",
                kUnknownRegister},
        Refusal{"TextRegister", "LeTexto", "NomeTexto=\"NumeroSerie\"", kUnknownRegister},
        Refusal{"IndicatorRegister", "LeIndicador", "NomeIndicador=\"SemPapeis\"",
                kUnknownRegister},
        Refusal{"DateRegister", "LeData", "NomeData=\"DataReducao\"", kUnknownRegister},
        Refusal{"TimeRegister", "LeHora", "NomeHora=\"HoraRedução[1]\"", kUnknownRegister},
        Refusal{"WritableInteger", "EscreveInteiro", "NomeInteiro=\"Arredonda\" ValorInteiro=1",
                kUnknownRegister},
        Refusal{"WritableText", "EscreveTexto", "NomeTexto=\"SimboloDaMoeda\" ValorTexto=\"R$\"",
                kUnknownRegister},
        Refusal{"IndexOnAPlainRegister", "LeInteiro", "NomeInteiro=\"COO[1]\"", kUnknownRegister},
        Refusal{"IndexMissing", "LeInteiro", "NomeInteiro=\"CON\"", kUnknownRegister},
        Refusal{"OneDigitRate", "LeMoeda", "NomeDadoMonetario=\"Aliquota3Reducao[1]\"",
                kUnknownRegister},
        Refusal{"IndexNotANumber", "LeInteiro", "NomeInteiro=\"CON[x]\"", kBadParameter},
        Refusal{"Parameter", "VendeItem",
                "CodAliquota=-2 CodProduto=\"1\" NomeProduto=\"A\" PrecoUnitario=1,00 "
                "Quantiade=1,000 Unidade=\"Un\"",
                kBadParameter},
        Refusal{"ParameterOfAnotherCommand", "EncerraDocumento",
                "Operador=\"Ana\" TextoLivre=\"x\"", kBadParameter},
        Refusal{"ParameterBesideARegister", "LeInteiro", "NomeInteiro=\"COO\" Indice=1",
                kBadParameter},
        Refusal{"ParameterOfACommandWithout", "AbreGaveta", "Tempo=2", kBadParameter},
        Refusal{"BooleanThatIsNot", "AcresceSubtotal", "Cancelar=talvez", kBadParameter, true},
        Refusal{"UnknownDestination", "EmiteLeituraX", "Destino=\"Q\"", kBadParameter},
        Refusal{"ItemNumberThatIsNot", "CancelaItemFiscal", "NumItem=um", kBadParameter, true},
        Refusal{"RegisterNameMissing", "LeMoeda", "", kBadParameter}),
    [](const auto& info) { return std::string(info.param.what); });

// The README lists every name the tables hold, so that the driver's author can check a
// name against it.
TEST(PrinterNamesReadme, ListsEveryCommandAndRegister) {
  std::ifstream in(ECF_SIM_README);
  ASSERT_TRUE(in) << ECF_SIM_README;
  std::stringstream text;
  text << in.rdbuf();
  const std::string readme = text.str();
  for (const std::string& command : Printer::known_commands()) {
    EXPECT_NE(readme.find("`" + command + "`"), std::string::npos) << command;
    for (const std::string& parameter : Printer::known_parameters(command))
      EXPECT_NE(readme.find("`" + parameter + "`"), std::string::npos)
          << command << " " << parameter;
    for (const std::string& name : Printer::known_registers(command))
      EXPECT_NE(readme.find("`" + name + "`"), std::string::npos) << command << " " << name;
  }
}

}  // namespace
}  // namespace ecf_sim
