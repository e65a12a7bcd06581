#include "store/todays_log.h"

#include <algorithm>

namespace store {

namespace {

// The list's own columns, then the hour with its fractions: rows read here are put in
// the list without the last column.
const char* const kSelect =
    "select log.*, usuarios.nome_usuario, cast(log.hora as char(13)) as chave_hora\n"
    "from log left join usuarios on log.id_usuario = usuarios.id_usuario\n";
const char* const kHourKey = "CHAVE_HORA";

// "HH:MM:SS.FFFF" in ten-thousandths of a second; -1 when it is not that.
std::int64_t hour_key(const std::string& t) {
  if (t.size() < 8 || t[2] != ':' || t[5] != ':') return -1;
  std::int64_t v = 0;
  int decimals = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    if (i == 2 || i == 5 || (i == 8 && c == '.')) continue;
    if (c == ' ' && i >= 8) break;
    if (c < '0' || c > '9' || (i > 8 && ++decimals > 4)) return -1;
    v = v * 10 + (c - '0');
  }
  for (; decimals < 4; ++decimals) v *= 10;
  return v;  // HHMMSSFFFF read as one number keeps the order of the hours
}

struct Updating {
  bool& flag;
  bool before;
  explicit Updating(bool& f) : flag(f), before(f) { flag = true; }
  ~Updating() { flag = before; }
};

}  // namespace

TodaysLog::TodaysLog(Query& list, Transaction& tr)
    : list_(list),
      state_("todays_log_state", tr,
             "select current_date as dia, gen_id(gen_log, 0) as ultimo, u.id_usuario, "
             "u.nome_usuario\nfrom rdb$database left join usuarios u on 1 = 1 "
             "order by u.id_usuario"),
      whole_("todays_log_whole", tr,
             std::string(kSelect) +
                 "where DATA = CURRENT_DATE order by hora desc, log.id_itemlog desc"),
      newer_("todays_log_newer", tr, std::string(kSelect) + "where log.id_itemlog > :desde"),
      probe_("todays_log_probe", tr,
             "select id_itemlog, data from log where id_itemlog between :de and :ate"),
      range_("todays_log_range", tr,
             std::string(kSelect) + "where log.id_itemlog between :de and :ate") {
  // Opened or closed by other hands, the list no longer matches what was read here.
  token_ = list_.Subscribe([this](const Query&) {
    if (!updating_) known_ = false;
  });
}

TodaysLog::~TodaysLog() {
  list_.Unsubscribe(token_);
}

bool TodaysLog::comes_before(const Key& a, const Key& b) {
  if (a.hour != b.hour) return a.hour > b.hour;
  return a.id > b.id;
}

TodaysLog::State TodaysLog::read_state() {
  state_.Close();
  state_.Open();
  const RowSet& r = state_.Rows();
  State s;
  if (r.empty()) throw DatabaseError(-901, {}, "Estado do log do dia não lido.");
  s.day = r.at(0, "DIA");
  s.last_key = r.integer(0, "ULTIMO");
  for (std::size_t i = 0; i < r.size(); ++i)
    if (!r.is_null(i, "ID_USUARIO"))
      s.users.emplace_back(r.at(i, "ID_USUARIO"), r.at(i, "NOME_USUARIO"));
  state_.Close();
  return s;
}

bool TodaysLog::take_with_keys(Query& q, RowSet& rows, std::vector<Key>& keys) {
  rows = q.TakeRows();
  keys.clear();
  if (rows.columns.empty() || rows.columns.back() != kHourKey) return false;
  int id = rows.column("ID_ITEMLOG");
  bool good = id >= 0;
  keys.reserve(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::vector<std::string>& row = rows.rows[i];
    Key k{hour_key(row.back()), 0};
    good = good && k.hour >= 0 && !rows.nulls[i][static_cast<std::size_t>(id)];
    if (good) k.id = rows.integer(i, "ID_ITEMLOG");
    keys.push_back(k);
    row.pop_back();
    rows.nulls[i].pop_back();
  }
  rows.columns.pop_back();
  return good;
}

void TodaysLog::mark_unseen(std::int64_t from, std::int64_t to,
                            const std::set<std::int64_t>& seen) {
  for (std::int64_t id = std::max<std::int64_t>({from, to - kPendingWindow + 1, 1}); id <= to; ++id)
    if (!seen.count(id)) pending_.insert(id);
}

std::vector<std::pair<std::int64_t, std::string>> TodaysLog::committed_pending() {
  std::vector<std::pair<std::int64_t, std::string>> out;
  if (pending_.empty()) return out;
  probe_.Close();
  probe_.SetParam("de", *pending_.begin());
  probe_.SetParam("ate", *pending_.rbegin());
  probe_.Open();
  const RowSet& p = probe_.Rows();
  for (std::size_t i = 0; i < p.size(); ++i) {
    std::int64_t id = p.integer(i, "ID_ITEMLOG");
    if (pending_.count(id)) out.emplace_back(id, p.at(i, "DATA"));
  }
  probe_.Close();
  return out;
}

void TodaysLog::Reload() {
  Updating guard(updating_);
  known_ = false;
  keys_.clear();
  pending_.clear();
  State s;
  try {
    s = read_state();
  } catch (const DatabaseError&) {
    // A catalogue without the key generator: the list is read as its own text says,
    // every time.
    list_.Close();
    list_.Open();
    ++full_reads_;
    return;
  }
  std::vector<Key> keys;
  RowSet rows;
  try {
    whole_.Close();
    whole_.Open();
  } catch (...) {
    list_.Close();
    throw;
  }
  ++full_reads_;
  bool mergeable = take_with_keys(whole_, rows, keys);

  // Every key handed out so far is in the list or looked for later (a line committed
  // after the reading).
  std::int64_t handed_out = -1;
  try {
    handed_out = read_state().last_key;
  } catch (const DatabaseError&) {
  }
  mergeable = mergeable && handed_out >= 0;
  std::set<std::int64_t> seen;
  for (const Key& k : keys) {
    if (k.id > handed_out - kPendingWindow) seen.insert(k.id);
  }
  newest_ = handed_out;
  mark_unseen(1, handed_out, seen);
  // Most of those are lines of earlier days: settled now, while the whole reading is
  // being paid for, rather than with the next line.
  if (mergeable) {
    try {
      for (auto& [id, day] : committed_pending())
        if (day != s.day) pending_.erase(id);
    } catch (const DatabaseError&) {
    }
  }

  mergeable = mergeable && std::is_sorted(keys.begin(), keys.end(), comes_before);
  keys_ = std::move(keys);
  day_ = std::move(s.day);
  users_ = std::move(s.users);
  list_.Assign(std::move(rows));
  // Rows whose places a merge could not find as the engine did: read whole every time.
  known_ = mergeable;
}

void TodaysLog::Refresh() {
  if (!known_ || !list_.Active()) return Reload();
  bool done = false;
  try {
    done = read_new_lines();
  } catch (const std::exception&) {
    done = false;
  }
  if (!done) Reload();
}

bool TodaysLog::read_new_lines() {
  Updating guard(updating_);
  newer_.Close();
  newer_.SetParam("desde", newest_);
  newer_.Open();
  std::vector<Key> new_keys;
  RowSet fresh;
  if (!take_with_keys(newer_, fresh, new_keys) || fresh.columns != list_.Rows().columns)
    return false;

  // Keys seen missing before, committed since: today's are read whole below.
  std::set<std::int64_t> found;
  std::set<std::int64_t> late;
  for (auto& [id, day] : committed_pending()) {
    found.insert(id);
    if (day == day_) late.insert(id);
  }
  RowSet late_rows;
  std::vector<Key> late_keys;
  if (!late.empty()) {
    range_.Close();
    range_.SetParam("de", *late.begin());
    range_.SetParam("ate", *late.rbegin());
    range_.Open();
    if (!take_with_keys(range_, late_rows, late_keys) || late_rows.columns != list_.Rows().columns)
      return false;
  }

  // Read last, so that a change of day or of a name while the lines were read is seen.
  State s = read_state();
  if (s.day != day_ || s.users != users_) return false;

  struct Entry {
    Key key;
    std::vector<std::string> row;
    std::vector<bool> nulls;
  };
  std::vector<Entry> add;
  std::set<std::int64_t> seen;
  std::int64_t top = newest_;
  int data = fresh.column("DATA");
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    const Key& k = new_keys[i];
    // A key the generator did not hand out: the keys cannot be followed.
    if (k.id > s.last_key) return false;
    seen.insert(k.id);
    top = std::max(top, k.id);
    if (fresh.rows[i][static_cast<std::size_t>(data)] == day_)
      add.push_back({k, std::move(fresh.rows[i]), std::move(fresh.nulls[i])});
  }
  for (std::size_t i = 0; i < late_rows.size(); ++i)
    if (late.count(late_keys[i].id))
      add.push_back({late_keys[i], std::move(late_rows.rows[i]), std::move(late_rows.nulls[i])});

  for (std::int64_t id : found) pending_.erase(id);
  mark_unseen(newest_ + 1, top, seen);
  newest_ = top;
  pending_.erase(pending_.begin(), pending_.lower_bound(newest_ - kPendingWindow + 1));

  std::sort(add.begin(), add.end(),
            [](const Entry& a, const Entry& b) { return comes_before(a.key, b.key); });
  list_.Amend([&](RowSet& r) {
    for (Entry& e : add) {
      auto at = std::upper_bound(keys_.begin(), keys_.end(), e.key, comes_before);
      auto n = at - keys_.begin();
      keys_.insert(at, e.key);
      r.rows.insert(r.rows.begin() + n, std::move(e.row));
      r.nulls.insert(r.nulls.begin() + n, std::move(e.nulls));
    }
  });
  return true;
}

}  // namespace store
