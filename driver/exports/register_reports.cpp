// Reports rendered from the printer's registers (type-60 reports, summary map, last
// reduction, configuration printout). Only the Lumvar printers have them.
//
// Not built yet: every Lumvar routine of this group (orvik::lumvar), marked kNotBuilt.
#include "dispatch.h"
#include "orvik/orvik.h"

using namespace orvik::exports;
namespace core = orvik::core;

extern "C" {

ORVIK_API int ORVIK_CALL Orvik_RelatorioTipo60Analitico(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_RelatorioTipo60AnaliticoMFD(void) {
  return Orvik_RelatorioTipo60Analitico();
}

ORVIK_API int ORVIK_CALL Orvik_RelatorioTipo60Mestre(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_MapaResumo(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_MapaResumoMFD(void) {
  return Orvik_MapaResumo();
}

ORVIK_API int ORVIK_CALL Orvik_RegistrosTipo60(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_DadosUltimaReducao(char* data) {
  return Query(__func__, AsIs(data), kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_DadosUltimaReducaoMFD(char* data) {
  // The record is copied into the buffer once more after the writer, as older callers
  // expect.
  const int result = Query(__func__, AsIs(data), kNotBuilt, kNoRoutine);
  if (data) {
    const std::string& value = core::State().return_value;
    std::char_traits<char>::copy(data, value.c_str(), value.size() + 1);
  }
  return result;
}

ORVIK_API int ORVIK_CALL Orvik_GrandeTotalUltimaReducaoMFD(char* gross) {
  return Query(__func__, AsIs(gross), kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ImprimeConfiguracoesImpressora(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

}  // extern "C"
