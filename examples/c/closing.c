/* closing.c: the day's Z reduction, then the RFD file of that reduction. */
#include <string.h>

#include "orvik_example.h"

int main(void) {
  char crz[5];
  /* No date or time: the printer keeps its clock (or CorrigeRelogioZ sets it). */
  require(Orvik_ReducaoZ("", ""), "Orvik_ReducaoZ");
  memset(crz, ' ', 4);
  crz[4] = '\0';
  require(Orvik_NumeroReducoes(crz), "Orvik_NumeroReducoes");
  /* The RFD file of this reduction, written into PathRFD. */
  require(RFD_ConvertedaMFD(crz), "RFD_ConvertedaMFD");
  printf("reduction %s\nRFD written\n", crz);
  return 0;
}
