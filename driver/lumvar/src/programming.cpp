// Drawer, cutter and paper feed; programming of rates, names, payment forms and modes.
#include <chrono>
#include <cstdint>
#include <thread>

#include "common/text1252.h"
#include "document_texts.h"
#include "orvik/core/state.h"
#include "orvik/lumvar/amounts.h"
#include "orvik/lumvar/documents.h"
#include "orvik/lumvar/engine.h"
#include "orvik/lumvar/queries.h"

namespace orvik::lumvar {
namespace {

using core::State;
using namespace document_texts;

constexpr int kPaymentFormFree = 8014;
constexpr int kPaymentCodes = 15;

int WriteText(const char* name, const std::string& value) {
  return ExecuteLumvar("EscreveTexto",
                       std::string("NomeTexto=\"") + name + "\" ValorTexto=" + Quoted(value));
}

int WriteInteger(const char* name, const std::string& value) {
  return ExecuteLumvar("EscreveInteiro",
                       std::string("NomeInteiro=\"") + name + "\" ValorInteiro=" + value);
}

void ClearStatus() {
  core::DriverState& s = State();
  s.st2 = 0;
  s.last_return_code = 0;
  s.last_message.clear();
}

}  // namespace

int AcionaGaveta() {
  return ExecuteLumvar("AbreGaveta", "");
}

int AcionaGuilhotinaMFD(int kind) {
  return ExecuteLumvar("CortaPapel", "TipoCorte=" + std::to_string(kind > 9 ? 0 : kind));
}

int AvancaCorta(int lines, int kind) {
  int r = 1;
  if (lines > 0) r = ExecuteLumvar("AvancaPapel", "Avanco=" + std::to_string(int64_t{lines} * 30));
  if (kind == 9) return r;
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  return ExecuteLumvar("CortaPapel", "TipoCorte=" + std::to_string(kind));
}

int ProgramaAliquota(const std::string& rate, int kind) {
  const int r = ReadRegister(113);
  if (r != 1) return r;
  std::string parameters =
      "CodAliquotaProgramavel=" + State().return_value + " PercentualAliquota=" + Cents(rate);
  if (kind != 0) parameters += " AliquotaICMS = false";
  return ExecuteLumvar("DefineAliquota", parameters);
}

int ProgramaHorarioVerao() {
  // A failed read leaves the setting alone: toggling on a stale value could turn it the
  // wrong way.
  const int r = ExecuteLumvar("LeIndicador", "NomeIndicador=\"HorarioVerao\"");
  if (r != 1) return r;
  const std::string& value = State().read_value;
  const bool on = value.empty() || value[0] != '0';
  return ExecuteLumvar("AcertaHorarioVerao", on ? "EntradaHV=0" : "EntradaHV=1");
}

int ProgramaTruncamento() {
  return WriteInteger("Arredondamento", "1");
}

int ProgramaArredondamento() {
  return WriteInteger("Arredondamento", "0");
}

int ProgramaMoedaSingular(const std::string& name) {
  return WriteText("NomeMoedaSingular", name);
}

int ProgramaMoedaPlural(const std::string& name) {
  return WriteText("NomeMoedaPlural", name);
}

int AlteraSimboloMoeda(const std::string& symbol) {
  return WriteText("SimboloMoeda", symbol);
}

int NomeiaDepartamento(int index, const std::string& name) {
  return ExecuteLumvar("DefineDepartamento", "CodDepartamento=" + std::to_string(index) +
                                                 " NomeDepartamento=" + Quoted(name));
}

int NomeiaTotalizadorNaoSujeitoIcms(int index, const std::string& name) {
  return ExecuteLumvar("DefineNaoFiscal",
                       "CodNaoFiscal=" + std::to_string(index) + " NomeNaoFiscal=" + Quoted(name));
}

int ProgramaFormaPagamentoMFD(const std::string& name, const std::string& linked) {
  core::DriverState& s = State();
  const std::string wanted = common::cp1252_upper(name);
  std::string programmed = name;
  for (int code = 0; code < kPaymentCodes; ++code) {
    const int r =
        ExecuteLumvar("LeMeioPagamento", "CodMeioPagamentoProgram=" + std::to_string(code));
    if (r == 1) {
      if (common::cp1252_upper(s.read_value) == wanted) {
        programmed = s.read_value;
        break;
      }
      continue;
    }
    if (s.last_return_code == kPaymentFormFree) {
      ClearStatus();
      continue;
    }
    // The table could not be read through: defining now could add the form twice.
    return r;
  }
  return ExecuteLumvar("DefineMeioPagamento",
                       "NomeMeioPagamento=" + Quoted(programmed) +
                           " PermiteVinculado=" + (linked == "1" ? "true" : "false"));
}

int EspacoEntreLinhas(int lines) {
  return WriteInteger("EspacamentoLinhas", std::to_string(lines));
}

int HabilitaDesabilitaRetornoEstendidoMFD() {
  return ReadRegister(0);
}

}  // namespace orvik::lumvar
