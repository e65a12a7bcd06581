#pragma once
// Port names of the Windows texts ("COM3", "LPT1") mapped to Linux devices, the one
// mapping the driver's port layer and the memory-reading libraries share: [Portas] COMn
// (LPTn) of the driver's ORVIK.INI when present, otherwise /dev/ttyS(n-1) (/dev/parport(n-1)).
#include <filesystem>
#include <string>
#include <string_view>

#include "common/ini.h"
#include "common/orvik_ini.h"  // orvik_ini_path(): where the mapping is read from

namespace common {

// The number in characters 4-5 of a port text ("COM12" -> 12), or 1 when they are not a
// number (an optional '+' allowed, as the profile API reads integers).
int port_number(std::string_view text);

// Device of serial port n (parallel port n) under the [Portas] section of ini.
std::string serial_device(const IniFile& ini, int number);
std::string parallel_device(const IniFile& ini, int number);

// The device of serial (parallel) port n when [Portas] names none: /dev/ttyS(n-1)
// (/dev/parport(n-1)) on Linux, \\.\COMn (LPTn) on Windows.
std::string default_serial_device(int number);
std::string default_parallel_device(int number);

// A port text that names a device by its path ("/dev/ttyUSB0", "/dev/serial/by-id/..."),
// taken as it is instead of through the COMn mapping.
bool is_device_path(std::string_view text);

// Device of a port text: the text itself when it is a device path, otherwise
// serial_device(ini, port_number(text)).
std::string serial_device_for(const IniFile& ini, std::string_view text);

}  // namespace common
