/* What every example does after a call: on a result other than 1, say the driver's code
   and message and stop. */
#ifndef ORVIK_EXAMPLE_H
#define ORVIK_EXAMPLE_H
#include <orvik/orvik.h>
#include <stdio.h>
#include <stdlib.h>

static void require(int rc, const char* what) {
  if (rc == 1) return;
  int code = 0;
  char message[1024] = "";
  Orvik_RetornoImpressora(&code, message);
  fprintf(stderr, "%s: result %d, code %d: %s\n", what, rc, code, message);
  exit(1);
}

#endif
