#include "ecf_sim/params.h"

#include <cctype>
#include <charconv>

namespace ecf_sim {

bool CaseBlindLess::operator()(const std::string& a, const std::string& b) const {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    int x = std::tolower(static_cast<unsigned char>(a[i]));
    int y = std::tolower(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

bool Params::parse(std::string_view text) {
  values_.clear();
  error_.clear();
  std::size_t i = 0, n = text.size();
  auto skip_blanks = [&] {
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  for (;;) {
    skip_blanks();
    if (i >= n) return true;
    std::size_t name_start = i;
    while (i < n && text[i] != '=' && text[i] != ' ' && text[i] != '\t') ++i;
    std::string name(text.substr(name_start, i - name_start));
    skip_blanks();
    if (i >= n || text[i] != '=' || name.empty()) {
      error_ = std::string(text.substr(name_start));
      return false;
    }
    ++i;
    skip_blanks();
    std::string value;
    if (i < n && (text[i] == '"' || text[i] == '#')) {
      char close = text[i];
      auto end = text.find(close, i + 1);
      if (end == std::string_view::npos) {
        error_ = std::string(text.substr(name_start));
        return false;
      }
      value = std::string(text.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      std::size_t start = i;
      while (i < n && text[i] != ' ' && text[i] != '\t') ++i;
      value = std::string(text.substr(start, i - start));
    }
    values_[name] = value;
  }
}

std::vector<std::string> Params::names() const {
  std::vector<std::string> out;
  for (const auto& [name, value] : values_) out.push_back(name);
  return out;
}

std::optional<std::string> Params::get(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::optional<int64_t> Params::integer(const std::string& name) const {
  auto v = get(name);
  if (!v || v->empty()) return std::nullopt;
  int64_t out = 0;
  auto [p, ec] = std::from_chars(v->data(), v->data() + v->size(), out);
  if (ec != std::errc() || p != v->data() + v->size()) return std::nullopt;
  return out;
}

std::optional<bool> Params::boolean(const std::string& name) const {
  auto v = get(name);
  if (!v) return std::nullopt;
  std::string s;
  for (char c : *v) s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (s == "true" || s == "1" || s == "s" || s == "y") return true;
  if (s == "false" || s == "0" || s == "n") return false;
  return std::nullopt;
}

std::optional<bool> Params::boolean_or(const std::string& name, bool fallback) const {
  if (!has(name)) return fallback;
  return boolean(name);
}

std::optional<int64_t> Params::integer_or(const std::string& name, int64_t fallback) const {
  if (!has(name)) return fallback;
  return integer(name);
}

std::optional<int64_t> Params::decimal(const std::string& name, int places) const {
  auto v = get(name);
  if (!v) return std::nullopt;
  return parse_decimal(*v, places);
}

std::optional<int64_t> parse_decimal(std::string_view text, int places) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  while (i < text.size() && text[i] == ' ') ++i;
  char sep = text.find(',') != std::string_view::npos ? ',' : '.';
  int64_t whole = 0, frac = 0;
  int frac_digits = 0, digits = 0;
  bool after = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c == sep && !after) {
      after = true;
    } else if (c >= '0' && c <= '9') {
      ++digits;
      if (!after) {
        if (whole > 100000000000000LL) return std::nullopt;
        whole = whole * 10 + (c - '0');
      } else if (frac_digits < places) {
        frac = frac * 10 + (c - '0');
        ++frac_digits;
      }
    } else if (c == '.' && sep == ',' && !after) {
      // thousands separator of a "1.234,56" amount
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0) return std::nullopt;
  for (; frac_digits < places; ++frac_digits) frac *= 10;
  int64_t scale = 1;
  for (int k = 0; k < places; ++k) scale *= 10;
  int64_t v = whole * scale + frac;
  return negative ? -v : v;
}

std::string decode_free_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      if (text[i + 1] == 'n') {
        out += '\n';
        ++i;
        continue;
      }
      if (text[i + 1] == 'x' && i + 3 < text.size() && hex(text[i + 2]) >= 0 &&
          hex(text[i + 3]) >= 0) {
        out += static_cast<char>(hex(text[i + 2]) * 16 + hex(text[i + 3]));
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace ecf_sim
