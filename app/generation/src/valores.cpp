#include "generation/valores.h"

#include "store/conversions.h"

namespace generation {

namespace {

using Wide = __int128;

// a / b rounded half away from zero (b > 0).
std::int64_t DivideRounded(Wide a, Wide b) {
  Wide q = (a < 0 ? -a : a);
  q = (q + b / 2) / b;
  return static_cast<std::int64_t>(a < 0 ? -q : q);
}

}  // namespace

ErroConversao::ErroConversao(const std::string& texto)
    : std::runtime_error("'" + texto + "' não é um valor numérico válido.") {}

std::int64_t Inteiro(const std::string& texto) {
  size_t i = 0;
  bool negativo = false;
  if (i < texto.size() && (texto[i] == '-' || texto[i] == '+')) negativo = texto[i++] == '-';
  if (i == texto.size() || texto.size() - i > 18) throw ErroConversao(texto);
  std::int64_t v = 0;
  for (; i < texto.size(); ++i) {
    if (texto[i] < '0' || texto[i] > '9') throw ErroConversao(texto);
    v = v * 10 + (texto[i] - '0');
  }
  return negativo ? -v : v;
}

std::int64_t CentavosComCasas(const std::string& texto) {
  std::string decimal = store::FormataCasasDecimais(texto, 2);
  size_t sep = decimal.find_first_of(",.");
  std::string inteira = decimal.substr(0, sep);
  std::string fracao = sep == std::string::npos ? "" : decimal.substr(sep + 1);
  bool negativo = !inteira.empty() && inteira[0] == '-';
  if (negativo || (!inteira.empty() && inteira[0] == '+')) inteira.erase(0, 1);
  if (inteira.empty() && fracao.empty()) throw ErroConversao(texto);
  for (char c : fracao)
    if (c < '0' || c > '9') throw ErroConversao(texto);
  std::int64_t unidades = inteira.empty() ? 0 : Inteiro(inteira);
  if (unidades < 0) throw ErroConversao(texto);
  // Beyond the cents, the third decimal decides the rounding.
  std::int64_t centavos = 0;
  for (size_t k = 0; k < 2; ++k)
    centavos = centavos * 10 + (k < fracao.size() ? fracao[k] - '0' : 0);
  if (fracao.size() > 2 && fracao[2] >= '5') ++centavos;
  std::int64_t v = unidades * 100 + centavos;
  return negativo ? -v : v;
}

std::string TextoCentavos(std::int64_t centavos) {
  bool negativo = centavos < 0;
  std::uint64_t v = negativo ? 0 - static_cast<std::uint64_t>(centavos) : centavos;
  std::string fracao = std::to_string(v % 100);
  if (fracao.size() < 2) fracao = "0" + fracao;
  return (negativo ? "-" : "") + std::to_string(v / 100) + fracao;
}

std::int64_t AplicaAliquota(std::int64_t aliquota_centavos, std::int64_t base_centavos) {
  return DivideRounded(static_cast<Wide>(aliquota_centavos) * base_centavos, 10000);
}

std::int64_t ValorProduto(std::int64_t quantidade_milesimos, std::int64_t valor_centavos) {
  return DivideRounded(static_cast<Wide>(quantidade_milesimos) * valor_centavos, 1000);
}

}  // namespace generation
