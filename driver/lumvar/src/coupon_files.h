#pragma once
// The exchange files of the coupon in the host's current folder (ID.TXT, AUMENTA.TXT),
// looked up without regard to letter case.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::lumvar::coupon_files {

inline constexpr std::string_view kConsumer = "ID.TXT";
inline constexpr std::string_view kDescription = "AUMENTA.TXT";

// Recreates the file with the lines; false (last return code -8, last message naming the
// file) when it cannot be written.
bool Recreate(std::string_view name, const std::vector<std::string>& lines);

// The lines of the file, which is then removed in every spelling of its name; nothing
// when it does not exist. The folder is searched once when the file is absent, as it
// usually is.
std::optional<std::vector<std::string>> TakeLines(std::string_view name);

// Removes the file in every spelling of its name.
void Remove(std::string_view name);

}  // namespace orvik::lumvar::coupon_files
