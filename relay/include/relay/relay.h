#pragma once
// The printer's end of the driver's network mode: COMANDO.TXT in, the printer's reply out
// as STATUS.TXT.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/serial_line.h"

namespace relay {

struct Options {
  std::filesystem::path folder;
  std::string device;
  int speed = 115200;
  std::chrono::milliseconds reply_limit{60000};
  std::chrono::milliseconds poll_interval{100};
};

// The frame a COMANDO.TXT holds: its first line when that line is whole (its line end
// written) and is a frame "{...}"; nothing while it is still being written or when it is
// no frame (whole says which).
struct CommandText {
  std::optional<std::string> frame;
  bool whole = false;
};
CommandText ReadCommandText(std::string_view content);

// The packet number of a frame or a reply ("{12;..." -> "12"); empty when there is none.
std::string PacketOf(std::string_view frame);

class Relay {
 public:
  using Logger = std::function<void(const std::string&)>;
  Relay(Options options, Logger log);
  ~Relay();

  // Checks the folder and starts watching it; false with the reason when it cannot.
  bool Start(std::string* error);
  // Serves until stop becomes true.
  void Run(const std::atomic<bool>& stop);
  // Handles the COMANDO.TXT present now, if it is whole; true when one was taken.
  bool HandleCommand(const std::atomic<bool>& stop);

 private:
  void WaitForChange();
  bool EnsureLine();
  std::optional<std::string> Exchange(const std::string& frame, const std::atomic<bool>& stop);
  bool WriteStatus(const std::string& reply);

  Options options_;
  Logger log_;
  common::SerialLine line_;
  int inotify_ = -1;
  bool folder_missing_ = false;
  std::string incomplete_seen_;
};

}  // namespace relay
