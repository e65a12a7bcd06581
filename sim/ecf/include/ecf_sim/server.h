#pragma once
// Serves a printer on a line: a pseudo-terminal it creates (the host opens the slave) or
// an existing device. One thread reads requests, runs them and writes the replies.
#include <atomic>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "ecf_sim/frame.h"
#include "ecf_sim/printer.h"

namespace ecf_sim {

// Misbehaviour to put on the next requests, for reliability tests.
struct Fault {
  enum Kind { kError, kSilence, kSplit, kNoise, kSlow } kind = kError;
  int code = 0;       // kError: the error number answered (the command is not run)
  int parts = 2;      // kSplit: pieces of the reply
  int delay_ms = 0;   // kSplit: pause between pieces; kSlow: pause before the reply
  std::string noise;  // kNoise: bytes sent before the reply
};

class Server {
 public:
  explicit Server(Printer& printer);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Creates a pseudo-terminal pair; the host opens slave_path().
  bool open_pty(std::string* error);
  // Serves an existing device (a serial port or a pty slave made elsewhere).
  bool open_device(const std::string& path, std::string* error);
  const std::string& slave_path() const { return slave_path_; }

  // Serves on a thread of its own until stop().
  void start();
  void stop();
  // Serves on the calling thread until stop() (or a signal sets the flag).
  void run();
  // Asks run() to return; safe from a signal handler.
  void stop_flag() { stop_ = true; }

  // Lock this while touching the printer from another thread.
  std::mutex& mutex() { return mutex_; }

  // Queues a fault for the next `count` requests (after those already queued).
  void inject(const Fault& f, int count = 1);
  void clear_faults();

  // A control file read (and removed) before each request; see README.md for its lines.
  void set_control_file(std::filesystem::path p) { control_file_ = std::move(p); }
  // Where the state is saved after every request that changed it.
  void set_state_file(std::filesystem::path p) { state_file_ = std::move(p); }

  // Requests served so far.
  uint64_t served() const { return served_; }

 private:
  void handle(const Request& r);
  void apply_control_file();
  bool write_all(std::string_view bytes);

  Printer& printer_;
  int fd_ = -1;         // the side we read and write
  int keep_open_ = -1;  // our own slave descriptor, so the line never hangs up
  std::string slave_path_;
  std::mutex mutex_;
  std::mutex faults_mutex_;
  std::deque<Fault> faults_;
  std::filesystem::path control_file_, state_file_;
  FrameAssembler assembler_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> served_{0};
};

}  // namespace ecf_sim
