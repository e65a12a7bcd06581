/* sale.c: one coupon through liborvik, then its number and the grand total. */
#include <string.h>

#include "orvik_example.h"

int main(void) {
  char coo[7], grand_total[19];
  require(Orvik_ProgramaOperador("Caixa 1"), "Orvik_ProgramaOperador");
  require(Orvik_AbreCupom(""), "Orvik_AbreCupom");
  /* code, description, rate, quantity type, quantity, price decimals, price, discount type,
     discount */
  require(
      Orvik_VendeItem("7891000100103", "ARROZ TIPO 1 5KG", "18,00", "I", "1", 2, "21,90", "$", "0"),
      "Orvik_VendeItem");
  require(Orvik_VendeItem("7891000200200", "FEIJAO CARIOCA 1KG", "18,00", "I", "2", 2, "8,45", "%",
                          "10"),
          "Orvik_VendeItem");
  require(Orvik_EfetuaFormaPagamento("Dinheiro", "50,00"), "Orvik_EfetuaFormaPagamento");
  require(Orvik_TerminaFechamentoCupom("Obrigado, volte sempre!"), "Orvik_TerminaFechamentoCupom");

  /* Answer buffers: the documented width in blanks, and room for the terminating zero. */
  memset(coo, ' ', 6);
  coo[6] = '\0';
  memset(grand_total, ' ', 18);
  grand_total[18] = '\0';
  require(Orvik_NumeroCupom(coo), "Orvik_NumeroCupom");
  require(Orvik_GrandeTotal(grand_total), "Orvik_GrandeTotal");
  printf("coupon %s\ngrand total %s\n", coo, grand_total);
  return 0;
}
