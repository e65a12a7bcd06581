// Message boxes: the Linux side, a line on standard error.
#include <cstdio>
#include <string>

#include "common/message_box.h"
#include "common/text1252.h"

namespace common {

void show_message_box(std::string_view caption, std::string_view text) {
  const std::string line = caption.empty() ? cp1252_to_utf8(text)
                                           : cp1252_to_utf8(caption) + ": " + cp1252_to_utf8(text);
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace common
