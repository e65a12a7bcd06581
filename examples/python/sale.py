"""sale.py: one coupon through liborvik, then its number and the grand total."""
import sys

import orvik


def require(rc, what):
    if rc != 1:
        _, code, message = orvik.Orvik_RetornoImpressora()
        sys.exit("%s: result %d, code %d: %s" % (what, rc, code, message))


require(orvik.Orvik_ProgramaOperador("Caixa 1"), "Orvik_ProgramaOperador")
require(orvik.Orvik_AbreCupom(""), "Orvik_AbreCupom")
require(orvik.Orvik_VendeItem("7891000100103", "ARROZ TIPO 1 5KG", "18,00", "I", "1", 2, "21,90", "$", "0"),
        "Orvik_VendeItem")
require(orvik.Orvik_VendeItem("7891000200200", "FEIJÃO CARIOCA 1KG", "18,00", "I", "2", 2, "8,45", "%", "10"),
        "Orvik_VendeItem")
require(orvik.Orvik_EfetuaFormaPagamento("Dinheiro", "50,00"), "Orvik_EfetuaFormaPagamento")
require(orvik.Orvik_TerminaFechamentoCupom("Obrigado, volte sempre!"), "Orvik_TerminaFechamentoCupom")

rc, coo = orvik.Orvik_NumeroCupom()
require(rc, "Orvik_NumeroCupom")
rc, grand_total = orvik.Orvik_GrandeTotal()
require(rc, "Orvik_GrandeTotal")
print("coupon %s\ngrand total %s" % (coo, grand_total))
