#include "orvik/lumvar/amounts.h"

#include <algorithm>

#include "common/text1252.h"
#include "orvik/core/text_forms.h"

namespace orvik::lumvar {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The digits without leading zeros, at least places + 1 of them, "," before the last places.
std::string Fixed(std::string_view text, size_t places) {
  std::string digits = core::Digits(text);
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  if (digits.size() < places + 1) digits.insert(0, places + 1 - digits.size(), '0');
  digits.insert(digits.size() - places, 1, ',');
  return digits;
}

}  // namespace

std::string Cents(std::string_view text) {
  return Fixed(text, 2);
}

std::string Mils(std::string_view text) {
  return Fixed(text, 3);
}

std::string Decimals(std::string_view text, int k) {
  std::string out(text);
  size_t separator = out.rfind(',');
  if (separator == std::string::npos) separator = out.rfind('.');
  if (separator == std::string::npos) return out + "," + std::string(std::max(k, 0), '0');
  const auto present = std::count_if(out.begin() + separator + 1, out.end(), IsDigit);
  if (present < k) out.append(k - present, '0');
  return out;
}

bool IsZero(std::string_view text) {
  const std::string last = core::LastDigits(text, 12);
  return last.find_first_not_of('0') == std::string::npos;
}

TaxPart MapTaxCode(std::string_view aliquot) {
  static const struct {
    const char* name;
    const char* code;
  } kFixed[] = {{"FF", "-2"},  {"II", "-3"},  {"NN", "-4"},
                {"FS", "-11"}, {"IS", "-12"}, {"NS", "-13"}};
  const std::string upper = common::cp1252_upper(aliquot);
  for (const auto& fixed : kFixed)
    if (upper == fixed.name) return {std::string("CodAliquota=") + fixed.code, false};
  if (aliquot.size() > 2) return {"PercentualAliquota=" + Cents(aliquot), true};
  return {"CodAliquota=" + std::string(aliquot), false};
}

std::string EscapeQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '"')
      out += "\\x22";
    else
      out += c;
  }
  return out;
}

}  // namespace orvik::lumvar
