#include "shell/program/configuracoes.h"

#include <cstdlib>
#include <filesystem>

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

// The file may hold the server's password: its owner alone reads it.
static void SoDoDono(const std::filesystem::path& arquivo) {
  std::error_code ec;
  std::filesystem::permissions(
      arquivo, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
      std::filesystem::perm_options::replace, ec);
}

bool TConfiguracoes::Repara() {
  common::IniFile ini(arquivo_);
  bool ok = true;
  for (const char* chave : kChaves) {
    if (!ini.find(kSecao, chave))
      ok = ini.write(kSecao, chave, common::utf8_to_cp1252(Padrao(chave))) && ok;
  }
  SoDoDono(arquivo_);
  return ok;
}

void TConfiguracoes::LoginServidor(std::string& usuario, std::string& senha) const {
  common::IniFile ini(arquivo_);
  if (auto u = ini.find(kSecaoServidor, kUsuario)) usuario = common::cp1252_to_utf8(*u);
  if (auto p = ini.find(kSecaoServidor, kSenha)) senha = common::cp1252_to_utf8(*p);
  if (const char* e = std::getenv("ISC_USER"); e && *e) usuario = e;
  if (const char* e = std::getenv("ISC_PASSWORD"); e && *e) senha = e;
}

std::string TConfiguracoes::Le(std::string_view chave) const {
  common::IniFile ini(arquivo_);
  auto valor = ini.find(kSecao, chave);
  if (!valor) return Padrao(chave) == "1" ? std::string() : Padrao(chave);
  return common::cp1252_to_utf8(*valor);
}

bool TConfiguracoes::Grava(std::string_view chave, std::string_view valor) {
  common::IniFile ini(arquivo_);
  bool ok = ini.write(kSecao, chave, common::utf8_to_cp1252(valor));
  SoDoDono(arquivo_);
  return ok;
}

}  // namespace shell
