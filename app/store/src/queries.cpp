#include <algorithm>
#include <stdexcept>
#include <utility>

#include "common/text1252.h"
#include "firebird_client.h"
#include "store/firebird.h"

namespace store {

// ---------------------------------------------------------------- row set

int RowSet::column(const std::string& name) const {
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (common::iequals(columns[i], name)) return static_cast<int>(i);
  return -1;
}

const std::string& RowSet::at(std::size_t row, const std::string& name) const {
  int c = column(name);
  if (c < 0) throw std::out_of_range("coluna desconhecida: " + name);
  return rows.at(row).at(static_cast<std::size_t>(c));
}

bool RowSet::is_null(std::size_t row, const std::string& name) const {
  int c = column(name);
  if (c < 0) throw std::out_of_range("coluna desconhecida: " + name);
  return nulls.at(row).at(static_cast<std::size_t>(c));
}

std::int64_t RowSet::integer(std::size_t row, const std::string& name) const {
  const std::string& s = at(row, name);
  try {
    return std::stoll(s);
  } catch (const std::exception&) {
    return 0;
  }
}

Date RowSet::date(std::size_t row, const std::string& name) const {
  Date d;
  parse_date(at(row, name), d);
  return d;
}

// ---------------------------------------------------------------- query

Query::Query(std::string name, Transaction& tr, std::string sql)
    : name_(std::move(name)), tr_(tr), sql_(std::move(sql)) {
  positional_sql_ = to_positional(sql_, order_);
  for (const std::string& n : order_) params_.emplace(n, std::monostate{});
  tr_.database().impl().queries.push_back(this);
}

Query::~Query() {
  drop_cursor();
  auto& v = tr_.database().impl().queries;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

std::vector<std::string> Query::ParamNames() const {
  std::vector<std::string> names;
  for (const std::string& n : order_)
    if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
  return names;
}

void Query::SetParam(const std::string& name, const Value& v) {
  auto it = params_.find(upper_ascii(name));
  if (it == params_.end())
    throw std::invalid_argument("parâmetro desconhecido em " + name_ + ": " + name);
  it->second = v;
}

Value Query::Param(const std::string& name) const {
  auto it = params_.find(upper_ascii(name));
  return it == params_.end() ? Value{} : it->second;
}

void Query::Open() {
  if (active_) return;
  std::vector<const Value*> values;
  for (const std::string& n : order_) values.push_back(&params_.at(n));
  RowSet fresh;
  if (batch_ > 0) {
    Cursor* c = open_cursor(tr_, positional_sql_, values, fresh);
    try {
      if (fetch_rows(c, fresh, batch_)) {
        cursor_ = c;
      } else {
        close_cursor(c);
      }
    } catch (...) {
      close_cursor(c);
      throw;
    }
    rows_ = std::move(fresh);
    active_ = true;
    notify();
    return;
  }
  run(tr_, positional_sql_, values, &fresh, nullptr, true);
  rows_ = std::move(fresh);
  active_ = true;
  notify();
}

void Query::ForEachRow(const std::function<void(const RowSet& row)>& each) {
  Close();
  std::vector<const Value*> values;
  for (const std::string& n : order_) values.push_back(&params_.at(n));
  RowSet one;
  RowCallback callback = each;
  run(tr_, positional_sql_, values, &one, nullptr, true, &callback);
}

const RowSet& Query::Rows() const {
  fetch_rest();
  return rows_;
}

void Query::drop_cursor() const {
  pending_ = false;
  if (!cursor_) return;
  close_cursor(std::exchange(cursor_, nullptr));
}

void Query::EndOfTransaction(const Transaction& tr) {
  if (&tr != &tr_ || !cursor_) return;
  close_cursor(std::exchange(cursor_, nullptr));
  pending_ = true;
}

std::vector<const Value*> Query::values() const {
  std::vector<const Value*> v;
  for (const std::string& n : order_) v.push_back(&params_.at(n));
  return v;
}

// The cursor went with its transaction (a consistent reading ends it): a new one reads the
// rows already read once more. The same rows: the list goes on after them (true). Other
// rows (a desk wrote in between): they replace the ones read, as far as those went (false).
bool Query::resume() const {
  RowSet fresh;
  Cursor* c = open_cursor(tr_, positional_sql_, values(), fresh);
  bool more = false;
  try {
    more = fetch_rows(c, fresh, rows_.size());
  } catch (...) {
    close_cursor(c);
    throw;
  }
  pending_ = false;
  if (more)
    cursor_ = c;
  else
    close_cursor(c);
  if (fresh.columns == rows_.columns && fresh.rows == rows_.rows && fresh.nulls == rows_.nulls)
    return true;
  rows_ = std::move(fresh);
  return false;
}

// Reads up to n more rows (all that are left when n is 0) and tells the observers: as more
// rows, or as an Open when the rows read before were replaced.
std::size_t Query::read_more(std::size_t n) const {
  auto* self = const_cast<Query*>(this);
  const bool replaced = pending_ && !resume();
  const std::size_t antes = rows_.size();
  try {
    if (cursor_ && !(n > 0 ? fetch_rows(cursor_, rows_, n) : drain())) drop_cursor();
  } catch (...) {
    drop_cursor();
    if (replaced) self->notify();
    throw;
  }
  if (replaced) {
    self->notify();
  } else if (rows_.size() > antes) {
    auto more = more_observers_;
    for (auto& [token, f] : more) f(*this, antes);
  }
  return rows_.size() - antes;
}

bool Query::drain() const {
  while (fetch_rows(cursor_, rows_, 4096)) {
  }
  return false;
}

void Query::fetch_rest() const {
  if (cursor_ || pending_) read_more(0);
}

std::size_t Query::FetchMore() {
  if (!CanFetchMore()) return 0;
  return read_more(batch_);
}

int Query::SubscribeMore(std::function<void(const Query&, std::size_t)> observer) {
  int token = next_token_++;
  more_observers_.emplace(token, std::move(observer));
  return token;
}

void Query::Close() {
  drop_cursor();
  if (!active_) return;
  active_ = false;
  rows_ = RowSet{};
  notify();
}

void Query::Refresh() {
  Close();
  Open();
}

void Query::Assign(RowSet rows) {
  drop_cursor();
  rows_ = std::move(rows);
  active_ = true;
  notify();
}

void Query::Amend(const std::function<void(RowSet&)>& change) {
  if (!active_) throw std::logic_error("consulta fechada: " + name_);
  fetch_rest();
  change(rows_);
  notify();
}

RowSet Query::TakeRows() {
  fetch_rest();
  RowSet out = std::move(rows_);
  rows_ = RowSet{};
  if (active_) {
    active_ = false;
    notify();
  }
  return out;
}

int Query::Subscribe(std::function<void(const Query&)> observer) {
  int token = next_token_++;
  observers_.emplace(token, std::move(observer));
  return token;
}

void Query::Unsubscribe(int token) {
  observers_.erase(token);
  more_observers_.erase(token);
}

void Query::notify() {
  // A copy: an observer may unsubscribe while being told.
  auto observers = observers_;
  for (auto& [token, f] : observers) f(*this);
}

void ExecSQL(Transaction& tr, const std::string& sql, const std::map<std::string, Value>& params) {
  std::vector<std::string> order;
  std::string positional = to_positional(sql, order);
  std::map<std::string, Value> upper;
  for (auto& [k, v] : params) upper[upper_ascii(k)] = v;
  std::vector<const Value*> values;
  static const Value null_value;
  for (const std::string& n : order) {
    auto it = upper.find(n);
    values.push_back(it == upper.end() ? &null_value : &it->second);
  }
  run(tr, positional, values, nullptr, nullptr, false);
}
// ---------------------------------------------------------------- stored procedure

StoredProc::StoredProc(std::string component_name, Transaction& tr, std::string procedure,
                       std::vector<std::string> inputs, std::vector<std::string> outputs)
    : name_(std::move(component_name)),
      tr_(tr),
      procedure_(std::move(procedure)),
      inputs_(std::move(inputs)),
      outputs_(std::move(outputs)),
      values_(inputs_.size()) {}

void StoredProc::ClearParams() {
  for (Value& v : values_) v = std::monostate{};
}

void StoredProc::SetParam(const std::string& name, const Value& v) {
  for (std::size_t i = 0; i < inputs_.size(); ++i)
    if (common::iequals(inputs_[i], name)) {
      values_[i] = v;
      return;
    }
  throw std::invalid_argument("parâmetro desconhecido em " + procedure_ + ": " + name);
}

void StoredProc::ExecProc() {
  std::string sql = "EXECUTE PROCEDURE " + procedure_;
  if (!inputs_.empty()) {
    sql += " (";
    for (std::size_t i = 0; i < inputs_.size(); ++i) sql += i ? ", ?" : "?";
    sql += ")";
  }
  std::vector<const Value*> values;
  for (const Value& v : values_) values.push_back(&v);
  results_.clear();
  std::vector<Value> out;
  run(tr_, sql, values, nullptr, &out, true);
  results_ = std::move(out);
}

Value StoredProc::Output(const std::string& name) const {
  for (std::size_t i = 0; i < outputs_.size() && i < results_.size(); ++i)
    if (common::iequals(outputs_[i], name)) return results_[i];
  return std::monostate{};
}

std::int64_t StoredProc::OutputInt(const std::string& name) const {
  Value v = Output(name);
  if (auto* i = std::get_if<std::int64_t>(&v)) return *i;
  if (auto* s = std::get_if<std::string>(&v)) {
    try {
      return std::stoll(*s);
    } catch (const std::exception&) {
    }
  }
  return 0;
}
}  // namespace store
