#pragma once
// The journal of received commands: every request the printer was sent, in order, with
// the code it was answered (-1 when it was not answered).
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace ecf_sim {

struct JournalEntry {
  std::string command, params;
  int code = 0;
};

class Journal {
 public:
  void add(JournalEntry entry);
  std::vector<JournalEntry> entries() const;
  void clear();
  // Writes one line per entry, "command;params;code" with CR LF, through a temporary file
  // renamed over `file`; false when it cannot be written.
  bool write_to(const std::filesystem::path& file) const;

 private:
  mutable std::mutex mutex_;
  std::vector<JournalEntry> entries_;
};

}  // namespace ecf_sim
