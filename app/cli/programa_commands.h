#pragma once
// The program's operations without windows: init, the client bases and the generation.
#include "dispatcher.h"
#include "sessao.h"

namespace cli {

// The commands read the global options given here when they run.
void AddProgramaCommands(Dispatcher& dispatcher, const OpcoesGlobais& opcoes);

}  // namespace cli
