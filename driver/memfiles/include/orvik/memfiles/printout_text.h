#pragma once
// Small tools for reading printed lines back: columns counted from 1, words from the
// right, label tests without blanks or case, amounts and dates of the printouts, and a
// line reader that never holds more than one bounded line.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::memfiles {

// Columns from..to (1-based, inclusive) of line; what exists of them.
std::string Cols(std::string_view line, size_t from, size_t to);
// Columns from (1-based) to the end.
std::string ColsFrom(std::string_view line, size_t from);
// The character at a column, or '\0' beyond the line.
char Col(std::string_view line, size_t column);
// The line trimmed and split at runs of blanks.
std::vector<std::string> Words(std::string_view line);
// Word n from the right (1 the last), empty when there is none.
std::string WordFromRight(const std::vector<std::string>& words, size_t n);

// The label tests: both sides upper-cased and without blanks.
std::string Squeezed(std::string_view text);
bool BeginsWith(std::string_view line, std::string_view label);
bool Contains(std::string_view line, std::string_view label);
// The trimmed line is exactly the label.
bool Is(std::string_view line, std::string_view label);
// A label written in UTF-8 in the source, as the printout carries it (Windows-1252).
const std::string& Label(std::string_view utf8);

// Only the characters '0'..'9'.
std::string DigitsOf(std::string_view text);
// An amount as printed, "1.234,56" or "3,990" (two or three decimals), with an optional
// sign and, when degree is set, the degree sign at its end.
bool IsAmountWord(std::string_view word, bool degree = false);
// Digits after the comma of an amount word (0 when it has no comma).
int DecimalsOf(std::string_view word);
// "dd/mm/yyyy" -> "yyyymmdd" when it is a real calendar date; empty otherwise.
std::string PrintedDate(std::string_view text);
// "hh:mm:ss" -> "hhmmss" when it is a real time of day; empty otherwise.
std::string PrintedTime(std::string_view text);
// Whether yyyymmdd is a real calendar date.
bool IsCalendarDate(std::string_view yyyymmdd);

// Reads a file line by line (LF ends a line, a CR before it is dropped). A line longer
// than max_line is cut there, the rest of it skipped, and counted in cut_lines.
class LineReader {
 public:
  explicit LineReader(const std::string& path, size_t max_line = 4096);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;
  bool ok() const { return file_ != nullptr; }
  // The next line; false at the end of the file or on a read error (error() tells).
  bool Next(std::string& line);
  bool error() const { return error_; }
  long long cut_lines() const { return cut_lines_; }
  long long bytes() const { return bytes_; }

 private:
  std::FILE* file_ = nullptr;
  size_t max_line_;
  std::vector<char> buffer_ = std::vector<char>(1 << 16);
  size_t pos_ = 0, end_ = 0;
  bool error_ = false;
  long long cut_lines_ = 0;
  long long bytes_ = 0;
};

// Splits a byte range into lines as LineReader does (for the readers' pure entry points).
std::vector<std::string> SplitPrintout(std::string_view bytes, size_t max_line = 4096);

}  // namespace orvik::memfiles
