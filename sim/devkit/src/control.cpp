#include "devkit/control.h"

#include <unistd.h>

#include <charconv>
#include <fstream>

namespace devkit {

int ControlLine::number(std::size_t i, int fallback) const {
  if (i >= args.size()) return fallback;
  const std::string& a = args[i];
  int v = 0;
  auto [end, ec] = std::from_chars(a.data(), a.data() + a.size(), v);
  if (ec != std::errc() || end != a.data() + a.size()) return fallback;
  return v;
}

std::string ControlLine::text_arg(std::size_t i, const std::string& fallback) const {
  return i < args.size() ? args[i] : fallback;
}

ControlLine parse_control_line(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  ControlLine out;
  out.text = std::string(line);
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    std::size_t end = at;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    if (end > at) {
      std::string w(line.substr(at, end - at));
      if (out.word.empty())
        out.word = std::move(w);
      else
        out.args.push_back(std::move(w));
    }
    at = end;
  }
  return out;
}

std::vector<ControlLine> ControlFile::take() {
  std::vector<ControlLine> out;
  if (path_.empty()) return out;
  std::error_code ec;
  // An empty file is one a writer has just created and not yet filled: removing it
  // would lose the lines written into it a moment later.
  const auto size = std::filesystem::file_size(path_, ec);
  if (ec || size == 0) return out;
  // The file is claimed under another name before it is read, so that a file put in
  // its place meanwhile waits for the next request instead of being removed unread.
  const std::filesystem::path claimed =
      path_.string() + ".taken." + std::to_string(static_cast<long>(::getpid()));
  std::filesystem::rename(path_, claimed, ec);
  if (ec) return out;
  std::ifstream in(claimed);
  std::string line;
  while (std::getline(in, line)) {
    ControlLine c = parse_control_line(line);
    if (!c.word.empty()) out.push_back(std::move(c));
  }
  in.close();
  std::filesystem::remove(claimed, ec);
  return out;
}

}  // namespace devkit
