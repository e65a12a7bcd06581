#include "orvik/lumvar/status.h"

#include <cstring>
#include <string>

#include "common/text1252.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/engine.h"
#include "orvik/lumvar/queries.h"

namespace orvik::lumvar {
namespace {

using core::State;

void Put(int* out, int value) {
  if (out) *out = value;
}

void CopyText(char* buffer, const std::string& text) {
  if (buffer) std::memcpy(buffer, text.c_str(), text.size() + 1);
}

char First(const std::string& text) {
  return text.empty() ? '\0' : text[0];
}

// The fiscal state's name, trimmed.
int FiscalStateName(std::string& name) {
  const int r = ExecuteLumvar("LeTexto", "NomeTexto=\"NomeEstadoFiscal\"");
  if (r == 1) name = std::string(common::trim(State().read_value));
  return r;
}

int IndicatorBits(int& bits) {
  const int r = ExecuteLumvar("LeInteiro", "NomeInteiro=\"Indicadores\"");
  if (r == 1) bits = core::ParseInteger(State().read_value, 0);
  return r;
}

int ComputeFlags(int& flags) {
  flags = 0;
  ExecuteLumvar("LeInteiro", "NomeInteiro=\"TipoDocEmEmissao\"");
  const bool open = State().read_value == "3";
  int r = ExecuteLumvar("LeIndicador", "NomeIndicador=\"DiaFechado\"");
  if (r != 1) return r;
  const bool day_closed = State().read_value != "00";
  std::string state;
  r = FiscalStateName(state);
  if (r != 1) return r;
  const bool closing = state == "ESTADO_TOTALIZANDO" || state == "ESTADO_PAGAMENTO";
  bool last_was_coupon = true;
  if (!open) {
    r = ExecuteLumvar("LeInteiro", "NomeInteiro=\"TipoUltimoDocEmitido\"");
    if (r != 1) return r;
    last_was_coupon = State().read_value == "3";
  }
  r = ExecuteLumvar("LeIndicador", "NomeIndicador=\"HorarioVerao\"");
  if (r == 1) {
    flags = (open ? 1 : 0) + (closing ? 2 : 0) + (State().read_value == "11" ? 4 : 0) +
            (day_closed ? 8 : 0) + (last_was_coupon ? 32 : 0);
  }
  return r;
}

int ComputeDrawer(int& state) {
  state = 0;
  const int r = ExecuteLumvar("LeIndicador", "NomeIndicador=\"SensorGaveta\"");
  if (r == 1) {
    const char c = First(State().read_value);
    state = c >= '0' && c <= '9' ? c - '0' : 0;
  }
  if (State().modo_gaveta == "1") state = state == 0 ? 1 : 0;
  return r;
}

}  // namespace

int PrinterStatus(int* ack, int* st1, int* st2) {
  auto& s = State();
  const int saved_st1 = s.st1;
  const int saved_st2 = s.st2;
  ExecuteLumvar("LeInteiro", "NomeInteiro=\"TipoDocEmEmissao\"");
  const bool open = s.read_value == "3";
  int r = ExecuteLumvar("LeIndicador", "NomeIndicador=\"SemPapel\"");
  if (r != 1) return r;
  const bool out = First(s.read_value) != '0';
  bool near_end = false;
  if (!out) {
    r = ExecuteLumvar("LeIndicador", "NomeIndicador=\"SensorPoucoPapel\"");
    if (r != 1) return r;
    near_end = First(s.read_value) != '0';
  }
  s.ack = 6;
  int one = saved_st1 & ~(2 | 128 | 64);
  if (open) one |= 2;
  if (out) one |= 128;
  if (near_end) one |= 64;
  s.st1 = one;
  s.st2 = saved_st2 & ~4;
  Put(ack, s.ack);
  Put(st1, s.st1);
  Put(st2, s.st2);
  return 1;
}

int PrinterStatusText(char* ack, char* st1, char* st2) {
  int a = 0, one = 0, two = 0;
  const int r = PrinterStatus(&a, &one, &two);
  if (r == 1) {
    CopyText(ack, std::to_string(a));
    CopyText(st1, std::to_string(one));
    CopyText(st2, std::to_string(two));
  }
  return r;
}

int FiscalFlags(int* flags) {
  int value = 0;
  const int r = ComputeFlags(value);
  Put(flags, value);
  return r;
}

int FiscalFlagsText() {
  int value = 0;
  const int r = ComputeFlags(value);
  State().return_value = r == 1 ? core::LastDigits(std::to_string(value), 3) : std::string();
  return r;
}

int Indicators(int* value) {
  int bits = 0;
  const int r = IndicatorBits(bits);
  if (r == 1) Put(value, bits);
  return r;
}

int ZPending(int* pending) {
  int bits = 0;
  const int r = IndicatorBits(bits);
  if (r == 1) Put(pending, (bits & 128) ? 1 : 0);
  return r;
}

int ExtendedStatus(int* status) {
  Put(status, 0);
  std::string name;
  const int r = FiscalStateName(name);
  if (r != 1) return r;
  int value = 0;
  if (name == "ESTADO_TOTALIZANDO" || name == "ESTADO_PAGAMENTO")
    value = 8;
  else if (name == "ESTADO_GERENCIAL")
    value = 4;
  else if (name == "ESTADO_VINCULADO")
    value = 2;
  else if (name == "ESTADO_VENDA_NFISCAL")
    value = 1;
  Put(status, value);
  return r;
}

int OperationMode() {
  State().return_value.clear();
  const int r = ExecuteLumvar("LeIndicador", "NomeIndicador=\"IntervencaoTecnica\"");
  if (r == 1) State().return_value.assign(1, First(State().read_value) == '0' ? '1' : '0');
  return r;
}

int Truncation() {
  const int r = ReadRegister(114);
  const bool on = r == 1 && State().return_value == "1";
  State().return_value.assign(1, on ? '1' : '0');
  return r;
}

int DrawerState(int* state) {
  int value = 0;
  const int r = ComputeDrawer(value);
  Put(state, value);
  return r;
}

int DrawerStateText() {
  int value = 0;
  const int r = ComputeDrawer(value);
  State().return_value = std::to_string(value);
  return r;
}

int PrinterOn() {
  int value = 0;
  return ComputeDrawer(value) == 1 ? 1 : -6;
}

int LowPaperSensor() {
  const int r = ExecuteLumvar("LeIndicador", "NomeIndicador=\"SensorPoucoPapel\"");
  State().return_value =
      r == 1 && !State().read_value.empty() ? State().read_value.substr(0, 1) : "0";
  return r;
}

int PrinterType(int* type) {
  const int r = ReadRegister(103);
  if (r == 1) Put(type, 1);
  return r;
}

int PrinterTypeText() {
  const int r = ReadRegister(103);
  State().return_value =
      r == 1 ? common::utf8_to_cp1252("Impressora fiscal, gaveta, autenticaçao.") : std::string();
  return r;
}

}  // namespace orvik::lumvar
