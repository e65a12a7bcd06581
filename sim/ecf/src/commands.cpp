// Every command the printer knows, with the parameters each accepts. A command not in
// the table is answered with ErroCMDComandoInexistente, a parameter its entry does not
// list with ErroCMDParametroInvalido, as the printer does.
#include <cctype>

#include "printer_impl.h"

namespace ecf_sim {

namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// True when name is one of the blank-separated names of list (without regard to case).
bool listed(std::string_view list, const std::string& name) {
  std::string wanted = lower(name);
  std::size_t i = 0;
  while (i < list.size()) {
    std::size_t end = list.find(' ', i);
    if (end == std::string_view::npos) end = list.size();
    if (end > i && lower(list.substr(i, end - i)) == wanted) return true;
    i = end + 1;
  }
  return false;
}

}  // namespace

std::span<const CommandEntry> Commands::commands() {
  using C = Commands;
  static const CommandEntry table[] = {
      // documents
      {"AbreCupomFiscal", &C::abre_cupom_fiscal, "IdConsumidor NomeConsumidor EnderecoConsumidor"},
      {"AbreCupomNaoFiscal", &C::abre_cupom_nao_fiscal,
       "IdConsumidor NomeConsumidor EnderecoConsumidor"},
      {"AbreGerencial", &C::abre_gerencial, "CodGerencial"},
      {"AbreCreditoDebito", &C::abre_credito_debito,
       "CodMeioPagamento NomeMeioPagamento Valor COO"},
      {"VendeItem", &C::vende_item,
       "AliquotaICMS CodAliquota PercentualAliquota CodProduto NomeProduto PrecoUnitario "
       "Quantidade Unidade CodDepartamento"},
      {"EmiteItemNaoFiscal", &C::emite_item_nao_fiscal, "CodNaoFiscal Valor"},
      {"AcresceItemFiscal", &C::acresce_item, "Cancelar NumItem ValorAcrescimo ValorPercentual"},
      {"AcresceItemNaoFiscal", &C::acresce_item, "Cancelar NumItem ValorAcrescimo ValorPercentual"},
      {"CancelaItemFiscal", &C::cancela_item, "NumItem"},
      {"CancelaItemNaoFiscal", &C::cancela_item, "NumItem"},
      {"AcresceSubtotal", &C::acresce_subtotal, "Cancelar ValorAcrescimo ValorPercentual"},
      {"PagaCupom", &C::paga_cupom, "CodMeioPagamento NomeMeioPagamento Valor TextoAdicional"},
      {"ImprimeTexto", &C::imprime_texto, "TextoLivre"},
      {"IdentificaConsumidor", &C::identifica_consumidor,
       "IdConsumidor NomeConsumidor EnderecoConsumidor"},
      {"EncerraDocumento", &C::encerra_documento, "Operador"},
      {"CancelaCupom", &C::cancela_cupom, "Operador"},
      {"EstornaMeioPagamento", &C::estorna_meio_pagamento,
       "CodMeioPagamentoOrigem CodMeioPagamentoDestino Valor"},
      {"EstornaCreditoDebito", &C::estorna_credito_debito, "COO"},
      {"EmiteViaCreditoDebito", &C::via_credito_debito, ""},
      {"ReimprimeViaCreditoDebito", &C::via_credito_debito, ""},
      {"ImprimeCupomAdicional", &C::imprime_cupom_adicional, ""},
      {"ImprimeDadosDepartamento", &C::imprime_dados_departamento, ""},
      // readings
      {"EmiteLeituraX", &C::emite_leitura_x, "Destino Operador"},
      {"EmiteReducaoZ", &C::emite_reducao_z, "Hora Operador"},
      {"EmiteLeituraMF", &C::emite_leitura_mf,
       "DataInicial DataFinal ReducaoInicial ReducaoFinal LeituraSimplificada Destino Operador"},
      {"EmiteLeituraFitaDetalhe", &C::emite_leitura_fita_detalhe,
       "COOInicial COOFinal DataInicial DataFinal Destino Proprietario Operador"},
      {"EmiteDumpMemoria", &C::emite_dump_memoria, ""},
      // programming and devices
      {"DefineAliquota", &C::define_aliquota,
       "CodAliquotaProgramavel PercentualAliquota AliquotaICMS"},
      {"DefineMeioPagamento", &C::define_meio_pagamento,
       "NomeMeioPagamento PermiteVinculado CodMeioPagamentoProgram"},
      {"DefineNaoFiscal", &C::define_nao_fiscal, "CodNaoFiscal NomeNaoFiscal"},
      {"DefineGerencial", &C::define_gerencial, "CodGerencial NomeGerencial"},
      {"DefineDepartamento", &C::define_departamento, "CodDepartamento NomeDepartamento"},
      {"EscreveInteiro", &C::escreve_inteiro, "NomeInteiro ValorInteiro"},
      {"EscreveTexto", &C::escreve_texto, "NomeTexto ValorTexto"},
      {"AcertaHorarioVerao", &C::acerta_horario_verao, "EntradaHV"},
      {"AbreGaveta", &C::abre_gaveta, ""},
      {"AvancaPapel", &C::avanca_papel, "Avanco"},
      {"CortaPapel", &C::corta_papel, "TipoCorte"},
      {"ImprimeAutenticacao", &C::imprime_autenticacao, "TextoAutenticacao"},
      {"ImprimeCheque", &C::imprime_cheque,
       "Cidade Data Favorecido Valor MensagemDocLinha1 MensagemDocLinha2 HPosAno HPosCidade "
       "HPosDia HPosExtensoLinha1 HPosExtensoLinha2 HPosFavorecido HPosMes HPosMsgLinha1 "
       "HPosValor VPosCidade VPosExtensoLinha1 VPosExtensoLinha2 VPosFavorecido VPosMsgLinha1 "
       "VPosValor"},
      // reads: every command whose name begins with "Le" changes nothing
      {"LeInteiro", &C::le_inteiro, "NomeInteiro"},
      {"LeMoeda", &C::le_moeda, "NomeDadoMonetario"},
      {"LeTexto", &C::le_texto, "NomeTexto"},
      {"LeIndicador", &C::le_indicador, "NomeIndicador"},
      {"LeData", &C::le_data, "NomeData"},
      {"LeHora", &C::le_hora, "NomeHora"},
      {"LeAliquota", &C::le_aliquota, "CodAliquotaProgramavel"},
      {"LeMeioPagamento", &C::le_meio_pagamento,
       "CodMeioPagamentoProgram CodMeioPagamento NomeMeioPagamento"},
      {"LeNaoFiscal", &C::le_nao_fiscal, "CodNaoFiscal NomeNaoFiscal"},
      {"LeGerencial", &C::le_gerencial, "CodGerencial"},
      {"LeDepartamento", &C::le_departamento, "CodDepartamento"},
      {"LeImpressao", &C::le_impressao, ""},
  };
  return table;
}

std::span<const RegisterEntry> Commands::registers_of(std::string_view command) {
  static const std::pair<const char*, std::span<const RegisterEntry> (*)()> kinds[] = {
      {"leinteiro", &Commands::integer_registers},
      {"lemoeda", &Commands::money_registers},
      {"letexto", &Commands::text_registers},
      {"leindicador", &Commands::indicator_registers},
      {"ledata", &Commands::date_registers},
      {"lehora", &Commands::time_registers},
      {"escreveinteiro", &Commands::writable_integer_registers},
      {"escrevetexto", &Commands::writable_text_registers},
  };
  std::string wanted = lower(command);
  for (const auto& [name, table] : kinds)
    if (wanted == name) return table();
  return {};
}

Reply Commands::run(std::string_view command) {
  command_ = lower(command);
  const CommandEntry* entry = nullptr;
  for (const CommandEntry& e : commands())
    if (lower(e.name) == command_) entry = &e;
  if (!entry) return fail(8001);
  for (const std::string& name : a_.names())
    if (!listed(entry->parameters, name)) return fail(8002);
  bool read = command_.rfind("le", 0) == 0;
  if (!read && s_.technical_intervention) return fail(8113);
  Reply r = (this->*(entry->run))();
  if (!read && r.ok()) p_.changed_ = true;
  return r;
}

// --- the names, for tools and tests ----------------------------------------------------------

std::vector<std::string> Printer::known_commands() {
  std::vector<std::string> out;
  for (const CommandEntry& e : Commands::commands()) out.emplace_back(e.name);
  return out;
}

std::vector<std::string> Printer::known_parameters(std::string_view command) {
  std::vector<std::string> out;
  for (const CommandEntry& e : Commands::commands()) {
    if (lower(e.name) != lower(command)) continue;
    std::string_view list = e.parameters;
    std::size_t i = 0;
    while (i < list.size()) {
      std::size_t end = list.find(' ', i);
      if (end == std::string_view::npos) end = list.size();
      if (end > i) out.emplace_back(list.substr(i, end - i));
      i = end + 1;
    }
  }
  return out;
}

std::vector<std::string> Printer::known_registers(std::string_view command) {
  std::vector<std::string> out;
  for (const RegisterEntry& e : Commands::registers_of(command)) out.emplace_back(e.name);
  return out;
}

}  // namespace ecf_sim
