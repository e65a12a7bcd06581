#include "orvik/lumvar/engine.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "common/files.h"
#include "common/text1252.h"
#include "orvik/core/config.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/port.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/amounts.h"
#include "orvik/lumvar/reply.h"

namespace orvik::lumvar {
namespace {

using core::DriverState;
using core::State;

constexpr const char* kBanner = "---------------[1.0.0.8]------------";
constexpr const char* kCommFailure = "Falha de comunicação";  // UTF-8 here, 1252 on the API
// A reply larger than this is noise on the line, not an answer.
constexpr size_t kMaxReplyBytes = 1 << 20;

std::string Cp1252(std::string_view utf8) {
  return common::utf8_to_cp1252(utf8);
}

bool StartsWithLe(std::string_view command) {
  return command.substr(0, 2) == "Le";
}

// Clears the busy flag and closes port 1 (unless a capture keeps it) on every way out.
class CommandScope {
 public:
  CommandScope() { State().busy = true; }
  ~CommandScope() {
    DriverState& s = State();
    s.busy = false;
    if (!s.keep_port_open) core::ClosePort(1);
  }
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;
};

// Stored before anything is sent, so a failed command still uses its number up. The
// file is visited once: the digits are overwritten where they are unless their count
// changes (at 10, 100 and the wrap to 1), when the file is rewritten whole.
int NextPacketNumber() {
  return static_cast<int>(core::StepConfigNumber("Flags", "NumPkt", 1, [](long stored) {
    const long packet = static_cast<long>(static_cast<int>(stored)) + 1;
    return packet < 1 || packet > 255 ? 1L : packet;
  }));
}

void SetFailure(int code, std::string message) {
  DriverState& s = State();
  s.last_message = std::move(message);
  s.last_return_code = code;
}

// Step 1: a gerencial report the host left open is closed before any other command.
// False when closing it failed for lack of communication.
bool CloseGerencialLeftOpen() {
  DriverState& s = State();
  s.gerencial_open = 0;
  const int closed =
      ExecuteLumvar("EncerraDocumento", "Operador=\"" + EscapeQuotes(s.operator_name) + "\"");
  if (s.line_spacing > 0)
    ExecuteLumvar("AvancaPapel", "Avanco=" + std::to_string(s.line_spacing * 30));
  if (s.lumvar_submodel != 0 && s.habilita_corte != "0") {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ExecuteLumvar("CortaPapel", "TipoCorte=0");
  }
  if (closed == 0 && s.last_return_code == -1) return false;
  core::Config().write("Flags", "Gerencial", "0");
  return true;
}

// Step 2: the automatic monthly fiscal-memory reading. Returns 1 to go on with the
// requested command, otherwise the failure to return.
int AutomaticMonthlyReading() {
  DriverState& s = State();
  // Marked running while it lasts, cleared on every way out.
  struct RunningMark {
    RunningMark() { State().lmf_running = true; }
    ~RunningMark() { State().lmf_running = false; }
  } running;
  int r = ExecuteLumvar("LeData", "NomeData=\"Data\"");
  if (r != 1) return r;
  const std::string date = s.read_value;
  int month = core::ParseInteger(date.size() > 2 ? std::string_view(date).substr(2, 2) : "", 1);
  int year = core::ParseInteger(date.size() > 4 ? std::string_view(date).substr(4, 4) : "", 2010);
  if (--month < 1) {
    month = 12;
    --year;
  }
  char period[32];
  std::snprintf(period, sizeof period, "%02d/%04d", month, year);
  common::IniFile ini = core::Config();
  s.lmfaut_ultima_data = ini.read("Flags", "LMFAUT_UltimaData", "");
  if (s.lmfaut_ultima_data == period) {
    s.lmf_done = true;
    return 1;
  }
  r = ExecuteLumvar("LeInteiro", "NomeInteiro=\"TipoDocEmEmissao\"");
  if (r != 1) return r;
  // A document is open: go on, and let the next command try again.
  if (s.read_value != "0") return 1;
  r = ExecuteLumvar("EmiteLeituraMF", std::string("LeituraSimplificada=false DataInicial=#01/") +
                                          period + "# DataFinal=#31/" + period + "#");
  s.lmf_done = true;
  if (r != 1 && s.last_return_code == 8089) return r;
  s.lmfaut_ultima_data = period;
  ini.write("Flags", "LMFAUT_UltimaData", period);
  return r;
}

// The reply in network mode: the first line of STATUS.TXT once the relay has finished
// writing it (a line break or the closing brace is there).
bool ReadStatusFile(const std::filesystem::path& folder, std::string& reply) {
  auto found = common::find_case_blind(folder, "STATUS.TXT");
  if (!found) return false;
  auto data = common::read_file(*found);
  if (!data || data->empty()) return false;
  const size_t eol = data->find_first_of("\r\n");
  if (eol == std::string::npos && data->back() != '}') return false;
  reply = data->substr(0, eol);
  return true;
}

void RemoveFixed(const std::filesystem::path& folder, std::string_view name) {
  std::error_code ec;
  while (auto found = common::find_case_blind(folder, name)) {
    if (!std::filesystem::remove(*found, ec)) break;
  }
}

int Send(std::string_view command, std::string_view parameters) {
  DriverState& s = State();
  CommandScope scope;

  // Step 5.
  s.ack = 6;
  s.st1 = 0;
  s.st2 = 0;
  s.raw_result.clear();
  const int packet = NextPacketNumber();
  const bool network = s.network_mode == 1;

  // Step 6.
  if (!network) {
    if (!s.keep_port_open && !core::OpenPort(1)) {
      SetFailure(-5, "Erro Abertura Porta Serial");
      return -5;
    }
    core::ConfigurePort(1);
  }

  // Step 7.
  const std::string frame = BuildFrame(packet, command, parameters);
  const int timeout = TimeoutFor(command, parameters);
  const std::filesystem::path folder = s.path_directory;

  // Step 8.
  if (network) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
      SetFailure(-8, "Erro no Diretorio especificado em Path");
      return -8;
    }
    RemoveFixed(folder, "STATUS.TXT");
    core::Log(kBanner);
    RemoveFixed(folder, "COMANDO.TXT");
    const std::filesystem::path command_file = folder / "COMANDO.TXT";
    core::Log("ConfigRede=1 " + command_file.string());
    if (!common::write_lines(command_file, {frame})) {
      // The relay can never see a command that could not be written.
      SetFailure(-8, "Erro no Diretorio especificado em Path");
      return -8;
    }
  } else {
    if (!core::WaitForCts()) {
      SetFailure(-1, Cp1252("Falha de comunicação(CTS)"));
      core::Log(s.last_message);
      return 0;
    }
    if (frame.size() >= 256) {
      core::WritePort(1, std::string_view(frame).substr(0, 255));
      core::WritePort(1, std::string_view(frame).substr(255));
    } else {
      core::WritePort(1, frame);
    }
  }

  // Step 9.
  core::Log(frame);

  // Step 10.
  const auto start = std::chrono::steady_clock::now();
  const auto limit = std::chrono::seconds(timeout);
  std::string reply;
  bool complete = false;
  while (!complete && std::chrono::steady_clock::now() - start < limit) {
    if (network) {
      complete = ReadStatusFile(folder, reply);
      if (!complete) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } else {
      reply += core::ReadPortChunk(1);
      complete = !reply.empty() && reply.back() == '}';
      if (reply.size() > kMaxReplyBytes) break;
    }
  }

  // Step 11.
  if (!complete) {
    SetFailure(-1, Cp1252(kCommFailure));
    core::Log(s.last_message);
    return 0;
  }

  // Step 12.
  s.last_message = reply;
  const ReplyParts parts = SplitReply(reply);
  s.raw_result = parts.results;
  s.ack = 6;
  core::Log(reply);

  // Step 13.
  if (parts.code != "0") {
    s.st2 = 1;
    s.last_return_code = core::ParseInteger(parts.code, 9999);
    s.last_message = ErrorMessage(parts.results);
    return 0;
  }

  // Step 14.
  s.st1 = 0;
  s.last_return_code = 0;
  s.last_message.clear();
  if (common::cp1252_upper(command.substr(0, 2)) == "LE") {
    const ReadOutputs out = ExtractRead(parts.results, s.rate_kind_filter);
    s.read_value = out.value;
    s.read_code = out.code;
    s.read_flag = out.flag;
  }
  return 1;
}

}  // namespace

std::string BuildFrame(int packet, std::string_view command, std::string_view parameters) {
  std::string body = std::to_string(packet);
  body += ';';
  body += command;
  body += ';';
  body += parameters;
  body += ';';
  return "{" + body + std::to_string(body.size()) + "}";
}

int TimeoutFor(std::string_view command, std::string_view parameters) {
  const DriverState& s = State();
  if (command == "EmiteReducaoZ" || command == "EmiteLeituraMF") return s.timeout_redz;
  if (command == "LeTexto" && parameters == "NomeTexto=\"CMC7Documento\"") return 40;
  if (command == "EmiteLeituraFitaDetalhe") return 60;
  if (command == "LeImpressao") return 40;
  return s.timeout_commands;
}

int ExecuteLumvar(std::string_view command, std::string_view parameters) {
  DriverState& s = State();
  try {
    const bool read_name = StartsWithLe(command);
    if (s.gerencial_open != 0 && !read_name) {
      if (!CloseGerencialLeftOpen()) return 0;
    }
    if (s.lmf_automatic && !s.lmf_done && !s.lmf_running && !read_name &&
        command != "EmiteReducaoZ") {
      const int r = AutomaticMonthlyReading();
      if (r != 1) return r;
    }
    // A command issued while another is in progress is not sent.
    if (s.busy) return 1;
    return Send(command, parameters);
  } catch (...) {
    // Nothing may escape towards the C interface; the scope above has already cleared
    // the busy flag and closed the port.
    SetFailure(-1, Cp1252(kCommFailure));
    return 0;
  }
}

void FeedAfterDocument() {
  const DriverState& s = State();
  if (s.line_spacing > 0)
    ExecuteLumvar("AvancaPapel", "Avanco=" + std::to_string(s.line_spacing * 30));
  if (s.lumvar_submodel != 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (State().habilita_corte != "0") ExecuteLumvar("CortaPapel", "TipoCorte=0");
  }
}

}  // namespace orvik::lumvar
