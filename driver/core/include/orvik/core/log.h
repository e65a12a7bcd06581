#pragma once
// The pieces of the diagnostic log that can be checked on their own. Log() itself is
// declared in frame_support.h.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvik::core {

// The HOMOL.DAT form of a plain line: for each byte b a key k (odd, 1..255) is drawn
// from a generator seeded with seed; the line gets hex(k XOR b) followed by hex(k).
std::string ScrambleHomolLine(std::string_view plain, uint32_t seed);

// The plain HOMOL.DAT line: seconds since midnight (shortest general form) + "**" + text.
std::string HomolPlainLine(double seconds_of_day, std::string_view text);

// The plain LOG.DAT line: "dd/mm/yyyy hh:mm:ss=>" + text at the given local time.
std::string LogDatLine(int year, int month, int day, int hour, int minute, int second,
                       std::string_view text);

}  // namespace orvik::core
