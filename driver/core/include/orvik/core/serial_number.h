#pragma once
#include <string>
#include <string_view>

namespace orvik::core {

// The reversible serial-number transform: byte i XOR (65 + i). Applying it twice gives
// the text back.
std::string TransformSerialNumber(std::string_view text);

}  // namespace orvik::core
