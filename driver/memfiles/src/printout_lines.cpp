#include "printout_lines.h"

#include "common/text1252.h"
#include "orvik/memfiles/printout_text.h"
#include "orvik/memfiles/rfd_lines.h"
#include "orvik/memfiles/working_folder.h"

namespace orvik::memfiles::reading {

void Remember(std::vector<std::string>& last, std::string_view line) {
  if (last.size() == kLastLines) last.erase(last.begin());
  last.emplace_back(line);
}

std::string Trimmed(std::string_view s) {
  return std::string(common::trim(s));
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

long long Number(std::string_view digits) {
  long long v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') continue;
    if (v > 99'999'999'999'999'999LL / 10) break;  // far beyond any field
    v = v * 10 + (c - '0');
  }
  return v;
}

// The word after a label somewhere in the last lines ("VERSÃO:01.00.08" -> "01.00.08").
std::string WordAfter(const std::vector<std::string>& last, std::string_view label) {
  for (auto it = last.rbegin(); it != last.rend(); ++it) {
    const size_t at = it->find(label);
    if (at == std::string::npos) continue;
    const std::string rest = it->substr(at + label.size());
    const auto words = Words(rest);
    return words.empty() ? std::string() : words.front();
  }
  return {};
}

// The model lines the readers know; true when the line is one of them.
bool ModelLine(std::string_view line, ConversionState& s, const std::vector<std::string>& last) {
  struct Model {
    const char* text;
    const char* brand;
    const char* model;
    const char* type;
    int layout;  // 0 keeps the current layout kind
  };
  static const Model kModels[] = {
      {"ORVIK      GW3                  ECF-PDV", "ORVIK", "GW3", "ECF-PDV", 2},
      {"ORVIK      R7                    ECF-IF", "ORVIK", "R7", "ECF-IF", 2},
      {"QVX        QVX/1KAP LOGGER      ECF-IF", "QVX", "QVX/1KAP LOGGER", "ECF-IF", 0},
      {"QVX        QVX/2DMR LOGGER      ECF-IF", "QVX", "QVX/2DMR LOGGER", "ECF-IF", 0},
      {"QVX        QVX-730               ECF-IF", "QVX", "QVX-730", "ECF-IF", 0},
      {"ORVIK      QM 4100XR", "ORVIK", "QM 4100XR", "ECF-IF", 0},
      {"ORVIK      ORVIK KAP", "ORVIK", "ORVIK KAP", "ECF-IF", 0},
  };
  for (const Model& m : kModels) {
    if (!Contains(line, m.text)) continue;
    s.brand = m.brand;
    s.model = m.model;
    s.ecf_type = m.type;
    s.model_known = true;
    if (m.layout) s.layout = m.layout;
    if (std::string_view(m.model) == "ORVIK KAP") {
      const std::string v = WordAfter(last, Label("VERSÃO:"));
      if (!v.empty()) s.software_version = v;
    }
    return true;
  }
  return false;
}

void ModelFromLast(ConversionState& s, const std::vector<std::string>& last) {
  for (const std::string& line : last)
    if (ModelLine(line, s, last)) return;
}

// "FAB:" + fabrication number (columns 5-25), with a trailing A or B as the
// additional-MF letter; the software version is read again from the last lines.
void ReadFab(std::string_view line, ConversionState& s, const std::vector<std::string>& last) {
  std::string fab = Trimmed(Cols(line, 5, 25));
  s.additional_mf = " ";
  if (!fab.empty() && (fab.back() == 'A' || fab.back() == 'B')) {
    s.additional_mf = std::string(1, fab.back());
    fab.pop_back();
    fab = Trimmed(fab);
  }
  s.fabrication = fab;
  const std::string v = WordAfter(last, Label("VERSÃO:"));
  if (!v.empty()) s.software_version = v;
  if (s.software_version == "01.00.00") s.layout = 0;
}

// A slot number in two columns, 00-15; -1 otherwise.
int SlotNumber(std::string_view two) {
  if (two.size() != 2 || !AllDigits(two)) return -1;
  const int n = (two[0] - '0') * 10 + (two[1] - '0');
  return n <= 15 ? n : -1;
}

// "dd/mm/yyyy" somewhere in a line: a '/' with another three columns later.
std::string DateInLine(std::string_view line) {
  for (size_t i = 2; i + 3 < line.size(); ++i)
    if (line[i] == '/' && line[i + 3] == '/') return PrintedDate(line.substr(i - 2, 10));
  return {};
}

// "hh:mm:ss": any ':' with another three columns later (a label's colon before it, as
// in "OPERADOR:", is passed over).
std::string TimeInLine(std::string_view line) {
  for (size_t i = 2; i + 3 < line.size(); ++i) {
    if (line[i] != ':' || line[i + 3] != ':') continue;
    const std::string t = PrintedTime(line.substr(i - 2, 8));
    if (!t.empty()) return t;
  }
  return {};
}

// Quantity and unit from one word ("2,000KG"): leading digits, commas and points are
// the quantity (three decimals), the rest the unit.
void SplitQuantity(std::string_view word, ItemRecord& item) {
  size_t n = 0;
  while (n < word.size() &&
         ((word[n] >= '0' && word[n] <= '9') || word[n] == ',' || word[n] == '.'))
    ++n;
  std::string qty(word.substr(0, n));
  std::string unit(word.substr(n));
  const size_t comma = qty.find(',');
  std::string digits;
  if (comma == std::string::npos) {
    digits = DigitsOf(qty) + "000";
  } else {
    std::string whole = DigitsOf(qty.substr(0, comma));
    std::string decimals = DigitsOf(qty.substr(comma + 1));
    if (decimals.size() > 3) {
      unit = decimals.substr(3) + unit;
      decimals.resize(3);
    }
    while (decimals.size() < 3) decimals += '0';
    digits = whole + decimals;
  }
  if (digits == "000") digits = "1000";
  item.quantity = DigitsField(digits, 7);
  item.unit = unit.substr(0, 3);
}

std::string Joined(const std::vector<std::string>& words, size_t from, size_t to) {
  std::string out;
  for (size_t i = from; i < to && i < words.size(); ++i) out += (out.empty() ? "" : " ") + words[i];
  return out;
}

std::string AmountDigits(std::string_view word) {
  return DigitsOf(word);
}

}  // namespace orvik::memfiles::reading
