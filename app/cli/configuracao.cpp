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

}  // namespace cli
