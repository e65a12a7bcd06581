#include "orvik/lumvar/payment_forms.h"

#include <algorithm>

#include "common/text1252.h"
#include "orvik/core/state.h"
#include "orvik/lumvar/engine.h"

namespace orvik::lumvar {

std::string ResolvePaymentFormCode(const std::string& form) {
  const std::string trimmed(common::trim(form));
  if (common::cp1252_upper(trimmed) == "DINHEIRO" || trimmed == "-2") return "-2";
  if (std::all_of(form.begin(), form.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return form;
  if (ExecuteLumvar("LeMeioPagamento", "NomeMeioPagamento=\"" + form + "\"") != 1) return {};
  return core::State().read_code;
}

}  // namespace orvik::lumvar
