#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include "ecf_sim/frame.h"

namespace ecf_sim::testing {

std::vector<std::string> capture_lines(const std::string& data) {
  std::vector<std::string> lines;
  std::string cur;
  std::size_t width = 48;
  auto translate = [](unsigned char b) -> char {
    switch (b) {
      case 0x80:
        return '\xC7';  // Ç
      case 0x90:
        return '\xC9';  // É
      case 0xA0:
        return 'a';
      case 0xB5:
        return '\xC1';  // Á
      case 0xC6:
        return '\xE3';  // ã
      case 0xC7:
        return '\xC3';  // Ã
      case 0xD6:
        return 'I';
      case 0xE0:
        return '\xD3';  // Ó
      case 0xE5:
        return '\xD5';  // Õ
      default:
        return static_cast<char>(b);
    }
  };
  auto end_line = [&] {
    lines.push_back(cur);
    cur.clear();
    width = 48;
  };
  for (std::size_t i = 0; i < data.size();) {
    unsigned char b = static_cast<unsigned char>(data[i]);
    if (b == 27 && i + 2 < data.size() && data[i + 1] == '!') {
      if (!cur.empty() && cur.size() >= width) end_line();
      width = data[i + 2] == 1 ? 57 : 48;
      i += 3;
      continue;
    }
    if (b == 27 && i + 2 < data.size() && data[i + 1] == 'E') {
      i += 3;
      continue;
    }
    if (b == 27) {
      i += 2;
      continue;
    }
    if (b == '\\' && i + 1 < data.size()) {
      cur += data[i + 1];
      i += 2;
    } else if (b == '\n') {
      end_line();
      ++i;
      continue;
    } else {
      cur += translate(b);
      ++i;
    }
    if (cur.size() == width || cur == std::string(48, '-')) end_line();
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

std::vector<std::string> document_lines(const std::vector<std::string>& lines, int coo) {
  char want[16];
  std::snprintf(want, sizeof want, "COO:%06d", coo);
  std::vector<std::string> out;
  // A document starts five lines above its header (owner name, two address lines, CNPJ,
  // IM, dashes) and ends with its FAB line.
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].size() == 48 && lines[i].compare(38, 10, want) == 0) {
      std::size_t start = i >= 6 ? i - 6 : 0;
      for (std::size_t j = start; j < lines.size(); ++j) {
        out.push_back(lines[j]);
        if (lines[j].rfind("FAB:", 0) == 0) break;
      }
      break;
    }
  }
  return out;
}

RawClient::RawClient(const std::string& device) {
  fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) return;
  termios t{};
  tcgetattr(fd_, &t);
  cfmakeraw(&t);
  tcsetattr(fd_, TCSANOW, &t);
}

RawClient::~RawClient() {
  if (fd_ >= 0) ::close(fd_);
}

RawClient::Answer RawClient::send(const std::string& command, const std::string& params,
                                  int timeout_ms) {
  packet_ = packet_ % 255 + 1;
  std::string inside = std::to_string(packet_) + ";" + command + ";" + params + ";";
  std::string frame = "{" + inside + std::to_string(inside.size()) + "}";
  Answer a;
  if (::write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return a;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  FrameAssembler replies;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 5) <= 0) continue;
    char buf[65536];
    ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n <= 0) continue;
    a.raw.append(buf, static_cast<std::size_t>(n));
    replies.feed(std::string_view(buf, static_cast<std::size_t>(n)));
    // A reply has the shape of a request: packet;code;results;length.
    if (auto r = replies.next()) {
      a.complete = true;
      a.code = r->command.empty() ? 9999 : std::atoi(r->command.c_str());
      a.results = r->params;
      return a;
    }
  }
  return a;
}

std::string RawClient::read_printout(int* replies) {
  std::string out;
  int empty = 0, count = 0;
  while (empty < 2 && count < 1000000) {
    Answer a = send("LeImpressao");
    ++count;
    if (!a.complete || a.code != 0) break;
    // TextoImpressao="..." : the text without the name, the equals sign and the quotes.
    std::string text = a.results.size() >= 17 ? a.results.substr(16, a.results.size() - 17) : "";
    if (text.size() < 2) {
      ++empty;
    } else {
      empty = 0;
      out += text;
    }
  }
  if (replies) *replies = count;
  return out;
}

}  // namespace ecf_sim::testing
