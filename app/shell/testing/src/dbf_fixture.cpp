#include "shell/testing/dbf_fixture.h"

#include <shapefil.h>

#include <stdexcept>

namespace shell::testing {

void EscreveDbf(const std::filesystem::path& arquivo, const TabelaDbf& t) {
  // shapelib spells the extension its own way; the table is written under a work name
  // and then given the one asked for.
  const std::filesystem::path escrita = arquivo.parent_path() / "escrita-de-teste.dbf";
  DBFHandle h = DBFCreateEx(escrita.c_str(), t.pagina.c_str());
  if (!h) throw std::runtime_error("DBFCreate " + arquivo.string());
  for (const CampoDbf& c : t.campos)
    if (DBFAddNativeFieldType(h, c.nome.c_str(), c.tipo, c.largura, c.casas) < 0)
      throw std::runtime_error("DBFAddField " + c.nome);
  for (std::size_t r = 0; r < t.linhas.size(); ++r) {
    for (std::size_t f = 0; f < t.campos.size(); ++f) {
      std::string v = f < t.linhas[r].size() ? t.linhas[r][f] : std::string();
      // Numbers are right-aligned in their field, as dBase writes them.
      if (t.campos[f].tipo == 'N' && static_cast<int>(v.size()) < t.campos[f].largura)
        v.insert(0, t.campos[f].largura - v.size(), ' ');
      DBFWriteAttributeDirectly(h, static_cast<int>(r), static_cast<int>(f), v.data());
    }
  }
  for (int r : t.apagadas) DBFMarkRecordDeleted(h, r, 1);
  DBFClose(h);
  // shapelib writes a .cpg beside the table for the code page; the tables of the
  // point-of-sale program come without one.
  std::filesystem::path cpg = escrita;
  cpg.replace_extension(".cpg");
  std::error_code ec;
  std::filesystem::remove(cpg, ec);
  std::filesystem::rename(escrita, arquivo);
}

TabelaDbf TabelaProdutos(const std::vector<std::vector<std::string>>& linhas) {
  TabelaDbf t;
  t.campos = {{"PRO_PLU", 'C', 14},   {"PRO_DESCR", 'C', 40},     {"PRO_ESTQ", 'N', 12, 3},
              {"PRO_CASAD", 'N', 2},  {"PRO_PCOVEN", 'N', 12, 4}, {"PRO_PESAD", 'C', 1},
              {"PRO_TRIBUT", 'C', 3}, {"PRO_OUTRO", 'C', 5}};
  t.linhas = linhas;
  return t;
}

TabelaDbf TabelaTributos(const std::vector<std::vector<std::string>>& linhas) {
  TabelaDbf t;
  t.campos = {{"TRB_CODIGO", 'C', 3}, {"TRB_PERCEN", 'N', 6, 2}, {"TRB_TIPO", 'C', 1}};
  t.linhas = linhas;
  return t;
}

TabelaDbf TabelaDono(const std::vector<std::string>& linha) {
  TabelaDbf t;
  for (const char* n : {"PRM_CNPJ", "PRM_IE", "PRM_RAZAOS", "PRM_MUNICI", "PRM_UF", "PRM_ENDERE",
                        "PRM_NUMERO", "PRM_BAIRRO", "PRM_COMPLE", "PRM_CEP", "PRM_CEPP",
                        "PRM_CONTAT", "PRM_DDD", "PRM_FONE", "PRM_FAX"})
    t.campos.push_back({n, 'C', 50});
  if (!linha.empty()) t.linhas = {linha};
  return t;
}

}  // namespace shell::testing
