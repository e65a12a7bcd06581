"""sintegra_month.py MONTH YEAR FILE: the month's type-60 records from the detail tape."""
import sys

import orvik

if len(sys.argv) != 4:
    sys.exit("usage: sintegra_month.py MONTH YEAR FILE")
month, year, target = sys.argv[1:]
# 4 + 8 + 16: the 60D, 60I and 60R records besides 60M and 60A.
rc = orvik.Orvik_RelatorioSintegraMFD(4 + 8 + 16, target, month, year, "MERCADO EXEMPLO LTDA",
                                      "RUA DAS FLORES", "100", "", "CENTRO", "SÃO PAULO",
                                      "01001000", "1133334444", "", "FULANO")
if rc != 1:
    _, code, message = orvik.Orvik_RetornoImpressora()
    sys.exit("Orvik_RelatorioSintegraMFD: result %d, code %d: %s" % (rc, code, message))
print("Sintegra records in %s" % target)
