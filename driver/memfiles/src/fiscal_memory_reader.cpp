#include "common/text1252.h"
#include "orvik/memfiles/printout_readers.h"
#include "orvik/memfiles/printout_text.h"
#include "orvik/memfiles/rfd_lines.h"
#include "orvik/memfiles/working_folder.h"
#include "printout_lines.h"

namespace orvik::memfiles {

using namespace reading;

// --- fiscal-memory reading ----------------------------------------------------------------

std::string FiscalMemoryReader::Head() const {
  return EcfHead(s_);
}

void FiscalMemoryReader::Line(std::string_view line) {
  if (closed_) return;
  const std::string t = Trimmed(line);
  if (t.empty()) return;
  if (Contains(line, Label("REDUÇÕES DIÁRIAS"))) {
    out_(LineE02(s_));
    owner_written_ = true;
    closed_ = true;
    return;
  }
  if (Contains(line, Label("USUÁRIOS"))) {
    section_ = Section::kUsers;
    return;
  }
  if (Contains(line, Label("CODIFICAÇÃO GT:"))) {
    section_ = Section::kGtCoding;
    return;
  }
  if (Contains(line, Label("SOFTWARE BÁSICO:"))) {
    section_ = Section::kSoftware;
    return;
  }
  if (Contains(line, Label("REINICIO  OPERAÇÃO"))) {
    section_ = Section::kRestarts;
    return;
  }
  if (Contains(line, Label("IMPRESSÃO FITA DETALHE"))) {
    section_ = Section::kDetailTapes;
    return;
  }
  // Lines that make their record wherever they stand; they also end the software list.
  if (BeginsWith(line, "MOEDA:")) {
    section_ = Section::kNone;
    const std::string date = PrintedDate(Cols(line, 12, 21));
    out_(LineE06(Head(), s_.owner_cnpj, date, Cols(line, 23, 30), Trimmed(Cols(line, 7, 10))));
    return;
  }
  if (BeginsWith(line, "MFD:")) {
    section_ = Section::kNone;
    out_(LineE08(Head(), s_.owner_cnpj, Trimmed(ColsFrom(line, 6))));
    return;
  }
  if (t.starts_with("----------")) return;
  const bool wide = s_.layout == 0;
  switch (section_) {
    case Section::kNone:
      return;
    case Section::kUsers:
      if (BeginsWith(line, "Usuario:")) {
        s_.user_number = wide ? Cols(line, 10, 11) : Cols(line, 9, 10);
        s_.owner_cro = wide ? Cols(line, 19, 21) : Cols(line, 17, 19);
        s_.registration_date = PrintedDate(wide ? Cols(line, 27, 36) : Cols(line, 22, 31));
        s_.registration_time = DigitsOf(wide ? Cols(line, 40, 47) : Cols(line, 34, 41));
      } else if (BeginsWith(line, "CNPJ:")) {
        s_.owner_cnpj = DigitsOf(Cols(line, 8, 27));
      } else if (BeginsWith(line, "IE:")) {
        const std::string digits = DigitsOf(Cols(line, 8, 27));
        s_.owner_ie = digits.empty() ? Trimmed(Cols(line, 8, 27)) : digits;
      }
      return;
    case Section::kGtCoding:
      if (BeginsWith(line, "a partir de")) {
        gt_coding_date_ = PrintedDate(Cols(line, 13, 22));
        gt_coding_time_ = DigitsOf(Cols(line, 24, 31));
        gt_coding_next_ = true;
      } else if (gt_coding_next_) {
        gt_coding_next_ = false;
        std::string letters;
        const size_t step = wide ? 5 : 4;
        for (size_t col = 3; letters.size() < 10; col += step)
          letters += Col(line, col) ? Col(line, col) : ' ';
        out_(LineE05(Head(), s_.owner_cnpj, gt_coding_date_, gt_coding_time_, letters));
      }
      return;
    case Section::kSoftware: {
      const std::string date = PrintedDate(Cols(line, 10, 19));
      out_(LineE07(Head(), Trimmed(Cols(line, 1, 8)), date));
      s_.software_date = date;
      s_.software_time = DigitsOf(Cols(line, 23, 30));
      return;
    }
    case Section::kRestarts: {
      const size_t step = wide ? 30 : 26;
      for (size_t entry = 1; entry <= line.size(); entry += step) {
        const std::string cro = Cols(line, entry, entry + 2);
        if (cro.size() != 3 || !AllDigits(cro)) continue;
        const std::string date = PrintedDate(Cols(line, entry + 5, entry + 14));
        const std::string time = Cols(line, entry + 16, entry + 17) +
                                 Cols(line, entry + 19, entry + 20) +
                                 Cols(line, entry + 22, entry + 23);
        out_(LineE09(Head(), cro, date, time, Col(line, entry + 3) == '#' ? "S" : "N"));
      }
      return;
    }
    case Section::kDetailTapes:
      if (BeginsWith(line, "CNPJ")) {
        const std::string cnpj = DigitsOf(Cols(line, 6, 25));
        out_(LineE10(Head(), tape_counter_, tape_date_, tape_first_, tape_last_, cnpj));
      } else if (!Contains(line, "DATA")) {
        tape_date_ = PrintedDate(Cols(line, 1, 10));
        tape_counter_ = Cols(line, 12, 17);
        tape_first_ = Cols(line, 19, 24);
        tape_last_ = Cols(line, 28, 33);
      }
      return;
  }
}

}  // namespace orvik::memfiles
