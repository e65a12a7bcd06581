#include "qvx_sim/printer.h"

#include <algorithm>
#include <cstdio>

namespace qvx_sim {
namespace {

bool all_digits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int64_t number(std::string_view s) {
  int64_t v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

std::string zeros(int64_t v, int width) {
  std::string s = std::to_string(v < 0 ? 0 : v);
  if (static_cast<int>(s.size()) > width) s = s.substr(s.size() - static_cast<size_t>(width));
  return std::string(static_cast<size_t>(width) - s.size(), '0') + s;
}

std::string rtrim(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return std::string(s.substr(0, n));
}

Reply ok() {
  return Reply{'+', 0, {}};
}
Reply err(int n) {
  return Reply{'-', n, {}};
}
Reply data(std::string d) {
  return Reply{'S', 0, std::move(d)};
}

bool valid_date(std::string_view ddmmyy) {
  if (ddmmyy.size() != 6 || !all_digits(ddmmyy)) return false;
  const int d = static_cast<int>(number(ddmmyy.substr(0, 2)));
  const int m = static_cast<int>(number(ddmmyy.substr(2, 2)));
  return d >= 1 && d <= 31 && m >= 1 && m <= 12;
}

// yymmdd for comparing two ddmmyy dates.
std::string sortable(std::string_view ddmmyy) {
  return std::string(ddmmyy.substr(4, 2)) + std::string(ddmmyy.substr(2, 2)) +
         std::string(ddmmyy.substr(0, 2));
}

}  // namespace

std::string money(int64_t cents) {
  const bool negative = cents < 0;
  if (negative) cents = -cents;
  std::string whole = std::to_string(cents / 100);
  char frac[4];
  std::snprintf(frac, sizeof frac, "%02d", static_cast<int>(cents % 100));
  return (negative ? "-" : "") + whole + "," + frac;
}

Printer::Printer(Model model) {
  state_.model = model;
  state_.serial = model == Model::k610 ? "QV061000000123" : "QV082000000456";
  state_.rates.fill("0000");
  state_.rates[0] = "1800";
  state_.rates[1] = "1200";
  state_.rates[2] = "0700";
  state_.rates[3] = "0500";
  state_.service_bits = 0x1000;  // rate 3 (5,00%) is a service-tax rate
  state_.payment_names.fill(std::string(16, ' '));
  const char* names[] = {"DINHEIRO", "CHEQUE", "CARTAO"};
  for (int i = 0; i < 3; ++i) {
    std::string n = names[i];
    state_.payment_names[static_cast<size_t>(i)] = n + std::string(16 - n.size(), ' ');
  }
}

common::LocalDateTime Printer::now() const {
  return common::clock::to_local(common::clock::now() +
                                 std::chrono::seconds(state_.clock_offset_s));
}

void Printer::set_clock(const common::LocalDateTime& t) {
  const auto wanted = common::clock::from_local(t);
  state_.clock_offset_s =
      std::chrono::duration_cast<std::chrono::seconds>(wanted - common::clock::now()).count();
  changed_ = true;
}

void Printer::set_intervention(bool on) {
  if (state_.intervention && !on) ++state_.cro;  // back from the technician: a restart
  state_.intervention = on;
  changed_ = true;
}

std::string Printer::today() const {
  const auto t = now();
  char b[8];
  std::snprintf(b, sizeof b, "%02d%02d%02d", t.day, t.month, t.year % 100);
  return b;
}

std::vector<std::string> Printer::take_new_lines() {
  std::vector<std::string> out(tape_.begin() + static_cast<long>(taken_), tape_.end());
  taken_ = tape_.size();
  return out;
}

void Printer::print(const std::string& line) {
  const size_t w = static_cast<size_t>(columns());
  if (line.size() <= w) {
    tape_.push_back(line);
    return;
  }
  for (size_t at = 0; at < line.size(); at += w) tape_.push_back(line.substr(at, w));
}

void Printer::header(const std::string& title) {
  const auto t = now();
  char b[64];
  std::snprintf(b, sizeof b, "%02d/%02d/%04d %02d:%02d:%02d      COO:%06d", t.day, t.month, t.year,
                t.hour, t.minute, t.second, state_.coo);
  print(std::string(static_cast<size_t>(columns()), '-'));
  print("LOJA EXEMPLO LTDA");
  print(b);
  print(title);
}

void Printer::finish_document() {
  print("ECF:" + state_.till + " FAB:" + state_.serial);
  state_.doc = Doc::kFree;
}

int64_t Printer::coupon_total() const {
  int64_t total = state_.adjustment;
  for (const Item& i : state_.items)
    if (!i.cancelled) total += i.value;
  return total;
}

std::string Printer::status_bytes() const {
  const State& s = state_;
  const bool coupon = s.doc == Doc::kCoupon || s.doc == Doc::kPaying;
  const bool nonfiscal =
      s.doc == Doc::kNonFiscal || s.doc == Doc::kGerencial || s.doc == Doc::kVoucher;
  const bool pending =
      !s.movement_day.empty() && s.movement_day != today() && s.day_closed_on != s.movement_day;
  int a = (coupon ? 1 : 0) | (s.doc == Doc::kPaying ? 2 : 0) |
          (s.day_closed_on == today() ? 4 : 0) | (s.intervention ? 8 : 0) | (nonfiscal ? 16 : 0) |
          (pending ? 32 : 0) | (s.daylight_saving ? 64 : 0) |
          (s.last_was_coupon || coupon ? 128 : 0);
  int b = 0;
  int c = (s.paper_out ? 1 : 0) | (s.drawer_open ? 2 : 0) |
          (s.doc == Doc::kAuthentication ? 4 : 0) | (s.paper_low ? 64 : 0);
  int d = static_cast<int>(s.doc);
  char out[16];
  std::snprintf(out, sizeof out, "%02X%02X%02X%02X00", a, b, c, d);
  return out;
}

Reply Printer::execute(std::string_view text) {
  if (text.size() < 2 || !all_digits(text.substr(0, 2))) return err(2);
  const std::string_view cmd = text.substr(0, 2);
  const int n = static_cast<int>(number(cmd));
  const bool read = n >= 30 && n <= 34;
  if (state_.intervention && !read) return err(21);
  const bool prints = !read && n != 24;
  if (state_.paper_out && prints) return err(33);
  Reply r = run(cmd, text.substr(2));
  if (r.status != '-' && !read) changed_ = true;
  return r;
}

Reply Printer::run(std::string_view cmd, std::string_view args) {
  State& s = state_;
  const int n = static_cast<int>(number(cmd));
  // Documents that need a free printer.
  auto needs_free = [&]() -> int {
    if (s.doc == Doc::kCoupon || s.doc == Doc::kPaying) return 23;
    if (s.doc == Doc::kAuthentication) return 44;
    if (s.doc != Doc::kFree) return 25;
    return 0;
  };
  // A new document on a day whose Z is due or done.
  auto day_open = [&]() -> int {
    const std::string t = today();
    if (!s.movement_day.empty() && s.movement_day != t && s.day_closed_on != s.movement_day)
      return 28;
    if (s.day_closed_on == t) return 29;
    if (s.movement_day != t) s.movement_day = t;
    return 0;
  };
  switch (n) {
    case 1: {  // authentication: start
      if (args.size() != 3 || !all_digits(args)) return err(10);
      if (s.doc == Doc::kAuthentication) return err(44);
      if (int e = needs_free()) return err(e);
      s.doc = Doc::kAuthentication;
      return ok();
    }
    case 3: {  // authentication: print
      if (args != "     ") return err(10);
      if (s.doc != Doc::kAuthentication) return err(45);
      const auto t = now();
      char b[64];
      std::snprintf(b, sizeof b, "AUT %02d%02d%02d COO%06d", t.day, t.month, t.year % 100, s.coo);
      print(b);
      s.doc = Doc::kFree;
      return ok();
    }
    case 6:
      return subtotal(args);
    case 7:
      return pay(args);
    case 8:
      return close_coupon(args);
    case 10: {
      if (int e = needs_free()) return err(e);
      if (int e = day_open()) return err(e);
      return open_coupon(args);
    }
    case 11:
      return sell(args);
    case 12:
      return cancel_item(args);
    case 14:
      return cancel_coupon();
    case 15:
      if (args == "0") return reading(cmd, args);  // X
      if (args == "1") {                           // gerencial report
        if (int e = needs_free()) return err(e);
        if (int e = day_open()) return err(e);
        ++s.coo;
        header("RELATORIO GERENCIAL");
        s.doc = Doc::kGerencial;
        return ok();
      }
      return err(10);
    case 16:
      if (args != "0") return err(10);
      return reduction();
    case 17:
    case 18:
      return reading(cmd, args);
    case 20: {
      if (!args.empty()) return err(10);
      if (int e = needs_free()) return err(e);
      if (!s.last_was_coupon) return err(22);
      ++s.coo;
      header("COMPROVANTE NAO FISCAL VINCULADO");
      s.doc = Doc::kVoucher;
      return ok();
    }
    case 21:
    case 22:
    case 23:
      return nonfiscal(cmd, args);
    case 24:
      if (args != std::string_view("0\x14P", 3)) return err(10);
      s.drawer_open = true;
      return ok();
    case 26: {
      if (s.doc != Doc::kGerencial && s.doc != Doc::kVoucher) return err(24);
      if (args.empty() || args[0] != '0') return err(10);
      const std::string_view line = args.substr(1);
      if (line.size() > static_cast<size_t>(columns())) return err(60);
      if (line.size() != static_cast<size_t>(columns())) return err(10);
      print(rtrim(line));
      return ok();
    }
    case 30: {
      if (!args.empty()) return err(10);
      std::string all;
      for (const auto& r : s.rates) all += r;
      return data(all);
    }
    case 32:
      if (!args.empty()) return err(10);
      return data(status_bytes());
    case 33: {
      if (!args.empty()) return err(10);
      const auto t = now();
      char b[16];
      std::snprintf(b, sizeof b, "%02d%02d%02d%02d%02d%02d", t.day, t.month, t.year % 100, t.hour,
                    t.minute, t.second);
      return data(b);
    }
    case 34:
      return register_read(args);
    default:
      return err(2);
  }
}

Reply Printer::open_coupon(std::string_view args) {
  State& s = state_;
  if (s.model == Model::k820) {
    if (args.size() != 28) return err(10);
    s.consumer_id = rtrim(args);
  } else {
    if (!args.empty()) return err(10);
    s.consumer_id.clear();
  }
  ++s.coo;
  s.items.clear();
  s.adjustment = 0;
  s.paid = 0;
  s.paid_by_form.fill(0);
  s.last_was_coupon = false;
  s.last_coupon_cancellable = false;
  s.doc = Doc::kCoupon;
  header("CUPOM FISCAL");
  if (!s.consumer_id.empty()) print("CPF/CNPJ consumidor: " + s.consumer_id);
  print("ITEM CODIGO DESCRICAO QTD UN VL UNIT VL ITEM");
  return ok();
}

Reply Printer::sell(std::string_view a) {
  State& s = state_;
  if (s.doc == Doc::kPaying) return err(50);
  if (s.doc != Doc::kCoupon) return err(22);
  const size_t w = s.model == Model::k610 ? 6 : 7;
  const size_t fixed = 1 + w + 11 + 3 + 16 + 2 + 13 + 1;
  // Only the two forms' lengths are items: a field of another width shifts every other.
  if (a.size() != fixed + 20 && a.size() != fixed + 76) return err(10);
  const char kind = a[0];
  if (s.model == Model::k610 ? kind != '-' : (kind != 'H' && kind != 'G')) return err(10);
  size_t at = 1;
  auto take = [&](size_t len) {
    std::string_view f = a.substr(at, len);
    at += len;
    return f;
  };
  const std::string_view qty = take(w), price = take(11), tax = take(3), disc = take(16),
                         unit = take(2), code = take(13), form = take(1);
  if (!all_digits(qty) || !all_digits(price) || !all_digits(code)) return err(3);
  if (std::string_view("TFIN").find(tax[0]) == std::string_view::npos) return err(15);
  if (!all_digits(tax.substr(1))) return err(3);
  if (disc[0] != '&') return err(5);
  if (!all_digits(disc.substr(1))) return err(3);
  std::string description;
  if (form == "0") {
    if (a.size() != fixed + 20) return err(10);
    description = rtrim(a.substr(fixed, 20));
  } else if (form == "2") {
    if (a.size() != fixed + 76) return err(10);
    description = rtrim(a.substr(fixed, 38));
  } else {
    return err(10);
  }
  if (tax[0] == 'T') {
    const int slot = static_cast<int>(number(tax.substr(1)));
    if (slot > 15 || s.rates[static_cast<size_t>(slot)] == "0000") return err(18);
  } else if (tax.substr(1) != "00") {
    return err(18);
  }
  if (s.items.size() >= 999) return err(41);
  Item item;
  item.quantity = number(qty);
  item.price = number(price);
  item.discount = number(disc.substr(1));
  item.tax = std::string(tax);
  item.description = description;
  if (item.quantity == 0 || item.price == 0) return err(10);
  // Thousandths of a unit times the price: cents, or thousandths of a real with kind H;
  // the fraction of a cent is dropped.
  const int64_t divisor = kind == 'H' ? 10000 : 1000;
  const int64_t gross = item.quantity * item.price / divisor;
  if (item.discount >= gross) return err(10);
  item.value = gross - item.discount;
  s.gross += gross;
  s.discounts += item.discount;
  s.items.push_back(item);
  char line[160];
  std::snprintf(line, sizeof line, "%03d %s %s", static_cast<int>(s.items.size()),
                std::string(code).c_str(), description.c_str());
  print(line);
  const std::string price_text =
      kind == 'H' ? std::to_string(item.price / 1000) + "," + zeros(item.price % 1000, 3)
                  : money(item.price);
  std::snprintf(line, sizeof line, "%s,%s %s X %s %s %s",
                std::to_string(item.quantity / 1000).c_str(),
                zeros(item.quantity % 1000, 3).c_str(), rtrim(unit).c_str(), price_text.c_str(),
                item.tax.c_str(), money(gross).c_str());
  print(line);
  if (item.discount > 0) print("desconto item -" + money(item.discount));
  return ok();
}

Reply Printer::cancel_item(std::string_view args) {
  State& s = state_;
  if (args.size() != 3 || !all_digits(args)) return err(10);
  if (s.doc == Doc::kPaying) return err(50);
  if (s.doc != Doc::kCoupon) return err(22);
  const int64_t n = number(args);
  if (n < 1 || n > static_cast<int64_t>(s.items.size())) return err(31);
  Item& item = s.items[static_cast<size_t>(n - 1)];
  if (item.cancelled) return err(31);
  item.cancelled = true;
  s.cancellations += item.value;
  print("CANCELAMENTO ITEM " + std::string(args) + " -" + money(item.value));
  return ok();
}

Reply Printer::cancel_coupon() {
  State& s = state_;
  if (s.doc == Doc::kCoupon || s.doc == Doc::kPaying) {
    const int64_t total = coupon_total() - std::max<int64_t>(s.adjustment, 0);
    s.cancellations += total;
    print("CUPOM CANCELADO -" + money(coupon_total()));
    s.items.clear();
    s.adjustment = 0;
    s.paid = 0;
    finish_document();
    s.last_was_coupon = false;  // a cancelled coupon takes no voucher
    s.last_coupon_cancellable = false;
    return ok();
  }
  if (s.doc != Doc::kFree || !s.last_was_coupon || !s.last_coupon_cancellable) return err(32);
  ++s.coo;
  header("CANCELAMENTO DE CUPOM");
  print("CUPOM CANCELADO -" + money(s.last_coupon_total));
  s.cancellations += s.last_coupon_total;
  s.last_coupon_cancellable = false;
  finish_document();
  return ok();
}

Reply Printer::subtotal(std::string_view a) {
  State& s = state_;
  bool surcharge = false;
  if (!a.empty() && a[0] == '@') {
    surcharge = true;
    a.remove_prefix(1);
  }
  if (a.empty() || a[0] != '&') return err(5);
  a.remove_prefix(1);
  if (a.size() != 15) return err(10);
  if (!all_digits(a)) return err(3);
  if (s.doc == Doc::kPaying) return err(50);
  if (s.doc != Doc::kCoupon) return err(22);
  if (coupon_total() <= 0) return err(10);
  const int64_t v = number(a);
  if (!surcharge && v >= coupon_total()) return err(10);
  s.adjustment = surcharge ? v : -v;
  if (surcharge)
    s.surcharges += v;
  else
    s.discounts += v;
  s.doc = Doc::kPaying;
  print("SUBTOTAL " + money(coupon_total() - s.adjustment));
  if (v > 0) print(std::string(surcharge ? "ACRESCIMO " : "DESCONTO -") + money(v));
  print("TOTAL R$ " + money(coupon_total()));
  return ok();
}

Reply Printer::pay(std::string_view a) {
  State& s = state_;
  if (a.size() != 18) return err(10);
  const std::string_view form = a.substr(0, 2), value = a.substr(2, 15), flag = a.substr(17, 1);
  if (!all_digits(form) || !all_digits(value)) return err(3);
  if (flag != "0" && flag != "1") return err(10);
  if (s.doc != Doc::kCoupon && s.doc != Doc::kPaying) return err(22);
  const int64_t f = number(form);
  if (f > 15 || rtrim(s.payment_names[static_cast<size_t>(f)]).empty()) return err(57);
  if (s.doc == Doc::kCoupon) {
    // Paying closes the items at their total, without adjustment.
    if (coupon_total() <= 0) return err(10);
    s.doc = Doc::kPaying;
    print("TOTAL R$ " + money(coupon_total()));
  }
  const int64_t left = coupon_total() - s.paid;
  int64_t amount = number(value);
  if (flag == "0") {
    if (left <= 0) return ok();  // nothing left to pay
    amount = left;
  } else {
    if (amount == 0) return err(10);
    if (left <= 0) return err(56);
  }
  s.paid += amount;
  s.paid_by_form[static_cast<size_t>(f)] += amount;
  print(rtrim(s.payment_names[static_cast<size_t>(f)]) + " " + money(amount));
  return ok();
}

Reply Printer::close_coupon(std::string_view a) {
  State& s = state_;
  if (a.size() < 4 || (a[0] != 'S' && a[0] != 'N')) return err(10);
  if (!all_digits(a.substr(1, 3))) return err(3);
  const std::string_view message = a.substr(4);
  if (static_cast<int64_t>(message.size()) != number(a.substr(1, 3))) return err(10);
  if (s.doc == Doc::kCoupon) return err(51);
  if (s.doc != Doc::kPaying) return err(22);
  const int64_t total = coupon_total();
  if (s.paid < total) return err(58);
  if (s.paid > total) print("TROCO " + money(s.paid - total));
  if (a[0] == 'S' && !message.empty()) print(rtrim(message));
  s.grand_total += total;
  s.last_was_coupon = true;
  s.last_coupon_cancellable = true;
  s.last_coupon_total = total - std::max<int64_t>(s.adjustment, 0);
  finish_document();
  return ok();
}

Reply Printer::reading(std::string_view cmd, std::string_view args) {
  State& s = state_;
  if (int e = s.doc == Doc::kFree ? 0 : (s.doc == Doc::kCoupon || s.doc == Doc::kPaying ? 23 : 25))
    return err(e);
  if (cmd == "15") {
    ++s.coo;
    header("LEITURA X");
    print("VENDA BRUTA " + money(s.gross));
    print("CANCELAMENTOS " + money(s.cancellations));
    print("DESCONTOS " + money(s.discounts));
    print("GT " + money(s.grand_total));
    finish_document();
    return ok();
  }
  if (cmd == "17") {
    if (args.size() != 12) return err(10);
    const std::string_view first = args.substr(0, 6), last = args.substr(6, 6);
    if (!valid_date(first) || !valid_date(last)) return err(16);
    if (sortable(first) > sortable(last)) return err(7);
    ++s.coo;
    header("LEITURA DA MEMORIA FISCAL");
    print("DE " + std::string(first) + " A " + std::string(last));
  } else {
    if (args.size() != 8) return err(10);
    if (!all_digits(args)) return err(3);
    if (number(args.substr(0, 4)) > number(args.substr(4, 4))) return err(7);
    ++s.coo;
    header("LEITURA DA MEMORIA FISCAL");
    print("CRZ " + std::string(args.substr(0, 4)) + " A " + std::string(args.substr(4, 4)));
  }
  print("REDUCOES: " + std::to_string(s.crz));
  finish_document();
  return ok();
}

Reply Printer::reduction() {
  State& s = state_;
  if (s.doc == Doc::kCoupon || s.doc == Doc::kPaying) return err(23);
  if (s.doc != Doc::kFree) return err(25);
  const std::string t = today();
  if (s.day_closed_on == t) return err(29);
  ++s.coo;
  ++s.crz;
  header("REDUCAO Z");
  print("CRZ " + zeros(s.crz, 4));
  print("VENDA BRUTA " + money(s.gross));
  print("CANCELAMENTOS " + money(s.cancellations));
  print("DESCONTOS " + money(s.discounts));
  print("ACRESCIMOS " + money(s.surcharges));
  print("GT " + money(s.grand_total));
  const auto now_t = now();
  char b[16];
  std::snprintf(b, sizeof b, "%02d%02d%02d%02d%02d%02d", now_t.day, now_t.month, now_t.year % 100,
                now_t.hour, now_t.minute, now_t.second);
  s.last_z = b;
  // A Z for a past movement day closes that day; otherwise it closes today.
  s.day_closed_on = s.movement_day.empty() ? t : s.movement_day;
  s.movement_day.clear();
  s.gross = s.cancellations = s.discounts = s.surcharges = 0;
  s.nonfiscal.fill(0);
  s.last_was_coupon = false;
  s.last_coupon_cancellable = false;
  finish_document();
  return ok();
}

Reply Printer::nonfiscal(std::string_view cmd, std::string_view args) {
  State& s = state_;
  if (cmd == "21") {
    if (!args.empty()) return err(10);
    if (s.doc != Doc::kGerencial && s.doc != Doc::kVoucher && s.doc != Doc::kNonFiscal)
      return err(24);
    finish_document();
    return ok();
  }
  if (cmd == "22") {
    if (!args.empty()) return err(10);
    if (s.doc == Doc::kCoupon || s.doc == Doc::kPaying) return err(23);
    if (s.doc != Doc::kFree) return err(25);
    const std::string t = today();
    if (s.day_closed_on == t) return err(29);
    if (s.movement_day.empty()) s.movement_day = t;
    ++s.coo;
    header("COMPROVANTE NAO FISCAL");
    s.doc = Doc::kNonFiscal;
    s.last_was_coupon = false;
    return ok();
  }
  // 23: a non-fiscal register
  if (args.size() != 22) return err(10);
  const std::string_view reg = args.substr(0, 2), value = args.substr(2, 15), pct = args.substr(17);
  if (!all_digits(reg) || !all_digits(value)) return err(3);
  if (pct[0] != '%') return err(5);
  if (!all_digits(pct.substr(1))) return err(3);
  if (s.doc != Doc::kNonFiscal) return err(24);
  const int64_t r = number(reg), v = number(value);
  if (r > 15) return err(57);
  if (v == 0) return err(10);
  s.nonfiscal[static_cast<size_t>(r)] += v;
  const std::string name = r == 0 ? "SUPRIMENTO" : r == 1 ? "SANGRIA" : "NAO FISCAL " + zeros(r, 2);
  print(name + " " + money(v));
  return ok();
}

Reply Printer::register_read(std::string_view a) {
  const State& s = state_;
  if (a.size() != 3 || a[0] != 'M' || !all_digits(a.substr(1))) return err(10);
  const int r = static_cast<int>(number(a.substr(1)));
  switch (r) {
    case 36:
      return data(zeros(s.discounts, 14));
    case 37:
      return data(zeros(s.surcharges, 14));
    case 38:
      return data(zeros(s.cancellations, 14));
    case 39:
      return data(zeros(s.grand_total, 18));
    case 40:
      return data(zeros(s.gross, 14));
    case 41:
      return data(zeros(s.coo, 6));
    case 42:
      return data(zeros(s.crz, 4));
    case 43:
      return data(zeros(s.cro, 4));
    case 47:
      return data(s.firmware);
    case 48:
      return data(s.till);
    case 49:
      return data(s.serial);
    case 83:
      return data(s.last_z);
    case 86: {
      char b[8];
      std::snprintf(b, sizeof b, "%04X", static_cast<unsigned>(s.service_bits));
      return data(b);
    }
    case 96:
      return data(zeros(s.doc == Doc::kCoupon || s.doc == Doc::kPaying ? coupon_total() : 0, 14));
    default:
      if (r >= 50 && r <= 65) return data(s.payment_names[static_cast<size_t>(r - 50)]);
      return err(10);
  }
}

}  // namespace qvx_sim
