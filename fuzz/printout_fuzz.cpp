// The printouts the RFD conversion downloads (detail tape, fiscal-memory reading): split
// into lines as the conversion splits them and fed to every reader, each with a state of
// its own. A reader never takes more than the lines hold, whatever they are.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "orvik/memfiles/printout_readers.h"
#include "orvik/memfiles/printout_text.h"

using namespace orvik::memfiles;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = SplitPrintout(bytes);
  size_t total = 0;
  for (const std::string& l : lines) total += l.size();
  FUZZ_CHECK(total <= size);
  auto quiet = [](const std::string&) {};

  ConversionState header_state;
  HeaderReader header(header_state);
  for (const std::string& l : lines)
    if (!header.Line(l)) break;

  ConversionState first_state;
  FirstPassReader first(first_state, false, quiet);
  for (const std::string& l : lines) first.Line(l);

  ConversionState state;
  long documents = 0;
  DocumentReader reader(
      state,
      [&](ReadDocument& d) {
        ++documents;
        for (const ItemRecord& item : d.items) FUZZ_CHECK(item.description.size() <= size);
      },
      quiet, [] { return std::string("N"); });
  for (const std::string& l : lines) reader.Line(l);
  reader.Finish();
  // Every document starts at a line of its own.
  FUZZ_CHECK(static_cast<size_t>(documents) <= lines.size());

  ConversionState memory_state;
  size_t out = 0;
  FiscalMemoryReader memory(
      memory_state, [&](const std::string&) { ++out; }, quiet);
  for (const std::string& l : lines) memory.Line(l);
  FUZZ_CHECK(out <= lines.size() + 1);

  for (const std::string& l : lines) {
    if (l.size() > 8) continue;
    const std::string code = ItemTaxCode(l, state);
    FUZZ_CHECK(code.size() <= 16);
  }
  return 0;
}
