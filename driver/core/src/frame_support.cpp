#include "orvik/core/frame_support.h"

#include <cstring>
#include <string>

#include "common/files.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"

namespace orvik::core {
namespace {

void CopyOut(char* buffer, const std::string& value) {
  if (buffer) std::memcpy(buffer, value.c_str(), value.size() + 1);
}

bool g_return_file_failed = false;

// RETORNO.TXT in the Path directory, recreated with the one line. A failed write (a full
// disk) is remembered for the export, which must not answer success for it.
void WriteReturnFile(const std::string& value) {
  const DriverState& s = State();
  if (!common::write_lines(common::fixed_name(s.path_directory, "RETORNO.TXT"), {value}))
    g_return_file_failed = true;
}

}  // namespace

bool TakeReturnFileFailure() {
  const bool failed = g_return_file_failed;
  g_return_file_failed = false;
  return failed;
}

int SettleReturnFile(int result) {
  if (!TakeReturnFileFailure() || result != 1) return result;
  DriverState& s = State();
  s.last_message = "Erro na gravacao de RETORNO.TXT";
  s.last_return_code = -8;
  Log("---[" + s.last_message + "]---");
  return 0;
}

int NotImplemented(std::string_view label) {
  DriverState& s = State();
  s.return_value.clear();
  s.last_message = "Nao Implementado:" + std::string(label);
  Log("---[" + s.last_message + "]---");
  s.last_return_code = -3;
  return 0;
}

int CommandMissing(std::string_view label) {
  DriverState& s = State();
  s.last_message = "Comando Inexistente para este modelo:" + std::string(label);
  Log("---[" + s.last_message + "]---");
  s.last_return_code = -2;
  s.st2 = 1;
  s.st1 = 4;
  s.ack = 6;
  return 0;
}

void WriteAsIs(char* buffer) {
  DriverState& s = State();
  Log("LenParm=" + std::to_string(buffer ? std::strlen(buffer) : 0));
  CopyOut(buffer, s.return_value);
  WriteReturnFile(s.return_value);
}

void WriteDigits(char* buffer, int n) {
  DriverState& s = State();
  s.return_value = LastDigits(s.return_value, n);
  CopyOut(buffer, s.return_value);
  WriteReturnFile(s.return_value);
}

void WriteText(char* buffer, int n) {
  DriverState& s = State();
  s.return_value = BlankFit(s.return_value, n);
  CopyOut(buffer, s.return_value);
  WriteReturnFile(s.return_value);
}

void WriteSecondDigits(char* buffer, int n) {
  DriverState& s = State();
  s.second_return_value = LastDigits(s.second_return_value, n);
  CopyOut(buffer, s.second_return_value);
}

void WriteSecondText(char* buffer, int n) {
  DriverState& s = State();
  s.second_return_value = BlankFit(s.second_return_value, n);
  CopyOut(buffer, s.second_return_value);
}

void WriteSecondAsIs(char* buffer) {
  CopyOut(buffer, State().second_return_value);
}

}  // namespace orvik::core
