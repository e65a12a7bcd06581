#pragma once
// Reading dBase tables (.dbf) through shapelib, from a byte range: the bytes are handed to
// shapelib through in-memory file hooks, so nothing ever opens the file for writing and a
// fuzz target can call the reader directly. Texts come out as UTF-8.
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace shell::dbase {

// A table that cannot be read: the message says which table and why (Portuguese).
class ErroDbf : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The rows of a table that are not marked deleted, with the fields asked for, in the
// order asked. Values are the field texts trimmed of blanks, converted to UTF-8 from the
// table's code page (437 or 850 when its language byte says so, otherwise Windows-1252).
struct Tabela {
  std::string nome;                 // the table's name, for messages
  std::vector<std::string> campos;  // the fields asked for
  std::vector<std::vector<std::string>> linhas;
  std::vector<int> registros;  // record number (from 1) of each row
  int total_registros = 0;     // records in the header, deleted ones too
  int codigo_pagina = 1252;

  // Index of a field among those asked for (case-blind); -1 when not asked for.
  int campo(std::string_view nome) const;
};

// Reads a table held in bytes. Every field of `campos` must exist (case-blind);
// a missing field, a header that is not a dBase one or a file shorter than its header
// says raise ErroDbf.
Tabela LeTabela(std::string_view bytes, const std::string& nome,
                const std::vector<std::string>& campos);

// The file named `nome` in `pasta`, found without regard to case; nothing when absent.
std::optional<std::filesystem::path> AchaArquivo(const std::filesystem::path& pasta,
                                                 std::string_view nome);

// Reads the table `nome` of the folder (found without regard to case, read only).
// A missing or unreadable file raises ErroDbf.
Tabela LeArquivo(const std::filesystem::path& pasta, const std::string& nome,
                 const std::vector<std::string>& campos);

// A dBase number (digits with an optional sign and decimal point) held exactly.
struct Decimal {
  bool negativo = false;
  std::string digitos;  // integer and fraction digits, without leading zeros beyond one
  int escala = 0;       // number of those digits after the point
};

enum class Leitura { Numero, Vazio, Invalido };

// Parses a numeric field: blank gives Vazio; a value filled with '*' (dBase's overflow
// mark) or anything not a number gives Invalido.
Leitura LeDecimal(std::string_view texto, Decimal& saida);

// The number rounded half away from zero to `casas` decimals, written with `separador`
// before the decimals (none when casas is 0) and no thousands separator.
std::string TextoFixo(const Decimal& d, int casas, char separador = ',');

}  // namespace shell::dbase
