#include "document_texts.h"

#include "common/text1252.h"
#include "orvik/core/config.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/lumvar/amounts.h"

namespace orvik::lumvar::document_texts {

std::string Quoted(std::string_view text) {
  // Appended piece by piece: "literal" + temporary makes g++ 12 at -O3 warn (-Wrestrict)
  // about the insert at the front that it inlines.
  std::string quoted(1, '"');
  quoted += EscapeQuotes(text);
  quoted += '"';
  return quoted;
}

std::string OperatorItem() {
  return "Operador=" + Quoted(core::State().operator_name);
}

bool Blank(std::string_view text) {
  return common::trim(text).empty();
}

void SetGerencialOpen(bool open) {
  core::State().gerencial_open = open ? 1 : 0;
  core::Config().write("Flags", "Gerencial", open ? "1" : "0");
}

int Refuse(int result, int code, std::string message) {
  core::DriverState& s = core::State();
  s.last_return_code = code;
  s.last_message = std::move(message);
  core::Log("---[" + s.last_message + "]---");
  return result;
}

}  // namespace orvik::lumvar::document_texts
