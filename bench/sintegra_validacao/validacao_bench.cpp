// Figures of the Sintegra validator:
//   sintegra_validacao_bench gera N FILE   a clean month of about N lines: the header, N/5
//                                          invoices of four items each, 5,000 products, an
//                                          ECF day per day of the month, the trailer
//   sintegra_validacao_bench valida FILE   validates it, reporting wall and processor time,
//                                          peak memory and the counts of findings
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "sintegra/identidades.h"
#include "sintegra/registro.h"
#include "sintegra/validador.h"

namespace {

using sintegra::TRegistro;
using K = sintegra::TTipoRegistros;

std::string Linha(K kind, const std::vector<std::pair<int, std::string>>& campos) {
  auto r = TRegistro::CriaRegistro(kind);
  for (const auto& [n, v] : campos) r->AtribuiValor(n, v);
  return r->RenderLine();
}

// A CNPJ with its check digits from a number of up to 12 digits.
std::string Cnpj(long long raiz) {
  char t[16];
  std::snprintf(t, sizeof t, "%012lld", raiz);
  std::string c = t;
  static const int pesos[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  for (int n : {12, 13}) {
    int soma = 0;
    for (int i = 0; i < n; ++i) soma += (c[static_cast<size_t>(i)] - '0') * pesos[i + 13 - n];
    int r = soma % 11;
    c += static_cast<char>('0' + (r < 2 ? 0 : 11 - r));
  }
  return c;
}

std::string N(long long v) {
  return std::to_string(v);
}

// The value of item k of invoice i.
long long Valor(long long i, int k) {
  return 100 + (i * 7 + k * 13) % 9000;
}

int Gera(long long linhas, const std::string& arquivo) {
  std::ofstream out(arquivo, std::ios::binary);
  const int produtos = linhas < 100000 ? 20 : 5000, dias = 31;
  const long long notas = (linhas - 3 - produtos - dias * 4) / 5;
  long long n50 = 0, n54 = 0, n60 = 0, n75 = 0, total = 0;
  auto escreve = [&](const std::string& l) {
    out << l;
    ++total;
  };
  escreve(Linha(K::Tipo10, {{2, "11222333000181"},
                            {3, "110042490114"},
                            {4, "Mercearia"},
                            {5, "Campinas"},
                            {6, "SP"},
                            {8, "20240301"},
                            {9, "20240331"},
                            {10, "3"},
                            {11, "3"},
                            {12, "1"}}));
  escreve(Linha(K::Tipo11, {{2, "Rua A"}, {3, "1"}, {5, "Centro"}, {6, "13015002"}, {7, "Maria"}}));
  std::vector<std::string> cnpjs, ies;
  for (int p = 0; p < 1000; ++p) {
    cnpjs.push_back(Cnpj(444777000000LL + p * 10000 + 1));
    ies.push_back(sintegra::SorteiaInscricaoEstadual("SP", static_cast<unsigned long long>(p)));
  }
  for (long long i = 0; i < notas; ++i) {
    const std::string& cnpj = cnpjs[static_cast<size_t>(i % 1000)];
    std::string dia = "202403" + std::string(i % 31 < 9 ? "0" : "") + N(i % 31 + 1);
    long long soma = 0;
    for (int k = 0; k < 4; ++k) soma += Valor(i, k);
    escreve(Linha(K::Tipo50, {{2, cnpj},
                              {3, ies[static_cast<size_t>(i % 1000)]},
                              {4, dia},
                              {5, "SP"},
                              {6, "01"},
                              {7, "1"},
                              {8, N(i % 999999 + 1)},
                              {9, "1102"},
                              {10, "T"},
                              {11, N(soma)},
                              {12, N(soma)},
                              {16, "1800"},
                              {17, "N"}}));
    ++n50;
  }
  // The items after all the invoices: the file keeps its types in order.
  for (long long i = 0; i < notas; ++i) {
    const std::string& cnpj = cnpjs[static_cast<size_t>(i % 1000)];
    long long valores[4];
    for (int k = 0; k < 4; ++k) valores[k] = Valor(i, k);
    for (int k = 0; k < 4; ++k) {
      escreve(Linha(K::Tipo54, {{2, cnpj},
                                {3, "01"},
                                {4, "1"},
                                {5, N(i % 999999 + 1)},
                                {6, "1102"},
                                {7, "000"},
                                {8, N(k + 1)},
                                {9, N((i * 4 + k) % produtos + 1)},
                                {10, "1000"},
                                {11, N(valores[k])},
                                {13, N(valores[k])},
                                {16, "1800"}}));
      ++n54;
    }
  }
  for (int d = 1; d <= dias; ++d) {
    std::string dia = "202403" + std::string(d < 10 ? "0" : "") + N(d);
    escreve(Linha(K::Tipo60M, {{3, dia},
                               {4, "ECF0001"},
                               {5, "1"},
                               {6, "2D"},
                               {7, N(d * 10)},
                               {8, N(d * 10 + 9)},
                               {9, N(d)},
                               {10, "1"},
                               {11, "5000"},
                               {12, "5000"}}));
    escreve(Linha(K::Tipo60A, {{3, dia}, {4, "ECF0001"}, {5, "1800"}, {6, "5000"}}));
    escreve(Linha(K::Tipo60D, {{3, dia},
                               {4, "ECF0001"},
                               {5, N((d - 1) % produtos + 1)},
                               {6, "1000"},
                               {7, "5000"},
                               {8, "5000"},
                               {9, "1800"},
                               {10, "900"}}));
    escreve(Linha(K::Tipo60I, {{3, dia},
                               {4, "ECF0001"},
                               {5, "2D"},
                               {6, N(d * 10 + 1)},
                               {7, "1"},
                               {8, N((d - 1) % produtos + 1)},
                               {9, "1000"},
                               {10, "5000"},
                               {11, "5000"},
                               {12, "1800"},
                               {13, "900"}}));
    n60 += 4;
  }
  for (int p = 1; p <= produtos; ++p) {
    escreve(Linha(K::Tipo75, {{2, "20240301"},
                              {3, "20240331"},
                              {4, N(p)},
                              {6, "Produto " + N(p)},
                              {7, "UN"},
                              {9, "1800"}}));
    ++n75;
  }
  char t[64];
  std::string slots;
  for (auto [tipo, n] : {std::pair{50, n50}, {54, n54}, {60, n60}, {75, n75}, {99, total + 1}}) {
    std::snprintf(t, sizeof t, "%02d%08lld", tipo, n);
    slots += t;
  }
  auto r = TRegistro::CriaRegistro(K::Tipo90);
  r->AtribuiValor(2, "11222333000181");
  r->AtribuiValor(3, "110042490114");
  for (int k = 0; k < 5; ++k) r->AtribuiValor(6 + k, slots.substr(static_cast<size_t>(k) * 10, 10));
  r->AtribuiValor(16, "1");
  escreve(r->RenderLine());
  std::printf("gera lines=%lld file=%s\n", total, arquivo.c_str());
  return out ? 0 : 1;
}

double Cpu() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int Valida(const std::string& arquivo) {
  double cpu = Cpu();
  auto inicio = std::chrono::steady_clock::now();
  sintegra::ContagemAchados c = sintegra::ValidaArquivo(arquivo, [](const sintegra::Achado&) {});
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  std::printf("valida lines=%llu errors=%llu warnings=%llu wall_s=%.3f cpu_s=%.3f peak_mib=%.1f\n",
              static_cast<unsigned long long>(c.linhas), static_cast<unsigned long long>(c.erros),
              static_cast<unsigned long long>(c.avisos), wall, Cpu() - cpu, u.ru_maxrss / 1024.0);
  return c.erros == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string modo = argc > 1 ? argv[1] : "";
  if (modo == "gera" && argc == 4) return Gera(std::atoll(argv[2]), argv[3]);
  if (modo == "valida" && argc == 3) return Valida(argv[2]);
  std::fprintf(stderr, "uso: %s gera N ARQUIVO | valida ARQUIVO\n", argv[0]);
  return 2;
}
