// Frame exports: the routines live in the Lumvar part, which routes by family itself.
#include "orvik/lumvar/frame.h"

#include "dispatch.h"
#include "orvik/orvik.h"

using namespace orvik::exports;
namespace frame = orvik::frame;

extern "C" {

ORVIK_API int ORVIK_CALL Orvik_RetornoImpressora(int* code, char* message) {
  return AnyFamily(__func__, frame::RetornoImpressora, code, message);
}

ORVIK_API int ORVIK_CALL Orvik_LeArquivoRetorno(char* answer) {
  return AnyFamily(__func__, frame::LeArquivoRetorno, answer);
}

ORVIK_API int ORVIK_CALL Orvik_AbrePortaSerial(void) {
  return AnyFamily(__func__, frame::AbrePortaSerial);
}

ORVIK_API int ORVIK_CALL Orvik_IniciaPorta(const char* port) {
  return AnyFamily(
      __func__, [](const std::string& p) { return frame::IniciaPorta(p.c_str()); }, port);
}

ORVIK_API int ORVIK_CALL Orvik_FechaPortaSerial(void) {
  return AnyFamily(__func__, frame::FechaPortaSerial);
}

ORVIK_API int ORVIK_CALL Orvik_ExecutaComando(const char* command, const char* parameters) {
  return AnyFamily(
      __func__,
      [](const std::string& c, const std::string& p) {
        return frame::ExecutaComando(c.c_str(), p.c_str());
      },
      command, parameters);
}

ORVIK_API int ORVIK_CALL Orvik_ExecutaLeitura(const char* command, const char* parameters,
                                              char* answer) {
  return AnyFamily(
      __func__,
      [](const std::string& c, const std::string& p, char* a) {
        return frame::ExecutaLeitura(c.c_str(), p.c_str(), a);
      },
      command, parameters, answer);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaOperador(const char* name) {
  return AnyFamily(
      __func__, [](const std::string& n) { return frame::ProgramaOperador(n.c_str()); }, name);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaIdAplicativoMFD(const char* id) {
  return AnyFamily(
      __func__, [](const std::string& i) { return frame::ProgramaIdAplicativoMFD(i.c_str()); }, id);
}

ORVIK_API int ORVIK_CALL Orvik_LinhasEntreCupons(int lines) {
  return AnyFamily(__func__, frame::LinhasEntreCupons, lines);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaBaudRate(const char* speed) {
  return AnyFamily(
      __func__, [](const std::string& s) { return frame::ProgramaBaudRate(s.c_str()); }, speed);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaReducaoZAutomatica(int* flag) {
  return AnyFamily(__func__, frame::VerificaReducaoZAutomatica, flag);
}

}  // extern "C"
