// Closing the coupon: the free text with the coupon's ICMS and the application id, the
// consumer of ID.TXT, EncerraDocumento; also the cancellation and the additional coupon.
#include <cstdint>
#include <cstdio>

#include "common/text1252.h"
#include "coupon_files.h"
#include "orvik/core/config.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/amounts.h"
#include "orvik/lumvar/coupon.h"
#include "orvik/lumvar/engine.h"
#include "orvik/lumvar/queries.h"

namespace orvik::lumvar {
namespace {

using core::State;

constexpr size_t kLineWidth = 48;

// A read value of digits as a number; 0 when it is not one or does not fit.
int64_t Amount(const std::string& text) {
  const std::string digits = core::Digits(text);
  if (digits.empty() || digits.size() > 18) return 0;
  return std::stoll(digits);
}

// Hundredths written with two decimals and a decimal comma.
std::string TwoDecimals(int64_t hundredths) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld,%02lld", static_cast<long long>(hundredths / 100),
                static_cast<long long>(hundredths % 100));
  return text;
}

// Step of the close: the ICMS of this coupon is what the day's ICMS grew by since it
// was noted at the opening.
void WorkOutCouponIcms() {
  core::DriverState& s = State();
  if (!s.icms_on_coupon) return;
  if (ExecuteLumvar("LeMoeda", "NomeDadoMonetario=\"TotalDiaImpostoICMS\"") != 1) return;
  if (!s.cupom_mania_lido) return;
  int64_t grown = Amount(s.read_value) - Amount(s.cupom_mania_valor_aux);
  if (grown < 0) grown = 0;
  s.cupom_mania_total_imp = TwoDecimals(grown);
  core::Config().write("Flags", "CupomManiaTotalImp", s.cupom_mania_total_imp);
}

// The label at the left and the value at the right of one printed line.
std::string IcmsLine(const std::string& value) {
  const std::string label = "VALOR TOTAL DE ICMS";
  if (label.size() + value.size() >= kLineWidth)
    return label + value.substr(0, kLineWidth - label.size());
  return label + std::string(kLineWidth - label.size() - value.size(), ' ') + value;
}

// A message that already starts a new line, or ends with one, takes what follows directly.
bool TakesDirectly(const std::string& message) {
  return message.rfind("\\n", 0) == 0 || (!message.empty() && message.back() == '\n');
}

std::string ClosingText(const std::string& message) {
  const core::DriverState& s = State();
  std::string text = message;
  if (s.rj_coupon_text) {
    const std::string block =
        IcmsLine(s.cupom_mania_total_imp) + "\\n" + "         VALIDO PARA O CUPOM MANIA\\n";
    if (message.empty())
      text = block;
    else if (TakesDirectly(message))
      text += block;
    else
      text += "\\n" + block;
  }
  if (!s.application_id.empty()) {
    if (message.empty() || TakesDirectly(message))
      text += "Aplicativo:" + s.application_id;
    else
      text += "\\nAplicativo:" + s.application_id;
  }
  return text;
}

// The consumer named by IdentificaConsumidor, identified on the coupon being closed.
void IdentifyConsumerOfFile() {
  const auto lines = coupon_files::TakeLines(coupon_files::kConsumer);
  if (!lines) return;
  static const char* const kItems[] = {"IdConsumidor=", "NomeConsumidor=", "EnderecoConsumidor="};
  std::string parameters;
  for (size_t i = 0; i < 3 && i < lines->size(); ++i) {
    const std::string value(common::trim((*lines)[i]));
    if (value.empty()) continue;
    if (i > 0) parameters += ' ';
    parameters += kItems[i];
    parameters += '"';
    parameters += EscapeQuotes(value);
    parameters += '"';
  }
  if (!parameters.empty()) ExecuteLumvar("IdentificaConsumidor", parameters);
}

std::string OperatorItem() {
  return "Operador=\"" + EscapeQuotes(State().operator_name) + "\"";
}

}  // namespace

int CloseDocument() {
  const int r = ExecuteLumvar("EncerraDocumento", OperatorItem());
  if (r == 1) FeedAfterDocument();
  return r;
}

int CloseWithMessage(const std::string& message) {
  core::DriverState& s = State();
  WorkOutCouponIcms();
  std::string text = "TextoLivre=\"";
  text += EscapeQuotes(ClosingText(message));
  text += '"';
  ExecuteLumvar("ImprimeTexto", text);
  if (s.icms_on_coupon) {
    s.cupom_mania_lido = false;
    s.cupom_mania_valor_aux.assign(1, '0');  // not = "0": a -Wrestrict false alarm of g++ 12 -O3
    common::IniFile ini = core::Config();
    ini.write("Flags", "CupomManiaLido", "0");
    ini.write("Flags", "CupomManiaValorAux", "0");
  }
  IdentifyConsumerOfFile();
  return CloseDocument();
}

int FechaCupom(const std::string& form, const std::string& flag, const std::string& type,
               const std::string& adjustment, const std::string& paid, const std::string& message) {
  // The adjustment and the payment may already have been made by the host; the close
  // decides.
  IniciaFechamentoCupom(flag, type, adjustment);
  if (!form.empty()) Pay(form, paid, nullptr);
  return CloseWithMessage(message);
}

int TerminaFechamentoCupom(const std::string& message) {
  return FechaCupom("", "", "", "", "", message);
}

int FechaCupomResumido(const std::string& form, const std::string& message) {
  // The coupon's net total (register 100) is paid whole with the one form.
  int r = ReadRegister(100);
  if (r != 1) return r;
  r = Pay(form, State().return_value, nullptr);
  if (r != 1) return r;
  return CloseWithMessage(message);
}

int CancelaCupom() {
  const int r = ExecuteLumvar("CancelaCupom", OperatorItem());
  if (r == 1) FeedAfterDocument();
  return r;
}

int CupomAdicionalMFD() {
  const int r = ExecuteLumvar("ImprimeCupomAdicional", "");
  if (r == 1) FeedAfterDocument();
  return r;
}

}  // namespace orvik::lumvar
