// INI files written by other programs: whatever the file holds, reading it never fails,
// and writing one key keeps every other key's value as it was and reads back.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "common/ini.h"
#include "common/text1252.h"
#include "fuzz_check.h"

namespace {

using Values = std::map<std::pair<std::string, std::string>, std::string>;

std::string Upper(const std::string& s) {
  return common::cp1252_upper(s);
}

Values ReadAll(const common::IniFile& ini) {
  Values values;
  for (const std::string& section : ini.sections()) {
    for (const std::string& key : ini.keys(section)) {
      auto id = std::make_pair(Upper(section), Upper(key));
      if (!values.count(id)) values[id] = ini.read(section, key);
    }
  }
  return values;
}

void CheckWrite(common::IniFile& ini, const std::string& section, const std::string& key,
                const std::string& value) {
  const Values before = ReadAll(ini);
  FUZZ_CHECK(ini.write(section, key, value));
  FUZZ_CHECK(ini.read(section, key, "<none>") == value);
  const Values after = ReadAll(ini);
  const auto written = std::make_pair(Upper(section), Upper(key));
  for (const auto& [id, old_value] : before) {
    if (id == written) continue;
    auto found = after.find(id);
    FUZZ_CHECK(found != after.end());
    FUZZ_CHECK(found->second == old_value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Memory-backed when the system has it: each input is a file written and rewritten.
  static const std::filesystem::path folder = std::filesystem::is_directory("/dev/shm")
                                                  ? std::filesystem::path("/dev/shm")
                                                  : std::filesystem::temp_directory_path();
  static const std::filesystem::path path =
      folder / ("orvik-ini-fuzz-" + std::to_string(::getpid()) + ".ini");
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  common::IniFile ini(path);
  const Values values = ReadAll(ini);
  for (const auto& [id, value] : values) FUZZ_CHECK(value.size() <= size);
  // A key of a new section, then a key that is already there (the first one read).
  CheckWrite(ini, "FuzzSecao", "Chave", "valor 1");
  if (!values.empty()) {
    const auto& [id, value] = *values.begin();
    // Names are compared without regard to case; the upper-cased name finds the same key.
    if (!common::trim(id.first).empty() && !common::trim(id.second).empty() &&
        id.second.find('=') == std::string::npos && id.first.find(']') == std::string::npos)
      CheckWrite(ini, id.first, id.second, "novo");
  }
  std::filesystem::remove(path);
  return 0;
}
