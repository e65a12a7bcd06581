#include "orvik/qvx/routines.h"

#include <cstdint>
#include <string_view>

#include "common/text1252.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/qvx/engine.h"

namespace orvik::qvx {
namespace {

using core::DriverState;
using core::State;

bool Family2() {
  return State().model_family == 2;
}

// Sends nothing: a field the printer cannot hold is refused here (code -6).
int RefuseField(std::string_view utf8_message) {
  DriverState& s = State();
  s.last_return_code = -6;
  s.last_message = common::utf8_to_cp1252(utf8_message);
  core::Log("---[" + s.last_message + "]---");
  return 0;
}

// The digits of text zero-filled to n; false when they need more than n places (leading
// zeros do not count).
bool NumberField(std::string_view text, int n, std::string& out) {
  std::string digits = core::Digits(text);
  const size_t first = digits.find_first_not_of('0');
  const size_t significant = first == std::string::npos ? 0 : digits.size() - first;
  if (significant > static_cast<size_t>(n)) return false;
  out = core::LastDigits(digits, n);
  return true;
}

// A number field, or the -6 refusal naming it.
bool Field(std::string_view text, int n, std::string_view name, std::string& out) {
  if (NumberField(text, n, out)) return true;
  RefuseField("Campo " + std::string(name) + " excede " + std::to_string(n) + " dígitos");
  return false;
}

// A date as ddmmyy, read the way every date argument is (01022010, 01/02/2010, 010210).
std::string DateField(const std::string& text) {
  const std::string d = core::FormatDate(text);  // dd/mm/yyyy
  return d.substr(0, 2) + d.substr(3, 2) + d.substr(8, 2);
}

void ClearAnswers() {
  State().return_value.clear();
  State().second_return_value.clear();
}

// A "32" status read: the status byte at `index` (0, 1, 2) of the read value as
// hexadecimal, or -1 when it is not hexadecimal.
int StatusByte(int index) {
  const std::string& v = State().read_value;
  const size_t at = static_cast<size_t>(index) * 2;
  if (v.size() < at + 2) return -1;
  int value = 0;
  for (size_t i = at; i < at + 2; ++i) {
    const char c = v[i];
    int h;
    if (c >= '0' && c <= '9')
      h = c - '0';
    else if (c >= 'A' && c <= 'F')
      h = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      h = c - 'a' + 10;
    else
      return -1;
    value = value * 16 + h;
  }
  return value;
}

// The status read; on success the byte asked for (-1 and a failure when it is unreadable).
int ReadStatusByte(int index, int& byte) {
  const int r = ExecuteQvx("32");
  if (r != 1) return r;
  byte = StatusByte(index);
  if (byte < 0) {
    DriverState& s = State();
    s.last_return_code = -1;
    s.last_message = common::utf8_to_cp1252("Falha de comunicação");
    return 0;
  }
  return 1;
}

// The register as a whole number of cents, or false when it holds more than 18 digits.
bool Cents(const std::string& text, int64_t& out) {
  const std::string digits = core::Digits(text);
  const size_t first = digits.find_first_not_of('0');
  if (first != std::string::npos && digits.size() - first > 18) return false;
  out = 0;
  for (char c : digits) out = out * 10 + (c - '0');
  return true;
}

}  // namespace

// ---- Fields ----

std::string TextField(const std::string& text, int n) {
  std::string clean = text;
  for (char& c : clean)
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  return core::BlankFit(clean, n);
}

bool TaxField(const std::string& aliquot, std::string& out) {
  if (aliquot == "FF" || aliquot == "II" || aliquot == "NN") {
    out = std::string(1, aliquot[0]) + "00";
    return true;
  }
  if (aliquot.empty() || aliquot.size() > 2) return false;
  for (char c : aliquot)
    if (c < '0' || c > '9') return false;
  const int n = core::ParseInteger(aliquot, -1);
  out = n == 16 ? "T00" : "T" + core::LastDigits(std::to_string(n), 2);
  return true;
}

// ---- Readings and reports ----

int LeituraX() {
  return ExecuteQvx("150");
}

int ReducaoZ(const std::string&, const std::string&) {
  return ExecuteQvx("160");
}

int LeituraMemoriaFiscalData(const std::string& first, const std::string& last,
                             const std::string&) {
  return ExecuteQvx("17" + DateField(first) + DateField(last));
}

int LeituraMemoriaFiscalReducao(const std::string& first, const std::string& last,
                                const std::string&) {
  std::string a, b;
  if (!Field(first, 4, "Redução inicial", a) || !Field(last, 4, "Redução final", b)) return 0;
  return ExecuteQvx("18" + a + b);
}

int AbreRelatorioGerencial() {
  return ExecuteQvx("151");
}

int AbreRelatorioGerencialMFD(const std::string&) {
  return ExecuteQvx("151");
}

int ImprimeLinha(const std::string& text) {
  return ExecuteQvx("260" + TextField(text, Family2() ? 48 : 40));
}

int FechaDocumento() {
  return ExecuteQvx("21");
}

int AbreComprovanteNaoFiscalVinculado(const std::string&, const std::string&, const std::string&) {
  return ExecuteQvx("20");
}

// ---- Coupon ----

int AbreCupom(const std::string& id) {
  return ExecuteQvx(Family2() ? "10" + TextField(id, 28) : std::string("10"));
}

int AbreCupomMFD(const std::string& id, const std::string&, const std::string&) {
  return AbreCupom(id);
}

int VendeItem(const std::string& code, const std::string& description, const std::string& aliquot,
              const std::string& unit, const std::string& quantity, int decimals,
              const std::string& unit_price, const std::string&, const std::string& discount) {
  std::string discount_digits, tax, qty, price, code_digits;
  if (!Field(discount, 15, "Desconto", discount_digits)) return 0;
  if (!TaxField(aliquot, tax)) return RefuseField("Alíquota inválida");
  const int width = Family2() ? 7 : 6;
  if (!NumberField(quantity, width, qty)) return RefuseField("Quantidade inválida");
  if (!Field(unit_price, 11, "Preço unitário", price)) return 0;
  if (!Field(code, 13, "Código", code_digits)) return 0;

  const char kind = Family2() ? (decimals == 3 ? 'H' : 'G') : '-';
  std::string label;
  if (!unit.empty() && unit[0] == 'K')
    label = "Peso ";
  else if (!unit.empty() && unit[0] == 'L')
    label = "Litro";
  else if (!unit.empty() && unit[0] == 'M')
    label = "Metro";
  label += "(" + unit + ") X Preco(R$/" + unit + ")         Valor";

  std::string text = "11";
  text += kind;
  text += qty + price + tax + "&" + discount_digits + TextField(unit, 2) + code_digits;
  // Appended piece by piece: "2" + temporary makes g++ 12 at -O3 warn (-Wrestrict).
  if (common::cp1252_upper(unit) != "UN") {
    text += '2';
    text += TextField(description, 38);
    text += TextField(label, 38);
  } else {
    text += '0';
    text += TextField(description, 20);
  }
  return ExecuteQvx(text);
}

int CancelaItemGenerico(const std::string& item) {
  std::string n;
  if (!Field(item, 3, "Item", n)) return 0;
  return ExecuteQvx("12" + n);
}

int CancelaCupom() {
  return ExecuteQvx("14");
}

int IniciaFechamentoCupom(const std::string& flag, const std::string&, const std::string& value) {
  std::string v;
  if (!Field(value, 15, "Valor", v)) return 0;
  return ExecuteQvx((flag == "A" ? "06@&" : "06&") + v);
}

int EfetuaFormaPagamento(const std::string& form, const std::string& value) {
  const int dinheiro = State().dinheiro;
  const int as_number = core::ParseInteger(form, INT32_MIN);
  const long index =
      as_number == INT32_MIN ? dinheiro : static_cast<long>(as_number) + dinheiro - 1;
  if (index < 0 || index > 99) return RefuseField("Campo Forma de pagamento fora de 00 a 99");
  std::string v;
  if (!Field(value, 15, "Valor", v)) return 0;
  return ExecuteQvx("07" + core::LastDigits(std::to_string(index), 2) + v + "1");
}

int FechaCupom(const std::string& form, const std::string&, const std::string&, const std::string&,
               const std::string&, const std::string& message) {
  std::string f;
  if (!Field(form, 2, "Forma de pagamento", f)) return 0;
  const std::string text = TextField(message, static_cast<int>(message.size()));
  if (text.size() > 999) return RefuseField("Campo Mensagem excede 999 caracteres");
  ExecuteQvx("07" + f + std::string(15, '0') + "0");  // pays what is left; its result is not used
  return ExecuteQvx("08S" + core::LastDigits(std::to_string(text.size()), 3) + text);
}

int TerminaFechamentoCupom(const std::string& message) {
  return FechaCupom("", "", "", "", "", message);
}

// ---- Cash, authentication, drawer ----

int Suprimento(const std::string& value, const std::string& form) {
  std::string f, v;
  if (!Field(form, 2, "Forma", f) || !Field(value, 15, "Valor", v)) return 0;
  DriverState& s = State();
  int result = ExecuteQvx("22");
  if (result == 1) result = ExecuteQvx("23" + f + v + "%0000");
  if (result == 1) return ExecuteQvx("21");
  // The receipt is closed all the same; the caller hears of the first failure.
  const int code = s.last_return_code;
  const std::string message = s.last_message;
  ExecuteQvx("21");
  s.last_return_code = code;
  s.last_message = message;
  return result;
}

int Sangria(const std::string& value) {
  return Suprimento(value, "1");
}

int Autenticacao() {
  const int r = ExecuteQvx("01000");
  if (r == 1 || State().last_return_code == 44) return ExecuteQvx("03     ");
  return r;
}

int AcionaGaveta() {
  return ExecuteQvx(std::string("240\x14P"));
}

// ---- Queries ----

int RetornoAliquotas() {
  ClearAnswers();
  const int r = ExecuteQvx("30");
  if (r != 1) return r;
  const std::string rates = State().read_value;
  // The kind bits: from the first byte's top bit to the second byte's lowest, S or T.
  std::string marks(16, 'T');
  if (ReadQvxRegister(86) == 1) {
    const std::string& hex = State().read_value;
    unsigned bits = 0;
    bool ok = hex.size() >= 4;
    for (size_t i = 0; ok && i < 4; ++i) {
      const char c = hex[i];
      unsigned h = 0;
      if (c >= '0' && c <= '9')
        h = static_cast<unsigned>(c - '0');
      else if (c >= 'A' && c <= 'F')
        h = static_cast<unsigned>(c - 'A' + 10);
      else if (c >= 'a' && c <= 'f')
        h = static_cast<unsigned>(c - 'a' + 10);
      else
        ok = false;
      bits = bits * 16 + h;
    }
    if (ok)
      for (int k = 0; k < 16; ++k) marks[k] = (bits & (0x8000u >> k)) ? 'S' : 'T';
  }
  std::string answer;
  for (int k = 0; k < 16; ++k) {
    std::string group = rates.size() >= static_cast<size_t>(4 * k + 4)
                            ? rates.substr(static_cast<size_t>(4 * k), 4)
                            : std::string("0000");
    if (!answer.empty()) answer += ',';
    answer += group == "0000" ? std::string("-0000") : marks[k] + group;
  }
  State().return_value = answer;
  State().last_return_code = 0;
  State().last_message.clear();
  return 1;
}

int VerificaModoOperacao() {
  ClearAnswers();
  int a = 0;
  const int r = ReadStatusByte(0, a);
  if (r != 1) return r;
  State().return_value.assign(1, (a & 8) ? '0' : '1');  // not = "0": see VerificaSensorPoucoPapel
  return 1;
}

int FlagsFiscais(int* flags) {
  if (flags) *flags = 0;
  int a = 0;
  const int r = ReadStatusByte(0, a);
  if (r != 1) return r;
  const int value = (a & 1) + ((a & 64) ? 4 : 0) + ((a & 4) ? 8 : 0) + ((a & 128) ? 32 : 0);
  if (flags) *flags = value;
  return 1;
}

int VerificaEstadoGaveta(int* state) {
  if (state) *state = 0;
  int c = 0;
  const int r = ReadStatusByte(2, c);
  if (r != 1) return r;
  if (state) *state = (c & 2) ? 1 : 0;
  return 1;
}

int VerificaSensorPoucoPapel() {
  ClearAnswers();
  // One character assigned, not a literal: g++ 12 at -O3 takes = "0" for an overlapping
  // copy (-Wrestrict).
  State().return_value.assign(1, '0');
  int c = 0;
  const int r = ReadStatusByte(2, c);
  if (r != 1) return r;
  State().return_value.assign(1, (c & 64) ? '1' : '0');
  return 1;
}

int DataHoraImpressora() {
  ClearAnswers();
  const int r = ExecuteQvx("33");
  if (r != 1) return r;
  const std::string digits = core::Digits(State().read_value);
  State().return_value = digits.substr(0, 6);
  State().second_return_value = digits.size() > 6 ? digits.substr(6, 6) : std::string();
  return 1;
}

int DataMovimento() {
  ClearAnswers();
  const int r = ExecuteQvx("33");
  if (r != 1) return r;
  State().return_value = core::Digits(State().read_value).substr(0, 6);
  return 1;
}

int VerificaFormasPagamento() {
  ClearAnswers();
  std::string answer;
  for (int reg = 50; reg <= 65; ++reg) {
    const int r = ReadQvxRegister(reg);
    if (r != 1) return r;
    answer += State().read_value.substr(0, 16);
  }
  State().return_value = answer;
  return 1;
}

int RegisterQuery(int reg) {
  ClearAnswers();
  const int r = ReadQvxRegister(reg);
  if (r == 1) State().return_value = State().read_value;
  return r;
}

int DataHoraReducao() {
  return RegisterQuery(83);
}

int VendaLiquida() {
  ClearAnswers();
  int64_t gross = 0, cancelled = 0, discounts = 0;
  auto read = [](int reg, int64_t& out) {
    if (ReadQvxRegister(reg) != 1) return false;
    if (Cents(State().read_value, out)) return true;
    RefuseField("Campo Registrador " + std::to_string(reg) + " excede 18 dígitos");
    return false;
  };
  if (!read(40, gross) || !read(38, cancelled) || !read(36, discounts)) {
    State().return_value = "000";
    return 0;
  }
  const int64_t net = gross - cancelled - discounts;
  State().return_value = std::to_string(net < 0 ? 0 : net);
  return 1;
}

}  // namespace orvik::qvx
