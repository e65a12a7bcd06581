// Reports, non-fiscal documents, cheques, drawer and programming.
//
// Family 0 runs the routines of orvik::lumvar, families 1 and 2 those of orvik::qvx; a
// slot still marked kNotBuilt has no routine yet.
#include "orvik/lumvar/documents.h"

#include "dispatch.h"
#include "orvik/core/config.h"
#include "orvik/lumvar/coupon.h"
#include "orvik/memfiles/capture.h"
#include "orvik/orvik.h"
#include "orvik/qvx/routines.h"

using namespace orvik::exports;
namespace core = orvik::core;
namespace lumvar = orvik::lumvar;
namespace qvx = orvik::qvx;

namespace {

// Readings sent to the line are collected by the print capture.
int Capture(const std::string& target) {
  return orvik::memfiles::CapturaParaArquivo(target);
}

int SerialData(const std::string& first, const std::string& last, const std::string& kind) {
  return lumvar::LeituraMemoriaFiscalSerialData(first, last, kind, Capture);
}

int SerialReducao(const std::string& first, const std::string& last, const std::string& kind) {
  return lumvar::LeituraMemoriaFiscalSerialReducao(first, last, kind, Capture);
}

// The consumer arguments of the voucher exports are accepted and not used.
int VoucherWithConsumer(const std::string& form, const std::string& value, const std::string& coo,
                        const std::string&, const std::string&, const std::string&) {
  return lumvar::AbreComprovanteNaoFiscalVinculado(form, value, coo);
}

int VoucherReversal(const std::string&, const std::string&, const std::string&) {
  return lumvar::EstornoNaoFiscalVinculadoMFD();
}

// The number of lines of back printing is not used.
int ChequeWithBack(const std::string& bank, const std::string& value, const std::string& payee,
                   const std::string& city, const std::string& date, const std::string& message,
                   const std::string& back_printing, const std::string&) {
  return lumvar::ImprimeChequeMFD(bank, value, payee, city, date, message, back_printing);
}

// The gerencial-open flag, in memory and in [Flags] Gerencial, so that a report left open
// is closed by the next command even after a restart.
void SetGerencialOpen(bool open) {
  core::State().gerencial_open = open ? 1 : 0;
  core::Config().write("Flags", "Gerencial", open ? "1" : "0");
}

}  // namespace

extern "C" {

// ---- Readings and day operations ----

ORVIK_API int ORVIK_CALL Orvik_LeituraX(void) {
  return Dispatch(__func__, lumvar::LeituraX, qvx::LeituraX);
}

ORVIK_API int ORVIK_CALL Orvik_LeituraXSerial(void) {
  return Dispatch(
      __func__, [] { return lumvar::LeituraXSerial(Capture); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ReducaoZ(const char* date, const char* time) {
  return Dispatch(__func__, lumvar::ReducaoZ, qvx::ReducaoZ, date, time);
}

ORVIK_API int ORVIK_CALL Orvik_LeituraMemoriaFiscalData(const char* first_date,
                                                        const char* last_date, const char* kind) {
  return Dispatch(__func__, lumvar::LeituraMemoriaFiscalData, qvx::LeituraMemoriaFiscalData,
                  first_date, last_date, kind);
}

ORVIK_API int ORVIK_CALL Orvik_LeituraMemoriaFiscalReducao(const char* first_reduction,
                                                           const char* last_reduction,
                                                           const char* kind) {
  return Dispatch(__func__, lumvar::LeituraMemoriaFiscalReducao, qvx::LeituraMemoriaFiscalReducao,
                  first_reduction, last_reduction, kind);
}

ORVIK_API int ORVIK_CALL Orvik_LeituraMemoriaFiscalSerialData(const char* first_date,
                                                              const char* last_date,
                                                              const char* kind) {
  return Dispatch(__func__, SerialData, kNoRoutine, first_date, last_date, kind);
}

ORVIK_API int ORVIK_CALL Orvik_LeituraMemoriaFiscalSerialReducao(const char* first_reduction,
                                                                 const char* last_reduction,
                                                                 const char* kind) {
  return Dispatch(__func__, SerialReducao, kNoRoutine, first_reduction, last_reduction, kind);
}

ORVIK_API int ORVIK_CALL Orvik_AberturaDoDia(const char* value, const char* form) {
  return Dispatch(__func__, lumvar::AberturaDoDia, kNoRoutine, value, form);
}

ORVIK_API int ORVIK_CALL Orvik_FechamentoDoDia(void) {
  return Dispatch(__func__, lumvar::FechamentoDoDia, kNoRoutine);
}

// ---- Gerencial reports ----

ORVIK_API int ORVIK_CALL Orvik_AbreRelatorioGerencial(void) {
  return Dispatch(__func__, lumvar::AbreRelatorioGerencial, qvx::AbreRelatorioGerencial);
}

ORVIK_API int ORVIK_CALL Orvik_AbreRelatorioGerencialMFD(const char* index) {
  return Dispatch(__func__, lumvar::AbreRelatorioGerencialMFD, qvx::AbreRelatorioGerencialMFD,
                  index);
}

ORVIK_API int ORVIK_CALL Orvik_RelatorioGerencial(const char* text) {
  // The open flag is cleared before and set after a printed line whatever the family,
  // so the family routines leave it alone.
  const int cleared = Guarded(__func__, [] {
    SetGerencialOpen(false);
    return 1;
  });
  if (cleared != 1) return 0;
  const int result = Dispatch(__func__, lumvar::RelatorioGerencial, qvx::ImprimeLinha, text);
  if (result == 1) {
    Guarded(__func__, [] {
      SetGerencialOpen(true);
      return 1;
    });
  }
  return result;
}

ORVIK_API int ORVIK_CALL Orvik_UsaRelatorioGerencialMFD(const char* text) {
  return Dispatch(__func__, lumvar::UsaRelatorioGerencialMFD, qvx::ImprimeLinha, text);
}

ORVIK_API int ORVIK_CALL Orvik_FechaRelatorioGerencial(void) {
  return Dispatch(__func__, lumvar::FechaRelatorioGerencial, qvx::FechaDocumento);
}

ORVIK_API int ORVIK_CALL Orvik_NomeiaRelatorioGerencialMFD(const char* index, const char* name) {
  return Dispatch(__func__, lumvar::NomeiaRelatorioGerencialMFD, kNoRoutine, index, name);
}

ORVIK_API int ORVIK_CALL Orvik_ImprimeDepartamentos(void) {
  return Dispatch(__func__, lumvar::ImprimeDepartamentos, kNoRoutine);
}

// ---- Linked credit/debit vouchers ----

ORVIK_API int ORVIK_CALL Orvik_AbreComprovanteNaoFiscalVinculado(const char* form,
                                                                 const char* value,
                                                                 const char* coo) {
  return Dispatch(__func__, lumvar::AbreComprovanteNaoFiscalVinculado,
                  qvx::AbreComprovanteNaoFiscalVinculado, form, value, coo);
}

ORVIK_API int ORVIK_CALL Orvik_AbreComprovanteNaoFiscalVinculadoMFD(const char* form,
                                                                    const char* value,
                                                                    const char* coo, const char* id,
                                                                    const char* name,
                                                                    const char* address) {
  return Dispatch(__func__, VoucherWithConsumer, kNoRoutine, form, value, coo, id, name, address);
}

ORVIK_API int ORVIK_CALL Orvik_UsaComprovanteNaoFiscalVinculado(const char* text) {
  return Dispatch(__func__, lumvar::UsaComprovanteNaoFiscalVinculado, qvx::ImprimeLinha, text);
}

ORVIK_API int ORVIK_CALL Orvik_FechaComprovanteNaoFiscalVinculado(void) {
  return Dispatch(__func__, lumvar::FechaComprovanteNaoFiscalVinculado, qvx::FechaDocumento);
}

ORVIK_API int ORVIK_CALL Orvik_EstornoNaoFiscalVinculadoMFD(const char* id, const char* name,
                                                            const char* address) {
  return Dispatch(__func__, VoucherReversal, kNoRoutine, id, name, address);
}

ORVIK_API int ORVIK_CALL Orvik_ReimpressaoNaoFiscalVinculadoMFD(void) {
  return Dispatch(__func__, lumvar::ReimpressaoNaoFiscalVinculadoMFD, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_SegundaViaNaoFiscalVinculadoMFD(void) {
  return Dispatch(__func__, lumvar::SegundaViaNaoFiscalVinculadoMFD, kNoRoutine);
}

// ---- Non-fiscal receipts, withdrawal and supply ----

ORVIK_API int ORVIK_CALL Orvik_RecebimentoNaoFiscal(const char* totalizer, const char* value,
                                                    const char* form) {
  return Dispatch(__func__, lumvar::RecebimentoNaoFiscal, kNoRoutine, totalizer, value, form);
}

ORVIK_API int ORVIK_CALL Orvik_AbreRecebimentoNaoFiscalMFD(const char* id, const char* name,
                                                           const char* address) {
  return Dispatch(__func__, lumvar::AbreRecebimentoNaoFiscalMFD, kNoRoutine, id, name, address);
}

ORVIK_API int ORVIK_CALL Orvik_EfetuaRecebimentoNaoFiscalMFD(const char* totalizer,
                                                             const char* value) {
  return Dispatch(__func__, lumvar::EfetuaRecebimentoNaoFiscalMFD, kNoRoutine, totalizer, value);
}

ORVIK_API int ORVIK_CALL Orvik_AcrescimoDescontoSubtotalRecebimentoMFD(const char* flag,
                                                                       const char* type,
                                                                       const char* value) {
  return Dispatch(__func__, lumvar::AcrescimoDescontoSubtotalMFD, kNoRoutine, flag, type, value);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaAcrescimoDescontoSubtotalRecebimentoMFD(const char* flag) {
  return Dispatch(
      __func__,
      [](const std::string&) { return lumvar::CancelaAcrescimoDescontoSubtotalRecebimentoMFD(); },
      kNoRoutine, flag);
}

ORVIK_API int ORVIK_CALL Orvik_IniciaFechamentoRecebimentoNaoFiscalMFD(const char* flag,
                                                                       const char* type,
                                                                       const char* surcharge,
                                                                       const char* discount) {
  return Dispatch(__func__, lumvar::IniciaFechamentoCupomMFD, kNoRoutine, flag, type, surcharge,
                  discount);
}

ORVIK_API int ORVIK_CALL Orvik_FechaRecebimentoNaoFiscalMFD(const char* message) {
  return Dispatch(__func__, lumvar::FechaRecebimentoNaoFiscalMFD, kNoRoutine, message);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaRecebimentoNaoFiscalMFD(const char* arg1, const char* arg2,
                                                              const char* arg3) {
  // The arguments are accepted and not used; the Lumvar routine is that of CancelaCupom.
  (void)arg1, (void)arg2, (void)arg3;
  return Dispatch(__func__, lumvar::CancelaCupom, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_SubTotalComprovanteNaoFiscalMFD(char* subtotal) {
  return Query(__func__, AsIs(subtotal), lumvar::SubTotalComprovanteNaoFiscalMFD, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_AcrescimoItemNaoFiscalMFD(const char* item, const char* flag,
                                                         const char* type, const char* value) {
  return Dispatch(__func__, lumvar::AcrescimoItemNaoFiscalMFD, kNoRoutine, item, flag, type, value);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaAcrescimoNaoFiscalMFD(const char* item, const char* arg2) {
  return Dispatch(
      __func__,
      [](const std::string& item, const std::string&) {
        return lumvar::CancelaAcrescimoNaoFiscalMFD(item);
      },
      kNoRoutine, item, arg2);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaItemNaoFiscalMFD(const char* item) {
  return Dispatch(__func__, lumvar::CancelaItemNaoFiscalMFD, kNoRoutine, item);
}

ORVIK_API int ORVIK_CALL Orvik_Sangria(const char* value) {
  return Dispatch(__func__, lumvar::Sangria, qvx::Sangria, value);
}

ORVIK_API int ORVIK_CALL Orvik_Suprimento(const char* value, const char* form) {
  return Dispatch(__func__, lumvar::Suprimento, qvx::Suprimento, value, form);
}

// ---- Cheques and authentication ----

ORVIK_API int ORVIK_CALL Orvik_ImprimeCheque(const char* bank, const char* value, const char* payee,
                                             const char* city, const char* date,
                                             const char* message) {
  return Dispatch(__func__, lumvar::ImprimeCheque, kNoRoutine, bank, value, payee, city, date,
                  message);
}

ORVIK_API int ORVIK_CALL Orvik_ImprimeChequeMFD(const char* bank, const char* value,
                                                const char* payee, const char* city,
                                                const char* date, const char* message,
                                                const char* back_printing, const char* lines) {
  return Dispatch(__func__, ChequeWithBack, kNoRoutine, bank, value, payee, city, date, message,
                  back_printing, lines);
}

ORVIK_API int ORVIK_CALL Orvik_LeituraCheque(char* cmc7) {
  return Query(__func__, AsIs(cmc7), lumvar::LeituraCheque, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaImpressaoCheque(void) {
  return Dispatch(
      __func__, [] { return lumvar::ChequeNotAvailable("Orvik_CancelaImpressaoCheque"); },
      kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaStatusCheque(int* status) {
  return Dispatch(__func__, lumvar::VerificaStatusCheque, kNoRoutine, status);
}

ORVIK_API int ORVIK_CALL Orvik_IncluiCidadeFavorecido(const char* city, const char* payee) {
  return Dispatch(__func__, lumvar::IncluiCidadeFavorecido, kNoRoutine, city, payee);
}

ORVIK_API int ORVIK_CALL Orvik_ImprimeCopiaCheque(void) {
  return Dispatch(
      __func__, [] { return lumvar::ChequeNotAvailable("Orvik_ImprimeCopiaCheque"); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_Autenticacao(void) {
  return Dispatch(__func__, lumvar::Autenticacao, qvx::Autenticacao);
}

ORVIK_API int ORVIK_CALL Orvik_AutenticacaoMFD(const char* lines, const char* text) {
  return Dispatch(__func__, lumvar::AutenticacaoMFD, kNoRoutine, lines, text);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaCaracterAutenticacao(const char* characters) {
  return Dispatch(
      __func__,
      [](const std::string&) {
        return lumvar::ChequeNotAvailable("Orvik_ProgramaCaracterAutenticacao");
      },
      kNoRoutine, characters);
}

// ---- Drawer, cutter and paper ----

ORVIK_API int ORVIK_CALL Orvik_AcionaGaveta(void) {
  return Dispatch(__func__, lumvar::AcionaGaveta, qvx::AcionaGaveta);
}

ORVIK_API int ORVIK_CALL Orvik_AcionaGuilhotinaMFD(int kind) {
  return Dispatch(__func__, lumvar::AcionaGuilhotinaMFD, kNoRoutine, kind);
}

ORVIK_API int ORVIK_CALL Orvik_AvancaCorta(int lines, int kind) {
  // Sent whatever the model family.
  return AnyFamily(__func__, lumvar::AvancaCorta, lines, kind);
}

ORVIK_API int ORVIK_CALL Orvik_ResetaImpressora(void) {
  // No Lumvar printer takes a reset from the host.
  return Dispatch(
      __func__, [] { return core::CommandMissing("OrvikKAP_ResetaImpressora "); }, kNoRoutine);
}

// ---- Programming ----

ORVIK_API int ORVIK_CALL Orvik_ProgramaAliquota(const char* rate, int kind) {
  return Dispatch(__func__, lumvar::ProgramaAliquota, kNoRoutine, rate, kind);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaHorarioVerao(void) {
  return Dispatch(__func__, lumvar::ProgramaHorarioVerao, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaTruncamento(void) {
  return Dispatch(__func__, lumvar::ProgramaTruncamento, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaArredondamento(void) {
  return Dispatch(__func__, lumvar::ProgramaArredondamento, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaMoedaSingular(const char* name) {
  return Dispatch(__func__, lumvar::ProgramaMoedaSingular, kNoRoutine, name);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaMoedaPlural(const char* name) {
  return Dispatch(__func__, lumvar::ProgramaMoedaPlural, kNoRoutine, name);
}

ORVIK_API int ORVIK_CALL Orvik_AlteraSimboloMoeda(const char* symbol) {
  return Dispatch(__func__, lumvar::AlteraSimboloMoeda, kNoRoutine, symbol);
}

ORVIK_API int ORVIK_CALL Orvik_NomeiaDepartamento(int index, const char* name) {
  return Dispatch(__func__, lumvar::NomeiaDepartamento, kNoRoutine, index, name);
}

ORVIK_API int ORVIK_CALL Orvik_NomeiaTotalizadorNaoSujeitoIcms(int index, const char* name) {
  return Dispatch(__func__, lumvar::NomeiaTotalizadorNaoSujeitoIcms, kNoRoutine, index, name);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaFormaPagamentoMFD(const char* name, const char* linked) {
  return Dispatch(__func__, lumvar::ProgramaFormaPagamentoMFD, kNoRoutine, name, linked);
}

ORVIK_API int ORVIK_CALL Orvik_EspacoEntreLinhas(int spacing) {
  return Dispatch(__func__, lumvar::EspacoEntreLinhas, kNoRoutine, spacing);
}

ORVIK_API int ORVIK_CALL Orvik_HabilitaDesabilitaRetornoEstendidoMFD(int enable) {
  return Dispatch(
      __func__, [](int) { return lumvar::HabilitaDesabilitaRetornoEstendidoMFD(); }, kNoRoutine,
      enable);
}

}  // extern "C"
