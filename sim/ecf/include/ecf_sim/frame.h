#pragma once
// The printer's side of the framing: requests "{pkt;Command;params;len}" come in, replies
// "{pkt;code;results;len}" go out. The length counts the characters from the packet number
// up to and including the third ';'.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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

  void clear() {
    buffer_.clear();
    forget();
  }

 private:
  // Where the '{' of a frame ending at the '}' at close must be, when the length field
  // and what the scan learnt about that '{' agree; npos otherwise.
  std::size_t frame_start(std::size_t close) const;
  void forget();

  std::string buffer_;
  // What one pass learnt about the bytes before scanned_, kept while the buffer's front
  // stays, so that every byte is looked at once however many braces the noise holds.
  std::size_t scanned_ = 0;
  std::size_t in_packet_ = std::string::npos;  // the '{' whose packet number is being read
  std::size_t packet_digits_ = 0;
  std::vector<std::size_t> after_packet_;  // '{' past their first ';', waiting for a second
  std::unordered_map<std::size_t, std::size_t> shaped_;  // '{' -> its second ';'
};

// The reply frame for a packet number, a code and the results text.
std::string build_reply(std::string_view packet, std::string_view code, std::string_view results);

}  // namespace ecf_sim
