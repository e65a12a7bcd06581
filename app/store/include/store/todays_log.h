#pragma once
// Today's operation-log list (the data module's tLog), kept as a full reading of its
// query would give it, at a cost that does not grow with the day: after a log line only
// the lines added since the last reading are read and put in their places.
//
// What this relies on: LOG rows are only ever added (nothing in the system changes or
// removes them) and take their keys from the generator GEN_LOG. A key handed out but
// not yet committed when the list was read is looked for again later, for the next
// kPendingWindow keys; a line committed even later shows at the next full reading.
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "store/firebird.h"

namespace store {

class TodaysLog {
 public:
  // How far below the newest key a key not seen yet is still looked for.
  static constexpr std::int64_t kPendingWindow = 2000;

  // list: the query the windows show; tr: its transaction.
  TodaysLog(Query& list, Transaction& tr);
  ~TodaysLog();
  TodaysLog(const TodaysLog&) = delete;
  TodaysLog& operator=(const TodaysLog&) = delete;

  // Reads the list whole. Throws DatabaseError, and the list is then closed.
  void Reload();
  // Brings the list up to date. Reads it whole when it was not read here last (closed,
  // or opened by other hands), when the day changed or a user's name changed (the names
  // of earlier lines change with it), or when reading only the new lines failed.
  // Throws DatabaseError when even the whole reading fails; the list is then closed.
  void Refresh();

  // How many times the list was read whole here.
  int full_reads() const { return full_reads_; }

 private:
  struct Key {
    std::int64_t hour = 0;  // in ten-thousandths of a second, as the column keeps it
    std::int64_t id = 0;
  };
  // The list's order: newest first, by hour and then by key.
  static bool comes_before(const Key& a, const Key& b);

  struct State {
    std::string day;
    std::int64_t last_key = 0;
    std::vector<std::pair<std::string, std::string>> users;  // key, name
  };
  State read_state();
  // Reads the lines added since the last reading; false when the list must be read whole.
  bool read_new_lines();
  // Moves the rows out of q, takes each row's key and removes the key's column; false
  // when a key cannot be read (the rows are still good, but cannot be merged).
  bool take_with_keys(Query& q, RowSet& rows, std::vector<Key>& keys);
  void mark_unseen(std::int64_t from, std::int64_t to, const std::set<std::int64_t>& seen);
  // The pending keys whose lines are committed by now, with their days.
  std::vector<std::pair<std::int64_t, std::string>> committed_pending();

  Query& list_;
  Query state_;
  Query whole_;
  Query newer_;
  Query probe_;
  Query range_;
  int token_ = 0;
  bool updating_ = false;
  bool known_ = false;  // the list holds what this reader last read, and the state below
  int full_reads_ = 0;

  std::vector<Key> keys_;  // one per row of the list
  std::string day_;
  std::vector<std::pair<std::string, std::string>> users_;
  std::int64_t newest_ = 0;         // every key up to this one is seen or pending
  std::set<std::int64_t> pending_;  // keys handed out but not seen yet
};

}  // namespace store
