#include "ecf_sim/page.h"

#include <cstdio>

#include "common/text1252.h"

namespace ecf_sim {

namespace {

// Windows-1252 0xA0-0xFF in code page 850.
constexpr unsigned char kHigh[96] = {
    0xFF, 0xAD, 0xBD, 0x9C, 0xCF, 0xBE, 0xDD, 0xF5, 0xF9, 0xB8, 0xA6, 0xAE, 0xAA, 0xF0, 0xA9, 0xEE,
    0xB0, 0xF1, 0xFD, 0xFC, 0xEF, 0xE6, 0xF4, 0xFA, 0xF7, 0xFB, 0xA7, 0xAF, 0xAC, 0xAB, 0xF3, 0xA8,
    0xB7, 0xB5, 0xB6, 0xC7, 0x8E, 0x8F, 0x92, 0x80, 0xD4, 0x90, 0xD2, 0xD3, 0xDE, 0xD6, 0xD7, 0xD8,
    0xD1, 0xA5, 0xE3, 0xE0, 0xE2, 0xE5, 0x99, 0x9E, 0x9D, 0xEB, 0xE9, 0xEA, 0x9A, 0xED, 0xE8, 0xE1,
    0x85, 0xA0, 0x83, 0xC6, 0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B,
    0xD0, 0xA4, 0x95, 0xA2, 0x93, 0xE4, 0x94, 0xF6, 0x9B, 0x97, 0xA3, 0x96, 0x81, 0xEC, 0xE7, 0x98};

const char kEsc = 27;
// ESC ! with no bit set would put a NUL byte in the printout, and hosts pass printouts
// as zero-terminated strings; 0x02 (an unused bit) selects the same normal font.
const unsigned char kNormalFont = 0x02;

void font(std::string& out, unsigned char n) {
  out += kEsc;
  out += '!';
  out += static_cast<char>(n);
}

}  // namespace

std::string to_printer_bytes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c == '\n') {
      out += '\n';
    } else if (c < 32 || c == 127) {
      continue;
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '{') {
      out += '(';
    } else if (c == '}') {
      out += ')';
    } else if (c >= 0xA0) {
      out += static_cast<char>(kHigh[c - 0xA0]);
    } else if (c >= 0x80) {
      out += '?';
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

static void put_line(std::string& out, std::string_view text, std::size_t width) {
  std::string bytes = to_printer_bytes(text);
  out += bytes;
  // A line that fills the width wraps by itself; a line feed would add a blank line.
  if (text.size() != width) out += '\n';
}

void Page::line(std::string_view text) {
  // Line feeds inside free texts start new lines; long lines wrap at the width.
  std::size_t start = 0;
  for (;;) {
    auto nl = text.find('\n', start);
    std::string_view part =
        text.substr(start, nl == std::string_view::npos ? text.npos : nl - start);
    if (part.empty()) {
      out_ += '\n';
    } else {
      while (part.size() > static_cast<std::size_t>(kColumns)) {
        put_line(out_, part.substr(0, kColumns), kColumns);
        part.remove_prefix(kColumns);
      }
      if (!part.empty()) put_line(out_, part, kColumns);
    }
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
}

void Page::condensed(std::string_view text) {
  font(out_, 1);
  put_line(out_, text.substr(0, kCondensedColumns), kCondensedColumns);
  font(out_, kNormalFont);
}

void Page::title(std::string_view text) {
  font(out_, 0x28);
  put_line(out_, center(text), kColumns);
  font(out_, kNormalFont);
}

void Page::bold(std::string_view text) {
  out_ += kEsc;
  out_ += "E1";
  put_line(out_, text.substr(0, kColumns), kColumns);
  out_ += kEsc;
  out_ += "E0";
}

std::string L(std::string_view utf8) {
  return common::utf8_to_cp1252(utf8);
}

std::string fit(std::string_view text, std::size_t width) {
  std::string s(text.substr(0, width));
  s.resize(width, ' ');
  return s;
}

std::string rjust(std::string_view text, std::size_t width) {
  if (text.size() >= width) return std::string(text.substr(text.size() - width));
  return std::string(width - text.size(), ' ') + std::string(text);
}

std::string zeros(int64_t value, int width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (static_cast<int>(digits.size()) > width) return digits.substr(digits.size() - width);
  return std::string(width - digits.size(), '0') + digits;
}

std::string center(std::string_view text, int width) {
  std::string t(common::trim(text));
  if (static_cast<int>(t.size()) >= width) return t.substr(0, width);
  std::size_t left = (width - t.size()) / 2;
  return std::string(left, ' ') + t;
}

std::string label_value(std::string_view label, std::string_view value, int width) {
  std::size_t w = static_cast<std::size_t>(width);
  if (label.size() + value.size() >= w) {
    std::string s(label);
    s += value;
    return s.substr(0, w);
  }
  return std::string(label) + std::string(w - label.size() - value.size(), ' ') +
         std::string(value);
}

std::string decimal_text(int64_t value, int places) {
  bool negative = value < 0;
  uint64_t v = negative ? static_cast<uint64_t>(-value) : static_cast<uint64_t>(value);
  uint64_t scale = 1;
  for (int i = 0; i < places; ++i) scale *= 10;
  std::string whole = std::to_string(v / scale);
  std::string frac = std::to_string(v % scale);
  frac = std::string(places - frac.size(), '0') + frac;
  return (negative ? "-" : "") + whole + (places ? "," + frac : "");
}

std::string money_text(Money cents) {
  bool negative = cents < 0;
  uint64_t v = negative ? static_cast<uint64_t>(-cents) : static_cast<uint64_t>(cents);
  std::string whole = std::to_string(v / 100);
  std::string grouped;
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i && (whole.size() - i) % 3 == 0) grouped += '.';
    grouped += whole[i];
  }
  char frac[4];
  std::snprintf(frac, sizeof frac, "%02u", static_cast<unsigned>(v % 100));
  return (negative ? "-" : "") + grouped + "," + frac;
}

std::string money4(Money cents) {
  return decimal_text(cents * 100, 4);
}

std::string date_text(const Date& d) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d/%02d/%04d", d.day % 100, d.month % 100, d.year % 10000);
  return b;
}

std::string time_text(const DateTime& t) {
  char b[16];
  std::snprintf(b, sizeof b, "%02d:%02d:%02d", t.hour % 100, t.minute % 100, t.second % 100);
  return b;
}

}  // namespace ecf_sim
