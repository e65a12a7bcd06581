#pragma once
// The checks the generation screens make of a Sintegra file, without windows: the file
// just written (its report saved beside it), any file the user names, and the file of
// type-60 and 75 records before its records are merged into a month.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "sintegra/validador.h"

namespace generation {

// Validates the file for the period (or the one its type-10 declares) and saves the report
// as Sintegra-validacao.txt in the file's folder; relatorio receives its path, empty when
// it could not be written. Raises sintegra::SintegraError when the file cannot be read.
sintegra::ResultadoValidacao ValidaESalvaRelatorio(const std::filesystem::path& arquivo,
                                                   std::optional<sintegra::Periodo> periodo,
                                                   std::filesystem::path* relatorio = nullptr);

// The findings that concern what a month takes from a file of type-60 and 75 records:
// those of its 60 and 75 lines and of lines that are no record at all. The file's own
// header and trailer are not merged, so their findings are left out (and uncounted).
sintegra::ResultadoValidacao SoRegistros60e75(const sintegra::ResultadoValidacao& r);

// Line n (from 1) of the file without its line end; empty when the file is shorter.
std::string LinhaDoArquivo(const std::filesystem::path& arquivo, std::uint64_t n);

// Two ruler lines (tens, then units) over columns 1 to largura, the line, and a marker
// line under columns inicio-fim (none when inicio is 0). Windows-1252 in, UTF-8 out.
std::string LinhaComRegua(const std::string& linha, int inicio, int fim, int largura = 126);

}  // namespace generation
