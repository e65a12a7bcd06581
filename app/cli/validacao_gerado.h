#pragma once
// The check of a Sintegra file a run has just written: the same validator as
// "sintegra validar", its counts and the first errors told on the error stream, so that a
// script reading the file's path from the output stream keeps working.
#include <ostream>
#include <string>

#include "sintegra/validador.h"

namespace cli {

// Validates the file for the month and tells err what was found: up to a few errors, then
// "Validação: N erros e M avisos" and, when there are errors, that the file was written
// all the same. A file that cannot be read is told as such and counts as one error.
sintegra::ContagemAchados ValidaArquivoGerado(const std::string& arquivo, int mes, int ano,
                                              std::ostream& err);

}  // namespace cli
