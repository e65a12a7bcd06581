#include "common/files.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>

#include "common/text1252.h"

namespace common {

std::optional<std::filesystem::path> find_case_blind(const std::filesystem::path& folder,
                                                     std::string_view name) {
  std::error_code ec;
  std::filesystem::path exact = folder / std::string(name);
  if (std::filesystem::exists(exact, ec)) return exact;
  std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (iequals(entry, name)) return folder / entry;
  }
  return std::nullopt;
}

std::filesystem::path fixed_name(const std::filesystem::path& folder, std::string_view name) {
  auto found = find_case_blind(folder, name);
  return found ? *found : folder / std::string(name);
}

bool append_line(const std::filesystem::path& file, std::string_view line) {
  std::ofstream out(file, std::ios::binary | std::ios::app);
  if (!out) return false;
  out << line << "\r\n";
  return static_cast<bool>(out.flush());
}

std::optional<std::string> read_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return data;
}

std::vector<std::string> split_lines(std::string_view s) {
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < s.size()) {
    size_t j = s.find_first_of("\r\n", i);
    if (j == std::string_view::npos) {
      lines.emplace_back(s.substr(i));
      break;
    }
    lines.emplace_back(s.substr(i, j - i));
    i = j + ((s[j] == '\r' && j + 1 < s.size() && s[j + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

}  // namespace common
