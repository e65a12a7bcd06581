#include "orvik/core/after_z.h"

namespace orvik::core {

namespace {
AfterZConversion g_after_z = nullptr;
}

void SetAfterZConversion(AfterZConversion conversion) { g_after_z = conversion; }

AfterZConversion GetAfterZConversion() { return g_after_z; }

}  // namespace orvik::core
