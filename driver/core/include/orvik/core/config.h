#pragma once
// Where ORVIK.INI lives. It is looked up afresh every time the driver opens its
// configuration: $ORVIK_INI when set (that file, existing or not); otherwise ORVIK.INI
// (any letter case) in the host executable's folder, then /etc/orvik/, then /etc/.
// When none exists, the executable's folder is used and the first write creates it.
// Folders are only re-read when their entries have changed. The rule itself lives in
// common/orvik_ini.h, shared with the program.
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "common/ini.h"

namespace orvik::core {

std::filesystem::path ConfigPath();

// The first of folders holding ORVIK.INI in any letter case; otherwise ORVIK.INI in the
// first folder. Reads every folder on each call.
std::filesystem::path LookUpConfig(const std::vector<std::filesystem::path>& folders);

// Replaces the folders ConfigPath() looks in when $ORVIK_INI is not set (tests and
// benchmarks point them at scratch folders); an empty list restores the real ones.
void SetConfigFolders(std::vector<std::filesystem::path> folders);

// The configuration file, ready for key-by-key reads and writes.
common::IniFile Config();

// A counter kept in the configuration and changed on every command, in one visit of the
// file: reads [section] key as IniFile::read_int(section, key, def) would, stores
// next(value) back and returns what it stored. When the key's line is exactly key=digits
// and the new number has as many digits, only those digits are overwritten where they
// are (the file keeps its size, every other byte and its identity); any other case
// rewrites the file as IniFile::write does. Either way the file as a whole always
// reads as the old or the new value.
long StepConfigNumber(std::string_view section, std::string_view key, long def,
                      const std::function<long(long)>& next);

}  // namespace orvik::core
