#pragma once
// The virtual checkout scale: it answers each ENQ (0x05) with STX + the weight text + ETX,
// or one of its special texts, on a serial line at its own speed; a host at another speed
// gets garbage. Faults change the next answers.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "devkit/control.h"
#include "devkit/line.h"
#include "devkit/server.h"

namespace scale_sim {

// What the scale reports.
enum class Mode { kWeight, kUnstable, kOverload, kNegative };

struct Fault {
  enum Kind {
    kSilent,    // no answer
    kSlow,      // answer after ms
    kSplit,     // the answer in parts pieces, gap ms apart
    kNoStx,     // text + ETX
    kEmpty,     // STX + ETX
    kPartial,   // a broken frame (STX and the first characters) first, then the answer
    kOverLong,  // STX + 20 digits + ETX
    kNoEtx,     // STX + text
    kFlood,     // bytes without an ETX for ms
  };
  explicit Fault(Kind k, int delay_ms = 0, int pieces = 2) : kind(k), ms(delay_ms), parts(pieces) {}
  Kind kind;
  int ms;
  int parts;
};

// The reply bytes for one ENQ in a mode (no fault).
std::string Frame(Mode mode, const std::string& weight);

class Scale {
 public:
  Scale();
  ~Scale();

  bool open_pty(std::string* error) { return line_.open_pty(error); }
  bool open_device(const std::string& path, std::string* error) {
    return line_.open_device(path, error);
  }
  const std::string& slave_path() const { return line_.slave_path(); }
  void set_speed(int baud) { speed_ = baud; }

  void set_mode(Mode m);
  void set_weight(const std::string& w);
  void inject(const Fault& f, int count = 1) { faults_.push(f, count); }
  void clear_faults() { faults_.clear(); }
  // Answer only the k-th ENQ from now; the ones before it get nothing.
  void answer_only(int k) { skip_ = k > 1 ? k - 1 : 0; }
  void set_control_file(std::filesystem::path p) { control_.set_path(std::move(p)); }

  void start() { server_.start(); }
  void stop() { server_.stop(); }
  void run() { server_.run(); }
  void request_stop() { server_.request_stop(); }

  // ENQs received, answers sent as garbage (speed differs), other bytes received.
  int enqs() const { return enqs_; }
  int garbled() const { return garbled_; }
  int refused() const { return refused_; }

 private:
  void on_bytes(std::string_view bytes);
  void answer_enq();
  void apply_control_file();

  devkit::Line line_;
  devkit::Server server_;
  int speed_ = 9600;
  std::mutex mutex_;
  Mode mode_ = Mode::kWeight;
  std::string weight_ = "00150";
  devkit::FaultQueue<Fault> faults_;
  devkit::ControlFile control_;
  std::atomic<int> skip_{0};
  std::atomic<int> enqs_{0}, garbled_{0}, refused_{0};
};

}  // namespace scale_sim
