#include "orvik/core/text_forms.h"

#include <charconv>

#include "common/ports.h"

namespace orvik::core {

std::string Digits(std::string_view text) {
  std::string out;
  for (char c : text)
    if (c >= '0' && c <= '9') out += c;
  return out;
}

std::string LastDigits(std::string_view text, int n) {
  if (n <= 0) return {};
  std::string d = Digits(text);
  const size_t width = static_cast<size_t>(n);
  if (d.size() > width) d.erase(0, d.size() - width);
  return std::string(width - d.size(), '0') + d;
}

std::string BlankFit(std::string_view text, int n) {
  if (n <= 0) return {};
  const size_t width = static_cast<size_t>(n);
  std::string out(text.substr(0, width));
  out.append(width - out.size(), ' ');
  return out;
}

std::string FormatDate(std::string_view text) {
  if (Digits(text).size() > 6) {
    const std::string d = LastDigits(text, 8);
    return d.substr(0, 2) + "/" + d.substr(2, 2) + "/" + d.substr(4, 4);
  }
  const std::string d = LastDigits(text, 6);
  return d.substr(0, 2) + "/" + d.substr(2, 2) + "/20" + d.substr(4, 2);
}

int ParseInteger(std::string_view text, int def) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) return def;
  }
  if (text.empty()) return def;
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return def;
  return value;
}

int PortNumber(std::string_view text) {
  return common::port_number(text);
}

}  // namespace orvik::core
