// Every register the host can read or write, one table per kind. A name the tables do
// not hold is answered with ErroCMDRegistradorInexistente, as the printer does; nothing
// is answered with a made-up value.
//
// How a name is written in a table: as the host sends it, except that "nn" (lower case)
// stands for a two-digit rate number (00 to 15) and a lower-case letter in brackets
// ("[n]", "[z]", "[c]") for a decimal index; the brackets themselves are sent. So
// "AliquotannReducao[z]" matches "Aliquota03Reducao[12]". Names match without regard
// to case.
#include <cctype>

#include "ecf_sim/page.h"
#include "printer_impl.h"

namespace ecf_sim {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

char fold(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// What a sent name is against one table name: no match, a match (with the numbers it
// carried), or the right name with an index that is not a number (a bad parameter).
enum class Fit { kNo, kYes, kBadIndex };

Fit fit(std::string_view pattern, std::string_view sent, RegisterName& out) {
  out = RegisterName{};
  std::size_t p = 0, s = 0;
  while (p < pattern.size()) {
    if (pattern.compare(p, 2, "nn") == 0) {
      if (s + 2 > sent.size() || !is_digit(sent[s]) || !is_digit(sent[s + 1])) return Fit::kNo;
      out.slot = (sent[s] - '0') * 10 + (sent[s + 1] - '0');
      p += 2;
      s += 2;
      continue;
    }
    if (pattern[p] == '[') {
      // "[x]" closes every indexed name.
      if (s >= sent.size() || sent[s] != '[') return Fit::kNo;
      if (sent.back() != ']') return Fit::kBadIndex;
      std::string_view inside = sent.substr(s + 1, sent.size() - s - 2);
      if (inside.empty() || inside.size() > 6) return Fit::kBadIndex;
      int value = 0;
      for (char c : inside) {
        if (!is_digit(c)) return Fit::kBadIndex;
        value = value * 10 + (c - '0');
      }
      out.index = value;
      return Fit::kYes;
    }
    if (s >= sent.size() || fold(pattern[p]) != fold(sent[s])) return Fit::kNo;
    ++p;
    ++s;
  }
  return s == sent.size() ? Fit::kYes : Fit::kNo;
}

}  // namespace

Reply Commands::read_register(const char* parameter, std::span<const RegisterEntry> table) {
  auto name = a_.get(parameter);
  if (!name) return fail(8002);
  bool bad_index = false;
  for (const RegisterEntry& entry : table) {
    RegisterName found;
    switch (fit(entry.name, *name, found)) {
      case Fit::kYes:
        return entry.read(*this, found);
      case Fit::kBadIndex:
        bad_index = true;
        break;
      case Fit::kNo:
        break;
    }
  }
  return fail(bad_index ? 8002 : 8003);
}

// --- LeInteiro (NomeInteiro) -----------------------------------------------------------------

std::span<const RegisterEntry> Commands::integer_registers() {
  using C = Commands;
  using N = RegisterName;
  static const RegisterEntry table[] = {
      {"COO", [](C& c, const N&) { return c.integer_reply(c.s_.coo); }},
      {"GNF", [](C& c, const N&) { return c.integer_reply(c.s_.gnf); }},
      {"CFC", [](C& c, const N&) { return c.integer_reply(c.s_.cfc); }},
      {"CRZ", [](C& c, const N&) { return c.integer_reply(c.s_.crz); }},
      {"CRO", [](C& c, const N&) { return c.integer_reply(c.s_.cro); }},
      {"CFD", [](C& c, const N&) { return c.integer_reply(c.s_.cfd); }},
      {"CDC", [](C& c, const N&) { return c.integer_reply(c.s_.cdc); }},
      {"GRG", [](C& c, const N&) { return c.integer_reply(c.s_.grg); }},
      {"NFC", [](C& c, const N&) { return c.integer_reply(c.s_.nfc); }},
      {"CCF", [](C& c, const N&) { return c.integer_reply(c.s_.ccf); }},
      {"NCN", [](C& c, const N&) { return c.integer_reply(c.s_.ncn); }},
      {"COOInicioDia", [](C& c, const N&) { return c.integer_reply(c.s_.coo_day_start); }},
      {"Arredondamento", [](C& c, const N&) { return c.integer_reply(c.s_.truncate); }},
      {"EspacamentoLinhas", [](C& c, const N&) { return c.integer_reply(c.s_.line_spacing); }},
      {"ImprimeItem1Linha", [](C& c, const N&) { return c.integer_reply(c.s_.item_one_line); }},
      {"ContadorDocUltimoItemVendido",
       [](C& c, const N&) {
         const Document* d = c.last_sale();
         return c.integer_reply(d && !d->items.empty() ? d->items.back().number : 0);
       }},
      {"ECF", [](C& c, const N&) { return c.integer_reply(c.s_.identity.ecf_number); }},
      {"Loja", [](C& c, const N&) { return c.integer_reply(c.s_.identity.store); }},
      {"TempoOperacional", [](C& c, const N&) { return c.integer_reply(c.s_.minutes_on); }},
      {"TempoEmitindoDocFiscal",
       [](C& c, const N&) { return c.integer_reply(c.s_.minutes_printing); }},
      {"ContadorProprietarios",
       [](C& c, const N&) { return c.integer_reply(c.s_.owner.user_number); }},
      {"CRZRestantes", [](C& c, const N&) { return c.integer_reply(3650 - c.s_.crz); }},
      {"MFDLivre",
       [](C& c, const N&) { return c.integer_reply(c.s_.tape_capacity - c.tape_used()); }},
      {"PercentualMFDUtilizada",
       [](C& c, const N&) {
         return c.integer_reply(c.tape_used() * 10000 / std::max<int64_t>(1, c.s_.tape_capacity));
       }},
      {"AliquotaDisponivel",
       [](C& c, const N&) {
         for (int i = 0; i < kRateSlots; ++i)
           if (!c.s_.rates[i].programmed) return c.integer_reply(i);
         return c.integer_reply(kRateSlots);
       }},
      {"TipoDocEmEmissao", [](C& c, const N&) { return c.integer_reply(c.s_.open.kind); }},
      {"TipoUltimoDocEmitido",
       [](C& c, const N&) { return c.integer_reply(c.s_.last_document_kind); }},
      {"Indicadores", [](C& c, const N&) { return c.integer_reply(c.indicators()); }},
      {"PermiteISS", [](C& c, const N&) { return c.integer_reply(15); }},
      {"CON[n]",
       [](C& c, const N& n) {
         return n.index < kNonFiscalSlots ? c.integer_reply(c.s_.con[n.index]) : c.fail(8005);
       }},
      {"CER[n]",
       [](C& c, const N& n) {
         return n.index < kGerencialSlots ? c.integer_reply(c.s_.cer[n.index]) : c.fail(8018);
       }},
      {"COOReducao[z]",
       [](C& c, const N& n) {
         const Reduction* r = c.reduction(n.index);
         return r ? c.integer_reply(r->coo) : c.fail(1001);
       }},
  };
  return table;
}

// --- LeMoeda (NomeDadoMonetario) -------------------------------------------------------------

std::span<const RegisterEntry> Commands::money_registers() {
  using C = Commands;
  using N = RegisterName;
  // A total of reduction z: the reduction must exist (1001), a rate number must be a
  // slot (8005).
  static constexpr auto z = [](C& c, const N& n, auto pick) {
    const Reduction* r = c.reduction(n.index);
    if (!r) return c.fail(1001);
    if (n.slot >= kRateSlots) return c.fail(8005);
    return c.money_reply(pick(*r, n.slot));
  };
  static const RegisterEntry table[] = {
      {"GT", [](C& c, const N&) { return c.money_reply(c.s_.gt); }},
      {"GTInicial", [](C& c, const N&) { return c.money_reply(c.s_.gt_initial); }},
      {"TotalDiaCancelamentosICMS",
       [](C& c, const N&) { return c.money_reply(c.s_.day.cancel_icms); }},
      {"TotalDiaCancelamentosISSQN",
       [](C& c, const N&) { return c.money_reply(c.s_.day.cancel_iss); }},
      {"TotalDiaDescontos", [](C& c, const N&) { return c.money_reply(c.s_.day.discount_icms); }},
      {"TotalDiaDescontosISSQN",
       [](C& c, const N&) { return c.money_reply(c.s_.day.discount_iss); }},
      {"TotalDiaAcrescimos", [](C& c, const N&) { return c.money_reply(c.s_.day.surcharge_icms); }},
      {"TotalDiaAcrescimosISSQN",
       [](C& c, const N&) { return c.money_reply(c.s_.day.surcharge_iss); }},
      {"TotalDiaVendaBruta", [](C& c, const N&) { return c.money_reply(c.s_.day.gross); }},
      {"TotalDiaVendaLiquida", [](C& c, const N&) { return c.money_reply(c.s_.day.net()); }},
      {"TotalDiaTroco", [](C& c, const N&) { return c.money_reply(c.s_.day.change); }},
      {"TotalDiaImpostoICMS",
       [](C& c, const N&) { return c.money_reply(c.s_.day.icms_tax(c.s_.rates)); }},
      {"TotalDiaDinheiro", [](C& c, const N&) { return c.money_reply(c.s_.day.payment[0]); }},
      {"TotalDiaIsencaoICMS", [](C& c, const N&) { return c.money_reply(c.s_.day.totalizer[kI]); }},
      {"TotalDiaNaoTributadoICMS",
       [](C& c, const N&) { return c.money_reply(c.s_.day.totalizer[kN]); }},
      {"TotalDiaSubstituicaoTributariaICMS",
       [](C& c, const N&) { return c.money_reply(c.s_.day.totalizer[kF]); }},
      {"TotalDiaIsencaoISSQN",
       [](C& c, const N&) { return c.money_reply(c.s_.day.totalizer[kIS]); }},
      {"TotalDiaNaoTributadoISSQN",
       [](C& c, const N&) { return c.money_reply(c.s_.day.totalizer[kNS]); }},
      {"TotalDiaSubstituicaoTributariaISSQN",
       [](C& c, const N&) { return c.money_reply(c.s_.day.totalizer[kFS]); }},
      {"TotalDocLiquido",
       [](C& c, const N&) {
         const Document* d = c.last_sale();
         return c.money_reply(d ? c.doc_net(*d) : 0);
       }},
      {"TotalDocTroco",
       [](C& c, const N&) {
         const Document* d = c.last_sale();
         return c.money_reply(d ? d->change : 0);
       }},
      {"TotalDocValorPago", [](C& c, const N&) { return c.money_reply(c.doc_paid(-1)); }},
      {"TotalDocDinheiro", [](C& c, const N&) { return c.money_reply(c.doc_paid(0)); }},
      {"TotalDocBruto",
       [](C& c, const N&) {
         const Document* d = c.last_sale();
         return c.money_reply(d ? d->subtotal : 0);
       }},
      {"TotalDiaValorAliquota[n]",
       [](C& c, const N& n) {
         if (n.index >= kRateSlots || !c.s_.rates[n.index].programmed) return c.fail(8005);
         return c.money_reply(c.s_.day.totalizer[n.index]);
       }},
      {"TotalDiaNaoFiscal[n]",
       [](C& c, const N& n) {
         if (n.index >= kNonFiscalSlots || !c.s_.nonfiscal[n.index].programmed) return c.fail(8005);
         return c.money_reply(c.s_.day.nonfiscal[n.index]);
       }},
      {"TotalDiaMeioPagamento[c]",
       [](C& c, const N& n) {
         if (n.index >= kPaymentSlots - 1 || !c.s_.payment_forms[n.index + 1].programmed)
           return c.fail(8014);
         return c.money_reply(c.s_.day.payment[n.index + 1]);
       }},
      {"TotalDocMeioPagamento[c]",
       [](C& c, const N& n) {
         if (n.index >= kPaymentSlots - 1 || !c.s_.payment_forms[n.index + 1].programmed)
           return c.fail(8014);
         return c.money_reply(c.doc_paid(n.index + 1));
       }},
      {"TotalDiaValorVendasDepartamento[n]",
       [](C& c, const N& n) {
         if (n.index >= kDepartmentSlots || !c.s_.departments[n.index].programmed)
           return c.fail(8031);
         return c.money_reply(c.s_.day.department_value[n.index]);
       }},
      {"TotalDiaQuantidadeVendasDepartamento[n]",
       [](C& c, const N& n) {
         if (n.index >= kDepartmentSlots || !c.s_.departments[n.index].programmed)
           return c.fail(8031);
         // Quantities in thousandths, given in the money form (four decimals).
         return c.ok("ValorMoeda=" + decimal_text(c.s_.day.department_quantity[n.index] * 10, 4));
       }},
      // Per reduction z.
      {"CancelamentosICMSReducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.cancel_icms; });
       }},
      {"CancelamentosISSQNReducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.cancel_iss; });
       }},
      {"DescontosReducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.discount_icms; });
       }},
      {"DescontosISSQNReducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.discount_iss; });
       }},
      {"AcrescimosReducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.surcharge_icms; });
       }},
      {"AcrescimosISSQNReducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.surcharge_iss; });
       }},
      {"TotalAliquotaF1Reducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.totalizer[kF]; });
       }},
      {"TotalAliquotaI1Reducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.totalizer[kI]; });
       }},
      {"TotalAliquotaN1Reducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.totalizer[kN]; });
       }},
      {"TotalAliquotaFS1Reducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.totalizer[kFS]; });
       }},
      {"TotalAliquotaIS1Reducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.totalizer[kIS]; });
       }},
      {"TotalAliquotaNS1Reducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.totalizer[kNS]; });
       }},
      {"VendaBrutaReducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int) { return r.totals.gross; });
       }},
      {"GTReducao[z]",
       [](C& c, const N& n) { return z(c, n, [](const Reduction& r, int) { return r.gt; }); }},
      {"AliquotannReducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int slot) -> Money {
           return r.rates[slot].programmed ? r.rates[slot].percent : 0;
         });
       }},
      {"TotalAliquotannReducao[z]",
       [](C& c, const N& n) {
         return z(c, n, [](const Reduction& r, int slot) { return r.totals.totalizer[slot]; });
       }},
  };
  return table;
}

// --- LeTexto (NomeTexto) ---------------------------------------------------------------------

std::span<const RegisterEntry> Commands::text_registers() {
  using C = Commands;
  using N = RegisterName;
  static const RegisterEntry table[] = {
      {"NumeroSerieECF", [](C& c, const N&) { return c.text_reply(c.s_.identity.serial); }},
      {"VersaoSW", [](C& c, const N&) { return c.text_reply(c.s_.identity.firmware); }},
      {"Marca", [](C& c, const N&) { return c.text_reply(c.s_.identity.brand); }},
      {"Modelo", [](C& c, const N&) { return c.text_reply(c.s_.identity.model); }},
      {"TipoECF", [](C& c, const N&) { return c.text_reply(c.s_.identity.type); }},
      {"CNPJ", [](C& c, const N&) { return c.text_reply(c.s_.owner.cnpj); }},
      {"IE", [](C& c, const N&) { return c.text_reply(c.s_.owner.ie); }},
      {"IM", [](C& c, const N&) { return c.text_reply(c.s_.owner.im); }},
      {"NumeroSerieMFD", [](C& c, const N&) { return c.text_reply(c.s_.identity.mfd_serial); }},
      {"SimboloMoeda", [](C& c, const N&) { return c.text_reply(c.s_.identity.currency_symbol); }},
      {"NomeMoedaSingular",
       [](C& c, const N&) { return c.text_reply(c.s_.identity.currency_singular); }},
      {"NomeMoedaPlural",
       [](C& c, const N&) { return c.text_reply(c.s_.identity.currency_plural); }},
      {"Cliche",
       [](C& c, const N&) {
         const auto& o = c.s_.owner;
         return c.text_reply(o.name + "\\n" + o.address1 + "\\n" + o.address2);
       }},
      {"NomeEstadoFiscal", [](C& c, const N&) { return c.text_reply(c.state_name()); }},
      {"DadosUltimaReducaoZ",
       [](C& c, const N&) {
         if (c.s_.reductions.empty()) return c.text_reply(std::string(616, '0'));
         return c.text_reply(c.s_.reductions.back().last_data);
       }},
      {"CMC7Documento",
       [](C& c, const N&) {
         if (!c.s_.cheque_present) return c.fail(8101);
         return c.text_reply("<00100014<0180000015>000000000000:");
       }},
  };
  return table;
}

// --- LeIndicador (NomeIndicador) -------------------------------------------------------------

std::span<const RegisterEntry> Commands::indicator_registers() {
  using C = Commands;
  using N = RegisterName;
  static const RegisterEntry table[] = {
      {"SemPapel", [](C& c, const N&) { return c.indicator_reply(c.s_.paper_out); }},
      {"SensorPoucoPapel", [](C& c, const N&) { return c.indicator_reply(c.s_.paper_near_end); }},
      {"DiaFechado", [](C& c, const N&) { return c.indicator_reply(c.day_closed()); }},
      {"HorarioVerao", [](C& c, const N&) { return c.indicator_reply(c.s_.daylight_saving); }},
      {"IntervencaoTecnica",
       [](C& c, const N&) { return c.indicator_reply(c.s_.technical_intervention); }},
      {"SensorGaveta",
       [](C& c, const N&) {
         auto t = c.p_.now();
         int secs = t.hour * 3600 + t.minute * 60 + t.second;
         return c.indicator_reply(c.p_.drawer_open_until_ > secs);
       }},
      {"SensorCheque", [](C& c, const N&) { return c.indicator_reply(c.s_.cheque_present); }},
      {"AliquotannICMSReducao[z]",
       [](C& c, const N& n) {
         const Reduction* r = c.reduction(n.index);
         if (!r) return c.fail(1001);
         if (n.slot >= kRateSlots) return c.fail(8005);
         return c.indicator_reply(r->rates[n.slot].programmed && r->rates[n.slot].icms);
       }},
  };
  return table;
}

// --- LeData (NomeData) and LeHora (NomeHora) -------------------------------------------------

std::span<const RegisterEntry> Commands::date_registers() {
  using C = Commands;
  using N = RegisterName;
  static const RegisterEntry table[] = {
      {"Data", [](C& c, const N&) { return c.date_reply(c.today()); }},
      {"DataAbertura",
       [](C& c, const N&) {
         return c.s_.movement.empty() ? c.fail(8101) : c.date_reply(c.s_.movement);
       }},
      {"DataUltimoDoc",
       [](C& c, const N&) {
         if (c.s_.tape.empty()) return c.fail(8089);
         return c.date_reply(c.s_.tape.back().issued.date);
       }},
      {"DataReducao[z]",
       [](C& c, const N& n) {
         const Reduction* r = c.reduction(n.index);
         return r ? c.date_reply(r->movement) : c.fail(1001);
       }},
  };
  return table;
}

std::span<const RegisterEntry> Commands::time_registers() {
  using C = Commands;
  using N = RegisterName;
  static const RegisterEntry table[] = {
      {"Hora", [](C& c, const N&) { return c.time_reply(c.p_.now()); }},
      {"HoraUltimoDoc",
       [](C& c, const N&) {
         if (c.s_.tape.empty()) return c.fail(8089);
         return c.time_reply(c.s_.tape.back().issued);
       }},
      {"HoraReducao[z]",
       [](C& c, const N& n) {
         const Reduction* r = c.reduction(n.index);
         return r ? c.time_reply(r->issued) : c.fail(1001);
       }},
  };
  return table;
}

Reply Commands::le_inteiro() {
  return read_register("NomeInteiro", integer_registers());
}
Reply Commands::le_moeda() {
  return read_register("NomeDadoMonetario", money_registers());
}
Reply Commands::le_texto() {
  return read_register("NomeTexto", text_registers());
}
Reply Commands::le_indicador() {
  return read_register("NomeIndicador", indicator_registers());
}
Reply Commands::le_data() {
  return read_register("NomeData", date_registers());
}
Reply Commands::le_hora() {
  return read_register("NomeHora", time_registers());
}

// --- EscreveInteiro and EscreveTexto ---------------------------------------------------------

std::span<const RegisterEntry> Commands::writable_integer_registers() {
  using C = Commands;
  using N = RegisterName;
  static const RegisterEntry table[] = {
      {"Arredondamento",
       [](C& c, const N&) {
         auto value = c.a_.integer("ValorInteiro");
         if (!value || (*value != 0 && *value != 1)) return c.fail(8002);
         if (c.s_.open.kind != kNoDocument) return c.fail(8116);
         c.s_.truncate = static_cast<int>(*value);
         return c.ok();
       }},
      {"EspacamentoLinhas",
       [](C& c, const N&) {
         auto value = c.a_.integer("ValorInteiro");
         if (!value || *value < 0 || *value > 255) return c.fail(8002);
         c.s_.line_spacing = static_cast<int>(*value);
         return c.ok();
       }},
      {"ImprimeItem1Linha",
       [](C& c, const N&) {
         auto value = c.a_.integer("ValorInteiro");
         if (!value) return c.fail(8002);
         c.s_.item_one_line = *value ? 1 : 0;
         return c.ok();
       }},
  };
  return table;
}

std::span<const RegisterEntry> Commands::writable_text_registers() {
  using C = Commands;
  using N = RegisterName;
  static const RegisterEntry table[] = {
      {"NomeMoedaSingular",
       [](C& c, const N&) {
         auto value = c.a_.get("ValorTexto");
         if (!value) return c.fail(8002);
         c.s_.identity.currency_singular = value->substr(0, 19);
         return c.ok();
       }},
      {"NomeMoedaPlural",
       [](C& c, const N&) {
         auto value = c.a_.get("ValorTexto");
         if (!value) return c.fail(8002);
         c.s_.identity.currency_plural = value->substr(0, 22);
         return c.ok();
       }},
      {"SimboloMoeda",
       [](C& c, const N&) {
         auto value = c.a_.get("ValorTexto");
         if (!value || value->empty() || value->size() > 4) return c.fail(8002);
         if (c.s_.open.kind != kNoDocument) return c.fail(8116);
         c.s_.identity.currency_symbol = *value;
         c.s_.identity.currency_since = c.p_.now();
         return c.ok();
       }},
  };
  return table;
}

Reply Commands::escreve_inteiro() {
  return read_register("NomeInteiro", writable_integer_registers());
}
Reply Commands::escreve_texto() {
  return read_register("NomeTexto", writable_text_registers());
}

}  // namespace ecf_sim
