// The memory dump: the printer's structured records in one binary image, for tools that
// need records rather than printouts. Layout in README.md.
#include <cstdint>

#include "ecf_sim/page.h"
#include "ecf_sim/printer.h"

namespace ecf_sim {

namespace {

class RecordWriter {
 public:
  void begin(char type) {
    type_ = type;
    payload_.clear();
  }
  void field(std::string_view v) {
    std::size_t n = std::min<std::size_t>(v.size(), 0xFFFF);
    payload_ += static_cast<char>(n & 0xFF);
    payload_ += static_cast<char>(n >> 8);
    payload_.append(v.substr(0, n));
  }
  void field(int64_t v) { field(std::to_string(v)); }
  void end() {
    out_ += type_;
    uint32_t n = static_cast<uint32_t>(payload_.size());
    for (int i = 0; i < 4; ++i) out_ += static_cast<char>((n >> (8 * i)) & 0xFF);
    out_ += payload_;
    ++count_;
  }
  std::string finish() {
    std::string head = "ORVKDMP1";
    for (int i = 0; i < 4; ++i) head += static_cast<char>((count_ >> (8 * i)) & 0xFF);
    return head + out_;
  }

 private:
  char type_ = 0;
  std::string payload_, out_;
  uint32_t count_ = 0;
};

std::string ymd(const Date& d) {
  return zeros(d.year, 4) + zeros(d.month, 2) + zeros(d.day, 2);
}
std::string hms(const DateTime& t) {
  return zeros(t.hour, 2) + zeros(t.minute, 2) + zeros(t.second, 2);
}

std::string totalizer_code(const std::array<Rate, kRateSlots>& rates, int t) {
  if (std::string_view fixed = fixed_totalizer_name(t); !fixed.empty()) return std::string(fixed);
  return zeros(t, 2) + (rates[t].icms ? "T" : "S") + zeros(rates[t].percent, 4);
}

}  // namespace

std::string memory_dump(const State& s) {
  RecordWriter w;
  const auto& id = s.identity;
  const auto& o = s.owner;
  w.begin('I');
  for (const std::string* v :
       {&id.serial, &id.mfd_serial, &id.brand, &id.model, &id.type, &id.firmware, &o.cnpj, &o.ie,
        &o.im, &o.name, &o.address1, &o.address2})
    w.field(*v);
  w.field(o.user_number);
  w.field(s.cro);
  w.field(s.crz);
  w.field(s.coo);
  w.field(s.gnf);
  w.field(s.ccf);
  w.field(s.grg);
  w.field(s.cdc);
  w.field(s.cfd);
  w.field(s.gt);
  // Fields added at the end, so readers of the first ones stay valid.
  w.field(id.ecf_number);
  w.field(ymd(id.firmware_installed.date));
  w.field(hms(id.firmware_installed));
  w.field(ymd(o.registered.date));
  w.field(hms(o.registered));
  w.field(1);  // the registration is restart 1
  w.field(id.currency_symbol);
  w.field(ymd(id.currency_since.date));
  w.field(hms(id.currency_since));
  w.field(id.gt_coding);
  w.field(ymd(o.registered.date));  // the coding holds from the registration on
  w.field(hms(o.registered));
  w.field("S");  // the ISSQN discount is allowed (PermiteISS reads 15)
  w.end();
  // Restarts as the fiscal memory lists them: every CRO, those without a record at the
  // registration.
  for (int cro = 1; cro <= s.cro; ++cro) {
    DateTime when = o.registered;
    bool lost = false;
    for (const auto& r : s.restarts)
      if (r.cro == cro) when = r.when, lost = r.memory_lost;
    w.begin('R');
    w.field(cro);
    w.field(ymd(when.date));
    w.field(hms(when));
    w.field(lost ? "S" : "N");
    w.end();
  }
  for (const auto& t : s.tape_readings) {
    w.begin('F');
    w.field(t.cfd);
    w.field(ymd(t.date));
    w.field(t.first_coo);
    w.field(t.last_coo);
    w.end();
  }
  for (const auto& r : s.reductions) {
    w.begin('Z');
    for (int v : {r.crz, r.coo, r.first_coo, r.cro}) w.field(v);
    w.field(ymd(r.movement));
    w.field(ymd(r.issued.date));
    w.field(hms(r.issued));
    w.field(r.gt);
    w.field(r.totals.gross);
    for (int t = 0; t < kTotalizers; ++t) {
      if (t < kRateSlots && !r.rates[t].programmed) continue;
      w.field(totalizer_code(r.rates, t) + "=" + std::to_string(r.totals.totalizer[t]));
    }
    w.field("Can-T=" + std::to_string(r.totals.cancel_icms));
    w.field("Can-S=" + std::to_string(r.totals.cancel_iss));
    w.field("DT=" + std::to_string(r.totals.discount_icms));
    w.field("DS=" + std::to_string(r.totals.discount_iss));
    w.field("AT=" + std::to_string(r.totals.surcharge_icms));
    w.field("AS=" + std::to_string(r.totals.surcharge_iss));
    Money nonfiscal = 0;
    for (Money v : r.totals.nonfiscal) nonfiscal += v;
    w.field("OPNF=" + std::to_string(nonfiscal));
    w.end();
    for (int i = 0; i < kNonFiscalSlots; ++i) {
      if (!s.nonfiscal[i].programmed) continue;
      w.begin('N');
      w.field(r.crz);
      w.field(i);
      w.field(s.nonfiscal[i].name);
      w.field(r.totals.nonfiscal[i]);
      w.end();
    }
    for (int i = 0; i < kPaymentSlots; ++i) {
      if (!s.payment_forms[i].programmed) continue;
      w.begin('M');
      w.field(r.crz);
      w.field(i == 0 ? "-2" : std::to_string(i - 1));
      w.field(s.payment_forms[i].name);
      w.field(r.totals.payment[i]);
      w.end();
    }
    w.begin('M');
    w.field(r.crz);
    w.field("TR");
    w.field("TROCO");
    w.field(r.totals.change);
    w.end();
  }
  for (const auto& d : s.tape) {
    w.begin('D');
    for (int v : {d.kind, d.coo, d.ccf, d.gnf, d.grg, d.cdc, d.crz}) w.field(v);
    w.field(ymd(d.issued.date));
    w.field(hms(d.issued));
    w.field(d.cancelled ? "S" : "N");
    for (Money v : {d.subtotal, d.discount, d.surcharge, d.total}) w.field(v);
    w.field(d.customer_id);
    w.field(d.customer_name);
    w.field(d.reference_coo);
    w.field(d.change);
    w.end();
    if (d.kind == kFiscalCoupon) {
      for (const auto& it : d.items) {
        w.begin('T');
        w.field(d.coo);
        w.field(it.number);
        w.field(it.code);
        w.field(it.description);
        w.field(it.quantity);
        w.field(it.unit);
        w.field(it.price);
        w.field(it.price_decimals);
        w.field(totalizer_code(s.rates, it.totalizer));
        w.field(it.gross);
        w.field(it.adjustment);
        w.field(it.cancelled ? "S" : "N");
        w.field(std::string(1, it.rounding));
        w.end();
      }
    }
    for (const auto& p : d.payments) {
      w.begin('P');
      w.field(d.coo);
      w.field(p.name);
      w.field(p.value);
      w.field(p.reversed);
      w.end();
    }
  }
  return w.finish();
}

void Printer::queue_memory_dump() {
  static const char* hex = "0123456789ABCDEF";
  std::string bin = memory_dump(state_);
  serial_.clear();
  serial_pos_ = 0;
  serial_.reserve(serial_.size() + bin.size() * 2);
  for (unsigned char c : bin) {
    serial_ += hex[c >> 4];
    serial_ += hex[c & 15];
  }
}

}  // namespace ecf_sim
