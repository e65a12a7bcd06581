#include "orvik/memfiles/printout_readers.h"

#include "common/text1252.h"
#include "orvik/memfiles/printout_text.h"
#include "orvik/memfiles/rfd_lines.h"
#include "orvik/memfiles/working_folder.h"
#include "printout_lines.h"

namespace orvik::memfiles {

using namespace reading;

std::string ConversionState::Prefix() const {
  const std::string b = model_known ? brand : std::string("QVX");
  return b.substr(0, 2);
}

std::string ItemTaxCode(std::string_view printed, const ConversionState& s) {
  if (!printed.empty() && (printed[0] == 'T' || printed[0] == 'S')) {
    const int slot = SlotNumber(Cols(printed, 2, 3));
    if (slot < 0) return {};
    return Cols(printed, 2, 3) + s.slots[slot];
  }
  return Trimmed(printed.substr(0, 3));
}

// --- header -------------------------------------------------------------------------------

bool HeaderReader::Line(std::string_view line) {
  if (done_) return false;
  const std::string t = Trimmed(line);
  if (t.empty()) return true;
  if (BeginsWith(line, "CNPJ:") || t.starts_with("----------")) {
    done_ = true;
    return false;
  }
  if (seen_ == 0) {
    s_.owner_name = t.substr(0, 40);
  } else {
    s_.owner_address = (s_.owner_address + TextField(line, 48)).substr(0, 120);
  }
  if (++seen_ == 4) done_ = true;
  return !done_;
}

// --- first pass ---------------------------------------------------------------------------

void FirstPassReader::Line(std::string_view line) {
  if (common::trim(line).empty()) return;
  Remember(last_, line);
  if (Cols(line, 39, 42) == "COO:") {
    after_coo_ = true;
    in_z_ = false;
    expect_title_ = true;
    return;
  }
  if (!after_coo_) return;
  if (expect_title_) {
    if (BeginsWith(line, "GRG:") || BeginsWith(line, "CDC:")) return;
    expect_title_ = false;
    // Only a title opens the Z: an X reading's counter line names the Z too.
    in_z_ = Contains(line, Label("REDUÇÃO  Z"));
    return;
  }
  if (!in_z_) return;
  if (Col(line, 4) == '=' && (line[0] == 'T' || line[0] == 'S')) {
    const int slot = SlotNumber(Cols(line, 2, 3));
    if (slot < 0) {
      if (log_) log_("Aliquota fora da tabela ignorada: " + Trimmed(line));
      return;
    }
    s_.slots[slot] = std::string(1, line[0]) + DigitsField(Cols(line, 5, 9), 4);
  } else if (Col(line, 7) == '%' && storage_) {
    if (line[0] != 'T' && line[0] != 'S') return;
    for (std::string& slot : s_.slots) {
      if (slot != "T0000") continue;
      slot = std::string(1, line[0]) + DigitsField(Cols(line, 2, 6), 4);
      return;
    }
    if (log_) log_("Aliquota fora da tabela ignorada: " + Trimmed(line));
  } else if (BeginsWith(line, "MOVIMENTO DO DIA:")) {
    const std::string last = LastChars(Trimmed(line), 10);
    s_.movement_date = PrintedDate(last);
    if (s_.movement_date.empty() && log_) log_("Data de movimento invalida: " + Trimmed(line));
  } else if (Contains(line, "TOTALIZADOR GERAL:")) {
    s_.grand_total = DigitsField(ColsFrom(line, 20), 18);
  } else if (ModelLine(line, s_, last_)) {
  } else if (BeginsWith(line, "FAB:")) {
    ReadFab(line, s_, last_);
    fab_seen_ = !s_.fabrication.empty();
  }
}

}  // namespace orvik::memfiles
