#pragma once
// orvik-cli --procura: which device answers on which serial line. Each line is tried with
// the requests of every kind of device the driver drives, at their usual speeds, harmless
// requests first (a scale's ENQ and a receipt printer's status request never print).
#include <cstdio>
#include <string>
#include <vector>

namespace orvik_cli {

struct Found {
  std::string device;
  std::string kind;  // "" when nothing answered
  int speed = 0;
  std::string problem;  // why the line could not be opened, empty when it could
};

// Tries one device.
Found SearchDevice(const std::string& device);

// The devices to try when none are named: the serial devices that exist, then those the
// [Portas] section of ORVIK.INI maps COMn names to.
std::vector<std::string> DevicesToSearch();

// Prints what answered on each device and the ORVIK.INI keys to write for it.
void PrintFound(const Found& f, std::FILE* out);

}  // namespace orvik_cli
