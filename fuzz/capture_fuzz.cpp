// The print capture's conversion into plain lines and a rich-text document. The printer's
// chunks can split an escape anywhere, so the bytes fed in pieces (cut where the input's
// first byte says) must give exactly what they give fed whole.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "orvik/memfiles/capture.h"

namespace {

struct Output {
  std::string plain, rich;
};

Output Convert(std::string_view bytes, size_t piece) {
  Output out;
  orvik::memfiles::CaptureConverter converter([&](std::string_view s) { out.plain.append(s); },
                                              [&](std::string_view s) { out.rich.append(s); });
  for (size_t at = 0; at < bytes.size(); at += piece) converter.Feed(bytes.substr(at, piece));
  converter.Finish();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = 1 + data[0] % 17;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const Output whole = Convert(bytes, bytes.size() + 1);
  const Output pieces = Convert(bytes, piece);
  FUZZ_CHECK(whole.plain == pieces.plain);
  FUZZ_CHECK(whole.rich == pieces.rich);
  return 0;
}
