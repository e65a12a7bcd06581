#pragma once
// The two outside memory-reading libraries: libleitura.so reads the printer's memories
// into a TDM file, libato17.so turns a TDM file into the Ato 17 text file. They are loaded
// once per process and never unloaded (a reading may still be running inside them).
#include <cstdint>
#include <filesystem>
#include <string>

namespace ecf {

// The status record of DLLReadStatus: 148 bytes, little-endian 32-bit integers.
struct RegistroStatus {
  std::int32_t tamanho;  // set to 148 by the caller
  std::int32_t status;
  std::int32_t retorno;
  std::int32_t total;
  std::int32_t atual;
  char mensagem[128];  // blank-filled by the caller before each call
};
static_assert(sizeof(RegistroStatus) == 148, "the status record is 148 bytes");

struct Bibliotecas {
  using FnLeMemorias = int (*)(const char* porta, const char* arquivo, const char* serie,
                               unsigned char flag);
  using FnStatus = int (*)(RegistroStatus* registro);
  using FnCancela = int (*)();
  using FnGeraArquivo = int (*)(const char* tdm, const char* saida, const char* inicio,
                                const char* fim, char letra, const char* usuario,
                                const char* conteudo);

  FnLeMemorias DLLReadLeMemorias = nullptr;
  FnStatus DLLReadStatus = nullptr;
  FnCancela DLLReadCancelaLeitura = nullptr;  // optional: a reading then cannot be cut short
  FnGeraArquivo DLLATO17GeraArquivo = nullptr;
};

// The process's libraries, loaded on the first call: each is looked up first in the folder
// given (the driver's folder), then by name through the loader's search. Throws
// std::runtime_error with a Portuguese message naming what is missing; a failed load is
// tried again on the next call.
const Bibliotecas& CarregaBibliotecas(const std::filesystem::path& pasta);

// The file names looked up.
inline constexpr const char* kLeitura = "libleitura.so";
inline constexpr const char* kAto17 = "libato17.so";

}  // namespace ecf
