// A dBase table from a client's point-of-sale folder: it is read, or refused with the
// reader's own error; rows hold exactly the fields asked for; numbers parse exactly or not.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "shell/import/caixoro.h"
#include "shell/import/dbase.h"

namespace {

void Read(std::string_view bytes, const std::vector<std::string>& campos) {
  try {
    const auto t = shell::dbase::LeTabela(bytes, "Fuzz.dbf", campos);
    FUZZ_CHECK(t.linhas.size() == t.registros.size());
    FUZZ_CHECK(t.linhas.size() <= static_cast<size_t>(t.total_registros));
    for (const auto& linha : t.linhas) {
      FUZZ_CHECK(linha.size() == campos.size());
      for (const std::string& valor : linha) {
        shell::dbase::Decimal d;
        shell::dbase::LeDecimal(valor, d);
      }
    }
  } catch (const shell::dbase::ErroDbf&) {
    // The reader's message for a table it cannot read.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Read(bytes, {});
  Read(bytes, shell::caixoro::CamposProdutos());
  Read(bytes, shell::caixoro::CamposTributos());
  Read(bytes, shell::caixoro::CamposDono());
  return 0;
}
