// Reports rendered from the printer's registers (type-60 reports, summary map, last
// reduction, configuration printout). Only the Lumvar printers have them.
#include "orvik/lumvar/register_reports.h"

#include "dispatch.h"
#include "orvik/orvik.h"

using namespace orvik::exports;
namespace core = orvik::core;
namespace lumvar = orvik::lumvar;

extern "C" {

ORVIK_API int ORVIK_CALL Orvik_RelatorioTipo60Analitico(void) {
  return Dispatch(__func__, lumvar::RelatorioTipo60Analitico, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_RelatorioTipo60AnaliticoMFD(void) {
  return Orvik_RelatorioTipo60Analitico();
}

ORVIK_API int ORVIK_CALL Orvik_RelatorioTipo60Mestre(void) {
  return Dispatch(__func__, lumvar::RelatorioTipo60Mestre, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_MapaResumo(void) {
  return Dispatch(__func__, lumvar::MapaResumo, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_MapaResumoMFD(void) {
  return Orvik_MapaResumo();
}

ORVIK_API int ORVIK_CALL Orvik_RegistrosTipo60(void) {
  return Dispatch(__func__, lumvar::RegistrosTipo60, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_DadosUltimaReducao(char* data) {
  return Query(__func__, AsIs(data), lumvar::DadosUltimaReducao, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_DadosUltimaReducaoMFD(char* data) {
  // The record is copied into the buffer once more after the writer, as older callers
  // expect.
  const int result = Query(__func__, AsIs(data), lumvar::DadosUltimaReducaoMFD, kNoRoutine);
  if (data) {
    const std::string& value = core::State().return_value;
    std::char_traits<char>::copy(data, value.c_str(), value.size() + 1);
  }
  return result;
}

ORVIK_API int ORVIK_CALL Orvik_GrandeTotalUltimaReducaoMFD(char* gross) {
  return Query(__func__, AsIs(gross), lumvar::GrandeTotalUltimaReducaoMFD, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ImprimeConfiguracoesImpressora(void) {
  return Dispatch(__func__, lumvar::ImprimeConfiguracoesImpressora, kNoRoutine);
}

}  // extern "C"
