// The Lumvar reply as it comes off the line: split into code and results, the error text,
// and the value of a read under every rate-kind filter.
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "orvik/lumvar/reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  const auto parts = orvik::lumvar::SplitReply(reply);
  FUZZ_CHECK(parts.code.size() + parts.results.size() <= reply.size());
  const std::string message = orvik::lumvar::ErrorMessage(parts.results);
  FUZZ_CHECK(message.size() <= parts.results.size() + 3);
  for (int filter = 0; filter <= 4; ++filter) {
    for (std::string_view results : {std::string_view(parts.results), reply}) {
      const auto read = orvik::lumvar::ExtractRead(results, filter);
      FUZZ_CHECK(read.value.size() <= results.size());
      FUZZ_CHECK(read.code.size() <= results.size());
      FUZZ_CHECK(read.flag.size() <= 1);
    }
  }
  return 0;
}
