// Documents: the fiscal coupon, non-fiscal receipt, management report, credit/debit
// voucher, their cancellations and reversals, and how each is printed.
#include <algorithm>

#include "common/text1252.h"
#include "printer_impl.h"

namespace ecf_sim {

namespace {

// Words on an item line are separated by blanks; a code or unit may not hold one.
std::string one_word(std::string_view s, std::string_view fallback) {
  std::string out(common::trim(s));
  for (auto& c : out)
    if (c == ' ' || c == '\t') c = '_';
  return out.empty() ? std::string(fallback) : out;
}

// Removes the GS sequences of bar codes from a free text, printing the code as text.
std::string printable_free_text(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 0x1D && i + 1 < text.size()) {
      char kind = text[i + 1];
      if (kind == 'k' && i + 2 < text.size()) {
        auto end = text.find('\0', i + 3);
        std::string code = text.substr(i + 3, end == std::string::npos ? end : end - i - 3);
        out += "\n" + code + "\n";
        i = end == std::string::npos ? text.size() : end;
      } else {
        i += 2;
      }
      continue;
    }
    out += text[i];
  }
  return out;
}

}  // namespace

bool Commands::is_icms(int t) const {
  if (t < kRateSlots) return s_.rates[t].icms;
  return t == kF || t == kI || t == kN;
}

Money Commands::doc_net(const Document& d) const {
  Money sum = 0;
  for (const auto& it : d.items)
    if (!it.cancelled) sum += it.net();
  return sum - d.discount + d.surcharge;
}

int Commands::can_open(bool sale) const {
  if (s_.paper_out) return 8108;
  if (s_.open.kind != kNoDocument) return 8116;
  if (tape_used() >= s_.tape_capacity) return 8115;
  if (z_pending()) return 8105;
  if (sale && day_closed()) return 8104;
  return 0;
}

void Commands::start_document(int kind, int phase) {
  Document d;
  d.kind = kind;
  d.coo = ++s_.coo;
  d.issued = p_.now();
  if (s_.movement.empty() && kind != kZReduction) {
    s_.movement = d.issued.date;
    s_.coo_day_start = d.coo;
    s_.gt_initial = s_.gt;
  }
  s_.open = std::move(d);
  s_.phase = phase;
  s_.open_header.clear();
  s_.open_body.clear();
  s_.closing_text.clear();
  s_.open_paid = 0;
  s_.open_operator = a_.get("Operador").value_or("");
}

std::string Commands::owner_header() const {
  const Owner& o = s_.owner;
  Page pg;
  pg.line(o.name);
  if (!o.address1.empty()) pg.line(o.address1);
  if (!o.address2.empty()) pg.line(o.address2);
  pg.line("CNPJ:" + o.cnpj + " IE:" + o.ie);
  pg.line("IM:" + o.im);
  pg.dashes();
  return pg.bytes();
}

// "dd/mm/yyyy hh:mm:ss   CCF:000001      COO:000010": date 1-10, time 12-19, counter label
// 23-26 and value 27-32, "COO:" 39-42 and value 43-48.
std::string Commands::header_line(const Document& d, const char* label, int counter) const {
  std::string line = date_text(d.issued.date) + " " + time_text(d.issued) + "   " + label +
                     zeros(counter, 6) + "      COO:" + zeros(d.coo, 6);
  return line;
}

std::string Commands::footer(const DateTime& t) const {
  const Identity& id = s_.identity;
  Page pg;
  pg.dashes();
  pg.line(L("VERSÃO:") + id.firmware + "  ECF:" + zeros(id.ecf_number, 3) +
          "  LJ:" + zeros(id.store, 4));
  pg.line(fit(id.brand, 11) + fit(id.model, 21) + id.type);
  std::string op;
  for (char c : s_.open_operator)
    if (c != '/' && c != ':') op += c;
  std::string left = op.empty() ? std::string() : "OPERADOR: " + op;
  pg.line(fit(left, 28) + date_text(t.date) + " " + time_text(t));
  // Firmware 01.00.00 prints the document's end on the FAB line itself (columns 28-46).
  if (id.firmware == "01.00.00")
    pg.line("FAB:" + fit(id.serial, 21) + "BR" + date_text(t.date) + " " + time_text(t));
  else
    pg.line("FAB:" + fit(id.serial, 21) + "BR");
  return pg.bytes();
}

void Commands::print_body(const Page& page) {
  s_.open_body += page.bytes();
}

void Commands::finish_document(const std::string& title, const std::string& final_lines) {
  Document& d = s_.open;
  Page head;
  head.title(title);
  d.printed = s_.open_header + head.bytes() + s_.open_body + final_lines + footer(p_.now());
  p_.paper_ += d.printed;
  // Paper is for looking at; keep the last few megabytes so a long run does not grow.
  if (p_.paper_.size() > (8u << 20)) p_.paper_.erase(0, p_.paper_.size() - (4u << 20));
  if (p_.tape_bytes_ >= 0) p_.tape_bytes_ += static_cast<int64_t>(d.printed.size());
  s_.last_document_kind = d.kind;
  s_.tape.push_back(std::move(d));
  s_.open = Document{};
  s_.phase = kIdle;
  s_.open_header.clear();
  s_.open_body.clear();
  s_.closing_text.clear();
  s_.open_paid = 0;
}

std::string Commands::tax_word(int t) const {
  if (std::string_view fixed = fixed_totalizer_name(t); !fixed.empty()) return std::string(fixed);
  return std::string(s_.rates[t].icms ? "T" : "S") + zeros(t, 2);
}

namespace {

// "12,50": a comma followed by two or three digits only, how readers tell a unit price.
bool looks_like_price(std::string_view w) {
  auto comma = w.rfind(',');
  if (comma == std::string_view::npos) return false;
  auto frac = w.substr(comma + 1);
  return (frac.size() == 2 || frac.size() == 3) &&
         std::all_of(frac.begin(), frac.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> words_of(std::string_view s) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    std::size_t j = i;
    while (j < s.size() && s[j] != ' ') ++j;
    if (j > i) out.emplace_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

// A reader keeps appending description lines until one whose third or fourth word from
// the right looks like a unit price; such a line would end the item early.
bool could_end_item(const std::vector<std::string>& w) {
  auto n = w.size();
  return (n >= 3 && looks_like_price(w[n - 3])) || (n >= 4 && looks_like_price(w[n - 4]));
}

}  // namespace

// The lines an item prints. Short descriptions: one line of 57 condensed columns, ending
// in the degree sign: "001 CODE DESCRIPTION 2,000UNx12,50 T01 T 25,00°". Longer
// ones: the first line holds number, code and the start of the description, the next
// lines the rest of it (broken at blanks, each under 57 columns so none reads as a
// one-line item), and the last line the quantity, price, tax code, indicator and total:
// "001 CODE A LONG DESCRIPTION ..."
// "CONTINUED DESCRIPTION"
// "                2,000UN x 12,50 T01 T 25,00°"
std::vector<std::string> Commands::item_lines(const Item& it) const {
  std::string price =
      decimal_text(it.price_decimals == 3 ? it.price : it.price / 10, it.price_decimals);
  std::string qty = decimal_text(it.quantity, 3) + it.unit;
  std::string tail =
      tax_word(it.totalizer) + " " + it.rounding + " " + money_text(it.gross) + "\xB0";
  std::string right = qty + "x" + price + " " + tail;
  std::string left = zeros(it.number, 3) + " " + it.code + " ";
  std::size_t room = kCondensedColumns - right.size() - 1;
  std::string desc = it.description;
  for (auto& c : desc)
    if (c == '\n' || c == '\r') c = ' ';
  // Number and code that leave no room beside a long quantity and price take the form of
  // several lines rather than losing the end of the code.
  if (left.size() + desc.size() <= room) return {fit(left + desc, room) + " " + right};
  constexpr std::size_t kWidth = kCondensedColumns - 1;
  // Lines as lists of words; the first starts with the item number and code.
  std::vector<std::vector<std::string>> packed{{zeros(it.number, 3), it.code}};
  std::size_t used = packed[0][0].size() + 1 + packed[0][1].size();
  for (std::string w : words_of(desc)) {
    while (!w.empty()) {
      std::size_t room_left = used == 0 ? kWidth : (used + 1 < kWidth ? kWidth - used - 1 : 0);
      if (w.size() <= room_left) {
        packed.back().push_back(w);
        used += (used ? 1 : 0) + w.size();
        w.clear();
      } else if (room_left > 0 && w.size() > kWidth) {
        // A word longer than a line is cut where the line ends.
        packed.back().push_back(w.substr(0, room_left));
        w.erase(0, room_left);
        packed.emplace_back();
        used = 0;
      } else {
        packed.emplace_back();
        used = 0;
      }
    }
  }
  std::vector<std::string> lines;
  auto join = [](auto first, auto last) {
    std::string out;
    for (auto p = first; p != last; ++p) out += (out.empty() ? "" : " ") + *p;
    return out;
  };
  for (std::size_t n = 0; n < packed.size(); ++n) {
    const auto& w = packed[n];
    if (w.empty()) continue;
    if (n > 0 && could_end_item(w)) {
      // Two words a line can never be taken for the price line.
      for (std::size_t k = 0; k < w.size(); k += 2)
        lines.push_back(join(w.begin() + k, w.begin() + std::min(k + 2, w.size())));
    } else {
      lines.push_back(join(w.begin(), w.end()));
    }
  }
  lines.push_back(rjust(qty + " x " + price + " " + tail, kWidth));
  return lines;
}

void Commands::sale_effect(int t, Money value) {
  s_.day.totalizer[t] += value;
  if (value > 0) {
    s_.day.gross += value;
    s_.gt += value;
  }
}

// --- opening --------------------------------------------------------------------------------

Reply Commands::abre_cupom_fiscal() {
  return open_sale_document(kFiscalCoupon, &Document::ccf, s_.ccf, "CCF:");
}

Reply Commands::abre_cupom_nao_fiscal() {
  return open_sale_document(kNonFiscalReceipt, &Document::gnf, s_.gnf, "GNF:");
}

Reply Commands::open_sale_document(int kind, int Document::*number, int& counter,
                                   const char* label) {
  if (int e = can_open(true)) return fail(e);
  start_document(kind, kSelling);
  Document& d = s_.open;
  d.*number = ++counter;
  d.customer_id = a_.get("IdConsumidor").value_or("");
  d.customer_name = a_.get("NomeConsumidor").value_or("");
  d.customer_address = a_.get("EnderecoConsumidor").value_or("");
  s_.open_header = owner_header();
  Page pg;
  pg.line(header_line(d, label, d.*number));
  s_.open_header += pg.bytes();
  return ok();
}

Reply Commands::abre_gerencial() {
  auto code = a_.integer("CodGerencial");
  if (!code) return fail(8002);
  if (*code < 0 || *code >= kGerencialSlots || !s_.gerencial[*code].programmed) return fail(8018);
  if (int e = can_open(true)) return fail(e);
  start_document(kGerencial, kGerencialOpen);
  Document& d = s_.open;
  d.gnf = ++s_.gnf;
  d.grg = ++s_.grg;
  s_.cer[*code]++;
  Page pg;
  pg.line(header_line(d, "GNF:", d.gnf));
  pg.line("GRG:" + zeros(d.grg, 6));
  s_.open_header = owner_header() + pg.bytes();
  Page body;
  body.line(center(s_.gerencial[*code].name));
  print_body(body);
  return ok();
}

Reply Commands::abre_credito_debito() {
  int slot = payment_slot_of_params("CodMeioPagamento", "NomeMeioPagamento");
  if (slot == -2) return fail(8002);
  if (slot < 0 || !s_.payment_forms[slot].programmed) return fail(8014);
  if (!s_.payment_forms[slot].linked) return fail(8112);
  auto value = a_.decimal("Valor", 2);
  if (a_.has("Valor") && (!value || *value <= 0)) return fail(8109);
  const Document* sale = nullptr;
  if (auto coo = a_.integer("COO")) {
    for (const auto& d : s_.tape)
      if (d.coo == *coo) sale = &d;
  } else {
    for (auto it = s_.tape.rbegin(); it != s_.tape.rend() && !sale; ++it)
      if (it->kind == kFiscalCoupon || it->kind == kNonFiscalReceipt) sale = &*it;
  }
  if (!sale || (sale->kind != kFiscalCoupon && sale->kind != kNonFiscalReceipt) || sale->cancelled)
    return fail(8112);
  Money paid = 0;
  for (const auto& pay : sale->payments)
    if (pay.form_slot == slot) paid += pay.value - pay.reversed;
  if (paid <= 0) return fail(8112);
  Money v = value.value_or(paid);
  if (v > paid) return fail(8109);
  int ref = sale->coo;
  if (int e = can_open(true)) return fail(e);
  start_document(kCreditDebit, kVoucherOpen);
  Document& d = s_.open;
  d.gnf = ++s_.gnf;
  d.cdc = ++s_.cdc;
  d.reference_coo = ref;
  d.total = v;
  d.payments.push_back(Payment{slot, s_.payment_forms[slot].name, v, {}, 0});
  Page pg;
  pg.line(header_line(d, "GNF:", d.gnf));
  pg.line("CDC:" + zeros(d.cdc, 6));
  s_.open_header = owner_header() + pg.bytes();
  Page body;
  body.line(label_value("COO DO DOCUMENTO VINCULADO:", zeros(ref, 6)));
  body.line(label_value("MEIO DE PAGAMENTO:", s_.payment_forms[slot].name));
  body.line(label_value("VALOR DA OPERACAO R$", money_text(v)));
  body.dashes();
  print_body(body);
  return ok();
}

// --- items --------------------------------------------------------------------------------

Reply Commands::vende_item() {
  if (s_.open.kind != kFiscalCoupon || s_.phase != kSelling) return fail(8101);
  if (s_.paper_out) return fail(8108);
  int t = -1;
  if (auto code = a_.integer("CodAliquota")) {
    switch (*code) {
      case -2:
        t = kF;
        break;
      case -3:
        t = kI;
        break;
      case -4:
        t = kN;
        break;
      case -11:
        t = kFS;
        break;
      case -12:
        t = kIS;
        break;
      case -13:
        t = kNS;
        break;
      default:
        if (*code < 0 || *code >= kRateSlots) return fail(8005);
        if (!s_.rates[*code].programmed) return fail(8005);
        t = static_cast<int>(*code);
    }
  } else if (auto pct = a_.decimal("PercentualAliquota", 2)) {
    auto icms = a_.boolean_or("AliquotaICMS", true);
    if (!icms) return fail(8002);
    for (int i = 0; i < kRateSlots && t < 0; ++i)
      if (s_.rates[i].programmed && s_.rates[i].icms == *icms && s_.rates[i].percent == *pct) t = i;
    if (t < 0) return fail(8005);
  } else {
    return fail(8002);
  }
  auto qty = a_.decimal("Quantidade", 3);
  auto price = a_.decimal("PrecoUnitario", 3);
  if (!qty || !price) return fail(8002);
  if (*qty <= 0 || *qty > 9999999 || *price <= 0 || *price > 99999999999LL) return fail(8109);
  int dept = -1;
  if (auto k = a_.integer("CodDepartamento")) {
    if (*k < 0 || *k >= kDepartmentSlots || !s_.departments[*k].programmed) return fail(8031);
    dept = static_cast<int>(*k);
  }
  std::string raw_price = *a_.get("PrecoUnitario");
  auto sep = raw_price.find_first_of(",.");
  int decimals = sep != std::string::npos && raw_price.size() - sep - 1 >= 3 ? 3 : 2;
  Item it;
  it.number = static_cast<int>(s_.open.items.size()) + 1;
  if (it.number > 999) return fail(8110);
  it.code = one_word(a_.get("CodProduto").value_or(""), "0").substr(0, 14);
  it.description = decode_free_text(a_.get("NomeProduto").value_or("")).substr(0, 200);
  it.unit = one_word(a_.get("Unidade").value_or(""), "UN").substr(0, 3);
  it.quantity = *qty;
  it.price = *price;
  it.price_decimals = decimals;
  it.totalizer = t;
  it.department = dept;
  int64_t thousandths = *price * *qty / 1000;  // value in thousandths of the currency
  it.rounding = s_.truncate ? 'T' : 'A';
  it.gross = s_.truncate ? thousandths / 10 : (thousandths + 5) / 10;
  if (it.gross <= 0) return fail(8109);
  sale_effect(t, it.gross);
  if (dept >= 0) {
    s_.day.department_value[dept] += it.gross;
    s_.day.department_quantity[dept] += it.quantity;
  }
  Page pg;
  for (const auto& line : item_lines(it)) pg.condensed(line);
  print_body(pg);
  s_.open.items.push_back(std::move(it));
  return ok();
}

Reply Commands::emite_item_nao_fiscal() {
  if (s_.open.kind != kNonFiscalReceipt || s_.phase != kSelling) return fail(8101);
  auto code = a_.integer("CodNaoFiscal");
  auto value = a_.decimal("Valor", 2);
  if (!code || !value) return fail(8002);
  if (*code < 0 || *code >= kNonFiscalSlots || !s_.nonfiscal[*code].programmed) return fail(8005);
  if (*value <= 0) return fail(8109);
  Item it;
  it.number = static_cast<int>(s_.open.items.size()) + 1;
  it.totalizer = static_cast<int>(*code);
  it.description = s_.nonfiscal[*code].name;
  it.quantity = 1000;
  it.price = *value * 10;
  it.gross = *value;
  s_.day.nonfiscal[*code] += *value;
  s_.con[*code]++;
  Page pg;
  pg.line(zeros(it.number, 3) + " " + label_value(fit(it.description, 19), money_text(*value), 44));
  print_body(pg);
  s_.open.items.push_back(std::move(it));
  return ok();
}

Reply Commands::acresce_item() {
  bool fiscal = command_ == "acresceitemfiscal";
  if (s_.open.kind != (fiscal ? kFiscalCoupon : kNonFiscalReceipt) || s_.phase != kSelling)
    return fail(8101);
  auto& items = s_.open.items;
  if (items.empty()) return fail(8106);
  auto number = a_.integer_or("NumItem", static_cast<int64_t>(items.size()));
  if (!number) return fail(8002);
  if (*number < 1 || *number > static_cast<int64_t>(items.size())) return fail(8106);
  int n = static_cast<int>(*number);
  Item& it = items[n - 1];
  if (it.cancelled) return fail(8107);
  auto cancel_given = a_.boolean_or("Cancelar", false);
  if (!cancel_given) return fail(8002);
  bool cancel = *cancel_given;
  Money adj = 0;
  if (cancel) {
    if (it.adjustment == 0) return fail(8111);
    adj = -it.adjustment;
  } else {
    if (it.adjustment != 0) return fail(8107);
    if (auto v = a_.decimal("ValorAcrescimo", 2)) {
      adj = *v;
    } else if (auto pct = a_.decimal("ValorPercentual", 2)) {
      if (*pct <= -10000) return fail(8109);
      adj = it.gross * *pct / 10000;
    } else {
      return fail(8002);
    }
    if (adj == 0 || -adj >= it.gross) return fail(8109);
  }
  // adj moves the item's net value; a discount (or a surcharge taken back) lowers it.
  bool surcharge_side = cancel ? it.adjustment > 0 : adj > 0;
  Money amount = adj < 0 ? -adj : adj;
  if (fiscal) {
    bool icms = is_icms(it.totalizer);
    s_.day.totalizer[it.totalizer] += adj;
    if (surcharge_side) {
      (icms ? s_.day.surcharge_icms : s_.day.surcharge_iss) += adj;
      s_.day.gross += adj;
      s_.gt += adj;
    } else {
      (icms ? s_.day.discount_icms : s_.day.discount_iss) -= adj;
    }
  } else {
    s_.day.nonfiscal[it.totalizer] += adj;
    (surcharge_side ? s_.day.nonfiscal_surcharge : s_.day.nonfiscal_discount) += amount;
  }
  it.adjustment = cancel ? 0 : adj;
  Page pg;
  std::string num = zeros(n, 3);
  if (cancel)
    pg.line(label_value(L("cancelamento acrés/desc item:") + num, money_text(adj)));
  else if (adj < 0)
    pg.line(label_value("desconto item:" + num, money_text(adj)));
  else
    pg.line(label_value(L("acréscimo item:") + num, money_text(adj)));
  print_body(pg);
  return ok();
}

Reply Commands::cancela_item() {
  bool fiscal = command_ == "cancelaitemfiscal";
  if (s_.open.kind != (fiscal ? kFiscalCoupon : kNonFiscalReceipt) || s_.phase != kSelling)
    return fail(8101);
  auto& items = s_.open.items;
  if (items.empty()) return fail(8106);
  auto number = a_.integer_or("NumItem", static_cast<int64_t>(items.size()));
  if (!number) return fail(8002);
  if (*number < 1 || *number > static_cast<int64_t>(items.size())) return fail(8106);
  int n = static_cast<int>(*number);
  Item& it = items[n - 1];
  if (it.cancelled) return fail(8107);
  Money v = it.net();
  if (fiscal) {
    s_.day.totalizer[it.totalizer] -= v;
    (is_icms(it.totalizer) ? s_.day.cancel_icms : s_.day.cancel_iss) += v;
    if (it.department >= 0) {
      s_.day.department_value[it.department] -= it.gross;
      s_.day.department_quantity[it.department] -= it.quantity;
    }
  } else {
    s_.day.nonfiscal[it.totalizer] -= v;
    s_.day.nonfiscal_cancel += v;
  }
  it.cancelled = true;
  Page pg;
  pg.line(label_value("item cancelado:" + zeros(n, 3), money_text(-v)));
  print_body(pg);
  return ok();
}

Reply Commands::acresce_subtotal() {
  Document& d = s_.open;
  if ((d.kind != kFiscalCoupon && d.kind != kNonFiscalReceipt) ||
      (s_.phase != kSelling && s_.phase != kTotalling))
    return fail(8101);
  Money live = 0;
  for (const auto& it : d.items)
    if (!it.cancelled) live += it.net();
  if (live <= 0) return fail(8102);
  auto cancel = a_.boolean_or("Cancelar", false);
  if (!cancel) return fail(8002);
  if (*cancel) {
    if (d.discount == 0 && d.surcharge == 0) return fail(8111);
    d.discount = d.surcharge = 0;
    s_.phase = kTotalling;
    return ok();
  }
  Money v = 0;
  if (auto x = a_.decimal("ValorAcrescimo", 2)) {
    v = *x;
  } else if (auto pct = a_.decimal("ValorPercentual", 2)) {
    v = live * *pct / 10000;
  } else {
    return fail(8002);
  }
  if (v < 0) {
    if (d.discount != 0) return fail(8107);
    if (-v >= live + d.surcharge) return fail(8109);
    d.discount = -v;
  } else if (v > 0) {
    if (d.surcharge != 0) return fail(8107);
    d.surcharge = v;
  }
  s_.phase = kTotalling;
  return ok();
}

// --- payment and closing ----------------------------------------------------------------------

Reply Commands::paga_cupom() {
  Document& d = s_.open;
  if ((d.kind != kFiscalCoupon && d.kind != kNonFiscalReceipt) || s_.phase == kIdle)
    return fail(8101);
  bool any =
      std::any_of(d.items.begin(), d.items.end(), [](const Item& i) { return !i.cancelled; });
  if (!any) return fail(8102);
  int slot = payment_slot_of_params("CodMeioPagamento", "NomeMeioPagamento");
  if (slot == -2) return fail(8002);
  if (slot < 0 || !s_.payment_forms[slot].programmed) return fail(8014);
  auto value = a_.decimal("Valor", 2);
  if (!value) return fail(8002);
  if (*value <= 0) return fail(8109);
  Money total = doc_net(d);
  if (s_.open_paid >= total && s_.phase == kPaying) return fail(8114);
  if (s_.phase != kPaying) {
    Money sub = total - d.surcharge + d.discount;
    Page pg;
    pg.line(label_value("SUBTOTAL R$", money_text(sub)));
    if (d.discount) pg.line(label_value("DESCONTO R$", money_text(-d.discount)));
    if (d.surcharge) pg.line(label_value(L("acréscimo R$"), money_text(d.surcharge)));
    pg.bold(label_value("TOTAL R$", money_text(total)));
    print_body(pg);
    s_.phase = kPaying;
  }
  Payment pay{slot, s_.payment_forms[slot].name, *value, {}, 0};
  if (auto text = a_.get("TextoAdicional")) pay.text = decode_free_text(text->substr(0, 80));
  d.payments.push_back(pay);
  s_.open_paid += *value;
  s_.day.payment[slot] += *value;
  Page pg;
  pg.line(label_value(fit(pay.name, 16), money_text(*value)));
  print_body(pg);
  return ok();
}

Reply Commands::imprime_texto() {
  auto text = a_.get("TextoLivre");
  if (!text) return fail(8002);
  std::string t = printable_free_text(decode_free_text(*text));
  switch (s_.phase) {
    case kGerencialOpen:
    case kVoucherOpen: {
      if (s_.paper_out) return fail(8108);
      Page pg;
      if (!t.empty()) pg.line(t);
      print_body(pg);
      return ok();
    }
    case kPaying:
      if (!t.empty()) {
        if (!s_.closing_text.empty()) s_.closing_text += "\n";
        s_.closing_text += t;
      }
      return ok();
    default:
      return fail(8101);
  }
}

Reply Commands::identifica_consumidor() {
  Document& d = s_.open;
  if (d.kind != kFiscalCoupon && d.kind != kNonFiscalReceipt) return fail(8101);
  if (auto v = a_.get("IdConsumidor")) d.customer_id = *v;
  if (auto v = a_.get("NomeConsumidor")) d.customer_name = *v;
  if (auto v = a_.get("EnderecoConsumidor")) d.customer_address = *v;
  return ok();
}

Reply Commands::encerra_documento() {
  Document& d = s_.open;
  if (auto op = a_.get("Operador")) s_.open_operator = *op;
  switch (d.kind) {
    case kFiscalCoupon:
    case kNonFiscalReceipt: {
      bool any =
          std::any_of(d.items.begin(), d.items.end(), [](const Item& i) { return !i.cancelled; });
      if (!any) return fail(8102);
      Money total = doc_net(d);
      if (s_.phase != kPaying || s_.open_paid < total) return fail(8103);
      bool fiscal = d.kind == kFiscalCoupon;
      // Spread the subtotal discount and surcharge over the totalizers in proportion.
      std::array<Money, kTotalizers> net{};
      std::array<Money, kTotalizers> base{};
      Money live = 0;
      for (const auto& it : d.items)
        if (!it.cancelled) {
          base[it.totalizer] += it.net();
          live += it.net();
        }
      net = base;
      for (int pass = 0; pass < 2; ++pass) {
        Money amount = pass == 0 ? -d.discount : d.surcharge;
        if (amount == 0) continue;
        Money spread = 0;
        int largest = 0;
        for (int t = 0; t < kTotalizers; ++t) {
          if (base[t] > base[largest]) largest = t;
          Money share = amount * base[t] / live;
          net[t] += share;
          spread += share;
        }
        net[largest] += amount - spread;
      }
      for (int t = 0; t < kTotalizers; ++t) {
        Money delta = net[t] - base[t];
        if (delta == 0) continue;
        if (fiscal) {
          s_.day.totalizer[t] += delta;
          bool icms = is_icms(t);
          if (delta < 0) {
            (icms ? s_.day.discount_icms : s_.day.discount_iss) -= delta;
          } else {
            (icms ? s_.day.surcharge_icms : s_.day.surcharge_iss) += delta;
            s_.day.gross += delta;
            s_.gt += delta;
          }
        } else {
          s_.day.nonfiscal[t] += delta;
          (delta < 0 ? s_.day.nonfiscal_discount : s_.day.nonfiscal_surcharge) +=
              delta < 0 ? -delta : delta;
        }
      }
      d.by_totalizer = net;
      d.subtotal = live;
      d.total = total;
      d.change = s_.open_paid - total;
      s_.day.change += d.change;
      Page pg;
      pg.line(label_value("TROCO R$", money_text(d.change)));
      pg.dashes();
      for (const auto& pay : d.payments)
        if (!pay.text.empty()) pg.line(pay.text);
      if (!d.customer_id.empty())
        pg.line((fiscal ? "CNPJ/CPF CONSUMIDOR: " : "CNPJ/CPF CONSUMIDOR: ") + d.customer_id);
      if (!d.customer_name.empty()) pg.line("NOME: " + d.customer_name);
      if (!d.customer_address.empty()) pg.line(L("ENDEREÇO: ") + d.customer_address);
      if (!s_.closing_text.empty()) pg.line(s_.closing_text);
      finish_document(fiscal ? "CUPOM FISCAL" : "COMPROVANTE NAO-FISCAL", pg.bytes());
      return ok();
    }
    case kGerencial:
      finish_document("RELATORIO GERENCIAL", {});
      return ok();
    case kCreditDebit:
      finish_document("COMPROVANTE CREDITO OU DEBITO", {});
      return ok();
    default:
      return fail(8101);
  }
}

// --- cancellations and reversals --------------------------------------------------------------

Reply Commands::cancela_cupom() {
  if (auto op = a_.get("Operador")) s_.open_operator = *op;
  Document& d = s_.open;
  if (d.kind == kFiscalCoupon || d.kind == kNonFiscalReceipt) {
    bool fiscal = d.kind == kFiscalCoupon;
    Money total = 0;
    for (auto& it : d.items) {
      if (it.cancelled) continue;
      Money v = it.net();
      total += v;
      if (fiscal) {
        s_.day.totalizer[it.totalizer] -= v;
        (is_icms(it.totalizer) ? s_.day.cancel_icms : s_.day.cancel_iss) += v;
        if (it.department >= 0) {
          s_.day.department_value[it.department] -= it.gross;
          s_.day.department_quantity[it.department] -= it.quantity;
        }
      } else {
        s_.day.nonfiscal[it.totalizer] -= v;
        s_.day.nonfiscal_cancel += v;
      }
    }
    for (const auto& pay : d.payments) s_.day.payment[pay.form_slot] -= pay.value;
    d.cancelled = true;
    d.total = total;
    (fiscal ? s_.cfc : s_.nfc)++;
    Page pg;
    pg.dashes();
    pg.line(label_value("TOTAL CANCELADO R$", money_text(total)));
    if (fiscal) {
      finish_document("CUPOM FISCAL CANCELADO", pg.bytes());
    } else {
      Page mark;
      mark.line("*** CANCELADO ***");
      finish_document("COMPROVANTE NAO-FISCAL", mark.bytes() + pg.bytes());
    }
    return ok();
  }
  if (d.kind != kNoDocument) return fail(8101);
  if (s_.tape.empty()) return fail(8111);
  Document& last = s_.tape.back();
  if ((last.kind != kFiscalCoupon && last.kind != kNonFiscalReceipt) || last.cancelled)
    return fail(8111);
  if (int e = can_open(true)) return fail(e);
  bool fiscal = last.kind == kFiscalCoupon;
  for (int t = 0; t < kTotalizers; ++t) {
    Money v = last.by_totalizer[t];
    if (v == 0) continue;
    if (fiscal) {
      s_.day.totalizer[t] -= v;
      (is_icms(t) ? s_.day.cancel_icms : s_.day.cancel_iss) += v;
    } else {
      s_.day.nonfiscal[t] -= v;
      s_.day.nonfiscal_cancel += v;
    }
  }
  if (fiscal)
    for (const auto& it : last.items)
      if (!it.cancelled && it.department >= 0) {
        s_.day.department_value[it.department] -= it.gross;
        s_.day.department_quantity[it.department] -= it.quantity;
      }
  for (const auto& pay : last.payments) s_.day.payment[pay.form_slot] -= pay.value - pay.reversed;
  s_.day.change -= last.change;
  last.cancelled = true;
  int ref = last.coo, ccf = last.ccf;
  Money total = last.total;
  (fiscal ? s_.cfc : s_.nfc)++;
  std::string op = s_.open_operator;
  start_document(fiscal ? kCouponCancellation : kNonFiscalReceipt, kIdle);
  s_.open_operator = op;
  Document& c = s_.open;
  c.reference_coo = ref;
  c.total = total;
  c.cancelled = true;
  if (fiscal) {
    c.ccf = ccf;
  } else {
    c.gnf = ++s_.gnf;
  }
  Page head;
  head.line(fiscal ? header_line(c, "CCF:", ccf) : header_line(c, "GNF:", c.gnf));
  s_.open_header = owner_header() + head.bytes();
  Page body;
  body.line("CANCELAMENTO");
  body.line(label_value("COO DO DOCUMENTO CANCELADO:", zeros(ref, 6)));
  body.line(label_value("VALOR CANCELADO R$", money_text(total)));
  print_body(body);
  finish_document(fiscal ? "CUPOM FISCAL" : "COMPROVANTE NAO-FISCAL", {});
  return ok();
}

Reply Commands::estorna_meio_pagamento() {
  auto from = a_.integer("CodMeioPagamentoOrigem");
  auto to = a_.integer("CodMeioPagamentoDestino");
  auto value = a_.decimal("Valor", 2);
  if (!from || !to || !value) return fail(8002);
  auto slot_of = [](int64_t c) {
    return c == -2 ? 0 : (c >= 0 && c < kPaymentSlots - 1 ? c + 1 : -1);
  };
  int a = static_cast<int>(slot_of(*from)), b = static_cast<int>(slot_of(*to));
  if (a < 0 || b < 0 || !s_.payment_forms[a].programmed || !s_.payment_forms[b].programmed)
    return fail(8014);
  if (*value <= 0 || a == b) return fail(8109);
  if (s_.tape.empty()) return fail(8111);
  Document& last = s_.tape.back();
  if ((last.kind != kFiscalCoupon && last.kind != kNonFiscalReceipt) || last.cancelled)
    return fail(8111);
  Payment* origin = nullptr;
  for (auto& pay : last.payments)
    if (pay.form_slot == a && pay.value - pay.reversed >= *value) origin = &pay;
  if (!origin) return fail(8109);
  if (int e = can_open(true)) return fail(e);
  origin->reversed += *value;
  last.payments.push_back(Payment{b, s_.payment_forms[b].name, *value, {}, 0});
  s_.day.payment[a] -= *value;
  s_.day.payment[b] += *value;
  int ref = last.coo;
  start_document(kPaymentReversal, kIdle);
  Document& d = s_.open;
  d.gnf = ++s_.gnf;
  d.reference_coo = ref;
  d.total = *value;
  Page head;
  head.line(header_line(d, "GNF:", d.gnf));
  s_.open_header = owner_header() + head.bytes();
  Page body;
  body.line("ESTORNO DE MEIO DE PAGAMENTO");
  body.line(label_value("COO DO DOCUMENTO:", zeros(ref, 6)));
  body.line(label_value("ORIGEM: " + s_.payment_forms[a].name, money_text(-*value)));
  body.line(label_value("DESTINO: " + s_.payment_forms[b].name, money_text(*value)));
  print_body(body);
  finish_document("COMPROVANTE NAO-FISCAL", {});
  return ok();
}

Reply Commands::estorna_credito_debito() {
  auto coo = a_.integer("COO");
  Document* voucher = nullptr;
  for (auto& d : s_.tape)
    if (d.kind == kCreditDebit && d.reference_coo != 0 && (!coo || d.coo == *coo)) voucher = &d;
  // Without a matching voucher COO, the last voucher issued is the one reversed.
  if (!voucher && coo)
    for (auto& d : s_.tape)
      if (d.kind == kCreditDebit) voucher = &d;
  if (!voucher || voucher->cancelled) return fail(8111);
  if (int e = can_open(true)) return fail(e);
  voucher->cancelled = true;
  int ref = voucher->coo;
  Money v = voucher->total;
  start_document(kCreditDebitReversal, kIdle);
  Document& d = s_.open;
  d.gnf = ++s_.gnf;
  d.cdc = ++s_.cdc;
  d.reference_coo = ref;
  d.total = v;
  Page head;
  head.line(header_line(d, "GNF:", d.gnf));
  head.line("CDC:" + zeros(d.cdc, 6));
  s_.open_header = owner_header() + head.bytes();
  Page body;
  body.line(label_value("COO DO COMPROVANTE ESTORNADO:", zeros(ref, 6)));
  body.line(label_value("VALOR ESTORNADO R$", money_text(v)));
  print_body(body);
  finish_document("ESTORNO DE COMPROVANTE CREDITO OU DEBITO", {});
  return ok();
}

Reply Commands::via_credito_debito() {
  bool reprint = command_ == "reimprimeviacreditodebito";
  const Document* voucher = nullptr;
  if (reprint) {
    for (const auto& d : s_.tape)
      if (d.kind == kCreditDebit && d.reference_coo != 0) voucher = &d;
  } else if (!s_.tape.empty() && s_.tape.back().kind == kCreditDebit &&
             s_.tape.back().reference_coo != 0) {
    voucher = &s_.tape.back();
  }
  if (!voucher) return fail(8111);
  if (int e = can_open(false)) return fail(e);
  Document copy = *voucher;
  start_document(kCreditDebit, kIdle);
  Document& d = s_.open;
  d.gnf = ++s_.gnf;
  d.cdc = copy.cdc;
  d.reference_coo = 0;  // a copy, not a voucher of its own
  Page head;
  head.line(header_line(d, "GNF:", d.gnf));
  head.line("CDC:" + zeros(d.cdc, 6));
  s_.open_header = owner_header() + head.bytes();
  Page body;
  body.line(reprint ? L("REIMPRESSÃO") : "SEGUNDA VIA");
  body.line(label_value("COO DO COMPROVANTE:", zeros(copy.coo, 6)));
  body.line(label_value("COO DO DOCUMENTO VINCULADO:", zeros(copy.reference_coo, 6)));
  body.line(label_value("VALOR DA OPERACAO R$", money_text(copy.total)));
  print_body(body);
  finish_document("COMPROVANTE CREDITO OU DEBITO", {});
  return ok();
}

Reply Commands::imprime_cupom_adicional() {
  if (s_.open.kind != kNoDocument) return fail(8116);
  if (s_.paper_out) return fail(8108);
  for (auto it = s_.tape.rbegin(); it != s_.tape.rend(); ++it)
    if (it->kind == kFiscalCoupon) {
      // Paper only: the copy is not a document of the detail tape.
      p_.paper_ += it->printed;
      return ok();
    }
  return fail(8111);
}

Reply Commands::imprime_dados_departamento() {
  if (s_.phase != kGerencialOpen) return fail(8101);
  Page pg;
  pg.line("DEPARTAMENTOS");
  for (int i = 0; i < kDepartmentSlots; ++i) {
    if (!s_.departments[i].programmed) continue;
    pg.line(label_value(zeros(i, 2) + " " + fit(s_.departments[i].name, 10) + " " +
                            decimal_text(s_.day.department_quantity[i], 3),
                        money_text(s_.day.department_value[i])));
  }
  print_body(pg);
  return ok();
}

}  // namespace ecf_sim
