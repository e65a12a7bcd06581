#include "orvik/memfiles/printout_text.h"

#include <cstring>
#include <map>
#include <mutex>

#include "common/text1252.h"

namespace orvik::memfiles {

std::string Cols(std::string_view line, size_t from, size_t to) {
  if (from < 1 || to < from || from > line.size()) return {};
  return std::string(line.substr(from - 1, to - from + 1));
}

std::string ColsFrom(std::string_view line, size_t from) {
  if (from < 1 || from > line.size()) return {};
  return std::string(line.substr(from - 1));
}

char Col(std::string_view line, size_t column) {
  return column >= 1 && column <= line.size() ? line[column - 1] : '\0';
}

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    if (j > i) out.emplace_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string WordFromRight(const std::vector<std::string>& words, size_t n) {
  return n >= 1 && n <= words.size() ? words[words.size() - n] : std::string();
}

std::string Squeezed(std::string_view text) {
  std::string out;
  for (char c : common::cp1252_upper(text))
    if (c != ' ' && c != '\t') out += c;
  return out;
}

bool BeginsWith(std::string_view line, std::string_view label) {
  return Squeezed(line).starts_with(Squeezed(label));
}

bool Contains(std::string_view line, std::string_view label) {
  return Squeezed(line).find(Squeezed(label)) != std::string::npos;
}

bool Is(std::string_view line, std::string_view label) {
  return common::trim(line) == label;
}

const std::string& Label(std::string_view utf8) {
  static std::mutex mutex;
  static std::map<std::string, std::string, std::less<>> labels;
  std::lock_guard lock(mutex);
  auto it = labels.find(utf8);
  if (it == labels.end())
    it = labels.emplace(std::string(utf8), common::utf8_to_cp1252(utf8)).first;
  return it->second;
}

std::string DigitsOf(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c >= '0' && c <= '9') out += c;
  return out;
}

bool IsAmountWord(std::string_view word, bool degree) {
  if (degree) {
    if (word.empty() || word.back() != '\xB0') return false;
    word.remove_suffix(1);
  }
  if (!word.empty() && (word.front() == '-' || word.front() == '+')) word.remove_prefix(1);
  const size_t comma = word.find(',');
  if (comma == std::string_view::npos || comma == 0) return false;
  const size_t decimals = word.size() - comma - 1;
  if (decimals != 2 && decimals != 3) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    const char c = word[i];
    if (i == comma) continue;
    if (c >= '0' && c <= '9') continue;
    if (c == '.' && i < comma && i > 0) continue;
    return false;
  }
  return true;
}

int DecimalsOf(std::string_view word) {
  if (!word.empty() && word.back() == '\xB0') word.remove_suffix(1);
  const size_t comma = word.find(',');
  if (comma == std::string_view::npos) return 0;
  int n = 0;
  for (size_t i = comma + 1; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) ++n;
  return n;
}

bool IsCalendarDate(std::string_view d) {
  if (d.size() != 8 || DigitsOf(d).size() != 8) return false;
  const int year = std::stoi(std::string(d.substr(0, 4)));
  const int month = std::stoi(std::string(d.substr(4, 2)));
  const int day = std::stoi(std::string(d.substr(6, 2)));
  if (year < 1900 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string PrintedDate(std::string_view text) {
  if (text.size() != 10 || text[2] != '/' || text[5] != '/') return {};
  const std::string d = DigitsOf(text);
  if (d.size() != 8) return {};
  const std::string ymd = d.substr(4, 4) + d.substr(2, 2) + d.substr(0, 2);
  return IsCalendarDate(ymd) ? ymd : std::string();
}

std::string PrintedTime(std::string_view text) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return {};
  const std::string t = DigitsOf(text);
  if (t.size() != 6) return {};
  if (std::stoi(t.substr(0, 2)) > 23 || std::stoi(t.substr(2, 2)) > 59 ||
      std::stoi(t.substr(4, 2)) > 59)
    return {};
  return t;
}

LineReader::LineReader(const std::string& path, size_t max_line)
    : file_(std::fopen(path.c_str(), "rb")), max_line_(max_line) {}

LineReader::~LineReader() {
  if (file_) std::fclose(file_);
}

bool LineReader::Next(std::string& line) {
  line.clear();
  if (!file_) return false;
  bool any = false, cut = false;
  for (;;) {
    if (pos_ == end_) {
      end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
      pos_ = 0;
      if (end_ == 0) {
        if (std::ferror(file_)) error_ = true;
        break;
      }
    }
    const char* start = buffer_.data() + pos_;
    const char* lf = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
    const size_t n = lf ? static_cast<size_t>(lf - start) : end_ - pos_;
    any = true;
    bytes_ += static_cast<long long>(n + (lf ? 1 : 0));
    const size_t room = line.size() < max_line_ ? max_line_ - line.size() : 0;
    line.append(start, std::min(n, room));
    if (n > room && !cut) {
      cut = true;
      ++cut_lines_;
    }
    pos_ += n + (lf ? 1 : 0);
    if (lf) break;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

std::vector<std::string> SplitPrintout(std::string_view bytes, size_t max_line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < bytes.size()) {
    size_t j = bytes.find('\n', i);
    if (j == std::string_view::npos) j = bytes.size();
    std::string line(bytes.substr(i, std::min(j - i, max_line)));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(std::move(line));
    i = j + 1;
  }
  return out;
}

}  // namespace orvik::memfiles
