#include "shop_month.h"

#include <cstdio>
#include <stdexcept>

namespace ecf_month {

namespace {

void Do(ecf_sim::Printer& p, std::string_view command, std::string_view params = {}) {
  const ecf_sim::Reply r = p.execute(command, params);
  if (!r.ok())
    throw std::runtime_error(std::string(command) + " " + std::string(params) + ": " + r.results);
}

int Coo(ecf_sim::Printer& p) {
  const ecf_sim::Reply r = p.execute("LeInteiro", "NomeInteiro=\"COO\"");
  const auto at = r.results.find("ValorInteiro=");
  if (!r.ok() || at == std::string::npos) throw std::runtime_error("LeInteiro COO: " + r.results);
  return std::stoi(r.results.substr(at + 13));
}

std::string Money(std::int64_t cents) {
  char b[32];
  std::snprintf(b, sizeof b, "%lld,%02lld", static_cast<long long>(cents / 100),
                static_cast<long long>(cents % 100));
  return b;
}

std::string Quantity(std::int64_t milli) {
  char b[32];
  std::snprintf(b, sizeof b, "%lld,%03lld", static_cast<long long>(milli / 1000),
                static_cast<long long>(milli % 1000));
  return b;
}

}  // namespace

std::int64_t Icms(std::int64_t base_cents, const std::string& rate) {
  if (rate.size() != 4 || rate.find_first_not_of("0123456789") != std::string::npos) return 0;
  const std::int64_t r = std::stoll(rate);
  if (base_cents >= 1000000) return base_cents * (r / 100) / 100;
  return base_cents * r / 10000;
}

std::string Ymd(const ecf_sim::Date& d) {
  char b[16];
  std::snprintf(b, sizeof b, "%04d%02d%02d", d.year, d.month, d.day);
  return b;
}

ShopMonth::ShopMonth()
    : products_{{"7891000100103", "ARROZ TIPO 1 5KG", 1250, "1800"},
                {"7891000200200", "FEIJAO CARIOCA 1KG", 799, "0700"},
                {"7891000300307", "CERVEJA LATA 350ML", 349, "F   "},
                {"7891000400404", "ALFACE CRESPA", 250, "I   "},
                {"7891000500501", "CAFE TORRADO 500G", 1690, "1800"}} {}

void ShopMonth::Program(ecf_sim::Printer& p) {
  Do(p, "DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
  Do(p, "DefineAliquota", "CodAliquotaProgramavel=1 PercentualAliquota=7,00");
}

void ShopMonth::SellDay(ecf_sim::Printer& p, const ecf_sim::Date& date, int coupons,
                        int cancel_at) {
  p.set_clock({date, 8, 0, 0});
  Day day;
  day.date = date;
  day.first_coo = Coo(p) + 1;
  for (int c = 0; c < coupons; ++c) {
    Do(p, "AbreCupomFiscal");
    const int coo = Coo(p);
    const int items = 1 + static_cast<int>(next_ % 3);
    std::int64_t total = 0;
    std::vector<SoldItem> sold;
    for (int i = 1; i <= items; ++i) {
      const Product& pr = products_[(next_ * 7 + static_cast<unsigned>(i)) % products_.size()];
      const std::int64_t quantity =
          1000 * (1 + static_cast<std::int64_t>(next_ % 4)) + (i == 2 ? 500 : 0);
      ++next_;
      const char* kind = pr.rate == "1800"   ? "CodAliquota=0"
                         : pr.rate == "0700" ? "CodAliquota=1"
                         : pr.rate[0] == 'F' ? "CodAliquota=-2"
                                             : "CodAliquota=-3";
      Do(p, "VendeItem",
         std::string(kind) + " CodProduto=\"" + pr.code + "\" NomeProduto=\"" + pr.name +
             "\" PrecoUnitario=" + Money(pr.price_cents) + " Quantidade=" + Quantity(quantity) +
             " Unidade=\"UN\"");
      // The printer truncates: quantity x price, in cents.
      const std::int64_t gross = pr.price_cents * quantity / 1000;
      total += gross;
      sold.push_back({coo, i, &pr, quantity, gross, false});
    }
    Do(p, "PagaCupom", "CodMeioPagamento=-2 Valor=" + Money(total));
    Do(p, "EncerraDocumento", "Operador=\"Maria\"");
    if (c == cancel_at) {
      Do(p, "CancelaCupom", "Operador=\"Maria\"");
      for (SoldItem& s : sold) s.cancelled = true;
    }
    day.gross_cents += total;
    for (const SoldItem& s : sold) day.items.push_back(s);
    ++coupons_;
  }
  Do(p, "EmiteReducaoZ", "Operador=\"Maria\"");
  day.z_coo = Coo(p);
  day.crz = ++crz_;
  gt_ += day.gross_cents;
  day.gt_cents = gt_;
  days_.push_back(std::move(day));
}

}  // namespace ecf_month

namespace ecf_month {

namespace {

void Put(Records& r, std::string key, const std::string& values) {
  if (r.count(key)) {
    int n = 2;
    while (r.count(key + "#" + std::to_string(n))) ++n;
    key += "#" + std::to_string(n);
  }
  r[key] = values;
}

// Columns first..last (1-based, as the layouts count them) read as a number.
std::string N(const std::string& line, size_t first, size_t last) {
  const std::string t = line.substr(first - 1, last - first + 1);
  if (t.find_first_not_of("0123456789") != std::string::npos) return "<" + t + ">";
  return std::to_string(std::stoll(t));
}
std::string X(const std::string& line, size_t first, size_t last) {
  std::string t = line.substr(first - 1, last - first + 1);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  return t;
}
std::string J(std::initializer_list<std::string> v) {
  std::string s;
  for (const std::string& x : v) s += (s.empty() ? "" : "|") + x;
  return s;
}
std::string T(std::int64_t n) {
  return std::to_string(n);
}
std::string Trim(std::string t) {
  while (!t.empty() && t.back() == ' ') t.pop_back();
  return t;
}

}  // namespace

Records Expected(const ShopMonth& shop, const std::string& serial, int mask) {
  Records r;
  struct Sum {
    std::int64_t quantity = 0, value = 0, base = 0;
    std::string rate;
  };
  std::map<std::string, Sum> month, month_cancelled;  // by product code
  std::string month_year;
  for (const Day& d : shop.Days()) {
    const std::string date = Ymd(d.date);
    char my[8];
    std::snprintf(my, sizeof my, "%02d%04d", d.date.month, d.date.year);
    month_year = my;
    // The grand total is the one the printer holds when it is read (the Ato 17 file's
    // identity record carries only that one), the same on every day.
    Put(r, "60M|" + date,
        J({serial, T(d.first_coo), T(d.z_coo), T(d.crz), T(d.gross_cents),
           T(shop.Days().back().gt_cents)}));
    std::map<std::string, std::int64_t> per_rate;
    std::map<std::string, Sum> per_product;
    std::map<std::string, bool> products_of_day;
    for (const SoldItem& s : d.items) {
      const Product& p = *s.product;
      per_rate[s.cancelled ? "CANC" : Trim(p.rate)] += s.gross_cents;
      products_of_day[p.code] = true;
      const std::string code = s.cancelled ? "CANC" : p.rate;
      const std::int64_t icms = s.cancelled ? 0 : Icms(s.gross_cents, p.rate);
      if (mask & 8)
        Put(r, "60I|" + date + "|" + T(s.coo) + "|" + T(s.number),
            J({serial, p.code, T(s.quantity_milli), T(s.gross_cents), Trim(code), T(icms)}));
      Sum& m = (s.cancelled ? month_cancelled : month)[p.code];
      m.quantity += s.quantity_milli;
      m.value += s.gross_cents;
      m.base += s.gross_cents;
      m.rate = s.cancelled ? "CANC" : Trim(p.rate);
      if (s.cancelled) continue;
      Sum& day = per_product[p.code];
      day.quantity += s.quantity_milli;
      day.value += s.gross_cents;
      day.base += s.gross_cents;
      day.rate = p.rate;
    }
    for (const auto& [rate, value] : per_rate) Put(r, "60A|" + date + "|" + rate, T(value));
    if (mask & 4)
      for (const auto& [code, s] : per_product)
        Put(r, "60D|" + date + "|" + code,
            J({serial, T(s.quantity), T(s.value), T(s.base), Trim(s.rate),
               T(Icms(s.base, s.rate))}));
    for (const auto& [code, _] : products_of_day) Put(r, "75|" + date + "|" + code, "");
  }
  if (mask & 16) {
    for (const auto& [code, s] : month)
      Put(r, "60R|" + month_year + "|" + code + "|" + s.rate,
          J({T(s.quantity), T(s.value), T(s.base)}));
    for (const auto& [code, s] : month_cancelled)
      Put(r, "60R|" + month_year + "|" + code + "|CANC", J({T(s.quantity), T(s.value), T(s.base)}));
  }
  return r;
}

Records Found(const std::vector<std::string>& lines) {
  Records r;
  for (std::string l : lines) {
    while (!l.empty() && (l.back() == '\r' || l.back() == '\n')) l.pop_back();
    if (l.size() != 126) {
      if (!l.empty()) Put(r, "bad length", l);
      continue;
    }
    const std::string kind = l.substr(0, 3);
    const std::string date = l.substr(3, 8);
    if (kind == "60M")
      Put(r, "60M|" + date,
          J({X(l, 12, 31), N(l, 37, 42), N(l, 43, 48), N(l, 49, 54), N(l, 58, 73), N(l, 74, 89)}));
    else if (kind == "60A")
      Put(r, "60A|" + date + "|" + X(l, 32, 35), N(l, 36, 47));
    else if (kind == "60I")
      Put(r, "60I|" + date + "|" + N(l, 34, 39) + "|" + N(l, 40, 42),
          J({X(l, 12, 31), X(l, 43, 56), N(l, 57, 69), N(l, 83, 94), X(l, 95, 98), N(l, 99, 110)}));
    else if (kind == "60D")
      Put(r, "60D|" + date + "|" + X(l, 32, 45),
          J({X(l, 12, 31), N(l, 46, 58), N(l, 59, 74), N(l, 75, 90), X(l, 91, 94), N(l, 95, 107)}));
    else if (kind == "60R")
      Put(r, "60R|" + l.substr(3, 6) + "|" + X(l, 10, 23) + "|" + X(l, 69, 72),
          J({N(l, 24, 36), N(l, 37, 52), N(l, 53, 68)}));
    else if (l.starts_with("75"))
      Put(r, "75|" + l.substr(2, 8) + "|" + X(l, 19, 32), "");
  }
  return r;
}

}  // namespace ecf_month

namespace ecf_month {

std::string Differences(const Records& found, const Records& expected) {
  std::string d;
  for (const auto& [k, v] : expected) {
    auto it = found.find(k);
    if (it == found.end())
      d += "missing " + k + " = " + v + "\n";
    else if (it->second != v)
      d += "wrong " + k + ": " + it->second + " (expected " + v + ")\n";
  }
  for (const auto& [k, v] : found)
    if (!expected.count(k)) d += "unexpected " + k + " = " + v + "\n";
  return d;
}

}  // namespace ecf_month
