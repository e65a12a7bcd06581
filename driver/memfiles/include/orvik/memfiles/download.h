#pragma once
// The family-0 routines of the MFD download exports and of the software-basic date query,
// which reads its answer from a fiscal-memory reading captured from the line.
#include <string>
#include <vector>

namespace orvik::memfiles {

// Parameters of EmiteLeituraFitaDetalhe for a download: kind "0" the whole memory, "1"
// dates first..last, "2" COOs first..last; then Destino="S" and the user when given.
std::string DownloadParameters(const std::string& kind, const std::string& first,
                               const std::string& last, const std::string& user);

// Downloads the detail tape into file (IMPR.TXT copied there). 1 on success; the
// engine's result when the reading is refused (file deleted); the capture's result.
int DownloadMfd(const std::string& file, const std::string& kind, const std::string& first,
                const std::string& last, const std::string& user);

// Turns a capture file into target: format "1" rich text, otherwise plain text. 1, or -8
// "Erro no Arquivo Origem" when source does not exist.
int FormatoDadosMfd(const std::string& source, const std::string& target,
                    const std::string& format);

// Date (ddmmyy) and time (hhmmss) of the basic software from the lines of a fiscal-memory
// reading; both empty when the reading has no such section.
void SoftwareBasicFromLines(const std::vector<std::string>& lines, std::string& date,
                            std::string& time);

// Prints the first Z's fiscal-memory reading to the line, captures it into the Path
// folder's LEITMF.TXT and takes the basic software's date and time from it (return value
// and second return value).
int SoftwareBasicDateTime();

}  // namespace orvik::memfiles
