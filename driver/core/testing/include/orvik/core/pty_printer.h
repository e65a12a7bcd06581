#pragma once
// A scripted printer on the master side of a real pseudo-terminal, for tests and
// benchmarks of the engines: the driver opens the slave (slave_name()) like a serial
// line; a thread here collects each frame up to its closing brace and answers it.
#include <termios.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvik::core {

class PtyPrinter {
 public:
  struct Frame {
    std::string text;  // the whole frame as received
    std::string packet, command, parameters;
    termios line{};  // the slave's line settings when the frame arrived
  };
  // Bytes to answer a frame with; empty stays silent. Called on the printer's thread.
  using Script = std::function<std::string(const Frame&)>;

  // hold_line keeps a slave descriptor open in the printer, as a real line never hangs
  // up between commands: the printer then wakes on data alone, and bytes the driver
  // left unread stay in the line for the next command.
  explicit PtyPrinter(Script script, bool hold_line = false);
  ~PtyPrinter();
  PtyPrinter(const PtyPrinter&) = delete;
  PtyPrinter& operator=(const PtyPrinter&) = delete;

  const std::string& slave_name() const { return slave_name_; }
  int master() const { return master_; }
  std::vector<Frame> frames() const;
  std::vector<std::string> commands() const;
  void clear();

  // An ordinary Lumvar reply to a frame: "{" packet ";" code ";" results ";" length "}".
  static std::string Reply(const Frame& f, const std::string& code, const std::string& results);

 private:
  void Run();
  void Answer(const std::string& bytes);

  Script script_;
  int master_ = -1;
  int held_slave_ = -1;
  std::string slave_name_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<Frame> frames_;
  std::thread thread_;
};

}  // namespace orvik::core
