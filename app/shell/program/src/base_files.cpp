#include "shell/program/base_files.h"

#include <filesystem>

#include "common/files.h"
#include "store/data_module.h"

namespace fs = std::filesystem;

namespace shell {

bool CopiaArquivos(const std::string& path_base_dados, const std::string& destino) {
  std::error_code ec;
  fs::path origem = fs::path(path_base_dados) / store::kTemplateFolder;
  if (!fs::is_directory(origem, ec) || destino.empty()) return false;
  fs::path alvo(destino);
  if (fs::exists(alvo / store::kDataFile, ec)) return false;
  const bool criada = !fs::exists(alvo, ec);
  fs::create_directories(alvo, ec);
  if (ec) return false;
  fs::copy(origem, alvo, fs::copy_options::recursive | fs::copy_options::skip_existing, ec);
  if (!ec && fs::exists(alvo / store::kDataFile, ec)) return true;
  // A half-made copy would look like a base; only a folder made here is removed.
  if (criada) fs::remove_all(alvo, ec);
  return false;
}

bool NomeDePasta(const std::string& nome) {
  return !nome.empty() && nome != "." && nome != ".." && nome.find('/') == std::string::npos;
}

bool RemoveArquivos(const std::string& path, const std::string& nome) {
  if (nome.empty()) return true;
  auto pasta = common::find_case_blind(fs::path(path), nome);
  std::error_code ec;
  if (!pasta || !fs::is_directory(*pasta, ec)) return true;
  fs::remove_all(*pasta, ec);
  return !ec;
}

}  // namespace shell
