#include "common/text1252.h"
#include "orvik/memfiles/printout_readers.h"
#include "orvik/memfiles/printout_text.h"
#include "orvik/memfiles/rfd_lines.h"
#include "orvik/memfiles/working_folder.h"
#include "printout_lines.h"

namespace orvik::memfiles {

using namespace reading;

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

}  // namespace orvik::memfiles
