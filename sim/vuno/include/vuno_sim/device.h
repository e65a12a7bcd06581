#pragma once
// The virtual non-fiscal printer served to a host: on a serial line (a pseudo-terminal
// or a device, checked against the printer's own line settings) or on the parallel
// port's register link (a Unix socket served to libinpout32.so), with the faults a
// real printer shows.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "devkit/control.h"
#include "devkit/line.h"
#include "devkit/server.h"
#include "vuno_sim/printer.h"

namespace vuno_sim {

// Misbehaviour put on the next requests (serial: the next status answers; parallel: the
// next bytes strobed).
struct Fault {
  enum Kind {
    kSilent,   // no answer
    kSlow,     // serial: answer after ms; parallel: the next byte keeps the printer busy ms
    kGarbage,  // serial: bytes sent after the status byte
  };
  explicit Fault(Kind k, int delay_ms = 0, std::string extra = {})
      : kind(k), ms(delay_ms), bytes(std::move(extra)) {}
  Kind kind;
  int ms;
  std::string bytes;
};

// The printer, its faults and its sensors; shared by the two ways of serving it.
class Device {
 public:
  Printer& printer() { return printer_; }
  // Lock this while touching the printer from another thread.
  std::mutex& mutex() { return mutex_; }

  void inject(const Fault& f, int count = 1) { faults_.push(f, count); }
  void clear_faults() { faults_.clear(); }
  std::optional<Fault> take_fault() { return faults_.take(); }

  // The control file, read and removed before each request (README.md lists its lines).
  void set_control_file(std::filesystem::path p) { control_.set_path(std::move(p)); }
  void apply_control_file();

  // Off line: the printer takes nothing and answers nothing (serial), or shows itself
  // deselected and busy (parallel).
  std::atomic<bool> offline{false};
  // Parallel: busy never clears.
  std::atomic<bool> stuck_busy{false};
  // Parallel: how long each byte keeps the printer busy.
  std::atomic<int> busy_us{0};
  // Serial: the next bytes are left unread this long, so the host's writes back up.
  std::atomic<int> stall_next_ms{0};

  // Writes the journal lines not written yet to the journal file, when one is set.
  void set_journal_file(std::filesystem::path p) { journal_file_ = std::move(p); }
  void flush_journal();

 private:
  Printer printer_;
  std::mutex mutex_;
  devkit::FaultQueue<Fault> faults_;
  devkit::ControlFile control_;
  std::filesystem::path journal_file_;
  size_t journal_written_ = 0;
};

// The printer on a serial line: 9600 8N1 without flow control unless told otherwise.
// Bytes that arrive while the host's settings differ are garbage to the printer.
class SerialServer {
 public:
  explicit SerialServer(Device& device);
  ~SerialServer();

  bool open_pty(std::string* error) { return line_.open_pty(error); }
  bool open_device(const std::string& path, std::string* error) {
    return line_.open_device(path, error);
  }
  const std::string& slave_path() const { return line_.slave_path(); }
  // The settings the printer works at.
  void set_expected(devkit::LineSettings s) { expected_ = s; }

  void start() { server_.start(); }
  void stop() { server_.stop(); }
  void run() { server_.run(); }
  void request_stop() { server_.request_stop(); }

 private:
  void on_bytes(std::string_view bytes);

  Device& device_;
  devkit::Line line_;
  devkit::LineSettings expected_{9600, 8, 'N', 1, false};
  devkit::Server server_;
};

// The printer's parallel port: the register link of libinpout32.so on a Unix socket.
// A byte is latched when the strobe goes active, keeps the printer busy for busy_us and
// is then acknowledged.
class ParallelServer {
 public:
  explicit ParallelServer(Device& device) : device_(device) {}
  ~ParallelServer();

  bool listen(const std::filesystem::path& socket, std::string* error);
  void start();
  void stop();
  void run();
  void request_stop() { stop_ = true; }

  // Register requests served so far.
  uint64_t requests() const { return requests_; }
  // The status register as it reads now.
  uint8_t status();

 private:
  // One request's reply (2 bytes); false when the printer stays silent.
  bool handle(const unsigned char request[3], unsigned char reply[2]);
  void serve_client(int fd);

  Device& device_;
  int listener_ = -1;
  std::filesystem::path path_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> requests_{0};
  uint8_t data_ = 0, control_ = 0;
  std::chrono::steady_clock::time_point busy_until_{};
  bool ack_pending_ = false;
};

}  // namespace vuno_sim
