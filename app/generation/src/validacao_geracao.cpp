#include "generation/validacao_geracao.h"

#include <fstream>

#include "common/text1252.h"

namespace generation {

namespace fs = std::filesystem;

sintegra::ResultadoValidacao ValidaESalvaRelatorio(const fs::path& arquivo,
                                                   std::optional<sintegra::Periodo> periodo,
                                                   fs::path* relatorio) {
  sintegra::ResultadoValidacao r = sintegra::ValidaArquivo(arquivo, periodo);
  fs::path destino = arquivo.parent_path() / sintegra::kArquivoRelatorioValidacao;
  // The report is read on the same desktops as the file: Windows-1252, CR LF.
  std::string texto = common::utf8_to_cp1252(
      sintegra::RelatorioDeValidacao(arquivo.string(), r.achados, r.contagem));
  std::string comCrLf;
  for (char c : texto) {
    if (c == '\n') comCrLf += '\r';
    comCrLf += c;
  }
  std::ofstream out(destino, std::ios::binary | std::ios::trunc);
  out << comCrLf;
  out.close();
  if (relatorio) *relatorio = out ? destino : fs::path();
  return r;
}

sintegra::ResultadoValidacao SoRegistros60e75(const sintegra::ResultadoValidacao& r) {
  sintegra::ResultadoValidacao s;
  s.contagem.linhas = r.contagem.linhas;
  for (const sintegra::Achado& a : r.achados) {
    // The place of a line in that file does not matter: the run picks the records by kind.
    bool lugar = a.regra == "cabecalho" || a.regra == "ordem" || a.regra == "90.ultimo";
    bool registro = (a.registro.rfind("60", 0) == 0 || a.registro == "75") && !lugar;
    bool linha = a.regra == "linha.tamanho" || a.regra == "linha.fim" || a.regra == "registro.tipo";
    if (!registro && !linha) continue;
    s.achados.push_back(a);
    if (a.severidade == sintegra::Severidade::Erro)
      ++s.contagem.erros;
    else
      ++s.contagem.avisos;
  }
  return s;
}

std::string LinhaDoArquivo(const fs::path& arquivo, std::uint64_t n) {
  std::ifstream in(arquivo, std::ios::binary);
  std::string linha;
  for (std::uint64_t i = 0; i < n; ++i)
    if (!std::getline(in, linha)) return {};
  if (!linha.empty() && linha.back() == '\r') linha.pop_back();
  return linha;
}

std::string LinhaComRegua(const std::string& linha, int inicio, int fim, int largura) {
  std::string dezenas, unidades;
  for (int c = 1; c <= largura; ++c) {
    dezenas += c % 10 == 0 ? static_cast<char>('0' + c / 10 % 10) : ' ';
    unidades += static_cast<char>('0' + c % 10);
  }
  std::string s = dezenas + "\n" + unidades + "\n" + common::cp1252_to_utf8(linha) + "\n";
  if (inicio > 0)
    s += std::string(static_cast<size_t>(inicio - 1), ' ') +
         std::string(static_cast<size_t>(fim - inicio + 1), '^') + "\n";
  return s;
}

}  // namespace generation
