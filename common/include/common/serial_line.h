#pragma once
// A host's end of a serial line for the tools beside the driver (the port search, the
// network-mode relay): opened as the driver opens it (read-write, exclusive, an existing
// character device, never blocking), set to one speed and framing, written and read with
// time limits. POSIX only.
#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>

#include "common/serial_devices.h"

namespace common {

struct SerialFraming {
  int speed = 9600;
  char parity = 'N';  // 'N' or 'E'
  bool cts_flow = false;
};

class SerialLine {
 public:
  SerialLine() = default;
  ~SerialLine() { close(); }
  SerialLine(const SerialLine&) = delete;
  SerialLine& operator=(const SerialLine&) = delete;

  // Opens the device; on failure problem() and error() say why.
  bool open(const std::string& device);
  // Raw mode with the framing; false when the line refused it. A line that cannot take
  // parity (a pseudo-terminal) is set without it.
  bool configure(const SerialFraming& framing);
  bool is_open() const { return fd_ >= 0; }
  void close();

  // Writes every byte within the time limit; false when not all went out.
  bool write_all(std::string_view bytes, std::chrono::milliseconds limit);
  // Reads until done(bytes so far) holds or the time limit passes; what arrived.
  template <class Done>
  std::string read_until(Done done, std::chrono::milliseconds limit) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done(got)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      got += read_some(static_cast<int>(std::min<long long>(left.count(), 50)));
    }
    return got;
  }
  // What arrives within wait_ms (returns as soon as bytes are there).
  std::string read_some(int wait_ms);
  // Drops what is waiting on the line (a late answer to an earlier request).
  void drain();

  OpenProblem problem() const { return problem_; }
  int error() const { return error_; }

 private:
  int fd_ = -1;
  OpenProblem problem_ = OpenProblem::kNone;
  int error_ = 0;
};

}  // namespace common
