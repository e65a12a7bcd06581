#include "orvik/qvx/engine.h"

#include <algorithm>
#include <chrono>

#include "common/text1252.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/port.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/qvx/reply.h"

namespace orvik::qvx {
namespace {

using core::DriverState;
using core::State;

// A reply larger than this is noise on the line, not an answer.
constexpr size_t kMaxReplyBytes = 1 << 20;

void SetFailure(int code, std::string_view utf8_message) {
  DriverState& s = State();
  s.last_return_code = code;
  s.last_message = common::utf8_to_cp1252(utf8_message);
}

// Clears the busy flag and closes port 1 on every way out.
class CommandScope {
 public:
  CommandScope() { State().busy = true; }
  ~CommandScope() {
    State().busy = false;
    core::ClosePort(1);
  }
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;
};

int Send(std::string_view text) {
  DriverState& s = State();
  CommandScope scope;
  s.ack = 6;
  s.st1 = 0;
  s.st2 = 0;
  const int command = core::ParseInteger(text.substr(0, 2), -1);

  // Writing into a port that never opened would only wait out the time-out.
  if (!core::OpenPort(1)) {
    SetFailure(-5, "Erro Abertura Porta Serial");
    return -5;
  }
  core::ConfigurePort(1);
  // A late reply to an earlier command must not pass for this one's.
  core::DiscardPortInput(1);

  const std::string frame = BuildQvxFrame(text);
  core::WritePort(1, frame);
  core::Log(frame);

  const auto start = std::chrono::steady_clock::now();
  const auto limit = std::chrono::seconds(QvxTimeoutFor(command));
  std::string reply;
  bool complete = false;
  while (!complete && std::chrono::steady_clock::now() - start < limit) {
    // Before the first byte the wait is long (a read returns as soon as bytes arrive);
    // once a reply is coming, short slices tell when the line has gone quiet.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        limit - (std::chrono::steady_clock::now() - start));
    const int wait = reply.empty() ? static_cast<int>(std::clamp<long>(left.count(), 1, 100)) : 5;
    const std::string chunk = core::ReadPortChunk(1, wait);
    reply += chunk;
    if (reply.size() > kMaxReplyBytes) break;
    complete = ReplyComplete(reply, chunk.empty());
  }
  if (!complete) {
    SetFailure(-1, "Falha de comunicação");
    core::Log(s.last_message);
    return 0;
  }
  core::Log(reply);

  const bool read = IsReadCommand(command);
  s.read_value.clear();
  const QvxReply parsed = ParseQvxReply(reply, command);
  if (parsed.frames == 0) {
    // Bytes that hold no answer are a failed exchange, not an answer.
    SetFailure(-1, "Falha de comunicação");
    core::Log(s.last_message);
    return 0;
  }
  if (parsed.has_data) s.read_value = parsed.data;
  if (parsed.accepted) {
    s.last_return_code = read ? 0 : core::ParseInteger(parsed.error_number, 9999);
    s.last_message.clear();
    return 1;
  }
  s.st2 = 1;
  SetFailure(core::ParseInteger(parsed.error_number, 9999), ErrorMessageFor(parsed.error_number));
  return 0;
}

}  // namespace

std::string BuildQvxFrame(std::string_view text) {
  std::string frame;
  frame.reserve(text.size() + 4);
  frame += kStx;
  frame += kEsc;
  frame += '$';
  frame += text;
  frame += kEtx;
  return frame;
}

int QvxTimeoutFor(int command) {
  switch (command) {
    case 3:
    case 15:
    case 16:
      return 60;
    case 8:
    case 14:
      return 20;
    default:
      return 10;
  }
}

int ExecuteQvx(std::string_view text) {
  DriverState& s = State();
  if (s.busy) return 0;
  try {
    return Send(text);
  } catch (...) {
    // Nothing may escape towards the C interface; the scope has closed the port.
    SetFailure(-1, "Falha de comunicação");
    return 0;
  }
}

int ReadQvxRegister(int reg) {
  return ExecuteQvx("34M" + core::LastDigits(std::to_string(reg), 2));
}

}  // namespace orvik::qvx
