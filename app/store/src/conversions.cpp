#include "store/conversions.h"

#include <openssl/evp.h>

#include <stdexcept>

#include "common/text1252.h"

namespace store {

std::string FormataCasasDecimais(const std::string& texto, int casas) {
  if (texto.find(',') != std::string::npos || texto.find('.') != std::string::npos) return texto;
  std::size_t n = casas > 0 ? static_cast<std::size_t>(casas) : 0;
  if (texto.empty()) return "0," + std::string(n, '0');
  if (texto.size() > n)
    return texto.substr(0, texto.size() - n) + "," + texto.substr(texto.size() - n);
  return "0," + std::string(n - texto.size(), '0') + texto;
}

std::string RemoveCasasDecimais(const std::string& texto) {
  std::string s = texto;
  std::size_t p = s.find(',');
  if (p == std::string::npos) p = s.find('.');
  if (p != std::string::npos) s.erase(p, 1);
  return s;
}

std::string ValorSemVirgula(const std::string& texto) {
  std::string s = texto;
  std::size_t p = s.find(',');
  if (p == std::string::npos) return s + "00";
  if (s.size() - p - 1 == 1) s += "0";
  s.erase(p, 1);
  return s;
}

std::string MD5(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &len, EVP_md5(), nullptr) != 1)
    throw std::runtime_error("MD5 indisponível");
  static const char hex[] = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < len; ++i) {
    out += hex[digest[i] >> 4];
    out += hex[digest[i] & 15];
  }
  return out;
}

std::string DigestoSenha(const std::string& senha) {
  return MD5(common::utf8_to_cp1252(senha));
}

}  // namespace store
