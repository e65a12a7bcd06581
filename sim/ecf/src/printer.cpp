// Command dispatch, the registers the host reads, and the programming commands.
#include "ecf_sim/printer.h"

#include <chrono>
#include <cstdio>
#include <map>

#include "common/clock.h"
#include "common/text1252.h"
#include "ecf_sim/page.h"
#include "ecf_sim/params.h"
#include "printer_impl.h"

namespace ecf_sim {

namespace {

struct ErrorInfo {
  int code;
  const char* name;
  const char* text;  // UTF-8 here, Windows-1252 on the line
};

const ErrorInfo kErrors[] = {
    {1001, "ErroCMDReducaoInexistente", "Redução Z inexistente"},
    {8001, "ErroCMDComandoInexistente", "Comando inexistente"},
    {8002, "ErroCMDParametroInvalido", "Parâmetro inválido ou ausente"},
    {8003, "ErroCMDRegistradorInexistente", "Registrador inexistente"},
    {8005, "ErroCMDAliquotaNaoProgramada", "Alíquota ou totalizador não programado"},
    {8014, "ErroCMDMeioPagamentoNaoProgramado", "Meio de pagamento não programado"},
    {8018, "ErroCMDGerencialNaoProgramado", "Relatório gerencial não programado"},
    {8031, "ErroCMDDepartamentoNaoProgramado", "Departamento não programado"},
    {8089, "ErroCMDDataInvalida", "Data solicitada inexistente."},
    {8101, "ErroCMDEstadoInvalido", "Comando não permitido no estado atual"},
    {8102, "ErroCMDCupomSemItens", "Documento sem itens vendidos"},
    {8103, "ErroCMDPagamentoInsuficiente", "Pagamento menor que o total do documento"},
    {8104, "ErroCMDDiaFechado", "Redução Z do dia já emitida"},
    {8105, "ErroCMDReducaoZPendente", "Redução Z pendente"},
    {8106, "ErroCMDItemInexistente", "Item inexistente"},
    {8107, "ErroCMDItemCancelado", "Item cancelado ou já ajustado"},
    {8108, "ErroCMDSemPapel", "Impressora sem papel"},
    {8109, "ErroCMDValorInvalido", "Valor inválido"},
    {8110, "ErroCMDTabelaCheia", "Tabela cheia ou posição já programada"},
    {8111, "ErroCMDNadaACancelar", "Não há documento a cancelar"},
    {8112, "ErroCMDVinculadoNaoPermitido", "Comprovante vinculado não permitido"},
    {8113, "ErroCMDIntervencaoTecnica", "Impressora em intervenção técnica"},
    {8114, "ErroCMDDocumentoPago", "Documento já totalmente pago"},
    {8115, "ErroCMDMemoriaEsgotada", "Memória de fita-detalhe esgotada"},
    {8116, "ErroCMDDocumentoAberto", "Há um documento aberto"},
    {8117, "ErroCMDChequeAusente", "Cheque ausente"},
    {8118, "ErroCMDAcertoHorario", "Acerto de horário maior que 5 minutos"},
};

std::string lower(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::pair<std::string, std::string> Printer::describe_error(int code) {
  for (const auto& e : kErrors)
    if (e.code == code) return {e.name, L(e.text)};
  return {"ErroCMDDesconhecido", L("Erro desconhecido")};
}

namespace {

int64_t steady_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

Printer::Printer() : Printer(State::factory()) {}
Printer::Printer(State state)
    : state_(std::move(state)), running_clock_(steady_ms), last_running_ms_(steady_ms()) {}

void Printer::set_running_clock(std::function<int64_t()> now_ms) {
  running_clock_ = std::move(now_ms);
  last_running_ms_ = running_clock_();
}

void Printer::count_running_time() {
  int64_t now = running_clock_();
  int64_t elapsed = now - last_running_ms_;
  last_running_ms_ = now;
  if (elapsed <= 0) return;
  state_.running_ms += elapsed;
  if (state_.open.kind == kFiscalCoupon) state_.fiscal_ms += elapsed;
  state_.minutes_on = state_.running_ms / 60000;
  state_.minutes_printing = state_.fiscal_ms / 60000;
}

void Printer::set_technical_intervention(bool on) {
  if (state_.technical_intervention == on) return;
  state_.technical_intervention = on;
  if (!on) {
    // Back from the technician: operation restarts and the fiscal memory records it.
    ++state_.cro;
    state_.restarts.push_back(Restart{state_.cro, now(), false});
  }
  changed_ = true;
}

DateTime Printer::now() const {
  const auto base = frozen_at_ ? *frozen_at_ : std::chrono::system_clock::now();
  auto tp = base + std::chrono::seconds(state_.clock_offset_seconds);
  auto t = common::clock::to_local(tp);
  return DateTime{{t.year, t.month, t.day}, t.hour, t.minute, t.second};
}

void Printer::set_clock(const DateTime& t) {
  common::LocalDateTime l;
  l.year = t.date.year;
  l.month = t.date.month;
  l.day = t.date.day;
  l.hour = t.hour;
  l.minute = t.minute;
  l.second = t.second;
  auto target = common::clock::from_local(l);
  state_.clock_offset_seconds =
      std::chrono::duration_cast<std::chrono::seconds>(target - std::chrono::system_clock::now())
          .count();
  changed_ = true;
}

void Printer::freeze_clock() {
  frozen_at_ = std::chrono::system_clock::now();
}

Reply Printer::execute(std::string_view command, std::string_view params_text) {
  count_running_time();
  Params params;
  Commands c(*this, params);
  if (!params.parse(params_text)) return c.fail(8002);
  return c.run(command);
}

// ---------------------------------------------------------------------------------------

Commands::Commands(Printer& p, const Params& a) : p_(p), s_(p.state_), a_(a) {}

Reply Commands::ok(std::string results) {
  return Reply{0, std::move(results)};
}

Reply Commands::fail(int code) {
  auto [name, text] = Printer::describe_error(code);
  return Reply{code, "NomeErro=\"" + name + "\" Circunstancia=\"" + text + "\""};
}

Date Commands::today() const {
  return p_.now().date;
}

// --- reads -------------------------------------------------------------------------------

Reply Commands::integer_reply(int64_t v) {
  return ok("ValorInteiro=" + std::to_string(v));
}
Reply Commands::money_reply(Money v) {
  return ok("ValorMoeda=" + money4(v));
}
Reply Commands::text_reply(const std::string& v) {
  return ok("ValorTexto=\"" + v + "\"");
}
Reply Commands::indicator_reply(bool on) {
  return ok(on ? "ValorNumericoIndicador=1 ValorIndicador=1"
               : "ValorNumericoIndicador=0 ValorIndicador=0");
}
Reply Commands::date_reply(const Date& d) {
  return ok("ValorData=#" + date_text(d) + "#");
}
Reply Commands::time_reply(const DateTime& t) {
  return ok("ValorHora=#" + time_text(t) + "#");
}

const Reduction* Commands::reduction(int z) const {
  if (z < 1 || z > static_cast<int>(s_.reductions.size())) return nullptr;
  return &s_.reductions[z - 1];
}

const Document* Commands::last_sale() const {
  if (s_.open.kind == kFiscalCoupon || s_.open.kind == kNonFiscalReceipt) return &s_.open;
  for (auto it = s_.tape.rbegin(); it != s_.tape.rend(); ++it)
    if (it->kind == kFiscalCoupon || it->kind == kNonFiscalReceipt) return &*it;
  return nullptr;
}

int Commands::indicators() const {
  int v = 0;
  if (s_.paper_out) v |= 1;
  if (s_.paper_near_end) v |= 2;
  if (s_.technical_intervention) v |= 4;
  if (s_.daylight_saving) v |= 8;
  if (day_closed()) v |= 32;
  if (!s_.movement.empty()) v |= 64;
  if (z_pending()) v |= 128;
  return v;
}

bool Commands::z_pending() const {
  return !s_.movement.empty() && today().key() > s_.movement.key();
}

bool Commands::day_closed() const {
  return s_.movement.empty() && s_.closed_date == today();
}

int64_t Commands::tape_used() const {
  // Kept as a running count: summing a long tape on every document would cost a full
  // pass per sale.
  if (p_.tape_bytes_ < 0) {
    p_.tape_bytes_ = 0;
    for (const auto& d : s_.tape) p_.tape_bytes_ += static_cast<int64_t>(d.printed.size());
  }
  return p_.tape_bytes_;
}

Money Commands::doc_paid(int slot) const {
  const Document* doc = last_sale();
  if (!doc) return 0;
  Money sum = 0;
  for (const auto& pay : doc->payments)
    if (slot < 0 || pay.form_slot == slot) sum += pay.value;
  return sum;
}

std::string Commands::state_name() const {
  switch (s_.phase) {
    case kSelling:
      return s_.open.kind == kNonFiscalReceipt ? "ESTADO_VENDA_NFISCAL" : "ESTADO_VENDA";
    case kTotalling:
      return "ESTADO_TOTALIZANDO";
    case kPaying:
      return "ESTADO_PAGAMENTO";
    case kGerencialOpen:
      return "ESTADO_GERENCIAL";
    case kVoucherOpen:
      return "ESTADO_VINCULADO";
    default:
      break;
  }
  if (z_pending()) return "ESTADO_REDUCAO_Z_PENDENTE";
  if (day_closed()) return "ESTADO_DIA_FECHADO";
  return "ESTADO_LIVRE";
}

Reply Commands::le_aliquota() {
  auto slot = a_.integer("CodAliquotaProgramavel");
  if (!slot || *slot < 0 || *slot >= kRateSlots) return fail(8002);
  const Rate& r = s_.rates[*slot];
  if (!r.programmed) return fail(8005);
  return ok(std::string("AliquotaICMS=") + (r.icms ? "Y" : "N") +
            " PercentualAliquota=" + decimal_text(r.percent, 2));
}

int Commands::payment_slot_of_params(const char* code_name, const char* name_name) {
  if (auto code = a_.integer(code_name)) {
    if (*code == -2) return 0;
    if (*code < 0 || *code >= kPaymentSlots - 1) return -1;
    return static_cast<int>(*code) + 1;
  }
  if (auto name = a_.get(name_name)) {
    for (int i = 0; i < kPaymentSlots; ++i)
      if (s_.payment_forms[i].programmed &&
          lower(common::trim(s_.payment_forms[i].name)) == lower(common::trim(*name)))
        return i;
    return -1;
  }
  return -2;
}

Reply Commands::le_meio_pagamento() {
  int slot = payment_slot_of_params("CodMeioPagamentoProgram", "NomeMeioPagamento");
  if (slot == -2) slot = payment_slot_of_params("CodMeioPagamento", "NomeMeioPagamento");
  if (slot == -2) return fail(8002);
  if (slot < 0 || !s_.payment_forms[slot].programmed) return fail(8014);
  const auto& f = s_.payment_forms[slot];
  std::string code = slot == 0 ? "-2" : std::to_string(slot - 1);
  return ok("CodMeioPagamento=" + code + " CodMeioPagamentoProgram=" + code +
            " NomeMeioPagamento=\"" + f.name + "\" PermiteVinculado=" + (f.linked ? "S" : "N"));
}

Reply Commands::le_nao_fiscal() {
  int slot = -1;
  if (auto code = a_.integer("CodNaoFiscal")) {
    slot = static_cast<int>(*code);
  } else if (auto name = a_.get("NomeNaoFiscal")) {
    for (int i = 0; i < kNonFiscalSlots; ++i)
      if (s_.nonfiscal[i].programmed &&
          lower(common::trim(s_.nonfiscal[i].name)) == lower(common::trim(*name)))
        slot = i;
    if (slot < 0) return fail(8005);
  } else {
    return fail(8002);
  }
  if (slot < 0 || slot >= kNonFiscalSlots || !s_.nonfiscal[slot].programmed) return fail(8005);
  return ok("CodNaoFiscal=" + std::to_string(slot) + " NomeNaoFiscal=\"" + s_.nonfiscal[slot].name +
            "\"");
}

Reply Commands::le_gerencial() {
  auto code = a_.integer("CodGerencial");
  if (!code) return fail(8002);
  if (*code < 0 || *code >= kGerencialSlots || !s_.gerencial[*code].programmed) return fail(8018);
  return ok("CodGerencial=" + std::to_string(*code) + " NomeGerencial=\"" +
            s_.gerencial[*code].name + "\"");
}

Reply Commands::le_departamento() {
  auto code = a_.integer("CodDepartamento");
  if (!code) return fail(8002);
  if (*code < 0 || *code >= kDepartmentSlots || !s_.departments[*code].programmed)
    return fail(8031);
  return ok("CodDepartamento=" + std::to_string(*code) + " NomeDepartamento=\"" +
            s_.departments[*code].name + "\"");
}

Reply Commands::le_impressao() {
  std::size_t left = p_.serial_.size() - p_.serial_pos_;
  std::size_t n = std::min(left, p_.chunk_);
  // The host takes a reply of fewer than two characters for an empty one: never leave a
  // single byte for the last chunk.
  if (left > n && left - n < 2) n = left;
  std::string chunk = p_.serial_.substr(p_.serial_pos_, n);
  p_.serial_pos_ += n;
  if (p_.serial_pos_ >= p_.serial_.size()) {
    p_.serial_.clear();
    p_.serial_pos_ = 0;
  }
  return ok("TextoImpressao=\"" + chunk + "\"");
}

// --- programming ---------------------------------------------------------------------------

Reply Commands::define_aliquota() {
  auto slot = a_.integer("CodAliquotaProgramavel");
  auto percent = a_.decimal("PercentualAliquota", 2);
  if (!slot || !percent || *slot < 0 || *slot >= kRateSlots) return fail(8002);
  if (*percent <= 0 || *percent >= 10000) return fail(8109);
  if (s_.rates[*slot].programmed) return fail(8110);
  // Rates are fixed once sales have used the day's totalizers.
  if (s_.open.kind != kNoDocument) return fail(8116);
  auto icms = a_.boolean_or("AliquotaICMS", true);
  if (!icms) return fail(8002);
  s_.rates[*slot] = Rate{true, *icms, static_cast<int>(*percent)};
  return ok();
}

Reply Commands::define_meio_pagamento() {
  auto name = a_.get("NomeMeioPagamento");
  if (!name || common::trim(*name).empty()) return fail(8002);
  auto linked_given = a_.boolean_or("PermiteVinculado", false);
  if (!linked_given) return fail(8002);
  bool linked = *linked_given;
  std::string wanted = lower(common::trim(*name));
  for (int i = 0; i < kPaymentSlots; ++i) {
    auto& f = s_.payment_forms[i];
    if (f.programmed && lower(common::trim(f.name)) == wanted) {
      if (i > 0) f.linked = linked;
      return ok();
    }
  }
  int code_slot = -1;
  if (auto code = a_.integer("CodMeioPagamentoProgram")) {
    if (*code < 0 || *code >= kPaymentSlots - 1) return fail(8002);
    code_slot = static_cast<int>(*code) + 1;
    if (s_.payment_forms[code_slot].programmed) return fail(8110);
  } else {
    for (int i = 1; i < kPaymentSlots && code_slot < 0; ++i)
      if (!s_.payment_forms[i].programmed) code_slot = i;
    if (code_slot < 0) return fail(8110);
  }
  s_.payment_forms[code_slot] = PaymentForm{true, name->substr(0, 16), linked};
  return ok();
}

Reply Commands::define_named(std::array<NamedSlot, kNonFiscalSlots>* nf,
                             std::array<NamedSlot, kGerencialSlots>* other, const char* code_name,
                             const char* name_name, std::size_t width) {
  auto code = a_.integer(code_name);
  auto name = a_.get(name_name);
  if (!code || !name || common::trim(*name).empty()) return fail(8002);
  std::size_t count = nf ? nf->size() : other->size();
  if (*code < 0 || static_cast<std::size_t>(*code) >= count) return fail(8002);
  NamedSlot& slot = nf ? (*nf)[*code] : (*other)[*code];
  slot = NamedSlot{true, name->substr(0, width)};
  return ok();
}

Reply Commands::define_nao_fiscal() {
  return define_named(&s_.nonfiscal, nullptr, "CodNaoFiscal", "NomeNaoFiscal", 19);
}
Reply Commands::define_gerencial() {
  return define_named(nullptr, &s_.gerencial, "CodGerencial", "NomeGerencial", 17);
}
Reply Commands::define_departamento() {
  return define_named(nullptr, &s_.departments, "CodDepartamento", "NomeDepartamento", 10);
}

Reply Commands::acerta_horario_verao() {
  auto entering = a_.integer("EntradaHV");
  if (!entering || (*entering != 0 && *entering != 1)) return fail(8002);
  bool on = *entering == 1;
  if (on == s_.daylight_saving) return ok();
  s_.daylight_saving = on;
  s_.clock_offset_seconds += on ? 3600 : -3600;
  return ok();
}

Reply Commands::abre_gaveta() {
  auto t = p_.now();
  p_.drawer_open_until_ = t.hour * 3600 + t.minute * 60 + t.second + 2;
  return ok();
}

Reply Commands::avanca_papel() {
  if (s_.paper_out) return fail(8108);
  return ok();
}

Reply Commands::corta_papel() {
  if (s_.paper_out) return fail(8108);
  return ok();
}

Reply Commands::imprime_autenticacao() {
  if (s_.paper_out) return fail(8108);
  return ok();
}

Reply Commands::emite_dump_memoria() {
  p_.queue_memory_dump();
  return ok();
}

// --- day totals ----------------------------------------------------------------------------

Money DayTotals::net() const {
  Money sum = 0;
  for (Money v : totalizer) sum += v;
  return sum;
}

Money DayTotals::icms_tax(const std::array<Rate, kRateSlots>& rates) const {
  Money tax = 0;
  for (int i = 0; i < kRateSlots; ++i)
    if (rates[i].programmed && rates[i].icms) tax += totalizer[i] * rates[i].percent / 10000;
  return tax;
}

State State::factory() {
  State s;
  s.payment_forms[0] = PaymentForm{true, "Dinheiro", false};
  s.nonfiscal[0] = NamedSlot{true, "Suprimento"};
  s.nonfiscal[1] = NamedSlot{true, "Sangria"};
  s.gerencial[0] = NamedSlot{true, "Relatorio Geral"};
  return s;
}

}  // namespace ecf_sim
