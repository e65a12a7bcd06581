// The generation worker against real embedded databases made from the delivered template.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "common/clock.h"
#include "generation_fixture.h"
#include "sintegra/registros.h"

namespace generation::testing {
namespace {

namespace fs = std::filesystem;
using sintegra::TTipoRegistros;
using Situacao = ResultadoGeracao::Situacao;

constexpr const char kMensagemErro[] =
    "Ocorreu um erro durante a execução dessa operação.\nPor favor, entre em contato com o "
    "administrador do sistema.";

// The totals of the type-90 trailer: type -> count.
std::map<std::string, int> Totais(GeracaoTest& t, std::unique_ptr<sintegra::TSintegra> s) {
  (void)t;
  std::map<std::string, int> out;
  for (const auto& r : s->RegistrosDoTipo(TTipoRegistros::Tipo90)) {
    auto* t90 = static_cast<sintegra::TRegTipo90*>(r.get());
    for (int f = sintegra::TRegTipo90::kFirstTotalField; f <= sintegra::TRegTipo90::kLastTotalField;
         ++f) {
      sintegra::TContador c = t90->ObtemTotal(f);
      if (!c.Tipo.empty() && c.Tipo != "  ") out[c.Tipo] = c.Total;
    }
  }
  return out;
}

// Writes a file of ECF records: one 60M, one 60A, two 60R and one 75.
std::string ArquivoEcf(const fs::path& dir) {
  fs::path p = dir / "ecf.txt";
  std::ofstream f(p, std::ios::binary);
  for (TTipoRegistros k :
       {TTipoRegistros::Tipo60M, TTipoRegistros::Tipo60A, TTipoRegistros::Tipo60R,
        TTipoRegistros::Tipo60R, TTipoRegistros::Tipo75}) {
    auto r = sintegra::TRegistro::CriaRegistro(k);
    if (k == TTipoRegistros::Tipo75) r->AtribuiValor(4, "ECF75");
    if (k == TTipoRegistros::Tipo60R) r->AtribuiValor(4, "R1");
    f << r->RenderLine();
  }
  return p.string();
}

TEST_F(GeracaoTest, EdgeCasesOfAMonth) {
  struct Caso {
    const char* nome;
    std::function<void()> prepara;
    std::function<ResultadoGeracao()> gera;
    std::function<void()> confere;
  };
  const Caso casos[] = {
      {"mes sem notas: nada de 50 e 54, o registro 90 conta 74 e 75",
       [&] {
         Proprietario();
         int p = Produto("1");
         Inventario(p, {2023, 12, 31});
         int n = Nota({2024, 2, 29}, 7);  // the month before
         Item(n, 1, "1", "1800", "1000");
       },
       [&] { return Gera(2024, 3, TiposPadrao()); },
       [&] {
         EXPECT_TRUE(DoTipo("50").empty());
         EXPECT_TRUE(DoTipo("54").empty());
         auto totais = Totais(*this, Lido());
         EXPECT_EQ(totais.count("50"), 0u);
         EXPECT_EQ(totais.count("54"), 0u);
         EXPECT_EQ(totais["74"], 1);
         EXPECT_EQ(totais["75"], 1);
       }},
      {"aliquotas 1800/1200/1800: dois registros 50, somas e outros valores",
       [&] {
         int n = Nota({2024, 3, 10}, 42, "500");
         Item(n, 1, "1", "1800", "10000", "100");
         Item(n, 2, "2", "1200", "5000", "200");
         Item(n, 3, "3", "1800", "2000", "300");
       },
       [&] { return Gera(2024, 3, {TTipoRegistros::Tipo50}); },
       [&] {
         auto r = DoTipo("50");
         ASSERT_EQ(r.size(), 2u);
         // Read back, numbers carry their leading zeros.
         struct Esperado {
           long long aliquota, total, base, icms, isento, outros;
         } esperado[] = {{1800, 12500, 12000, 2160, 400, 500}, {1200, 5000, 5000, 600, 200, 0}};
         for (size_t i = 0; i < 2; ++i) {
           EXPECT_EQ(std::stoll(r[i]->ObtemValor(16)), esperado[i].aliquota);
           EXPECT_EQ(std::stoll(r[i]->ObtemValor(11)), esperado[i].total);
           EXPECT_EQ(std::stoll(r[i]->ObtemValor(12)), esperado[i].base);
           EXPECT_EQ(std::stoll(r[i]->ObtemValor(13)), esperado[i].icms);
           EXPECT_EQ(std::stoll(r[i]->ObtemValor(14)), esperado[i].isento);
           EXPECT_EQ(std::stoll(r[i]->ObtemValor(15)), esperado[i].outros);
           EXPECT_EQ(r[i]->ObtemValor(8), "000042");
           EXPECT_EQ(r[i]->ObtemValor(4), "20240310");
           EXPECT_EQ(r[i]->ObtemValor(10), "P");
         }
       }},
      {"dois itens da mesma aliquota: um registro com os totais da nota",
       [&] {
         int n = Nota({2024, 3, 1}, 5, "300");
         Item(n, 1, "1", "1800", "10000");
         Item(n, 2, "2", "1800", "7000");
       },
       [&] { return Gera(2024, 3, {TTipoRegistros::Tipo50}); },
       [&] {
         auto r = DoTipo("50");
         ASSERT_EQ(r.size(), 1u);
         EXPECT_EQ(r[0]->ObtemValor(11), "0000000017500");
         EXPECT_EQ(r[0]->ObtemValor(12), "0000000017000");
         EXPECT_EQ(r[0]->ObtemValor(13), "0000000002760");
         EXPECT_EQ(r[0]->ObtemValor(15), "0000000000300");
       }},
      {"produto sem inventario nem movimento fica fora do 75",
       [&] {
         Inventario(Produto("1"), {2020, 1, 1});
         Produto("2");  // moved in the month
         Produto("3");  // nothing
         Produto("4");  // moved in another month
         int n = Nota({2024, 3, 31}, 1);
         Item(n, 1, "2", "1800", "100");
         int m = Nota({2024, 4, 1}, 2);
         Item(m, 1, "4", "1800", "100");
       },
       [&] { return Gera(2024, 3, {TTipoRegistros::Tipo75}); },
       [&] {
         auto r = DoTipo("75");
         ASSERT_EQ(r.size(), 2u);
         EXPECT_EQ(r[0]->ObtemValor(4), "1");
         EXPECT_EQ(r[1]->ObtemValor(4), "2");
         EXPECT_EQ(r[0]->ObtemValor(2), "20240301");
         EXPECT_EQ(r[0]->ObtemValor(3), "20240331");
       }},
      {"codigo que nao e numero entra no 75, depois dos numeros",
       [&] {
         Inventario(Produto("ABC-1"), {2020, 1, 1});
         Inventario(Produto("10"), {2020, 1, 1});
         Inventario(Produto("2"), {2020, 1, 1});
       },
       [&] { return Gera(2024, 3, {TTipoRegistros::Tipo75}); },
       [&] {
         auto r = DoTipo("75");
         ASSERT_EQ(r.size(), 3u);
         EXPECT_EQ(r[0]->ObtemValor(4), "2");
         EXPECT_EQ(r[1]->ObtemValor(4), "10");
         EXPECT_EQ(r[2]->ObtemValor(4), "ABC-1");
       }},
      {"1250 x 333 da 416",
       [&] {
         int n = Nota({2024, 3, 5}, 1);
         Item(n, 1, "9", "1800", "416", "000", "1250", "333");
       },
       [&] { return Gera(2024, 3, {TTipoRegistros::Tipo54}); },
       [&] {
         auto r = DoTipo("54");
         ASSERT_EQ(r.size(), 1u);
         EXPECT_EQ(std::stoll(r[0]->ObtemValor(11)), 416);
         EXPECT_EQ(std::stoll(r[0]->ObtemValor(10)), 1250);
       }},
      {"nota sem itens: registro 50 sem 54, e a geracao termina bem",
       [&] {
         Nota({2024, 3, 5}, 1);
         int n = Nota({2024, 3, 6}, 2);
         Item(n, 1, "9", "1800", "100");
         Item(n, 2, "8", "1800", "100");
       },
       [&] {
         return Gera(2024, 3, {TTipoRegistros::Tipo50, TTipoRegistros::Tipo54});
       },
       [&] {
         EXPECT_EQ(DoTipo("50").size(), 2u);
         auto r = DoTipo("54");
         ASSERT_EQ(r.size(), 2u);
         EXPECT_EQ(std::stoll(r[0]->ObtemValor(5)), 2);
         EXPECT_EQ(std::stoll(r[0]->ObtemValor(8)), 1);
         EXPECT_EQ(std::stoll(r[1]->ObtemValor(8)), 2);
       }},
      {"uma leitura dos itens serve 50, 54 e 75: itens em ordem de numero, aliquotas mistas",
       [&] {
         Produto("1");
         Produto("2");
         Produto("3");
         Produto("4");  // no movement, no inventory
         int n = Nota({2024, 3, 10}, 8, "500");
         Item(n, 3, "3", "1800", "2000");
         Item(n, 1, "1", "1800", "10000");
         Item(n, 2, "2", "1200", "5000");
         int m = Nota({2024, 3, 11}, 9);
         Item(m, 2, "2", "1800", "100");
         Item(m, 1, "1", "1800", "100");
       },
       [&] {
         return Gera(2024, 3,
                     {TTipoRegistros::Tipo50, TTipoRegistros::Tipo54, TTipoRegistros::Tipo75});
       },
       [&] {
         auto r50 = DoTipo("50");
         ASSERT_EQ(r50.size(), 3u);
         EXPECT_EQ(std::stoll(r50[0]->ObtemValor(16)), 1800);
         EXPECT_EQ(std::stoll(r50[0]->ObtemValor(12)), 12000);
         EXPECT_EQ(std::stoll(r50[1]->ObtemValor(16)), 1200);
         EXPECT_EQ(std::stoll(r50[2]->ObtemValor(8)), 9);
         auto r54 = DoTipo("54");
         ASSERT_EQ(r54.size(), 5u);
         const long long nota_item[][2] = {{8, 1}, {8, 2}, {8, 3}, {9, 1}, {9, 2}};
         for (size_t i = 0; i < 5; ++i) {
           EXPECT_EQ(std::stoll(r54[i]->ObtemValor(5)), nota_item[i][0]) << i;
           EXPECT_EQ(std::stoll(r54[i]->ObtemValor(8)), nota_item[i][1]) << i;
         }
         EXPECT_EQ(std::stoll(r54[1]->ObtemValor(13)), 5000);
         EXPECT_EQ(r54[2]->ObtemValor(9), "3");
         auto r75 = DoTipo("75");
         ASSERT_EQ(r75.size(), 3u);
         for (size_t i = 0; i < 3; ++i) EXPECT_EQ(r75[i]->ObtemValor(4), std::to_string(i + 1));
         EXPECT_EQ(Totais(*this, Lido())["54"], 5);
       }},
      {"a data da execucao em todo registro 74",
       [&] {
         common::LocalDateTime t{2024, 4, 2, 10, 0, 0};
         common::clock::set_fixed(common::clock::from_local(t));
         Inventario(Produto("1"), {2001, 12, 31}, 1);
         Inventario(Produto("2"), {2023, 12, 31}, 2);
         Inventario(Produto("3"), {2024, 4, 2}, 3);
       },
       [&] { return Gera(2024, 3, {TTipoRegistros::Tipo74}); },
       [&] {
         auto r = DoTipo("74");
         ASSERT_EQ(r.size(), 3u);
         for (const auto& x : r) EXPECT_EQ(x->ObtemValor(2), "20240402");
         EXPECT_EQ(r[0]->ObtemValor(6), "1");
         EXPECT_EQ(std::stoll("0" + r[0]->ObtemValor(7)), 0);  // own goods: no possessor
         EXPECT_EQ(r[1]->ObtemValor(7), "11222333000181");
         EXPECT_EQ(r[2]->ObtemValor(8), "987654321");
         EXPECT_EQ(r[2]->ObtemValor(9), "MG");
       }},
  };
  bool primeiro = true;
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    if (!primeiro) {
      TearDown();
      obs_ = ObservadorGravado();
      SetUp();
    }
    primeiro = false;
    c.prepara();
    ResultadoGeracao r = c.gera();
    ASSERT_EQ(r.situacao, Situacao::Sucesso) << r.erro;
    c.confere();
  }
}

TEST_F(GeracaoTest, PurposeAndNatureLandInTheLastColumnsOfType10) {
  Proprietario();
  const std::pair<int, char> casos[] = {{1, '1'}, {2, '2'}, {3, '3'}, {4, '5'}};
  for (auto [finalidade, coluna126] : casos) {
    ASSERT_EQ(Gera(2024, 3, {TTipoRegistros::Tipo10}, "", finalidade, 2).situacao,
              Situacao::Sucesso);
    auto r = DoTipo("10");
    ASSERT_EQ(r.size(), 1u);
    std::string linha = r[0]->RenderLine();
    EXPECT_EQ(linha[125], coluna126) << finalidade;
    EXPECT_EQ(linha[124], '2');
    EXPECT_EQ(linha[123], '3');
    EXPECT_EQ(r[0]->ObtemValor(8), "20240301");
    EXPECT_EQ(r[0]->ObtemValor(9), "20240331");
    // Windows-1252 in the file.
    EXPECT_EQ(r[0]->ObtemValor(4), "Mercearia S\xE3o Jo\xE3o Ltda");
  }
}

TEST_F(GeracaoTest, EcfRecordsAreCopiedOnlyForTheSelectedKinds) {
  std::string arquivo = ArquivoEcf(dir_);
  Inventario(Produto("1"), {2020, 1, 1});
  ASSERT_EQ(Gera(2024, 3, {TTipoRegistros::Tipo60R}, arquivo).situacao, Situacao::Sucesso);
  EXPECT_EQ(DoTipo("60R").size(), 2u);
  EXPECT_TRUE(DoTipo("60M").empty());
  EXPECT_TRUE(DoTipo("60A").empty());
  EXPECT_TRUE(DoTipo("75").empty());

  ASSERT_EQ(Gera(2024, 3, {TTipoRegistros::Tipo60R, TTipoRegistros::Tipo75}, arquivo).situacao,
            Situacao::Sucesso);
  auto r75 = DoTipo("75");
  ASSERT_EQ(r75.size(), 2u);
  EXPECT_EQ(r75[0]->ObtemValor(4), "1");  // the base's first, then the file's
  EXPECT_EQ(r75[1]->ObtemValor(4), "ECF75");
}

TEST_F(GeracaoTest, EcfProgressRisesFrom39To60) {
  fs::path p = dir_ / "muitos.txt";
  {
    std::ofstream f(p, std::ios::binary);
    for (int i = 0; i < 100; ++i)
      f << sintegra::TRegistro::CriaRegistro(TTipoRegistros::Tipo60R)->RenderLine();
  }
  ASSERT_EQ(Gera(2024, 3, {TTipoRegistros::Tipo60R}, p.string()).situacao, Situacao::Sucesso);
  std::vector<int> percentuais;
  for (const auto& x : obs_.progresso)
    if (x.tarefa == "Carregando informações dos registros tipo 60 ...")
      percentuais.push_back(x.percentual);
  ASSERT_GT(percentuais.size(), 5u);
  EXPECT_EQ(percentuais.front(), 39);
  EXPECT_TRUE(std::is_sorted(percentuais.begin(), percentuais.end()));
  EXPECT_GE(percentuais.back(), 58);
  EXPECT_LE(percentuais.back(), 60);
}

TEST_F(GeracaoTest, SuccessfulRunReportsItsStepsAndTheFile) {
  Proprietario();
  ResultadoGeracao r = Gera(2024, 3, {TTipoRegistros::Tipo10, TTipoRegistros::Tipo11});
  ASSERT_EQ(r.situacao, Situacao::Sucesso);
  std::string arquivo = (saida_ / "Sintegra.txt").string();
  EXPECT_EQ(r.arquivo, arquivo);
  std::vector<std::string> passos;
  for (const auto& l : obs_.log)
    if (l.rfind("--> ", 0) == 0 || l.rfind("<-- ", 0) == 0 || l.rfind("- ", 0) == 0)
      passos.push_back(l);
  const std::vector<std::string> esperado = {
      "--> Inicio Thread de Geração do Sintegra", "- Inicio Carregando dados do Banco de Dados",
      "--> Inicio CarregaRegistroTipo10.",        "<-- Fim CarregaRegistroTipo10 - SUCESSO.",
      "--> Inicio CarregaRegistroTipo11.",        "<-- Fim CarregaRegistroTipo11 - SUCESSO.",
      "- Fim Carregando dados do Banco de Dados",
      "--> Iniciando Geração do Sintegra",  // the file builder's own lines
      "<-- Sintegra gerado com SUCESSO",          "- Arquivo sintegra gerado com sucesso",
      "<-- Fim Thread de Geração do Sintegra."};
  EXPECT_EQ(passos, esperado);
  std::vector<std::pair<std::string, int>> progresso;
  for (const auto& p : obs_.progresso) progresso.push_back({p.tarefa, p.percentual});
  const std::string proprietario =
      "Carregando informações do proprietário (Registros Tipo 10 e 11) ...";
  const std::vector<std::pair<std::string, int>> progresso_esperado = {
      {"", 0},
      {proprietario, 0},
      {proprietario, 6},
      {"Gravando arquivo Sintegra.txt ...", 72},
      {"Operação realizada com sucesso!", 100}};
  EXPECT_EQ(progresso, progresso_esperado);
  ASSERT_EQ(obs_.mensagens.size(), 1u);
  EXPECT_TRUE(obs_.mensagens[0].sucesso);
  EXPECT_EQ(obs_.mensagens[0].titulo, "Sucesso!");
  EXPECT_EQ(obs_.mensagens[0].texto,
            "Operação realizada com sucesso!\nArquivo gerado em: \n" + arquivo);
  EXPECT_EQ(obs_.fechamentos, 1);
  auto totais = Totais(*this, Lido());
  EXPECT_EQ(totais.size(), 0u);  // 10 and 11 are not counted in the trailer
}

TEST_F(GeracaoTest, FailuresEndTheRunWithTheirMessageAndNoFile) {
  struct Caso {
    const char* nome;
    std::function<void()> prepara;
    sintegra::TListaTipoRegistros tipos;
    std::string erro;
    // Log lines that come, in this order, before the failure: the step the error belongs to.
    std::vector<std::string> antes = {};
  };
  const Caso casos[] = {
      {"tipo 60 sem arquivo",
       [] {},
       {TTipoRegistros::Tipo60M},
       "Lendo arquivo de registros tipo 60 e 75."},
      {"quantidade que nao e numero",
       [&] {
         int n = Nota({2024, 3, 5}, 1);
         Item(n, 1, "9", "1800", "100", "000", "1,5x", "100");
       },
       {TTipoRegistros::Tipo50, TTipoRegistros::Tipo54},
       "'1,5x' não é um valor numérico válido.",
       {"<-- Fim CarregaRegistroTipo50 - SUCESSO.", "--> Inicio CarregaRegistroTipo54."}},
      {"quantidade que nao e numero, sem o 50, numa nota depois de outras",
       [&] {
         int a = Nota({2024, 3, 4}, 1);
         Item(a, 1, "9", "1800", "100");
         int b = Nota({2024, 3, 5}, 2);
         Item(b, 1, "9", "1800", "100", "000", "12", "100");
         Item(b, 2, "8", "1800", "100", "000", "x1", "100");
       },
       {TTipoRegistros::Tipo54, TTipoRegistros::Tipo75},
       "'x1' não é um valor numérico válido.",
       {"--> Inicio CarregaRegistroTipo54."}},
      {"aliquota repetida com valor vazio ao somar",
       [&] {
         int n = Nota({2024, 3, 5}, 1);
         Item(n, 1, "1", "1800", "100", "");
         Item(n, 2, "2", "1200", "100", "");
         Item(n, 3, "3", "1800", "100", "");
       },
       {TTipoRegistros::Tipo50},
       "'' não é um valor numérico válido."},
  };
  bool primeiro = true;
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    if (!primeiro) {
      TearDown();
      obs_ = ObservadorGravado();
      SetUp();
    }
    primeiro = false;
    c.prepara();
    ResultadoGeracao r = Gera(2024, 3, c.tipos);
    EXPECT_EQ(r.situacao, Situacao::Falha);
    EXPECT_EQ(r.erro, c.erro);
    EXPECT_FALSE(fs::exists(saida_ / "Sintegra.txt"));
    ASSERT_EQ(obs_.mensagens.size(), 1u);
    EXPECT_FALSE(obs_.mensagens[0].sucesso);
    EXPECT_EQ(obs_.mensagens[0].titulo, "Erro!");
    EXPECT_EQ(obs_.mensagens[0].texto, std::string(kMensagemErro) + "\n\nErro:\n" + c.erro);
    ASSERT_FALSE(obs_.progresso.empty());
    EXPECT_EQ(obs_.progresso.back().tarefa, kMensagemErro);
    EXPECT_EQ(obs_.progresso.back().percentual, 100);
    ASSERT_GE(obs_.log.size(), 2u);
    EXPECT_EQ(obs_.log[obs_.log.size() - 2],
              "- Falha ao gerar o arquivo sintegra. Erro: " + c.erro);
    EXPECT_EQ(obs_.log.back(), "<-- Fim Thread de Geração do Sintegra.");
    EXPECT_EQ(obs_.fechamentos, 1);
    auto procura = obs_.log.begin();
    for (const std::string& linha : c.antes) {
      procura = std::find(procura, obs_.log.end(), linha);
      EXPECT_TRUE(procura != obs_.log.end()) << "falta, na ordem: " << linha;
    }
    // The failing step writes no end line of its own.
    for (const std::string& linha : obs_.log)
      EXPECT_EQ(linha.find("<-- Fim CarregaRegistroTipo54"), std::string::npos) << linha;
  }
}

TEST_F(GeracaoTest, CancelStopsBetweenRowsWithoutFileOrMessage) {
  for (int i = 1; i <= 20; ++i) {
    int n = Nota({2024, 3, 1 + i % 28}, i);
    Item(n, 1, "1", "1800", "100");
  }
  // An earlier file stays as it was.
  std::ofstream(saida_ / "Sintegra.txt") << "anterior";
  TGeraThread* worker = nullptr;
  antes_de_executar_ = [&](TGeraThread& t) { worker = &t; };
  obs_.aoLogar = [&](const std::string& linha) {
    if (linha == "--> Inicio CarregaRegistroTipo54.") worker->Cancela();
  };
  ResultadoGeracao r = Gera(2024, 3, TiposPadrao());
  EXPECT_EQ(r.situacao, Situacao::Cancelada);
  EXPECT_TRUE(obs_.mensagens.empty());
  EXPECT_EQ(obs_.fechamentos, 0);
  EXPECT_EQ(std::find(obs_.log.begin(), obs_.log.end(), "<-- Fim CarregaRegistroTipo54 - SUCESSO."),
            obs_.log.end());
  EXPECT_EQ(obs_.log.back(), "<-- Fim Thread de Geração do Sintegra.");
  std::ifstream f(saida_ / "Sintegra.txt");
  std::string conteudo;
  std::getline(f, conteudo);
  EXPECT_EQ(conteudo, "anterior");
}

}  // namespace
}  // namespace generation::testing
