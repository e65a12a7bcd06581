// A Sintegra file brought from anywhere: the validator reads any bytes without failing,
// gives the same findings whether the bytes come whole or in pieces, counts each finding
// once, and names only lines and columns that exist.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "sintegra/validador.h"

namespace {

std::vector<std::string> Run(std::string_view bytes, size_t piece,
                             sintegra::ContagemAchados& contagem) {
  std::vector<std::string> achados;
  std::uint64_t erros = 0, avisos = 0;
  sintegra::ValidadorSintegra v(
      [&](const sintegra::Achado& a) {
        achados.push_back(sintegra::LinhaDoAchado(a) + "|" + a.regra);
        (a.severidade == sintegra::Severidade::Erro ? erros : avisos)++;
        FUZZ_CHECK(a.coluna_inicial >= 0 && a.coluna_final <= 126 &&
                   a.coluna_inicial <= a.coluna_final);
        FUZZ_CHECK(!a.regra.empty() && !a.mensagem.empty());
      },
      sintegra::Periodo{3, 2024});
  if (piece == 0) {
    v.Adiciona(bytes);
  } else {
    for (size_t i = 0; i < bytes.size(); i += piece) v.Adiciona(bytes.substr(i, piece));
  }
  contagem = v.Termina();
  FUZZ_CHECK(contagem.erros == erros && contagem.avisos == avisos);
  return achados;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  sintegra::ContagemAchados inteiro, pedacos;
  auto a = Run(bytes, 0, inteiro);
  auto b = Run(bytes, 13, pedacos);
  FUZZ_CHECK(a == b);
  FUZZ_CHECK(inteiro.linhas == pedacos.linhas);
  size_t linhas = 0;
  for (char c : bytes) linhas += c == '\n';
  if (!bytes.empty() && bytes.back() != '\n') ++linhas;
  FUZZ_CHECK(inteiro.linhas == linhas);
  // An empty file is one error; anything else that is not a clean file has one at least.
  if (size == 0) FUZZ_CHECK(inteiro.erros == 1);
  return 0;
}
