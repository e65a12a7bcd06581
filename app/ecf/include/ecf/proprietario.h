#pragma once
// The owner's ten texts for the driver's report, from the open client base.
#include "ecf/gera_sintegra_thread.h"

namespace ecf {

// All empty when the owner cannot be loaded.
TextosProprietario TextosDoProprietario();

}  // namespace ecf
