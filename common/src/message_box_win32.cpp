// Message boxes: the Windows side.
#include <windows.h>

#include <string>

#include "common/message_box.h"

namespace common {

void show_message_box(std::string_view caption, std::string_view text) {
  const std::string c(caption), t(text);
  ::MessageBoxA(nullptr, t.c_str(), c.c_str(), MB_OK | MB_TASKMODAL);
}

}  // namespace common
