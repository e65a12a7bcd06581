/* A host program built against the installed tree only: its header from
   `pkg-config --cflags orvik` (or find_package(Orvik)), its library from the installed
   liborvik.so. It calls an export that needs no printer and prints what it answered. */
#include <orvik/orvik.h>
#include <stdio.h>

int main(void) {
  int code = 0;
  char message[1024] = "";
  int result = Orvik_ProgramaBaudRate("4800");
  Orvik_RetornoImpressora(&code, message);
  printf("result %d, last return code %d, last message %s\n", result, code, message);
  return result == 0 && code == -7 ? 0 : 1;
}
