/* sintegra_month.c: the month's type-60 records from the detail tape into a file. */
#include "orvik_example.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: sintegra_month MONTH YEAR FILE\n");
    return 2;
  }
  /* 4 + 8 + 16: the 60D, 60I and 60R records besides 60M and 60A. */
  require(Orvik_RelatorioSintegraMFD(4 + 8 + 16, argv[3], argv[1], argv[2], "MERCADO EXEMPLO LTDA",
                                     "RUA DAS FLORES", "100", "", "CENTRO", "SAO PAULO", "01001000",
                                     "1133334444", "", "FULANO"),
          "Orvik_RelatorioSintegraMFD");
  printf("Sintegra records in %s\n", argv[3]);
  return 0;
}
