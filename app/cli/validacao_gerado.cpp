#include "validacao_gerado.h"

#include <exception>

namespace cli {

namespace {
// More than this many errors go to "sintegra validar", which lists them all.
constexpr std::uint64_t kErrosMostrados = 10;
}  // namespace

sintegra::ContagemAchados ValidaArquivoGerado(const std::string& arquivo, int mes, int ano,
                                              std::ostream& err) {
  sintegra::ContagemAchados contagem;
  std::uint64_t mostrados = 0;
  try {
    contagem = sintegra::ValidaArquivo(
        arquivo,
        [&](const sintegra::Achado& a) {
          if (a.severidade == sintegra::Severidade::Erro && mostrados++ < kErrosMostrados)
            err << sintegra::LinhaDoAchado(a) << "\n";
        },
        sintegra::Periodo{mes, ano});
  } catch (const std::exception& e) {
    err << "Validação: " << e.what() << "\n";
    contagem.erros = 1;
    return contagem;
  }
  if (contagem.erros > kErrosMostrados)
    err << "... e mais " << contagem.erros - kErrosMostrados << " erros\n";
  err << "Validação: " << sintegra::ResumoDaContagem(contagem) << "\n";
  if (contagem.erros > 0)
    err << "O arquivo foi gravado com erros que o estado recusaria; veja-os todos com "
           "\"tributarium-cli sintegra validar "
        << arquivo << "\".\n";
  return contagem;
}

}  // namespace cli
