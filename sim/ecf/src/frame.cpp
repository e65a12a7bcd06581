#include "ecf_sim/frame.h"

#include <cctype>

namespace ecf_sim {

namespace {

bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// Splits the inside of a frame (between the braces) when its length field matches.
std::optional<Request> parse_inside(std::string_view inside) {
  auto last = inside.rfind(';');
  if (last == std::string_view::npos) return std::nullopt;
  auto len_text = inside.substr(last + 1);
  if (!all_digits(len_text) || len_text.size() > 6) return std::nullopt;
  if (std::stoul(std::string(len_text)) != last + 1) return std::nullopt;
  auto body = inside.substr(0, last);  // pkt;command;params
  auto first = body.find(';');
  if (first == std::string_view::npos) return std::nullopt;
  auto second = body.find(';', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  Request r;
  r.packet = std::string(body.substr(0, first));
  r.command = std::string(body.substr(first + 1, second - first - 1));
  r.params = std::string(body.substr(second + 1));
  if (!all_digits(r.packet)) return std::nullopt;
  return r;
}

}  // namespace

std::optional<Request> FrameAssembler::next() {
  if (scanned_ == 0) {
    const std::size_t open = buffer_.find('{');
    if (open == std::string::npos) {
      buffer_.clear();
      return std::nullopt;
    }
    buffer_.erase(0, open);
  }
  // One pass over the bytes not seen yet. A frame "{pkt;cmd;...;len}" is told by its
  // end: the length field before a '}' names where its '{' must be, and what the pass
  // learnt about that '{' (digits, then two ';') settles the rest at once. Of the frames
  // found, the one that starts first wins, as the earliest '{' is the oldest request.
  std::size_t best_open = std::string::npos, best_close = std::string::npos;
  for (std::size_t p = scanned_; p < buffer_.size(); ++p) {
    const char c = buffer_[p];
    if (c == '}') {
      const std::size_t open = frame_start(p);
      if (open != std::string::npos && open < best_open) {
        best_open = open;
        best_close = p;
      }
    } else if (c == ';') {
      for (std::size_t open : after_packet_) shaped_[open] = p;
      after_packet_.clear();
    }
    if (c == '{') {
      in_packet_ = p;
      packet_digits_ = 0;
    } else if (in_packet_ != std::string::npos) {
      if (std::isdigit(static_cast<unsigned char>(c))) {
        ++packet_digits_;
      } else {
        if (c == ';' && packet_digits_ > 0) after_packet_.push_back(in_packet_);
        in_packet_ = std::string::npos;
      }
    }
  }
  scanned_ = buffer_.size();
  if (best_open != std::string::npos) {
    auto req =
        parse_inside(std::string_view(buffer_).substr(best_open + 1, best_close - best_open - 1));
    buffer_.erase(0, best_close + 1);
    forget();
    if (req) return req;
    return next();
  }
  // Guard against a line that never ends a frame.
  if (buffer_.size() > 1 << 20) clear();
  return std::nullopt;
}

std::size_t FrameAssembler::frame_start(std::size_t close) const {
  std::size_t semi = close;
  unsigned long length = 0, scale = 1;
  while (semi > 0 && std::isdigit(static_cast<unsigned char>(buffer_[semi - 1]))) {
    if (close - semi == 6) return std::string::npos;  // longer than a length field
    --semi;
    length += static_cast<unsigned long>(buffer_[semi] - '0') * scale;
    scale *= 10;
  }
  if (semi == close || semi == 0 || buffer_[semi - 1] != ';') return std::string::npos;
  --semi;  // the ';' before the length
  // The length counts the characters from the packet number up to this ';'.
  if (length > semi) return std::string::npos;
  const std::size_t open = semi - length;
  if (buffer_[open] != '{') return std::string::npos;
  const auto it = shaped_.find(open);
  if (it == shaped_.end() || it->second >= semi) return std::string::npos;
  return open;
}

void FrameAssembler::forget() {
  scanned_ = 0;
  in_packet_ = std::string::npos;
  packet_digits_ = 0;
  after_packet_.clear();
  shaped_.clear();
}

std::string build_reply(std::string_view packet, std::string_view code, std::string_view results) {
  std::string inside;
  inside.reserve(packet.size() + code.size() + results.size() + 8);
  inside.append(packet).append(";").append(code).append(";").append(results).append(";");
  std::string out = "{";
  out += inside;
  out += std::to_string(inside.size());
  out += "}";
  return out;
}

}  // namespace ecf_sim
