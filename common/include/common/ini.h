#pragma once
// INI files with the semantics of the Windows profile API: section and key names
// match without regard to case, values are trimmed (and a surrounding pair of quotes
// removed), every read goes to the file, and a write changes one key while keeping
// every other line of the file as it was. Files are 8-bit text with CR LF line ends.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace common {

class IniFile {
 public:
  explicit IniFile(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& path() const { return path_; }

  // The value of [section] key, or def when the file, the section or the key is missing.
  std::string read(std::string_view section, std::string_view key, std::string_view def = {}) const;

  // The value of [section] key, or nothing when it is missing.
  std::optional<std::string> find(std::string_view section, std::string_view key) const;

  // Integer value in the manner of GetPrivateProfileInt: leading digits (with an optional
  // sign) are taken, a value that does not start with a number gives def.
  long read_int(std::string_view section, std::string_view key, long def) const;

  // Sets [section] key = value. An existing key line is replaced in place; a new key goes
  // after the last entry of its section; a missing section is appended to the file.
  // Creates the file (and nothing else) when it does not exist. False when it cannot write.
  bool write(std::string_view section, std::string_view key, std::string_view value);

  // Removes [section] key when present. False only when the file cannot be written.
  bool remove(std::string_view section, std::string_view key);

  // The key names of a section in file order (first occurrence of each).
  std::vector<std::string> keys(std::string_view section) const;

  // The section names in file order.
  std::vector<std::string> sections() const;

 private:
  std::filesystem::path path_;
};

}  // namespace common
