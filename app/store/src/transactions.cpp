#include <firebird/Interface.h>
#include <ibase.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "firebird_client.h"
#include "store/firebird.h"

namespace store {

// ---------------------------------------------------------------- transaction

Transaction::Transaction(Connection& db, std::vector<std::string> params)
    : db_(db), params_(std::move(params)) {
  db_.impl().transactions.push_back(this);
}

Transaction::~Transaction() {
  end_for_disconnect();
  auto& v = db_.impl().transactions;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

bool Transaction::InTransaction() const {
  return tra_ != nullptr;
}

void Transaction::StartTransaction() {
  if (tra_) return;
  IAttachment* att = db_.impl().att;
  if (!att) throw not_connected();
  guarded([&] {
    Status st;
    if (params_.empty()) {
      tra_ = att->startTransaction(&st, 0, nullptr);
      return;
    }
    IXpbBuilder* tpb = util()->getXpbBuilder(&st, IXpbBuilder::TPB, nullptr, 0);
    try {
      for (const std::string& p : params_) {
        std::string k = upper_ascii(p);
        if (k == "READ_COMMITTED")
          tpb->insertTag(&st, isc_tpb_read_committed);
        else if (k == "REC_VERSION")
          tpb->insertTag(&st, isc_tpb_rec_version);
        else if (k == "NO_REC_VERSION")
          tpb->insertTag(&st, isc_tpb_no_rec_version);
        else if (k == "NOWAIT")
          tpb->insertTag(&st, isc_tpb_nowait);
        else if (k == "WAIT")
          tpb->insertTag(&st, isc_tpb_wait);
        else if (k == "CONCURRENCY")
          tpb->insertTag(&st, isc_tpb_concurrency);
        else if (k == "CONSISTENCY")
          tpb->insertTag(&st, isc_tpb_consistency);
        else if (k == "READ")
          tpb->insertTag(&st, isc_tpb_read);
        else if (k == "WRITE")
          tpb->insertTag(&st, isc_tpb_write);
      }
      tra_ = att->startTransaction(&st, tpb->getBufferLength(&st), tpb->getBuffer(&st));
    } catch (...) {
      tpb->dispose();
      throw;
    }
    tpb->dispose();
  });
}

void* Transaction::handle() {
  StartTransaction();
  return tra_;
}

void Transaction::CommitRetaining() {
  if (!tra_) return;
  guarded([&] {
    Status st;
    static_cast<ITransaction*>(tra_)->commitRetaining(&st);
  });
}

void Transaction::RollbackRetaining() {
  if (!tra_) return;
  guarded([&] {
    Status st;
    static_cast<ITransaction*>(tra_)->rollbackRetaining(&st);
  });
}

void Transaction::end_for_disconnect() {
  if (!tra_) return;
  // An open cursor must not outlive its transaction: the engine's goes with it.
  for (Query* q : db_.impl().queries) q->EndOfTransaction(*this);
  auto* t = static_cast<ITransaction*>(tra_);
  tra_ = nullptr;
  // A group that was not committed keeps none of its writes.
  if (std::exchange(group_, false)) {
    try {
      Status st;
      t->rollback(&st);
    } catch (const FbException&) {
      t->release();
    }
    return;
  }
  // Every write is committed as it is made; what is left is committed, not lost.
  try {
    Status st;
    t->commit(&st);
  } catch (const FbException&) {
    try {
      Status st;
      t->rollback(&st);
    } catch (const FbException&) {
      t->release();
    }
  }
}
// ---------------------------------------------------------------- write groups

namespace {
const char* const kWriteSavepoint = "SAVEPOINT ORVIK_ESCRITA";
const char* const kReleaseWrite = "RELEASE SAVEPOINT ORVIK_ESCRITA";
const char* const kUndoWrite = "ROLLBACK TO SAVEPOINT ORVIK_ESCRITA";
}  // namespace

void Transaction::BeginWrite() {
  StartTransaction();
  if (!group_) return;
  // A savepoint of the same name replaces the previous one. Until it is set, an undo
  // must not roll back to the previous write's.
  write_savepoint_ = false;
  run(*this, kWriteSavepoint, {}, nullptr, nullptr, true);
  write_savepoint_ = true;
}

void Transaction::EndWrite() {
  // Inside a group the write's savepoint is left to the next write, which replaces it,
  // or to the group's commit: releasing it here would cost a statement per write.
  if (!group_) CommitRetaining();
}

void Transaction::UndoWrite() {
  if (!group_) {
    RollbackRetaining();
    return;
  }
  if (!std::exchange(write_savepoint_, false)) return;
  run(*this, kUndoWrite, {}, nullptr, nullptr, true);
  run(*this, kReleaseWrite, {}, nullptr, nullptr, true);
}

void Transaction::BeginGroup() {
  if (group_) throw std::logic_error("a group of writes is already open");
  write_savepoint_ = false;
  StartTransaction();
  // What the transaction held before the group is committed first, so the group's
  // rollback takes back only the group's own writes.
  CommitRetaining();
  group_ = true;
}

void Transaction::CommitGroup() {
  if (!group_) return;
  group_ = false;
  try {
    CommitRetaining();
  } catch (...) {
    try {
      RollbackRetaining();
    } catch (const DatabaseError&) {
    }
    throw;
  }
}

void Transaction::RollbackGroup() {
  if (!group_) return;
  group_ = false;
  RollbackRetaining();
}

WriteGroup::~WriteGroup() {
  try {
    tr_.RollbackGroup();
  } catch (const DatabaseError&) {
  }
}

void WriteGroup::Commit() {
  tr_.CommitGroup();
}
}  // namespace store
