#include "orvik/core/serial_number.h"

namespace orvik::core {

std::string TransformSerialNumber(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) ^ ((65 + i) & 0xFF));
  return out;
}

}  // namespace orvik::core
