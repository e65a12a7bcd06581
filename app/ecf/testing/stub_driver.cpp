// A stand-in for liborvik.so in the reading worker's tests: the entry points the worker
// looks up, steered by environment variables and compiled without one of them for the
// missing-export cases. Every call is appended to $STUB_ORVIK_LOG.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#define API extern "C" __attribute__((visibility("default")))

namespace {

std::string Env(const char* nome, const char* padrao) {
  const char* v = std::getenv(nome);
  return v ? v : padrao;
}

void Log(const std::string& linha) {
  std::string f = Env("STUB_ORVIK_LOG", "");
  if (f.empty()) return;
  std::ofstream(f, std::ios::app) << linha << "\n";
}

}  // namespace

API int Orvik_RetornoImpressora(int* codigo, char* texto) {
  Log("RetornoImpressora");
  *codigo = std::atoi(Env("STUB_ORVIK_RETORNO_CODIGO", "0").c_str());
  std::string t = Env("STUB_ORVIK_RETORNO_TEXTO", "");
  std::memcpy(texto, t.c_str(), t.size() + 1);
  return 1;
}

#ifndef SEM_ABRE
API int Orvik_AbrePortaSerial() {
  Log("AbrePortaSerial");
  return std::atoi(Env("STUB_ORVIK_ABRE", "1").c_str());
}
#endif

#ifndef SEM_VERIFICA
API int Orvik_VerificaImpressoraLigada() {
  Log("VerificaImpressoraLigada");
  return 1;
}
#endif

#ifndef SEM_NUMERO_SERIE
API int Orvik_NumeroSerie(char* serie) {
  // The caller's buffer holds 21 blanks: check them before writing over them.
  bool brancos = true;
  for (int i = 0; i < 21; ++i) brancos = brancos && serie[i] == ' ';
  Log(std::string("NumeroSerie brancos=") + (brancos ? "21" : "nao"));
  std::string s = Env("STUB_ORVIK_SERIE", "AB1234567890");
  std::memcpy(serie, s.data(), s.size());
  return std::atoi(Env("STUB_ORVIK_SERIE_RESULTADO", "1").c_str());
}
#endif

API int Orvik_RelatorioSintegraMFD(int, const char*, const char*, const char*, const char*,
                                   const char*, const char*, const char*, const char*, const char*,
                                   const char*, const char*, const char*, const char*) {
  Log("RelatorioSintegraMFD");
  return 0;
}

#ifndef SEM_BINARIO
API int Orvik_RelatorioSintegraMFDBinario(int mascara, const char* origem, const char* destino,
                                          const char* empresa, const char* rua, const char* numero,
                                          const char* complemento, const char* bairro,
                                          const char* cidade, const char* cep, const char* telefone,
                                          const char* fax, const char* contato) {
  Log("RelatorioSintegraMFDBinario " + std::to_string(mascara) + "|" + origem + "|" + destino +
      "|" + empresa + "|" + rua + "|" + numero + "|" + complemento + "|" + bairro + "|" + cidade +
      "|" + cep + "|" + telefone + "|" + fax + "|" + contato);
  std::string modo = Env("STUB_ORVIK_RELATORIO", "ok");
  if (modo == "falha") return 0;
  if (modo == "ok") {
    std::ofstream f(destino, std::ios::binary);
    f << "stub sintegra from " << origem << "\r\n";
  }
  // "copia:FILE" leaves a copy of FILE as the report.
  if (modo.rfind("copia:", 0) == 0) {
    std::ifstream in(modo.substr(6), std::ios::binary);
    std::ofstream(destino, std::ios::binary) << in.rdbuf();
  }
  return 1;
}
#endif
