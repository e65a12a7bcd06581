#include "orvik/lumvar/frame.h"

#include <cstring>
#include <string>

#include "common/files.h"
#include "common/ports.h"
#include "common/text1252.h"
#include "orvik/core/config.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/port.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/engine.h"

namespace orvik::frame {
namespace {

using core::DriverState;
using core::State;

std::string Arg(const char* text) {
  return text ? std::string(text) : std::string();
}

// The not-implemented path with the label the family calls for: QVX models lacking a
// routine use the bare export name, other families a leading blank.
int NotForThisFamily(const char* export_name) {
  const uint8_t family = State().model_family;
  return core::NotImplemented(family == 1 || family == 2 ? std::string(export_name)
                                                         : std::string(" ") + export_name);
}

int (*g_qvx_close_port)() = nullptr;

}  // namespace

void SetQvxClosePort(int (*routine)()) {
  g_qvx_close_port = routine;
}

int RetornoImpressora(int* code, char* message) {
  const DriverState& s = State();
  if (code) *code = s.last_return_code;
  if (message) std::memcpy(message, s.last_message.c_str(), s.last_message.size() + 1);
  return 1;
}

int LeArquivoRetorno(char* buffer) {
  auto file = common::find_case_blind(State().path_directory, "RETORNO.TXT");
  if (!file) return 0;
  auto data = common::read_file(*file);
  if (!data) return 0;
  const std::vector<std::string> lines = common::split_lines(*data);
  const std::string first = lines.empty() ? std::string() : lines.front();
  if (buffer) std::memcpy(buffer, first.c_str(), first.size() + 1);
  return 1;
}

int AbrePortaSerial() {
  DriverState& s = State();
  core::ReadPortSettings();
  if (!core::OpenPort(1)) {
    s.last_message = "Erro Abertura Porta Serial";
    s.last_return_code = -5;
    return -5;
  }
  s.st2 = 0;
  s.last_return_code = 0;
  s.last_message.clear();
  // A running print capture owns the open port; the test must not take it away.
  if (!s.keep_port_open) core::ClosePort(1);
  return 1;
}

int IniciaPorta(const char* port) {
  // A device path (/dev/ttyUSB0) is kept as it is; every other text becomes COMn.
  const std::string text = Arg(port);
  core::Config().write(
      "Sistema", "Porta",
      common::is_device_path(text) ? text : "COM" + std::to_string(core::PortNumber(text)));
  return AbrePortaSerial();
}

int FechaPortaSerial() {
  DriverState& s = State();
  switch (s.model_family) {
    case 0:
      core::ClosePort(1);
      s.last_message.clear();
      return 1;
    case 1:
    case 2:
      if (g_qvx_close_port) return g_qvx_close_port();
      return NotForThisFamily("Orvik_FechaPortaSerial");
    default:
      return NotForThisFamily("Orvik_FechaPortaSerial");
  }
}

int ExecutaComando(const char* command, const char* parameters) {
  return lumvar::ExecuteLumvar(Arg(command), Arg(parameters));
}

int ExecutaLeitura(const char* command, const char* parameters, char* answer) {
  const int result = lumvar::ExecuteLumvar(Arg(command), Arg(parameters));
  DriverState& s = State();
  s.return_value = s.raw_result;
  core::WriteAsIs(answer);
  return result;
}

int ProgramaOperador(const char* name) {
  State().operator_name = Arg(name);
  return 1;
}

int ProgramaIdAplicativoMFD(const char* id) {
  const std::string text = Arg(id);
  core::Config().write("Sistema", "IdAplicativo", text);
  State().application_id = text;
  return 1;
}

int LinhasEntreCupons(int lines) {
  DriverState& s = State();
  s.line_spacing = lines > 30 ? 30 : lines;
  core::Config().write("Sistema", "EspacamentoDocumentos", std::to_string(s.line_spacing));
  s.ack = 6;
  s.st1 = 0;
  s.st2 = 0;
  return 1;
}

int ProgramaBaudRate(const char* speed) {
  DriverState& s = State();
  const std::string text = Arg(speed);
  if (text != "9600" && text != "19200" && text != "38400" && text != "57600" && text != "115200") {
    s.last_message =
        common::utf8_to_cp1252("Valores aceitos para esta função[9600,19200,38400,57600,115200]");
    core::Log("---[" + s.last_message + "]---");
    s.last_return_code = -7;
    return 0;
  }
  int result;
  if (s.model_family == 0) {
    result =
        lumvar::ExecuteLumvar("EscreveInteiro", "NomeInteiro=\"BaudRate\" ValorInteiro=" + text);
  } else {
    result = NotForThisFamily("Orvik_ProgramaBaudRate");
  }
  if (result == 1) {
    core::Config().write("Sistema", "BAUD", text);
    // The printer now listens at the new speed; keep talking to it at that speed.
    s.port1.speed = text;
  }
  return result;
}

int VerificaReducaoZAutomatica(int* flag) {
  if (flag) *flag = 0;
  return 1;
}

}  // namespace orvik::frame
