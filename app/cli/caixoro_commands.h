#pragma once
// The import from the point-of-sale program's tables: caixoro proprietario, produtos,
// importar.
#include "dispatcher.h"
#include "sessao.h"

namespace cli {

void AddCaixoroCommands(Dispatcher& dispatcher, const OpcoesGlobais& opcoes);

}  // namespace cli
