#pragma once
// Faults aimed at one named command: they wait until a request of that command arrives
// (its parameter text holding the given piece, when one is given) and apply to it alone,
// so a test can fail one read among the dozens a report sends.
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ecf_sim {

template <class Fault>
class AimedFaults {
 public:
  // Puts fault on the next `count` requests of command (letter case ignored) whose
  // parameters contain match (any parameters when match is empty).
  void add(const Fault& fault, std::string command, std::string match, int count) {
    std::lock_guard lock(mutex_);
    aimed_.push_back(Aimed{fault, lower(command), std::move(match), count < 1 ? 1 : count});
  }
  void clear() {
    std::lock_guard lock(mutex_);
    aimed_.clear();
  }
  // The first waiting fault this request matches, used up once; nothing when none does.
  std::optional<Fault> take(std::string_view command, std::string_view params) {
    std::lock_guard lock(mutex_);
    const std::string name = lower(command);
    for (auto it = aimed_.begin(); it != aimed_.end(); ++it) {
      if (it->command != name) continue;
      if (!it->match.empty() && params.find(it->match) == std::string_view::npos) continue;
      Fault f = it->fault;
      if (--it->remaining == 0) aimed_.erase(it);
      return f;
    }
    return std::nullopt;
  }

 private:
  struct Aimed {
    Fault fault;
    std::string command, match;
    int remaining;
  };
  static std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
  }
  std::mutex mutex_;
  std::vector<Aimed> aimed_;
};

}  // namespace ecf_sim
