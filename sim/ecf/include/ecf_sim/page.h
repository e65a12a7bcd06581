#pragma once
// Printed output. Texts are composed in Windows-1252 (one byte, one column) and turned
// into the printer's bytes on the way out: code page 850, ESC ! n for the font
// (1 condensed, 57 columns; 0x28 large bold titles; 0x02 normal, 48 columns), a backslash
// before a literal backslash, and a full-width line not followed by a line feed because
// the printer wraps it by itself.
#include <cstdint>
#include <string>
#include <string_view>

#include "ecf_sim/state.h"

namespace ecf_sim {

constexpr int kColumns = 48;
constexpr int kCondensedColumns = 57;

// Windows-1252 to the printer's code page. The degree sign stays 0xB0 (the item-line
// mark), braces become parentheses (the printer has none: a brace would end a reply
// frame early), control bytes other than line feeds are dropped.
std::string to_printer_bytes(std::string_view cp1252);

// Builds a document's printed bytes line by line.
class Page {
 public:
  // A normal line; longer texts wrap at 48 columns.
  void line(std::string_view text);
  // A condensed line of up to 57 columns (sale items).
  void condensed(std::string_view text);
  // A centred title in the large bold font.
  void title(std::string_view text);
  // A line in bold.
  void bold(std::string_view text);
  void dashes() { line(std::string(kColumns, '-')); }
  void append_raw(std::string_view bytes) { out_.append(bytes); }
  const std::string& bytes() const { return out_; }

 private:
  std::string out_;
};

// Text helpers on Windows-1252 texts.
std::string L(std::string_view utf8);                         // a UTF-8 literal as Windows-1252
std::string fit(std::string_view text, std::size_t width);    // cut or blank-fill
std::string rjust(std::string_view text, std::size_t width);  // right-aligned, cut on the left
std::string zeros(int64_t value, int width);                  // zero-filled digits
std::string center(std::string_view text, int width = kColumns);
// label at the left, value ending at the last column.
std::string label_value(std::string_view label, std::string_view value, int width = kColumns);
std::string money_text(Money cents);                  // "1.234,56"
std::string decimal_text(int64_t value, int places);  // "2,000" from 2000 with 3 places
std::string date_text(const Date& d);                 // dd/mm/yyyy
std::string time_text(const DateTime& t);             // hh:mm:ss
std::string money4(Money cents);                      // "25,5000": the reply form of money

}  // namespace ecf_sim
