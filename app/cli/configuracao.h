#pragma once
// Tributarium.ini, section "Tributarium": the folders of the installation and the base
// chosen last. Opening it repairs it: missing keys are written with their defaults.
#include <filesystem>
#include <string>

#include "common/ini.h"

namespace cli {

class TConfiguracoes {
 public:
  // Repairs the file; folder defaults are relative to pasta_atual. Raises
  // std::runtime_error when a key was missing and could not be written.
  TConfiguracoes(std::filesystem::path arquivo, const std::filesystem::path& pasta_atual);

  // The key's text (UTF-8), empty when absent.
  std::string Le(const std::string& chave) const;
  // Writes at once; false when the file cannot be written.
  bool Grava(const std::string& chave, const std::string& valor);

  std::string PathLog() const { return Le("PathLog"); }
  std::string PathSintegra() const { return Le("PathSintegra"); }
  std::string PathBaseDados() const { return Le("PathBaseDados"); }
  bool IniciarBase() const { return Le("IniciarBase") == "1"; }
  std::string BaseSelecionada() const { return Le("BaseSelecionada"); }

  const std::filesystem::path& Arquivo() const { return ini_.path(); }

 private:
  common::IniFile ini_;
};

// The month as the generation screen names it ("Janeiro" ... "Dezembro"); empty outside 1-12.
std::string NomeDoMes(int mes);

}  // namespace cli
