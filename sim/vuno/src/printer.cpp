#include "vuno_sim/printer.h"

#include <cstdio>

namespace vuno_sim {
namespace {

constexpr char kLf = 0x0A;
constexpr char kCr = 0x0D;
constexpr char kHt = 0x09;
constexpr char kEsc = 0x1B;
constexpr char kGs = 0x1D;
constexpr char kDle = 0x10;
constexpr char kEot = 0x04;
// Longest text of a zero-terminated barcode before the printer gives up on the sequence.
constexpr size_t kMaxZeroTerminated = 255;

uint8_t At(const std::string& s, size_t i) {
  return static_cast<uint8_t>(s[i]);
}

std::string Hex(std::string_view bytes) {
  std::string out;
  char buf[4];
  for (char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", static_cast<uint8_t>(c));
    if (!out.empty()) out += ' ';
    out += buf;
  }
  return out;
}

bool ZeroTerminatedKind(int m) {
  return m == 0 || m == 1 || m == 2 || m == 3 || m == 5 || m == 6 || m == 21 || m == 22 || m == 23;
}

bool CountedKind(int m) {
  return m == 69 || m == 72 || m == 73;
}

}  // namespace

std::string Attributes::describe() const {
  std::string out;
  auto add = [&](bool on, const char* name) {
    if (!on) return;
    if (!out.empty()) out += ' ';
    out += name;
  };
  add(font_b, "M1");
  add(underline, "-1");
  add(italic, "4");
  add(emphasis, "E");
  add(double_width, "W1");
  return out;
}

std::string BarcodeName(int kind) {
  switch (kind) {
    case 0:
      return "UPCA";
    case 1:
      return "UPCE";
    case 2:
      return "EAN13";
    case 3:
      return "EAN8";
    case 5:
      return "ITF";
    case 6:
      return "CODABAR";
    case 21:
      return "ISBN";
    case 22:
      return "MSI";
    case 23:
      return "PLESSEY";
    case 69:
      return "CODE39";
    case 72:
      return "CODE93";
    case 73:
      return "CODE128";
    case 0x80:
      return "PDF417";
    default:
      return "?";
  }
}

std::string Event::describe() const {
  const auto settings_text = [this] {
    return "h=" + std::to_string(settings.height) + " w=" + std::to_string(settings.width) +
           " hri=" + std::to_string(settings.text_position) +
           " font=" + std::to_string(settings.font) + " margin=" + std::to_string(settings.margin);
  };
  switch (kind) {
    case kFullCut:
      return "cut full";
    case kPartialCut:
      return "cut partial";
    case kGuillotine:
      return "guillotine " + std::to_string(value);
    case kPulse:
      return "pulse " + std::to_string(value);
    case kBarcode: {
      std::string out = "barcode " + std::to_string(value) + " " + BarcodeName(value) + " " +
                        std::to_string(data.size()) + " " + data + " " + settings_text();
      if (value == 0x80)
        out += " pdf417=" + std::to_string(pdf417[0]) + "," + std::to_string(pdf417[1]) + "," +
               std::to_string(pdf417[2]) + "," + std::to_string(pdf417[3]);
      return out;
    }
    case kSettings:
      return "settings " + settings_text();
    case kPaperWidth:
      return "paper-width " + std::to_string(value);
    case kStatus:
      return "status " + std::to_string(value);
    case kReset:
      return "reset";
    case kRefused:
      return "refused " + Hex(data);
    case kGarbage:
      return "garbage " + std::to_string(data.size());
  }
  return "?";
}

std::string Printer::feed(std::string_view bytes) {
  pending_.append(bytes);
  std::string reply;
  size_t used;
  while (!pending_.empty() && (used = parse_one(reply)) > 0) pending_.erase(0, used);
  return reply;
}

void Printer::garbage(std::string_view bytes) {
  Event e{Event::kGarbage};
  e.data = std::string(bytes);
  add_event(std::move(e));
}

std::vector<TapeLine> Printer::tape() const {
  std::vector<TapeLine> out = lines_;
  if (!current_.empty()) out.push_back(current_);
  return out;
}

std::vector<std::string> Printer::tape_text() const {
  std::vector<std::string> out;
  for (const TapeLine& line : tape()) {
    std::string text;
    for (const Run& r : line) text += r.text;
    out.push_back(text);
  }
  return out;
}

void Printer::clear() {
  lines_.clear();
  current_.clear();
  events_.clear();
  journal_.clear();
}

uint8_t Printer::drawer_status() const {
  return 0x12 | (drawer_open_ ? 0x04 : 0x00);
}

uint8_t Printer::paper_status() const {
  return 0x12 | (paper_low_ ? 0x0C : 0x00) | (paper_out_ ? 0x60 : 0x00);
}

void Printer::add_event(Event e) {
  journal_ += "event " + e.describe() + "\n";
  events_.push_back(std::move(e));
}

void Printer::print_text(std::string_view text) {
  if (!current_.empty() && current_.back().attributes == attributes_)
    current_.back().text += text;
  else
    current_.push_back(Run{std::string(text), attributes_});
}

void Printer::end_line() {
  std::string text, marks;
  for (const Run& r : current_) {
    const std::string a = r.attributes.describe();
    text += a.empty() ? r.text : "<" + a + ">" + r.text;
  }
  journal_ += "line " + text + "\n";
  lines_.push_back(std::move(current_));
  current_.clear();
}

void Printer::refuse(size_t n) {
  Event e{Event::kRefused};
  e.data = pending_.substr(0, n);
  add_event(std::move(e));
}

size_t Printer::parse_one(std::string& reply) {
  const std::string& p = pending_;
  const uint8_t first = At(p, 0);
  if (first == kLf) {
    end_line();
    return 1;
  }
  if (first == kCr) return 1;
  if (first >= 0x20 || first == kHt) {
    size_t n = 1;
    while (n < p.size() && (At(p, n) >= 0x20 || At(p, n) == kHt)) ++n;
    print_text(std::string_view(p).substr(0, n));
    return n;
  }
  if (first == kEsc) {
    if (p.size() < 2) return 0;
    const char c = p[1];
    auto flag = [&](bool& attribute) -> size_t {
      if (p.size() < 3) return 0;
      if (p[2] != '0' && p[2] != '1') {
        refuse(3);
        return 3;
      }
      attribute = p[2] == '1';
      return 3;
    };
    switch (c) {
      case 'M':
        return flag(attributes_.font_b);
      case '-':
        return flag(attributes_.underline);
      case 'W':
        return flag(attributes_.double_width);
      case '4':
        attributes_.italic = true;
        return 2;
      case '5':
        attributes_.italic = false;
        return 2;
      case 'E':
        attributes_.emphasis = true;
        return 2;
      case 'F':
        attributes_.emphasis = false;
        return 2;
      case 'w':
        add_event(Event{Event::kFullCut});
        return 2;
      case 'm':
        add_event(Event{Event::kPartialCut});
        return 2;
      case '@':
        attributes_ = {};
        add_event(Event{Event::kReset});
        return 2;
      case 'v': {
        if (p.size() < 3) return 0;
        Event e{Event::kPulse};
        e.value = At(p, 2);
        // The pulse drives the drawer's solenoid, which the buzzer shares.
        drawer_open_ = true;
        add_event(std::move(e));
        return 3;
      }
      default:
        refuse(2);
        return 2;
    }
  }
  if (first == kGs) {
    if (p.size() < 2) return 0;
    const char c = p[1];
    auto one_byte_setting = [&](int& field) -> size_t {
      if (p.size() < 3) return 0;
      field = At(p, 2);
      Event e{Event::kSettings};
      e.settings = settings_;
      add_event(std::move(e));
      return 3;
    };
    switch (c) {
      case 'V': {
        if (p.size() < 3) return 0;
        Event e{Event::kGuillotine};
        e.value = At(p, 2);
        add_event(std::move(e));
        return 3;
      }
      case 'h':
        return one_byte_setting(settings_.height);
      case 'w':
        return one_byte_setting(settings_.width);
      case 'H':
        return one_byte_setting(settings_.text_position);
      case 'f':
        return one_byte_setting(settings_.font);
      case 'W': {
        if (p.size() < 4) return 0;
        paper_width_ = At(p, 2) | (At(p, 3) << 8);
        Event e{Event::kPaperWidth};
        e.value = paper_width_;
        add_event(std::move(e));
        return 4;
      }
      case 'k': {
        if (p.size() < 3) return 0;
        const int m = At(p, 2);
        Event e{Event::kBarcode};
        e.value = m;
        if (ZeroTerminatedKind(m)) {
          const size_t zero = p.find('\0', 3);
          if (zero == std::string::npos) {
            if (p.size() - 3 > kMaxZeroTerminated) {
              refuse(p.size());
              return p.size();
            }
            return 0;
          }
          if (zero - 3 > kMaxZeroTerminated) {
            refuse(zero + 1);
            return zero + 1;
          }
          e.data = p.substr(3, zero - 3);
          e.settings = settings_;
          add_event(std::move(e));
          return zero + 1;
        }
        if (CountedKind(m)) {
          if (p.size() < 4) return 0;
          const size_t length = At(p, 3);
          if (p.size() < 4 + length) return 0;
          e.data = p.substr(4, length);
          e.settings = settings_;
          add_event(std::move(e));
          return 4 + length;
        }
        if (m == 0x80) {
          if (p.size() < 9) return 0;
          const size_t length = At(p, 7) | (At(p, 8) << 8);
          if (p.size() < 9 + length) return 0;
          for (int i = 0; i < 4; ++i) e.pdf417[i] = At(p, 3 + i);
          e.data = p.substr(9, length);
          e.settings = settings_;
          add_event(std::move(e));
          return 9 + length;
        }
        if (m == 0x84) {
          if (p.size() < 5) return 0;
          settings_.margin = At(p, 3) | (At(p, 4) << 8);
          Event s{Event::kSettings};
          s.settings = settings_;
          add_event(std::move(s));
          return 5;
        }
        refuse(3);
        return 3;
      }
      default:
        refuse(2);
        return 2;
    }
  }
  if (first == kDle) {
    if (p.size() < 3) return 0;
    if (p[1] != kEot || (p[2] != 1 && p[2] != 4)) {
      refuse(p[1] == kEot ? 3 : 2);
      return p[1] == kEot ? 3 : 2;
    }
    reply += static_cast<char>(p[2] == 1 ? drawer_status() : paper_status());
    Event e{Event::kStatus};
    e.value = p[2];
    add_event(std::move(e));
    return 3;
  }
  refuse(1);
  return 1;
}

}  // namespace vuno_sim
