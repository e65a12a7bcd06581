#include "orvik/memfiles/ato17_reader.h"

#include <array>
#include <span>

namespace orvik::memfiles {
namespace {

constexpr std::array<int, 18> kE01 = {3, 20, 1, 7, 20, 20, 10, 8, 6, 3, 14, 3, 6, 6, 8, 8, 8, 15};
constexpr std::array<int, 13> kE02 = {3, 20, 1, 20, 14, 14, 40, 120, 8, 6, 6, 18, 2};
constexpr std::array<int, 13> kE12 = {3, 20, 1, 20, 2, 6, 6, 6, 8, 8, 6, 14, 1};
constexpr std::array<int, 8> kE13 = {3, 20, 1, 20, 2, 6, 7, 13};
constexpr std::array<int, 19> kE14 = {3, 20, 1, 20, 2, 6,  6, 8,  14, 13,
                                      1, 13, 1, 14, 1, 13, 1, 40, 14};
constexpr std::array<int, 24> kE15 = {3, 20, 1, 20, 2, 6, 6, 3,  14, 100, 7, 3,
                                      8, 8,  8, 14, 7, 1, 7, 13, 13, 1,   1, 1};

std::string Trim(std::string_view s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string_view::npos) return {};
  const size_t b = s.find_last_not_of(' ');
  return std::string(s.substr(a, b - a + 1));
}

}  // namespace

std::optional<Ato17Line> ParseAto17Line(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() < 3 || line[0] != 'E' || line[1] < '0' || line[1] > '9' || line[2] < '0' ||
      line[2] > '9')
    return std::nullopt;
  Ato17Line out;
  out.record = (line[1] - '0') * 10 + (line[2] - '0');
  std::span<const int> widths;
  switch (out.record) {
    case 1:
      widths = kE01;
      break;
    case 2:
      widths = kE02;
      break;
    case 12:
      widths = kE12;
      break;
    case 13:
      widths = kE13;
      break;
    case 14:
      widths = kE14;
      break;
    case 15:
      widths = kE15;
      break;
    default:
      return std::nullopt;
  }
  size_t total = 0;
  for (int w : widths) total += static_cast<size_t>(w);
  if (line.size() < total) return std::nullopt;
  size_t at = 0;
  out.fields.reserve(widths.size());
  for (int w : widths) {
    out.fields.emplace_back(line.substr(at, static_cast<size_t>(w)));
    at += static_cast<size_t>(w);
  }
  auto& f = out.fields;
  if (out.record == 2) {
    const size_t nonzero = f[5].find_first_not_of('0');
    f[5] = nonzero == std::string::npos ? std::string() : f[5].substr(nonzero);
    f[6] = Trim(f[6]);
    f[7] = Trim(f[7]);
  } else if (out.record == 13) {
    f[6] = Trim(f[6]);
  } else if (out.record == 15) {
    f[16] = Trim(f[16]);
  }
  return out;
}

}  // namespace orvik::memfiles
