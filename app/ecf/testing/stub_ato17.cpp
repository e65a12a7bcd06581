// A stand-in for libato17.so in the reading worker's tests: StubAto17_Resultado picks
// the next conversion's answer (0 writes the file), StubAto17_Chamada tells its arguments.
#include <chrono>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace {
std::mutex m;
int resultado = 0;
int demora_ms = 0;
std::string chamada;
}  // namespace

extern "C" {

__attribute__((visibility("default"))) void StubAto17_Resultado(int r, int demora) {
  std::lock_guard lock(m);
  resultado = r;
  demora_ms = demora;
  chamada.clear();
}

__attribute__((visibility("default"))) const char* StubAto17_Chamada() {
  static std::string copia;
  std::lock_guard lock(m);
  copia = chamada;
  return copia.c_str();
}

__attribute__((visibility("default"))) int DLLATO17GeraArquivo(const char* tdm, const char* saida,
                                                               const char* inicio, const char* fim,
                                                               char letra, const char* usuario,
                                                               const char* conteudo) {
  int r, demora;
  {
    std::lock_guard lock(m);
    chamada = std::string(tdm) + "|" + saida + "|" + inicio + "|" + fim + "|" + letra + "|" +
              usuario + "|" + conteudo;
    r = resultado;
    demora = demora_ms;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(demora));
  // An error raised inside the conversion, as a library written in C++ may let one out.
  if (r == -99) throw std::runtime_error("TDM ilegivel");
  if (r == 0) {
    if (FILE* f = std::fopen(saida, "wb")) {
      std::fputs("E01stub\r\n", f);
      std::fclose(f);
    }
  }
  return r;
}
}
