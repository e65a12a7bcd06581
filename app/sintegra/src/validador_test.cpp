#include "sintegra/validador.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sintegra/registro.h"

namespace sintegra {
namespace {

using Campos = std::vector<std::pair<int, std::string>>;

// A line of the kind with these fields set, CR LF included.
std::string Linha(TTipoRegistros kind, const Campos& campos) {
  auto r = TRegistro::CriaRegistro(kind);
  for (const auto& [n, v] : campos) r->AtribuiValor(n, v);
  return r->RenderLine();
}

// The line with field n set to v.
void Muda(std::string& linha, int n, const std::string& v) {
  auto r = TRegistro::CriaRegistroDaLinha(std::string_view(linha).substr(0, 126));
  r->AtribuiValor(n, v);
  linha = r->RenderLine();
}

using K = TTipoRegistros;

// March 2024 of a shop in São Paulo: one bought invoice with one item, one ECF day with
// every ECF record, the inventory and the product. Every rule holds.
std::vector<std::string> ArquivoLimpo() {
  return {
      Linha(K::Tipo10, {{2, "11222333000181"},
                        {3, "110042490114"},
                        {4, "Mercearia Boa Vista"},
                        {5, "Campinas"},
                        {6, "SP"},
                        {7, "1932345679"},
                        {8, "20240301"},
                        {9, "20240331"},
                        {10, "3"},
                        {11, "3"},
                        {12, "1"}}),
      Linha(K::Tipo11, {{2, "Rua Barao de Jaguara"},
                        {3, "1481"},
                        {5, "Centro"},
                        {6, "13015002"},
                        {7, "Maria"},
                        {8, "1932345678"}}),
      Linha(K::Tipo50, {{2, "11444777000161"},
                        {3, "526018151907"},
                        {4, "20240305"},
                        {5, "SP"},
                        {6, "01"},
                        {7, "1"},
                        {8, "123"},
                        {9, "1102"},
                        {10, "T"},
                        {11, "10000"},
                        {12, "10000"},
                        {13, "1800"},
                        {16, "1800"},
                        {17, "N"}}),
      Linha(K::Tipo54, {{2, "11444777000161"},
                        {3, "01"},
                        {4, "1"},
                        {5, "123"},
                        {6, "1102"},
                        {7, "000"},
                        {8, "1"},
                        {9, "P1"},
                        {10, "1000"},
                        {11, "10000"},
                        {13, "10000"},
                        {16, "1800"}}),
      Linha(K::Tipo60M, {{3, "20240305"},
                         {4, "ECF0001"},
                         {5, "1"},
                         {6, "2D"},
                         {7, "1"},
                         {8, "10"},
                         {9, "1"},
                         {10, "1"},
                         {11, "5000"},
                         {12, "5000"}}),
      Linha(K::Tipo60A, {{3, "20240305"}, {4, "ECF0001"}, {5, "1800"}, {6, "5000"}}),
      Linha(K::Tipo60D, {{3, "20240305"},
                         {4, "ECF0001"},
                         {5, "P1"},
                         {6, "2000"},
                         {7, "5000"},
                         {8, "5000"},
                         {9, "1800"},
                         {10, "900"}}),
      Linha(K::Tipo60I, {{3, "20240305"},
                         {4, "ECF0001"},
                         {5, "2D"},
                         {6, "2"},
                         {7, "1"},
                         {8, "P1"},
                         {9, "2000"},
                         {10, "2500"},
                         {11, "5000"},
                         {12, "1800"},
                         {13, "900"}}),
      Linha(K::Tipo60R,
            {{3, "032024"}, {4, "P1"}, {5, "2000"}, {6, "5000"}, {7, "5000"}, {8, "1800"}}),
      Linha(K::Tipo74,
            {{2, "20240331"}, {3, "P1"}, {4, "5000"}, {5, "12500"}, {6, "1"}, {9, "SP"}}),
      Linha(K::Tipo75, {{2, "20240301"},
                        {3, "20240331"},
                        {4, "P1"},
                        {6, "Arroz tipo 1"},
                        {7, "KG"},
                        {9, "1800"}}),
      Linha(K::Tipo90, {{2, "11222333000181"},
                        {3, "110042490114"},
                        {6, "5000000001"},
                        {7, "5400000001"},
                        {8, "6000000005"},
                        {9, "7400000001"},
                        {10, "7500000001"},
                        {11, "9900000012"},
                        {16, "1"}}),
  };
}
// Line numbers of the clean file.
enum : int { L10 = 1, L11, L50, L54, L60M, L60A, L60D, L60I, L60R, L74, L75, L90 };

std::string Junta(const std::vector<std::string>& linhas) {
  std::string s;
  for (const auto& l : linhas) s += l;
  return s;
}

std::vector<Achado> Valida(const std::string& bytes, std::optional<Periodo> periodo = {},
                           size_t pedaco = 0) {
  std::vector<Achado> achados;
  ValidadorSintegra v([&](const Achado& a) { achados.push_back(a); }, periodo);
  if (pedaco == 0) {
    v.Adiciona(bytes);
  } else {
    for (size_t i = 0; i < bytes.size(); i += pedaco)
      v.Adiciona(std::string_view(bytes).substr(i, pedaco));
  }
  v.Termina();
  return achados;
}

std::string Lista(const std::vector<Achado>& achados) {
  std::string s;
  for (const auto& a : achados) s += LinhaDoAchado(a) + " [" + a.regra + "]\n";
  return s;
}

TEST(Validador, TheCleanFilePasses) {
  auto achados = Valida(Junta(ArquivoLimpo()));
  EXPECT_TRUE(achados.empty()) << Lista(achados);
  // Read in small pieces, lines cut anywhere, the result is the same.
  achados = Valida(Junta(ArquivoLimpo()), Periodo{3, 2024}, 7);
  EXPECT_TRUE(achados.empty()) << Lista(achados);
}

struct Quebra {
  const char* nome;
  std::function<void(std::vector<std::string>&)> muda;
  int linha;
  const char* regra;
  Severidade severidade;
};

const Severidade E = Severidade::Erro;
const Severidade A = Severidade::Aviso;

void Troca(std::vector<std::string>& l, int a, int b) {
  std::swap(l[a - 1], l[b - 1]);
}

const std::vector<Quebra>& Quebras() {
  static const std::vector<Quebra> q = {
      {"line of 125 characters", [](auto& l) { l[L50 - 1].erase(124, 1); }, L50, "linha.tamanho",
       E},
      {"line ends with LF alone", [](auto& l) { l[L54 - 1].erase(126, 1); }, L54, "linha.fim", E},
      {"last line without its line end", [](auto& l) { l[L90 - 1].resize(126); }, L90, "linha.fim",
       E},
      {"unknown record type",
       [](auto& l) { l.insert(l.begin() + L54, "52" + std::string(124, '0') + "\r\n"); }, L54 + 1,
       "registro.tipo", E},
      {"unknown type-60 subtype", [](auto& l) { l[L60D - 1][2] = 'X'; }, L60D, "registro.tipo", E},
      {"type 50 after type 54", [](auto& l) { Troca(l, L50, L54); }, L54, "ordem", E},
      {"60M after 60R", [](auto& l) { Troca(l, L60M, L60R); }, L60R, "ordem", E},
      {"no type 11 on line 2", [](auto& l) { l.erase(l.begin() + 1); }, 2, "cabecalho", E},
      {"second type 10", [](auto& l) { l.insert(l.begin() + 2, l[0]); }, 3, "cabecalho", E},
      {"record after the 90", [](auto& l) { Troca(l, L75, L90); }, L90, "90.ultimo", E},
      {"90 counts 2 invoices", [](auto& l) { Muda(l[L90 - 1], 6, "5000000002"); }, L90, "90.total",
       E},
      {"90 leaves a type out", [](auto& l) { Muda(l[L90 - 1], 9, ""); }, L90, "90.total", E},
      {"90 overall total", [](auto& l) { Muda(l[L90 - 1], 11, "9900000011"); }, L90,
       "90.total-geral", E},
      {"90 column 126", [](auto& l) { Muda(l[L90 - 1], 16, "2"); }, L90, "90.quantidade", E},
      {"90 of another CNPJ", [](auto& l) { Muda(l[L90 - 1], 2, "11444777000161"); }, L90, "90.cnpj",
       E},
      {"letter in a numeric field", [](auto& l) { Muda(l[L50 - 1], 8, "00012A"); }, L50,
       "campo.numerico", E},
      {"control character in a text field", [](auto& l) { l[L50 - 1][43] = '\x01'; }, L50,
       "campo.texto", E},
      {"30 February", [](auto& l) { Muda(l[L50 - 1], 4, "20240230"); }, L50, "data", E},
      {"period from the 2nd", [](auto& l) { Muda(l[L10 - 1], 8, "20240302"); }, L10, "10.periodo",
       E},
      {"period of two months", [](auto& l) { Muda(l[L10 - 1], 9, "20240430"); }, L10, "10.periodo",
       E},
      {"invoice of April", [](auto& l) { Muda(l[L50 - 1], 4, "20240401"); }, L50, "50.data-periodo",
       E},
      {"ECF day of April", [](auto& l) { Muda(l[L60D - 1], 3, "20240401"); }, L60D,
       "60.data-periodo", E},
      {"inventory after the period", [](auto& l) { Muda(l[L74 - 1], 2, "20240415"); }, L74,
       "74.data", A},
      {"75 ending before it starts", [](auto& l) { Muda(l[L75 - 1], 2, "20240401"); }, L75,
       "75.validade", E},
      {"owner CNPJ check digit", [](auto& l) { Muda(l[L10 - 1], 2, "11222333000182"); }, L10,
       "cnpj", E},
      {"invoice CNPJ check digit", [](auto& l) { Muda(l[L50 - 1], 2, "11444777000162"); }, L50,
       "cnpj", E},
      {"item CNPJ check digit", [](auto& l) { Muda(l[L54 - 1], 2, "11444777000162"); }, L54, "cnpj",
       E},
      {"owner IE check digit", [](auto& l) { Muda(l[L10 - 1], 3, "110042490115"); }, L10, "ie", E},
      {"invoice IE of another state", [](auto& l) { Muda(l[L50 - 1], 3, "99999993"); }, L50, "ie",
       E},
      {"invoice IE blank", [](auto& l) { Muda(l[L50 - 1], 3, ""); }, L50, "ie", E},
      {"possessor IE",
       [](auto& l) {
         Muda(l[L74 - 1], 6, "2");
         Muda(l[L74 - 1], 7, "11444777000161");
         Muda(l[L74 - 1], 8, "526018151908");
       },
       L74, "ie", E},
      {"unknown UF", [](auto& l) { Muda(l[L50 - 1], 5, "XX"); }, L50, "uf", E},
      {"owner abroad", [](auto& l) { Muda(l[L10 - 1], 6, "EX"); }, L10, "uf", E},
      {"CEP of zeros", [](auto& l) { Muda(l[L11 - 1], 6, "00000000"); }, L11, "cep", E},
      {"invoice model 99", [](auto& l) { Muda(l[L50 - 1], 6, "99"); }, L50, "modelo", E},
      {"ECF model 2A", [](auto& l) { Muda(l[L60M - 1], 6, "2A"); }, L60M, "modelo", E},
      {"situation Z", [](auto& l) { Muda(l[L50 - 1], 17, "Z"); }, L50, "situacao", E},
      {"issuer Q", [](auto& l) { Muda(l[L50 - 1], 10, "Q"); }, L50, "emitente", E},
      {"possession code 4", [](auto& l) { Muda(l[L74 - 1], 6, "4"); }, L74, "74.posse", E},
      {"nature 4", [](auto& l) { Muda(l[L10 - 1], 11, "4"); }, L10, "10.natureza", E},
      {"purpose 4", [](auto& l) { Muda(l[L10 - 1], 12, "4"); }, L10, "10.finalidade", E},
      {"agreement code 9", [](auto& l) { Muda(l[L10 - 1], 10, "9"); }, L10, "10.convenio", E},
      {"CFOP not in the table", [](auto& l) { Muda(l[L50 - 1], 9, "1100"); }, L50, "cfop", E},
      {"item CFOP not in the table", [](auto& l) { Muda(l[L54 - 1], 6, "4102"); }, L54, "cfop", E},
      {"exit CFOP on a third party's invoice",
       [](auto& l) {
         Muda(l[L50 - 1], 9, "5102");
         Muda(l[L54 - 1], 6, "5102");
       },
       L50, "cfop.direcao", E},
      {"inside-state CFOP with another state",
       [](auto& l) {
         Muda(l[L50 - 1], 5, "RJ");
         Muda(l[L50 - 1], 3, "99999993");
       },
       L50, "cfop.local", E},
      {"other-state CFOP inside the state",
       [](auto& l) {
         Muda(l[L50 - 1], 9, "2102");
         Muda(l[L54 - 1], 6, "2102");
       },
       L50, "cfop.local", E},
      {"abroad CFOP with a state",
       [](auto& l) {
         Muda(l[L50 - 1], 9, "3102");
         Muda(l[L54 - 1], 6, "3102");
       },
       L50, "cfop.local", E},
      {"item without its invoice", [](auto& l) { Muda(l[L54 - 1], 5, "124"); }, L54, "54.sem-50",
       E},
      {"items short of the invoice total", [](auto& l) { Muda(l[L54 - 1], 11, "9000"); }, L50,
       "54.total-nota", A},
      {"item number 000", [](auto& l) { Muda(l[L54 - 1], 8, "0"); }, L54, "54.item", E},
      {"item of a product without 75", [](auto& l) { Muda(l[L54 - 1], 9, "P2"); }, L54,
       "75.ausente", E},
      {"ECF item of a product without 75", [](auto& l) { Muda(l[L60I - 1], 8, "P2"); }, L60I,
       "75.ausente", E},
      {"75 valid from after the invoice", [](auto& l) { Muda(l[L75 - 1], 2, "20240310"); }, L54,
       "75.vigencia", E},
      {"75 nothing uses",
       [](auto& l) {
         std::string outro = l[L75 - 1];
         Muda(outro, 4, "P9");
         l.insert(l.begin() + L75, outro);
         Muda(l.back(), 10, "7500000002");
         Muda(l.back(), 11, "9900000013");
       },
       L75 + 1, "75.sem-uso", A},
      {"second 60M of the day", [](auto& l) { l.insert(l.begin() + L60M, l[L60M - 1]); }, L60M + 1,
       "60M.dia", E},
      {"COO range overlapping the day before",
       [](auto& l) {
         std::string m = l[L60M - 1];
         Muda(m, 3, "20240306");
         Muda(m, 7, "5");
         Muda(m, 8, "20");
         Muda(m, 9, "2");
         l.insert(l.begin() + L60M, m);
       },
       L60M + 1, "60M.coo", E},
      {"COO range upside down", [](auto& l) { Muda(l[L60M - 1], 7, "11"); }, L60M, "60M.coo", E},
      {"CRZ not rising",
       [](auto& l) {
         std::string m = l[L60M - 1];
         Muda(m, 3, "20240306");
         Muda(m, 7, "11");
         Muda(m, 8, "20");
         l.insert(l.begin() + L60M, m);
       },
       L60M + 1, "60M.crz", E},
      {"60A of a day without 60M", [](auto& l) { Muda(l[L60A - 1], 3, "20240306"); }, L60A,
       "60.sem-60M", E},
      {"60I of another ECF", [](auto& l) { Muda(l[L60I - 1], 4, "ECF0002"); }, L60I, "60.sem-60M",
       E},
      {"60A short of the gross sales", [](auto& l) { Muda(l[L60A - 1], 6, "4000"); }, L60M,
       "60A.total", A},
      {"60A code F000", [](auto& l) { Muda(l[L60A - 1], 5, "F000"); }, L60A, "60A.codigo", E},
      {"60I code DESC", [](auto& l) { Muda(l[L60I - 1], 12, "DESC"); }, L60I, "60.codigo", E},
      {"60R of April", [](auto& l) { Muda(l[L60R - 1], 3, "042024"); }, L60R, "60R.periodo", E},
      {"60R month 13", [](auto& l) { Muda(l[L60R - 1], 3, "132024"); }, L60R, "data", E},
      {"blank ECF serial", [](auto& l) { Muda(l[L60D - 1], 4, ""); }, L60D, "60.serie", E},
  };
  return q;
}

TEST(Validador, EachBrokenFileIsFlaggedAtItsLineWithItsSeverity) {
  for (const Quebra& q : Quebras()) {
    auto linhas = ArquivoLimpo();
    q.muda(linhas);
    auto achados = Valida(Junta(linhas));
    bool achou = false;
    for (const Achado& a : achados)
      achou = achou || (a.linha == static_cast<std::uint64_t>(q.linha) && a.regra == q.regra &&
                        a.severidade == q.severidade);
    EXPECT_TRUE(achou) << q.nome << ": expected " << q.regra << " at line " << q.linha << ", got\n"
                       << Lista(achados);
    // A warning never comes with errors the clean file does not have.
    if (q.severidade == Severidade::Aviso) {
      for (const Achado& a : achados)
        EXPECT_EQ(a.severidade, Severidade::Aviso) << q.nome << "\n" << Lista(achados);
    }
  }
}

TEST(Validador, AFindingNamesItsFieldAndColumns) {
  auto linhas = ArquivoLimpo();
  Muda(linhas[L11 - 1], 6, "00000000");
  auto achados = Valida(Junta(linhas));
  ASSERT_EQ(achados.size(), 1u) << Lista(achados);
  const Achado& a = achados[0];
  EXPECT_EQ(a.registro, "11");
  EXPECT_EQ(a.campo, "CEP");
  EXPECT_EQ(a.coluna_inicial, 79);
  EXPECT_EQ(a.coluna_final, 86);
  EXPECT_EQ(LinhaDoAchado(a),
            "Erro linha 2 registro 11 campo CEP: CEP inválido: \"00000000\" (8 dígitos)");
}

TEST(Validador, AcceptedForms) {
  struct Caso {
    const char* nome;
    std::function<void(std::vector<std::string>&)> muda;
  };
  const Caso casos[] = {
      {"invoice of a person (CPF)",
       [](auto& l) {
         Muda(l[L50 - 1], 2, "00052998224725");
         Muda(l[L54 - 1], 2, "00052998224725");
         Muda(l[L50 - 1], 3, "ISENTO");
       }},
      {"invoice from abroad",
       [](auto& l) {
         Muda(l[L50 - 1], 2, "0");
         Muda(l[L54 - 1], 2, "0");
         Muda(l[L50 - 1], 3, "");
         Muda(l[L50 - 1], 5, "EX");
         Muda(l[L50 - 1], 9, "3102");
         Muda(l[L54 - 1], 6, "3102");
       }},
      {"freight as item 991",
       [](auto& l) {
         Muda(l[L50 - 1], 11, "11500");
         std::string frete = l[L54 - 1];
         Muda(frete, 8, "991");
         Muda(frete, 9, "");
         Muda(frete, 11, "1500");
         l.insert(l.begin() + L54, frete);
         Muda(l.back(), 7, "5400000002");
         Muda(l.back(), 11, "9900000013");
       }},
      {"own invoice of an entry", [](auto& l) { Muda(l[L50 - 1], 10, "P"); }},
  };
  for (const Caso& c : casos) {
    auto linhas = ArquivoLimpo();
    c.muda(linhas);
    auto achados = Valida(Junta(linhas));
    EXPECT_TRUE(achados.empty()) << c.nome << "\n" << Lista(achados);
  }
}

TEST(Validador, ThePeriodGivenOverridesTheDeclaredOne) {
  auto achados = Valida(Junta(ArquivoLimpo()), Periodo{4, 2024});
  bool periodo = false, nota = false;
  for (const Achado& a : achados) {
    periodo = periodo || (a.linha == L10 && a.regra == "10.periodo");
    nota = nota || (a.linha == L50 && a.regra == "50.data-periodo");
  }
  EXPECT_TRUE(periodo) << Lista(achados);
  EXPECT_TRUE(nota) << Lista(achados);
}

TEST(Validador, FileWideFindings) {
  EXPECT_EQ(Valida("").at(0).regra, "arquivo.vazio");
  auto linhas = ArquivoLimpo();
  linhas.pop_back();
  auto achados = Valida(Junta(linhas));
  bool sem90 = false;
  for (const Achado& a : achados) sem90 = sem90 || a.regra == "90.ausente";
  EXPECT_TRUE(sem90) << Lista(achados);
  // A file of one enormous line costs no more than its start.
  auto longa = Valida(std::string(10'000'000, 'x'));
  EXPECT_FALSE(longa.empty());
}

TEST(Validador, FindingsComeInLineOrderAndAreCounted) {
  auto linhas = ArquivoLimpo();
  Muda(linhas[L54 - 1], 9, "P2");              // found at the end, line 4
  Muda(linhas[L60A - 1], 5, "F000");           // found at once, line 6
  Muda(linhas[L50 - 1], 2, "11444777000162");  // found at once, line 3
  auto r = Valida(Junta(linhas));
  ASSERT_GE(r.size(), 3u);
  std::vector<std::uint64_t> vistas;
  for (const auto& a : r) vistas.push_back(a.linha);
  // Those found at once first, then those of the end, each group in line order.
  EXPECT_TRUE(std::is_sorted(vistas.begin(), vistas.begin() + 2)) << Lista(r);

  auto pasta = std::filesystem::temp_directory_path() / ("validador_" + std::to_string(::getpid()));
  std::filesystem::create_directories(pasta);
  auto arquivo = pasta / "Sintegra.txt";
  std::ofstream(arquivo, std::ios::binary) << Junta(linhas);
  ResultadoValidacao resultado = ValidaArquivo(arquivo);
  EXPECT_TRUE(std::is_sorted(resultado.achados.begin(), resultado.achados.end(),
                             [](const Achado& a, const Achado& b) { return a.linha < b.linha; }));
  EXPECT_EQ(resultado.contagem.linhas, 12u);
  EXPECT_EQ(resultado.contagem.erros + resultado.contagem.avisos, resultado.achados.size());
  std::string relatorio =
      RelatorioDeValidacao(arquivo.string(), resultado.achados, resultado.contagem);
  EXPECT_THAT(relatorio, testing::HasSubstr("[colunas 3-16, regra cnpj]"));
  EXPECT_THAT(relatorio, testing::HasSubstr(ResumoDaContagem(resultado.contagem)));
  EXPECT_THROW(ValidaArquivo(pasta / "nao-existe.txt"), std::exception);
  std::filesystem::remove_all(pasta);
}

TEST(Validador, CountsInWords) {
  EXPECT_EQ(ResumoDaContagem({0, 0, 5}), "0 erros e 0 avisos");
  EXPECT_EQ(ResumoDaContagem({1, 1, 5}), "1 erro e 1 aviso");
  EXPECT_EQ(ResumoDaContagem({2, 3, 5}), "2 erros e 3 avisos");
}

}  // namespace
}  // namespace sintegra
