#include "qvx_sim/server.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>

namespace qvx_sim {
namespace {

constexpr char kStx = 0x02, kEtx = 0x03, kEsc = 0x1B;
// An unfinished frame longer than this is noise, not a command.
constexpr size_t kMaxFrame = 64 * 1024;

std::string two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v < 0 ? 0 : v % 100);
  return b;
}

}  // namespace

std::string build_reply(int command, const Printer& printer, const Reply& r) {
  std::string out(1, kStx);
  out += r.status;
  out += two(command);
  out += two(static_cast<int>(printer.state().doc));
  out += r.status == 'S' ? r.data : two(r.error);
  out += kEtx;
  return out;
}

std::string decode_bytes(std::string_view text) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && text.size() >= i + 4 && text[i + 1] == 'x' && hex(text[i + 2]) >= 0 &&
        hex(text[i + 3]) >= 0) {
      out += static_cast<char>(hex(text[i + 2]) * 16 + hex(text[i + 3]));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

void FrameCutter::feed(std::string_view bytes) {
  buffer_.append(bytes);
}

std::optional<FrameCutter::Frame> FrameCutter::next() {
  const size_t stx = buffer_.find(kStx);
  if (stx == std::string::npos) {
    buffer_.clear();
    return std::nullopt;
  }
  buffer_.erase(0, stx);
  const size_t etx = buffer_.find(kEtx, 1);
  if (etx == std::string::npos) {
    if (buffer_.size() > kMaxFrame) buffer_.clear();
    return std::nullopt;
  }
  Frame f;
  if (etx >= 3 && buffer_[1] == kEsc && buffer_[2] == '$')
    f.text = buffer_.substr(3, etx - 3);
  else
    f.bad_header = true;
  buffer_.erase(0, etx + 1);
  return f;
}

Server::Server(Printer& printer)
    : printer_(printer), loop_(line_, [this](std::string_view bytes) {
        cutter_.feed(bytes);
        while (auto f = cutter_.next()) handle(*f);
      }) {}

Server::~Server() {
  stop();
}

void Server::apply_control_file() {
  for (const devkit::ControlLine& c : control_.take()) {
    Fault f;
    int count = 1;
    const std::string& w = c.word;
    if (w == "error") {
      f.kind = Fault::kError;
      f.code = c.number(0, 10);
      count = c.number(1, 1);
    } else if (w == "busy") {
      f.kind = Fault::kError;
      f.code = 43;
      count = c.number(0, 1);
    } else if (w == "silent") {
      f.kind = Fault::kSilence;
      count = c.number(0, 1);
    } else if (w == "slow") {
      f.kind = Fault::kSlow;
      f.delay_ms = c.number(0, 500);
      count = c.number(1, 1);
    } else if (w == "split") {
      f.kind = Fault::kSplit;
      f.parts = c.number(0, 2);
      f.delay_ms = c.number(1, 20);
      count = c.number(2, 1);
    } else if (w == "noise") {
      f.kind = Fault::kNoise;
      f.bytes = decode_bytes(c.text_arg(0, "\\x15"));
      count = c.number(1, 1);
    } else if (w == "double") {
      f.kind = Fault::kDouble;
      count = c.number(0, 1);
    } else if (w == "short") {
      f.kind = Fault::kShort;
      count = c.number(0, 1);
    } else if (w == "trailing") {
      f.kind = Fault::kTrailing;
      f.bytes = decode_bytes(c.text_arg(0, "\\x15"));
      count = c.number(1, 1);
    } else {
      std::lock_guard lock(mutex_);
      State& s = printer_.state();
      if (w == "paper-out" || w == "paper-low" || w == "paper-ok") {
        s.paper_out = w == "paper-out";
        s.paper_low = w == "paper-low";
      } else if (w == "drawer-open" || w == "drawer-closed") {
        s.drawer_open = w == "drawer-open";
      } else if (w == "intervention-on" || w == "intervention-off") {
        printer_.set_intervention(w == "intervention-on");
      } else if (w == "clear") {
        clear_faults();
      } else {
        std::cerr << "orvik-qvx-sim: linha de controle ignorada: " << c.text << "\n";
      }
      continue;
    }
    inject(f, count < 1 ? 1 : count);
  }
}

void Server::handle(const FrameCutter::Frame& frame) {
  apply_control_file();
  ++served_;
  // A real printer on a line of another speed or framing hears only garbage.
  if (auto line = line_.host_settings();
      line && (line->baud != 9600 || !line->cts_flow || line->stop_bits != 1 ||
               line->data_bits != 8 || line->parity != 'N')) {
    ++wrong_line_;
    std::cerr << "orvik-qvx-sim: linha em " << devkit::describe(*line)
              << ", esperada 9600 8N1 CTS: sem resposta\n";
    return;
  }
  std::optional<Fault> fault = faults_.take();
  if (fault && fault->kind == Fault::kSilence) return;
  const int command = frame.text.size() >= 2 &&
                              isdigit(static_cast<unsigned char>(frame.text[0])) &&
                              isdigit(static_cast<unsigned char>(frame.text[1]))
                          ? (frame.text[0] - '0') * 10 + (frame.text[1] - '0')
                          : 0;
  std::string reply;
  bool save = false;
  std::vector<std::string> printed;
  {
    std::lock_guard lock(mutex_);
    Reply r;
    if (frame.bad_header)
      r = Reply{'-', 1, {}};
    else if (fault && fault->kind == Fault::kError)
      r = Reply{'-', fault->code, {}};
    else
      r = printer_.execute(frame.text);
    reply = build_reply(command, printer_, r);
    save = printer_.changed() && !state_file_.empty();
    printed = printer_.take_new_lines();
  }
  if (fault && fault->kind == Fault::kSlow) devkit::sleep_ms(fault->delay_ms);
  if (fault && fault->kind == Fault::kNoise) reply = fault->bytes + reply;
  if (fault && fault->kind == Fault::kTrailing) reply += fault->bytes;
  if (fault && fault->kind == Fault::kDouble)
    reply = build_reply(command, printer_, Reply{'-', 43, {}}) + reply;
  if (fault && fault->kind == Fault::kShort) reply = reply.substr(0, 3) + std::string(1, kEtx);
  if (fault && fault->kind == Fault::kSplit)
    line_.write_in_pieces(reply, fault->parts, fault->delay_ms);
  else
    line_.write_all(reply);

  if (!tape_file_.empty() && !printed.empty()) {
    std::ofstream tape(tape_file_, std::ios::app | std::ios::binary);
    for (const auto& l : printed) tape << l << "\r\n";
  }
  if (save) {
    std::lock_guard lock(mutex_);
    std::string error;
    if (printer_.save(state_file_, &error))
      printer_.clear_changed();
    else
      std::cerr << "orvik-qvx-sim: " << error << "\n";
  }
}

}  // namespace qvx_sim
