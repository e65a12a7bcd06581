#pragma once
// Tributarium.ini, section "Tributarium": the folders of the installation and the base
// chosen last. The command line shares the program's configuration rules; it only names
// the file itself and refuses to go on when the repair cannot be written.
#include <filesystem>
#include <string>

#include "shell/program/configuracoes.h"

namespace cli {

class TConfiguracoes : public shell::TConfiguracoes {
 public:
  // Repairs the file; folder defaults are relative to pasta_atual. Raises
  // std::runtime_error when a key was missing and could not be written.
  TConfiguracoes(std::filesystem::path arquivo, const std::filesystem::path& pasta_atual);

  std::string PathLog() const { return Le(kPathLog); }
  std::string PathSintegra() const { return Le(kPathSintegra); }
  std::string PathBaseDados() const { return Le(kPathBaseDados); }
  std::string BaseSelecionada() const { return Le(kBaseSelecionada); }

  const std::filesystem::path& Arquivo() const { return arquivo(); }
};

}  // namespace cli
