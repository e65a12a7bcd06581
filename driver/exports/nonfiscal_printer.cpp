// The non-fiscal receipt printer (families 4 on a parallel port and 5 on a serial port).
// The OrvikCupom_ names are the same operations as the Vuno_ ones. The sending routines
// start after the family check made here (busy flag, port settings, the transfer).
#include "dispatch.h"
#include "orvik/lumvar/frame.h"
#include "orvik/orvik.h"
#include "orvik/peripherals/vuno.h"

using namespace orvik::exports;
namespace core = orvik::core;
namespace vuno = orvik::peripherals;
using vuno::Barcode;

namespace {

// Sending to the printer: only the two non-fiscal families have one; the fiscal ones are
// told the command does not exist for them.
template <class Routine, class... Args>
int Send(std::string_view name, Routine&& routine, Args... args) {
  if (!IsVuno()) {
    return Guarded(name, [] { return core::CommandMissing("Funcoes da Impressora Vuno"); });
  }
  return AnyFamily(name, routine, args...);
}

// A barcode export of the given kind.
int PrintBarcode(std::string_view name, Barcode kind, const char* data) {
  return Send(
      name, [kind](const std::string& text) { return vuno::ImprimeCodigoBarras(kind, text); },
      data);
}

// Bitmaps are not printed by any model.
int NoBitmap(std::string_view label) {
  return Guarded(label, [label] { return core::NotImplemented(label); });
}

}  // namespace

extern "C" {

ORVIK_API int ORVIK_CALL Vuno_EnviaBuffer(const char* text) {
  return Send(__func__, vuno::EnviaBuffer, text);
}

ORVIK_API int ORVIK_CALL Vuno_EnviaBufferFormatado(const char* text, int font, int italic,
                                                   int underline, int double_width, int emphasis) {
  return Send(__func__, vuno::EnviaBufferFormatado, text, font, italic, underline, double_width,
              emphasis);
}

ORVIK_API int ORVIK_CALL Vuno_EnviaComando(const char* bytes, int count) {
  // The command may hold zero bytes: the routine gets exactly count bytes.
  return Send(__func__, vuno::EnviaComando, RawBytes{bytes, count});
}

ORVIK_API int ORVIK_CALL Vuno_AcionaGaveta(void) {
  return Send(__func__, vuno::AcionaGaveta);
}

ORVIK_API int ORVIK_CALL Vuno_AcionaBuzLite(int repetitions, int duration, int pause) {
  return Send(__func__, vuno::AcionaBuzLite, repetitions, duration, pause);
}

ORVIK_API int ORVIK_CALL Vuno_AcionaGuilhotina(int mode) {
  return Send(__func__, vuno::AcionaGuilhotina, mode);
}

ORVIK_API int ORVIK_CALL Vuno_AcionaGuilhotinaParcial(int n) {
  return Send(__func__, vuno::AcionaGuilhotinaParcial, n);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasUPCA(const char* data) {
  return PrintBarcode(__func__, Barcode::kUpcA, data);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasUPCE(const char* data) {
  return PrintBarcode(__func__, Barcode::kUpcE, data);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasEAN13(const char* data) {
  return PrintBarcode(__func__, Barcode::kEan13, data);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasEAN8(const char* data) {
  return PrintBarcode(__func__, Barcode::kEan8, data);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasITF(const char* data) {
  return PrintBarcode(__func__, Barcode::kItf, data);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasCODABAR(const char* data) {
  return PrintBarcode(__func__, Barcode::kCodabar, data);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasISBN(const char* data) {
  return PrintBarcode(__func__, Barcode::kIsbn, data);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasMSI(const char* data) {
  return PrintBarcode(__func__, Barcode::kMsi, data);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasPLESSEY(const char* data) {
  return PrintBarcode(__func__, Barcode::kPlessey, data);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasCODE39(const char* data) {
  return PrintBarcode(__func__, Barcode::kCode39, data);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasCODE93(const char* data) {
  return PrintBarcode(__func__, Barcode::kCode93, data);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasCODE128(const char* data) {
  return PrintBarcode(__func__, Barcode::kCode128, data);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeCodigoBarrasPDF417(int a, int b, int c, int d,
                                                        const char* data) {
  return Send(__func__, vuno::ImprimeCodigoBarrasPDF417, a, b, c, d, data);
}

ORVIK_API int ORVIK_CALL Vuno_ConfiguraCodigoBarras(int height, int width, int text_position,
                                                    int font, int margin) {
  return Send(__func__, vuno::ConfiguraCodigoBarras, height, width, text_position, font, margin);
}

ORVIK_API int ORVIK_CALL Vuno_AjustaLarguraPapel(int width) {
  return Send(__func__, vuno::AjustaLarguraPapel, width);
}

// Status queries: the serial printer answers through its line, every other family reads
// the parallel port's status register, so these run whatever the family.

ORVIK_API int ORVIK_CALL Vuno_VerificaOnLine(void) {
  return AnyFamily(__func__, vuno::VerificaOnLine);
}

ORVIK_API int ORVIK_CALL Vuno_VerificaPoucoPapel(void) {
  return AnyFamily(__func__, vuno::VerificaPoucoPapel);
}

ORVIK_API int ORVIK_CALL Vuno_VerificaFimPapel(void) {
  return AnyFamily(__func__, vuno::VerificaFimPapel);
}

ORVIK_API int ORVIK_CALL Vuno_VerificaEstadoGaveta(void) {
  return AnyFamily(__func__, vuno::VerificaEstadoGaveta);
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeBitmap(int arg1, int arg2) {
  (void)arg1, (void)arg2;
  return NoBitmap("Vuno_ImprimeBitmap");
}

ORVIK_API int ORVIK_CALL Vuno_ImprimeBmpEspecial(int arg1, int arg2, int arg3, int arg4) {
  (void)arg1, (void)arg2, (void)arg3, (void)arg4;
  return NoBitmap("Vuno");
}

// ---- The same operations under their second names ----

ORVIK_API int ORVIK_CALL OrvikCupom_EnviaBuffer(const char* text) {
  return Vuno_EnviaBuffer(text);
}

ORVIK_API int ORVIK_CALL OrvikCupom_EnviaBufferFormatado(const char* text, int font, int italic,
                                                         int underline, int double_width,
                                                         int emphasis) {
  return Vuno_EnviaBufferFormatado(text, font, italic, underline, double_width, emphasis);
}

ORVIK_API int ORVIK_CALL OrvikCupom_EnviaComando(const char* bytes, int count) {
  return Vuno_EnviaComando(bytes, count);
}

ORVIK_API int ORVIK_CALL OrvikCupom_VerificaOnLine(void) {
  return Vuno_VerificaOnLine();
}

ORVIK_API int ORVIK_CALL OrvikCupom_VerificaPoucoPapel(void) {
  return Vuno_VerificaPoucoPapel();
}

ORVIK_API int ORVIK_CALL OrvikCupom_VerificaFimPapel(void) {
  return Vuno_VerificaFimPapel();
}

ORVIK_API int ORVIK_CALL OrvikCupom_VerificaEstadoGaveta(void) {
  return Vuno_VerificaEstadoGaveta();
}

ORVIK_API int ORVIK_CALL OrvikCupom_AcionaGaveta(void) {
  return Vuno_AcionaGaveta();
}

ORVIK_API int ORVIK_CALL OrvikCupom_AcionaBuzLite(int repetitions, int duration, int pause) {
  return Vuno_AcionaBuzLite(repetitions, duration, pause);
}

ORVIK_API int ORVIK_CALL OrvikCupom_AcionaGuilhotina(int mode) {
  return Vuno_AcionaGuilhotina(mode);
}

ORVIK_API int ORVIK_CALL OrvikCupom_AcionaGuilhotinaParcial(int n) {
  return Vuno_AcionaGuilhotinaParcial(n);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasUPCA(const char* data) {
  return Vuno_ImprimeCodigoBarrasUPCA(data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasUPCE(const char* data) {
  return Vuno_ImprimeCodigoBarrasUPCE(data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasEAN13(const char* data) {
  return Vuno_ImprimeCodigoBarrasEAN13(data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasEAN8(const char* data) {
  return Vuno_ImprimeCodigoBarrasEAN8(data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasITF(const char* data) {
  return Vuno_ImprimeCodigoBarrasITF(data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasCODABAR(const char* data) {
  return Vuno_ImprimeCodigoBarrasCODABAR(data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasISBN(const char* data) {
  return Vuno_ImprimeCodigoBarrasISBN(data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasMSI(const char* data) {
  return Vuno_ImprimeCodigoBarrasMSI(data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasPLESSEY(const char* data) {
  return Vuno_ImprimeCodigoBarrasPLESSEY(data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasCODE39(const char* data) {
  return Vuno_ImprimeCodigoBarrasCODE39(data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasCODE93(const char* data) {
  return Vuno_ImprimeCodigoBarrasCODE93(data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasCODE128(const char* data) {
  return Vuno_ImprimeCodigoBarrasCODE128(data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeCodigoBarrasPDF417(int a, int b, int c, int d,
                                                              const char* data) {
  return Vuno_ImprimeCodigoBarrasPDF417(a, b, c, d, data);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ConfiguraCodigoBarras(int height, int width, int text_position,
                                                          int font, int margin) {
  return Vuno_ConfiguraCodigoBarras(height, width, text_position, font, margin);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeBitmap(int arg1, int arg2) {
  return Vuno_ImprimeBitmap(arg1, arg2);
}

ORVIK_API int ORVIK_CALL OrvikCupom_ImprimeBmpEspecial(int arg1, int arg2, int arg3, int arg4) {
  return Vuno_ImprimeBmpEspecial(arg1, arg2, arg3, arg4);
}

ORVIK_API int ORVIK_CALL OrvikCupom_AjustaLarguraPapel(int width) {
  return Vuno_AjustaLarguraPapel(width);
}

ORVIK_API int ORVIK_CALL OrvikCupom_RetornoImpressora(int* code, char* message) {
  return AnyFamily(__func__, orvik::frame::RetornoImpressora, code, message);
}

}  // extern "C"
