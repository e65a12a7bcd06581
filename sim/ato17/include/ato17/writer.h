#pragma once
// The Ato 17 writer of libato17: the records of the TDM's dump image as Ato COTEPE/ICMS
// 17/04 lines. A pure function of the parsed TDM and the request, so it is tested without
// files. This is the outside library's own writer; it shares no code with the driver.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "leitura/tdm.h"

namespace ato17 {

struct Request {
  std::string first, last;  // as given
  char kind = 'M';          // 'D', 'M' or 'C'
  std::string user = "01";
  std::string content = "TDM";  // "TDM", "MF" or "MFD"
};

struct Output {
  int code = 0;  // ATO17_* of ato17.h
  std::string text;
  std::vector<std::string> lines;  // sorted, without line ends
};

// The date of a text in YYYYMMDD, ddmmyyyy or dd/mm/yyyy, as yyyymmdd; nothing when it is
// none of them or not a calendar date.
std::optional<std::string> IntervalDate(std::string_view text);

// The Ato 17 lines for the request.
Output Generate(const leitura::Tdm& tdm, const leitura::DumpImage& image, const Request& request);

// Reads, converts and writes (through a scratch name); answers ATO17_*.
int GenerateFile(const std::string& binary_file, const std::string& text_file,
                 const Request& request);

}  // namespace ato17
