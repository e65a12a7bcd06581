// Exports kept for callers of older versions that no model family implements.
#include "dispatch.h"
#include "orvik/orvik.h"

using namespace orvik::exports;
namespace core = orvik::core;

extern "C" {

ORVIK_API int ORVIK_CALL Orvik_DadosSintegra(void) {
  // The Lumvar printers name it by their own routine; the others as any missing routine.
  return Dispatch(
      __func__, [] { return core::NotImplemented("OrvikKAP_DadosSintegra "); }, kNoRoutine);
}

}  // extern "C"
