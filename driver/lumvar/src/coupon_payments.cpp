// Payments of the coupon and their reversal.
#include <algorithm>

#include "common/text1252.h"
#include "orvik/lumvar/amounts.h"
#include "orvik/lumvar/coupon.h"
#include "orvik/lumvar/engine.h"
#include "orvik/lumvar/payment_forms.h"

namespace orvik::lumvar {

int Pay(const std::string& form, const std::string& value, const std::string* additional_text) {
  std::string amount = " Valor=" + Cents(value);
  if (additional_text)
    amount += " TextoAdicional=\"" + EscapeQuotes(additional_text->substr(0, 80)) + "\"";
  const bool cash = common::cp1252_upper(common::trim(form)) == "DINHEIRO";
  const std::string code = cash ? "-2" : form;
  const bool digits =
      std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (code == "-2" || digits)
    return ExecuteLumvar("PagaCupom", "CodMeioPagamento=" + code + amount);
  return ExecuteLumvar("PagaCupom", "NomeMeioPagamento=\"" + EscapeQuotes(code) + "\"" + amount);
}

int EfetuaFormaPagamento(const std::string& form, const std::string& value) {
  return Pay(form, value, nullptr);
}

int EfetuaFormaPagamentoDescricaoForma(const std::string& form, const std::string& value,
                                       const std::string& description) {
  return Pay(form, value, &description);
}

int EfetuaFormaPagamentoMFD(const std::string& form, const std::string& value,
                            const std::string& /*installments*/,
                            const std::string& /*description*/) {
  return Pay(form, value, nullptr);
}

int EstornoFormasPagamento(const std::string& origin, const std::string& destination,
                           const std::string& value) {
  const std::string from = ResolvePaymentFormCode(origin);
  if (from.empty()) return 0;
  const std::string to = ResolvePaymentFormCode(destination);
  if (to.empty()) return 0;
  const int r = ExecuteLumvar(
      "EstornaMeioPagamento",
      "CodMeioPagamentoOrigem=" + from + " CodMeioPagamentoDestino=" + to + " Valor=" + value);
  if (r == 1) FeedAfterDocument();
  return r;
}

}  // namespace orvik::lumvar
