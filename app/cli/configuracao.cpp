#include "configuracao.h"

#include <stdexcept>

#include "common/text1252.h"

namespace cli {

namespace {
constexpr const char kSecao[] = "Tributarium";
}

TConfiguracoes::TConfiguracoes(std::filesystem::path arquivo,
                               const std::filesystem::path& pasta_atual)
    : ini_(std::move(arquivo)) {
  const std::pair<const char*, std::string> padroes[] = {
      {"PathLog", (pasta_atual / "Log").string()},
      {"PathSintegra", (pasta_atual / "Sintegra").string()},
      {"PathBaseDados", (pasta_atual / "Dados").string()},
      {"IniciarBase", "1"},
      {"BaseSelecionada", ""}};
  bool tem_secao = false;
  for (const auto& s : ini_.sections()) tem_secao = tem_secao || common::iequals(s, kSecao);
  for (const auto& [chave, valor] : padroes) {
    if (tem_secao && ini_.find(kSecao, chave)) continue;
    if (!Grava(chave, valor))
      throw std::runtime_error("Não foi possível gravar o arquivo de configuração " +
                               ini_.path().string() + ".");
  }
}

std::string TConfiguracoes::Le(const std::string& chave) const {
  return common::cp1252_to_utf8(ini_.read(kSecao, chave));
}

bool TConfiguracoes::Grava(const std::string& chave, const std::string& valor) {
  return ini_.write(kSecao, chave, common::utf8_to_cp1252(valor));
}

std::string NomeDoMes(int mes) {
  static const char* const nomes[] = {"Janeiro",  "Fevereiro", "Março",    "Abril",
                                      "Maio",     "Junho",     "Julho",    "Agosto",
                                      "Setembro", "Outubro",   "Novembro", "Dezembro"};
  return mes >= 1 && mes <= 12 ? nomes[mes - 1] : "";
}

}  // namespace cli
