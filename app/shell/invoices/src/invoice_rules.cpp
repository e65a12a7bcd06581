#include "shell/invoices/invoice_rules.h"

#include <algorithm>

#include "shell/widgets/validacoes.h"
#include "store/conversions.h"

namespace shell {

namespace {

std::string Apara(const std::string& s) {
  std::size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

__int128 Numero(const std::string& s) {
  auto c = Centavos(Apara(s));
  return c ? *c : 0;
}

std::string Texto128(__int128 centavos) {
  bool neg = centavos < 0;
  unsigned __int128 v = neg ? -centavos : centavos;
  std::string s;
  do {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  } while (v > 0);
  while (s.size() < 3) s.insert(s.begin(), '0');
  s.insert(s.size() - 2, 1, ',');
  return neg ? "-" + s : s;
}

}  // namespace

const std::vector<std::string>& Modelos() {
  static const std::vector<std::string> m = {"01", "1-A", "04", "06", "21", "22", "55"};
  return m;
}

int NumeroModelo(const std::string& e) {
  if (e == "01" || e == "1-A") return 1;
  if (e == "04") return 4;
  if (e == "06") return 6;
  if (e == "21") return 21;
  if (e == "22") return 22;
  if (e == "55") return 55;
  return 0;
}

std::string TextoModelo(int n) {
  std::string s = std::to_string(n);
  return s.size() < 2 ? "0" + s : s;
}

std::string SerieArmazenada(const Serie& s) {
  std::string t = Apara(s.texto);
  if (!s.unica) return t;
  return SaoDigitos(t) ? "U" + t : t + "U";
}

Serie LeSerie(const std::string& armazenada) {
  const std::string s = Apara(armazenada);
  if (s == "U") return {true, ""};
  if (s.size() >= 2 && s.size() <= 3) {
    if (s.front() == 'U' && SaoDigitos(s.substr(1))) return {true, s.substr(1)};
    const std::string antes = s.substr(0, s.size() - 1);
    if (s.back() == 'U' && !SaoDigitos(antes) && antes.find('U') == std::string::npos)
      return {true, antes};
  }
  return {false, s.substr(0, 3)};
}

std::optional<long long> Centavos(const std::string& a) {
  std::string s = a;
  bool neg = !s.empty() && s[0] == '-';
  if (neg) s.erase(0, 1);
  if (s.empty()) return neg ? std::nullopt : std::optional<long long>(0);
  if (!SaoDigitos(s) || s.size() > 17) return std::nullopt;
  long long v = std::stoll(s);
  return neg ? -v : v;
}

std::string TextoCentavos(long long centavos) {
  return Texto128(centavos);
}

Totais CalculaTotais(const std::vector<ValoresItem>& itens, const std::string& isento,
                     const std::string& outros) {
  Totais t;
  __int128 bases = 0, total = 0;
  __int128 icms = 0;  // cents x 10,000: rate hundredths of a percent
  for (const ValoresItem& i : itens) {
    t.aliquota = i.aliquota;
    const __int128 base = Numero(i.base);
    bases += base;
    const __int128 liquido = base - Numero(i.desconto);
    total += liquido + Numero(i.ipi);
    const __int128 st = Numero(i.substituicao);
    icms += st != 0 ? st * 10000 : liquido * Numero(i.aliquota);
  }
  const __int128 metade = icms < 0 ? -5000 : 5000;
  const __int128 icms_centavos = (icms + metade) / 10000;
  total += Numero(isento) + Numero(outros);
  t.base_icms = store::RemoveCasasDecimais(Texto128(bases));
  t.valor_icms = store::RemoveCasasDecimais(Texto128(icms_centavos));
  t.valor_total = store::RemoveCasasDecimais(Texto128(total));
  return t;
}

std::optional<int> ProximoNumeroItem(const std::vector<int>& usados, int maximo) {
  int maior = 0;
  for (int n : usados) maior = std::max(maior, n);
  if (maior < maximo) return maior + 1;
  std::vector<bool> tomado(static_cast<std::size_t>(maximo) + 1, false);
  for (int n : usados)
    if (n >= 1 && n <= maximo) tomado[static_cast<std::size_t>(n)] = true;
  for (int n = 1; n <= maximo; ++n)
    if (!tomado[static_cast<std::size_t>(n)]) return n;
  return std::nullopt;
}

}  // namespace shell
