#pragma once
// Serial lines as Linux names them: the devices that exist (/dev/ttyS*, ttyUSB*, ttyACM*
// and the stable /dev/serial/by-id/ links), and why one of them cannot be opened, in
// words a shop's technician can act on. POSIX only; the port texts ("COM3") are ports.h.
#include <filesystem>
#include <string>
#include <vector>

namespace common {

// The serial devices under dev: ttyS, ttyUSB and ttyACM in number order, then the
// serial/by-id links (each by its own path, which survives replugging).
std::vector<std::string> serial_devices(const std::filesystem::path& dev = "/dev");

// Why opening a serial device failed, from the errno of the failed open or lock.
enum class OpenProblem { kNone, kNoDevice, kPermission, kBusy, kNotALine, kOther };
OpenProblem open_problem_of(int error);

// The same reason as a LOG.DAT line (Portuguese, 8-bit safe) and as a sentence for the
// command-line tools (English, with what to do about it).
std::string open_problem_log_text(OpenProblem problem, int error);
std::string open_problem_advice(OpenProblem problem, int error);

// Tries the device the way the driver opens it (read-write, exclusive, an existing
// character device) and closes it again; kNone when it could be opened. error gets errno.
OpenProblem probe_open(const std::string& device, int* error = nullptr);

}  // namespace common
