#pragma once
// The Sintegra report from an Ato 17 text file (the printer's memories read in binary):
// SINT.TXT from the file's E01, E02 and E12-E15 records, then 60D/60R, SINTEGRA.TXT and
// the copy to the caller's file (sintegra.h).
#include <string>

#include "orvik/memfiles/sintegra.h"

namespace orvik::memfiles {

// The routine of Orvik_RelatorioSintegraMFDBinario. Answers 1 when target holds the new
// file; on every failure of its own 0 with the last return code and message set (-8 and
// "Erro no Arquivo Origem" for a source that is missing or unreadable). Runs with the
// Sintegra mode on and switches it off before it returns, whatever happens.
int RelatorioSintegraMFDBinario(int selections, const std::string& source,
                                const std::string& target, const sintegra::HeaderData& header);

// The first step alone: SINT.TXT from the lines of an Ato 17 file, with the Sintegra
// mode already on. false when source cannot be read.
bool BuildSintFromAto17(const std::string& source);

}  // namespace orvik::memfiles
