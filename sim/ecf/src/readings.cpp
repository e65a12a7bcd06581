// Readings: X, Z (with its fiscal-memory record), fiscal-memory readings and detail-tape
// readings, printed or handed out through LeImpressao.
#include <cstdio>
#include <cstdlib>

#include "common/text1252.h"
#include "printer_impl.h"

namespace ecf_sim {

namespace {

// Seconds a Z may move the clock by: five minutes, and the few seconds a host takes
// between reading the clock and sending the Z.
constexpr int kMaxZClockStep = 300 + 5;

std::optional<Date> parse_date(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  int d = 0, m = 0, y = 0;
  char tail = 0;
  if (std::sscanf(text->c_str(), "%d/%d/%d%c", &d, &m, &y, &tail) != 3) return std::nullopt;
  if (y < 100) y += 2000;
  if (d < 1 || d > 31 || m < 1 || m > 12) return std::nullopt;
  return Date{y, m, d};
}

std::string digits14(Money v) {
  return zeros(v < 0 ? 0 : v, 14);
}

}  // namespace

// The registers of a day as the X and Z print them. The column positions are those the
// detail-tape readers rely on (see LAYOUTS.md).
void Commands::totals_section(Page& pg, const DayTotals& d,
                              const std::array<Rate, kRateSlots>& rates, int crz,
                              int coo_now) const {
  auto counter = [&](const std::string& label, int v) { pg.line(label_value(label, zeros(v, 6))); };
  counter(L("CONTADOR DE REDUÇÃO Z:"), crz);
  counter(L("CONTADOR DE REINÍCIO DE OPERAÇÃO:"), s_.cro);
  counter(L("CONTADOR DE ORDEM DE OPERAÇÃO:"), coo_now);
  counter(L("CONTADOR GERAL NÃO FISCAL:"), s_.gnf);
  counter(L("CONTADOR DE CUPOM FISCAL:"), s_.ccf);
  counter(L("CONTADOR DE CUPONS CANCELADOS:"), s_.cfc);
  counter(L("CONTADOR DE RELATÓRIO GERENCIAL:"), s_.grg);
  counter(L("CONTADOR DE CRÉDITO OU DÉBITO:"), s_.cdc);
  counter(L("CONTADOR DE FITA DETALHE:"), s_.cfd);
  pg.dashes();
  auto rate_line = [&](int i, const Rate& r) {
    std::string label = std::string(r.icms ? "T" : "S") + zeros(i, 2) + "=" +
                        zeros(r.percent / 100, 2) + "," + zeros(r.percent % 100, 2) + "%";
    Money tax = d.totalizer[i] * r.percent / 10000;
    pg.line(fit(label, 15) + rjust(money_text(d.totalizer[i]), 15) + rjust(money_text(tax), 18));
  };
  pg.line("ICMS");
  for (int i = 0; i < kRateSlots; ++i)
    if (rates[i].programmed && rates[i].icms) rate_line(i, rates[i]);
  pg.line(label_value(L("SUBSTITUIÇÃO TRIBUTÁRIA ICMS:"), money_text(d.totalizer[kF])));
  pg.line(label_value("ISENTO ICMS:", money_text(d.totalizer[kI])));
  pg.line(label_value(L("NÃO INCIDÊNCIA ICMS:"), money_text(d.totalizer[kN])));
  pg.line(label_value("CANCELAMENTO ICMS:", money_text(d.cancel_icms)));
  pg.line(label_value("DESCONTO ICMS:", money_text(d.discount_icms)));
  pg.line(label_value(L("ACRÉSCIMO ICMS:"), money_text(d.surcharge_icms)));
  pg.dashes();
  pg.line("ISSQN");
  for (int i = 0; i < kRateSlots; ++i)
    if (rates[i].programmed && !rates[i].icms) rate_line(i, rates[i]);
  pg.line(label_value(L("SUBSTITUIÇÃO TRIBUTÁRIA ISSQN:"), money_text(d.totalizer[kFS])));
  pg.line(label_value("ISENTO ISSQN:", money_text(d.totalizer[kIS])));
  pg.line(label_value(L("NÃO INCIDÊNCIA ISSQN:"), money_text(d.totalizer[kNS])));
  pg.line(label_value("CANCELAMENTO ISSQN:", money_text(d.cancel_iss)));
  pg.line(label_value("DESCONTO ISSQN:", money_text(d.discount_iss)));
  pg.line(label_value(L("ACRÉSCIMO ISSQN:"), money_text(d.surcharge_iss)));
  pg.dashes();
  Money nonfiscal = 0;
  for (Money v : d.nonfiscal) nonfiscal += v;
  pg.line(label_value(L("TOTAL OPERAÇÕES NÃO-FISCAIS:"), money_text(nonfiscal)));
  pg.line(L("TOTALIZADORES NÃO FISCAIS"));
  pg.line("N. NOME            CONT              VALOR");
  for (int i = 0; i < kNonFiscalSlots; ++i) {
    if (!s_.nonfiscal[i].programmed) continue;
    // code 1-2, name 4-18, counter 20-23, value 30-48
    pg.line(zeros(i, 2) + " " + fit(s_.nonfiscal[i].name, 15) + " " + zeros(s_.con[i], 4) +
            "      " + rjust(money_text(d.nonfiscal[i]), 19));
  }
  pg.line(label_value(L("DESCONTOS NÃO-FISCAIS"), money_text(d.nonfiscal_discount)));
  pg.line(label_value(L("ACRÉSCIMOS NÃO-FISCAIS"), money_text(d.nonfiscal_surcharge)));
  pg.line(label_value(L("CANCELAMENTOS NÃO-FISCAIS"), money_text(d.nonfiscal_cancel)));
  pg.dashes();
  pg.line("MEIOS DE PAGAMENTO");
  pg.line("N.  MEIO                        VALOR");
  for (int i = 0; i < kPaymentSlots; ++i) {
    if (!s_.payment_forms[i].programmed) continue;
    // code 1-2, method 5-19, value 24-48
    std::string code = i == 0 ? "-2" : zeros(i - 1, 2);
    pg.line(code + "  " + fit(s_.payment_forms[i].name, 15) + "    " +
            rjust(money_text(d.payment[i]), 25));
  }
  pg.line("    " + fit("TROCO", 15) + "    " + rjust(money_text(d.change), 25));
  pg.dashes();
  pg.line(label_value(L("VENDA BRUTA DIÁRIA:"), money_text(d.gross)));
  pg.line(label_value(L("VENDA LÍQUIDA:"), money_text(d.net())));
  pg.line(label_value("TOTALIZADOR GERAL:", money_text(s_.gt)));
}

void Commands::emit_or_queue(const std::string& title, const Page& body, bool serial, int kind) {
  if (serial) {
    // Sent to the line instead of paper: no document, no counter moves.
    Document d;
    d.coo = s_.coo;
    d.issued = p_.now();
    Page head, t;
    head.line(header_line(d, "GNF:", s_.gnf));
    t.title(title);
    // A new reading replaces whatever the host left unread.
    p_.serial_.clear();
    p_.serial_pos_ = 0;
    p_.serial_ += owner_header() + head.bytes() + t.bytes() + body.bytes() + footer(d.issued);
    return;
  }
  start_document(kind, kIdle);
  Document& d = s_.open;
  d.gnf = ++s_.gnf;
  Page head;
  head.line(header_line(d, "GNF:", d.gnf));
  s_.open_header = owner_header() + head.bytes();
  print_body(body);
  finish_document(title, {});
}

std::optional<bool> Commands::serial_destination() const {
  auto d = a_.get("Destino");
  if (!d) return false;
  if (*d == "S") return true;
  return std::nullopt;
}

Reply Commands::emite_leitura_x() {
  auto destination = serial_destination();
  if (!destination) return fail(8002);
  bool serial = *destination;
  if (!serial) {
    if (s_.paper_out) return fail(8108);
    if (s_.open.kind != kNoDocument) return fail(8116);
  }
  Page body;
  if (serial) {
    totals_section(body, s_.day, s_.rates, s_.crz, s_.coo);
    emit_or_queue("LEITURA  X", body, true, kXReading);
    return ok();
  }
  start_document(kXReading, kIdle);
  Document& d = s_.open;
  d.gnf = ++s_.gnf;
  Page head;
  head.line(header_line(d, "GNF:", d.gnf));
  s_.open_header = owner_header() + head.bytes();
  totals_section(body, s_.day, s_.rates, s_.crz, d.coo);
  print_body(body);
  finish_document("LEITURA  X", {});
  return ok();
}

std::string Commands::build_last_data(const Reduction& r) const {
  const DayTotals& t = r.totals;
  std::string s;
  s += zeros(s_.owner.user_number, 2);                                                 // 1
  s += zeros(r.gt, 18);                                                                // 2
  s += digits14(t.cancel_icms + t.cancel_iss);                                         // 3
  s += digits14(t.discount_icms + t.discount_iss);                                     // 4
  for (const auto& rate : r.rates) s += zeros(rate.programmed ? rate.percent : 0, 4);  // 5
  for (int i = 0; i < kRateSlots; ++i) s += digits14(t.totalizer[i]);                  // 6
  s += digits14(t.totalizer[kF] + t.totalizer[kFS]);
  s += digits14(t.totalizer[kI] + t.totalizer[kIS]);
  s += digits14(t.totalizer[kN] + t.totalizer[kNS]);
  s += digits14(t.surcharge_icms + t.surcharge_iss);                      // 7
  s += digits14(t.totalizer[kFS] + t.totalizer[kIS] + t.totalizer[kNS]);  // 8
  for (int i = 0; i < 9; ++i) s += digits14(t.nonfiscal[i]);              // 9
  s += zeros(r.first_coo, 6) + zeros(r.coo, 6) + zeros(r.cro, 6) + zeros(r.crz, 6) +
       zeros(r.ccf, 6) + zeros(r.gnf, 6);                                                  // 10
  s += zeros(r.coo, 6);                                                                    // 11
  s += zeros(r.gnf, 6);                                                                    // 12
  s += "00";                                                                               // 13
  s += zeros(r.movement.day, 2) + zeros(r.movement.month, 2) + zeros(r.movement.year, 2);  // 14
  Money iss = t.totalizer[kFS] + t.totalizer[kIS] + t.totalizer[kNS];
  for (int i = 0; i < kRateSlots; ++i)
    if (r.rates[i].programmed && !r.rates[i].icms) iss += t.totalizer[i];
  s += digits14(iss);                  // 15
  s += digits14(t.icms_tax(r.rates));  // 16
  return s;
}

Reply Commands::emite_reducao_z() {
  if (s_.open.kind != kNoDocument) return fail(8116);
  if (s_.paper_out) return fail(8108);
  if (day_closed()) return fail(8104);
  if (auto hora = a_.get("Hora")) {
    int h = 0, m = 0, sec = 0;
    char tail = 0;
    if (std::sscanf(hora->c_str(), "%d:%d:%d%c", &h, &m, &sec, &tail) != 3 || h > 23 || m > 59 ||
        sec > 59)
      return fail(8002);
    DateTime t = p_.now();
    // The clock moves by five minutes at most at a Z.
    const int now_s = t.hour * 3600 + t.minute * 60 + t.second;
    if (std::abs(h * 3600 + m * 60 + sec - now_s) > kMaxZClockStep) return fail(8118);
    t.hour = h;
    t.minute = m;
    t.second = sec;
    p_.set_clock(t);
  }
  Date today_date = today();
  bool had_movement = !s_.movement.empty();
  Date movement = had_movement ? s_.movement : today_date;
  std::string op = a_.get("Operador").value_or("");
  start_document(kZReduction, kIdle);
  s_.open_operator = op;
  Document& d = s_.open;
  Reduction r;
  r.crz = ++s_.crz;
  d.crz = r.crz;
  r.coo = d.coo;
  r.first_coo = had_movement ? s_.coo_day_start : d.coo;
  r.cro = s_.cro;
  r.ccf = s_.ccf;
  r.gnf = s_.gnf;
  r.grg = s_.grg;
  r.cfd = s_.cfd;
  r.cdc = s_.cdc;
  r.cfc = s_.cfc;
  r.nfc = s_.nfc;
  r.movement = movement;
  r.issued = d.issued;
  r.gt = s_.gt;
  r.gt_initial = had_movement ? s_.gt_initial : s_.gt;
  r.rates = s_.rates;
  r.totals = s_.day;
  r.last_data = build_last_data(r);
  Page head;
  head.line(header_line(d, "GNF:", s_.gnf));
  s_.open_header = owner_header() + head.bytes();
  Page body;
  body.line(label_value("MOVIMENTO DO DIA:", date_text(movement)));
  totals_section(body, r.totals, r.rates, r.crz, d.coo);
  body.line(label_value("COO INICIAL:", zeros(r.first_coo, 6)));
  body.line(label_value("COO FINAL:", zeros(r.coo, 6)));
  print_body(body);
  s_.reductions.push_back(std::move(r));
  finish_document(L("REDUÇÃO  Z"), {});
  s_.day = DayTotals{};
  s_.closed_date = movement == today_date ? today_date : Date{};
  s_.movement = Date{};
  s_.gt_initial = s_.gt;
  s_.coo_day_start = s_.coo + 1;
  return ok();
}

std::string Commands::render_fiscal_memory(const std::vector<const Reduction*>& list,
                                           bool simplified, const std::string& range_line) const {
  const Owner& o = s_.owner;
  const Identity& id = s_.identity;
  Page pg;
  pg.line(simplified ? "SIMPLIFICADA" : "COMPLETA");
  pg.line(range_line);
  pg.dashes();
  pg.line(L("USUÁRIOS"));
  // "Usuario:" 1-8, user 9-10, CRO 17-19, date 22-31, time 34-41
  pg.line("Usuario:" + zeros(o.user_number, 2) + "  CRO:" + zeros(1, 3) + "  " +
          date_text(o.registered.date) + "  " + time_text(o.registered));
  pg.line("CNPJ:  " + o.cnpj);
  pg.line("IE:    " + o.ie);
  pg.dashes();
  pg.line(L("CODIFICAÇÃO GT:"));
  pg.line("a partir de " + date_text(o.registered.date) + " " + time_text(o.registered));
  std::string coding;
  for (int i = 0; i < 10; ++i) {
    coding += std::to_string(i) + ":";
    coding += id.gt_coding.size() > static_cast<std::size_t>(i) ? id.gt_coding[i] : '?';
    coding += ' ';
  }
  pg.line(coding);
  pg.dashes();
  pg.line(L("SOFTWARE BÁSICO:"));
  // version 1-8, date 10-19, time 23-30
  pg.line(fit(id.firmware, 8) + " " + date_text(id.firmware_installed.date) + "   " +
          time_text(id.firmware_installed));
  // symbol 7-10, date 12-21, time 23-30
  pg.line("MOEDA:" + fit(id.currency_symbol, 4) + " " + date_text(id.currency_since.date) + " " +
          time_text(id.currency_since));
  pg.line("MFD: " + id.mfd_serial);
  pg.dashes();
  pg.line(L("REINICIO  OPERAÇÃO"));
  for (int cro = 1; cro <= s_.cro; ++cro) {
    // Restarts without a record (states saved before they were kept) show the
    // registration, as CRO 1 does.
    DateTime when = o.registered;
    bool lost = false;
    for (const auto& r : s_.restarts)
      if (r.cro == cro) when = r.when, lost = r.memory_lost;
    pg.line(zeros(cro, 3) + (lost ? "# " : "  ") + date_text(when.date) + " " + time_text(when));
  }
  pg.dashes();
  pg.line(L("IMPRESSÃO FITA DETALHE"));
  pg.line("DATA       CONT   COO INI  COO FIM");
  for (const auto& t : s_.tape_readings) {
    pg.line(date_text(t.date) + " " + zeros(t.cfd, 6) + " " + zeros(t.first_coo, 6) + "   " +
            zeros(t.last_coo, 6));
    pg.line("CNPJ:" + o.cnpj);
  }
  pg.dashes();
  pg.line(L("REDUÇÕES DIÁRIAS"));
  Money gross = 0;
  for (const Reduction* r : list) {
    gross += r->totals.gross;
    if (simplified) continue;
    // CRZ 1-4, movement date 6-15, COO 17-22, gross sales to column 48
    pg.line(label_value(zeros(r->crz, 4) + " " + date_text(r->movement) + " " + zeros(r->coo, 6),
                        money_text(r->totals.gross)));
  }
  pg.dashes();
  pg.line(label_value(L("TOTAL DO PERÍODO:"), money_text(gross)));
  pg.line(label_value("TOTALIZADOR GERAL:", money_text(s_.gt)));
  return pg.bytes();
}

namespace {

// Short names of the document kinds on the paper detail-tape reading.
const char* document_kind_name(int kind) {
  switch (kind) {
    case kXReading:
      return "LEITURA X";
    case kZReduction:
      return "REDUCAO Z";
    case kFiscalCoupon:
      return "CUPOM FISCAL";
    case kNonFiscalReceipt:
      return "NAO FISCAL";
    case kCreditDebit:
      return "CRED/DEB";
    case kCouponCancellation:
      return "CANCELAMENTO";
    case kFiscalMemoryReading:
      return "LEITURA MEMORIA";
    case kPaymentReversal:
      return "ESTORNO PAGTO";
    case kCreditDebitReversal:
      return "ESTORNO CRED/DEB";
    case kGerencial:
      return "GERENCIAL";
    default:
      return "DOCUMENTO";
  }
}

}  // namespace

Reply Commands::emite_leitura_mf() {
  auto destination = serial_destination();
  auto simplified_given = a_.boolean_or("LeituraSimplificada", false);
  if (!destination || !simplified_given) return fail(8002);
  bool serial = *destination;
  bool simplified = *simplified_given;
  std::vector<const Reduction*> list;
  std::string range_line;
  if (a_.has("DataInicial") || a_.has("DataFinal")) {
    auto first = parse_date(a_.get("DataInicial"));
    auto last = parse_date(a_.get("DataFinal"));
    if (!first || !last || first->key() > last->key()) return fail(8002);
    for (const auto& r : s_.reductions)
      if (r.movement.key() >= first->key() && r.movement.key() <= last->key()) list.push_back(&r);
    range_line = L("PERÍODO: ") + date_text(*first) + " A " + date_text(*last);
  } else {
    auto first = a_.integer("ReducaoInicial");
    auto last = a_.integer("ReducaoFinal");
    if (!first || !last || *first < 1 || *first > *last) return fail(8002);
    for (const auto& r : s_.reductions)
      if (r.crz >= *first && r.crz <= *last) list.push_back(&r);
    range_line = "CRZ: " + zeros(*first, 4) + " A " + zeros(*last, 4);
  }
  if (list.empty()) return fail(8089);
  if (!serial) {
    if (s_.paper_out) return fail(8108);
    if (s_.open.kind != kNoDocument) return fail(8116);
    s_.open_operator = a_.get("Operador").value_or("");
  }
  Page body;
  body.append_raw(render_fiscal_memory(list, simplified, range_line));
  emit_or_queue("LEITURA MEMORIA FISCAL", body, serial, kFiscalMemoryReading);
  return ok();
}

Reply Commands::emite_leitura_fita_detalhe() {
  auto destination = serial_destination();
  if (!destination) return fail(8002);
  bool serial = *destination;
  if (s_.open.kind != kNoDocument) return fail(8116);
  if (!serial && s_.paper_out) return fail(8108);
  std::vector<const Document*> docs;
  if (a_.has("COOInicial") || a_.has("COOFinal")) {
    auto first = a_.integer("COOInicial");
    auto last = a_.integer("COOFinal");
    if (!first || !last || *first < 1 || *first > *last) return fail(8002);
    for (const auto& d : s_.tape)
      if (d.coo >= *first && d.coo <= *last) docs.push_back(&d);
  } else {
    auto first = parse_date(a_.get("DataInicial"));
    auto last = parse_date(a_.get("DataFinal"));
    if (!first || !last || first->key() > last->key()) return fail(8002);
    for (const auto& d : s_.tape)
      if (d.issued.date.key() >= first->key() && d.issued.date.key() <= last->key())
        docs.push_back(&d);
  }
  if (docs.empty()) return fail(8089);
  if (auto owner = a_.integer("Proprietario"); owner && *owner != s_.owner.user_number)
    return fail(8089);
  if (!serial) {
    // On paper the reading is a document of its own. It lists the documents instead of
    // reprinting them: copies with their own "COO:" header lines inside this document
    // would be read back from the detail tape as second copies of those documents.
    Page body;
    body.line(label_value("DOCUMENTOS:", std::to_string(docs.size())));
    body.line(L("COO    DATA       HORA     TIPO"));
    for (const Document* d : docs)
      body.line(zeros(d->coo, 6) + " " + date_text(d->issued.date) + " " + time_text(d->issued) +
                " " + document_kind_name(d->kind));
    int first = docs.front()->coo, last = docs.back()->coo;
    s_.open_operator = a_.get("Operador").value_or("");
    emit_or_queue("LEITURA FITA DETALHE", body, false, kFiscalMemoryReading);
    s_.cfd++;
    s_.tape_readings.push_back(TapeReading{s_.cfd, today(), first, last});
    return ok();
  }
  std::size_t size = 0;
  for (const Document* d : docs) size += d->printed.size();
  p_.serial_.clear();
  p_.serial_pos_ = 0;
  p_.serial_.reserve(size);
  for (const Document* d : docs) p_.serial_ += d->printed;
  s_.cfd++;
  s_.tape_readings.push_back(TapeReading{s_.cfd, today(), docs.front()->coo, docs.back()->coo});
  return ok();
}

}  // namespace ecf_sim
