// A stand-in for libleitura.so in the reading worker's tests. The test picks what the
// next reading does with StubLeitura_Cenario and reads the arguments it got back.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

namespace {

struct Estado {
  int status = 0, retorno = 0, total = 0, atual = 0;
  std::string mensagem;
};

std::mutex m;
Estado estado;
std::string cenario = "ok";
std::string chamada;
bool cancelada = false;
int leituras_status = 0;

void Define(int status, int retorno, int total, int atual, const std::string& mensagem) {
  std::lock_guard lock(m);
  estado = {status, retorno, total, atual, mensagem};
}

void Pausa(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool Cancelada() {
  std::lock_guard lock(m);
  return cancelada;
}

void Leitura(std::string arquivo, std::string c) {
  Define(96, 0, 0, 0, "Iniciando leitura");
  Pausa(30);
  if (c == "mudo") {
    // The printer answers the first chunk and then nothing more.
    Define(112, 0, 1024, 25, "Lendo memorias");
    while (!Cancelada()) Pausa(10);
    Define(768, 7, 1024, 25, "Leitura cancelada");
    return;
  }
  for (int i = 1; i <= 4; ++i) {
    Define(112, 0, 1024 * i, 25 * i, "Lendo memorias");
    Pausa(30);
  }
  if (c == "falha") {
    Define(768, 5, 4096, 100, "ECF nao responde");
    return;
  }
  if (FILE* f = std::fopen(arquivo.c_str(), "wb")) {
    std::fputs("TDM stub", f);
    std::fclose(f);
  }
  Define(256, 0, 4096, 100, "Leitura concluida");
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void StubLeitura_Cenario(const char* c) {
  std::lock_guard lock(m);
  cenario = c;
  cancelada = false;
  chamada.clear();
  if (cenario == "velho256") estado = {256, 0, 4096, 100, "Leitura concluida"};
  if (cenario == "recusa" || cenario == "parado") estado = {};
}

// Status left as it is before the next reading (an earlier reading's).
__attribute__((visibility("default"))) void StubLeitura_Status(int status, int retorno,
                                                               const char* mensagem) {
  std::lock_guard lock(m);
  estado = {status, retorno, 0, 0, mensagem};
}

__attribute__((visibility("default"))) const char* StubLeitura_Chamada() {
  static std::string copia;
  std::lock_guard lock(m);
  copia = chamada;
  return copia.c_str();
}

__attribute__((visibility("default"))) int StubLeitura_Cancelada() {
  return Cancelada() ? 1 : 0;
}

__attribute__((visibility("default"))) int DLLReadDefineBaudRate(int) {
  return 0;
}

__attribute__((visibility("default"))) int DLLReadLeMemorias(const char* porta, const char* arquivo,
                                                             const char* serie,
                                                             unsigned char flag) {
  std::string c;
  {
    std::lock_guard lock(m);
    chamada = std::string(porta) + "|" + arquivo + "|" + serie + "|" + std::to_string(flag);
    c = cenario;
    cancelada = false;
  }
  // A program run by a test takes its scenario from the environment.
  if (const char* e = std::getenv("STUB_LEITURA_CENARIO")) c = e;
  if (c == "recusa") return 9;
  // A stale done status, and a reading that never starts.
  if (c == "velho256" || c == "parado") return 0;
  std::thread(Leitura, std::string(arquivo), c).detach();
  return 0;
}

__attribute__((visibility("default"))) int DLLReadStatus(void* registro) {
  unsigned char* r = static_cast<unsigned char*>(registro);
  std::lock_guard lock(m);
  ++leituras_status;
  std::int32_t v[4] = {estado.status, estado.retorno, estado.total, estado.atual};
  std::memcpy(r + 4, v, sizeof v);
  // The text fills the field to its very end when long enough: no NUL is left.
  std::string t = estado.mensagem;
  if (t.size() > 128) t.resize(128);
  std::memcpy(r + 20, t.data(), t.size());
  return 0;
}

__attribute__((visibility("default"))) int DLLReadCancelaLeitura() {
  std::lock_guard lock(m);
  cancelada = true;
  return 0;
}
}
