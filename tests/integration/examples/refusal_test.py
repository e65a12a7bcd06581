"""The Python binding refuses a text outside Windows-1252 before it loads or calls anything."""
import os
import sys

os.environ["ORVIK_LIB"] = "/nonexistent/liborvik.so.1"  # loading it would fail with OSError
import orvik  # noqa: E402

cases = [
    (lambda: orvik.Orvik_ProgramaOperador("Caixa \u4e00"), "Orvik_ProgramaOperador: name"),
    (lambda: orvik.Orvik_VendeItem("1", "CAF\u00c9 \u2603", "18,00", "I", "1", 2, "1,00", "$", "0"),
     "Orvik_VendeItem: description"),
]
for call, said in cases:
    try:
        call()
    except ValueError as e:
        assert said in str(e) and "Windows-1252" in str(e), str(e)
    else:
        sys.exit("no ValueError for " + said)
try:
    orvik.Orvik_LinhasEntreCupons("3")
except TypeError:
    pass
else:
    sys.exit("an int parameter took a str")
print("refusals ok")
