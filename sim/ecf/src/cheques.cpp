// Cheques: printed only with a cheque in the sensor, kept with their fields, ejected.
#include "printer_impl.h"

namespace ecf_sim {

Reply Commands::imprime_cheque() {
  auto value = a_.decimal("Valor", 2);
  if (!value || *value <= 0) return fail(8002);
  if (s_.open.kind != kNoDocument) return fail(8116);
  if (!s_.cheque_present) return fail(8117);
  PrintedCheque cheque;
  for (const auto& [name, text] : a_.items()) cheque.fields[name] = text;
  cheque.printed = p_.now();
  p_.cheques_.push_back(std::move(cheque));
  // The printed cheque comes out of the printer.
  s_.cheque_present = false;
  return ok();
}

}  // namespace ecf_sim
