#include "orvik/peripherals/vuno_bytes.h"

#include <algorithm>

namespace orvik::peripherals {

char Chr(int n) {
  return static_cast<char>(static_cast<unsigned>(n) & 0xFFu);
}

std::string FormattedText(std::string_view text, int font, int italic, int underline,
                          int double_width, int emphasis) {
  std::string prefix, suffix;
  auto both = [&](bool on, std::string_view start, std::string_view stop) {
    if (!on) return;
    prefix += kEsc;
    prefix += start;
    suffix += kEsc;
    suffix += stop;
  };
  both(font == 1, "M1", "M0");
  both(underline != 0, "-1", "-0");
  both(italic != 0, "4", "5");
  both(emphasis != 0, "E", "F");
  both(double_width != 0, "W1", "W0");
  std::string out;
  out.reserve(prefix.size() + text.size() + suffix.size());
  out += prefix;
  out += text;
  out += suffix;
  return out;
}

std::string DrawerPulse() {
  return {kEsc, 'v', '2'};
}

int ClampBuzzerDuration(int duration) {
  return std::clamp(duration, 50, 200);
}

std::string Beep(int duration) {
  return {kEsc, 'v', Chr(duration)};
}

int64_t BeepPauseMs(int pause, int clamped_duration) {
  return std::max<int64_t>(0, static_cast<int64_t>(pause) + clamped_duration);
}

std::string Cut(int mode) {
  return {kEsc, mode == 1 ? 'w' : 'm'};
}

std::string PartialCut(int n) {
  return {kGs, 'V', Chr(n)};
}

int BarcodeNumber(Barcode kind) {
  switch (kind) {
    case Barcode::kUpcA:
      return 0;
    case Barcode::kUpcE:
      return 1;
    case Barcode::kEan13:
      return 2;
    case Barcode::kEan8:
      return 3;
    case Barcode::kItf:
      return 5;
    case Barcode::kCodabar:
      return 6;
    case Barcode::kIsbn:
      return 21;
    case Barcode::kMsi:
      return 22;
    case Barcode::kPlessey:
      return 23;
    case Barcode::kCode39:
      return 69;
    case Barcode::kCode93:
      return 72;
    case Barcode::kCode128:
      return 73;
  }
  return 0;
}

std::optional<std::string> BarcodeBytes(Barcode kind, std::string_view data) {
  const bool counted =
      kind == Barcode::kCode39 || kind == Barcode::kCode93 || kind == Barcode::kCode128;
  std::string out{kGs, 'k', Chr(BarcodeNumber(kind))};
  if (counted) {
    // The printer would read a longer text's length modulo 256 and take the rest as
    // text to print.
    if (data.size() > 255) return std::nullopt;
    out += Chr(static_cast<int>(data.size()));
    out += data;
  } else {
    out += data;
    out += '\0';
  }
  return out;
}

std::optional<std::string> Pdf417Bytes(int a, int b, int c, int d, std::string_view data) {
  if (data.size() > 65535) return std::nullopt;
  const int length = static_cast<int>(data.size());
  std::string out{kGs,    'k',    Chr(0x80),   Chr(a),           Chr(b),
                  Chr(c), Chr(d), Chr(length), Chr(length / 256)};
  out += data;
  return out;
}

std::string BarcodeSettings(int height, int width, int text_position, int font, int margin) {
  return {kGs,
          'h',
          Chr(height),
          kGs,
          'w',
          Chr(width),
          kGs,
          'H',
          Chr(text_position),
          kGs,
          'f',
          Chr(font),
          kGs,
          'k',
          Chr(0x84),
          Chr(margin),
          Chr(margin / 256)};
}

std::string PaperWidth(int width) {
  return {kGs, 'W', Chr(width), Chr(width / 256)};
}

std::string StatusRequest(int n) {
  return {kDle, kEot, Chr(n)};
}

int DrawerAnswer(uint8_t reply) {
  return (reply & 0x04) ? 1 : 2;
}

int PaperLowAnswer(uint8_t reply) {
  return (reply & 0x04) ? 2 : 1;
}

int PaperEndAnswer(uint8_t reply) {
  return (reply & 0x20) ? 2 : 1;
}

bool ParallelOnline(uint8_t status) {
  if (!(status & 0x80)) return false;
  if (status & 0x20) return false;
  return (status & 0x10) != 0;
}

int ParallelPaperEndAnswer(uint8_t status) {
  if (status & 0x20) return 2;
  if (status & 0x10) return 1;
  return 2;
}

std::string Hex2(uint8_t byte) {
  static const char kDigits[] = "0123456789ABCDEF";
  return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

std::string HexBytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (char c : bytes) {
    out += Hex2(static_cast<uint8_t>(c));
    out += ' ';
  }
  return out;
}

}  // namespace orvik::peripherals
