#include <firebird/Interface.h>
#include <ibase.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/text1252.h"
#include "firebird_client.h"
#include "store/firebird.h"

namespace store {

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

namespace detail {

void run(Transaction& tr, const std::string& sql, const std::vector<const Value*>& values,
         RowSet* rows, std::vector<Value>* outputs, bool keep, const RowCallback* each) {
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

struct Cursor {
  IAttachment* att = nullptr;
  ITransaction* tra = nullptr;
  IStatement* stmt = nullptr;
  IResultSet* rs = nullptr;
  IMessageMetadata* out_meta = nullptr;
  InputMessage in;
  std::vector<unsigned char> out_buf;
  std::vector<ColumnLayout> layouts;
  ~Cursor() {
    if (rs) {
      try {
        Status st;
        rs->close(&st);
      } catch (const FbException&) {
        rs->release();
      }
    }
    if (out_meta) out_meta->release();
    if (stmt) stmt->release();
  }
};

Cursor* open_cursor(Transaction& tr, const std::string& sql,
                    const std::vector<const Value*>& values, RowSet& rows) {
  Connection& db = tr.database();
  IAttachment* att = db.impl().att;
  if (!att) throw not_connected();
  auto c = std::make_unique<Cursor>();
  guarded([&] {
    c->att = att;
    c->tra = static_cast<ITransaction*>(tr.handle());
    c->stmt = db.impl().prepare(sql, c->tra, db.SQLDialect, false);
    build_input(att, c->tra, c->stmt, values, c->in);
    Status st;
    c->out_meta = c->stmt->getOutputMetadata(&st);
    unsigned cols = c->out_meta->getCount(&st);
    c->out_buf.resize(c->out_meta->getMessageLength(&st));
    rows = RowSet{};
    for (unsigned i = 0; i < cols; ++i) rows.columns.push_back(c->out_meta->getAlias(&st, i));
    c->layouts = column_layouts(c->out_meta);
    void* in_buf = c->in.buf.empty() ? nullptr : c->in.buf.data();
    c->rs = c->stmt->openCursor(&st, c->tra, c->in.meta, in_buf, c->out_meta, 0);
  });
  return c.release();
}

bool fetch_rows(Cursor* c, RowSet& rows, std::size_t n) {
  return guarded([&] {
    Status st;
    const std::size_t cols = c->layouts.size();
    for (std::size_t k = 0; k < n; ++k) {
      if (c->rs->fetchNext(&st, c->out_buf.data()) != IStatus::RESULT_OK) return false;
      std::vector<std::string> row(cols);
      std::vector<bool> nul(cols);
      for (std::size_t i = 0; i < cols; ++i)
        nul[i] = !column_text(c->att, c->tra, c->layouts[i], c->out_buf.data(), row[i]);
      rows.rows.push_back(std::move(row));
      rows.nulls.push_back(std::move(nul));
    }
    return true;
  });
}

void close_cursor(Cursor* c) {
  delete c;
}

}  // namespace detail

}  // namespace store
