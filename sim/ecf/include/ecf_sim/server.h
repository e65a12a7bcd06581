#pragma once
// Serves a printer on a line: a pseudo-terminal it creates (the host opens the slave) or
// an existing device. One thread reads requests, runs them and writes the replies.
#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>

#include "devkit/control.h"
#include "devkit/line.h"
#include "devkit/server.h"
#include "ecf_sim/aimed_faults.h"
#include "ecf_sim/frame.h"
#include "ecf_sim/journal.h"
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
  const std::string& slave_path() const { return line_.slave_path(); }

  // Serves on a thread of its own until stop().
  void start();
  void stop();
  // Serves on the calling thread until stop() (or a signal sets the flag).
  void run();
  // Asks run() to return; safe from a signal handler.
  void stop_flag() { loop_.request_stop(); }

  // Lock this while touching the printer from another thread.
  std::mutex& mutex() { return mutex_; }

  // Queues a fault for the next `count` requests (after those already queued).
  void inject(const Fault& f, int count = 1);
  // Puts a fault on the next `count` requests of one command whose parameter text holds
  // match (any when empty); it waits for them while other requests pass.
  void inject_on(const Fault& f, std::string command, std::string match = {}, int count = 1);
  // Drops the queued and the aimed faults.
  void clear_faults();

  // Every request received, with the code it was answered.
  std::vector<JournalEntry> journal() const { return journal_.entries(); }
  void clear_journal() { journal_.clear(); }

  // A control file read (and removed) before each request; see README.md for its lines.
  void set_control_file(std::filesystem::path p) { control_.set_path(std::move(p)); }
  // Where the state is saved after every request that changed it.
  void set_state_file(std::filesystem::path p) { state_file_ = std::move(p); }

  // Requests served so far.
  uint64_t served() const { return served_; }

 private:
  void handle(const Request& r);
  void apply_control_file();

  Printer& printer_;
  devkit::Line line_;
  std::mutex mutex_;
  devkit::FaultQueue<Fault> faults_;
  AimedFaults<Fault> aimed_;
  Journal journal_;
  devkit::ControlFile control_;
  std::filesystem::path state_file_;
  FrameAssembler assembler_;
  std::atomic<uint64_t> served_{0};
  devkit::Server loop_;
};

}  // namespace ecf_sim
