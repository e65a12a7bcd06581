// Cheques laid out by CHEQUES.INI, the cheque sensor and reader, authentication.
#include <optional>

#include "common/files.h"
#include "common/ini.h"
#include "common/text1252.h"
#include "document_texts.h"
#include "orvik/core/config.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/amounts.h"
#include "orvik/lumvar/cheque_layouts.h"
#include "orvik/lumvar/documents.h"
#include "orvik/lumvar/engine.h"

namespace orvik::lumvar {
namespace {

using core::State;
using namespace document_texts;

constexpr const char* kLayoutKeys[] = {
    "HPosAno",           "HPosCidade",     "HPosDia",           "HPosExtensoLinha1",
    "HPosExtensoLinha2", "HPosFavorecido", "HPosMes",           "HPosMsgLinha1",
    "HPosValor",         "VPosCidade",     "VPosExtensoLinha1", "VPosExtensoLinha2",
    "VPosFavorecido",    "VPosMsgLinha1",  "VPosValor"};

std::filesystem::path& ChequesFolderOverride() {
  static std::filesystem::path folder;
  return folder;
}

bool ChequeModel() {
  return State().lumvar_submodel == 1;
}

// The first n characters, without the blanks around them.
std::string CutAndTrim(const std::string& text, size_t n) {
  return std::string(common::trim(std::string_view(text).substr(0, n)));
}

// A layout position is a whole number; anything else in the file would go unquoted into
// the command and could change the cheque's other fields.
bool WholeNumber(const std::string& text) {
  return core::ParseInteger(text, -1) != -1 || text == "-1";
}

}  // namespace

void SetChequesFolder(std::filesystem::path folder) {
  ChequesFolderOverride() = std::move(folder);
}

std::filesystem::path ChequesFolder() {
  const std::filesystem::path& folder = ChequesFolderOverride();
  return folder.empty() ? common::executable_folder() : folder;
}

std::optional<std::string> ChequeLayout(const common::IniFile& file, const std::string& bank,
                                        std::string* bad_key) {
  std::string items;
  for (const char* key : kLayoutKeys) {
    std::optional<std::string> value = file.find(bank, key);
    if (!value) continue;
    if (std::string_view(key) == "HPosAno") {
      // The year is printed after a fixed "20" by the printer: its column comes 40 left.
      int year_column = core::ParseInteger(*value, 0);
      if (year_column > 40) year_column -= 40;
      value = std::to_string(year_column);
    } else if (!WholeNumber(*value)) {
      if (bad_key) *bad_key = key;
      return std::nullopt;
    }
    items += std::string(" ") + key + "=" + *value;
  }
  return items;
}

int ImprimeCheque(const std::string& bank, const std::string& value, const std::string& payee,
                  const std::string& city, const std::string& date, const std::string& message) {
  if (!ChequeModel()) return core::CommandMissing("Orvik_ImprimeCheque");
  const auto found = common::find_case_blind(ChequesFolder(), "CHEQUES.INI");
  if (!found) return Refuse(-8, -8, common::utf8_to_cp1252("CHEQUES.INI não encontrado"));
  const common::IniFile cheques(*found);

  common::IniFile config = core::Config();
  const std::string city_text = Blank(city) ? config.read("Opcional", "Cidade", "") : city;
  const std::string payee_text = Blank(payee) ? config.read("Opcional", "Favorecido", "") : payee;
  std::string parameters =
      "Cidade=" + Quoted(CutAndTrim(city_text, 27)) + " Data=#" + core::FormatDate(date) +
      "# Favorecido=" + Quoted(CutAndTrim(payee_text, 45)) + " Valor=" + Cents(value);
  const std::string text(common::trim(message));
  if (!text.empty()) {
    parameters += " MensagemDocLinha1 =" + Quoted(text.substr(0, 80));
    if (text.size() > 80) parameters += " MensagemDocLinha2 =" + Quoted(text.substr(80, 80));
  }

  if (const auto note = cheques.find(bank, "Observacao"))
    core::Log("Coletando dados Banco:" + bank + " =>" + *note);
  else
    core::Log("Nao encontrado dados Banco:[" + bank + "]");
  std::string bad_key;
  const std::optional<std::string> layout = ChequeLayout(cheques, bank, &bad_key);
  if (!layout) return Refuse(0, -8, "CHEQUES.INI: valor invalido em [" + bank + "] " + bad_key);
  return ExecuteLumvar("ImprimeCheque", parameters + *layout);
}

int ImprimeChequeMFD(const std::string& bank, const std::string& value, const std::string& payee,
                     const std::string& city, const std::string& date, const std::string& message,
                     const std::string& back_printing) {
  if (!ChequeModel()) return core::CommandMissing("Orvik_ImprimeChequeMFD");
  if (!back_printing.empty() && back_printing[0] == '1')
    return Refuse(-2, -2, "Parametro invalido");
  return ImprimeCheque(bank, value, payee, city, date, message);
}

int LeituraCheque() {
  core::DriverState& s = State();
  s.return_value.clear();
  if (!ChequeModel()) return core::CommandMissing("Orvik_LeituraCheque");
  const int r = ExecuteLumvar("LeTexto", "NomeTexto=\"CMC7Documento\"");
  // A failed read hands back nothing, never the line of an earlier cheque.
  s.return_value = r == 1 ? s.read_value : std::string();
  return r;
}

int VerificaStatusCheque(int* status) {
  if (!ChequeModel()) return core::CommandMissing("VerificaStatusCheque");
  const int r = ExecuteLumvar("LeIndicador", "NomeIndicador=\"SensorCheque\"");
  if (status) *status = r == 1 && State().read_value == "11" ? 3 : 1;
  return r;
}

int IncluiCidadeFavorecido(const std::string& city, const std::string& payee) {
  common::IniFile config = core::Config();
  if (!config.write("Opcional", "Favorecido", payee) || !config.write("Opcional", "Cidade", city))
    return Refuse(0, -8, "Erro ao gravar " + config.path().string());
  return 1;
}

int ChequeNotAvailable(const std::string& name) {
  if (ChequeModel()) return core::NotImplemented(" " + name);
  return core::CommandMissing(name);
}

int Autenticacao() {
  if (!ChequeModel()) return core::CommandMissing("OrvikKAP_Autenticacao");
  return ExecuteLumvar("ImprimeAutenticacao", "");
}

int AutenticacaoMFD(const std::string& lines, const std::string& text) {
  int n = core::ParseInteger(common::trim(lines), 9);
  if (n > 9) n = 9;
  std::string printed;
  for (int i = 0; i < n; ++i) printed += "\\n";
  printed += text;
  if (!ChequeModel()) return core::CommandMissing("OrvikKAP_Autenticacao");
  return ExecuteLumvar("ImprimeAutenticacao", "TextoAutenticacao=" + Quoted(printed));
}

}  // namespace orvik::lumvar
