#include "shell/program/configuracoes.h"

#include "common/ini.h"
#include "common/text1252.h"

namespace shell {

namespace {
const char* const kChaves[] = {TConfiguracoes::kPathLog, TConfiguracoes::kPathSintegra,
                               TConfiguracoes::kPathBaseDados, TConfiguracoes::kIniciarBase,
                               TConfiguracoes::kBaseSelecionada};
}

TConfiguracoes::TConfiguracoes() : TConfiguracoes(std::filesystem::current_path()) {}

TConfiguracoes::TConfiguracoes(const std::filesystem::path& folder)
    : TConfiguracoes(folder / "Tributarium.ini", folder) {}

TConfiguracoes::TConfiguracoes(std::filesystem::path arquivo, std::filesystem::path pasta_padroes)
    : pasta_(std::move(pasta_padroes)), arquivo_(std::move(arquivo)) {
  reparado_ = Repara();
}

std::string TConfiguracoes::Padrao(std::string_view chave) const {
  std::string base = pasta_.string();
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (common::iequals(chave, kPathLog)) return base + "/Log";
  if (common::iequals(chave, kPathSintegra)) return base + "/Sintegra";
  if (common::iequals(chave, kPathBaseDados)) return base + "/Dados";
  if (common::iequals(chave, kIniciarBase)) return "1";
  return {};
}

bool TConfiguracoes::Repara() {
  common::IniFile ini(arquivo_);
  bool ok = true;
  for (const char* chave : kChaves) {
    if (!ini.find(kSecao, chave))
      ok = ini.write(kSecao, chave, common::utf8_to_cp1252(Padrao(chave))) && ok;
  }
  return ok;
}

std::string TConfiguracoes::Le(std::string_view chave) const {
  common::IniFile ini(arquivo_);
  auto valor = ini.find(kSecao, chave);
  if (!valor) return Padrao(chave) == "1" ? std::string() : Padrao(chave);
  return common::cp1252_to_utf8(*valor);
}

bool TConfiguracoes::Grava(std::string_view chave, std::string_view valor) {
  common::IniFile ini(arquivo_);
  return ini.write(kSecao, chave, common::utf8_to_cp1252(valor));
}

}  // namespace shell
