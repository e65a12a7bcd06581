#include "orvik/memfiles/printout_readers.h"

#include "common/text1252.h"
#include "orvik/memfiles/printout_text.h"
#include "orvik/memfiles/rfd_lines.h"
#include "orvik/memfiles/working_folder.h"

namespace orvik::memfiles {
namespace {

constexpr size_t kLastLines = 5;

void Remember(std::vector<std::string>& last, std::string_view line) {
  if (last.size() == kLastLines) last.erase(last.begin());
  last.emplace_back(line);
}

std::string Trimmed(std::string_view s) {
  return std::string(common::trim(s));
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

long long Number(std::string_view digits) {
  long long v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') continue;
    if (v > 99'999'999'999'999'999LL / 10) break;  // far beyond any field
    v = v * 10 + (c - '0');
  }
  return v;
}

// The word after a label somewhere in the last lines ("VERSÃO:01.00.08" -> "01.00.08").
std::string WordAfter(const std::vector<std::string>& last, std::string_view label) {
  for (auto it = last.rbegin(); it != last.rend(); ++it) {
    const size_t at = it->find(label);
    if (at == std::string::npos) continue;
    const std::string rest = it->substr(at + label.size());
    const auto words = Words(rest);
    return words.empty() ? std::string() : words.front();
  }
  return {};
}

// The model lines the readers know; true when the line is one of them.
bool ModelLine(std::string_view line, ConversionState& s, const std::vector<std::string>& last) {
  struct Model {
    const char* text;
    const char* brand;
    const char* model;
    const char* type;
    int layout;  // 0 keeps the current layout kind
  };
  static const Model kModels[] = {
      {"ORVIK      GW3                  ECF-PDV", "ORVIK", "GW3", "ECF-PDV", 2},
      {"ORVIK      R7                    ECF-IF", "ORVIK", "R7", "ECF-IF", 2},
      {"QVX        QVX/1KAP LOGGER      ECF-IF", "QVX", "QVX/1KAP LOGGER", "ECF-IF", 0},
      {"QVX        QVX/2DMR LOGGER      ECF-IF", "QVX", "QVX/2DMR LOGGER", "ECF-IF", 0},
      {"QVX        QVX-730               ECF-IF", "QVX", "QVX-730", "ECF-IF", 0},
      {"ORVIK      QM 4100XR", "ORVIK", "QM 4100XR", "ECF-IF", 0},
      {"ORVIK      ORVIK KAP", "ORVIK", "ORVIK KAP", "ECF-IF", 0},
  };
  for (const Model& m : kModels) {
    if (!Contains(line, m.text)) continue;
    s.brand = m.brand;
    s.model = m.model;
    s.ecf_type = m.type;
    s.model_known = true;
    if (m.layout) s.layout = m.layout;
    if (std::string_view(m.model) == "ORVIK KAP") {
      const std::string v = WordAfter(last, Label("VERSÃO:"));
      if (!v.empty()) s.software_version = v;
    }
    return true;
  }
  return false;
}

void ModelFromLast(ConversionState& s, const std::vector<std::string>& last) {
  for (const std::string& line : last)
    if (ModelLine(line, s, last)) return;
}

// "FAB:" + fabrication number (columns 5-25), with a trailing A or B as the
// additional-MF letter; the software version is read again from the last lines.
void ReadFab(std::string_view line, ConversionState& s, const std::vector<std::string>& last) {
  std::string fab = Trimmed(Cols(line, 5, 25));
  s.additional_mf = " ";
  if (!fab.empty() && (fab.back() == 'A' || fab.back() == 'B')) {
    s.additional_mf = std::string(1, fab.back());
    fab.pop_back();
    fab = Trimmed(fab);
  }
  s.fabrication = fab;
  const std::string v = WordAfter(last, Label("VERSÃO:"));
  if (!v.empty()) s.software_version = v;
  if (s.software_version == "01.00.00") s.layout = 0;
}

// A slot number in two columns, 00-15; -1 otherwise.
int SlotNumber(std::string_view two) {
  if (two.size() != 2 || !AllDigits(two)) return -1;
  const int n = (two[0] - '0') * 10 + (two[1] - '0');
  return n <= 15 ? n : -1;
}

// "dd/mm/yyyy" somewhere in a line: a '/' with another three columns later.
std::string DateInLine(std::string_view line) {
  for (size_t i = 2; i + 3 < line.size(); ++i)
    if (line[i] == '/' && line[i + 3] == '/') return PrintedDate(line.substr(i - 2, 10));
  return {};
}

// "hh:mm:ss": any ':' with another three columns later (a label's colon before it, as
// in "OPERADOR:", is passed over).
std::string TimeInLine(std::string_view line) {
  for (size_t i = 2; i + 3 < line.size(); ++i) {
    if (line[i] != ':' || line[i + 3] != ':') continue;
    const std::string t = PrintedTime(line.substr(i - 2, 8));
    if (!t.empty()) return t;
  }
  return {};
}

// Quantity and unit from one word ("2,000KG"): leading digits, commas and points are
// the quantity (three decimals), the rest the unit.
void SplitQuantity(std::string_view word, ItemRecord& item) {
  size_t n = 0;
  while (n < word.size() &&
         ((word[n] >= '0' && word[n] <= '9') || word[n] == ',' || word[n] == '.'))
    ++n;
  std::string qty(word.substr(0, n));
  std::string unit(word.substr(n));
  const size_t comma = qty.find(',');
  std::string digits;
  if (comma == std::string::npos) {
    digits = DigitsOf(qty) + "000";
  } else {
    std::string whole = DigitsOf(qty.substr(0, comma));
    std::string decimals = DigitsOf(qty.substr(comma + 1));
    if (decimals.size() > 3) {
      unit = decimals.substr(3) + unit;
      decimals.resize(3);
    }
    while (decimals.size() < 3) decimals += '0';
    digits = whole + decimals;
  }
  if (digits == "000") digits = "1000";
  item.quantity = DigitsField(digits, 7);
  item.unit = unit.substr(0, 3);
}

std::string Joined(const std::vector<std::string>& words, size_t from, size_t to) {
  std::string out;
  for (size_t i = from; i < to && i < words.size(); ++i) out += (out.empty() ? "" : " ") + words[i];
  return out;
}

std::string AmountDigits(std::string_view word) {
  return DigitsOf(word);
}

}  // namespace

std::string ConversionState::Prefix() const {
  const std::string b = model_known ? brand : std::string("QVX");
  return b.substr(0, 2);
}

std::string ItemTaxCode(std::string_view printed, const ConversionState& s) {
  if (!printed.empty() && (printed[0] == 'T' || printed[0] == 'S')) {
    const int slot = SlotNumber(Cols(printed, 2, 3));
    if (slot < 0) return {};
    return Cols(printed, 2, 3) + s.slots[slot];
  }
  return Trimmed(printed.substr(0, 3));
}

// --- header -------------------------------------------------------------------------------

bool HeaderReader::Line(std::string_view line) {
  if (done_) return false;
  const std::string t = Trimmed(line);
  if (t.empty()) return true;
  if (BeginsWith(line, "CNPJ:") || t.starts_with("----------")) {
    done_ = true;
    return false;
  }
  if (seen_ == 0) {
    s_.owner_name = t.substr(0, 40);
  } else {
    s_.owner_address = (s_.owner_address + TextField(line, 48)).substr(0, 120);
  }
  if (++seen_ == 4) done_ = true;
  return !done_;
}

// --- first pass ---------------------------------------------------------------------------

void FirstPassReader::Line(std::string_view line) {
  if (common::trim(line).empty()) return;
  Remember(last_, line);
  if (Cols(line, 39, 42) == "COO:") {
    after_coo_ = true;
    in_z_ = false;
    expect_title_ = true;
    return;
  }
  if (!after_coo_) return;
  if (expect_title_) {
    if (BeginsWith(line, "GRG:") || BeginsWith(line, "CDC:")) return;
    expect_title_ = false;
    // Only a title opens the Z: an X reading's counter line names the Z too.
    in_z_ = Contains(line, Label("REDUÇÃO  Z"));
    return;
  }
  if (!in_z_) return;
  if (Col(line, 4) == '=' && (line[0] == 'T' || line[0] == 'S')) {
    const int slot = SlotNumber(Cols(line, 2, 3));
    if (slot < 0) {
      if (log_) log_("Aliquota fora da tabela ignorada: " + Trimmed(line));
      return;
    }
    s_.slots[slot] = std::string(1, line[0]) + DigitsField(Cols(line, 5, 9), 4);
  } else if (Col(line, 7) == '%' && storage_) {
    if (line[0] != 'T' && line[0] != 'S') return;
    for (std::string& slot : s_.slots) {
      if (slot != "T0000") continue;
      slot = std::string(1, line[0]) + DigitsField(Cols(line, 2, 6), 4);
      return;
    }
    if (log_) log_("Aliquota fora da tabela ignorada: " + Trimmed(line));
  } else if (BeginsWith(line, "MOVIMENTO DO DIA:")) {
    const std::string last = LastChars(Trimmed(line), 10);
    s_.movement_date = PrintedDate(last);
    if (s_.movement_date.empty() && log_) log_("Data de movimento invalida: " + Trimmed(line));
  } else if (Contains(line, "TOTALIZADOR GERAL:")) {
    s_.grand_total = DigitsField(ColsFrom(line, 20), 18);
  } else if (ModelLine(line, s_, last_)) {
  } else if (BeginsWith(line, "FAB:")) {
    ReadFab(line, s_, last_);
    fab_seen_ = !s_.fabrication.empty();
  }
}

// --- second pass --------------------------------------------------------------------------

DocumentReader::DocumentReader(ConversionState& state, DocumentSink on_document, LogSink log,
                               std::function<std::string()> issqn_discount)
    : s_(state),
      sink_(std::move(on_document)),
      log_(std::move(log)),
      issqn_(std::move(issqn_discount)) {}

void DocumentReader::Line(std::string_view line) {
  if (common::trim(line).empty()) return;
  Remember(last_, line);
  if (Cols(line, 39, 42) == "COO:") {
    if (at_ != At::kOutside && at_ != At::kSkip)
      Log("Documento incompleto ignorado (COO " + coo_ + ")");
    pending_item_.reset();
    adjustment_line_ = 0;
    date_ = PrintedDate(Cols(line, 1, 10));
    time_ = Cols(line, 12, 13) + Cols(line, 15, 16) + Cols(line, 18, 19);
    second_counter_ = Cols(line, 27, 32);
    coo_ = Cols(line, 43, 48);
    counter_ = "0";
    if (date_.empty() || !AllDigits(coo_) || coo_.size() != 6 || !AllDigits(time_) ||
        PrintedTime(Cols(line, 12, 19)).empty()) {
      Log("Cabecalho de documento invalido ignorado: " + Trimmed(line));
      at_ = At::kSkip;
      return;
    }
    at_ = At::kTitle;
    return;
  }
  switch (at_) {
    case At::kOutside:
    case At::kSkip:
      return;
    case At::kTitle:
      if (BeginsWith(line, "GRG:") || BeginsWith(line, "CDC:")) {
        counter_ = Cols(line, 5, 10);
        return;
      }
      Title(line);
      return;
    case At::kCouponTitle:
      if (Is(line, "CANCELAMENTO")) {
        // The cancellation of the coupon just read: that one is marked and written once.
        if (held_ && held_->coupon) {
          held_->coupon->cancelled = "S";
        } else {
          Log("Cancelamento sem cupom anterior ignorado (COO " + coo_ + ")");
        }
        at_ = At::kSkip;
        return;
      }
      Flush();
      StartCoupon(false);
      CouponLine(line);
      return;
    case At::kCoupon:
      if (BeginsWith(line, "FAB:")) return End(line);
      CouponLine(line);
      return;
    case At::kZ:
      if (BeginsWith(line, "FAB:")) return End(line);
      ZLine(line);
      return;
    case At::kOther:
      if (BeginsWith(line, "FAB:")) return End(line);
      return;
  }
}

void DocumentReader::Title(std::string_view line) {
  if (Is(line, "CUPOM FISCAL")) {
    at_ = At::kCouponTitle;
  } else if (Is(line, "CUPOM FISCAL CANCELADO")) {
    Flush();
    StartCoupon(true);
  } else if (Is(line, "LEITURA  X")) {
    StartOther("LX", false);
  } else if (Is(line, "RELATORIO GERENCIAL")) {
    StartOther("RG", false);
  } else if (Is(line, "COMPROVANTE NAO-FISCAL")) {
    StartOther("CN", false);
  } else if (Is(line, "COMPROVANTE CREDITO OU DEBITO")) {
    StartOther("CC", false);
  } else if (Contains(line, Label("REDUÇÃO  Z"))) {
    StartOther("RZ", true);
  } else if (Contains(line, "LEITURA MEMORIA FISCAL")) {
    StartOther("MF", false);
  } else {
    // No record has a denomination for it: left out rather than written blank.
    Log("Documento nao reconhecido ignorado (COO " + coo_ + "): " + Trimmed(line));
    at_ = At::kSkip;
  }
}

void DocumentReader::StartCoupon(bool cancelled) {
  current_ = ReadDocument{};
  current_.kind = cancelled ? ReadDocument::kCancelledCoupon : ReadDocument::kCoupon;
  CouponRecord c;
  c.coo = coo_;
  c.ccf = second_counter_;
  c.date = date_;
  current_.coupon = c;
  item_counter_ = 1;
  in_payments_ = false;
  buyer_line_before_ = false;
  pending_item_.reset();
  adjustment_line_ = 0;
  if (s_.movement_date.empty()) s_.movement_date = date_;
  at_ = At::kCoupon;
}

void DocumentReader::StartOther(const char* denomination, bool z) {
  Flush();
  current_ = ReadDocument{};
  current_.kind = ReadDocument::kOther;
  OtherRecord o;
  o.coo = coo_;
  o.second_counter = second_counter_;
  o.denomination = denomination;
  current_.other = o;
  denomination_ = denomination;
  if (z) {
    ZRecord r;
    r.coo = coo_;
    r.issue_date = date_;
    r.issue_time = time_;
    current_.z = r;
  }
  zlist_ = ZList::kNone;
  running_rate_ = -1;
  at_ = z ? At::kZ : At::kOther;
}

ItemRecord* DocumentReader::FindItem(std::string_view number, const char* what) {
  const std::string digits = DigitsOf(number);
  const long long n = digits.empty() ? 0 : Number(digits);
  if (n < 1 || n > static_cast<long long>(current_.items.size())) {
    Log(std::string("Item inexistente ignorado (") + what + " " + Trimmed(number) + ", COO " +
        coo_ + ")");
    return nullptr;
  }
  return &current_.items[n - 1];
}

void DocumentReader::StoreItem(ItemRecord item) {
  if (current_.items.size() >= 999) {
    Log("Item alem de 999 ignorado (COO " + coo_ + ")");
    return;
  }
  item.coo = coo_;
  item.ccf = second_counter_;
  item.item = DigitsField(std::to_string(item_counter_), 3);
  item.gross = Number(item.net_total);
  current_.items.push_back(std::move(item));
  ++item_counter_;
}

bool DocumentReader::ItemLine(std::string_view line) {
  const auto w = Words(line);
  if (w.empty()) return false;
  if (line.size() == 57 && line.back() == '\xB0') {
    const std::string total = WordFromRight(w, 1);
    const std::string w2 = WordFromRight(w, 2);
    const size_t k = (w2 == "A" || w2 == "T") ? 1 : 0;
    if (w.size() < 5 + k || !IsAmountWord(total, true) || !AllDigits(w[0])) {
      Log("Linha de item invalida ignorada: " + Trimmed(line));
      return true;
    }
    const std::string tax = WordFromRight(w, k + 2);
    const std::string expression = WordFromRight(w, k + 3);
    ItemRecord item;
    item.rounding = k ? w2 : "T";
    std::string quantity_word = expression, price = total.substr(0, total.size() - 1);
    const size_t x = expression.find('x');
    if (x != std::string::npos) {
      quantity_word = expression.substr(0, x);
      price = expression.substr(x + 1);
    }
    if (!IsAmountWord(price)) {
      Log("Linha de item invalida ignorada: " + Trimmed(line));
      return true;
    }
    SplitQuantity(quantity_word, item);
    item.price_decimals = std::to_string(DecimalsOf(price));
    item.unit_price = DigitsField(AmountDigits(price), 8);
    item.code = w[1].substr(0, 14);
    item.description = Joined(w, 2, w.size() - (k + 3)).substr(0, 100);
    item.net_total = AmountDigits(total);
    item.totalizer = ItemTaxCode(tax, s_);
    if (item.totalizer.empty()) Log("Aliquota fora da tabela no item: " + Trimmed(line));
    StoreItem(std::move(item));
    return true;
  }
  const std::string counter = DigitsField(std::to_string(item_counter_), 3);
  const bool numbered =
      (AllDigits(w[0]) && Number(w[0]) == item_counter_) || (line.substr(0, 4) == counter + " ");
  if (!numbered) return false;
  const std::string last = WordFromRight(w, 1);
  if (IsAmountWord(last, true)) {
    const std::string w2 = WordFromRight(w, 2);
    if (w.size() < 4 || w2 == "A" || w2 == "T") {
      // The shape of a whole 57-column item line that is not 57 columns long.
      Log("Linha de item invalida ignorada: " + Trimmed(line));
      return true;
    }
    // One line of a short layout: unit, tax code and the price that is the total.
    ItemRecord item;
    item.quantity = "0001000";
    std::string unit = WordFromRight(w, 3);
    if (!unit.empty() && unit[0] == '1') unit.erase(0, 1);
    item.unit = unit.substr(0, 3);
    item.totalizer = ItemTaxCode(w2, s_);
    const std::string price = last.substr(0, last.size() - 1);
    item.price_decimals = std::to_string(DecimalsOf(price));
    item.unit_price = DigitsField(AmountDigits(price), 8);
    item.net_total = AmountDigits(price);
    if (w.size() > 4) item.code = w[1].substr(0, 14);
    item.description = Joined(w, 2, w.size() - 3).substr(0, 100);
    StoreItem(std::move(item));
    return true;
  }
  // The first line of an item on several lines.
  ItemRecord item;
  item.quantity = "0001000";
  item.price_decimals = "2";
  if (w.size() > 1) item.code = w[1].substr(0, 14);
  item.description = Joined(w, 2, w.size());
  pending_item_ = std::move(item);
  return true;
}

void DocumentReader::PendingItemLine(std::string_view line) {
  const auto w = Words(line);
  const std::string w2 = WordFromRight(w, 2);
  const size_t k = (w2 == "A" || w2 == "T") ? 1 : 0;
  const std::string price = WordFromRight(w, 3 + k);
  const std::string total = WordFromRight(w, 1);
  if (IsAmountWord(price) && (IsAmountWord(total, true) || IsAmountWord(total))) {
    ItemRecord item = std::move(*pending_item_);
    pending_item_.reset();
    item.rounding = k ? w2 : "T";
    item.net_total = AmountDigits(total);
    item.totalizer = ItemTaxCode(WordFromRight(w, 2 + k), s_);
    if (item.totalizer.empty()) Log("Aliquota fora da tabela no item: " + Trimmed(line));
    item.unit_price = DigitsField(AmountDigits(price), 8);
    item.price_decimals = std::to_string(DecimalsOf(price));
    const std::string unit_word = WordFromRight(w, 5 + k);
    if (unit_word.size() < 3) {
      item.unit = unit_word;
      SplitQuantity(WordFromRight(w, 6 + k), item);
      item.unit = unit_word;
    } else {
      SplitQuantity(unit_word, item);
    }
    item.description = item.description.substr(0, 100);
    StoreItem(std::move(item));
    return;
  }
  std::string& d = pending_item_->description;
  if (d.size() < 100) d = (d.empty() ? "" : d + " ") + Trimmed(line);
}

void DocumentReader::CouponLine(std::string_view line) {
  CouponRecord& c = *current_.coupon;
  if (adjustment_line_ == 2) {
    adjustment_line_ = 1;
    adjusted_item_ = Cols(line, 1, 3);
    if (ItemRecord* it = FindItem(adjusted_item_, "cancelamento")) it->cancelled = "P";
    return;
  }
  if (adjustment_line_ == 1) {
    adjustment_line_ = 0;
    if (ItemRecord* it = FindItem(adjusted_item_, "cancelamento")) {
      it->cancelled_quantity = DigitsField(Cols(line, 1, 10), 7);
      it->cancelled_value = DigitsField(LastChars(line, 15), 13);
    }
    return;
  }
  if (pending_item_) return PendingItemLine(line);
  if (in_payments_) {
    const bool rate_line = line.find('=') != std::string_view::npos &&
                           line.find('%') != std::string_view::npos &&
                           (line[0] == 'T' || line[0] == 'S');
    if (Trimmed(line).starts_with("----------") || BeginsWith(line, "SOMA") || rate_line) {
      in_payments_ = false;
      return;
    }
    if (BeginsWith(line, "TROCO")) return;
    PaymentRecord p;
    p.coo = c.coo;
    p.ccf = c.ccf;
    p.method = Trimmed(Cols(line, 1, 15));
    p.amount = DigitsField(LastChars(line, 12), 13);
    current_.payments.push_back(std::move(p));
    return;
  }
  if (BeginsWith(line, "CNPJ/CPF CONSUMIDOR:") || BeginsWith(line, "CPF do adquirente:") ||
      BeginsWith(line, "Cliente:")) {
    c.buyer_id = DigitsField(line, 14);
    buyer_line_before_ = true;
    return;
  }
  if (BeginsWith(line, "CGC / CPF:-")) {
    c.buyer_id = DigitsField(ColsFrom(line, 11), 14);
    buyer_line_before_ = true;
    return;
  }
  if (BeginsWith(line, "NOME:") && buyer_line_before_) {
    c.buyer_name = Trimmed(ColsFrom(line, 7)).substr(0, 40);
    buyer_line_before_ = false;
    return;
  }
  buyer_line_before_ = false;
  if (ItemLine(line)) return;
  const std::string amount8 = DigitsField(LastChars(line, 15), 8);
  if (BeginsWith(line, "item cancelado:")) {
    if (ItemRecord* it = FindItem(Cols(line, 16, 18), "cancelado")) {
      it->cancelled = "S";
      it->cancelled_quantity = "0";
      it->cancelled_value = "0";
    }
  } else if (BeginsWith(line, Label("cancelamento acr‚s/desc item:"))) {
    // The adjustment taken back: the item is as sold again.
    const size_t at = Squeezed(line).find(':');
    const std::string number = DigitsOf(Squeezed(line).substr(at + 1, 3));
    if (ItemRecord* it = FindItem(number, "cancelamento acr/desc")) {
      it->net_total = std::to_string(it->gross);
      it->discount = "0";
      it->surcharge = "0";
    }
  } else if (BeginsWith(line, "cancelamento item:")) {
    adjustment_line_ = 2;
  } else if (BeginsWith(line, "desconto item")) {
    if (ItemRecord* it = FindItem(Cols(line, 15, 17), "desconto")) {
      const long long net = Number(it->net_total) - Number(amount8);
      it->net_total = std::to_string(net < 0 ? 0 : net);
      it->discount = std::to_string(Number(it->discount) + Number(amount8));
    }
  } else if (BeginsWith(line, Label("acr‚scimo item"))) {
    if (ItemRecord* it = FindItem(Cols(line, 16, 18), "acrescimo")) {
      it->net_total = std::to_string(Number(it->net_total) + Number(amount8));
      it->surcharge = std::to_string(Number(it->surcharge) + Number(amount8));
    }
  } else if (BeginsWith(line, "SUBTOTAL")) {
    c.subtotal = DigitsOf(LastChars(line, 15));
  } else if (BeginsWith(line, "DESCONTO")) {
    c.discount = DigitsOf(LastChars(line, 15));
  } else if (BeginsWith(line, Label("acr‚scimo"))) {
    c.surcharge = DigitsOf(LastChars(line, 15));
  } else if (BeginsWith(line, "TOTAL")) {
    if (Number(c.subtotal) == 0) c.subtotal = DigitsOf(LastChars(line, 15));
    if (BeginsWith(line, "TOTAL R$")) in_payments_ = true;
  }
}

void DocumentReader::AddTotalizer(std::string code, std::string_view value_text) {
  current_.totalizers.push_back({std::move(code), std::string(value_text)});
}

void DocumentReader::ZLine(std::string_view line) {
  switch (zlist_) {
    case ZList::kNonFiscalHeading:
      zlist_ = ZList::kNonFiscal;
      return;
    case ZList::kNonFiscal:
      if (Trimmed(line).ends_with("----------")) {
        zlist_ = ZList::kNone;
      } else if (!BeginsWith(line, Label("DESCONTOS NÃO-FISCAIS")) &&
                 !BeginsWith(line, Label("ACRÉSCIMOS NÃO-FISCAIS")) &&
                 !BeginsWith(line, Label("CANCELAMENTOS NÃO-FISCAIS"))) {
        current_.nonfiscal_totalizers.push_back(
            {Trimmed(Cols(line, 4, 18)), DigitsField(Cols(line, 30, 69), 13)});
      }
      return;
    case ZList::kPaymentHeading:
      zlist_ = ZList::kPayment;
      return;
    case ZList::kPayment:
      if (Contains(line, "TROCO")) {
        current_.payment_methods.push_back({"TROCO", DigitsField(Cols(line, 24, 63), 13)});
        zlist_ = ZList::kNone;
      } else {
        current_.payment_methods.push_back(
            {Trimmed(Cols(line, 5, 19)), DigitsField(Cols(line, 24, 63), 13)});
      }
      return;
    case ZList::kNone:
      break;
  }
  ZRecord& z = *current_.z;
  if (BeginsWith(line, "CONTADOR DE REDU")) {
    z.crz = Cols(line, 43, 48);
  } else if (BeginsWith(line, "CONTADOR DE REIN")) {
    z.cro = Cols(line, 43, 48);
  } else if (BeginsWith(line, Label("VENDA BRUTA DIÁRIA:"))) {
    z.gross_sales = DigitsField(Cols(line, 20, 62), 14);
  } else if (Contains(line, Label("TOTALIZADORES NÃO FISCAIS"))) {
    zlist_ = ZList::kNonFiscalHeading;
  } else if (Contains(line, "MEIOS DE PAGAMENTO")) {
    zlist_ = ZList::kPaymentHeading;
  } else if (Col(line, 4) == '=' && (line[0] == 'T' || line[0] == 'S')) {
    if (SlotNumber(Cols(line, 2, 3)) < 0) {
      Log("Aliquota fora da tabela ignorada: " + Trimmed(line));
      return;
    }
    AddTotalizer(Cols(line, 2, 3) + line[0] + DigitsField(Cols(line, 5, 9), 4),
                 DigitsOf(Cols(line, 16, 30)));
  } else if (Col(line, 7) == '%') {
    if (running_rate_ < 0) {
      const bool unused = s_.slots[0] == "T0000" || s_.slots[0] == "S0000";
      running_rate_ = s_.rate_numbers_from_one || unused ? 1 : 0;
    }
    if (running_rate_ > 15) {
      Log("Aliquota fora da tabela ignorada: " + Trimmed(line));
      return;
    }
    AddTotalizer(
        DigitsField(std::to_string(running_rate_), 2) + line[0] + DigitsField(Cols(line, 2, 6), 4),
        DigitsOf(Cols(line, 16, 30)));
    ++running_rate_;
  } else {
    struct Row {
      const char* label;
      const char* alternative;
      const char* code;
    };
    static const Row kRows[] = {
        {"SUBSTITUIÇÃO TRIBUTÁRIA ICMS:", "F1=", "F1"},
        {"ISENTO ICMS:", "I1=", "I1"},
        {"NÃO INCIDÒNCIA ICMS:", "N1=", "N1"},
        {"SUBSTITUIÇÃO TRIBUTÁRIA ISSQN:", "FS1=", "FS1"},
        {"ISENTO ISSQN:", "IS1=", "IS1"},
        {"NÃO INCIDÒNCIA ISSQN:", "NS1=", "NS1"},
        {"CANCELAMENTO ICMS:", nullptr, "Can-T"},
        {"CANCELAMENTO ISSQN:", nullptr, "Can-S"},
        {"DESCONTO ICMS:", nullptr, "DT"},
        {"DESCONTO ISSQN:", nullptr, "DS"},
        {"ACRÉSCIMO ICMS:", nullptr, "AT"},
        {"ACRÉSCIMO ISSQN:", nullptr, "AS"},
        {"TOTAL OPERAÇÕES NÃO-FISCAIS", nullptr, "OPNF"},
    };
    for (const Row& r : kRows) {
      if (BeginsWith(line, Label(r.label)) || (r.alternative && BeginsWith(line, r.alternative))) {
        AddTotalizer(r.code, DigitsOf(LastChars(Trimmed(line), 16)));
        return;
      }
    }
  }
}

void DocumentReader::End(std::string_view fab_line) {
  if (pending_item_) {
    Log("Item incompleto ignorado (COO " + coo_ + ")");
    pending_item_.reset();
  }
  ReadFab(fab_line, s_, last_);
  ModelFromLast(s_, last_);
  const std::string ecf = WordAfter(last_, "ECF:");
  if (!ecf.empty()) s_.ecf_number = DigitsField(ecf, 3);
  if (current_.coupon) {
    if (current_.kind == ReadDocument::kCancelledCoupon) current_.coupon->cancelled = "S";
    buyer_line_before_ = false;
  }
  if (current_.other) {
    OtherRecord& o = *current_.other;
    if (s_.layout == 2 && last_.size() >= 2) {
      const std::string& before = last_[last_.size() - 2];
      o.date = PrintedDate(Cols(before, 29, 38));
      o.time = Cols(before, 40, 41) + Cols(before, 43, 44) + Cols(before, 46, 47);
    } else if (s_.layout == 0) {
      o.date = PrintedDate(Cols(fab_line, 28, 37));
      o.time = Cols(fab_line, 39, 40) + Cols(fab_line, 42, 43) + Cols(fab_line, 45, 46);
    } else {
      for (const std::string& l : last_) {
        if (o.date.empty()) o.date = DateInLine(l);
        if (o.time.empty()) o.time = TimeInLine(l);
      }
    }
    if (denomination_ == "RG") o.grg = counter_;
    if (denomination_ == "CC") o.cdc = Cols(counter_, 3, 6);
    if (denomination_ == "RG" || denomination_ == "CC" || denomination_ == "CN")
      o.gnf = second_counter_;
    if (current_.z) {
      o.crz = current_.z->crz;
      current_.z->movement_date = s_.movement_date;
      current_.z->issqn_discount = issqn_ ? issqn_() : "N";
    }
  }
  held_ = std::move(current_);
  current_ = ReadDocument{};
  ++documents_;
  at_ = At::kOutside;
}

void DocumentReader::Flush() {
  if (!held_) return;
  ReadDocument d = std::move(*held_);
  held_.reset();
  sink_(d);
}

void DocumentReader::Finish() {
  if (at_ != At::kOutside && at_ != At::kSkip && at_ != At::kCouponTitle)
    Log("Documento incompleto ignorado (COO " + coo_ + ")");
  if (at_ == At::kCouponTitle) Log("Documento incompleto ignorado (COO " + coo_ + ")");
  at_ = At::kOutside;
  Flush();
}

// --- fiscal-memory reading ----------------------------------------------------------------

std::string FiscalMemoryReader::Head() const {
  return EcfHead(s_);
}

void FiscalMemoryReader::Line(std::string_view line) {
  if (closed_) return;
  const std::string t = Trimmed(line);
  if (t.empty()) return;
  if (Contains(line, Label("REDUÇÕES DIÁRIAS"))) {
    out_(LineE02(s_));
    owner_written_ = true;
    closed_ = true;
    return;
  }
  if (Contains(line, Label("USUÁRIOS"))) {
    section_ = Section::kUsers;
    return;
  }
  if (Contains(line, Label("CODIFICAÇÃO GT:"))) {
    section_ = Section::kGtCoding;
    return;
  }
  if (Contains(line, Label("SOFTWARE BÁSICO:"))) {
    section_ = Section::kSoftware;
    return;
  }
  if (Contains(line, Label("REINICIO  OPERAÇÃO"))) {
    section_ = Section::kRestarts;
    return;
  }
  if (Contains(line, Label("IMPRESSÃO FITA DETALHE"))) {
    section_ = Section::kDetailTapes;
    return;
  }
  // Lines that make their record wherever they stand; they also end the software list.
  if (BeginsWith(line, "MOEDA:")) {
    section_ = Section::kNone;
    const std::string date = PrintedDate(Cols(line, 12, 21));
    out_(LineE06(Head(), s_.owner_cnpj, date, Cols(line, 23, 30), Trimmed(Cols(line, 7, 10))));
    return;
  }
  if (BeginsWith(line, "MFD:")) {
    section_ = Section::kNone;
    out_(LineE08(Head(), s_.owner_cnpj, Trimmed(ColsFrom(line, 6))));
    return;
  }
  if (t.starts_with("----------")) return;
  const bool wide = s_.layout == 0;
  switch (section_) {
    case Section::kNone:
      return;
    case Section::kUsers:
      if (BeginsWith(line, "Usuario:")) {
        s_.user_number = wide ? Cols(line, 10, 11) : Cols(line, 9, 10);
        s_.owner_cro = wide ? Cols(line, 19, 21) : Cols(line, 17, 19);
        s_.registration_date = PrintedDate(wide ? Cols(line, 27, 36) : Cols(line, 22, 31));
        s_.registration_time = DigitsOf(wide ? Cols(line, 40, 47) : Cols(line, 34, 41));
      } else if (BeginsWith(line, "CNPJ:")) {
        s_.owner_cnpj = DigitsOf(Cols(line, 8, 27));
      } else if (BeginsWith(line, "IE:")) {
        const std::string digits = DigitsOf(Cols(line, 8, 27));
        s_.owner_ie = digits.empty() ? Trimmed(Cols(line, 8, 27)) : digits;
      }
      return;
    case Section::kGtCoding:
      if (BeginsWith(line, "a partir de")) {
        gt_coding_date_ = PrintedDate(Cols(line, 13, 22));
        gt_coding_time_ = DigitsOf(Cols(line, 24, 31));
        gt_coding_next_ = true;
      } else if (gt_coding_next_) {
        gt_coding_next_ = false;
        std::string letters;
        const size_t step = wide ? 5 : 4;
        for (size_t col = 3; letters.size() < 10; col += step)
          letters += Col(line, col) ? Col(line, col) : ' ';
        out_(LineE05(Head(), s_.owner_cnpj, gt_coding_date_, gt_coding_time_, letters));
      }
      return;
    case Section::kSoftware: {
      const std::string date = PrintedDate(Cols(line, 10, 19));
      out_(LineE07(Head(), Trimmed(Cols(line, 1, 8)), date));
      s_.software_date = date;
      s_.software_time = DigitsOf(Cols(line, 23, 30));
      return;
    }
    case Section::kRestarts: {
      const size_t step = wide ? 30 : 26;
      for (size_t entry = 1; entry <= line.size(); entry += step) {
        const std::string cro = Cols(line, entry, entry + 2);
        if (cro.size() != 3 || !AllDigits(cro)) continue;
        const std::string date = PrintedDate(Cols(line, entry + 5, entry + 14));
        const std::string time = Cols(line, entry + 16, entry + 17) +
                                 Cols(line, entry + 19, entry + 20) +
                                 Cols(line, entry + 22, entry + 23);
        out_(LineE09(Head(), cro, date, time, Col(line, entry + 3) == '#' ? "S" : "N"));
      }
      return;
    }
    case Section::kDetailTapes:
      if (BeginsWith(line, "CNPJ")) {
        const std::string cnpj = DigitsOf(Cols(line, 6, 25));
        out_(LineE10(Head(), tape_counter_, tape_date_, tape_first_, tape_last_, cnpj));
      } else if (!Contains(line, "DATA")) {
        tape_date_ = PrintedDate(Cols(line, 1, 10));
        tape_counter_ = Cols(line, 12, 17);
        tape_first_ = Cols(line, 19, 24);
        tape_last_ = Cols(line, 28, 33);
      }
      return;
  }
}

}  // namespace orvik::memfiles
