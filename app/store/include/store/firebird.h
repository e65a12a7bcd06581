#pragma once
// Thin access layer over the Firebird client (OO API): connections, transactions,
// named-parameter queries whose rows are read into memory, and stored procedures.
//
// Text crosses this API as UTF-8; the database holds Windows-1252 and the connections
// carry no character set, so every text is converted once here, at the boundary.
// No call is thread-safe: the program uses one data module from one thread at a time.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace store {

struct Date {
  int year = 0, month = 0, day = 0;
  bool operator==(const Date&) const = default;
};

struct Time {
  int hour = 0, minute = 0, second = 0;
  bool operator==(const Time&) const = default;
};

// A parameter or output value. Texts are UTF-8.
using Value = std::variant<std::monostate, std::int64_t, std::string, Date, Time>;

// "YYYY-MM-DD", the form dates take in row sets.
std::string date_text(const Date& d);
// Parses "YYYY-MM-DD" (also "YYYY-MM-DD HH:MM:SS", the time ignored); false otherwise.
bool parse_date(const std::string& text, Date& out);

// A failure reported by the database: its SQLCODE (-803 for a unique violation), the
// engine's error codes in order, and the engine's text (UTF-8, lines joined by "\n").
class DatabaseError : public std::runtime_error {
 public:
  DatabaseError(int sqlcode, std::vector<std::intptr_t> codes, const std::string& text);
  int sqlcode() const { return sqlcode_; }
  const std::vector<std::intptr_t>& codes() const { return codes_; }
  // True when one of the engine's codes is `code` (an isc_* value).
  bool has_code(std::intptr_t code) const;
  // True when a value did not fit its column (string truncation).
  bool is_truncation() const;

 private:
  int sqlcode_;
  std::vector<std::intptr_t> codes_;
};

class Transaction;

// One database connection. DatabaseName is a plain path (embedded engine) or
// "host:/path" / "host/port:/path" (a server). Params are sent as they are, in order,
// each "name=value"; only user_name and password are understood.
class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  std::string DatabaseName;
  std::vector<std::string> Params;
  int SQLDialect = 3;

  // Attaches; throws DatabaseError (the engine's text) when the file or server fails.
  void Connect();
  // Ends the transactions of this connection (commit), forgets prepared statements,
  // closes the queries that read through it, and detaches. Never throws.
  void Disconnect();
  bool Connected() const;
  // Frees the prepared statements kept for reuse (they hold the tables they read, which
  // a change of metadata needs free). They are prepared again when next used.
  void ReleaseStatements();

  // Internal to the store: the attachment and the statement cache.
  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
  friend class Transaction;
};

// The one long-lived transaction of a connection. Started on demand, ended only by
// commit-retaining or rollback-retaining so that it stays open.
class Transaction {
 public:
  // Params are the Delphi-style names: "read_committed", "rec_version", "nowait",
  // "concurrency", "wait", "read", "write". Empty: the server's default.
  Transaction(Connection& db, std::vector<std::string> params = {});
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  bool InTransaction() const;
  // The parameters the transaction starts with next time (a running one keeps its own).
  void SetParams(std::vector<std::string> params) { params_ = std::move(params); }
  const std::vector<std::string>& Params() const { return params_; }
  void StartTransaction();
  void CommitRetaining();
  void RollbackRetaining();
  Connection& database() { return db_; }

  // One write of the entity classes. Outside a group: BeginWrite starts the transaction,
  // EndWrite commits (retaining) and UndoWrite rolls back (retaining). Inside a group they
  // set, release and roll back to a savepoint instead, so a failed write is undone alone
  // and nothing is committed until the group is.
  void BeginWrite();
  void EndWrite();
  void UndoWrite();

  // A group of writes that become durable together: CommitGroup commits every write made
  // since BeginGroup (on failure none of them stays and the error passes through);
  // RollbackGroup, a disconnect or a process that dies first keeps none. Groups do not
  // nest: BeginGroup inside one throws std::logic_error.
  void BeginGroup();
  void CommitGroup();
  void RollbackGroup();
  bool InGroup() const { return group_; }

  // Internal: the engine's transaction handle (starts it when needed).
  void* handle();
  // Internal: called by the connection before it detaches.
  void end_for_disconnect();

 private:
  Connection& db_;
  std::vector<std::string> params_;
  void* tra_ = nullptr;
  bool group_ = false;
  bool write_savepoint_ = false;  // the current write of the group has its savepoint
};

// A group of writes for the length of a scope: begun on construction, rolled back on
// destruction unless Commit ran (so an exception keeps none of its writes).
class WriteGroup {
 public:
  explicit WriteGroup(Transaction& tr) : tr_(tr) { tr_.BeginGroup(); }
  ~WriteGroup();
  WriteGroup(const WriteGroup&) = delete;
  WriteGroup& operator=(const WriteGroup&) = delete;
  // Commits the writes so far (see Transaction::CommitGroup); the group is then over.
  void Commit();
  bool Open() const { return tr_.InGroup(); }

 private:
  Transaction& tr_;
};

// Rows of a query, read whole. Texts are UTF-8 (fixed-width columns keep their
// trailing blanks); integers in decimal; dates "YYYY-MM-DD"; times "HH:MM:SS";
// timestamps "YYYY-MM-DD HH:MM:SS"; NULL as an empty text with is_null() true.
namespace detail {
struct Cursor;
}

class RowSet {
 public:
  std::vector<std::string> columns;  // names as the engine gives them (upper case)
  std::vector<std::vector<std::string>> rows;
  std::vector<std::vector<bool>> nulls;

  std::size_t size() const { return rows.size(); }
  bool empty() const { return rows.empty(); }
  // Index of a column, case-blind; -1 when absent. The first of equal names wins.
  int column(const std::string& name) const;
  // Value of a column of a row; throws std::out_of_range for an unknown column or row.
  const std::string& at(std::size_t row, const std::string& name) const;
  bool is_null(std::size_t row, const std::string& name) const;
  // The value as an integer (0 for NULL or a text that is not a number).
  std::int64_t integer(std::size_t row, const std::string& name) const;
  // The value as a date ({} for NULL).
  Date date(std::size_t row, const std::string& name) const;
};

// A named query: the SQL text with :named parameters, read whole when opened.
// Observers are told after every Open and Close, so a window can refresh its grid.
class Query {
 public:
  Query(std::string name, Transaction& tr, std::string sql);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  const std::string& name() const { return name_; }
  const std::string& sql() const { return sql_; }
  // The parameter names in the order they occur (a repeated name is listed once).
  std::vector<std::string> ParamNames() const;
  // Sets a parameter by name (case-blind); throws std::invalid_argument when unknown.
  void SetParam(const std::string& name, const Value& v);
  Value Param(const std::string& name) const;

  // Starts the transaction when needed, runs the query and reads every row.
  // Throws DatabaseError; the query then stays closed.
  void Open();
  // Runs the query and hands each row to `each` as it is read, in a RowSet holding only
  // that row, keeping none: a large result costs the memory of one row. The query is
  // left closed. An exception from `each` ends the reading and passes through.
  void ForEachRow(const std::function<void(const RowSet& row)>& each);
  void Close();
  // Close, then Open.
  void Refresh();
  bool Active() const { return active_; }
  // Every row of the open query: a query read in batches reads the rest first.
  const RowSet& Rows() const;

  // Reading in batches, for grids over long lists: with n > 0, Open reads the first n rows
  // and keeps a cursor open in the transaction; FetchMore reads n more. 0 (the default)
  // reads whole. Rows() stays whole for every other reader; a grid shows Fetched().
  void SetBatch(std::size_t n) { batch_ = n; }
  std::size_t Batch() const { return batch_; }
  // The rows read so far, reading nothing more.
  const RowSet& Fetched() const { return rows_; }
  bool CanFetchMore() const { return cursor_ != nullptr || pending_; }
  // Reads the next batch; returns how many rows came. Observers of more rows are told with
  // the count before, not as an Open. After the transaction ended the rows read so far are
  // read again first: changed meanwhile, they are replaced and the observers told as by an
  // Open.
  std::size_t FetchMore();
  int SubscribeMore(std::function<void(const Query&, std::size_t antes)> observer);
  // Internal: the transaction tr is about to end; a cursor open in it is closed first.
  void EndOfTransaction(const Transaction& tr);

  // For lists kept up to date piece by piece instead of read again whole. The rows given
  // or changed must be what Open would read at that moment, columns and order included.
  // Assign puts rows read elsewhere in place of these (the query is then open); Amend
  // changes the rows of an open query in place (std::logic_error when it is closed).
  // Both tell the observers once, as Open does.
  void Assign(RowSet rows);
  void Amend(const std::function<void(RowSet&)>& change);
  // The rows read by Open, moved out without a copy; the query is closed afterwards.
  RowSet TakeRows();

  // Observers: called with this query after it opened or closed, on the thread that
  // opened or closed it (a worker thread too: windows queue the news to their own).
  int Subscribe(std::function<void(const Query&)> observer);
  void Unsubscribe(int token);

 private:
  void notify();
  std::string name_;
  Transaction& tr_;
  std::string sql_;
  std::string positional_sql_;
  std::vector<std::string> order_;  // one name per "?" in positional_sql_
  std::map<std::string, Value> params_;
  void fetch_rest() const;
  void drop_cursor() const;
  std::vector<const Value*> values() const;
  bool resume() const;
  std::size_t read_more(std::size_t n) const;
  bool drain() const;
  mutable RowSet rows_;
  bool active_ = false;
  std::size_t batch_ = 0;
  mutable detail::Cursor* cursor_ = nullptr;
  mutable bool pending_ = false;  // rows left unread when the cursor's transaction ended
  std::map<int, std::function<void(const Query&)>> observers_;
  std::map<int, std::function<void(const Query&, std::size_t)>> more_observers_;
  int next_token_ = 1;
};

// A statement run for its effect (DDL, updates), with named parameters.
// Does not start or end the transaction beyond starting it when needed.
void ExecSQL(Transaction& tr, const std::string& sql,
             const std::map<std::string, Value>& params = {});

// A stored procedure with its inputs in declared order and its output names.
class StoredProc {
 public:
  StoredProc(std::string component_name, Transaction& tr, std::string procedure,
             std::vector<std::string> inputs, std::vector<std::string> outputs);
  StoredProc(const StoredProc&) = delete;
  StoredProc& operator=(const StoredProc&) = delete;

  const std::string& name() const { return name_; }
  const std::string& procedure() const { return procedure_; }
  const std::vector<std::string>& inputs() const { return inputs_; }
  Transaction& transaction() { return tr_; }

  // Clears every input to NULL.
  void ClearParams();
  // Sets an input by name (case-blind); throws std::invalid_argument when unknown.
  void SetParam(const std::string& name, const Value& v);
  // Runs EXECUTE PROCEDURE with the inputs in declared order inside the transaction
  // (started when needed); reads the outputs. Throws DatabaseError. Never commits.
  void ExecProc();
  // An output read by the last ExecProc (monostate when NULL or not run).
  Value Output(const std::string& name) const;
  std::int64_t OutputInt(const std::string& name) const;

 private:
  std::string name_;
  Transaction& tr_;
  std::string procedure_;
  std::vector<std::string> inputs_;
  std::vector<std::string> outputs_;
  std::vector<Value> values_;
  std::vector<Value> results_;
};

// Translates ":name" parameters outside quotes and comments into "?"; `order`
// receives the name of each "?" in turn (upper case).
std::string to_positional(const std::string& sql, std::vector<std::string>& order);

}  // namespace store
