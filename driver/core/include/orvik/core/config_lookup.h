#pragma once
// The ORVIK.INI lookup is shared with the program (common/orvik_ini.h); the driver knows
// it by its old name.
#include "common/orvik_ini.h"

namespace orvik::core {
using ConfigLookup = common::OrvikIniLookup;
}  // namespace orvik::core
