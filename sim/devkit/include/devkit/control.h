#pragma once
// The control file through which tests and people steer a running device: read and removed
// before each request, one instruction per line, words separated by blanks.
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace devkit {

struct ControlLine {
  std::string text;               // the line as written
  std::string word;               // its first word ("" for a blank line)
  std::vector<std::string> args;  // the words after it

  // Argument i as a number, or `fallback` when it is missing or not a number.
  int number(std::size_t i, int fallback) const;
  // Argument i as written, or `fallback` when missing.
  std::string text_arg(std::size_t i, const std::string& fallback = {}) const;
};

// Splits one line into words (blanks and tabs; a trailing '\r' is dropped).
ControlLine parse_control_line(std::string_view line);

class ControlFile {
 public:
  ControlFile() = default;
  explicit ControlFile(std::filesystem::path p) : path_(std::move(p)) {}
  void set_path(std::filesystem::path p) { path_ = std::move(p); }
  bool enabled() const { return !path_.empty(); }

  // The file's lines when it exists (it is removed), otherwise none. Blank lines are left out.
  // An empty file is left in place for a later call: its writer has not filled it yet.
  // Writers put the file in place whole (written under another name, then renamed).
  std::vector<ControlLine> take();

 private:
  std::filesystem::path path_;
};

// A thread-safe queue of misbehaviours put on the next requests, each taken once.
template <class Fault>
class FaultQueue {
 public:
  void push(const Fault& f, int count = 1) {
    std::lock_guard lock(mutex_);
    for (int i = 0; i < count; ++i) faults_.push_back(f);
  }
  void clear() {
    std::lock_guard lock(mutex_);
    faults_.clear();
  }
  std::optional<Fault> take() {
    std::lock_guard lock(mutex_);
    if (faults_.empty()) return std::nullopt;
    Fault f = faults_.front();
    faults_.pop_front();
    return f;
  }

 private:
  std::mutex mutex_;
  std::deque<Fault> faults_;
};

}  // namespace devkit
