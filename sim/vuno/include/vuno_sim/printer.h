#pragma once
// The virtual non-fiscal receipt printer: it reads the command bytes it knows into a
// printed tape (text with its attributes) and a list of events (cuts, pulses, barcodes,
// settings), answers the status requests DLE EOT 1 and DLE EOT 4, and records every byte
// or sequence it does not know as refused. The same printer sits behind the serial line
// and the parallel port.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vuno_sim {

struct Attributes {
  bool font_b = false;  // ESC M 1
  bool underline = false;
  bool italic = false;
  bool emphasis = false;
  bool double_width = false;
  bool operator==(const Attributes&) const = default;
  // "M1 -1 4 E W1" for the attributes that are on ("" when none).
  std::string describe() const;
};

struct Run {
  std::string text;
  Attributes attributes;
};
using TapeLine = std::vector<Run>;

struct BarcodeSettings {
  int height = 162, width = 3, text_position = 0, font = 0, margin = 0;
  bool operator==(const BarcodeSettings&) const = default;
};

struct Event {
  enum Kind {
    kFullCut,     // ESC w
    kPartialCut,  // ESC m
    kGuillotine,  // GS V n (value n)
    kPulse,       // ESC v n: drawer and buzzer line, value n
    kBarcode,     // GS k: value = kind number, data, settings; pdf417 holds a b c d
    kSettings,    // GS h/w/H/f or GS k 0x84 changed the barcode settings
    kPaperWidth,  // GS W (value)
    kStatus,      // DLE EOT n answered (value n)
    kReset,       // ESC @
    kRefused,     // bytes the printer does not know (data)
    kGarbage,     // bytes received with line settings other than the printer's (data)
  };
  explicit Event(Kind k) : kind(k) {}
  Kind kind;
  int value = 0;
  std::string data;
  BarcodeSettings settings;
  int pdf417[4] = {0, 0, 0, 0};
  // One line of the journal: "cut full", "barcode 2 EAN13 13 7891234567895 h=162 ...".
  std::string describe() const;
};

// Name of a barcode kind number ("EAN13"); "?" for an unknown one.
std::string BarcodeName(int kind);

class Printer {
 public:
  // Takes bytes from the host; returns the printer's answer (status bytes), possibly none.
  std::string feed(std::string_view bytes);
  // Bytes received while the line was wrong: printed as nothing, kept as one event.
  void garbage(std::string_view bytes);

  // Finished lines and the one being printed (when it has text).
  std::vector<TapeLine> tape() const;
  // The tape as plain text, one entry per line.
  std::vector<std::string> tape_text() const;
  const std::vector<Event>& events() const { return events_; }
  // Every line printed and every event, in order, one per line.
  std::string journal() const { return journal_; }
  const std::string& journal_text() const { return journal_; }
  void clear();

  // Sensors.
  void set_paper_low(bool on) { paper_low_ = on; }
  void set_paper_out(bool on) { paper_out_ = on; }
  void set_drawer_open(bool on) { drawer_open_ = on; }
  bool paper_low() const { return paper_low_; }
  bool paper_out() const { return paper_out_; }
  bool drawer_open() const { return drawer_open_; }
  int paper_width() const { return paper_width_; }
  const BarcodeSettings& barcode_settings() const { return settings_; }
  // Bytes waiting for the rest of their sequence.
  size_t pending() const { return pending_.size(); }

  // Status bytes: DLE EOT 1 (bit 2 set while the drawer is open) and DLE EOT 4 (bits 2
  // and 3 paper near its end, bits 5 and 6 paper out); bits 1 and 4 are always set.
  uint8_t drawer_status() const;
  uint8_t paper_status() const;

 private:
  // Parses one sequence at the start of pending_: its length, 0 when more bytes are needed.
  size_t parse_one(std::string& reply);
  void add_event(Event e);
  void print_text(std::string_view text);
  void end_line();
  void refuse(size_t n);

  std::string pending_;
  std::vector<TapeLine> lines_;
  TapeLine current_;
  Attributes attributes_;
  BarcodeSettings settings_;
  std::vector<Event> events_;
  std::string journal_;
  int paper_width_ = 0;
  bool paper_low_ = false, paper_out_ = false, drawer_open_ = false;
};

}  // namespace vuno_sim
