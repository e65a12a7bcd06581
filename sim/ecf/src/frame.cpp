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
  for (;;) {
    auto open = buffer_.find('{');
    if (open == std::string::npos) {
      buffer_.clear();
      return std::nullopt;
    }
    if (open > 0) buffer_.erase(0, open);
    // Try every '}' in turn: the first one whose frame checks out ends the request.
    std::size_t close = 0;
    while ((close = buffer_.find('}', close + 1)) != std::string::npos) {
      auto req = parse_inside(std::string_view(buffer_).substr(1, close - 1));
      if (req) {
        buffer_.erase(0, close + 1);
        return req;
      }
    }
    // A later '{' that starts a whole frame means the bytes before it were noise (a frame
    // cut short by the host, for instance).
    bool resynced = false;
    for (auto again = buffer_.find('{', 1); again != std::string::npos && !resynced;
         again = buffer_.find('{', again + 1)) {
      for (std::size_t c = buffer_.find('}', again); c != std::string::npos;
           c = buffer_.find('}', c + 1)) {
        if (parse_inside(std::string_view(buffer_).substr(again + 1, c - again - 1))) {
          buffer_.erase(0, again);
          resynced = true;
          break;
        }
      }
    }
    if (resynced) continue;
    // Guard against a line that never ends a frame.
    if (buffer_.size() > 1 << 20) buffer_.clear();
    return std::nullopt;
  }
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
