// The scale on the second serial port; it works whatever the model family.
// The routine hands the weight to the return-value writer itself, since only a complete
// reply carries one.
#include "orvik/peripherals/scale.h"

#include "dispatch.h"
#include "orvik/orvik.h"

using namespace orvik::exports;

extern "C" {

ORVIK_API int ORVIK_CALL Orvik_LeBalanca(const char* port, const char* speed, char* weight) {
  return AnyFamily(__func__, orvik::peripherals::LeBalanca, port, speed, weight);
}

}  // extern "C"
