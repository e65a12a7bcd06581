#pragma once
// gerar --todas: the month's Sintegra file for every client base, one after the other.
#include <map>
#include <string>

#include "dispatcher.h"
#include "sessao.h"

namespace cli {

void AddGerarTodasCommands(Dispatcher& d, const OpcoesGlobais& g);

// The records of a Sintegra file by type ("10", "50", ...), counted from its lines.
std::map<std::string, long> ContaRegistros(const std::string& arquivo);

}  // namespace cli
