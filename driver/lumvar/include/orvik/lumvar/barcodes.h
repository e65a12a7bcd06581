#pragma once
// Barcodes printed inside a document through the printer's own escape sequences.
#include <string>
#include <string_view>

namespace orvik::lumvar {

// Bar width, bar height, position and font of the human-readable text for the barcodes
// that follow (the margin is accepted and not sent). Each value goes out as one byte:
// values outside 0-255 keep their low byte.
int ConfiguraCodigoBarrasMFD(int height, int width, int text_position, int font, int margin);

// Barcode kinds as the printer numbers them.
enum BarcodeKind { kUpcA = 0, kUpcE, kEan13, kEan8, kCode39, kItf, kCodabar };

// Prints code as a barcode of the kind. Only the cheque-capable model prints every kind;
// the others print ITF alone, and any other kind takes the command-missing path with the
// given label.
int PrintBarcode(BarcodeKind kind, const std::string& code, std::string_view label);

}  // namespace orvik::lumvar
