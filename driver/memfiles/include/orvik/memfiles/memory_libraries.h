#pragma once
// The two outside memory-reading libraries behind the driver's binary exports: the
// reading library (libleitura.so) reads the printer's memories into a TDM file, the
// conversion library (libato17.so) turns that into an Ato 17 text file. Both are looked
// up first in the folder of liborvik.so, then by name, loaded once and never unloaded.
// Also the PAF-RJ conversion of an Ato 17 file.
#include <stdexcept>
#include <string>

namespace orvik::memfiles {

// The loaded libraries and the port settings handed to them. Created on first use; a
// failed load throws and is tried again by the next call.
class TQVXDlls {
 public:
  // The one instance; throws std::runtime_error with the loading text when a library
  // cannot be loaded.
  static TQVXDlls& Instance();

  // A function of the reading (leitura = true) or conversion library, looked up at each
  // call; throws when the library lacks it.
  void* Function(bool leitura, const char* name) const;

  const std::string& port_name() const { return port_name_; }
  int baud() const { return baud_; }

 private:
  TQVXDlls();
  void* leitura_ = nullptr;
  void* ato17_ = nullptr;
  std::string port_name_;
  int baud_ = 0;
};

// File names (or paths) the loader tries in place of libleitura.so and libato17.so; empty
// texts restore them. For tests, before the first load.
void SetMemoryLibraryNames(std::string leitura, std::string ato17);

// The routines of the exports. Each writes the log lines of its export; an error inside
// (a library that cannot be loaded or lacks a function, an unreadable file) is reported on
// standard error and in the log and answers 0.
int LeMemoriasBinario(const std::string& binary_file, const std::string& serial, int flag);
int GeraArquivoATO17Binario(const std::string& binary_file, const std::string& text_file,
                            const std::string& first, const std::string& last,
                            const std::string& interval_kind, const std::string& user,
                            const std::string& content_kind);
int LeStatusGeraBinario(int* state, int* error, int* size_read, int* progress, char* text);
int CancelaLeituraBinario();
int GeraRFDBinario(const std::string& first, const std::string& last, int interval_type,
                   int content_type, char* file);
int GeraRFDBinarioRJ(const std::string& first, const std::string& last, int interval_type);
int ConverteATO17ParaPAFRJ(const std::string& file);

}  // namespace orvik::memfiles
