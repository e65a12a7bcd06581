#pragma once
// The Sintegra report of a month from the detail tape: every Z of the month through the
// RFD conversion, which in the Sintegra mode also hands its records over as keyed lines.
#include <string>

#include "orvik/memfiles/printout_readers.h"
#include "orvik/memfiles/sintegra.h"

namespace orvik::memfiles {

// Orvik_RelatorioSintegraMFD: converts the month and, when that answers 1, copies
// SINTEGRA.TXT to target. Answers the conversion's code (-8 when the month or year is not
// a date, or the result cannot be assembled or copied).
int RelatorioSintegraMfd(int selections, const std::string& target, const std::string& month,
                         const std::string& year, const sintegra::HeaderData& header);

// Sintegra_ApagaFiles: deletes SINT.TXT and SINTEGRA.TXT from the working folder.
int ApagaArquivosSintegra();

// The keyed lines of one document as the conversion writes it out: 60M for the Z, 60A
// for its totalizers (ISS, CANC and DESC summed, AT/AS and OPNF left out), 60I and 75 for
// the items (cancelled ones under CANC). Appended to SINT.TXT; false when it cannot be.
bool AppendSintegraLines(const ConversionState& state, const ReadDocument& document);

}  // namespace orvik::memfiles
