#pragma once
// The printer's side of the framing: requests "{pkt;Command;params;len}" come in, replies
// "{pkt;code;results;len}" go out. The length counts the characters from the packet number
// up to and including the third ';'.
#include <optional>
#include <string>
#include <string_view>

namespace ecf_sim {

struct Request {
  std::string packet;
  std::string command;
  std::string params;
};

// Collects bytes from the line and cuts complete requests out of them. Bytes before a '{'
// are noise and dropped. A '}' inside the parameters does not end a request: a request is
// complete only when its length field matches, so free texts may hold braces.
class FrameAssembler {
 public:
  void feed(std::string_view bytes) { buffer_.append(bytes); }

  // The next complete request, or nothing while the bytes do not yet hold one.
  std::optional<Request> next();

  // Bytes held that belong to no complete request yet.
  std::size_t pending() const { return buffer_.size(); }

  void clear() { buffer_.clear(); }

 private:
  std::string buffer_;
};

// The reply frame for a packet number, a code and the results text.
std::string build_reply(std::string_view packet, std::string_view code, std::string_view results);

}  // namespace ecf_sim
