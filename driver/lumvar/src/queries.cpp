#include "orvik/lumvar/queries.h"

#include <algorithm>
#include <cstring>

#include "common/text1252.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/serial_number.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/engine.h"
#include "orvik/lumvar/payment_forms.h"

namespace orvik::lumvar {
namespace {

using core::State;

struct Register {
  int index;
  RegisterRead read;
};

constexpr Register kRegisters[] = {
    {0, {"LeTexto", "NomeTexto=\"NumeroSerieECF\""}},
    {1, {"LeTexto", "NomeTexto=\"VersaoSW\""}},
    {3, {"LeMoeda", "NomeDadoMonetario=\"GT\""}},
    {4, {"LeMoeda", "NomeDadoMonetario=\"TotalDiaCancelamentosICMS\""}},
    {5, {"LeMoeda", "NomeDadoMonetario=\"TotalDiaDescontos\""}},
    {6, {"LeInteiro", "NomeInteiro=\"COO\""}},
    {7, {"LeInteiro", "NomeInteiro=\"GNF\""}},
    {8, {"LeInteiro", "NomeInteiro=\"CFC\""}},
    {9, {"LeInteiro", "NomeInteiro=\"CRZ\""}},
    {10, {"LeInteiro", "NomeInteiro=\"CRO\""}},
    {12, {"LeInteiro", "NomeInteiro=\"ContadorDocUltimoItemVendido\""}},
    {14, {"LeInteiro", "NomeInteiro=\"ECF\""}},
    {15, {"LeInteiro", "NomeInteiro=\"Loja\""}},
    {18, {"LeInteiro", "NomeInteiro=\"TempoOperacional\""}},
    {19, {"LeInteiro", "NomeInteiro=\"TempoEmitindoDocFiscal\""}},
    {52, {"LeInteiro", "NomeInteiro=\"CDC\""}},
    {53, {"LeInteiro", "NomeInteiro=\"NFC\""}},
    {54, {"LeInteiro", "NomeInteiro=\"GRG\""}},
    {55, {"LeInteiro", "NomeInteiro=\"CCF\""}},
    {56, {"LeInteiro", "NomeInteiro=\"CFD\""}},
    {100, {"LeMoeda", "NomeDadoMonetario=\"TotalDocLiquido\""}},
    {101, {"LeTexto", "NomeTexto=\"Marca\""}},
    {102, {"LeTexto", "NomeTexto=\"Modelo\""}},
    {103, {"LeTexto", "NomeTexto=\"TipoECF\""}},
    {104, {"LeInteiro", "NomeInteiro=\"NCN\""}},
    {105, {"LeInteiro", "NomeInteiro=\"ContadorProprietarios\""}},
    {106, {"LeTexto", "NomeTexto=\"CNPJ\""}},
    {107, {"LeTexto", "NomeTexto=\"IE\""}},
    {108, {"LeTexto", "NomeTexto=\"IM\""}},
    {109, {"LeTexto", "NomeTexto=\"NumeroSerieMFD\""}},
    {110, {"LeInteiro", "NomeInteiro=\"CRZRestantes\""}},
    {111, {"LeInteiro", "NomeInteiro=\"MFDLivre\""}},
    {112, {"LeInteiro", "NomeInteiro=\"PercentualMFDUtilizada\""}},
    {113, {"LeInteiro", "NomeInteiro=\"AliquotaDisponivel\""}},
    {114, {"LeInteiro", "NomeInteiro=\"Arredondamento\""}},
    {115, {"LeTexto", "NomeTexto=\"SimboloMoeda\""}},
    {116, {"LeIndicador", "NomeIndicador=\"HorarioVerao\""}},
};

// The national identification codes of the models this driver knows. The six digits are
// this driver's own numbering, listed here and nowhere else (the register of such
// codes is kept outside the printer).
struct NationalCode {
  const char* model;
  const char* version;
  const char* code;
};
constexpr NationalCode kNationalCodes[] = {
    {"ORVIK KAP", "01.00.08", "191201"},
    {"QM 4100XR", "01.00.08", "191202"},
    {"GW3", "01.00.07", "191203"},
    {"R7", "01.00.07", "191204"},
    {"QVX/1KAP LOGGER", "03.03.04", "191205"},
    {"QVX/2DMR LOGGER", "03.03.04", "191206"},
};

// ddmmyyyy -> ddmmyy.
std::string ShortDate(const std::string& date) {
  return date.substr(0, std::min<size_t>(date.size(), 4)) +
         (date.size() > 6 ? date.substr(6, 2) : "");
}

// A read that leaves the value in value (emptied on failure).
int ReadValue(std::string_view command, std::string_view parameters, std::string& value) {
  const int r = ExecuteLumvar(command, parameters);
  value = r == 1 ? State().read_value : std::string();
  return r;
}

int ReadRegisterValue(int index, std::string& value) {
  const RegisterRead* read = FindRegister(index);
  if (!read) {
    value.clear();
    return 0;
  }
  return ReadValue(read->command, read->parameters, value);
}

// Clears both return values before a two-value query, so nothing of an earlier query
// is handed back when a read fails.
void ClearValues() {
  State().return_value.clear();
  State().second_return_value.clear();
}

}  // namespace

const RegisterRead* FindRegister(int index) {
  for (const Register& r : kRegisters)
    if (r.index == index) return &r.read;
  return nullptr;
}

int ReadRegister(int index) {
  return ReadRegisterValue(index, State().return_value);
}

int ReadInto(std::string_view command, std::string_view parameters) {
  return ReadValue(command, parameters, State().return_value);
}

int CnpjIe() {
  ClearValues();
  int r = ReadRegister(106);
  if (r == 1) r = ReadRegisterValue(107, State().second_return_value);
  return r;
}

int PrinterDateTime() {
  ClearValues();
  std::string date;
  int r = ReadValue("LeData", "NomeData=\"Data\"", date);
  if (r != 1) return r;
  State().return_value = ShortDate(date);
  return ReadValue("LeHora", "NomeHora=\"Hora\"", State().second_return_value);
}

int ReductionDateTime() {
  ClearValues();
  std::string crz;
  int r = ReadRegisterValue(9, crz);
  if (r != 1) return r;
  const std::string n = std::to_string(core::ParseInteger(core::LastDigits(crz, 9), 0));
  std::string date;
  r = ReadValue("LeData", "NomeData=\"DataReducao[" + n + "]\"", date);
  if (r != 1) return r;
  State().return_value = ShortDate(date);
  return ReadValue("LeHora", "NomeHora=\"HoraReducao[" + n + "]\"", State().second_return_value);
}

int LastDocumentDateTime() {
  ClearValues();
  std::string date, time;
  int r = ReadValue("LeData", "NomeData=\"DataUltimoDoc\"", date);
  if (r == 1) r = ReadValue("LeHora", "NomeHora=\"HoraUltimoDoc\"", time);
  if (r == 1) State().return_value = ShortDate(date) + time;
  return r;
}

int MovementDate() {
  ClearValues();
  std::string indicators;
  int r = ReadValue("LeInteiro", "NomeInteiro=\"Indicadores\"", indicators);
  if (r != 1) return r;
  const int bits = core::ParseInteger(core::LastDigits(indicators, 9), 0);
  if ((bits & 64) == 0) {
    State().return_value = "000000";
    return 1;
  }
  std::string date;
  r = ReadValue("LeData", "NomeData=\"DataAbertura\"", date);
  if (r == 1) State().return_value = ShortDate(date);
  return r;
}

int LastReductionMovementDate() {
  ClearValues();
  std::string data;
  const int r = ReadValue("LeTexto", "NomeTexto=\"DadosUltimaReducaoZ\"", data);
  if (r == 1 && data.size() > 582) State().return_value = data.substr(582, 6);
  return r;
}

int GrandTotalsOfDay() {
  ClearValues();
  int r = ReadRegisterValue(3, State().second_return_value);
  if (r == 1) r = ReadInto("LeMoeda", "NomeDadoMonetario=\"GTInicial\"");
  return r;
}

int CoosOfDay() {
  ClearValues();
  int r = ReadRegisterValue(6, State().second_return_value);
  if (r == 1) r = ReadInto("LeInteiro", "NomeInteiro=\"COOInicioDia\"");
  return r;
}

int BrandModelType(char* type) {
  ClearValues();
  std::string brand, model, kind;
  int r = ReadRegisterValue(101, brand);
  if (r == 1) r = ReadRegisterValue(102, model);
  if (r == 1) r = ReadRegisterValue(103, kind);
  State().return_value = core::BlankFit(brand, 15);
  State().second_return_value = core::BlankFit(model, 20);
  if (type) {
    const std::string fitted = core::BlankFit(kind, 7);
    std::memcpy(type, fitted.c_str(), fitted.size() + 1);
  }
  return r;
}

int GerencialName(const std::string& index) {
  return ReadInto("LeGerencial", "CodGerencial=" + index);
}

int PaymentFormValue(const std::string& form) {
  // Nothing of an earlier query is handed back when the form is unknown.
  State().return_value.clear();
  const std::string code = ResolvePaymentFormCode(form);
  if (code.empty()) return 0;
  if (code == "-2") return ReadInto("LeMoeda", "NomeDadoMonetario=\"TotalDiaDinheiro\"");
  return ReadInto("LeMoeda", "NomeDadoMonetario=\"TotalDiaMeioPagamento[" + code + "]\"");
}

int NonFiscalValue(const std::string& totalizer) {
  State().return_value.clear();
  std::string code = totalizer;
  const bool digits =
      !totalizer.empty() &&
      std::all_of(totalizer.begin(), totalizer.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) {
    const int r = ExecuteLumvar("LeNaoFiscal", "NomeNaoFiscal=\"" + totalizer + "\"");
    if (r != 1) return r;
    code = State().read_code;
  }
  return ReadInto("LeMoeda", "NomeDadoMonetario=\"TotalDiaNaoFiscal[" + code + "]\"");
}

int IcmsOnCouponTotal() {
  State().return_value = State().cupom_mania_total_imp;
  return 1;
}

std::string FreeShareText(std::string_view used) {
  const int u = core::ParseInteger(core::LastDigits(used, 4), 0);
  const std::string f = std::to_string(9999 - u);
  return f.substr(0, 2) + "," + (f.size() > 2 ? f.substr(2, 2) : "") + "%";
}

int FreeSharePercent() {
  std::string used;
  const int r = ReadRegisterValue(112, used);
  State().return_value = r == 1 ? FreeShareText(used) : std::string();
  return r;
}

std::string NominalSizeText(std::string_view free_bytes, std::string_view free_share) {
  const std::string digits = core::Digits(free_share);
  double p = 0;
  for (char c : digits) p = p * 10 + (c - '0');
  double f = 0;
  for (char c : core::Digits(free_bytes)) f = f * 10 + (c - '0');
  // A full memory has no free share to scale by; its size cannot be told.
  if (p == 0) return "0";
  const double x = f / p / 104.8576;
  if (x == 0) return "0";
  if (x < 8) return "8388608";
  if (x < 16) return "16777216";
  if (x < 32) return "33554432";
  if (x < 65) return "67108864";
  if (x < 129) return "134217728";
  return "268435456";
}

int NominalMemorySize() {
  State().return_value.clear();
  std::string free_bytes, used;
  int r = ReadRegisterValue(111, free_bytes);
  if (r == 1) r = ReadRegisterValue(112, used);
  if (r == 1) State().return_value = NominalSizeText(free_bytes, FreeShareText(used));
  return r;
}

int EncryptedSerialNumber() {
  const int r = ReadRegister(0);
  if (r == 1) State().return_value = core::TransformSerialNumber(State().return_value);
  return r;
}

int DecryptedSerialNumber(const std::string& input) {
  State().return_value = core::TransformSerialNumber(input);
  return 1;
}

std::string NationalCodeFor(std::string_view model, std::string_view version) {
  const std::string upper = common::cp1252_upper(common::trim(model));
  const std::string_view v = common::trim(version);
  for (const NationalCode& c : kNationalCodes)
    if (upper == c.model && v == c.version) return c.code;
  return {};
}

int NationalIdentificationCode() {
  // A model outside the table hands back no code rather than an earlier answer.
  State().return_value.clear();
  std::string version, model;
  int r = ReadRegisterValue(1, version);
  if (r == 1) r = ReadRegisterValue(102, model);
  if (r != 1) return r;
  const std::string code = NationalCodeFor(model, version);
  if (code.empty()) {
    auto& s = State();
    s.last_message = "Modelo nao cadastrado";
    core::Log("---[" + s.last_message + "]---");
    s.last_return_code = -12;
    return 0;
  }
  State().return_value = code;
  return 1;
}

}  // namespace orvik::lumvar
