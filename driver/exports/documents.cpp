// Reports, non-fiscal documents, cheques, drawer and programming.
//
// Families 1 and 2 run the routines of orvik::qvx. Not built yet: every Lumvar routine of
// this group (orvik::lumvar), each marked kNotBuilt where it belongs.
#include "dispatch.h"
#include "orvik/core/config.h"
#include "orvik/orvik.h"
#include "orvik/qvx/routines.h"

using namespace orvik::exports;
namespace core = orvik::core;
namespace qvx = orvik::qvx;

namespace {

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
  return Dispatch(__func__, kNotBuilt, qvx::LeituraX);
}

ORVIK_API int ORVIK_CALL Orvik_LeituraXSerial(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ReducaoZ(const char* date, const char* time) {
  return Dispatch(__func__, kNotBuilt, qvx::ReducaoZ, date, time);
}

ORVIK_API int ORVIK_CALL Orvik_LeituraMemoriaFiscalData(const char* first_date,
                                                        const char* last_date, const char* kind) {
  return Dispatch(__func__, kNotBuilt, qvx::LeituraMemoriaFiscalData, first_date, last_date, kind);
}

ORVIK_API int ORVIK_CALL Orvik_LeituraMemoriaFiscalReducao(const char* first_reduction,
                                                           const char* last_reduction,
                                                           const char* kind) {
  return Dispatch(__func__, kNotBuilt, qvx::LeituraMemoriaFiscalReducao, first_reduction,
                  last_reduction, kind);
}

ORVIK_API int ORVIK_CALL Orvik_LeituraMemoriaFiscalSerialData(const char* first_date,
                                                              const char* last_date,
                                                              const char* kind) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, first_date, last_date, kind);
}

ORVIK_API int ORVIK_CALL Orvik_LeituraMemoriaFiscalSerialReducao(const char* first_reduction,
                                                                 const char* last_reduction,
                                                                 const char* kind) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, first_reduction, last_reduction, kind);
}

ORVIK_API int ORVIK_CALL Orvik_AberturaDoDia(const char* value, const char* form) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, value, form);
}

ORVIK_API int ORVIK_CALL Orvik_FechamentoDoDia(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

// ---- Gerencial reports ----

ORVIK_API int ORVIK_CALL Orvik_AbreRelatorioGerencial(void) {
  return Dispatch(__func__, kNotBuilt, qvx::AbreRelatorioGerencial);
}

ORVIK_API int ORVIK_CALL Orvik_AbreRelatorioGerencialMFD(const char* index) {
  return Dispatch(__func__, kNotBuilt, qvx::AbreRelatorioGerencialMFD, index);
}

ORVIK_API int ORVIK_CALL Orvik_RelatorioGerencial(const char* text) {
  // The open flag is cleared before and set after a printed line whatever the family,
  // so the family routines leave it alone.
  const int cleared = Guarded(__func__, [] {
    SetGerencialOpen(false);
    return 1;
  });
  if (cleared != 1) return 0;
  const int result = Dispatch(__func__, kNotBuilt, qvx::ImprimeLinha, text);
  if (result == 1) {
    Guarded(__func__, [] {
      SetGerencialOpen(true);
      return 1;
    });
  }
  return result;
}

ORVIK_API int ORVIK_CALL Orvik_UsaRelatorioGerencialMFD(const char* text) {
  return Dispatch(__func__, kNotBuilt, qvx::ImprimeLinha, text);
}

ORVIK_API int ORVIK_CALL Orvik_FechaRelatorioGerencial(void) {
  return Dispatch(__func__, kNotBuilt, qvx::FechaDocumento);
}

ORVIK_API int ORVIK_CALL Orvik_NomeiaRelatorioGerencialMFD(const char* index, const char* name) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, index, name);
}

ORVIK_API int ORVIK_CALL Orvik_ImprimeDepartamentos(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

// ---- Linked credit/debit vouchers ----

ORVIK_API int ORVIK_CALL Orvik_AbreComprovanteNaoFiscalVinculado(const char* form,
                                                                 const char* value,
                                                                 const char* coo) {
  return Dispatch(__func__, kNotBuilt, qvx::AbreComprovanteNaoFiscalVinculado, form, value, coo);
}

ORVIK_API int ORVIK_CALL Orvik_AbreComprovanteNaoFiscalVinculadoMFD(const char* form,
                                                                    const char* value,
                                                                    const char* coo, const char* id,
                                                                    const char* name,
                                                                    const char* address) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, form, value, coo, id, name, address);
}

ORVIK_API int ORVIK_CALL Orvik_UsaComprovanteNaoFiscalVinculado(const char* text) {
  return Dispatch(__func__, kNotBuilt, qvx::ImprimeLinha, text);
}

ORVIK_API int ORVIK_CALL Orvik_FechaComprovanteNaoFiscalVinculado(void) {
  return Dispatch(__func__, kNotBuilt, qvx::FechaDocumento);
}

ORVIK_API int ORVIK_CALL Orvik_EstornoNaoFiscalVinculadoMFD(const char* id, const char* name,
                                                            const char* address) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, id, name, address);
}

ORVIK_API int ORVIK_CALL Orvik_ReimpressaoNaoFiscalVinculadoMFD(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_SegundaViaNaoFiscalVinculadoMFD(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

// ---- Non-fiscal receipts, withdrawal and supply ----

ORVIK_API int ORVIK_CALL Orvik_RecebimentoNaoFiscal(const char* totalizer, const char* value,
                                                    const char* form) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, totalizer, value, form);
}

ORVIK_API int ORVIK_CALL Orvik_AbreRecebimentoNaoFiscalMFD(const char* id, const char* name,
                                                           const char* address) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, id, name, address);
}

ORVIK_API int ORVIK_CALL Orvik_EfetuaRecebimentoNaoFiscalMFD(const char* totalizer,
                                                             const char* value) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, totalizer, value);
}

ORVIK_API int ORVIK_CALL Orvik_AcrescimoDescontoSubtotalRecebimentoMFD(const char* flag,
                                                                       const char* type,
                                                                       const char* value) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, flag, type, value);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaAcrescimoDescontoSubtotalRecebimentoMFD(const char* flag) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, flag);
}

ORVIK_API int ORVIK_CALL Orvik_IniciaFechamentoRecebimentoNaoFiscalMFD(const char* flag,
                                                                       const char* type,
                                                                       const char* surcharge,
                                                                       const char* discount) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, flag, type, surcharge, discount);
}

ORVIK_API int ORVIK_CALL Orvik_FechaRecebimentoNaoFiscalMFD(const char* message) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, message);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaRecebimentoNaoFiscalMFD(const char* arg1, const char* arg2,
                                                              const char* arg3) {
  // The arguments are accepted and not used; the Lumvar routine is that of CancelaCupom.
  (void)arg1, (void)arg2, (void)arg3;
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_SubTotalComprovanteNaoFiscalMFD(char* subtotal) {
  return Query(__func__, AsIs(subtotal), kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_AcrescimoItemNaoFiscalMFD(const char* item, const char* flag,
                                                         const char* type, const char* value) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, item, flag, type, value);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaAcrescimoNaoFiscalMFD(const char* item, const char* arg2) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, item, arg2);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaItemNaoFiscalMFD(const char* item) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, item);
}

ORVIK_API int ORVIK_CALL Orvik_Sangria(const char* value) {
  return Dispatch(__func__, kNotBuilt, qvx::Sangria, value);
}

ORVIK_API int ORVIK_CALL Orvik_Suprimento(const char* value, const char* form) {
  return Dispatch(__func__, kNotBuilt, qvx::Suprimento, value, form);
}

// ---- Cheques and authentication ----

ORVIK_API int ORVIK_CALL Orvik_ImprimeCheque(const char* bank, const char* value, const char* payee,
                                             const char* city, const char* date,
                                             const char* message) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, bank, value, payee, city, date, message);
}

ORVIK_API int ORVIK_CALL Orvik_ImprimeChequeMFD(const char* bank, const char* value,
                                                const char* payee, const char* city,
                                                const char* date, const char* message,
                                                const char* back_printing, const char* lines) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, bank, value, payee, city, date, message,
                  back_printing, lines);
}

ORVIK_API int ORVIK_CALL Orvik_LeituraCheque(char* cmc7) {
  return Query(__func__, AsIs(cmc7), kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_CancelaImpressaoCheque(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaStatusCheque(int* status) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, status);
}

ORVIK_API int ORVIK_CALL Orvik_IncluiCidadeFavorecido(const char* city, const char* payee) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, city, payee);
}

ORVIK_API int ORVIK_CALL Orvik_ImprimeCopiaCheque(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_Autenticacao(void) {
  return Dispatch(__func__, kNotBuilt, qvx::Autenticacao);
}

ORVIK_API int ORVIK_CALL Orvik_AutenticacaoMFD(const char* lines, const char* text) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, lines, text);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaCaracterAutenticacao(const char* characters) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, characters);
}

// ---- Drawer, cutter and paper ----

ORVIK_API int ORVIK_CALL Orvik_AcionaGaveta(void) {
  return Dispatch(__func__, kNotBuilt, qvx::AcionaGaveta);
}

ORVIK_API int ORVIK_CALL Orvik_AcionaGuilhotinaMFD(int kind) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, kind);
}

ORVIK_API int ORVIK_CALL Orvik_AvancaCorta(int lines, int kind) {
  // Sent whatever the model family.
  return AnyFamily(__func__, kNotBuilt, lines, kind);
}

ORVIK_API int ORVIK_CALL Orvik_ResetaImpressora(void) {
  // No Lumvar printer takes a reset from the host.
  return Dispatch(
      __func__, [] { return core::CommandMissing("OrvikKAP_ResetaImpressora "); }, kNoRoutine);
}

// ---- Programming ----

ORVIK_API int ORVIK_CALL Orvik_ProgramaAliquota(const char* rate, int kind) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, rate, kind);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaHorarioVerao(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaTruncamento(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaArredondamento(void) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaMoedaSingular(const char* name) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, name);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaMoedaPlural(const char* name) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, name);
}

ORVIK_API int ORVIK_CALL Orvik_AlteraSimboloMoeda(const char* symbol) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, symbol);
}

ORVIK_API int ORVIK_CALL Orvik_NomeiaDepartamento(int index, const char* name) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, index, name);
}

ORVIK_API int ORVIK_CALL Orvik_NomeiaTotalizadorNaoSujeitoIcms(int index, const char* name) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, index, name);
}

ORVIK_API int ORVIK_CALL Orvik_ProgramaFormaPagamentoMFD(const char* name, const char* linked) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, name, linked);
}

ORVIK_API int ORVIK_CALL Orvik_EspacoEntreLinhas(int spacing) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, spacing);
}

ORVIK_API int ORVIK_CALL Orvik_HabilitaDesabilitaRetornoEstendidoMFD(int enable) {
  return Dispatch(__func__, kNotBuilt, kNoRoutine, enable);
}

}  // extern "C"
