// The load-time step: the driver reads its configuration once, before any export runs.
#include <cstdio>
#include <exception>

#include "orvik/core/state.h"
#include "orvik/memfiles/rfd_conversion.h"

namespace {

__attribute__((constructor)) void LoadDriver() {
  try {
    orvik::core::Startup();
    // The Z asks for the day's RFD file through this step when GERA_RFD_REDZ is "1".
    orvik::memfiles::RegisterAfterZConversion();
  } catch (const std::exception& e) {
    // A host must be able to load the driver whatever its configuration says.
    std::fprintf(stderr, "liborvik: start-up failed: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "liborvik: start-up failed\n");
  }
}

}  // namespace
