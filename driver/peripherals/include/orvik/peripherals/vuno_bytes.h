#pragma once
// The bytes the non-fiscal printer is sent for each operation, and the meaning of the
// bytes and register values it answers with. Pure functions: no port, no state.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvik::peripherals {

inline constexpr char kEsc = 0x1B;
inline constexpr char kGs = 0x1D;
inline constexpr char kDle = 0x10;
inline constexpr char kEot = 0x04;

// The byte of value n modulo 256 (the low byte, for negative values too).
char Chr(int n);

// Prefix + text + suffix for the attributes asked for, in the printer's order: font,
// underline, italic, emphasis, double width.
std::string FormattedText(std::string_view text, int font, int italic, int underline,
                          int double_width, int emphasis);

// ESC "v" "2": opens the cash drawer.
std::string DrawerPulse();

// The buzzer's duration as the printer accepts it: 50 to 200 milliseconds.
int ClampBuzzerDuration(int duration);
// One beep of a (clamped) duration: ESC "v" chr(duration).
std::string Beep(int duration);
// Milliseconds to wait after each beep: pause + duration, never negative, never
// overflowing.
int64_t BeepPauseMs(int pause, int clamped_duration);

// Full cut for mode 1 (ESC "w"), partial for any other mode (ESC "m").
std::string Cut(int mode);
// GS "V" chr(n).
std::string PartialCut(int n);

// Barcode kinds, in the order of their exports.
enum class Barcode {
  kUpcA,
  kUpcE,
  kEan13,
  kEan8,
  kItf,
  kCodabar,
  kIsbn,
  kMsi,
  kPlessey,
  kCode39,
  kCode93,
  kCode128,
};

// The kind number the printer knows the barcode by (GS "k" m).
int BarcodeNumber(Barcode kind);

// GS "k" m + data + a zero byte for the zero-terminated kinds, GS "k" m chr(length) +
// data for CODE39/93/128. Nothing when data does not fit the length byte (over 255).
std::optional<std::string> BarcodeBytes(Barcode kind, std::string_view data);

// GS "k" 0x80 a b c d + two length bytes (low first) + data; nothing over 65535 bytes.
std::optional<std::string> Pdf417Bytes(int a, int b, int c, int d, std::string_view data);

// Height, width, text position, font and margin of the barcodes that follow, as one block.
std::string BarcodeSettings(int height, int width, int text_position, int font, int margin);

// GS "W" and the width in two bytes, low first.
std::string PaperWidth(int width);

// DLE EOT n: the printer answers one status byte.
std::string StatusRequest(int n);

// Answers of the status queries. Serial: from the first byte of the reply to DLE EOT 1
// (drawer) or DLE EOT 4 (paper). Parallel: from the status register.
int DrawerAnswer(uint8_t reply);             // 1 bit 2 set, 2 clear
int PaperLowAnswer(uint8_t reply);           // 2 bit 2 set (low), 1 clear
int PaperEndAnswer(uint8_t reply);           // 2 bit 5 set (out), 1 clear
bool ParallelOnline(uint8_t status);         // ready (bit 7), paper in (bit 5 clear), selected
int ParallelPaperEndAnswer(uint8_t status);  // 2 out, 1 selected with paper, 2 otherwise
inline bool ParallelReady(uint8_t status) {
  return (status & 0x80) != 0;
}

// Every byte as two upper-case hexadecimal digits followed by a blank.
std::string HexBytes(std::string_view bytes);
// One byte as two upper-case hexadecimal digits.
std::string Hex2(uint8_t byte);

}  // namespace orvik::peripherals
