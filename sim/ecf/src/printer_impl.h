#pragma once
// The command handlers of one request (private to the library).
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ecf_sim/page.h"
#include "ecf_sim/params.h"
#include "ecf_sim/printer.h"

namespace ecf_sim {

class Commands;

// The numbers a register name carried: the two-digit rate number ("nn") and the index
// in brackets; -1 where the name has none.
struct RegisterName {
  int slot = -1;
  int index = -1;
};

// One register of a table (registers.cpp): its name as the tables write it and how it
// is answered.
struct RegisterEntry {
  const char* name;
  Reply (*read)(Commands&, const RegisterName&);
};

// One command (commands.cpp): its name, its handler, and the parameters it accepts,
// separated by blanks. Any other parameter is refused.
struct CommandEntry {
  const char* name;
  Reply (Commands::*run)();
  const char* parameters;
};

class Commands {
 public:
  Commands(Printer& p, const Params& a);
  Reply run(std::string_view command);

  // The name tables, one per kind.
  static std::span<const CommandEntry> commands();
  static std::span<const RegisterEntry> integer_registers();
  static std::span<const RegisterEntry> money_registers();
  static std::span<const RegisterEntry> text_registers();
  static std::span<const RegisterEntry> indicator_registers();
  static std::span<const RegisterEntry> date_registers();
  static std::span<const RegisterEntry> time_registers();
  static std::span<const RegisterEntry> writable_integer_registers();
  static std::span<const RegisterEntry> writable_text_registers();
  // The register table a read or write command takes its name from; empty for the rest.
  static std::span<const RegisterEntry> registers_of(std::string_view command);
  Reply ok(std::string results = {});
  Reply fail(int code);

 private:
  // reads
  Reply le_aliquota();
  Reply le_data();
  Reply le_departamento();
  Reply le_gerencial();
  Reply le_hora();
  Reply le_impressao();
  Reply le_indicador();
  Reply le_inteiro();
  Reply le_meio_pagamento();
  Reply le_moeda();
  Reply le_nao_fiscal();
  Reply le_texto();
  // programming and devices
  Reply define_aliquota();
  Reply define_meio_pagamento();
  Reply define_nao_fiscal();
  Reply define_gerencial();
  Reply define_departamento();
  Reply define_named(std::array<NamedSlot, kNonFiscalSlots>* nf,
                     std::array<NamedSlot, kGerencialSlots>* other, const char* code_name,
                     const char* name_name, std::size_t width);
  Reply escreve_inteiro();
  Reply escreve_texto();
  Reply acerta_horario_verao();
  Reply abre_gaveta();
  Reply avanca_papel();
  Reply corta_papel();
  Reply imprime_autenticacao();
  Reply imprime_cheque();
  Reply emite_dump_memoria();
  // documents
  Reply abre_cupom_fiscal();
  Reply abre_cupom_nao_fiscal();
  Reply abre_gerencial();
  Reply abre_credito_debito();
  Reply vende_item();
  Reply emite_item_nao_fiscal();
  Reply acresce_item();
  Reply cancela_item();
  Reply acresce_subtotal();
  Reply paga_cupom();
  Reply imprime_texto();
  Reply identifica_consumidor();
  Reply encerra_documento();
  Reply cancela_cupom();
  Reply estorna_meio_pagamento();
  Reply estorna_credito_debito();
  Reply via_credito_debito();
  Reply imprime_cupom_adicional();
  Reply imprime_dados_departamento();
  // readings
  Reply emite_leitura_x();
  Reply emite_reducao_z();
  Reply emite_leitura_mf();
  Reply emite_leitura_fita_detalhe();

  // Answers the register named by the parameter from the table: 8003 for a name the
  // table does not hold, 8002 for a known name with a malformed index.
  Reply read_register(const char* parameter, std::span<const RegisterEntry> table);

  // reply shapes
  Reply integer_reply(int64_t v);
  Reply money_reply(Money v);
  Reply text_reply(const std::string& v);
  Reply indicator_reply(bool on);
  Reply date_reply(const Date& d);
  Reply time_reply(const DateTime& t);

  // state helpers
  Date today() const;
  bool z_pending() const;
  bool day_closed() const;
  int indicators() const;
  std::string state_name() const;
  const Reduction* reduction(int z) const;
  const Document* last_sale() const;
  Money doc_paid(int slot) const;
  int64_t tape_used() const;
  int payment_slot_of_params(const char* code_name, const char* name_name);
  Money doc_net(const Document& d) const;
  bool is_icms(int totalizer) const;

  // Destino="S" sends a reading to the line (true); without it, it prints (false);
  // nothing for any other destination.
  std::optional<bool> serial_destination() const;

  // document helpers
  int can_open(bool sale) const;
  void start_document(int kind, int phase);
  // Opens a coupon or non-fiscal receipt: its number from the counter, the consumer
  // from the parameters, the header line with the counter's label.
  Reply open_sale_document(int kind, int Document::*number, int& counter, const char* label);
  std::string header_line(const Document& d, const char* counter_label, int counter) const;
  std::string owner_header() const;
  std::string footer(const DateTime& t) const;
  void finish_document(const std::string& title, const std::string& final_lines);
  void print_body(const Page& page);
  std::vector<std::string> item_lines(const Item& it) const;
  std::string tax_word(int totalizer) const;
  void sale_effect(int totalizer, Money gross);
  void totals_section(Page& pg, const DayTotals& d, const std::array<Rate, kRateSlots>& rates,
                      int crz, int coo_now) const;
  std::string render_fiscal_memory(const std::vector<const Reduction*>& list, bool simplified,
                                   const std::string& range_line) const;
  std::string build_last_data(const Reduction& r) const;
  void emit_or_queue(const std::string& title, const Page& body, bool serial, int kind);

  Printer& p_;
  State& s_;
  const Params& a_;
  std::string command_;
};

}  // namespace ecf_sim
