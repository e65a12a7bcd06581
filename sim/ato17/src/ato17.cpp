// libato17.so: the C entry of the Ato 17 writer.
#include "ato17/ato17.h"

#include "ato17/writer.h"

// The Windows build defines it as an export of the DLL.
#ifndef ATO17_API
#define ATO17_API extern "C" __attribute__((visibility("default")))
#endif

ATO17_API int DLLATO17GeraArquivo(const char* binary_file, const char* text_file, const char* first,
                                  const char* last, char interval_kind, const char* user,
                                  const char* content) {
  if (!binary_file || !text_file || !first || !last || !user || !content || !*text_file)
    return ATO17_ERRO_ARGUMENTOS;
  try {
    return ato17::GenerateFile(binary_file, text_file,
                               ato17::Request{first, last, interval_kind, user, content});
  } catch (...) {
    // Nothing may cross the C boundary; running out of memory counts as a bad input.
    return ATO17_ERRO_TDM_INVALIDO;
  }
}
