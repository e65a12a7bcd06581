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

// Splits "Name[12]" into "Name" and 12; index -1 when there is no bracket.
std::pair<std::string, int> split_index(const std::string& name) {
  auto open = name.find('[');
  if (open == std::string::npos || name.back() != ']') return {name, -1};
  std::string inside = name.substr(open + 1, name.size() - open - 2);
  if (inside.empty() || inside.size() > 6) return {name, -2};
  for (char c : inside)
    if (c < '0' || c > '9') return {name, -2};
  return {name.substr(0, open), std::stoi(inside)};
}

bool digit(char c) {
  return c >= '0' && c <= '9';
}

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
  auto tp = std::chrono::system_clock::now() + std::chrono::seconds(state_.clock_offset_seconds);
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

Reply Commands::run(std::string_view command) {
  using Handler = Reply (Commands::*)();
  static const std::map<std::string, Handler> table = {
      {"abrecreditodebito", &Commands::abre_credito_debito},
      {"abrecupomfiscal", &Commands::abre_cupom_fiscal},
      {"abrecupomnaofiscal", &Commands::abre_cupom_nao_fiscal},
      {"abregaveta", &Commands::abre_gaveta},
      {"abregerencial", &Commands::abre_gerencial},
      {"acertahorarioverao", &Commands::acerta_horario_verao},
      {"acresceitemfiscal", &Commands::acresce_item},
      {"acresceitemnaofiscal", &Commands::acresce_item},
      {"acrescesubtotal", &Commands::acresce_subtotal},
      {"avancapapel", &Commands::avanca_papel},
      {"cancelacupom", &Commands::cancela_cupom},
      {"cancelaitemfiscal", &Commands::cancela_item},
      {"cancelaitemnaofiscal", &Commands::cancela_item},
      {"cortapapel", &Commands::corta_papel},
      {"definealiquota", &Commands::define_aliquota},
      {"definedepartamento", &Commands::define_departamento},
      {"definegerencial", &Commands::define_gerencial},
      {"definemeiopagamento", &Commands::define_meio_pagamento},
      {"definenaofiscal", &Commands::define_nao_fiscal},
      {"emiteitemnaofiscal", &Commands::emite_item_nao_fiscal},
      {"emiteleiturafitadetalhe", &Commands::emite_leitura_fita_detalhe},
      {"emiteleituramf", &Commands::emite_leitura_mf},
      {"emiteleiturax", &Commands::emite_leitura_x},
      {"emitereducaoz", &Commands::emite_reducao_z},
      {"emiteviacreditodebito", &Commands::via_credito_debito},
      {"encerradocumento", &Commands::encerra_documento},
      {"escreveinteiro", &Commands::escreve_inteiro},
      {"escrevetexto", &Commands::escreve_texto},
      {"estornacreditodebito", &Commands::estorna_credito_debito},
      {"estornameiopagamento", &Commands::estorna_meio_pagamento},
      {"identificaconsumidor", &Commands::identifica_consumidor},
      {"imprimeautenticacao", &Commands::imprime_autenticacao},
      {"imprimecheque", &Commands::imprime_cheque},
      {"imprimecupomadicional", &Commands::imprime_cupom_adicional},
      {"imprimedadosdepartamento", &Commands::imprime_dados_departamento},
      {"imprimetexto", &Commands::imprime_texto},
      {"pagacupom", &Commands::paga_cupom},
      {"reimprimeviacreditodebito", &Commands::via_credito_debito},
      {"vendeitem", &Commands::vende_item},
      {"emitedumpmemoria", &Commands::emite_dump_memoria},
      {"lealiquota", &Commands::le_aliquota},
      {"ledata", &Commands::le_data},
      {"ledepartamento", &Commands::le_departamento},
      {"legerencial", &Commands::le_gerencial},
      {"lehora", &Commands::le_hora},
      {"leimpressao", &Commands::le_impressao},
      {"leindicador", &Commands::le_indicador},
      {"leinteiro", &Commands::le_inteiro},
      {"lemeiopagamento", &Commands::le_meio_pagamento},
      {"lemoeda", &Commands::le_moeda},
      {"lenaofiscal", &Commands::le_nao_fiscal},
      {"letexto", &Commands::le_texto},
  };
  command_ = lower(command);
  auto it = table.find(command_);
  if (it == table.end()) return fail(8001);
  bool read = command_.rfind("le", 0) == 0;
  if (!read && s_.technical_intervention) return fail(8113);
  Reply r = (this->*(it->second))();
  if (!read && r.ok()) p_.changed_ = true;
  return r;
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

Reply Commands::le_inteiro() {
  auto name_opt = a_.get("NomeInteiro");
  if (!name_opt) return fail(8002);
  auto [name, idx] = split_index(*name_opt);
  std::string n = lower(name);
  if (idx == -2) return fail(8002);
  if (idx >= 0) {
    if (n == "con") return idx < kNonFiscalSlots ? integer_reply(s_.con[idx]) : fail(8005);
    if (n == "cer") return idx < kGerencialSlots ? integer_reply(s_.cer[idx]) : fail(8018);
    if (n == "cooreducao") {
      auto r = reduction(idx);
      return r ? integer_reply(r->coo) : fail(1001);
    }
    return fail(8003);
  }
  static const std::map<std::string, int State::*> counters = {
      {"coo", &State::coo},
      {"gnf", &State::gnf},
      {"cfc", &State::cfc},
      {"crz", &State::crz},
      {"cro", &State::cro},
      {"cfd", &State::cfd},
      {"cdc", &State::cdc},
      {"grg", &State::grg},
      {"nfc", &State::nfc},
      {"ccf", &State::ccf},
      {"ncn", &State::ncn},
      {"arredondamento", &State::truncate},
      {"espacamentolinhas", &State::line_spacing},
      {"imprimeitem1linha", &State::item_one_line},
      {"cooiniciodia", &State::coo_day_start},
  };
  if (auto it = counters.find(n); it != counters.end()) return integer_reply(s_.*(it->second));
  if (n == "contadordocultimoitemvendido") {
    const Document* d = last_sale();
    return integer_reply(d && !d->items.empty() ? d->items.back().number : 0);
  }
  if (n == "ecf") return integer_reply(s_.identity.ecf_number);
  if (n == "loja") return integer_reply(s_.identity.store);
  if (n == "tempooperacional") return integer_reply(s_.minutes_on);
  if (n == "tempoemitindodocfiscal") return integer_reply(s_.minutes_printing);
  if (n == "contadorproprietarios") return integer_reply(s_.owner.user_number);
  if (n == "crzrestantes") return integer_reply(3650 - s_.crz);
  if (n == "mfdlivre") return integer_reply(s_.tape_capacity - tape_used());
  if (n == "percentualmfdutilizada")
    return integer_reply(tape_used() * 10000 / std::max<int64_t>(1, s_.tape_capacity));
  if (n == "aliquotadisponivel") {
    for (int i = 0; i < kRateSlots; ++i)
      if (!s_.rates[i].programmed) return integer_reply(i);
    return integer_reply(kRateSlots);
  }
  if (n == "tipodocememissao") return integer_reply(s_.open.kind);
  if (n == "tipoultimodocemitido") return integer_reply(s_.last_document_kind);
  if (n == "indicadores") return integer_reply(indicators());
  if (n == "permiteiss") return integer_reply(15);
  return fail(8003);
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

Reply Commands::le_moeda() {
  auto name_opt = a_.get("NomeDadoMonetario");
  if (!name_opt) return fail(8002);
  auto [name, idx] = split_index(*name_opt);
  if (idx == -2) return fail(8002);
  std::string n = lower(name);
  const DayTotals& d = s_.day;
  if (idx >= 0) {
    // Per-reduction registers: AliquotannReducao[z] and friends carry the slot in the name.
    if (n.size() > 7 && n.ends_with("reducao")) {
      auto r = reduction(idx);
      if (!r) return fail(1001);
      std::string base = n.substr(0, n.size() - 7);
      const DayTotals& t = r->totals;
      if (base.starts_with("totalaliquota") && base.size() == 15 && digit(base[13]) &&
          digit(base[14])) {
        int slot = std::stoi(base.substr(13));
        return slot < kRateSlots ? money_reply(t.totalizer[slot]) : fail(8005);
      }
      if (base.starts_with("aliquota") && base.size() == 10 && digit(base[8]) && digit(base[9])) {
        int slot = std::stoi(base.substr(8));
        if (slot >= kRateSlots) return fail(8005);
        return money_reply(r->rates[slot].programmed ? r->rates[slot].percent : 0);
      }
      static const std::map<std::string, int> fixed = {
          {"totalaliquotaf1", kF},   {"totalaliquotai1", kI},   {"totalaliquotan1", kN},
          {"totalaliquotafs1", kFS}, {"totalaliquotais1", kIS}, {"totalaliquotans1", kNS}};
      if (auto it = fixed.find(base); it != fixed.end())
        return money_reply(t.totalizer[it->second]);
      if (base == "cancelamentosicms") return money_reply(t.cancel_icms);
      if (base == "cancelamentosissqn") return money_reply(t.cancel_iss);
      if (base == "descontos") return money_reply(t.discount_icms);
      if (base == "descontosissqn") return money_reply(t.discount_iss);
      if (base == "acrescimos") return money_reply(t.surcharge_icms);
      if (base == "acrescimosissqn") return money_reply(t.surcharge_iss);
      if (base == "vendabruta") return money_reply(t.gross);
      if (base == "gt") return money_reply(r->gt);
      return fail(8003);
    }
    if (n == "totaldiavaloraliquota") {
      if (idx >= kRateSlots || !s_.rates[idx].programmed) return fail(8005);
      return money_reply(d.totalizer[idx]);
    }
    if (n == "totaldianaofiscal") {
      if (idx >= kNonFiscalSlots || !s_.nonfiscal[idx].programmed) return fail(8005);
      return money_reply(d.nonfiscal[idx]);
    }
    if (n == "totaldiameiopagamento" || n == "totaldocmeiopagamento") {
      if (idx >= kPaymentSlots - 1 || !s_.payment_forms[idx + 1].programmed) return fail(8014);
      if (n == "totaldiameiopagamento") return money_reply(d.payment[idx + 1]);
      return money_reply(doc_paid(idx + 1));
    }
    if (n == "totaldiavalorvendasdepartamento" || n == "totaldiaquantidadevendasdepartamento") {
      if (idx >= kDepartmentSlots || !s_.departments[idx].programmed) return fail(8031);
      if (n == "totaldiavalorvendasdepartamento") return money_reply(d.department_value[idx]);
      // Quantities in thousandths, given in the money form (four decimals).
      return ok("ValorMoeda=" + decimal_text(d.department_quantity[idx] * 10, 4));
    }
    return fail(8003);
  }
  const Document* doc = last_sale();
  if (n == "gt") return money_reply(s_.gt);
  if (n == "gtinicial") return money_reply(s_.gt_initial);
  if (n == "totaldiacancelamentosicms") return money_reply(d.cancel_icms);
  if (n == "totaldiacancelamentosissqn") return money_reply(d.cancel_iss);
  if (n == "totaldiadescontos") return money_reply(d.discount_icms);
  if (n == "totaldiadescontosissqn") return money_reply(d.discount_iss);
  if (n == "totaldiaacrescimos") return money_reply(d.surcharge_icms);
  if (n == "totaldiaacrescimosissqn") return money_reply(d.surcharge_iss);
  if (n == "totaldiavendabruta") return money_reply(d.gross);
  if (n == "totaldiavendaliquida") return money_reply(d.net());
  if (n == "totaldiatroco") return money_reply(d.change);
  if (n == "totaldiaimpostoicms") return money_reply(d.icms_tax(s_.rates));
  if (n == "totaldiadinheiro") return money_reply(d.payment[0]);
  if (n == "totaldiaisencaoicms") return money_reply(d.totalizer[kI]);
  if (n == "totaldianaotributadoicms") return money_reply(d.totalizer[kN]);
  if (n == "totaldiasubstituicaotributariaicms") return money_reply(d.totalizer[kF]);
  if (n == "totaldiaisencaoissqn") return money_reply(d.totalizer[kIS]);
  if (n == "totaldianaotributadoissqn") return money_reply(d.totalizer[kNS]);
  if (n == "totaldiasubstituicaotributariaissqn") return money_reply(d.totalizer[kFS]);
  if (n == "totaldocliquido") return money_reply(doc ? doc_net(*doc) : 0);
  if (n == "totaldoctroco") return money_reply(doc ? doc->change : 0);
  if (n == "totaldocvalorpago") return money_reply(doc_paid(-1));
  if (n == "totaldocdinheiro") return money_reply(doc_paid(0));
  if (n == "totaldocbruto") return money_reply(doc ? doc->subtotal : 0);
  return fail(8003);
}

Money Commands::doc_paid(int slot) const {
  const Document* doc = last_sale();
  if (!doc) return 0;
  Money sum = 0;
  for (const auto& pay : doc->payments)
    if (slot < 0 || pay.form_slot == slot) sum += pay.value;
  return sum;
}

Reply Commands::le_texto() {
  auto name_opt = a_.get("NomeTexto");
  if (!name_opt) return fail(8002);
  std::string n = lower(*name_opt);
  const auto& id = s_.identity;
  const auto& o = s_.owner;
  if (n == "numeroserieecf") return text_reply(id.serial);
  if (n == "versaosw") return text_reply(id.firmware);
  if (n == "marca") return text_reply(id.brand);
  if (n == "modelo") return text_reply(id.model);
  if (n == "tipoecf") return text_reply(id.type);
  if (n == "cnpj") return text_reply(o.cnpj);
  if (n == "ie") return text_reply(o.ie);
  if (n == "im") return text_reply(o.im);
  if (n == "numeroseriemfd") return text_reply(id.mfd_serial);
  if (n == "simbolomoeda") return text_reply(id.currency_symbol);
  if (n == "nomemoedasingular") return text_reply(id.currency_singular);
  if (n == "nomemoedaplural") return text_reply(id.currency_plural);
  if (n == "cliche") return text_reply(o.name + "\\n" + o.address1 + "\\n" + o.address2);
  if (n == "nomeestadofiscal") return text_reply(state_name());
  if (n == "dadosultimareducaoz") {
    if (s_.reductions.empty()) return text_reply(std::string(616, '0'));
    return text_reply(s_.reductions.back().last_data);
  }
  if (n == "cmc7documento") {
    if (!s_.cheque_present) return fail(8101);
    return text_reply("<00100014<0180000015>000000000000:");
  }
  return fail(8003);
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

Reply Commands::le_indicador() {
  auto name_opt = a_.get("NomeIndicador");
  if (!name_opt) return fail(8002);
  auto [name, idx] = split_index(*name_opt);
  std::string n = lower(name);
  if (idx >= 0) {
    // AliquotannICMSReducao[z]
    if (n.size() == 21 && n.starts_with("aliquota") && n.ends_with("icmsreducao")) {
      auto r = reduction(idx);
      if (!r) return fail(1001);
      if (!digit(n[8]) || !digit(n[9])) return fail(8003);
      int slot = std::stoi(n.substr(8, 2));
      if (slot >= kRateSlots) return fail(8005);
      return indicator_reply(r->rates[slot].programmed && r->rates[slot].icms);
    }
    return fail(8003);
  }
  if (n == "sempapel") return indicator_reply(s_.paper_out);
  if (n == "sensorpoucopapel") return indicator_reply(s_.paper_near_end);
  if (n == "diafechado") return indicator_reply(day_closed());
  if (n == "horarioverao") return indicator_reply(s_.daylight_saving);
  if (n == "intervencaotecnica") return indicator_reply(s_.technical_intervention);
  if (n == "sensorgaveta") {
    auto t = p_.now();
    int secs = t.hour * 3600 + t.minute * 60 + t.second;
    return indicator_reply(p_.drawer_open_until_ > secs);
  }
  if (n == "sensorcheque") return indicator_reply(s_.cheque_present);
  return fail(8003);
}

Reply Commands::le_data() {
  auto name_opt = a_.get("NomeData");
  if (!name_opt) return fail(8002);
  auto [name, idx] = split_index(*name_opt);
  std::string n = lower(name);
  if (idx >= 0) {
    if (n != "datareducao") return fail(8003);
    auto r = reduction(idx);
    return r ? date_reply(r->movement) : fail(1001);
  }
  if (n == "data") return date_reply(today());
  if (n == "dataabertura") return s_.movement.empty() ? fail(8101) : date_reply(s_.movement);
  if (n == "dataultimodoc") {
    if (s_.tape.empty()) return fail(8089);
    return date_reply(s_.tape.back().issued.date);
  }
  return fail(8003);
}

Reply Commands::le_hora() {
  auto name_opt = a_.get("NomeHora");
  if (!name_opt) return fail(8002);
  auto [name, idx] = split_index(*name_opt);
  std::string n = lower(name);
  if (idx >= 0) {
    if (n != "horareducao") return fail(8003);
    auto r = reduction(idx);
    return r ? time_reply(r->issued) : fail(1001);
  }
  if (n == "hora") return time_reply(p_.now());
  if (n == "horaultimodoc") {
    if (s_.tape.empty()) return fail(8089);
    return time_reply(s_.tape.back().issued);
  }
  return fail(8003);
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
  bool icms = a_.boolean("AliquotaICMS").value_or(true);
  s_.rates[*slot] = Rate{true, icms, static_cast<int>(*percent)};
  return ok();
}

Reply Commands::define_meio_pagamento() {
  auto name = a_.get("NomeMeioPagamento");
  if (!name || common::trim(*name).empty()) return fail(8002);
  bool linked = a_.boolean("PermiteVinculado").value_or(false);
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

Reply Commands::escreve_inteiro() {
  auto name = a_.get("NomeInteiro");
  auto value = a_.integer("ValorInteiro");
  if (!name || !value) return fail(8002);
  std::string n = lower(*name);
  if (n == "arredondamento") {
    if (*value != 0 && *value != 1) return fail(8002);
    if (s_.open.kind != kNoDocument) return fail(8116);
    s_.truncate = static_cast<int>(*value);
  } else if (n == "espacamentolinhas") {
    if (*value < 0 || *value > 255) return fail(8002);
    s_.line_spacing = static_cast<int>(*value);
  } else if (n == "imprimeitem1linha") {
    s_.item_one_line = *value ? 1 : 0;
  } else {
    return fail(8003);
  }
  return ok();
}

Reply Commands::escreve_texto() {
  auto name = a_.get("NomeTexto");
  auto value = a_.get("ValorTexto");
  if (!name || !value) return fail(8002);
  std::string n = lower(*name);
  if (n == "nomemoedasingular") {
    s_.identity.currency_singular = value->substr(0, 19);
  } else if (n == "nomemoedaplural") {
    s_.identity.currency_plural = value->substr(0, 22);
  } else if (n == "simbolomoeda") {
    if (value->empty() || value->size() > 4) return fail(8002);
    if (s_.open.kind != kNoDocument) return fail(8116);
    s_.identity.currency_symbol = *value;
    auto t = p_.now();
    s_.identity.currency_since = t;
  } else {
    return fail(8003);
  }
  return ok();
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
