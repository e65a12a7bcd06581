#include "orvik/core/log.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <random>

#include "common/clock.h"
#include "common/files.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"

namespace orvik::core {

std::string ScrambleHomolLine(std::string_view plain, uint32_t seed) {
  static const char kHex[] = "0123456789ABCDEF";
  std::minstd_rand generator(seed == 0 ? 1 : seed);
  std::uniform_int_distribution<int> draw(0, 254);
  std::string out;
  out.reserve(plain.size() * 4);
  for (char c : plain) {
    int k = draw(generator);
    if (k % 2 == 0) k += 1;
    const int x = k ^ static_cast<unsigned char>(c);
    out += kHex[x >> 4];
    out += kHex[x & 15];
    out += kHex[k >> 4];
    out += kHex[k & 15];
  }
  return out;
}

std::string HomolPlainLine(double seconds_of_day, std::string_view text) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, seconds_of_day);
  std::string line(buf, ec == std::errc() ? end : buf);
  line += "**";
  line += text;
  return line;
}

std::string LogDatLine(int year, int month, int day, int hour, int minute, int second,
                       std::string_view text) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", day, month, year, hour, minute,
                second);
  std::string line(buf);
  line += "=>";
  line += text;
  return line;
}

void Log(std::string_view text) {
  if (!State().logging) return;
  std::error_code ec;
  const std::filesystem::path here = std::filesystem::current_path(ec);
  if (ec) return;
  const common::LocalDateTime t = common::clock::local_now();
  common::append_line(common::fixed_name(here, "LOG.DAT"),
                      LogDatLine(t.year, t.month, t.day, t.hour, t.minute, t.second, text));
  // One division, so that the shortest form of the result is the plain decimal (45296.123).
  const long millis = ((t.hour * 60L + t.minute) * 60L + t.second) * 1000L + t.millisecond;
  const double seconds = static_cast<double>(millis) / 1000.0;
  // A fresh seed from the clock at every call, so equal lines never scramble alike.
  const auto ticks = common::clock::now().time_since_epoch().count();
  const uint32_t seed = static_cast<uint32_t>(ticks ^ (ticks >> 32));
  common::append_line(common::fixed_name(here, "HOMOL.DAT"),
                      ScrambleHomolLine(HomolPlainLine(seconds, text), seed));
}

}  // namespace orvik::core
