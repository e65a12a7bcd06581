#include "orvik/peripherals/scale.h"

#include <algorithm>
#include <chrono>
#include <string_view>

#include "common/text1252.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/port.h"
#include "orvik/core/state.h"
#include "orvik/peripherals/vuno_bytes.h"

namespace orvik::peripherals {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kEnq = 0x05;
constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr const char* kBanner = "---------------[1.0.0.8]------------";
constexpr int kAttempts = 3;
constexpr auto kReplyWait = std::chrono::seconds(1);
// A reply longer than this is noise, whatever follows; the attempt stops collecting.
constexpr size_t kMaxReply = 4096;
// What waits on the line before an ENQ is read away in at most this many chunks.
constexpr int kDiscardChunks = 16;

bool EndsWithEtx(const std::string& bytes) {
  return !bytes.empty() && bytes.back() == kEtx;
}

void DiscardInput() {
  for (int i = 0; i < kDiscardChunks; ++i)
    if (core::ReadPortChunk(2).empty()) return;
}

std::string Collect() {
  std::string collected;
  const auto deadline = Clock::now() + kReplyWait;
  while (!EndsWithEtx(collected) && collected.size() < kMaxReply && Clock::now() < deadline)
    collected += core::ReadPortChunk(2);
  return collected;
}

}  // namespace

ScaleReading ParseScaleReply(const char* begin, const char* end) {
  ScaleReading reading;
  if (!begin || end <= begin || end[-1] != kEtx) return reading;
  const std::string_view reply(begin, static_cast<size_t>(end - begin - 1));
  const size_t stx = reply.rfind(kStx);
  if (stx == std::string_view::npos) return reading;
  const std::string_view text = reply.substr(stx + 1);
  if (text.empty() || text.size() > kMaxWeightText) return reading;
  const bool control = std::any_of(text.begin(), text.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F;
  });
  if (control) return reading;
  reading.text = std::string(text);
  if (text == "IIIII")
    reading.kind = ScaleReading::kUnstable;
  else if (text == "SSSSS")
    reading.kind = ScaleReading::kOverload;
  else if (text == "NNNNN")
    reading.kind = ScaleReading::kNegative;
  else
    reading.kind = ScaleReading::kWeight;
  return reading;
}

std::string ScaleSpeed(const std::string& speed_text) {
  switch (speed_text.empty() ? '\0' : speed_text[0]) {
    case '1':
      return "1200";
    case '2':
      return "2400";
    case '4':
      return "4800";
    default:
      return "9600";
  }
}

int LeBalanca(const std::string& port, const std::string& speed, char* weight) {
  core::DriverState& s = core::State();
  s.port2.device = core::ScaleDeviceName(port);
  s.port2.speed = ScaleSpeed(speed);
  core::Log(kBanner);
  if (!core::OpenPort(2)) {
    s.last_return_code = -5;
    s.last_message = "Erro Abertura Porta Serial";
    return -5;
  }
  core::ConfigurePort(2);

  ScaleReading reading;
  for (int attempt = 0; attempt < kAttempts && reading.kind == ScaleReading::kNone; ++attempt) {
    // A late answer to an earlier ENQ must not be taken for this one.
    DiscardInput();
    core::WritePort(2, std::string_view(&kEnq, 1));
    const std::string collected = Collect();
    core::Log("Pacote Balanca ASCII:[ " + collected + " ]");
    core::Log("Pacote Balanca HEX  :[ " + HexBytes(collected) + " ]");
    reading = ParseScaleReply(collected.data(), collected.data() + collected.size());
  }
  core::ClosePort(2);

  if (reading.kind == ScaleReading::kNone) {
    s.last_return_code = -1;
    s.last_message = common::utf8_to_cp1252("Falha de comunicação");
    core::Log(s.last_message);
    return 0;
  }
  s.return_value = reading.text;
  core::WriteAsIs(weight);
  switch (reading.kind) {
    case ScaleReading::kUnstable:
      s.last_message = common::utf8_to_cp1252("Peso instável");
      return -34;
    case ScaleReading::kOverload:
      s.last_message = "Peso excedido";
      return -35;
    case ScaleReading::kNegative:
      s.last_message = "Peso negativo";
      return -33;
    default:
      s.last_message.clear();
      return 1;
  }
}

}  // namespace orvik::peripherals
