#include "shell/widgets/calculos.h"

#include "common/clock.h"
#include "shell/widgets/validacoes.h"

namespace shell {

std::optional<std::string> ValorProduto(const std::string& quantidade, const std::string& preco) {
  auto numero = [](const std::string& s) -> std::optional<unsigned __int128> {
    if (s.empty()) return 0;
    if (!SaoDigitos(s) || s.size() > 30) return std::nullopt;
    unsigned __int128 v = 0;
    for (char c : s) v = v * 10 + static_cast<unsigned>(c - '0');
    return v;
  };
  auto q = numero(quantidade), p = numero(preco);
  if (!q || !p) return std::nullopt;
  // q * p carries 5 decimals; keep 2, rounding the dropped three.
  unsigned __int128 centavos = (*q * *p + 500) / 1000;
  std::string s;
  do {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(centavos % 10)));
    centavos /= 10;
  } while (centavos > 0);
  while (s.size() < 3) s.insert(s.begin(), '0');
  return s;
}

store::Date Hoje() {
  common::LocalDateTime t = common::clock::local_now();
  return store::Date{t.year, t.month, t.day};
}

}  // namespace shell
