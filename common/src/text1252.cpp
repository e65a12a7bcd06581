#include "common/text1252.h"

#include <cstdint>

namespace common {
namespace {

// Unicode code points of the bytes 0x80-0x9F; undefined bytes map to their C1 control.
constexpr char32_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void put_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

char to_byte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

}  // namespace

std::string cp1252_to_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (unsigned char b : text) {
    if (b < 0x80)
      out += static_cast<char>(b);
    else if (b < 0xA0)
      put_utf8(out, kHigh[b - 0x80]);
    else
      put_utf8(out, b);
  }
  return out;
}

std::string utf8_to_cp1252(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    bool ok = len > 0 && i + len <= s.size();
    char32_t c = 0;
    if (ok) {
      c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
      for (int k = 1; k < len && ok; ++k) {
        unsigned char cb = static_cast<unsigned char>(s[i + k]);
        ok = (cb & 0xC0) == 0x80;
        c = (c << 6) | (cb & 0x3F);
      }
      // Overlong forms are not valid UTF-8.
      if (ok && ((len == 2 && c < 0x80) || (len == 3 && c < 0x800) || (len == 4 && c < 0x10000)))
        ok = false;
    }
    if (!ok) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    out += to_byte(c);
    i += len;
  }
  return out;
}

std::string cp1252_upper(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    unsigned char b = static_cast<unsigned char>(ch);
    if (b >= 'a' && b <= 'z')
      ch = static_cast<char>(b - 32);
    else if (b >= 0xE0 && b <= 0xFE && b != 0xF7)
      ch = static_cast<char>(b - 32);
    else if (b == 0x9A || b == 0x9C || b == 0x9E)  // š œ ž
      ch = static_cast<char>(b - 16);
    else if (b == 0xFF)
      ch = static_cast<char>(0x9F);
  }
  return out;
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

std::string_view trim(std::string_view s) {
  const char* ws = " \t\r\n";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

}  // namespace common
