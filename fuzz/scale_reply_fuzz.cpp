// What a scale sends after one ENQ: a weight is at most its documented length, comes from
// the bytes received, and holds no control byte.
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "orvik/peripherals/scale.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* begin = reinterpret_cast<const char*>(data);
  const auto r = orvik::peripherals::ParseScaleReply(begin, begin + size);
  using Reading = orvik::peripherals::ScaleReading;
  if (r.kind == Reading::kWeight) {
    FUZZ_CHECK(!r.text.empty());
    FUZZ_CHECK(r.text.size() <= orvik::peripherals::kMaxWeightText);
    FUZZ_CHECK(std::string_view(begin, size).find(r.text) != std::string_view::npos);
    for (unsigned char c : r.text) FUZZ_CHECK(c >= 0x20);
  }
  if (r.kind == Reading::kNone) FUZZ_CHECK(r.text.size() <= size);
  orvik::peripherals::ScaleSpeed(std::string(begin, size < 8 ? size : 8));
  return 0;
}
