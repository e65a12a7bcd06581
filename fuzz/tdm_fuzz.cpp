// The TDM file and the dump image inside it: an error or a result whose every view lies
// inside the bytes given; a file that parses builds back to the same bytes.
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "leitura/tdm.h"

namespace {

bool Inside(std::string_view part, std::string_view whole) {
  return part.empty() ||
         (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto tdm = leitura::ParseTdm(bytes);
  if (tdm.error == leitura::TdmError::kNone) {
    FUZZ_CHECK(Inside(tdm.tdm.serial, bytes) && Inside(tdm.tdm.datetime, bytes) &&
               Inside(tdm.tdm.image, bytes));
    FUZZ_CHECK(tdm.tdm.serial.size() <= leitura::kMaxSerial);
    FUZZ_CHECK(leitura::BuildTdm(tdm.tdm.serial, tdm.tdm.datetime, tdm.tdm.content,
                                 tdm.tdm.image) == bytes);
  }
  FUZZ_CHECK(leitura::TdmErrorText(tdm.error) != nullptr);
  // The image parser alone, on the same bytes.
  const auto dump = leitura::ParseDump(bytes);
  if (dump.ok) {
    size_t fields = 0;
    for (const auto& record : dump.image.records) {
      for (std::string_view f : record.fields) FUZZ_CHECK(Inside(f, bytes));
      fields += record.fields.size();
    }
    // Every record costs 5 bytes and every field 2, so counts are bounded by the input.
    FUZZ_CHECK(dump.image.records.size() * 5 + fields * 2 <= size);
  }
  return 0;
}
