// The Windows-1252 boundary: any byte string survives the trip to UTF-8 and back, any
// input to the 8-bit side never grows, and upper-casing keeps the length.
#include <cstdint>
#include <string>
#include <string_view>

#include "common/text1252.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string utf8 = common::cp1252_to_utf8(bytes);
  FUZZ_CHECK(utf8.size() <= 3 * bytes.size());
  FUZZ_CHECK(common::utf8_to_cp1252(utf8) == bytes);
  const std::string narrowed = common::utf8_to_cp1252(bytes);
  FUZZ_CHECK(narrowed.size() <= bytes.size());
  FUZZ_CHECK(common::cp1252_upper(bytes).size() == bytes.size());
  const std::string_view trimmed = common::trim(bytes);
  FUZZ_CHECK(trimmed.size() <= bytes.size());
  FUZZ_CHECK(trimmed.empty() || (trimmed.data() >= bytes.data() &&
                                 trimmed.data() + trimmed.size() <= bytes.data() + bytes.size()));
  return 0;
}
