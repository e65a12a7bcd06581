// The state file: "name=value" lines, bytes outside printable ASCII written as \xHH, saved
// atomically (devkit) so that a crash leaves the old state or the new one.
#include <map>
#include <sstream>

#include "devkit/state_file.h"
#include "qvx_sim/printer.h"

namespace qvx_sim {
namespace {

constexpr const char* kMagic = "orvik-qvx-sim state 1";

std::string escape(std::string_view v) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
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
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  out.clear();
  for (size_t i = 0; i < v.size(); ++i) {
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

bool to_int(const std::string& text, int64_t& out) {
  try {
    size_t used = 0;
    out = std::stoll(text, &used);
    return used == text.size();
  } catch (...) {
    return false;
  }
}

}  // namespace

bool Printer::save(const std::filesystem::path& file, std::string* error) const {
  const State& s = state_;
  std::ostringstream o;
  auto put = [&](const std::string& name, const std::string& value) {
    o << name << '=' << escape(value) << '\n';
  };
  auto num = [&](const std::string& name, int64_t v) { put(name, std::to_string(v)); };
  o << kMagic << '\n';
  put("model", s.model == Model::k610 ? "610" : "820");
  num("doc", static_cast<int>(s.doc));
  put("consumer_id", s.consumer_id);
  num("coo", s.coo);
  num("crz", s.crz);
  num("cro", s.cro);
  num("grand_total", s.grand_total);
  num("gross", s.gross);
  num("cancellations", s.cancellations);
  num("discounts", s.discounts);
  num("surcharges", s.surcharges);
  num("adjustment", s.adjustment);
  num("paid", s.paid);
  for (size_t i = 0; i < 16; ++i) {
    num("paid_by_form." + std::to_string(i), s.paid_by_form[i]);
    num("nonfiscal." + std::to_string(i), s.nonfiscal[i]);
    put("rate." + std::to_string(i), s.rates[i]);
    put("payment_name." + std::to_string(i), s.payment_names[i]);
  }
  num("items", static_cast<int64_t>(s.items.size()));
  for (size_t i = 0; i < s.items.size(); ++i) {
    const Item& it = s.items[i];
    const std::string p = "item." + std::to_string(i) + ".";
    num(p + "quantity", it.quantity);
    num(p + "price", it.price);
    num(p + "value", it.value);
    num(p + "discount", it.discount);
    num(p + "cancelled", it.cancelled);
    put(p + "tax", it.tax);
    put(p + "description", it.description);
  }
  num("last_was_coupon", s.last_was_coupon);
  num("last_coupon_cancellable", s.last_coupon_cancellable);
  num("last_coupon_total", s.last_coupon_total);
  num("service_bits", s.service_bits);
  num("paper_out", s.paper_out);
  num("paper_low", s.paper_low);
  num("drawer_open", s.drawer_open);
  num("intervention", s.intervention);
  num("daylight_saving", s.daylight_saving);
  put("movement_day", s.movement_day);
  put("day_closed_on", s.day_closed_on);
  put("last_z", s.last_z);
  put("serial", s.serial);
  put("firmware", s.firmware);
  put("till", s.till);
  num("clock_offset_s", s.clock_offset_s);
  return devkit::save_atomically(file, o.str(), error);
}

bool Printer::load(const std::filesystem::path& file, std::string* error) {
  std::string text;
  if (!devkit::read_whole_file(file, text, error)) return false;
  std::istringstream in(text);
  std::string line;
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!std::getline(in, line) || line != kMagic) return fail("nao e um estado do orvik-qvx-sim");
  std::map<std::string, std::string> v;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return fail("linha sem '=': " + line);
    std::string value;
    if (!unescape(std::string_view(line).substr(eq + 1), value))
      return fail("valor ilegivel: " + line);
    v[line.substr(0, eq)] = value;
  }
  State s;
  bool ok = true;
  auto text_of = [&](const std::string& name, std::string& out) {
    auto it = v.find(name);
    if (it == v.end()) {
      ok = false;
      return;
    }
    out = it->second;
  };
  auto int_of = [&](const std::string& name, auto& out) {
    std::string t;
    text_of(name, t);
    int64_t n = 0;
    if (!ok || !to_int(t, n)) {
      ok = false;
      return;
    }
    out = static_cast<std::remove_reference_t<decltype(out)>>(n);
  };
  std::string model;
  text_of("model", model);
  if (model != "610" && model != "820") return fail("modelo desconhecido: " + model);
  s.model = model == "610" ? Model::k610 : Model::k820;
  int doc = 0;
  int_of("doc", doc);
  if (doc < 0 || doc > 6) return fail("documento desconhecido");
  s.doc = static_cast<Doc>(doc);
  text_of("consumer_id", s.consumer_id);
  int_of("coo", s.coo);
  int_of("crz", s.crz);
  int_of("cro", s.cro);
  int_of("grand_total", s.grand_total);
  int_of("gross", s.gross);
  int_of("cancellations", s.cancellations);
  int_of("discounts", s.discounts);
  int_of("surcharges", s.surcharges);
  int_of("adjustment", s.adjustment);
  int_of("paid", s.paid);
  for (size_t i = 0; i < 16; ++i) {
    int_of("paid_by_form." + std::to_string(i), s.paid_by_form[i]);
    int_of("nonfiscal." + std::to_string(i), s.nonfiscal[i]);
    text_of("rate." + std::to_string(i), s.rates[i]);
    text_of("payment_name." + std::to_string(i), s.payment_names[i]);
  }
  int64_t items = 0;
  int_of("items", items);
  if (items < 0 || items > 999) return fail("itens demais");
  for (int64_t i = 0; ok && i < items; ++i) {
    Item it;
    const std::string p = "item." + std::to_string(i) + ".";
    int_of(p + "quantity", it.quantity);
    int_of(p + "price", it.price);
    int_of(p + "value", it.value);
    int_of(p + "discount", it.discount);
    int_of(p + "cancelled", it.cancelled);
    text_of(p + "tax", it.tax);
    text_of(p + "description", it.description);
    s.items.push_back(it);
  }
  int_of("last_was_coupon", s.last_was_coupon);
  int_of("last_coupon_cancellable", s.last_coupon_cancellable);
  int_of("last_coupon_total", s.last_coupon_total);
  int_of("service_bits", s.service_bits);
  int_of("paper_out", s.paper_out);
  int_of("paper_low", s.paper_low);
  int_of("drawer_open", s.drawer_open);
  int_of("intervention", s.intervention);
  int_of("daylight_saving", s.daylight_saving);
  text_of("movement_day", s.movement_day);
  text_of("day_closed_on", s.day_closed_on);
  text_of("last_z", s.last_z);
  text_of("serial", s.serial);
  text_of("firmware", s.firmware);
  text_of("till", s.till);
  int_of("clock_offset_s", s.clock_offset_s);
  if (!ok) return fail("campo ausente ou ilegivel");
  state_ = std::move(s);
  changed_ = false;
  return true;
}

}  // namespace qvx_sim
