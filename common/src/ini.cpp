#include "common/ini.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

#include "common/files.h"
#include "common/text1252.h"

namespace common {
namespace {

// One physical line of the file, with its own line end kept so that a rewrite
// reproduces every untouched line byte for byte.
struct Line {
  std::string text;
  std::string end;
};

std::vector<Line> load_lines(const std::filesystem::path& path) {
  std::vector<Line> lines;
  auto data = read_file(path);
  if (!data) return lines;
  const std::string& s = *data;
  size_t i = 0;
  while (i < s.size()) {
    size_t j = s.find_first_of("\r\n", i);
    if (j == std::string::npos) {
      lines.push_back({s.substr(i), ""});
      break;
    }
    size_t end_len = (s[j] == '\r' && j + 1 < s.size() && s[j + 1] == '\n') ? 2 : 1;
    lines.push_back({s.substr(i, j - i), s.substr(j, end_len)});
    i = j + end_len;
  }
  return lines;
}

bool section_name(std::string_view line, std::string& name) {
  line = trim(line);
  if (line.empty() || line.front() != '[') return false;
  size_t close = line.find(']');
  name = std::string(
      trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1)));
  return true;
}

bool key_value(std::string_view line, std::string& key, std::string& value) {
  std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return false;
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  key = std::string(trim(t.substr(0, eq)));
  std::string_view v = trim(t.substr(eq + 1));
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  value = std::string(v);
  return true;
}

// Writes beside the target and renames over it, so that a failure never leaves a
// half-written configuration behind.
bool save_lines(const std::filesystem::path& path, const std::vector<Line>& lines) {
  std::error_code ec;
  std::filesystem::path target = path;
  if (std::filesystem::is_symlink(path, ec)) target = std::filesystem::canonical(path, ec);
  if (ec) target = path;
  std::filesystem::path tmp = target;
  tmp += ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const Line& l : lines) out << l.text << l.end;
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(tmp, ec);
      return false;
    }
  }
  std::filesystem::rename(tmp, target, ec);
  if (ec) {
    std::filesystem::remove(tmp, ec);
    return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> IniFile::find(std::string_view section, std::string_view key) const {
  auto data = read_file(path_);
  if (!data) return std::nullopt;
  bool in_section = false, seen_section = false;
  std::string name, k, v;
  for (const std::string& line : split_lines(*data)) {
    if (section_name(line, name)) {
      if (seen_section && in_section) return std::nullopt;  // first section of that name only
      in_section = iequals(name, section);
      seen_section = seen_section || in_section;
      continue;
    }
    if (in_section && key_value(line, k, v) && iequals(k, key)) return v;
  }
  return std::nullopt;
}

std::string IniFile::read(std::string_view section, std::string_view key,
                          std::string_view def) const {
  auto v = find(section, key);
  return v ? *v : std::string(def);
}

long IniFile::read_int(std::string_view section, std::string_view key, long def) const {
  auto v = find(section, key);
  if (!v) return def;
  const std::string& s = *v;
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  if (i >= s.size() || s[i] < '0' || s[i] > '9') return def;
  long n = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    if (n > 100000000000L) break;
    n = n * 10 + (s[i] - '0');
  }
  return neg ? -n : n;
}

bool IniFile::write(std::string_view section, std::string_view key, std::string_view value) {
  std::vector<Line> lines = load_lines(path_);
  // A line break inside the value would end the key's line and start a line of its own
  // (a forged key or section); it is stored as a blank instead.
  std::string entry = std::string(key) + "=" + std::string(value);
  for (size_t i = key.size() + 1; i < entry.size(); ++i)
    if (entry[i] == '\r' || entry[i] == '\n') entry[i] = ' ';
  std::string name, k, v;
  bool in_section = false;
  long section_at = -1, last_entry = -1;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (section_name(lines[i].text, name)) {
      if (in_section) break;
      if (iequals(name, section)) {
        in_section = true;
        section_at = last_entry = static_cast<long>(i);
      }
      continue;
    }
    if (!in_section) continue;
    if (key_value(lines[i].text, k, v) && iequals(k, key)) {
      // The driver writes its port and path back on every command; when the line is already
      // what it would become, rewriting the file would only cost a file creation and a rename.
      if (lines[i].text == entry) return true;
      lines[i].text = entry;
      return save_lines(path_, lines);
    }
    if (!trim(lines[i].text).empty()) last_entry = static_cast<long>(i);
  }
  if (!lines.empty() && lines.back().end.empty()) lines.back().end = "\r\n";
  if (section_at < 0) {
    std::string header = "[";
    header.append(section).append("]");
    lines.push_back({std::move(header), "\r\n"});
    lines.push_back({entry, "\r\n"});
  } else {
    lines.insert(lines.begin() + last_entry + 1, Line{entry, "\r\n"});
  }
  return save_lines(path_, lines);
}

bool IniFile::remove(std::string_view section, std::string_view key) {
  std::vector<Line> lines = load_lines(path_);
  std::string name, k, v;
  bool in_section = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (section_name(lines[i].text, name)) {
      if (in_section) break;
      in_section = iequals(name, section);
      continue;
    }
    if (in_section && key_value(lines[i].text, k, v) && iequals(k, key)) {
      lines.erase(lines.begin() + static_cast<long>(i));
      return save_lines(path_, lines);
    }
  }
  return true;
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
  std::vector<std::string> out;
  auto data = read_file(path_);
  if (!data) return out;
  bool in_section = false, done = false;
  std::string name, k, v;
  for (const std::string& line : split_lines(*data)) {
    if (section_name(line, name)) {
      if (in_section) done = true;
      in_section = !done && iequals(name, section);
      continue;
    }
    if (!in_section || !key_value(line, k, v)) continue;
    bool dup = false;
    for (const auto& e : out) dup = dup || iequals(e, k);
    if (!dup) out.push_back(k);
  }
  return out;
}

std::vector<std::string> IniFile::sections() const {
  std::vector<std::string> out;
  auto data = read_file(path_);
  if (!data) return out;
  std::string name;
  for (const std::string& line : split_lines(*data))
    if (section_name(line, name)) out.push_back(name);
  return out;
}

}  // namespace common
