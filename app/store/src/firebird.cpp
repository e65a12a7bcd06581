#include "store/firebird.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "common/text1252.h"

// The Firebird client keeps process-wide caches (character-set converters, the
// authentication's big numbers) that it never frees; the leak checker of sanitizer
// builds is told so, for every program that links the store. Weak: a program with
// its own list wins.
extern "C" __attribute__((weak, used)) const char* __lsan_default_suppressions() {
  return "leak:libfbclient.so\nleak:libtommath.so\nleak:libEngine12.so\nleak:__gconv\n"
         "leak:iconv_open\n";
}

namespace store {

using namespace Firebird;

namespace {

IMaster* master() {
  static IMaster* m = fb_get_master_interface();
  return m;
}

IUtil* util() {
  return master()->getUtilInterface();
}

// One status per call, disposed on every path.
struct Status {
  ThrowStatusWrapper w{master()->getStatus()};
  ~Status() { w.dispose(); }
  ThrowStatusWrapper* operator&() { return &w; }
};

std::string upper_ascii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

DatabaseError error_from(IStatus* status) {
  const intptr_t* v = status->getErrors();
  std::vector<std::intptr_t> codes;
  for (const intptr_t* p = v; p && *p != isc_arg_end;) {
    intptr_t tag = *p++;
    if (tag == isc_arg_gds) codes.push_back(*p);
    if (tag == isc_arg_cstring) ++p;  // length, then pointer
    ++p;
  }
  int sqlcode = static_cast<int>(isc_sqlcode(reinterpret_cast<const ISC_STATUS*>(v)));
  char buf[4096];
  unsigned n = util()->formatStatus(buf, sizeof buf, status);
  std::string text(buf, std::min<unsigned>(n, sizeof buf));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
  return DatabaseError(sqlcode, std::move(codes), common::cp1252_to_utf8(text));
}

DatabaseError not_connected() {
  return DatabaseError(-901, {}, "Banco de dados não conectado.");
}

// Runs f, turning the engine's exceptions into DatabaseError.
template <class F>
auto guarded(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const FbException& e) {
    throw error_from(e.getStatus());
  }
}

}  // namespace

// ---------------------------------------------------------------- values

std::string date_text(const Date& d) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year % 10000, d.month % 100, d.day % 100);
  return buf;
}

bool parse_date(const std::string& text, Date& out) {
  int y, m, d;
  char rest;
  if (text.size() < 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &rest) < 3)
    return false;
  if (text[4] != '-' || text[7] != '-' || m < 1 || m > 12 || d < 1 || d > 31) return false;
  out = {y, m, d};
  return true;
}

DatabaseError::DatabaseError(int sqlcode, std::vector<std::intptr_t> codes, const std::string& text)
    : std::runtime_error(text), sqlcode_(sqlcode), codes_(std::move(codes)) {}

bool DatabaseError::has_code(std::intptr_t code) const {
  return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
}

bool DatabaseError::is_truncation() const {
  return has_code(isc_string_truncation);
}

// ---------------------------------------------------------------- connection

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

Connection::Connection() : impl_(std::make_unique<Impl>()) {}

Connection::~Connection() {
  Disconnect();
}

bool Connection::Connected() const {
  return impl_->att != nullptr;
}

void Connection::ReleaseStatements() {
  impl_->release_statements();
}

void Connection::Connect() {
  if (impl_->att) return;
  guarded([&] {
    Status st;
    IXpbBuilder* dpb = util()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    try {
      for (const std::string& p : Params) {
        auto eq = p.find('=');
        std::string key = eq == std::string::npos ? p : p.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : p.substr(eq + 1);
        key = upper_ascii(std::string(common::trim(key)));
        if (key == "USER_NAME")
          dpb->insertString(&st, isc_dpb_user_name, value.c_str());
        else if (key == "PASSWORD")
          dpb->insertString(&st, isc_dpb_password, value.c_str());
      }
      IProvider* prov = master()->getDispatcher();
      try {
        impl_->att = prov->attachDatabase(&st, DatabaseName.c_str(), dpb->getBufferLength(&st),
                                          dpb->getBuffer(&st));
      } catch (...) {
        prov->release();
        throw;
      }
      prov->release();
    } catch (...) {
      dpb->dispose();
      throw;
    }
    dpb->dispose();
  });
}

void Connection::Disconnect() {
  if (!impl_->att) return;
  for (Query* q : impl_->queries) q->Close();
  for (Transaction* t : impl_->transactions) t->end_for_disconnect();
  impl_->release_statements();
  try {
    Status st;
    impl_->att->detach(&st);
  } catch (const FbException&) {
    impl_->att->release();
  }
  impl_->att = nullptr;
}

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

// ---------------------------------------------------------------- statements

std::string to_positional(const std::string& sql, std::vector<std::string>& order) {
  std::string out;
  out.reserve(sql.size());
  order.clear();
  std::size_t i = 0, n = sql.size();
  auto ident = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
  };
  while (i < n) {
    char c = sql[i];
    if (c == '\'' || c == '"') {
      std::size_t j = i + 1;
      while (j < n) {
        if (sql[j] == c) {
          if (j + 1 < n && sql[j + 1] == c) {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      j = std::min(j + 1, n);
      out.append(sql, i, j - i);
      i = j;
    } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      std::size_t j = sql.find('\n', i);
      j = j == std::string::npos ? n : j;
      out.append(sql, i, j - i);
      i = j;
    } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      std::size_t j = sql.find("*/", i + 2);
      j = j == std::string::npos ? n : j + 2;
      out.append(sql, i, j - i);
      i = j;
    } else if (c == ':' && i + 1 < n &&
               (std::isalpha(static_cast<unsigned char>(sql[i + 1])) || sql[i + 1] == '_')) {
      std::size_t j = i + 1;
      while (j < n && ident(sql[j])) ++j;
      order.push_back(upper_ascii(sql.substr(i + 1, j - i - 1)));
      out += '?';
      i = j;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

namespace {

// Input message built from the values: texts go as Windows-1252 VARCHARs without a
// character set, numbers as BIGINT, and the engine converts them to the parameters.
struct InputMessage {
  IMessageMetadata* meta = nullptr;
  std::vector<unsigned char> buf;
  ~InputMessage() {
    if (meta) meta->release();
  }
};

void build_input(IAttachment* att, ITransaction* tra, IStatement* stmt,
                 const std::vector<const Value*>& values, InputMessage& msg) {
  Status st;
  IMessageMetadata* declared = stmt->getInputMetadata(&st);
  unsigned count = declared->getCount(&st);
  if (count != values.size()) {
    declared->release();
    throw DatabaseError(-804, {}, "Número de parâmetros incorreto.");
  }
  std::vector<std::string> texts(count);
  IMetadataBuilder* b = declared->getBuilder(&st);
  try {
    for (unsigned i = 0; i < count; ++i) {
      const Value& v = *values[i];
      unsigned declared_type = declared->getType(&st, i) & ~1u;
      if (std::holds_alternative<std::string>(v)) {
        texts[i] = common::utf8_to_cp1252(std::get<std::string>(v));
        if (declared_type == SQL_BLOB) continue;  // written as a blob below
        b->setType(&st, i, SQL_VARYING | 1);
        b->setLength(&st, i, std::max<unsigned>(1, static_cast<unsigned>(texts[i].size())));
        b->setCharSet(&st, i, 0);
        b->setSubType(&st, i, 0);
        b->setScale(&st, i, 0);
      } else if (std::holds_alternative<std::int64_t>(v)) {
        b->setType(&st, i, SQL_INT64 | 1);
        b->setLength(&st, i, sizeof(ISC_INT64));
        b->setScale(&st, i, 0);
        b->setSubType(&st, i, 0);
      } else if (std::holds_alternative<Date>(v)) {
        b->setType(&st, i, SQL_TYPE_DATE | 1);
        b->setLength(&st, i, sizeof(ISC_DATE));
        b->setScale(&st, i, 0);
      } else if (std::holds_alternative<Time>(v)) {
        b->setType(&st, i, SQL_TYPE_TIME | 1);
        b->setLength(&st, i, sizeof(ISC_TIME));
        b->setScale(&st, i, 0);
      } else {
        b->setType(&st, i, declared_type | 1);
      }
    }
    msg.meta = b->getMetadata(&st);
  } catch (...) {
    b->release();
    declared->release();
    throw;
  }
  b->release();
  declared->release();

  msg.buf.assign(msg.meta->getMessageLength(&st), 0);
  unsigned char* base = msg.buf.data();
  for (unsigned i = 0; i < count; ++i) {
    const Value& v = *values[i];
    auto* null_flag = reinterpret_cast<short*>(base + msg.meta->getNullOffset(&st, i));
    unsigned char* p = base + msg.meta->getOffset(&st, i);
    *null_flag = 0;
    unsigned type = msg.meta->getType(&st, i) & ~1u;
    if (std::holds_alternative<std::monostate>(v)) {
      *null_flag = -1;
    } else if (type == SQL_BLOB) {
      ISC_QUAD id{};
      IBlob* blob = att->createBlob(&st, tra, &id, 0, nullptr);
      try {
        const std::string& t = texts[i];
        for (std::size_t off = 0; off < t.size(); off += 32000) {
          unsigned len = static_cast<unsigned>(std::min<std::size_t>(32000, t.size() - off));
          blob->putSegment(&st, len, t.data() + off);
        }
        blob->close(&st);
      } catch (...) {
        blob->release();
        throw;
      }
      std::memcpy(p, &id, sizeof id);
    } else if (type == SQL_VARYING) {
      const std::string& t = texts[i];
      auto len = static_cast<unsigned short>(t.size());
      std::memcpy(p, &len, sizeof len);
      std::memcpy(p + sizeof len, t.data(), t.size());
    } else if (type == SQL_INT64) {
      ISC_INT64 x = std::get<std::int64_t>(v);
      std::memcpy(p, &x, sizeof x);
    } else if (type == SQL_TYPE_DATE) {
      const Date& d = std::get<Date>(v);
      if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31)
        throw DatabaseError(-413, {}, "Data inválida: " + date_text(d));
      ISC_DATE x = util()->encodeDate(d.year, d.month, d.day);
      std::memcpy(p, &x, sizeof x);
    } else if (type == SQL_TYPE_TIME) {
      const Time& t = std::get<Time>(v);
      ISC_TIME x = util()->encodeTime(t.hour, t.minute, t.second, 0);
      std::memcpy(p, &x, sizeof x);
    }
  }
}

std::string read_blob(IAttachment* att, ITransaction* tra, ISC_QUAD id) {
  Status st;
  IBlob* blob = att->openBlob(&st, tra, &id, 0, nullptr);
  std::string out;
  try {
    char buf[16384];
    for (;;) {
      unsigned got = 0;
      int r = blob->getSegment(&st, sizeof buf, buf, &got);
      if (r == IStatus::RESULT_OK || r == IStatus::RESULT_SEGMENT)
        out.append(buf, got);
      else
        break;
    }
    blob->close(&st);
  } catch (...) {
    blob->release();
    throw;
  }
  return out;
}

std::string two(unsigned v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02u", v % 100);
  return b;
}

std::string scaled(std::int64_t v, int scale) {
  if (scale >= 0) {
    std::string s = std::to_string(v);
    if (v != 0) s.append(scale, '0');
    return s;
  }
  std::string digits = std::to_string(v);
  bool neg = digits[0] == '-';
  if (neg) digits.erase(0, 1);
  unsigned k = static_cast<unsigned>(-scale);
  if (digits.size() <= k) digits.insert(0, k + 1 - digits.size(), '0');
  digits.insert(digits.size() - k, ".");
  return neg ? "-" + digits : digits;
}

// Where and how one column of an output message lies, read once per statement: asking the
// metadata for every value of every row costs more than the values.
struct ColumnLayout {
  unsigned type = 0;  // without the nullable bit
  unsigned offset = 0;
  unsigned null_offset = 0;
  unsigned length = 0;
  int scale = 0;
};

std::vector<ColumnLayout> column_layouts(IMessageMetadata* meta) {
  Status st;
  unsigned count = meta->getCount(&st);
  std::vector<ColumnLayout> layouts(count);
  for (unsigned i = 0; i < count; ++i) {
    ColumnLayout& c = layouts[i];
    c.type = meta->getType(&st, i) & ~1u;
    c.offset = meta->getOffset(&st, i);
    c.null_offset = meta->getNullOffset(&st, i);
    c.length = meta->getLength(&st, i);
    c.scale = meta->getScale(&st, i);
  }
  return layouts;
}

// Windows-1252 bytes as UTF-8 into out, reusing its room; most texts are plain ASCII.
void assign_utf8(std::string& out, const char* bytes, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) {
    if (static_cast<unsigned char>(bytes[k]) >= 0x80) {
      out = common::cp1252_to_utf8(std::string_view(bytes, n));
      return;
    }
  }
  out.assign(bytes, n);
}

// An integer column (a scale below zero puts in the decimal point), reusing out's room.
void assign_scaled(std::string& out, std::int64_t v, int scale) {
  if (scale != 0) {
    out = scaled(v, scale);
    return;
  }
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  out.assign(buf, static_cast<std::size_t>(end - buf));
}

// One column of an output row as text; false when NULL.
bool column_text(IAttachment* att, ITransaction* tra, const ColumnLayout& c,
                 const unsigned char* base, std::string& out) {
  if (*reinterpret_cast<const short*>(base + c.null_offset)) {
    out.clear();
    return false;
  }
  const unsigned char* p = base + c.offset;
  unsigned type = c.type;
  int scale = c.scale;
  switch (type) {
    case SQL_TEXT:
      assign_utf8(out, reinterpret_cast<const char*>(p), c.length);
      break;
    case SQL_VARYING: {
      unsigned short len;
      std::memcpy(&len, p, sizeof len);
      assign_utf8(out, reinterpret_cast<const char*>(p + 2), len);
      break;
    }
    case SQL_SHORT: {
      short x;
      std::memcpy(&x, p, sizeof x);
      assign_scaled(out, x, scale);
      break;
    }
    case SQL_LONG: {
      ISC_LONG x;
      std::memcpy(&x, p, sizeof x);
      assign_scaled(out, x, scale);
      break;
    }
    case SQL_INT64: {
      ISC_INT64 x;
      std::memcpy(&x, p, sizeof x);
      assign_scaled(out, x, scale);
      break;
    }
    case SQL_FLOAT: {
      float x;
      std::memcpy(&x, p, sizeof x);
      char b[64];
      std::snprintf(b, sizeof b, "%.7g", x);
      out = b;
      break;
    }
    case SQL_DOUBLE: {
      double x;
      std::memcpy(&x, p, sizeof x);
      char b[64];
      std::snprintf(b, sizeof b, "%.15g", x);
      out = b;
      break;
    }
    case SQL_TYPE_DATE: {
      ISC_DATE x;
      std::memcpy(&x, p, sizeof x);
      unsigned y, m, d;
      util()->decodeDate(x, &y, &m, &d);
      out = date_text({static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)});
      break;
    }
    case SQL_TYPE_TIME: {
      ISC_TIME x;
      std::memcpy(&x, p, sizeof x);
      unsigned h, mi, s, f;
      util()->decodeTime(x, &h, &mi, &s, &f);
      out = two(h) + ":" + two(mi) + ":" + two(s);
      break;
    }
    case SQL_TIMESTAMP: {
      ISC_TIMESTAMP x;
      std::memcpy(&x, p, sizeof x);
      unsigned y, m, d, h, mi, s, f;
      util()->decodeDate(x.timestamp_date, &y, &m, &d);
      util()->decodeTime(x.timestamp_time, &h, &mi, &s, &f);
      out = date_text({static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)}) + " " +
            two(h) + ":" + two(mi) + ":" + two(s);
      break;
    }
    case SQL_BOOLEAN:
      out = *p ? "1" : "0";
      break;
    case SQL_BLOB: {
      ISC_QUAD id;
      std::memcpy(&id, p, sizeof id);
      out = common::cp1252_to_utf8(read_blob(att, tra, id));
      break;
    }
    default:
      out = "?";
  }
  return true;
}

Value column_value(IAttachment* att, ITransaction* tra, const ColumnLayout& c,
                   const unsigned char* base) {
  std::string text;
  if (!column_text(att, tra, c, base, text)) return std::monostate{};
  unsigned type = c.type;
  if ((type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64) && c.scale == 0)
    return static_cast<std::int64_t>(std::stoll(text));
  if (type == SQL_TYPE_DATE) {
    Date d;
    parse_date(text, d);
    return d;
  }
  if (type == SQL_TYPE_TIME) {
    Time t;
    std::sscanf(text.c_str(), "%d:%d:%d", &t.hour, &t.minute, &t.second);
    return t;
  }
  return text;
}

using RowCallback = std::function<void(const RowSet&)>;

void run_prepared(Transaction& tr, Connection& db, IAttachment* att, const std::string& sql,
                  const std::vector<const Value*>& values, RowSet* rows,
                  std::vector<Value>* outputs, bool keep, const RowCallback* each);

// Runs a statement; when rows is given, reads every row into it, or, with each, hands
// every row to each in a RowSet of that one row.
void run(Transaction& tr, const std::string& sql, const std::vector<const Value*>& values,
         RowSet* rows, std::vector<Value>* outputs, bool keep, const RowCallback* each = nullptr) {
  Connection& db = tr.database();
  IAttachment* att = db.impl().att;
  if (!att) throw not_connected();
  try {
    run_prepared(tr, db, att, sql, values, rows, outputs, keep, each);
  } catch (const DatabaseError&) {
    // A kept statement that failed is prepared afresh next time, in case the failure
    // came from the statement itself (metadata changed by another connection).
    if (keep) db.impl().forget(sql);
    throw;
  }
}

void run_prepared(Transaction& tr, Connection& db, IAttachment* att, const std::string& sql,
                  const std::vector<const Value*>& values, RowSet* rows,
                  std::vector<Value>* outputs, bool keep, const RowCallback* each) {
  guarded([&] {
    auto* tra = static_cast<ITransaction*>(tr.handle());
    IStatement* stmt = db.impl().prepare(sql, tra, db.SQLDialect, keep);
    struct Drop {
      IStatement* s;
      bool keep;
      ~Drop() {
        if (!keep) s->release();
      }
    } drop{stmt, keep};
    InputMessage in;
    build_input(att, tra, stmt, values, in);
    Status st;
    IMessageMetadata* out_meta = stmt->getOutputMetadata(&st);
    struct Rel {
      IMessageMetadata* m;
      ~Rel() { m->release(); }
    } rel{out_meta};
    unsigned cols = out_meta->getCount(&st);
    std::vector<unsigned char> out_buf(out_meta->getMessageLength(&st));
    void* in_buf = in.buf.empty() ? nullptr : in.buf.data();
    if (rows) {
      rows->columns.clear();
      rows->rows.clear();
      rows->nulls.clear();
      for (unsigned i = 0; i < cols; ++i) rows->columns.push_back(out_meta->getAlias(&st, i));
      const std::vector<ColumnLayout> layouts = column_layouts(out_meta);
      IResultSet* rs = stmt->openCursor(&st, tra, in.meta, in_buf, out_meta, 0);
      try {
        if (each) {
          // Handed over one at a time: the one row's texts are rewritten in place, so a
          // long result costs no allocation per value.
          rows->rows.assign(1, std::vector<std::string>(cols));
          rows->nulls.assign(1, std::vector<bool>(cols));
          std::vector<std::string>& row = rows->rows[0];
          std::vector<bool>& nul = rows->nulls[0];
          while (rs->fetchNext(&st, out_buf.data()) == IStatus::RESULT_OK) {
            for (unsigned i = 0; i < cols; ++i)
              nul[i] = !column_text(att, tra, layouts[i], out_buf.data(), row[i]);
            (*each)(*rows);
          }
          rows->rows.clear();
          rows->nulls.clear();
        } else {
          while (rs->fetchNext(&st, out_buf.data()) == IStatus::RESULT_OK) {
            std::vector<std::string> row(cols);
            std::vector<bool> nul(cols);
            for (unsigned i = 0; i < cols; ++i)
              nul[i] = !column_text(att, tra, layouts[i], out_buf.data(), row[i]);
            rows->rows.push_back(std::move(row));
            rows->nulls.push_back(std::move(nul));
          }
        }
        rs->close(&st);
      } catch (...) {
        rs->release();
        throw;
      }
    } else {
      stmt->execute(&st, tra, in.meta, in_buf, cols ? out_meta : nullptr,
                    cols ? out_buf.data() : nullptr);
      if (outputs) {
        const std::vector<ColumnLayout> layouts = column_layouts(out_meta);
        outputs->assign(cols, std::monostate{});
        for (unsigned i = 0; i < cols; ++i)
          (*outputs)[i] = column_value(att, tra, layouts[i], out_buf.data());
      }
    }
  });
}

}  // namespace

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

void Query::Close() {
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
  rows_ = std::move(rows);
  active_ = true;
  notify();
}

void Query::Amend(const std::function<void(RowSet&)>& change) {
  if (!active_) throw std::logic_error("consulta fechada: " + name_);
  change(rows_);
  notify();
}

RowSet Query::TakeRows() {
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
