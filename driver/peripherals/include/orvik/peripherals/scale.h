#pragma once
// The checkout scale on the second serial port: one ENQ, a framed weight text back.
#include <cstddef>
#include <string>

namespace orvik::peripherals {

struct ScaleReading {
  enum Kind {
    kNone,      // not a weight: incomplete, no STX, empty, control bytes or too long
    kWeight,    // text is the weight
    kUnstable,  // "IIIII"
    kOverload,  // "SSSSS"
    kNegative,  // "NNNNN"
  };
  Kind kind = kNone;
  std::string text;
};

// The longest text taken as a weight.
inline constexpr size_t kMaxWeightText = 16;

// What the bytes collected after one ENQ say. A complete reply ends with ETX; its text is
// what follows the last STX before that ETX (a broken frame before it is skipped).
ScaleReading ParseScaleReply(const char* begin, const char* end);

// The line speed of the scale's speed text: only its first character counts
// ("1" 1200, "2" 2400, "4" 4800, anything else 9600).
std::string ScaleSpeed(const std::string& speed_text);

// Orvik_LeBalanca: 1 weight read (in weight), -34 unstable, -35 overload, -33 negative,
// 0 no weight after three attempts (code -1), -5 port cannot be opened. weight may be
// null (RETORNO.TXT still gets the text).
int LeBalanca(const std::string& port, const std::string& speed, char* weight);

}  // namespace orvik::peripherals
