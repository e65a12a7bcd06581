#pragma once
// The driver's message boxes: MessageBoxA with an OK button on Windows; on Linux, where a
// library has no window to show, one line on standard error.
#include <string_view>

namespace common {

// Shows text (Windows-1252) under caption and returns when the user has closed it.
void show_message_box(std::string_view caption, std::string_view text);

}  // namespace common
