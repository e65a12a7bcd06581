// The state file: one "name=value" line per field, in a fixed order, with bytes outside
// printable ASCII written as \xHH. Saved through a temporary file and a rename so that a
// crash leaves either the old or the new state, never a mix.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "devkit/state_file.h"
#include "ecf_sim/printer.h"

namespace ecf_sim {

namespace {

constexpr const char* kMagic = "orvik-ecf-sim state 1";

std::string escape(std::string_view v) {
  std::string out;
  out.reserve(v.size());
  static const char* hex = "0123456789ABCDEF";
  for (unsigned char c : v) {
    if (c < 0x20 || c > 0x7E || c == '\\') {
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool unescape(std::string_view v, std::string& out) {
  out.clear();
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '\\') {
      out += v[i];
      continue;
    }
    if (v.size() < i + 4 || v[i + 1] != 'x' || hex(v[i + 2]) < 0 || hex(v[i + 3]) < 0) return false;
    out += static_cast<char>(hex(v[i + 2]) * 16 + hex(v[i + 3]));
    i += 3;
  }
  return true;
}

class Writer {
 public:
  void operator()(const char* name, const std::string& v) {
    out_ += name;
    out_ += '=';
    out_ += escape(v);
    out_ += '\n';
  }
  void operator()(const char* name, const int64_t& v) { (*this)(name, std::to_string(v)); }
  void operator()(const char* name, const int& v) { (*this)(name, std::to_string(v)); }
  void operator()(const char* name, const bool& v) { (*this)(name, std::string(v ? "1" : "0")); }
  void operator()(const char* name, const char& v) { (*this)(name, std::string(1, v)); }
  template <class T>
  std::size_t count(const char* name, const std::vector<T>& v) {
    (*this)(name, static_cast<int64_t>(v.size()));
    return v.size();
  }
  template <class T>
  void resize(std::vector<T>&, std::size_t) {}
  bool has(const char*) const { return true; }
  bool ok() const { return true; }
  std::string out_;
};

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}
  bool next(const char* name, std::string& value) {
    if (failed_) return false;
    auto nl = text_.find('\n', pos_);
    if (nl == std::string_view::npos) return fail(name);
    std::string_view line = text_.substr(pos_, nl - pos_);
    pos_ = nl + 1;
    auto eq = line.find('=');
    if (eq == std::string_view::npos || line.substr(0, eq) != name) return fail(name);
    if (!unescape(line.substr(eq + 1), value)) return fail(name);
    return true;
  }
  void operator()(const char* name, std::string& v) { next(name, v); }
  void operator()(const char* name, int64_t& v) {
    std::string s;
    if (!next(name, s)) return;
    try {
      std::size_t used = 0;
      v = std::stoll(s, &used);
      if (used != s.size()) fail(name);
    } catch (...) {
      fail(name);
    }
  }
  void operator()(const char* name, int& v) {
    int64_t x = 0;
    (*this)(name, x);
    v = static_cast<int>(x);
  }
  void operator()(const char* name, bool& v) {
    int64_t x = 0;
    (*this)(name, x);
    v = x != 0;
  }
  void operator()(const char* name, char& v) {
    std::string s;
    if (next(name, s)) v = s.empty() ? ' ' : s[0];
  }
  template <class T>
  std::size_t count(const char* name, std::vector<T>& v) {
    int64_t n = 0;
    (*this)(name, n);
    if (n < 0 || n > 100000000) {
      fail(name);
      n = 0;
    }
    v.resize(static_cast<std::size_t>(n));
    return v.size();
  }
  // True when the next line holds the field `name`.
  bool has(const char* name) const {
    std::string prefix = std::string(name) + "=";
    return !failed_ && text_.substr(pos_, prefix.size()) == prefix;
  }
  bool ok() const { return !failed_; }
  const std::string& error() const { return error_; }

 private:
  bool fail(const char* name) {
    if (!failed_)
      error_ = std::string("campo ") + name + " invalido na posicao " + std::to_string(pos_);
    failed_ = true;
    return false;
  }
  std::string_view text_;
  std::size_t pos_ = 0;
  bool failed_ = false;
  std::string error_;
};

// Only a file read can lack the millisecond counters; it starts them from the minutes.
void times_from_minutes(const State&) {}
void times_from_minutes(State& s) {
  s.running_ms = s.minutes_on * 60000;
  s.fiscal_ms = s.minutes_printing * 60000;
}

template <class A>
void io_date(A& a, auto& d) {
  a("y", d.year);
  a("m", d.month);
  a("d", d.day);
}
template <class A>
void io_time(A& a, auto& t) {
  io_date(a, t.date);
  a("hh", t.hour);
  a("mi", t.minute);
  a("ss", t.second);
}
template <class A>
void io_totals(A& a, auto& t) {
  for (auto& v : t.totalizer) a("tot", v);
  a("cancel_icms", t.cancel_icms);
  a("cancel_iss", t.cancel_iss);
  a("discount_icms", t.discount_icms);
  a("discount_iss", t.discount_iss);
  a("surcharge_icms", t.surcharge_icms);
  a("surcharge_iss", t.surcharge_iss);
  a("gross", t.gross);
  for (auto& v : t.nonfiscal) a("nf", v);
  a("nf_cancel", t.nonfiscal_cancel);
  a("nf_discount", t.nonfiscal_discount);
  a("nf_surcharge", t.nonfiscal_surcharge);
  for (auto& v : t.payment) a("pay", v);
  a("change", t.change);
  for (auto& v : t.department_value) a("dept_value", v);
  for (auto& v : t.department_quantity) a("dept_qty", v);
}
template <class A>
void io_rates(A& a, auto& rates) {
  for (auto& r : rates) {
    a("rate_programmed", r.programmed);
    a("rate_icms", r.icms);
    a("rate_percent", r.percent);
  }
}
template <class A>
void io_named(A& a, auto& slots) {
  for (auto& s : slots) {
    a("slot_programmed", s.programmed);
    a("slot_name", s.name);
  }
}
template <class A>
void io_document(A& a, auto& d) {
  a("kind", d.kind);
  a("coo", d.coo);
  a("ccf", d.ccf);
  a("gnf", d.gnf);
  a("grg", d.grg);
  a("cdc", d.cdc);
  a("crz", d.crz);
  io_time(a, d.issued);
  a("cancelled", d.cancelled);
  a("reference_coo", d.reference_coo);
  std::size_t n = a.count("items", d.items);
  for (std::size_t i = 0; i < n && a.ok(); ++i) {
    auto& it = d.items[i];
    a("number", it.number);
    a("code", it.code);
    a("description", it.description);
    a("unit", it.unit);
    a("quantity", it.quantity);
    a("price", it.price);
    a("price_decimals", it.price_decimals);
    a("totalizer", it.totalizer);
    a("department", it.department);
    a("gross", it.gross);
    a("adjustment", it.adjustment);
    a("item_cancelled", it.cancelled);
    a("rounding", it.rounding);
  }
  n = a.count("payments", d.payments);
  for (std::size_t i = 0; i < n && a.ok(); ++i) {
    auto& p = d.payments[i];
    a("form", p.form_slot);
    a("name", p.name);
    a("value", p.value);
    a("text", p.text);
    a("reversed", p.reversed);
  }
  a("subtotal", d.subtotal);
  a("discount", d.discount);
  a("surcharge", d.surcharge);
  a("total", d.total);
  a("change", d.change);
  for (auto& v : d.by_totalizer) a("by_tot", v);
  a("customer_id", d.customer_id);
  a("customer_name", d.customer_name);
  a("customer_address", d.customer_address);
  a("printed", d.printed);
}

template <class A>
void io_state(A& a, auto& s) {
  auto& id = s.identity;
  a("serial", id.serial);
  a("mfd_serial", id.mfd_serial);
  a("firmware", id.firmware);
  io_time(a, id.firmware_installed);
  a("brand", id.brand);
  a("model", id.model);
  a("type", id.type);
  a("ecf_number", id.ecf_number);
  a("store", id.store);
  a("currency_symbol", id.currency_symbol);
  a("currency_singular", id.currency_singular);
  a("currency_plural", id.currency_plural);
  io_time(a, id.currency_since);
  a("gt_coding", id.gt_coding);
  auto& o = s.owner;
  a("owner_name", o.name);
  a("owner_address1", o.address1);
  a("owner_address2", o.address2);
  a("owner_cnpj", o.cnpj);
  a("owner_ie", o.ie);
  a("owner_im", o.im);
  a("owner_user", o.user_number);
  io_time(a, o.registered);
  io_rates(a, s.rates);
  for (auto& f : s.payment_forms) {
    a("form_programmed", f.programmed);
    a("form_name", f.name);
    a("form_linked", f.linked);
  }
  io_named(a, s.nonfiscal);
  io_named(a, s.gerencial);
  io_named(a, s.departments);
  a("coo", s.coo);
  a("gnf", s.gnf);
  a("ccf", s.ccf);
  a("cfc", s.cfc);
  a("crz", s.crz);
  a("cro", s.cro);
  a("cfd", s.cfd);
  a("cdc", s.cdc);
  a("grg", s.grg);
  a("nfc", s.nfc);
  a("ncn", s.ncn);
  for (auto& v : s.con) a("con", v);
  for (auto& v : s.cer) a("cer", v);
  a("gt", s.gt);
  a("gt_initial", s.gt_initial);
  a("coo_day_start", s.coo_day_start);
  io_totals(a, s.day);
  io_date(a, s.movement);
  io_date(a, s.closed_date);
  a("truncate", s.truncate);
  a("line_spacing", s.line_spacing);
  a("item_one_line", s.item_one_line);
  a("daylight_saving", s.daylight_saving);
  a("technical_intervention", s.technical_intervention);
  a("paper_out", s.paper_out);
  a("paper_near_end", s.paper_near_end);
  a("cheque_present", s.cheque_present);
  a("clock_offset", s.clock_offset_seconds);
  a("minutes_on", s.minutes_on);
  a("minutes_printing", s.minutes_printing);
  io_document(a, s.open);
  a("phase", s.phase);
  a("closing_text", s.closing_text);
  a("open_header", s.open_header);
  a("open_body", s.open_body);
  a("open_operator", s.open_operator);
  a("open_paid", s.open_paid);
  a("last_document_kind", s.last_document_kind);
  std::size_t n = a.count("reductions", s.reductions);
  for (std::size_t i = 0; i < n && a.ok(); ++i) {
    auto& r = s.reductions[i];
    a("crz", r.crz);
    a("coo", r.coo);
    a("first_coo", r.first_coo);
    a("cro", r.cro);
    a("ccf", r.ccf);
    a("gnf", r.gnf);
    a("grg", r.grg);
    a("cfd", r.cfd);
    a("cdc", r.cdc);
    a("cfc", r.cfc);
    a("nfc", r.nfc);
    io_date(a, r.movement);
    io_time(a, r.issued);
    a("gt", r.gt);
    a("gt_initial", r.gt_initial);
    io_rates(a, r.rates);
    io_totals(a, r.totals);
    a("last_data", r.last_data);
  }
  n = a.count("tape", s.tape);
  for (std::size_t i = 0; i < n && a.ok(); ++i) io_document(a, s.tape[i]);
  n = a.count("tape_readings", s.tape_readings);
  for (std::size_t i = 0; i < n && a.ok(); ++i) {
    auto& t = s.tape_readings[i];
    a("cfd", t.cfd);
    io_date(a, t.date);
    a("first_coo", t.first_coo);
    a("last_coo", t.last_coo);
  }
  a("tape_capacity", s.tape_capacity);
  // Added later: files written before them end here and load with none.
  if (a.has("running_ms")) {
    a("running_ms", s.running_ms);
    a("fiscal_ms", s.fiscal_ms);
    n = a.count("restarts", s.restarts);
    for (std::size_t i = 0; i < n && a.ok(); ++i) {
      auto& r = s.restarts[i];
      a("cro", r.cro);
      io_time(a, r.when);
      a("memory_lost", r.memory_lost);
    }
  } else {
    times_from_minutes(s);
  }
}

}  // namespace

std::string serialize_state(const State& s) {
  Writer w;
  w.out_ = std::string(kMagic) + "\n";
  io_state(w, s);
  w.out_ += "end=\n";
  return w.out_;
}

bool deserialize_state(std::string_view text, State& out, std::string* error) {
  std::string magic = std::string(kMagic) + "\n";
  if (text.substr(0, magic.size()) != magic) {
    if (error) *error = "arquivo de estado de formato desconhecido";
    return false;
  }
  Reader r(text.substr(magic.size()));
  State s;
  io_state(r, s);
  std::string end;
  if (r.ok()) r.next("end", end);
  if (!r.ok()) {
    if (error) *error = r.error();
    return false;
  }
  out = std::move(s);
  return true;
}

bool Printer::load(const std::filesystem::path& file, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (error) *error = "nao foi possivel ler " + file.string();
    return false;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  tape_bytes_ = -1;
  return deserialize_state(ss.str(), state_, error);
}

bool Printer::save(const std::filesystem::path& file, std::string* error) const {
  return devkit::save_atomically(file, serialize_state(state_), error);
}

}  // namespace ecf_sim
