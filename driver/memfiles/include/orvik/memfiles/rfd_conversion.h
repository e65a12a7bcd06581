#pragma once
// The RFD conversion of the Lumvar printers: the detail tape of one Z (or of every Z of
// a date interval) read back into the record lines of the RFD file, merged and named in
// RFDTEMP/ and copied to PathRFD; and its settings.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "orvik/memfiles/printout_readers.h"

namespace orvik::memfiles {

// RFD_ConvertedaMFD: the Z whose CRZ is crz. 1, or the code of the first failing printer
// command; -8 (with a message) when the tape lacks what the file needs or a file cannot
// be written.
int ConverteMfd(const std::string& crz);
// RFD_ConvertedaMFDData: every Z whose movement date lies in first..last.
int ConverteMfdData(const std::string& first, const std::string& last);
// The step after a printed Z (registered with the driver core at load).
int ConvertAfterZ(int crz);
// Registers ConvertAfterZ as the after-Z step.
void RegisterAfterZConversion();

int SetaStorage(int storage);
// Also deletes RFDTEMP/LEITMF.TXT when emit is 0. Answers 1.
int SetaEmiteLmf(int emit);
int SetaTdmFlag(int tdm);
// Deletes every file of RFDTEMP/ (folders stay). Answers 1.
int ApagaArquivos();

// The state of the last conversion (for the Sintegra month path and tests).
const ConversionState& LastConversionState();

// --- pieces, pure ---------------------------------------------------------------------------

// The final file's name: prefix + last six of the fabrication number + DMA code (TDM on),
// or fabrication + "_" + movement date + "_" + hhmmss + ".TXT".
std::string FinalFileName(const ConversionState& s, bool tdm, const std::string& hhmmss);
// The CRZ range of E01 widened by the E01 line of an earlier final file (never shrunk).
void WidenCrzRange(const std::string& old_e01, long& first, long& last);
// The merge: new lines plus the old file's lines from E12 on, sorted, duplicates that
// follow each other dropped; without the TDM flag only E00-E02 and E12 on are kept.
std::vector<std::string> MergeLines(std::vector<std::string> lines,
                                    const std::vector<std::string>& old_lines, bool tdm);
// The range of CRZ numbers in a fiscal-memory reading by dates (lines after "REDUÇÕES
// DIÁRIAS" beginning with four digits and a blank); false when there is none.
bool CrzRangeOfReading(const std::vector<std::string>& lines, long& first, long& last);

}  // namespace orvik::memfiles
