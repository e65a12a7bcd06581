#pragma once
// ecf portas, ecf ler: the fiscal printer's month as a file of type-60/75 records.
#include <optional>
#include <string>

#include "dispatcher.h"
#include "sessao.h"

namespace cli {

void AddEcfCommands(Dispatcher& d, const OpcoesGlobais& g);

// Reads the month from the printer on porta (the only listed port, or none, when not
// given) with the subtype mask, for the client base open in the session, and moves the
// file into the month's folder of PathSintegra. Answers the file's path; raises
// std::runtime_error with the worker's message when the reading fails or is cancelled.
std::string LeituraEcf(Sessao& s, int mes, int ano, const std::optional<std::string>& porta,
                       int mascara, Context& c, bool terminal);

}  // namespace cli
