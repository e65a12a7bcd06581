#include "common/ports.h"

#include <charconv>

#include "common/files.h"

namespace common {

int port_number(std::string_view text) {
  std::string_view digits = text.size() > 3 ? text.substr(3, 2) : std::string_view{};
  if (!digits.empty() && digits.front() == '+') {
    digits.remove_prefix(1);
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) return 1;
  }
  if (digits.empty()) return 1;
  int value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size()) return 1;
  return value;
}

namespace {
std::string mapped(const IniFile& ini, const std::string& key, const std::string& fallback) {
  std::string device = ini.read("Portas", key, "");
  return device.empty() ? fallback : device;
}
}  // namespace

std::string serial_device(const IniFile& ini, int number) {
  return mapped(ini, "COM" + std::to_string(number), default_serial_device(number));
}

std::string parallel_device(const IniFile& ini, int number) {
  return mapped(ini, "LPT" + std::to_string(number), default_parallel_device(number));
}

bool is_device_path(std::string_view text) {
  return !text.empty() && text.front() == '/';
}

std::string serial_device_for(const IniFile& ini, std::string_view text) {
  if (is_device_path(text)) return std::string(text);
  return serial_device(ini, port_number(text));
}

}  // namespace common
