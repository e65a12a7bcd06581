#include "orvik/memfiles/rfd_lines.h"

#include "orvik/memfiles/working_folder.h"

namespace orvik::memfiles {
namespace {

std::string D(const std::string& text, int n) {
  return DigitsField(text, n);
}
std::string T(const std::string& text, int n) {
  return TextField(text, n);
}

long long Value(const std::string& digits) {
  long long v = 0;
  for (char c : digits)
    if (c >= '0' && c <= '9' && v < 1'000'000'000'000'000LL) v = v * 10 + (c - '0');
  return v;
}

}  // namespace

std::string EcfHead(const std::string& fabrication, const std::string& additional_mf,
                    const std::string& model) {
  return T(fabrication, 20) + T(additional_mf, 1) + T(model, 20);
}

std::string EcfHead(const ConversionState& s) {
  return EcfHead(s.fabrication, s.additional_mf, s.model);
}

std::string LineE00(const ConversionState& s, const SoftwareHouse& v) {
  return "E00" + T(s.fabrication, 20) + T(s.additional_mf, 1) + D(s.user_number, 2) +
         T(s.ecf_type, 7) + T(s.brand, 20) + T(s.model, 20) + D(v.coo, 6) + D(v.number, 2) +
         D(v.cnpj, 14) + T(v.ie, 14) + T(v.im, 14) + T(v.name, 40) + T(v.application, 40) +
         T(v.version, 10) + T(v.line1, 42) + T(v.line2, 42);
}

std::string LineE01(const ConversionState& s, bool tdm, const std::string& first_crz,
                    const std::string& last_crz) {
  return "E01" + T(s.fabrication, 20) + T(s.additional_mf, 1) + T(s.ecf_type, 7) + T(s.brand, 20) +
         T(s.model, 20) + T(s.software_version, 10) + D(s.software_date, 8) +
         D(s.software_time, 6) + D(s.ecf_number, 3) + D(s.owner_cnpj, 14) + (tdm ? "TDM" : "MFD") +
         D(first_crz, 6) + D(last_crz, 6) + D(s.movement_date, 8) + D(s.movement_date, 8) +
         T("01.02.28", 8) + T("AC1704 01.00.00", 15);
}

std::string LineE02(const ConversionState& s) {
  return "E02" + EcfHead(s) + D(s.owner_cnpj, 14) + T(s.owner_ie, 14) + T(s.owner_name, 40) +
         T(s.owner_address, 120) + D(s.registration_date, 8) + D(s.registration_time, 6) +
         D(s.owner_cro, 6) + D(s.grand_total, 18) + D(s.user_number, 2);
}

std::string LineE05(const std::string& head, const std::string& cnpj, const std::string& date,
                    const std::string& time, const std::string& letters) {
  return "E05" + head + D(cnpj, 14) + D(date, 8) + D(time, 6) + T(letters, 10);
}

std::string LineE06(const std::string& head, const std::string& cnpj, const std::string& date,
                    const std::string& time, const std::string& symbol) {
  return "E06" + head + D(cnpj, 14) + D(date, 8) + D(time, 6) + T(symbol, 4);
}

std::string LineE07(const std::string& head, const std::string& version, const std::string& date) {
  return "E07" + head + T(version, 10) + D(date, 8);
}

std::string LineE08(const std::string& head, const std::string& cnpj, const std::string& serial) {
  return "E08" + head + D(cnpj, 14) + T(serial, 20);
}

std::string LineE09(const std::string& head, const std::string& cro, const std::string& date,
                    const std::string& time, const std::string& indicator) {
  return "E09" + head + D(cro, 6) + D(date, 8) + D(time, 6) + T(indicator, 1);
}

std::string LineE10(const std::string& head, const std::string& counter, const std::string& date,
                    const std::string& first_coo, const std::string& last_coo,
                    const std::string& cnpj) {
  return "E10" + head + D(counter, 6) + D(date, 8) + D(first_coo, 6) + D(last_coo, 6) + D(cnpj, 14);
}

std::string LineE11(const std::string& head, const Counters& c) {
  return "E11" + head + D(c.crz, 6) + D(c.cro, 6) + D(c.coo, 6) + D(c.gnf, 6) + D(c.ccf, 6) +
         std::string(12, '0') + D(c.grg, 6) + std::string(6, '0') + D(c.cfd, 6) + D(c.gt, 18) +
         D(c.date, 8) + D(c.time, 6);
}

std::string LineE12(const std::string& head, const std::string& user, const ZRecord& z) {
  return "E12" + head + D(user, 2) + D(z.crz, 6) + D(z.coo, 6) + D(z.cro, 6) +
         D(z.movement_date, 8) + D(z.issue_date, 8) + D(z.issue_time, 6) + D(z.gross_sales, 14) +
         T(z.issqn_discount, 1);
}

std::string LineE13(const std::string& head, const std::string& user, const std::string& crz,
                    const TotalizerRecord& t) {
  return "E13" + head + D(user, 2) + D(crz, 6) + T(t.code, 7) + D(t.value, 13);
}

std::string LineE14(const std::string& head, const std::string& user, const CouponRecord& c) {
  long long net = Value(c.subtotal) + Value(c.surcharge) - Value(c.discount);
  if (net < 0) net = 0;
  return "E14" + head + D(user, 2) + D(c.ccf, 6) + D(c.coo, 6) + D(c.date, 8) + D(c.subtotal, 14) +
         D(c.discount, 13) + T(c.discount_kind, 1) + D(c.surcharge, 13) + T(c.surcharge_kind, 1) +
         D(std::to_string(net), 14) + T(c.cancelled, 1) + D(c.cancelled_surcharge, 13) +
         T(c.order, 1) + T(c.buyer_name, 40) + D(c.buyer_id, 14);
}

std::string LineE15(const std::string& head, const std::string& user, const ItemRecord& i,
                    bool coupon_cancelled) {
  const std::string cancelled = coupon_cancelled ? "N" : i.cancelled;
  const std::string description = i.description.empty() ? "ERRO DESCRICAO" : i.description;
  return "E15" + head + D(user, 2) + D(i.coo, 6) + D(i.ccf, 6) + D(i.item, 3) + T(i.code, 14) +
         T(description, 100) + D(i.quantity, 7) + T(i.unit, 3) + D(i.unit_price, 8) +
         D(i.discount, 8) + D(i.surcharge, 8) + D(i.net_total, 14) + T(i.totalizer, 7) +
         T(cancelled, 1) + D(i.cancelled_quantity, 7) + D(i.cancelled_value, 13) +
         D(i.cancelled_surcharge, 13) + T(i.rounding, 1) + D(i.quantity_decimals, 1) +
         D(i.price_decimals, 1);
}

std::string LineE16(const std::string& head, const std::string& user, const OtherRecord& o) {
  return "E16" + head + D(user, 2) + D(o.coo, 6) + D(o.gnf, 6) + D(o.grg, 6) + D(o.cdc, 4) +
         D(o.crz, 6) + T(o.denomination, 2) + D(o.date, 8) + D(o.time, 6);
}

std::string LineE17(const std::string& head, const std::string& user, const std::string& crz,
                    const NamedValue& v) {
  return "E17" + head + D(user, 2) + D(crz, 6) + T(v.name, 15) + D(v.value, 13);
}

std::string LineE18(const std::string& head, const std::string& user, const std::string& crz,
                    const NamedValue& v) {
  return "E18" + head + D(user, 2) + D(crz, 6) + T(v.name, 15) + D(v.value, 13);
}

std::string LineE21(const std::string& head, const std::string& user, const PaymentRecord& p) {
  return "E21" + head + D(user, 2) + D(p.coo, 6) + D(p.ccf, 6) + D(p.gnf, 6) + T(p.method, 15) +
         D(p.amount, 13) + T(p.reversal, 1) + D(p.reversed, 13);
}

}  // namespace orvik::memfiles
