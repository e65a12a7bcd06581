#include "configuracao.h"

#include <stdexcept>

namespace cli {

TConfiguracoes::TConfiguracoes(std::filesystem::path arquivo,
                               const std::filesystem::path& pasta_atual)
    : shell::TConfiguracoes(std::move(arquivo), pasta_atual) {
  if (!Reparado())
    throw std::runtime_error("Não foi possível gravar o arquivo de configuração " +
                             Arquivo().string() + ".");
  // It may hold the server's password: its owner alone reads it.
  std::error_code ec;
  std::filesystem::permissions(
      Arquivo(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
      std::filesystem::perm_options::replace, ec);
}

}  // namespace cli
