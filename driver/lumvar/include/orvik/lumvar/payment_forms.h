#pragma once
// Payment forms as the host names them: the word DINHEIRO, the printer's code of a form,
// or a form's programmed name.
#include <string>

namespace orvik::lumvar {

// The printer's code of a payment form: "-2" for cash ("DINHEIRO" in any case and with
// blanks around it, or "-2"); a text of digits only (the empty text too) is a code
// already; any other text is looked up by name with LeMeioPagamento. A failed lookup
// answers the empty text, with the engine's result kept as the last return code.
std::string ResolvePaymentFormCode(const std::string& form);

}  // namespace orvik::lumvar
