#include "configuracao.h"

#include <stdexcept>

namespace cli {

TConfiguracoes::TConfiguracoes(std::filesystem::path arquivo,
                               const std::filesystem::path& pasta_atual)
    : shell::TConfiguracoes(std::move(arquivo), pasta_atual) {
  if (!Reparado())
    throw std::runtime_error("Não foi possível gravar o arquivo de configuração " +
                             Arquivo().string() + ".");
}

std::string NomeDoMes(int mes) {
  static const char* const nomes[] = {"Janeiro",  "Fevereiro", "Março",    "Abril",
                                      "Maio",     "Junho",     "Julho",    "Agosto",
                                      "Setembro", "Outubro",   "Novembro", "Dezembro"};
  return mes >= 1 && mes <= 12 ? nomes[mes - 1] : "";
}

}  // namespace cli
