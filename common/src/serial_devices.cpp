#include "common/serial_devices.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/serial_line.h"

namespace common {

namespace fs = std::filesystem;

namespace {

// "ttyUSB10" under the prefix "ttyUSB" -> 10; -1 when the rest is not a number.
int number_after(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
  const std::string rest = name.substr(prefix.size());
  if (rest.size() > 4 || rest.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoi(rest);
}

}  // namespace

std::vector<std::string> serial_devices(const fs::path& dev) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
    std::vector<std::pair<int, std::string>> found;
    for (fs::directory_iterator it(dev, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      const int n = number_after(name, prefix);
      if (n >= 0) found.emplace_back(n, it->path().string());
    }
    std::sort(found.begin(), found.end());
    for (auto& f : found) out.push_back(std::move(f.second));
  }
  std::vector<std::string> links;
  for (fs::directory_iterator it(dev / "serial" / "by-id", ec), end; !ec && it != end;
       it.increment(ec))
    links.push_back(it->path().string());
  std::sort(links.begin(), links.end());
  out.insert(out.end(), links.begin(), links.end());
  return out;
}

OpenProblem open_problem_of(int error) {
  switch (error) {
    case 0:
      return OpenProblem::kNone;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
    case EIO:  // a ttyS node without a UART behind it
      return OpenProblem::kNoDevice;
    case EACCES:
    case EPERM:
      return OpenProblem::kPermission;
    case EBUSY:
    case EWOULDBLOCK:
      return OpenProblem::kBusy;
    case ENOTTY:
      return OpenProblem::kNotALine;
    default:
      return OpenProblem::kOther;
  }
}

std::string open_problem_log_text(OpenProblem problem, int error) {
  switch (problem) {
    case OpenProblem::kNone:
      return "";
    case OpenProblem::kNoDevice:
      return "dispositivo inexistente";
    case OpenProblem::kPermission:
      return "permissao negada (o usuario precisa estar no grupo dialout)";
    case OpenProblem::kBusy:
      return "porta em uso por outro processo";
    case OpenProblem::kNotALine:
      return "o nome nao e de um dispositivo serial";
    case OpenProblem::kOther:
      break;
  }
  return std::string("erro ") + std::to_string(error) + " (" + std::strerror(error) + ")";
}

std::string open_problem_advice(OpenProblem problem, int error) {
  switch (problem) {
    case OpenProblem::kNone:
      return "";
    case OpenProblem::kNoDevice:
      return "no such device (is the printer plugged in and switched on? orvik-cli --procura "
             "lists the serial devices that exist)";
    case OpenProblem::kPermission:
      return "permission denied: the user must be in the dialout group (sudo usermod -aG "
             "dialout $USER, then log in again)";
    case OpenProblem::kBusy:
      return "held by another process (close the other program using the port; fuser -v "
             "DEVICE names it)";
    case OpenProblem::kNotALine:
      return "not a serial device";
    case OpenProblem::kOther:
      break;
  }
  return std::string("cannot be opened: ") + std::strerror(error);
}

OpenProblem probe_open(const std::string& device, int* error) {
  SerialLine line;  // opened as the driver opens it, closed again at once
  line.open(device);
  if (error) *error = line.error();
  return line.problem();
}

}  // namespace common
