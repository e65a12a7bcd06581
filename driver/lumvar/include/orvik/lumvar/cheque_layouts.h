#pragma once
// CHEQUES.INI: one section per bank with the column and line of each field of its
// cheques, in the host program's folder.
#include <filesystem>
#include <optional>
#include <string>

#include "common/ini.h"

namespace orvik::lumvar {

// The folder CHEQUES.INI is looked up in (any letter case): the host executable's,
// unless a test has pointed it elsewhere (an empty path goes back to it).
std::filesystem::path ChequesFolder();
void SetChequesFolder(std::filesystem::path folder);

// The layout items of a bank's section (" HPosAno=5 VPosValor=3" ...), in the printer's
// order, for the keys present. Nothing when a key other than the year's holds no whole
// number; bad_key then names it.
std::optional<std::string> ChequeLayout(const common::IniFile& file, const std::string& bank,
                                        std::string* bad_key);

}  // namespace orvik::lumvar
