#pragma once
// Writes dBase tables with shapelib for the import tests, field bytes exactly as given.
#include <filesystem>
#include <string>
#include <vector>

namespace shell::testing {

struct CampoDbf {
  std::string nome;
  char tipo;  // 'C' or 'N'
  int largura;
  int casas = 0;
};

struct TabelaDbf {
  std::vector<CampoDbf> campos;
  std::vector<std::vector<std::string>> linhas;  // Windows-1252 (or DOS) bytes per field
  std::vector<int> apagadas;                     // row indexes marked deleted
  std::string pagina = "LDID/87";                // language byte as shapelib names it
};

void EscreveDbf(const std::filesystem::path& arquivo, const TabelaDbf& t);

// The three tables as the point-of-sale program lays them out, with the given rows.
TabelaDbf TabelaProdutos(const std::vector<std::vector<std::string>>& linhas);
TabelaDbf TabelaTributos(const std::vector<std::vector<std::string>>& linhas);
TabelaDbf TabelaDono(const std::vector<std::string>& linha);

}  // namespace shell::testing
