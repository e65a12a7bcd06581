#include "orvik/peripherals/vuno.h"

#include <chrono>
#include <thread>

#include "common/text1252.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/port.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/peripherals/parallel_io.h"

namespace orvik::peripherals {
namespace {

using Clock = std::chrono::steady_clock;
using core::DriverState;
using core::State;

constexpr const char* kBanner = "---------------[1.0.0.8]------------";
constexpr auto kReadyWait = std::chrono::seconds(1);
constexpr auto kCtsWait = std::chrono::seconds(2);
constexpr auto kReplyWait = std::chrono::seconds(2);
// Input left on the line is read away in at most this many chunks before a query.
constexpr int kDiscardChunks = 16;

// Marks the library busy for the length of one send.
class BusyScope {
 public:
  BusyScope() : was_(State().busy) { State().busy = true; }
  ~BusyScope() { State().busy = was_; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool was_;
};

void Succeeded() {
  DriverState& s = State();
  s.last_return_code = 0;
  s.last_message.clear();
}

int Offline() {
  DriverState& s = State();
  s.last_return_code = -10;
  s.last_message = "Impressora offline ou desligada";
  core::Log("[ IMPRESSORA OFFLINE OU DESLIGADA ]");
  return 0;
}

int PortNotOpened() {
  DriverState& s = State();
  s.last_return_code = -5;
  s.last_message = "Erro Abertura Porta Serial";
  return -5;
}

int LibraryMissing() {
  DriverState& s = State();
  s.last_return_code = -11;
  s.last_message = common::utf8_to_cp1252("Não foi possível carregar INPOUT32.DLL");
  core::Log(s.last_message);
  return 0;
}

int TooLong() {
  DriverState& s = State();
  s.last_return_code = -1;
  s.last_message = "Codigo de barras maior que o tamanho permitido";
  core::Log("---[" + s.last_message + "]---");
  return 0;
}

void LogPacket(std::string_view bytes, bool parallel) {
  core::Log(kBanner);
  const std::string lpt = parallel ? "(LPT)" : "";
  core::Log("Pacote Vuno ASCII" + lpt + ":[ " + std::string(bytes) + " ]");
  core::Log("Pacote Vuno HEX" + lpt + ":  [ " + HexBytes(bytes) + " ]");
}

// Reads the status register for a query, logging it.
uint8_t ReadStatusLogged(PortIo& io) {
  const auto value = static_cast<uint8_t>(io.In(State().lpt_base1) & 0xFF);
  core::Log("LeituraPorta:" + std::to_string(value) + " " + Hex2(value));
  return value;
}

// Waits up to a second for the printer to take the byte (status bit 7 set).
bool WaitReady(PortIo& io, int status_address) {
  const auto deadline = Clock::now() + kReadyWait;
  for (int polls = 0;; ++polls) {
    if (ParallelReady(static_cast<uint8_t>(io.In(status_address)))) return true;
    if (Clock::now() >= deadline) return false;
    // A printer that is not ready at once is busy for milliseconds; poll gently then.
    if (polls >= 64) std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

int ParallelSend(std::string_view bytes, bool log_each_byte) {
  const DriverState& s = State();
  core::Log("<<Porta (" + s.port1.device + ") utilizada >>");
  PortIo* io = ParallelIo();
  if (!io) return LibraryMissing();
  for (size_t i = 0; i < bytes.size(); ++i) {
    io->Out(s.lpt_base, static_cast<uint8_t>(bytes[i]));
    io->Out(s.lpt_base2, 0xDF);
    io->Out(s.lpt_base2, 0xDE);
    if (!WaitReady(*io, s.lpt_base1)) return Offline();
    if (log_each_byte)
      core::Log("[" + std::to_string(i) + "]=" + Hex2(static_cast<uint8_t>(bytes[i])));
  }
  LogPacket(bytes, true);
  // A success leaves no earlier failure behind, as on the serial port.
  Succeeded();
  return 1;
}

bool WaitCts() {
  const auto deadline = Clock::now() + kCtsWait;
  for (;;) {
    if (core::IsCtsOn(1)) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// Opens and configures port 1; the answer to give when that fails, 0 when it worked.
int OpenSerial(bool& opened) {
  opened = false;
  if (!core::OpenPort(1)) return PortNotOpened();
  if (!core::ConfigurePort(1)) {
    // A speed the line cannot take would send garbage.
    core::ClosePort(1);
    PortNotOpened();
    return 0;
  }
  opened = true;
  return 0;
}

// Writes bytes on the open port 1; false when the write was cut short.
bool WriteAll(std::string_view bytes) {
  const long written =
      core::WritePortWithin(1, bytes, SerialWriteLimitMs(bytes.size(), State().port1.speed));
  return written == static_cast<long>(bytes.size());
}

void DiscardInput(int port) {
  for (int i = 0; i < kDiscardChunks; ++i)
    if (core::ReadPortChunk(port).empty()) return;
}

// One serial send; a query first discards what is waiting on the line (a late byte of
// an earlier exchange must not answer it) and keeps the port open for its reply.
int SerialSend(std::string_view bytes, bool wait_cts, bool query = false) {
  bool opened;
  const int answer = OpenSerial(opened);
  if (!opened) return answer;
  if (query) DiscardInput(1);
  if (wait_cts && !WaitCts()) {
    core::ClosePort(1);
    return Offline();
  }
  if (!WriteAll(bytes)) {
    core::ClosePort(1);
    return Offline();
  }
  LogPacket(bytes, false);
  Succeeded();
  if (!query) core::ClosePort(1);
  return 1;
}

int Send(std::string_view bytes, bool wait_cts) {
  if (State().busy) return 1;
  BusyScope busy;
  core::ReadPortSettings();
  if (State().model_family == 4) return ParallelSend(bytes, false);
  return SerialSend(bytes, wait_cts);
}

// Sends DLE EOT n and decodes the first byte of the reply; 0 with -10 when none comes.
template <class Decode>
int SerialQuery(int n, Decode decode) {
  if (State().busy) return 1;
  BusyScope busy;
  core::ReadPortSettings();
  const int sent = SerialSend(StatusRequest(n), false, true);
  if (sent != 1) return sent;
  std::string reply;
  const auto deadline = Clock::now() + kReplyWait;
  while (reply.empty() && Clock::now() < deadline) reply = core::ReadPortChunk(1);
  core::ClosePort(1);
  core::Log("Pacote Rec  ASCII:[ " + reply + " ]");
  core::Log("Pacote Rec  HEX:  [ " + HexBytes(reply) + " ]");
  if (reply.empty()) return Offline();
  return decode(static_cast<uint8_t>(reply[0]));
}

// Reads the parallel status register for a query; nothing when the library is missing.
template <class Decode>
int ParallelQuery(Decode decode) {
  core::ReadPortSettings();
  PortIo* io = ParallelIo();
  if (!io) return LibraryMissing();
  return decode(ReadStatusLogged(*io));
}

bool Serial() {
  return State().model_family == 5;
}

}  // namespace

int SerialWriteLimitMs(size_t n, const std::string& speed) {
  const int bits = core::ParseInteger(speed, 0);
  const int64_t per_second = bits > 0 ? bits : 9600;
  // Ten bits per byte on the line (start, eight data, stop).
  const int64_t wire_ms = static_cast<int64_t>(n) * 10 * 1000 / per_second;
  const int64_t limit = 1000 + 2 * wire_ms;
  return limit > INT32_MAX ? INT32_MAX : static_cast<int>(limit);
}

int EnviaBuffer(const std::string& text) {
  return Send(text, true);
}

int EnviaBufferFormatado(const std::string& text, int font, int italic, int underline,
                         int double_width, int emphasis) {
  return Send(FormattedText(text, font, italic, underline, double_width, emphasis), true);
}

int EnviaComando(const std::string& bytes) {
  if (State().busy) return 1;
  BusyScope busy;
  core::ReadPortSettings();
  if (State().model_family == 4) return ParallelSend(bytes, true);
  return SerialSend(bytes, false);
}

int AcionaGaveta() {
  return Send(DrawerPulse(), false);
}

int AcionaBuzLite(int repetitions, int duration, int pause) {
  const int clamped = ClampBuzzerDuration(duration);
  const int64_t wait_ms = BeepPauseMs(pause, clamped);
  int answer = 0;
  for (int i = 0; i < repetitions; ++i) {
    answer = Send(Beep(clamped), false);
    std::this_thread::sleep_for(std::chrono::milliseconds(wait_ms));
  }
  return answer;
}

int AcionaGuilhotina(int mode) {
  return Send(Cut(mode), true);
}

int AcionaGuilhotinaParcial(int n) {
  return Send(PartialCut(n), true);
}

int ImprimeCodigoBarras(Barcode kind, const std::string& data) {
  const auto bytes = BarcodeBytes(kind, data);
  if (!bytes) return TooLong();
  return Send(*bytes, true);
}

int ImprimeCodigoBarrasPDF417(int a, int b, int c, int d, const std::string& data) {
  const auto bytes = Pdf417Bytes(a, b, c, d, data);
  if (!bytes) return TooLong();
  return Send(*bytes, true);
}

int ConfiguraCodigoBarras(int height, int width, int text_position, int font, int margin) {
  return Send(BarcodeSettings(height, width, text_position, font, margin), true);
}

int AjustaLarguraPapel(int width) {
  return Send(PaperWidth(width), true);
}

int VerificaOnLine() {
  if (Serial()) {
    if (State().busy) return 1;
    core::ReadPortSettings();
    bool opened;
    const int answer = OpenSerial(opened);
    if (!opened) return answer;
    const bool cts = core::IsCtsOn(1);
    core::ClosePort(1);
    return cts ? 1 : Offline();
  }
  return ParallelQuery([](uint8_t status) { return ParallelOnline(status) ? 1 : Offline(); });
}

int VerificaPoucoPapel() {
  if (Serial()) return SerialQuery(4, PaperLowAnswer);
  return 0;
}

int VerificaFimPapel() {
  if (Serial()) return SerialQuery(4, PaperEndAnswer);
  return ParallelQuery([](uint8_t status) { return ParallelPaperEndAnswer(status); });
}

int VerificaEstadoGaveta() {
  if (Serial()) return SerialQuery(1, DrawerAnswer);
  return 0;
}

}  // namespace orvik::peripherals
