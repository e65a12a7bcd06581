#include "ecf/bibliotecas.h"

#include <dlfcn.h>

#include <mutex>
#include <stdexcept>

namespace ecf {

namespace {

void* Abre(const std::filesystem::path& pasta, const char* nome) {
  std::error_code ec;
  if (!pasta.empty() && std::filesystem::exists(pasta / nome, ec))
    if (void* h = ::dlopen((pasta / nome).c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
  void* h = ::dlopen(nome, RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* erro = ::dlerror();
    throw std::runtime_error(std::string("A biblioteca ") + nome +
                             " não foi encontrada.\nVerifique se ela está na mesma pasta da "
                             "liborvik.so ou nas pastas de bibliotecas do sistema." +
                             (erro ? std::string("\n") + erro : std::string()));
  }
  return h;
}

template <typename F>
F Funcao(void* h, const char* biblioteca, const char* nome, bool obrigatoria) {
  void* f = ::dlsym(h, nome);
  if (!f && obrigatoria)
    throw std::runtime_error(std::string("A função ") + nome + " não foi encontrada em " +
                             biblioteca + ".");
  return reinterpret_cast<F>(f);
}

}  // namespace

const Bibliotecas& CarregaBibliotecas(const std::filesystem::path& pasta) {
  static std::mutex m;
  static Bibliotecas b;
  static bool carregadas = false;
  std::lock_guard lock(m);
  if (carregadas) return b;
  // Handles are kept for the life of the process on purpose.
  void* leitura = Abre(pasta, kLeitura);
  void* ato17 = Abre(pasta, kAto17);
  Bibliotecas n;
  n.DLLReadLeMemorias =
      Funcao<Bibliotecas::FnLeMemorias>(leitura, kLeitura, "DLLReadLeMemorias", true);
  n.DLLReadStatus = Funcao<Bibliotecas::FnStatus>(leitura, kLeitura, "DLLReadStatus", true);
  n.DLLReadCancelaLeitura =
      Funcao<Bibliotecas::FnCancela>(leitura, kLeitura, "DLLReadCancelaLeitura", false);
  n.DLLATO17GeraArquivo =
      Funcao<Bibliotecas::FnGeraArquivo>(ato17, kAto17, "DLLATO17GeraArquivo", true);
  b = n;
  carregadas = true;
  return b;
}

}  // namespace ecf
