#pragma once
// Where ORVIK.INI lives. It is looked up afresh every time the driver opens its
// configuration: $ORVIK_INI when set (that file, existing or not); otherwise ORVIK.INI
// (any letter case) in the host executable's folder, then /etc/orvik/, then /etc/.
// When none exists, the executable's folder is used and the first write creates it.
#include <filesystem>
#include <vector>

#include "common/ini.h"

namespace orvik::core {

std::filesystem::path ConfigPath();

// The first of folders holding ORVIK.INI in any letter case; otherwise ORVIK.INI in the
// first folder.
std::filesystem::path LookUpConfig(const std::vector<std::filesystem::path>& folders);

// The configuration file, ready for key-by-key reads and writes.
common::IniFile Config();

}  // namespace orvik::core
