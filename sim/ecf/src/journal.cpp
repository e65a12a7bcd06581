#include "ecf_sim/journal.h"

#include "devkit/state_file.h"

namespace ecf_sim {

void Journal::add(JournalEntry entry) {
  std::lock_guard lock(mutex_);
  entries_.push_back(std::move(entry));
}

std::vector<JournalEntry> Journal::entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

void Journal::clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
}

bool Journal::write_to(const std::filesystem::path& file) const {
  std::string text;
  for (const JournalEntry& e : entries())
    text += e.command + ";" + e.params + ";" + std::to_string(e.code) + "\r\n";
  std::string error;
  return devkit::save_atomically(file, text, &error);
}

}  // namespace ecf_sim
