#pragma once
// base backup, base restaurar: a client base or the catalogue to and from a backup file.
#include "dispatcher.h"
#include "sessao.h"
#include "store/backup.h"

namespace cli {

// The name that stands for the catalogue in these commands ("--catalogo"): no client base
// can be created under it, the option-like words being refused as names.
inline constexpr const char kNomeCatalogo[] = "--catalogo";

void AddCopiaSegurancaCommands(Dispatcher& d, const OpcoesGlobais& g);

// The login the session's connections to `local` use.
store::ServerLogin LoginDoServidor(Sessao& s, const std::string& local);

}  // namespace cli
