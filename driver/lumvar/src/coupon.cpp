// Opening the coupon, the consumer, items and their adjustments and cancellations.
#include "orvik/lumvar/coupon.h"

#include "common/text1252.h"
#include "coupon_files.h"
#include "orvik/core/config.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/amounts.h"
#include "orvik/lumvar/engine.h"

namespace orvik::lumvar {
namespace {

using core::State;

bool Blank(const std::string& text) {
  return common::trim(text).empty();
}

std::string Quoted(const std::string& text) {
  // Appended piece by piece: g++ 12 at -O3 misreads "literal" + string as an overlapping copy.
  std::string out = EscapeQuotes(text);
  out.insert(out.begin(), '"');
  out.push_back('"');
  return out;
}

// The sale itself; a percentage rate is first tried as ICMS and, when the printer has no
// such ICMS rate (8005), once more as a service-tax rate.
int SendSale(const TaxPart& tax, const std::string& rest) {
  if (!tax.percentage) return ExecuteLumvar("VendeItem", tax.parameter + rest);
  int r = ExecuteLumvar("VendeItem", "AliquotaICMS=true " + tax.parameter + rest);
  if (r == 0 && State().last_return_code == 8005)
    r = ExecuteLumvar("VendeItem", "AliquotaICMS=false " + tax.parameter + rest);
  return r;
}

// An adjustment on an amount or a percentage, with its sign.
std::string Adjustment(std::string_view sign, bool percentage, const std::string& value) {
  return std::string(percentage ? "ValorPercentual=" : "ValorAcrescimo=") + std::string(sign) +
         Cents(value);
}

// Flag "A" is a surcharge, sent with a blank where a discount carries its minus sign.
std::string_view SignOf(const std::string& flag) {
  return flag == "A" ? " " : "-";
}

}  // namespace

int NoteIcmsTotal() {
  core::DriverState& s = State();
  if (!s.icms_on_coupon || s.cupom_mania_lido) return 1;
  const int r = ExecuteLumvar("LeMoeda", "NomeDadoMonetario=\"TotalDiaImpostoICMS\"");
  if (r != 1) return r;
  s.cupom_mania_lido = true;
  s.cupom_mania_valor_aux = s.read_value;
  common::IniFile ini = core::Config();
  ini.write("Flags", "CupomManiaLido", "1");
  ini.write("Flags", "CupomManiaValorAux", s.cupom_mania_valor_aux);
  return 1;
}

int AbreCupom(const std::string& id) {
  coupon_files::Remove(coupon_files::kConsumer);
  const int r = ExecuteLumvar("AbreCupomFiscal", Blank(id) ? "" : "IdConsumidor=" + Quoted(id));
  if (r != 1) return r;
  return NoteIcmsTotal();
}

int AbreCupomMFD(const std::string& id, const std::string& name, const std::string& address) {
  coupon_files::Remove(coupon_files::kConsumer);
  std::string parameters;
  if (!Blank(id)) parameters += "IdConsumidor=" + Quoted(id);
  if (!Blank(name)) parameters += " NomeConsumidor=" + Quoted(name);
  if (!Blank(address)) parameters += " EnderecoConsumidor=" + Quoted(address);
  return ExecuteLumvar("AbreCupomFiscal", parameters);
}

int IdentificaConsumidor(const std::string& id, const std::string& name,
                         const std::string& address) {
  return coupon_files::Recreate(coupon_files::kConsumer, {id, name, address}) ? 1 : 0;
}

int AumentaDescricaoItem(const std::string& description) {
  return coupon_files::Recreate(coupon_files::kDescription, {description}) ? 1 : 0;
}

int VendeItem(const std::string& code, const std::string& description, const std::string& aliquot,
              const std::string& quantity_type, const std::string& quantity, int decimals,
              const std::string& unit_price, const std::string& discount_type,
              const std::string& discount) {
  // A long description left by AumentaDescricaoItem takes the place of the argument.
  std::string text = description;
  if (auto lines = coupon_files::TakeLines(coupon_files::kDescription)) {
    text.clear();
    for (size_t i = 0; i < lines->size(); ++i) text += (i ? "\n" : "") + (*lines)[i];
  }

  const TaxPart tax = MapTaxCode(aliquot);
  int r = NoteIcmsTotal();
  if (r != 1) return r;

  const std::string price = decimals == 3 ? Mils(unit_price) : Cents(unit_price);
  const std::string type_upper = common::cp1252_upper(quantity_type);
  std::string amount = type_upper == "I" ? core::Digits(quantity) : quantity;
  // Type F passes thousandths: 1500 is one and a half.
  amount = type_upper == "F" ? Mils(amount) : Mils(Decimals(amount, 3));
  const std::string cut = Cents(Decimals(discount, 2));
  const bool whole_units = common::cp1252_upper(common::trim(quantity_type)) == "I";
  const std::string unit = whole_units ? "Un" : quantity_type;

  r = SendSale(tax, " CodProduto=" + Quoted(code) + " NomeProduto=" + Quoted(text) +
                        " PrecoUnitario=" + price + " Quantidade=" + amount +
                        " Unidade=" + Quoted(unit));
  if (r != 1 || IsZero(cut)) return r;
  return ExecuteLumvar("AcresceItemFiscal",
                       std::string("Cancelar=false ") +
                           (discount_type == "%" ? "ValorPercentual=-" : "ValorAcrescimo=-") + cut);
}

int VendeItemDepartamento(const std::string& code, const std::string& description,
                          const std::string& aliquot, const std::string& unit_price,
                          const std::string& quantity, const std::string& surcharge,
                          const std::string& discount, const std::string& department,
                          const std::string& unit) {
  int r = NoteIcmsTotal();
  if (r != 1) return r;
  const TaxPart tax = MapTaxCode(aliquot);
  const std::string price = Decimals(unit_price, 3);
  const std::string amount = Mils(Decimals(quantity, 3));
  const std::string extra = Decimals(surcharge, 2);
  const std::string cut = Decimals(discount, 2);

  // Goods sold by weight, volume or length print a column heading after the name.
  std::string name = description;
  const std::string unit_upper = common::cp1252_upper(unit);
  if (unit_upper != "UN") {
    name = core::BlankFit(description, 30);
    if (!unit_upper.empty() && unit_upper[0] == 'K') name += "Peso ";
    if (!unit_upper.empty() && unit_upper[0] == 'L') name += "Litro";
    if (!unit_upper.empty() && unit_upper[0] == 'M') name += "Metro";
    name += "(" + unit + ")    X    Preco(R$/" + unit + ")            Valor";
  }

  r = SendSale(tax, " CodProduto=" + Quoted(code) + " NomeProduto=" + Quoted(name) +
                        " PrecoUnitario=" + price + " Quantidade=" + amount +
                        " Unidade=" + Quoted(unit) + " CodDepartamento=" + department);
  if (r != 1) return r;
  // One adjustment only, the discount first.
  if (!IsZero(cut))
    return ExecuteLumvar("AcresceItemFiscal", "Cancelar=false ValorAcrescimo=-" + Cents(cut));
  if (!IsZero(extra))
    return ExecuteLumvar("AcresceItemFiscal", "Cancelar=false ValorAcrescimo=" + Cents(extra));
  return r;
}

int AtivaDesativaVendaUmaLinhaMFD(int one_line) {
  return ExecuteLumvar("EscreveInteiro", "NomeInteiro=\"ImprimeItem1Linha\" ValorInteiro=" +
                                             std::to_string(one_line));
}

int AcrescimoDescontoItemMFD(const std::string& item, const std::string& flag,
                             const std::string& type, const std::string& value) {
  return ExecuteLumvar("AcresceItemFiscal", "Cancelar=false NumItem=" + item + " " +
                                                Adjustment(SignOf(flag), type == "%", value));
}

int CancelaAcrescimoDescontoItemMFD(const std::string& /*flag*/, const std::string& item) {
  return ExecuteLumvar("AcresceItemFiscal", "Cancelar=true NumItem=" + item);
}

int CancelaItemAnterior() {
  return ExecuteLumvar("CancelaItemFiscal", "");
}

int CancelaItemGenerico(const std::string& item) {
  return ExecuteLumvar("CancelaItemFiscal", "NumItem=" + item);
}

int IniciaFechamentoCupom(const std::string& flag, const std::string& type,
                          const std::string& value) {
  if (IsZero(value)) return 1;
  return ExecuteLumvar("AcresceSubtotal",
                       "Cancelar=false " + Adjustment(SignOf(flag), type == "%", value));
}

int IniciaFechamentoCupomMFD(const std::string& flag, const std::string& type,
                             const std::string& surcharge, const std::string& discount) {
  if (flag == "X") return core::CommandMissing("IniciaFechamentoCupomMFD com Desconto e Acrescimo");
  const bool percentage = type == "%";
  int r = 1;
  // "A" applies only the surcharge, "D" only the discount, any other flag both; zero
  // values are sent too.
  if (flag != "D")
    r = ExecuteLumvar("AcresceSubtotal", "Cancelar=false " + Adjustment("", percentage, surcharge));
  if (r == 1 && flag != "A")
    r = ExecuteLumvar("AcresceSubtotal", "Cancelar=false " + Adjustment("-", percentage, discount));
  return r;
}

int AcrescimoDescontoSubtotalMFD(const std::string& flag, const std::string& type,
                                 const std::string& value) {
  // Here "$" selects an amount and every other type a percentage.
  return ExecuteLumvar("AcresceSubtotal",
                       "Cancelar=false " + Adjustment(SignOf(flag), type != "$", value));
}

int CancelaAcrescimoDescontoSubtotalMFD(const std::string& /*flag*/) {
  return ExecuteLumvar("AcresceSubtotal", "Cancelar=true");
}

}  // namespace orvik::lumvar
