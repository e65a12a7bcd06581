#pragma once
// Conversions between UTF-8 (source files, terminals, windows) and Windows-1252 (every
// text the system exchanges or stores). Each text is converted once, at its boundary.
#include <string>
#include <string_view>

namespace common {

// UTF-8 to Windows-1252. A character that Windows-1252 cannot hold becomes '?';
// an invalid UTF-8 byte is taken as the Windows-1252 character of that byte.
std::string utf8_to_cp1252(std::string_view utf8);

// Windows-1252 to UTF-8. The five bytes that Windows-1252 leaves undefined map to the
// C1 control characters of the same value, so the conversion never loses a byte.
std::string cp1252_to_utf8(std::string_view text);

// Upper case of a Windows-1252 text, accented letters included.
std::string cp1252_upper(std::string_view text);

// ASCII-only case-blind comparison, as the system compares fixed names and keys.
bool iequals(std::string_view a, std::string_view b);

// Leading and trailing blanks, tabs, CR and LF removed.
std::string_view trim(std::string_view s);

}  // namespace common
