// Fiscal coupon and payments: opening, items, adjustments, payments, closing, barcodes.
//
// Families 1 and 2 run the routines of orvik::qvx.
#include "orvik/lumvar/coupon.h"

#include "dispatch.h"
#include "orvik/lumvar/barcodes.h"
#include "orvik/orvik.h"
#include "orvik/qvx/routines.h"

using namespace orvik::exports;
namespace core = orvik::core;
namespace lumvar = orvik::lumvar;
namespace qvx = orvik::qvx;

namespace {

// Barcode kinds the Lumvar printers do not print: the command-missing path with the
// label the Lumvar printers give them (the name ends in a blank).
int LumvarBarcodeMissing(std::string_view name, const char* code, std::string_view label) {
  return Dispatch(
      name, [label](const std::string&) { return core::CommandMissing(label); }, kNoRoutine, code);
}

// Barcode kinds the Lumvar printers print, by sub-model; the export's name is the label
// of the command-missing path on a model that lacks the kind.
int LumvarBarcode(std::string_view name, lumvar::BarcodeKind kind, const char* code) {
  return Dispatch(
      name,
      [name, kind](const std::string& text) { return lumvar::PrintBarcode(kind, text, name); },
      kNoRoutine, code);
}

}  // namespace

extern "C" {

ORVIK_API int ORVIK_CALL Orvik_AbreCupom(const char* id) {
  return Dispatch(__func__, lumvar::AbreCupom, qvx::AbreCupom, id);
}

ORVIK_API int ORVIK_CALL Orvik_AbreCupomMFD(const char* id, const char* name, const char* address) {
  return Dispatch(__func__, lumvar::AbreCupomMFD, qvx::AbreCupomMFD, id, name, address);
}

ORVIK_API int ORVIK_CALL Orvik_IdentificaConsumidor(const char* id, const char* name,
                                                    const char* address) {
  return Dispatch(__func__, lumvar::IdentificaConsumidor, kNoRoutine, id, name, address);
}

ORVIK_API int ORVIK_CALL Orvik_VendeItem(const char* code, const char* description,
                                         const char* aliquot, const char* quantity_type,
                                         const char* quantity, int decimals, const char* unit_price,
                                         const char* discount_type, const char* discount) {
  return Dispatch(__func__, lumvar::VendeItem, qvx::VendeItem, code, description, aliquot,
                  quantity_type, quantity, decimals, unit_price, discount_type, discount);
}

ORVIK_API int ORVIK_CALL Orvik_VendeItemDepartamento(const char* code, const char* description,
                                                     const char* aliquot, const char* unit_price,
                                                     const char* quantity, const char* surcharge,
                                                     const char* discount, const char* department,
                                                     const char* unit) {
  return Dispatch(__func__, lumvar::VendeItemDepartamento, kNoRoutine, code, description, aliquot,
                  unit_price, quantity, surcharge, discount, department, unit);
}

ORVIK_API int ORVIK_CALL Orvik_AumentaDescricaoItem(const char* description) {
  return Dispatch(__func__, lumvar::AumentaDescricaoItem, kNoRoutine, description);
}

ORVIK_API int ORVIK_CALL Orvik_AtivaDesativaVendaUmaLinhaMFD(int one_line) {
  return Dispatch(__func__, lumvar::AtivaDesativaVendaUmaLinhaMFD, kNoRoutine, one_line);
}

ORVIK_API int ORVIK_CALL Orvik_AcrescimoDescontoItemMFD(const char* item, const char* flag,
                                                        const char* type, const char* value) {
  return Dispatch(__func__, lumvar::AcrescimoDescontoItemMFD, kNoRoutine, item, flag, type, value);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaAcrescimoDescontoItemMFD(const char* flag, const char* item) {
  return Dispatch(__func__, lumvar::CancelaAcrescimoDescontoItemMFD, kNoRoutine, flag, item);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaItemAnterior(void) {
  return Dispatch(__func__, lumvar::CancelaItemAnterior, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaItemGenerico(const char* item) {
  return Dispatch(__func__, lumvar::CancelaItemGenerico, qvx::CancelaItemGenerico, item);
}

ORVIK_API int ORVIK_CALL Orvik_IniciaFechamentoCupom(const char* flag, const char* type,
                                                     const char* value) {
  return Dispatch(__func__, lumvar::IniciaFechamentoCupom, qvx::IniciaFechamentoCupom, flag, type,
                  value);
}

ORVIK_API int ORVIK_CALL Orvik_IniciaFechamentoCupomMFD(const char* flag, const char* type,
                                                        const char* surcharge,
                                                        const char* discount) {
  return Dispatch(__func__, lumvar::IniciaFechamentoCupomMFD, kNoRoutine, flag, type, surcharge,
                  discount);
}

ORVIK_API int ORVIK_CALL Orvik_AcrescimoDescontoSubtotalMFD(const char* flag, const char* type,
                                                            const char* value) {
  return Dispatch(__func__, lumvar::AcrescimoDescontoSubtotalMFD, kNoRoutine, flag, type, value);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaAcrescimoDescontoSubtotalMFD(const char* flag) {
  return Dispatch(__func__, lumvar::CancelaAcrescimoDescontoSubtotalMFD, kNoRoutine, flag);
}

ORVIK_API int ORVIK_CALL Orvik_EfetuaFormaPagamento(const char* form, const char* value) {
  return Dispatch(__func__, lumvar::EfetuaFormaPagamento, qvx::EfetuaFormaPagamento, form, value);
}

ORVIK_API int ORVIK_CALL Orvik_EfetuaFormaPagamentoDescricaoForma(const char* form,
                                                                  const char* value,
                                                                  const char* description) {
  return Dispatch(__func__, lumvar::EfetuaFormaPagamentoDescricaoForma, kNoRoutine, form, value,
                  description);
}

ORVIK_API int ORVIK_CALL Orvik_EfetuaFormaPagamentoMFD(const char* form, const char* value,
                                                       const char* installments,
                                                       const char* description) {
  return Dispatch(__func__, lumvar::EfetuaFormaPagamentoMFD, kNoRoutine, form, value, installments,
                  description);
}

ORVIK_API int ORVIK_CALL Orvik_EstornoFormasPagamento(const char* origin, const char* destination,
                                                      const char* value) {
  return Dispatch(__func__, lumvar::EstornoFormasPagamento, kNoRoutine, origin, destination, value);
}

ORVIK_API int ORVIK_CALL Orvik_TerminaFechamentoCupom(const char* message) {
  // The close of Orvik_FechaCupom with five empty texts.
  return Dispatch(__func__, lumvar::TerminaFechamentoCupom, qvx::TerminaFechamentoCupom, message);
}

ORVIK_API int ORVIK_CALL Orvik_TerminaFechamentoCupomCodigoBarrasMFD(
    const char* arg1, const char* arg2, const char* arg3, const char* arg4, const char* arg5,
    const char* arg6, const char* arg7, const char* arg8, const char* arg9, const char* arg10) {
  // No model prints a barcode at the close: command missing for every family.
  return AnyFamily(
      __func__,
      [](auto&&...) { return core::CommandMissing("Orvik_TerminaFechamentoCupomCodigoBarrasMFD"); },
      arg1, arg2, arg3, arg4, arg5, arg6, arg7, arg8, arg9, arg10);
}

ORVIK_API int ORVIK_CALL Orvik_FechaCupom(const char* form, const char* flag, const char* type,
                                          const char* adjustment, const char* paid,
                                          const char* message) {
  return Dispatch(__func__, lumvar::FechaCupom, qvx::FechaCupom, form, flag, type, adjustment, paid,
                  message);
}

ORVIK_API int ORVIK_CALL Orvik_FechaCupomResumido(const char* form, const char* message) {
  return Dispatch(__func__, lumvar::FechaCupomResumido, kNoRoutine, form, message);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaCupom(void) {
  return Dispatch(__func__, lumvar::CancelaCupom, qvx::CancelaCupom);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaCupomMFD(const char* arg1, const char* arg2,
                                               const char* arg3) {
  // The arguments are accepted and not used; the Lumvar routine is that of CancelaCupom.
  (void)arg1, (void)arg2, (void)arg3;
  return Dispatch(__func__, lumvar::CancelaCupom, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_CupomAdicionalMFD(void) {
  return Dispatch(__func__, lumvar::CupomAdicionalMFD, kNoRoutine);
}

// Barcodes the Lumvar printers print (type 0 UPC-A ... 6 CODABAR).

ORVIK_API int ORVIK_CALL Orvik_CodigoBarrasUPCAMFD(const char* code) {
  return LumvarBarcode(__func__, lumvar::kUpcA, code);
}

ORVIK_API int ORVIK_CALL Orvik_CodigoBarrasUPCEMFD(const char* code) {
  return LumvarBarcode(__func__, lumvar::kUpcE, code);
}

ORVIK_API int ORVIK_CALL Orvik_CodigoBarrasEAN13MFD(const char* code) {
  return LumvarBarcode(__func__, lumvar::kEan13, code);
}

ORVIK_API int ORVIK_CALL Orvik_CodigoBarrasEAN8MFD(const char* code) {
  return LumvarBarcode(__func__, lumvar::kEan8, code);
}

ORVIK_API int ORVIK_CALL Orvik_CodigoBarrasCODE39MFD(const char* code) {
  return LumvarBarcode(__func__, lumvar::kCode39, code);
}

ORVIK_API int ORVIK_CALL Orvik_CodigoBarrasITFMFD(const char* code) {
  return LumvarBarcode(__func__, lumvar::kItf, code);
}

ORVIK_API int ORVIK_CALL Orvik_CodigoBarrasCODABARMFD(const char* code) {
  return LumvarBarcode(__func__, lumvar::kCodabar, code);
}

// Barcodes no Lumvar printer prints.

ORVIK_API int ORVIK_CALL Orvik_CodigoBarrasCODE128MFD(const char* code) {
  return LumvarBarcodeMissing(__func__, code, "OrvikKAP_CodigoBarrasCODE128MFD ");
}

ORVIK_API int ORVIK_CALL Orvik_CodigoBarrasCODE93MFD(const char* code) {
  return LumvarBarcodeMissing(__func__, code, "OrvikKAP_CodigoBarrasCODE93MFD ");
}

ORVIK_API int ORVIK_CALL Orvik_CodigoBarrasISBNMFD(const char* code) {
  return LumvarBarcodeMissing(__func__, code, "OrvikKAP_CodigoBarrasISBNMFD ");
}

ORVIK_API int ORVIK_CALL Orvik_CodigoBarrasMSIMFD(const char* code) {
  return LumvarBarcodeMissing(__func__, code, "OrvikKAP_CodigoBarrasMSIMFD ");
}

ORVIK_API int ORVIK_CALL Orvik_CodigoBarrasPLESSEYMFD(const char* code) {
  return LumvarBarcodeMissing(__func__, code, "OrvikKAP_CodigoBarrasPLESSEYMFD ");
}

ORVIK_API int ORVIK_CALL Orvik_ConfiguraCodigoBarrasMFD(int height, int width, int text_position,
                                                        int font, int margin) {
  return Dispatch(__func__, lumvar::ConfiguraCodigoBarrasMFD, kNoRoutine, height, width,
                  text_position, font, margin);
}

}  // extern "C"
