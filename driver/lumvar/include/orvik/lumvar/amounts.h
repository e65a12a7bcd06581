#pragma once
// Amounts, quantities and tax codes as the host program passes them (texts such as
// "12,34", "1500", "1.234,56", "FF", "18,00") reshaped into the printer's parameter forms.
// Every form keeps only what it needs of the text, so letters, signs and stray separators
// never fail here; the printer judges the value it receives.
#include <string>
#include <string_view>

namespace orvik::lumvar {

// The digits of text without leading zeros, at least 3 of them, "," before the last 2:
// "1234" and "12,34" give "12,34"; "5" gives "0,05".
std::string Cents(std::string_view text);

// As Cents with at least 4 digits and "," before the last 3: "1500" gives "1,500".
std::string Mils(std::string_view text);

// The text with k decimal places at least: with a "," (or, failing that, a ".") zeros are
// appended until k digits follow it (never cut); without either, "," and k zeros.
std::string Decimals(std::string_view text, int k);

// True when the last 12 digits of text (zero-filled) are all zeros.
bool IsZero(std::string_view text);

// The tax part of a sale: a fixed or programmed rate code, or a percentage that is
// first tried as an ICMS rate and then as a service-tax rate.
struct TaxPart {
  std::string parameter;    // "CodAliquota=-2", "CodAliquota=01", "PercentualAliquota=18,00"
  bool percentage = false;  // the PercentualAliquota form
};
TaxPart MapTaxCode(std::string_view aliquot);

// A host text made safe inside a double-quoted parameter value: each double quote becomes
// the printer's escape \x22, so a quote can neither end the value nor add parameters.
std::string EscapeQuotes(std::string_view text);

}  // namespace orvik::lumvar
