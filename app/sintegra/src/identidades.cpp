#include "sintegra/identidades.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace sintegra {

namespace {

bool SoDigitos(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int D(std::string_view s, size_t i) {
  return s[i] - '0';
}

// Sum of digit × weight over the first weights.size() digits starting at first.
int Soma(std::string_view s, std::initializer_list<int> pesos, size_t first = 0) {
  int soma = 0;
  size_t i = first;
  for (int p : pesos) soma += D(s, i++) * p;
  return soma;
}

// The usual modulus-11 digit: 0 for a remainder of 0 or 1, else 11 - remainder.
int Mod11(int soma) {
  int r = soma % 11;
  return r < 2 ? 0 : 11 - r;
}

// 11 - remainder, where 10 and 11 become 0.
int Mod11Zero(int soma) {
  int dv = 11 - soma % 11;
  return dv >= 10 ? 0 : dv;
}

// 11 - remainder, where 10 and 11 become 0 and 1.
int Mod11Menos10(int soma) {
  int dv = 11 - soma % 11;
  return dv >= 10 ? dv - 10 : dv;
}

bool Comeca(std::string_view s, std::initializer_list<std::string_view> prefixos) {
  for (std::string_view p : prefixos)
    if (s.substr(0, p.size()) == p) return true;
  return false;
}

// Weights 9 down to 2 over eight digits, as most states use for a nine-digit number.
int Soma9a2(std::string_view s) {
  return Soma(s, {9, 8, 7, 6, 5, 4, 3, 2});
}

bool Acre(std::string_view s) {
  if (s.size() != 13 || !Comeca(s, {"01"})) return false;
  int d1 = Mod11Zero(Soma(s, {4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}));
  int d2 = Mod11Zero(Soma(s, {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}));
  return d1 == D(s, 11) && d2 == D(s, 12);
}

bool Alagoas(std::string_view s) {
  if (s.size() != 9 || !Comeca(s, {"24"})) return false;
  int dv = (Soma9a2(s) * 10) % 11;
  return (dv == 10 ? 0 : dv) == D(s, 8);
}

bool Amapa(std::string_view s) {
  if (s.size() != 9 || !Comeca(s, {"03"})) return false;
  long numero = std::stol(std::string(s.substr(0, 8)));
  int p = 0, d = 0;
  if (numero >= 3000001 && numero <= 3017000) {
    p = 5;
  } else if (numero >= 3017001 && numero <= 3019022) {
    p = 9;
    d = 1;
  }
  int dv = 11 - (p + Soma9a2(s)) % 11;
  if (dv == 10) dv = 0;
  if (dv == 11) dv = d;
  return dv == D(s, 8);
}

bool Amazonas(std::string_view s) {
  if (s.size() != 9) return false;
  int soma = Soma9a2(s);
  int dv = soma < 11 ? 11 - soma : Mod11(soma);
  return dv == D(s, 8);
}

bool Bahia(std::string_view s) {
  if (s.size() != 8 && s.size() != 9) return false;
  // The digit that chooses the modulus: the first of eight, the second of nine.
  int escolha = s.size() == 8 ? D(s, 0) : D(s, 1);
  bool mod10 = escolha <= 5 || escolha == 8;
  auto digito = [mod10](int soma) {
    if (mod10) return (10 - soma % 10) % 10;
    return Mod11(soma);
  };
  size_t base = s.size() - 2;  // digits before the two check digits
  // The second check digit first, over the base; then the first, over the base and it.
  int soma2 = 0;
  for (size_t i = 0; i < base; ++i) soma2 += D(s, i) * static_cast<int>(base + 1 - i);
  int d2 = digito(soma2);
  int soma1 = 0;
  for (size_t i = 0; i < base; ++i) soma1 += D(s, i) * static_cast<int>(base + 2 - i);
  soma1 += d2 * 2;
  int d1 = digito(soma1);
  return d1 == D(s, base) && d2 == D(s, base + 1);
}

bool Ceara(std::string_view s) {
  return s.size() == 9 && Mod11Zero(Soma9a2(s)) == D(s, 8);
}

bool DistritoFederal(std::string_view s) {
  if (s.size() != 13 || !Comeca(s, {"07", "08"})) return false;
  int d1 = Mod11Zero(Soma(s, {4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}));
  int d2 = Mod11Zero(Soma(s, {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}));
  return d1 == D(s, 11) && d2 == D(s, 12);
}

bool EspiritoSanto(std::string_view s) {
  return s.size() == 9 && Mod11(Soma9a2(s)) == D(s, 8);
}

bool Goias(std::string_view s) {
  if (s.size() != 9 ||
      !Comeca(s, {"10", "11", "15", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29"}))
    return false;
  long numero = std::stol(std::string(s.substr(0, 8)));
  if (numero == 11094402) return D(s, 8) == 0 || D(s, 8) == 1;
  int r = Soma9a2(s) % 11;
  int dv = 11 - r;
  if (r == 0) dv = 0;
  if (r == 1) dv = numero >= 10103105 && numero <= 10119997 ? 1 : 0;
  return dv == D(s, 8);
}

bool Maranhao(std::string_view s) {
  return s.size() == 9 && Comeca(s, {"12"}) && Mod11(Soma9a2(s)) == D(s, 8);
}

bool MatoGrosso(std::string_view s) {
  if (s.size() > 11 || s.size() < 3) return false;
  std::string n = std::string(11 - s.size(), '0') + std::string(s);
  return Mod11(Soma(n, {3, 2, 9, 8, 7, 6, 5, 4, 3, 2})) == D(n, 10);
}

bool MatoGrossoDoSul(std::string_view s) {
  return s.size() == 9 && Comeca(s, {"28", "50"}) && Mod11(Soma9a2(s)) == D(s, 8);
}

bool MinasGerais(std::string_view s) {
  if (s.size() != 13) return false;
  // First digit: the municipality code, a zero, then the order number, weighted 1 and 2
  // in turn, the digits of the products added up, taken up to the next ten.
  std::string n = std::string(s.substr(0, 3)) + "0" + std::string(s.substr(3, 8));
  int soma = 0;
  for (size_t i = 0; i < n.size(); ++i) {
    int p = D(n, i) * (i % 2 == 0 ? 1 : 2);
    soma += p / 10 + p % 10;
  }
  int d1 = (10 - soma % 10) % 10;
  int d2 = Mod11(Soma(s, {3, 2, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2}));
  return d1 == D(s, 11) && d2 == D(s, 12);
}

bool Para(std::string_view s) {
  return s.size() == 9 && Comeca(s, {"15"}) && Mod11(Soma9a2(s)) == D(s, 8);
}

bool Paraiba(std::string_view s) {
  return s.size() == 9 && Mod11Zero(Soma9a2(s)) == D(s, 8);
}

bool Parana(std::string_view s) {
  if (s.size() != 10) return false;
  int d1 = Mod11(Soma(s, {3, 2, 7, 6, 5, 4, 3, 2}));
  int d2 = Mod11(Soma(s, {4, 3, 2, 7, 6, 5, 4, 3, 2}));
  return d1 == D(s, 8) && d2 == D(s, 9);
}

bool Pernambuco(std::string_view s) {
  if (s.size() == 9) {
    int d1 = Mod11(Soma(s, {8, 7, 6, 5, 4, 3, 2}));
    int d2 = Mod11(Soma(s, {9, 8, 7, 6, 5, 4, 3, 2}));
    return d1 == D(s, 7) && d2 == D(s, 8);
  }
  if (s.size() == 14)  // the registration of before the nine-digit numbers
    return Mod11Menos10(Soma(s, {5, 4, 3, 2, 1, 9, 8, 7, 6, 5, 4, 3, 2})) == D(s, 13);
  return false;
}

bool Piaui(std::string_view s) {
  return s.size() == 9 && Mod11Zero(Soma9a2(s)) == D(s, 8);
}

bool RioDeJaneiro(std::string_view s) {
  return s.size() == 8 && Mod11(Soma(s, {2, 7, 6, 5, 4, 3, 2})) == D(s, 7);
}

bool RioGrandeDoNorte(std::string_view s) {
  if (!Comeca(s, {"20"})) return false;
  if (s.size() == 9) {
    int dv = (Soma9a2(s) * 10) % 11;
    return (dv == 10 ? 0 : dv) == D(s, 8);
  }
  if (s.size() == 10) {
    int dv = (Soma(s, {10, 9, 8, 7, 6, 5, 4, 3, 2}) * 10) % 11;
    return (dv == 10 ? 0 : dv) == D(s, 9);
  }
  return false;
}

bool RioGrandeDoSul(std::string_view s) {
  return s.size() == 10 && Mod11Zero(Soma(s, {2, 9, 8, 7, 6, 5, 4, 3, 2})) == D(s, 9);
}

bool Rondonia(std::string_view s) {
  if (s.size() == 14)
    return Mod11Menos10(Soma(s, {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2})) == D(s, 13);
  if (s.size() == 9)  // the registration of before 2000: municipality, then five digits
    return Mod11Menos10(Soma(s, {6, 5, 4, 3, 2}, 3)) == D(s, 8);
  return false;
}

bool Roraima(std::string_view s) {
  return s.size() == 9 && Comeca(s, {"24"}) && Soma(s, {1, 2, 3, 4, 5, 6, 7, 8}) % 9 == D(s, 8);
}

bool SantaCatarina(std::string_view s) {
  return s.size() == 9 && Mod11(Soma9a2(s)) == D(s, 8);
}

bool SaoPaulo(std::string_view s) {
  // The last digit of the remainder (10 gives 0).
  auto digito = [](int soma) { return soma % 11 % 10; };
  if (s.size() == 13 && s[0] == 'P') {  // rural producer: P, 8 digits, check digit, 3 digits
    std::string_view n = s.substr(1);
    if (!SoDigitos(n)) return false;
    return digito(Soma(n, {1, 3, 4, 5, 6, 7, 8, 10})) == D(n, 8);
  }
  if (s.size() != 12 || !SoDigitos(s)) return false;
  int d1 = digito(Soma(s, {1, 3, 4, 5, 6, 7, 8, 10}));
  int d2 = digito(Soma(s, {3, 2, 10, 9, 8, 7, 6, 5, 4, 3, 2}));
  return d1 == D(s, 8) && d2 == D(s, 11);
}

bool Sergipe(std::string_view s) {
  return s.size() == 9 && Mod11Zero(Soma9a2(s)) == D(s, 8);
}

bool Tocantins(std::string_view s) {
  if (s.size() == 9) return Mod11(Soma9a2(s)) == D(s, 8);
  if (s.size() == 11) {
    // Digits 3 and 4 give the kind of establishment and are left out of the sum.
    std::string_view tipo = s.substr(2, 2);
    if (tipo != "01" && tipo != "02" && tipo != "03" && tipo != "99") return false;
    std::string n = std::string(s.substr(0, 2)) + std::string(s.substr(4));
    return Mod11(Soma9a2(n)) == D(n, 8);
  }
  return false;
}

struct Estado {
  std::string_view uf;
  bool (*valida)(std::string_view);
  // The form a drawn registration takes: digits '9' are drawn, others stay, "P" included.
  std::string_view forma;
};

constexpr std::array<Estado, 27> kEstados = {{
    {"AC", Acre, "0199999999999"},
    {"AL", Alagoas, "240999999"},
    {"AM", Amazonas, "049999999"},
    {"AP", Amapa, "030999999"},
    {"BA", Bahia, "199999999"},
    {"CE", Ceara, "069999999"},
    {"DF", DistritoFederal, "0799999999999"},
    {"ES", EspiritoSanto, "089999999"},
    {"GO", Goias, "109999999"},
    {"MA", Maranhao, "129999999"},
    {"MG", MinasGerais, "9999999999999"},
    {"MS", MatoGrossoDoSul, "289999999"},
    {"MT", MatoGrosso, "00139999999"},
    {"PA", Para, "159999999"},
    {"PB", Paraiba, "169999999"},
    {"PE", Pernambuco, "099999999"},
    {"PI", Piaui, "199999999"},
    {"PR", Parana, "9999999999"},
    {"RJ", RioDeJaneiro, "99999999"},
    {"RN", RioGrandeDoNorte, "209999999"},
    {"RO", Rondonia, "00000009999999"},
    {"RR", Roraima, "240999999"},
    {"RS", RioGrandeDoSul, "9999999999"},
    {"SC", SantaCatarina, "259999999"},
    {"SE", Sergipe, "279999999"},
    {"SP", SaoPaulo, "999999999999"},
    {"TO", Tocantins, "299999999"},
}};

const Estado* EstadoDe(std::string_view uf) {
  for (const Estado& e : kEstados)
    if (e.uf == uf) return &e;
  return nullptr;
}

// The CFOP table: for each last three digits, the first digits that exist with it
// (1 2 3 entries inside the state, from other states, from abroad; 5 6 7 exits likewise).
struct GrupoCfop {
  int final;
  std::string_view primeiros;
};

constexpr GrupoCfop kCfops[] = {
    // entries
    {101, "123"},
    {102, "123"},
    {111, "12"},
    {113, "12"},
    {116, "12"},
    {117, "12"},
    {118, "12"},
    {120, "12"},
    {121, "12"},
    {122, "12"},
    {124, "12"},
    {125, "12"},
    {126, "123"},
    {127, "3"},
    {128, "123"},
    {129, "3"},
    {131, "2"},
    {132, "12"},
    {135, "12"},
    {151, "12"},
    {152, "12"},
    {153, "12"},
    {154, "12"},
    {159, "12"},
    {201, "123"},
    {202, "123"},
    {203, "12"},
    {204, "12"},
    {205, "123"},
    {206, "123"},
    {207, "123"},
    {208, "12"},
    {209, "12"},
    {211, "3"},
    {212, "123"},
    {213, "12"},
    {214, "12"},
    {215, "12"},
    {216, "12"},
    {251, "123"},
    {252, "12"},
    {253, "12"},
    {254, "12"},
    {255, "12"},
    {256, "12"},
    {257, "12"},
    {301, "123"},
    {302, "12"},
    {303, "12"},
    {304, "12"},
    {305, "12"},
    {306, "12"},
    {351, "123"},
    {352, "123"},
    {353, "123"},
    {354, "123"},
    {355, "123"},
    {356, "123"},
    {360, "12"},
    {401, "12"},
    {403, "12"},
    {406, "12"},
    {407, "12"},
    {408, "12"},
    {409, "12"},
    {410, "12"},
    {411, "12"},
    {414, "12"},
    {415, "12"},
    {451, "12"},
    {452, "12"},
    {501, "12"},
    {503, "123"},
    {504, "12"},
    {505, "12"},
    {506, "12"},
    {551, "123"},
    {552, "12"},
    {553, "123"},
    {554, "12"},
    {555, "12"},
    {556, "123"},
    {557, "12"},
    {601, "1"},
    {602, "1"},
    {603, "1"},
    {604, "1"},
    {605, "1"},
    {651, "123"},
    {652, "123"},
    {653, "123"},
    {658, "12"},
    {659, "12"},
    {660, "12"},
    {661, "12"},
    {662, "12"},
    {663, "12"},
    {664, "12"},
    {901, "12"},
    {902, "12"},
    {903, "12"},
    {904, "12"},
    {905, "12"},
    {906, "12"},
    {907, "12"},
    {908, "12"},
    {909, "12"},
    {910, "12"},
    {911, "12"},
    {912, "12"},
    {913, "12"},
    {914, "12"},
    {915, "12"},
    {916, "12"},
    {917, "12"},
    {918, "12"},
    {919, "12"},
    {920, "12"},
    {921, "12"},
    {922, "12"},
    {923, "12"},
    {924, "12"},
    {925, "12"},
    {926, "1"},
    {930, "3"},
    {931, "12"},
    {932, "12"},
    {933, "12"},
    {934, "12"},
    {949, "123"},
    // exits
    {101, "567"},
    {102, "567"},
    {103, "56"},
    {104, "56"},
    {105, "567"},
    {106, "567"},
    {107, "6"},
    {108, "6"},
    {109, "56"},
    {110, "56"},
    {111, "56"},
    {112, "56"},
    {113, "56"},
    {114, "56"},
    {115, "56"},
    {116, "56"},
    {117, "56"},
    {118, "56"},
    {119, "56"},
    {120, "56"},
    {122, "56"},
    {123, "56"},
    {124, "56"},
    {125, "56"},
    {127, "7"},
    {129, "7"},
    {131, "56"},
    {132, "56"},
    {151, "56"},
    {152, "56"},
    {153, "56"},
    {155, "56"},
    {156, "56"},
    {201, "567"},
    {202, "567"},
    {205, "56"},
    {206, "56"},
    {207, "56"},
    {208, "56"},
    {209, "56"},
    {210, "567"},
    {211, "7"},
    {212, "7"},
    {213, "56"},
    {214, "56"},
    {215, "56"},
    {216, "56"},
    {251, "567"},
    {252, "56"},
    {253, "56"},
    {254, "56"},
    {255, "56"},
    {256, "56"},
    {257, "56"},
    {258, "56"},
    {301, "567"},
    {302, "56"},
    {303, "56"},
    {304, "56"},
    {305, "56"},
    {306, "56"},
    {307, "56"},
    {351, "567"},
    {352, "56"},
    {353, "56"},
    {354, "56"},
    {355, "56"},
    {356, "56"},
    {357, "56"},
    {359, "56"},
    {360, "56"},
    {401, "56"},
    {402, "56"},
    {403, "56"},
    {404, "6"},
    {405, "5"},
    {408, "56"},
    {409, "56"},
    {410, "56"},
    {411, "56"},
    {412, "56"},
    {413, "56"},
    {414, "56"},
    {415, "56"},
    {451, "5"},
    {501, "56"},
    {502, "56"},
    {503, "56"},
    {504, "56"},
    {505, "56"},
    {551, "567"},
    {552, "56"},
    {553, "567"},
    {554, "56"},
    {555, "56"},
    {556, "567"},
    {557, "56"},
    {601, "5"},
    {602, "5"},
    {603, "56"},
    {605, "5"},
    {606, "5"},
    {651, "567"},
    {652, "56"},
    {653, "56"},
    {654, "567"},
    {655, "56"},
    {656, "567"},
    {657, "56"},
    {658, "56"},
    {659, "56"},
    {660, "56"},
    {661, "56"},
    {662, "56"},
    {663, "56"},
    {664, "56"},
    {665, "56"},
    {666, "56"},
    {667, "56"},
    {901, "56"},
    {902, "56"},
    {903, "56"},
    {904, "56"},
    {905, "56"},
    {906, "56"},
    {907, "56"},
    {908, "56"},
    {909, "56"},
    {910, "56"},
    {911, "56"},
    {912, "56"},
    {913, "56"},
    {914, "56"},
    {915, "56"},
    {916, "56"},
    {917, "56"},
    {918, "56"},
    {919, "56"},
    {920, "56"},
    {921, "56"},
    {922, "56"},
    {923, "56"},
    {924, "56"},
    {925, "56"},
    {926, "5"},
    {927, "5"},
    {928, "5"},
    {929, "56"},
    {930, "7"},
    {931, "56"},
    {932, "56"},
    {933, "56"},
    {934, "56"},
    {949, "567"},
};

// Built once: one bit per code 1000-7999.
const std::vector<bool>& TabelaCfop() {
  static const std::vector<bool> tabela = [] {
    std::vector<bool> t(8000, false);
    for (const GrupoCfop& g : kCfops)
      for (char primeiro : g.primeiros)
        t[static_cast<size_t>((primeiro - '0') * 1000 + g.final)] = true;
    return t;
  }();
  return tabela;
}

}  // namespace

bool CnpjValido(std::string_view c) {
  if (c.size() != 14 || !SoDigitos(c) || c == "00000000000000") return false;
  int d1 = Mod11(Soma(c, {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}));
  int d2 = Mod11(Soma(c, {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2}));
  return d1 == D(c, 12) && d2 == D(c, 13);
}

bool CpfValido(std::string_view c) {
  if (c.size() != 11 || !SoDigitos(c)) return false;
  if (std::all_of(c.begin(), c.end(), [&](char x) { return x == c[0]; })) return false;
  int d1 = Mod11(Soma(c, {10, 9, 8, 7, 6, 5, 4, 3, 2}));
  int d2 = Mod11(Soma(c, {11, 10, 9, 8, 7, 6, 5, 4, 3, 2}));
  return d1 == D(c, 9) && d2 == D(c, 10);
}

bool UfValida(std::string_view uf) {
  return EstadoDe(uf) != nullptr;
}

bool InscricaoEstadualValida(std::string_view uf, std::string_view ie) {
  const Estado* e = EstadoDe(uf);
  if (e == nullptr) return false;
  if (ie == "ISENTO") return true;
  if (uf == "SP" && !ie.empty() && ie[0] == 'P') return e->valida(ie);
  return SoDigitos(ie) && e->valida(ie);
}

std::string IeSemPontuacao(std::string_view ie) {
  std::string s;
  for (char c : ie) {
    if (c == '.' || c == '-' || c == '/' || c == ' ' || c == '\t') continue;
    s += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return s;
}

std::string SorteiaInscricaoEstadual(std::string_view uf, unsigned long long numero) {
  const Estado* e = EstadoDe(uf);
  if (e == nullptr) return {};
  std::uint64_t x = numero * 6364136223846793005ull + 1442695040888963407ull;
  // Two check digits in a hundred candidates on average; a bound keeps a fault finite.
  for (int tentativa = 0; tentativa < 100000; ++tentativa) {
    std::string ie(e->forma);
    for (char& c : ie) {
      if (c != '9') continue;
      x ^= x >> 29;
      x *= 0xbf58476d1ce4e5b9ull;
      x ^= x >> 32;
      c = static_cast<char>('0' + x % 10);
    }
    if (e->valida(ie)) return ie;
  }
  return {};
}

bool CepValido(std::string_view cep) {
  return cep.size() == 8 && SoDigitos(cep) && cep != "00000000";
}

bool CfopExiste(int cfop) {
  return cfop >= 1000 && cfop < 8000 && TabelaCfop()[static_cast<size_t>(cfop)];
}

}  // namespace sintegra
