#pragma once
// Serves a virtual QVX printer on a line (devkit): cuts the host's frames (STX ESC "$"
// text ETX) out of the bytes received, checks the line settings on each frame (9600 bit/s
// with CTS flow; silent on any other line), runs the command and writes the reply frame,
// with the faults queued in process or through the control file.
#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "devkit/control.h"
#include "devkit/line.h"
#include "devkit/server.h"
#include "qvx_sim/printer.h"

namespace qvx_sim {

struct Fault {
  enum Kind {
    kError,     // answer error `code` (the command is not run)
    kSilence,   // no answer (not run)
    kSlow,      // wait delay_ms, then answer
    kSplit,     // the reply in `parts` pieces, delay_ms apart
    kNoise,     // `bytes` before the STX
    kDouble,    // an error frame (43) before the real one, in one write
    kShort,     // a frame shorter than the error number (run, but unreadable)
    kTrailing,  // `bytes` after the ETX
  } kind = kError;
  int code = 0;
  int parts = 2;
  int delay_ms = 0;
  std::string bytes;
};

// The reply frame: STX, status, the command number and the document state (2 digits
// each), the error number (or a read's data), ETX.
std::string build_reply(int command, const Printer& printer, const Reply& r);

// The command texts in the bytes received: each frame "STX ESC $ text ETX" in order; a
// frame without ESC "$" yields nothing in `text` and sets `bad_header`. Bytes before an
// STX are dropped; an unfinished frame stays for the next feed.
class FrameCutter {
 public:
  struct Frame {
    std::string text;
    bool bad_header = false;
  };
  void feed(std::string_view bytes);
  std::optional<Frame> next();

 private:
  std::string buffer_;
};

class Server {
 public:
  explicit Server(Printer& printer);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  bool open_pty(std::string* error) { return line_.open_pty(error); }
  bool open_device(const std::string& path, std::string* error) {
    return line_.open_device(path, error);
  }
  const std::string& slave_path() const { return line_.slave_path(); }

  void start() { loop_.start(); }
  void stop() { loop_.stop(); }
  void run() { loop_.run(); }
  void stop_flag() { loop_.request_stop(); }

  // Lock this while touching the printer from another thread.
  std::mutex& mutex() { return mutex_; }

  void inject(const Fault& f, int count = 1) { faults_.push(f, count); }
  void clear_faults() { faults_.clear(); }

  void set_control_file(std::filesystem::path p) { control_.set_path(std::move(p)); }
  void set_state_file(std::filesystem::path p) { state_file_ = std::move(p); }
  // Printed lines are appended to this file as they are printed.
  void set_tape_file(std::filesystem::path p) { tape_file_ = std::move(p); }

  uint64_t served() const { return served_; }
  // Frames left unanswered because the line was not 9600 with CTS flow.
  uint64_t wrong_line() const { return wrong_line_; }

 private:
  void handle(const FrameCutter::Frame& f);
  void apply_control_file();

  Printer& printer_;
  devkit::Line line_;
  std::mutex mutex_;
  devkit::FaultQueue<Fault> faults_;
  devkit::ControlFile control_;
  std::filesystem::path state_file_, tape_file_;
  FrameCutter cutter_;
  std::atomic<uint64_t> served_{0}, wrong_line_{0};
  devkit::Server loop_;
};

// "\x02" style escapes in a control-file argument become their bytes.
std::string decode_bytes(std::string_view text);

}  // namespace qvx_sim
