#include "orvik/lumvar/barcodes.h"

#include <cstdio>

#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/lumvar/amounts.h"
#include "orvik/lumvar/engine.h"

namespace orvik::lumvar {
namespace {

std::string Hex(int value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value) & 0xFFu);
  return text;
}

}  // namespace

int ConfiguraCodigoBarrasMFD(int height, int width, int text_position, int font, int margin) {
  core::Log("Debugando (" + std::to_string(height) + ") (" + std::to_string(width) + ") (" +
            std::to_string(text_position) + ") (" + std::to_string(font) + ") (" +
            std::to_string(margin) + ")");
  return ExecuteLumvar("ImprimeTexto", "TextoLivre=\"\\x1Dw\\x" + Hex(width) + "\\x1Dh\\x" +
                                           Hex(height) + "\\x1DH\\x" + Hex(text_position) +
                                           "\\x1Df\\x" + Hex(font) + "\"");
}

int PrintBarcode(BarcodeKind kind, const std::string& code, std::string_view label) {
  if (kind != kItf && core::State().lumvar_submodel != 1) return core::CommandMissing(label);
  char type[4];
  std::snprintf(type, sizeof type, "%02d", static_cast<int>(kind));
  return ExecuteLumvar("ImprimeTexto", std::string("TextoLivre=\"\\x1Dk\\x") + type +
                                           EscapeQuotes(code) + "\\x00\"");
}

}  // namespace orvik::lumvar
