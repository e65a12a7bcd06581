#include "shell/widgets/validacoes.h"

#include <algorithm>

#include "common/text1252.h"

namespace shell {

bool SomenteDigitos(int codigo) {
  if (codigo < 32) return true;
  if (codigo >= 48 && codigo <= 57) return true;
  if (codigo == 127 || codigo == 255) return true;
  return false;
}

bool ValidaCNPJ(std::string_view texto) {
  std::string cnpj;
  if (texto.size() == 18) {
    if (texto[2] != '.' || texto[6] != '.' || texto[10] != '/' || texto[15] != '-') return false;
    cnpj = std::string(texto.substr(0, 2)) + std::string(texto.substr(3, 3)) +
           std::string(texto.substr(7, 3)) + std::string(texto.substr(11, 4)) +
           std::string(texto.substr(16, 2));
  } else if (texto.size() == 14) {
    cnpj = std::string(texto);
  } else {
    return false;
  }
  if (cnpj == "00000000000000") return false;
  auto valor = [&](size_t i) { return (cnpj[i] >= '0' && cnpj[i] <= '9') ? cnpj[i] - '0' : 9; };
  auto digito = [&](const int* pesos, size_t n) {
    int soma = 0;
    for (size_t i = 0; i < n; ++i) soma += valor(i) * pesos[i];
    int r = soma % 11;
    return r < 2 ? 0 : 11 - r;
  };
  static const int p1[] = {5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  static const int p2[] = {6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2};
  return digito(p1, 12) == valor(12) && digito(p2, 13) == valor(13);
}

namespace {
std::string SemSeparadores(std::string_view texto) {
  std::string s;
  for (char c : texto)
    if (c != '-' && c != '.') s += c;
  return s;
}
}  // namespace

bool SaoDigitos(std::string_view texto) {
  return !texto.empty() &&
         std::all_of(texto.begin(), texto.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool ValidaTelefone(std::string_view texto) {
  if (texto.empty()) return true;
  std::string s(common::trim(SemSeparadores(texto)));
  return s.size() == 10 && SaoDigitos(s);
}

bool ValidaCEP(std::string_view texto) {
  if (texto.empty()) return true;
  std::string s = SemSeparadores(texto);
  return s.size() == 8 && SaoDigitos(s);
}

std::string SoDigitos(std::string_view texto) {
  std::string s;
  for (char c : texto)
    if (c >= '0' && c <= '9') s += c;
  return s;
}

const std::vector<std::string>& Estados() {
  static const std::vector<std::string> estados = {
      "AC", "AL", "AM", "AP", "BA", "CE", "DF", "ES", "GO", "MA", "MG", "MS", "MT", "PA",
      "PB", "PE", "PI", "PR", "RJ", "RN", "RO", "RR", "RS", "SC", "SE", "SP", "TO"};
  return estados;
}

}  // namespace shell
