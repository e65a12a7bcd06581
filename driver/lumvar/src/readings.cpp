// Readings and the day's opening and closing: X, Z (with its clock correction and the
// step after it), fiscal-memory readings on paper or to the line, 60M.TXT.
#include <cstdlib>
#include <filesystem>

#include "common/clock.h"
#include "common/files.h"
#include "common/text1252.h"
#include "document_texts.h"
#include "orvik/core/after_z.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/amounts.h"
#include "orvik/lumvar/documents.h"
#include "orvik/lumvar/engine.h"
#include "orvik/lumvar/queries.h"

namespace orvik::lumvar {
namespace {

using core::State;
using namespace document_texts;

constexpr int kDay = 24 * 3600;

// Seconds since midnight of six hhmmss digits; -1 when they are no time of day.
int SecondsOf(const std::string& hhmmss) {
  if (hhmmss.size() != 6 || core::Digits(hhmmss) != hhmmss) return -1;
  const int h = std::atoi(hhmmss.substr(0, 2).c_str());
  const int m = std::atoi(hhmmss.substr(2, 2).c_str());
  const int s = std::atoi(hhmmss.substr(4, 2).c_str());
  if (h > 23 || m > 59 || s > 59) return -1;
  return h * 3600 + m * 60 + s;
}

std::string Colons(int seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return text;
}

// The host's time for the Z as six digits; empty when it is no time of day (more than six
// digits, letters, hours past 23...).
std::string HostTime(std::string_view text) {
  const std::string_view trimmed = common::trim(text);
  for (char c : trimmed)
    if ((c < '0' || c > '9') && c != ':') return {};
  const std::string digits = core::Digits(trimmed);
  if (digits.empty() || digits.size() > 6) return {};
  const std::string filled = core::LastDigits(digits, 6);
  return SecondsOf(filled) < 0 ? std::string() : filled;
}

std::string ComputerTime() {
  const common::LocalDateTime t = common::clock::local_now();
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d", t.hour, t.minute, t.second);
  return text;
}

// The step after a printed Z: the RFD conversion of that reduction when one is wanted.
// Nothing it meets changes the Z's answer or the status the Z left.
void AfterZ() {
  core::DriverState& s = State();
  if (s.gera_rfd_redz != "1") return;
  const int code = s.last_return_code;
  const std::string message = s.last_message;
  const int ack = s.ack, st1 = s.st1, st2 = s.st2;
  std::string crz;
  if (ReadRegister(9) == 1) crz = s.return_value;
  s.return_value.clear();
  if (crz.empty()) {
    core::Log("Reducao Z emitida; CRZ nao lido, arquivo RFD nao gerado");
  } else if (const core::AfterZConversion convert = core::GetAfterZConversion()) {
    const int r = convert(core::ParseInteger(core::LastDigits(crz, 9), 0));
    if (r != 1)
      core::Log("Conversao RFD da reducao " + crz + " falhou (" + std::to_string(r) + ": " +
                s.last_message + ")");
  } else {
    core::Log("Reducao Z " + crz + ": conversao RFD indisponivel, arquivo RFD nao gerado");
  }
  s.last_return_code = code;
  s.last_message = message;
  s.ack = ack;
  s.st1 = st1;
  s.st2 = st2;
}

int Fed(int r) {
  if (r == 1) FeedAfterDocument();
  return r;
}

// True when the kind argument is the letter, in either case.
bool KindIs(const std::string& kind, char letter) {
  const std::string upper = common::cp1252_upper(kind);
  return upper.size() == 1 && upper[0] == letter;
}

// Paper readings are complete for kind C; line readings are simplified for kind S.
std::string PaperSimplified(const std::string& kind) {
  return KindIs(kind, 'C') ? "false" : "true";
}
std::string LineSimplified(const std::string& kind) {
  return KindIs(kind, 'S') ? "true" : "false";
}

std::string DateRange(const std::string& first, const std::string& last) {
  return "DataInicial=#" + core::FormatDate(first) + "# DataFinal=#" + core::FormatDate(last) + "#";
}

std::string ReductionRange(const std::string& first, const std::string& last) {
  return "ReducaoInicial=" + first + " ReducaoFinal=" + last;
}

int SerialReading(const std::string& parameters, const CaptureToFile& capture) {
  const int r = ExecuteLumvar("EmiteLeituraMF", parameters);
  if (r != 1) return r;
  return capture(State().path_directory + "IMPRESSAO.TXT");
}

}  // namespace

std::string ZClockTarget(const std::string& printer, const std::string& target, bool automatic,
                         int month) {
  const int from = SecondsOf(printer);
  const int to = SecondsOf(target);
  if (from < 0 || to < 0) return {};
  const int d = to - from;
  const int magnitude = std::abs(d);
  if (automatic) {
    const int minutes = magnitude / 60;
    const bool summer_months = month >= 3 && month <= 9;
    if (!(minutes <= 30 || (minutes <= 60 && summer_months))) return {};
  }
  if (magnitude <= 290) return Colons(to);
  // Five minutes towards the target with the printer's seconds; a step that would leave
  // the day (past midnight either way) goes straight to the target instead.
  const int stepped = from + (d > 0 ? 300 : -300);
  if (stepped < 0 || stepped >= kDay) return Colons(to);
  return Colons(stepped);
}

int LeituraX() {
  return Fed(ExecuteLumvar("EmiteLeituraX", OperatorItem()));
}

int LeituraXSerial(const CaptureToFile& capture) {
  const int r = ExecuteLumvar("EmiteLeituraX", "Destino=\"S\"");
  if (r != 1) return r;
  return capture(State().path_directory + "IMPRESSAO.TXT");
}

int ReducaoZ(const std::string& /*date*/, const std::string& time) {
  core::DriverState& s = State();
  std::string parameters;
  std::string target;
  bool automatic = false;
  if (!Blank(time)) {
    target = HostTime(time);
    if (target.empty())
      core::Log("Hora invalida para a Reducao Z: [" + time + "]; relogio mantido");
  } else if (s.correct_clock_z) {
    target = ComputerTime();
    automatic = true;
  }
  if (!target.empty()) {
    const int r = ExecuteLumvar("LeHora", "NomeHora=\"Hora\"");
    if (r != 1) return r;
    const std::string printer = s.read_value;
    const std::string when =
        ZClockTarget(printer, target, automatic, common::clock::local_now().month);
    if (!when.empty()) {
      parameters = "Hora=#" + when + "#";
    } else if (SecondsOf(printer) < 0) {
      core::Log("Hora da impressora ilegivel: [" + printer + "]; relogio mantido");
    }
  }
  if (!Blank(s.operator_name)) {
    if (!parameters.empty()) parameters += ' ';
    parameters += OperatorItem();
  }
  const int r = ExecuteLumvar("EmiteReducaoZ", parameters);
  if (r != 1) return r;
  FeedAfterDocument();
  AfterZ();
  return r;
}

int LeituraMemoriaFiscalData(const std::string& first, const std::string& last,
                             const std::string& kind) {
  return Fed(ExecuteLumvar("EmiteLeituraMF", "LeituraSimplificada=" + PaperSimplified(kind) + " " +
                                                 DateRange(first, last)));
}

int LeituraMemoriaFiscalReducao(const std::string& first, const std::string& last,
                                const std::string& kind) {
  return Fed(ExecuteLumvar("EmiteLeituraMF", "LeituraSimplificada=" + PaperSimplified(kind) + " " +
                                                 ReductionRange(first, last)));
}

int LeituraMemoriaFiscalSerialData(const std::string& first, const std::string& last,
                                   const std::string& kind, const CaptureToFile& capture) {
  return SerialReading(
      "Destino=\"S\" LeituraSimplificada=" + LineSimplified(kind) + " " + DateRange(first, last),
      capture);
}

int LeituraMemoriaFiscalSerialReducao(const std::string& first, const std::string& last,
                                      const std::string& kind, const CaptureToFile& capture) {
  return SerialReading("Destino=\"S\" LeituraSimplificada=" + LineSimplified(kind) + " " +
                           ReductionRange(first, last),
                       capture);
}

int AberturaDoDia(const std::string& value, const std::string& form) {
  const int r = LeituraX();
  if (r != 1 || IsZero(value)) return r;
  return Suprimento(value, form);
}

int FechamentoDoDia() {
  core::DriverState& s = State();
  int r = GrandTotalsOfDay();
  if (r != 1) return r;
  const std::string gt_start = core::Digits(s.return_value);
  const std::string gt = core::Digits(s.second_return_value);
  r = CoosOfDay();
  if (r != 1) return r;
  const std::string coo_start = core::Digits(s.return_value);
  const std::string coo = core::Digits(s.second_return_value);
  r = ReducaoZ("", "");
  if (r != 1) return r;
  const std::filesystem::path file = common::fixed_name(s.path_directory, "60M.TXT");
  if (!common::write_lines(file, {coo_start, coo, gt_start, gt}))
    return Refuse(0, -8, "Erro ao gravar " + file.string());
  return r;
}

}  // namespace orvik::lumvar
