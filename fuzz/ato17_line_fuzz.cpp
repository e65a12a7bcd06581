// One line of an Ato 17 file read for the Sintegra report: a record the reader knows, cut
// into fields that together never hold more than the line.
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "orvik/memfiles/ato17_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The input is a file: every line of it, as the report reads them.
  size_t start = 0;
  while (start <= bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view line = bytes.substr(start, end - start);
    if (auto parsed = orvik::memfiles::ParseAto17Line(line)) {
      const int r = parsed->record;
      FUZZ_CHECK(r == 1 || r == 2 || r == 12 || r == 13 || r == 14 || r == 15);
      FUZZ_CHECK(!parsed->fields.empty());
      size_t held = 0;
      for (const auto& f : parsed->fields) held += f.size();
      FUZZ_CHECK(held <= line.size());
    }
    start = end + 1;
  }
  return 0;
}
