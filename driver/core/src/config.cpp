#include "orvik/core/config.h"

#include <cstdlib>

#include "common/files.h"
#include "common/orvik_ini.h"
#include "common/text1252.h"
#include "config_file.h"

namespace orvik::core {
namespace {

// Bytes within one disk sector are written together, so digits that do not cross a
// sector boundary are never left half old, half new by a power cut.
constexpr size_t kSectorBytes = 512;

// The line of [section] key, found by the rules IniFile reads and writes by: the first
// section of that name, in it the first key line whose name matches without regard to
// case. begin is the offset of the line in the text.
struct KeyLine {
  bool found = false;
  size_t begin = 0;
  std::string_view text;
};

KeyLine FindKeyLine(std::string_view s, std::string_view section, std::string_view key) {
  constexpr size_t npos = std::string_view::npos;
  bool in_section = false;
  size_t i = 0;
  while (i < s.size()) {
    const size_t j = s.find_first_of("\r\n", i);
    const std::string_view line = s.substr(i, (j == npos ? s.size() : j) - i);
    const std::string_view t = common::trim(line);
    if (!t.empty() && t.front() == '[') {
      if (in_section) return {};
      const size_t close = t.find(']');
      in_section = common::iequals(
          common::trim(t.substr(1, close == npos ? t.size() - 1 : close - 1)), section);
    } else if (in_section && !t.empty() && t.front() != ';') {
      const size_t eq = t.find('=');
      if (eq != npos && common::iequals(common::trim(t.substr(0, eq)), key)) return {true, i, line};
    }
    if (j == npos) break;
    i = j + ((s[j] == '\r' && j + 1 < s.size() && s[j + 1] == '\n') ? 2 : 1);
  }
  return {};
}

bool AllDigits(std::string_view text) {
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return !text.empty();
}

}  // namespace

std::filesystem::path ConfigPath() {
  return common::orvik_ini_path();
}

std::filesystem::path LookUpConfig(const std::vector<std::filesystem::path>& folders) {
  return common::look_up_orvik_ini(folders);
}

void SetConfigFolders(std::vector<std::filesystem::path> folders) {
  common::set_orvik_ini_folders(std::move(folders));
}

common::IniFile Config() {
  return common::IniFile(ConfigPath());
}

long StepConfigNumber(std::string_view section, std::string_view key, long def,
                      const std::function<long(long)>& next) {
  const std::filesystem::path path = ConfigPath();
  // Read and overwritten through one handle: the digits land in the very file whose
  // text told where they are, even if another program renames a new file over it.
  ConfigFileHandle file;
  if (file.Open(path)) {
    std::string text;
    const bool read = file.ReadAll(text);
    const KeyLine line = read ? FindKeyLine(text, section, key) : KeyLine{};
    const size_t at = line.begin + key.size() + 1;
    if (line.found && line.text.size() > key.size() + 1 && line.text.substr(0, key.size()) == key &&
        line.text[key.size()] == '=' && AllDigits(line.text.substr(key.size() + 1)) &&
        line.text.size() - key.size() - 1 <= 9) {
      const std::string_view digits = line.text.substr(key.size() + 1);
      const long stored = std::strtol(std::string(digits).c_str(), nullptr, 10);
      const long value = next(stored);
      const std::string written = std::to_string(value);
      if (written.size() == digits.size() &&
          at / kSectorBytes == (at + written.size() - 1) / kSectorBytes &&
          file.WriteAt(at, written))
        return value;
      file.Close();
      common::IniFile(path).write(section, key, written);
      return value;
    }
    file.Close();
  }
  // A missing file or key, or a value in any other form: the way every key is written.
  common::IniFile ini(path);
  const long value = next(ini.read_int(section, key, def));
  ini.write(section, key, std::to_string(value));
  return value;
}

}  // namespace orvik::core
