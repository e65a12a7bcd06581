#pragma once
// What the files of the Firebird access layer share, internal to the store: the client's
// master interface, the status of one call, the engine's errors as DatabaseError, the
// attachment behind a Connection and the one routine that runs a statement.
#include <firebird/Interface.h>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/text1252.h"
#include "store/firebird.h"

namespace store {

using namespace Firebird;

namespace detail {

IMaster* master();
IUtil* util();

// One status per call, disposed on every path.
struct Status {
  ThrowStatusWrapper w{master()->getStatus()};
  ~Status() { w.dispose(); }
  ThrowStatusWrapper* operator&() { return &w; }
};

std::string upper_ascii(std::string s);
DatabaseError error_from(IStatus* status);
DatabaseError not_connected();

// Runs f, turning the engine's exceptions into DatabaseError.
template <class F>
auto guarded(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const FbException& e) {
    throw error_from(e.getStatus());
  }
}

using RowCallback = std::function<void(const RowSet&)>;

// Runs a statement; when rows is given, reads every row into it, or, with each, hands
// every row to each in a RowSet of that one row.
void run(Transaction& tr, const std::string& sql, const std::vector<const Value*>& values,
         RowSet* rows, std::vector<Value>* outputs, bool keep, const RowCallback* each = nullptr);

// An open cursor that reads a query's rows a batch at a time (its statement is its own,
// so a kept statement of the same text stays free). Rows are appended to the RowSet in the
// form run reads them.
struct Cursor;
Cursor* open_cursor(Transaction& tr, const std::string& sql,
                    const std::vector<const Value*>& values, RowSet& rows);
// Appends up to n rows; false once the last row was read (the cursor is then spent).
bool fetch_rows(Cursor* c, RowSet& rows, std::size_t n);
void close_cursor(Cursor* c);

}  // namespace detail

using namespace detail;

struct Connection::Impl {
  IAttachment* att = nullptr;
  std::vector<Transaction*> transactions;
  std::vector<Query*> queries;
  std::unordered_map<std::string, IStatement*> statements;

  void release_statements() {
    for (auto& [sql, stmt] : statements) {
      try {
        Status st;
        stmt->free(&st);
      } catch (const FbException&) {
        stmt->release();
      }
    }
    statements.clear();
  }

  void forget(const std::string& sql) {
    auto it = statements.find(sql);
    if (it == statements.end()) return;
    try {
      Status st;
      it->second->free(&st);
    } catch (const FbException&) {
      it->second->release();
    }
    statements.erase(it);
  }

  // A prepared statement for sql, kept for the life of the attachment.
  IStatement* prepare(const std::string& sql, ITransaction* tra, unsigned dialect, bool keep) {
    if (keep) {
      auto it = statements.find(sql);
      if (it != statements.end()) return it->second;
    }
    Status st;
    std::string text = common::utf8_to_cp1252(sql);
    IStatement* stmt =
        att->prepare(&st, tra, 0, text.c_str(), dialect, IStatement::PREPARE_PREFETCH_METADATA);
    if (keep) statements.emplace(sql, stmt);
    return stmt;
  }
};

}  // namespace store
