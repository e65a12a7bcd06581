#pragma once
// Text forms shared by the writers and the routines: digits, last-n-digits (digits
// field), blank-fit (text field), FormatDate, and the integer reading of key values.
#include <string>
#include <string_view>

namespace orvik::core {

// The characters '0'..'9' of text, in order.
std::string Digits(std::string_view text);

// The digits of text; the last n when there are more; '0' added on the left up to n.
std::string LastDigits(std::string_view text, int n);

// The first n characters of text, or text followed by blanks up to n.
std::string BlankFit(std::string_view text, int n);

// A date text as dd/mm/yyyy: more than 6 digits take the last-8-digits form,
// otherwise the last-6-digits form with the century 20.
std::string FormatDate(std::string_view text);

// A whole decimal integer (optional sign, digits only, fits an int), or def.
int ParseInteger(std::string_view text, int def);

// The number in characters 4-5 of a port text ("COM12" -> 12), or 1 when not a number.
int PortNumber(std::string_view text);

}  // namespace orvik::core
