#include "orvik/lumvar/reply.h"

#include <gtest/gtest.h>

namespace orvik::lumvar {
namespace {

TEST(SplitReply, SeparatorPositions) {
  struct {
    std::string reply, code, results;
  } cases[] = {
      {"{7;0;ValorInteiro=-15;21}", "0", "ValorInteiro=-15"},
      {"{7;;x;5}", "", "x"},
      {"{7;0;;4}", "0", ""},
      {"{7;0;A=\"x;y\";9}", "0", "A=\"x;y\""},  // a ';' inside the results
      {"{7;0}", "", ""},
      {"{7}", "", ""},
      {"}", "", ""},
      {"", "", ""},
      {"{7;12;}", "12", ""},
      {std::string("{7;0;\0\xff\x01;3}", 11), "0", std::string("\0\xff\x01", 3)},
  };
  for (const auto& c : cases) {
    const ReplyParts p = SplitReply(c.reply);
    EXPECT_EQ(p.code, c.code) << c.reply;
    EXPECT_EQ(p.results, c.results) << c.reply;
  }
}

TEST(ErrorMessage, FirstAndSecondQuotedValues) {
  EXPECT_EQ(ErrorMessage("NomeErro=\"ErroCMDForaSequencia\" Circunstancia=\"Cupom aberto\""),
            "ErroCMDForaSequencia - Cupom aberto");
  EXPECT_EQ(ErrorMessage("NomeErro=\"X\""), "X - ");
  EXPECT_EQ(ErrorMessage("no quotes"), " - ");
  EXPECT_EQ(ErrorMessage("a=\"unterminated"), " - ");
}

struct ReadCase {
  const char* results;
  int filter;
  const char* value;
  const char* code;
  const char* flag;
};

TEST(ExtractRead, ValueByKindOfAnswer) {
  const ReadCase cases[] = {
      {"ValorInteiro=-15", 0, "15", "", ""},
      {"ValorInteiro=123", 0, "123", "", ""},
      {"ValorData=#15/03/2026#", 0, "15032026", "", ""},
      {"ValorHora=#10:20:30#", 0, "102030", "", ""},
      {"ValorMoeda=12345", 0, "123", "", ""},
      {"ValorMoeda=1234,56", 0, "1234", "", ""},
      {"ValorMoeda=5", 0, "", "", ""},
      {"ValorNumericoIndicador=7", 0, "7", "", ""},
      {"ValorTexto=\"BE0506SC\"", 0, "BE0506SC", "", ""},
      {"ValorTexto=\"\"", 0, "", "", ""},
      {"ValorTexto=", 0, "", "", ""},
      {"TextoImpressao=\"linha 1\"", 0, "linha 1", "", ""},
      {"CodGerencial=2 NomeGerencial=\"SANGRIA\"", 0, "SANGRIA", "", ""},
      {"CodGerencial=2", 0, "", "", ""},
      {"CodDepartamento=1 NomeDepartamento=\"Bebidas\"", 0, "Bebidas", "", ""},
      {"CodMeioPagamento=3 CodMeioPagamentoProgram=04 NomeMeioPagamento=\"Cartao\" "
       "PermiteVinculado=true",
       0, "Cartao", "04", "t"},
      {"CodNaoFiscal=5 NomeNaoFiscal=\"Suprimento\"", 0, "Suprimento", "5", ""},
      {"AliquotaICMS=Y CodAliquota=0 PercentualAliquota=18,00", 0, "18,00", "", ""},
      {"AliquotaICMS=Y PercentualAliquota=18,00", 3, "18,00", "", ""},
      {"AliquotaICMS=Y PercentualAliquota=18,00", 1, "", "", ""},
      {"AliquotaICMS=N PercentualAliquota=5,00", 3, "", "", ""},
      {"AliquotaICMS=N PercentualAliquota=5,00", 1, "5,00", "", ""},
      {"AliquotaICMS=N PercentualAliquota=5,00\" X=1", 2, "5,00", "", ""},
      {"", 0, "", "", ""},
  };
  for (const ReadCase& c : cases) {
    const ReadOutputs out = ExtractRead(c.results, c.filter);
    EXPECT_EQ(out.value, c.value) << c.results << " filter " << c.filter;
    EXPECT_EQ(out.code, c.code) << c.results;
    EXPECT_EQ(out.flag, c.flag) << c.results;
  }
}

}  // namespace
}  // namespace orvik::lumvar
