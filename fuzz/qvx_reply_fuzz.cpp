// The QVX reply as it comes off the line, classified for a read and for a plain command:
// whatever the bytes, the answer holds nothing that was not in them.
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "orvik/qvx/reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (int command : {0, 30, 32, 34, 35, 150}) {
    const auto r = orvik::qvx::ParseQvxReply(bytes, command);
    FUZZ_CHECK(r.frames >= 0 && static_cast<size_t>(r.frames) * orvik::qvx::kMinFrame <= size);
    FUZZ_CHECK(r.data.size() <= size);
    FUZZ_CHECK(r.error_number.size() <= 2);
    FUZZ_CHECK(!r.accepted || r.frames > 0);
    if (!orvik::qvx::IsReadCommand(command)) FUZZ_CHECK(r.data.empty());
  }
  orvik::qvx::ReplyComplete(bytes, false);
  orvik::qvx::ReplyComplete(bytes, true);
  orvik::qvx::ErrorMessageFor(bytes.substr(0, 2));
  return 0;
}
