#pragma once
// A month of shop days sold on the virtual printer (in process, before the host reads it),
// and what the month's type-60/75 records must then say, worked out from the sales
// themselves rather than from the printer's registers.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ecf_sim/printer.h"

namespace ecf_month {

struct Product {
  std::string code, name;
  std::int64_t price_cents;
  std::string rate;  // the record's tax code: "1800", "0700", "F   ", "I   "
};

struct SoldItem {
  int coo = 0, number = 0;
  const Product* product = nullptr;
  std::int64_t quantity_milli = 0, gross_cents = 0;
  bool cancelled = false;  // its coupon was cancelled
};

struct Day {
  ecf_sim::Date date;
  int first_coo = 0, z_coo = 0, crz = 0;
  std::int64_t gross_cents = 0;  // the day's gross sales, cancelled coupons included
  std::int64_t gt_cents = 0;     // grand total after the day's Z
  std::vector<SoldItem> items;
};

// ICMS of a base for a four-character tax code: base x rate / 10000, truncating; from ten
// thousand in currency on, the rate without its decimals and / 100. Letters: no tax.
std::int64_t Icms(std::int64_t base_cents, const std::string& rate);

// yyyymmdd
std::string Ymd(const ecf_sim::Date& d);

class ShopMonth {
 public:
  // The products on sale: two ICMS rates (programmed into the printer by Program), tax
  // substitution and exemption.
  ShopMonth();

  // Rates 18% and 7% and nothing else.
  void Program(ecf_sim::Printer& p);
  // One day on the printer's clock at that date: `coupons` coupons (each of one to three
  // items picked by a fixed sequence) paid in cash, the one at `cancel_at` (when >= 0)
  // cancelled after its close, then the Z. Fails the current test on a refused command.
  void SellDay(ecf_sim::Printer& p, const ecf_sim::Date& date, int coupons, int cancel_at = -1);

  const std::vector<Product>& Products() const { return products_; }
  const std::vector<Day>& Days() const { return days_; }
  int Coupons() const { return coupons_; }

 private:
  std::vector<Product> products_;
  std::vector<Day> days_;
  std::int64_t gt_ = 0;
  int crz_ = 0, coupons_ = 0;
  unsigned next_ = 0;
};

}  // namespace ecf_month

namespace ecf_month {

// The month's 60M, 60A, 60D, 60I, 60R and 75 records as key -> values, the values read
// as numbers where the layout has numbers, one entry per record (a key met twice gets
// "#2" appended). Expected() works them out from the sales for the subtype mask
// (4 60D, 8 60I, 16 60R); Found() reads them from the lines of a file.
using Records = std::map<std::string, std::string>;
Records Expected(const ShopMonth& shop, const std::string& serial, int mask);
Records Found(const std::vector<std::string>& lines);
// What differs, one line per record ("" when nothing does).
std::string Differences(const Records& found, const Records& expected);

}  // namespace ecf_month
