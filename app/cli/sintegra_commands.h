#pragma once
// The commands of the "sintegra" group: reading and rewriting Sintegra files.
#include "dispatcher.h"

namespace cli {

void AddSintegraCommands(Dispatcher& dispatcher);

}  // namespace cli
