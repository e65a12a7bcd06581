/* orvik.h is a C header: this file compiles it as C and checks that every name it lists
 * is declared as a function (sizeof does not evaluate, so nothing is linked). */
#include "orvik/orvik.h"

int OrvikExportsSeenFromC(void) {
  int count = 0;
#define ORVIK_EXPORT(group, name, params)             \
  {                                                   \
    typedef int(ORVIK_CALL * name##_pointer) params;  \
    count += sizeof(name##_pointer) == sizeof(&name); \
  }
#include "orvik/exports.def"
#undef ORVIK_EXPORT
  return count;
}
