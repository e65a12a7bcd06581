"""closing.py: the day's Z reduction, then the RFD file of that reduction."""
import sys

import orvik


def require(rc, what):
    if rc != 1:
        _, code, message = orvik.Orvik_RetornoImpressora()
        sys.exit("%s: result %d, code %d: %s" % (what, rc, code, message))


require(orvik.Orvik_ReducaoZ("", ""), "Orvik_ReducaoZ")
rc, crz = orvik.Orvik_NumeroReducoes()
require(rc, "Orvik_NumeroReducoes")
require(orvik.RFD_ConvertedaMFD(crz), "RFD_ConvertedaMFD")
print("reduction %s\nRFD written" % crz)
