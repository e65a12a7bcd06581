// Status, identity, counters, totals and tables. Every export reads the printer through
// its family's routine and hands the answer to the writer of its width.
//
// Family 0 runs the routines of orvik::lumvar (and the capture-based software date of
// orvik::memfiles); families 1 and 2 run the routines of orvik::qvx.
#include "dispatch.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/queries.h"
#include "orvik/lumvar/status.h"
#include "orvik/lumvar/tables.h"
#include "orvik/memfiles/download.h"
#include "orvik/orvik.h"
#include "orvik/qvx/routines.h"

using namespace orvik::exports;
namespace core = orvik::core;
namespace lumvar = orvik::lumvar;
namespace memfiles = orvik::memfiles;
namespace qvx = orvik::qvx;

namespace {

// The net-sales writer: the digits are first fitted to the length of the text the caller
// left in the buffer (the caller's wanted width), then written as 14 digits.
void WriteNetSales(char* buffer) {
  const int wanted = buffer ? static_cast<int>(std::char_traits<char>::length(buffer)) : 0;
  auto& value = core::State().return_value;
  value = wanted > 0 ? core::LastDigits(value, wanted) : std::string();
  core::WriteDigits(buffer, 14);
}

// A first/last pair that only family 0 reads: other families answer 0 without a message,
// and the writers then leave zeros rather than an earlier query's answer.
template <class Lumvar>
int LumvarPair(std::string_view name, Lumvar&& lumvar) {
  if (!IsLumvar()) {
    core::State().return_value.clear();
    core::State().second_return_value.clear();
    return 0;
  }
  return Dispatch(name, lumvar, kNoRoutine);
}

// The command-missing path in place of the not-implemented one, then the writer.
template <class Writer>
int CommandMissingQuery(std::string_view name, Writer&& writer) {
  const int result = Guarded(name, [&] { return QueryCommandMissing(MissingLabel(name)); });
  return Write(name, writer, result);
}

}  // namespace

extern "C" {

// ---- Status and flags ----

ORVIK_API int ORVIK_CALL Orvik_VerificaEstadoImpressora(int* ack, int* st1, int* st2) {
  return Dispatch(__func__, lumvar::PrinterStatus, kNoRoutine, ack, st1, st2);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaEstadoImpressoraStr(char* ack, char* st1, char* st2) {
  // The routine writes the three numbers itself (no return file).
  return Dispatch(__func__, lumvar::PrinterStatusText, kNoRoutine, ack, st1, st2);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaEstadoImpressoraMFD(int* ack, int* st1, int* st2,
                                                           int* unused) {
  (void)unused;  // accepted for compatibility; nothing is written to it
  return Dispatch(__func__, lumvar::PrinterStatus, kNoRoutine, ack, st1, st2);
}

ORVIK_API int ORVIK_CALL Orvik_FlagsFiscais(int* flags) {
  return Dispatch(__func__, lumvar::FiscalFlags, qvx::FlagsFiscais, flags);
}

ORVIK_API int ORVIK_CALL Orvik_FlagsFiscaisStr(char* flags) {
  return Query(__func__, AsIs(flags), lumvar::FiscalFlagsText, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_LeIndicadores(int* indicators) {
  return Dispatch(__func__, lumvar::Indicators, kNoRoutine, indicators);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaZPendente(int* pending) {
  return Dispatch(__func__, lumvar::ZPending, kNoRoutine, pending);
}

ORVIK_API int ORVIK_CALL Orvik_StatusEstendidoMFD(int* status) {
  // Sent to the printer whatever the model family.
  return AnyFamily(__func__, lumvar::ExtendedStatus, status);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaImpressoraLigada(void) {
  return Dispatch(__func__, lumvar::PrinterOn, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaModoOperacao(char* mode) {
  return Query(__func__, AsIs(mode), lumvar::OperationMode, qvx::VerificaModoOperacao);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaTipoImpressora(int* type) {
  return Dispatch(__func__, lumvar::PrinterType, kNoRoutine, type);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaTipoImpressoraStr(char* type) {
  return Query(__func__, AsIs(type), lumvar::PrinterTypeText, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaEstadoGaveta(int* state) {
  return Dispatch(__func__, lumvar::DrawerState, qvx::VerificaEstadoGaveta, state);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaEstadoGavetaStr(char* state) {
  return Query(__func__, AsIs(state), lumvar::DrawerStateText, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaSensorPoucoPapelMFD(char* sensor) {
  return Query(__func__, AsIs(sensor), lumvar::LowPaperSensor, qvx::VerificaSensorPoucoPapel);
}

// ---- Identity ----

ORVIK_API int ORVIK_CALL Orvik_ModeloImpressora(char* model) {
  return Query(
      __func__, AsIs(model), [] { return lumvar::ReadRegister(102); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_MarcaModeloTipoImpressoraMFD(char* brand, char* model, char* type) {
  // The routine copies the type into its buffer itself; brand and model go through the
  // writers.
  return Query(__func__, Both(AsIs(brand), SecondAsIs(model)), lumvar::BrandModelType, kNoRoutine,
               type);
}

ORVIK_API int ORVIK_CALL Orvik_LeCodigoNacionalIdentificacaoECF(char* code) {
  // Read whatever the model family; the writer runs on success and on failure.
  const int result = AnyFamily(__func__, lumvar::NationalIdentificationCode);
  return Write(__func__, AsIs(code), result);
}

ORVIK_API int ORVIK_CALL Orvik_NumeroSerie(char* serial) {
  return Query(
      __func__, AsIs(serial), [] { return lumvar::ReadRegister(0); },
      [] { return qvx::RegisterQuery(49); });
}

ORVIK_API int ORVIK_CALL Orvik_NumeroSerieCriptografado(char* encrypted) {
  // Family 0 only, and the answer is written only when the serial number was read.
  const int result = Dispatch(__func__, lumvar::EncryptedSerialNumber, kNoRoutine);
  return result == 1 ? Write(__func__, AsIs(encrypted), result) : result;
}

ORVIK_API int ORVIK_CALL Orvik_NumeroSerieDescriptografado(const char* encrypted, char* serial) {
  return Query(__func__, AsIs(serial), lumvar::DecryptedSerialNumber, kNoRoutine, encrypted);
}

ORVIK_API int ORVIK_CALL Orvik_NumeroSerieMemoriaMFD(char* serial) {
  return Query(
      __func__, AsIs(serial), [] { return lumvar::ReadRegister(109); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VersaoFirmware(char* version) {
  return Query(
      __func__, AsIs(version), [] { return lumvar::ReadRegister(1); },
      [] { return qvx::RegisterQuery(47); });
}

ORVIK_API int ORVIK_CALL Orvik_NumeroLoja(char* store) {
  return Query(
      __func__, DigitsOf(store, 4), [] { return lumvar::ReadRegister(15); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_NumeroCaixa(char* till) {
  return Query(
      __func__, DigitsOf(till, 4), [] { return lumvar::ReadRegister(14); },
      [] { return qvx::RegisterQuery(48); });
}

ORVIK_API int ORVIK_CALL Orvik_CNPJ_IE(char* cnpj, char* ie) {
  return Query(__func__, Both(TextOf(cnpj, 18), SecondText(ie, 15)), lumvar::CnpjIe, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_CGC_IE(char* cgc, char* ie) {
  // The same routine as Orvik_CNPJ_IE.
  return Query(__func__, Both(TextOf(cgc, 18), SecondText(ie, 15)), lumvar::CnpjIe, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_CNPJMFD(char* cnpj) {
  return Query(
      __func__, AsIs(cnpj), [] { return lumvar::ReadRegister(106); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_InscricaoEstadualMFD(char* ie) {
  return Query(
      __func__, AsIs(ie), [] { return lumvar::ReadRegister(107); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_InscricaoMunicipalMFD(char* im) {
  return Query(
      __func__, AsIs(im), [] { return lumvar::ReadRegister(108); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ClicheProprietario(char* cliche) {
  return Query(
      __func__, AsIs(cliche), [] { return lumvar::ReadInto("LeTexto", R"(NomeTexto="Cliche")"); },
      kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_SimboloMoeda(char* symbol) {
  return Query(
      __func__, AsIs(symbol), [] { return lumvar::ReadRegister(115); }, kNoRoutine);
}

// ---- Dates and times ----

ORVIK_API int ORVIK_CALL Orvik_DataHoraImpressora(char* date, char* time) {
  return Query(__func__, Both(AsIs(date), SecondAsIs(time)), lumvar::PrinterDateTime,
               qvx::DataHoraImpressora);
}

ORVIK_API int ORVIK_CALL Orvik_DataHoraSoftwareBasico(char* date, char* time) {
  // The answers are written only when the reading succeeded.
  const int result = Dispatch(__func__, memfiles::SoftwareBasicDateTime, kNoRoutine);
  return result == 1 ? Write(__func__, Both(AsIs(date), SecondAsIs(time)), result) : result;
}

ORVIK_API int ORVIK_CALL Orvik_DataHoraReducao(char* date, char* time) {
  return Query(__func__, Both(AsIs(date), SecondAsIs(time)), lumvar::ReductionDateTime,
               qvx::DataHoraReducao);
}

ORVIK_API int ORVIK_CALL Orvik_DataMovimento(char* date) {
  return Query(__func__, AsIs(date), lumvar::MovementDate, qvx::DataMovimento);
}

ORVIK_API int ORVIK_CALL Orvik_DataMovimentoUltimaReducaoMFD(char* date) {
  return Query(__func__, AsIs(date), lumvar::LastReductionMovementDate, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_DataHoraUltimoDocumentoMFD(char* date_time) {
  return Query(__func__, AsIs(date_time), lumvar::LastDocumentDateTime, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_LeParametrosPAF(char* cnpj, char* date, char* time, char* serial,
                                               char* till, char* grand_total) {
  // The PAF parameters are the answers of five queries, each with its own routing and
  // writers; the first one that fails ends the list.
  int result = Orvik_CNPJ_IE(cnpj, serial);
  if (result == 1) result = Orvik_NumeroSerie(serial);
  if (result == 1) result = Orvik_DataHoraImpressora(date, time);
  if (result == 1) result = Orvik_NumeroCaixa(till);
  if (result == 1) result = Orvik_GrandeTotal(grand_total);
  return result;
}

// ---- Counters ----

ORVIK_API int ORVIK_CALL Orvik_NumeroCupom(char* coo) {
  return Query(
      __func__, DigitsOf(coo, 6), [] { return lumvar::ReadRegister(6); },
      [] { return qvx::RegisterQuery(41); });
}

ORVIK_API int ORVIK_CALL Orvik_NumeroCuponsCancelados(char* count) {
  return Query(
      __func__, AsIs(count), [] { return lumvar::ReadRegister(8); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_NumeroOperacoesNaoFiscais(char* count) {
  return Query(
      __func__, AsIs(count), [] { return lumvar::ReadRegister(7); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_NumeroIntervencoes(char* count) {
  return Query(
      __func__, DigitsOf(count, 4), [] { return lumvar::ReadRegister(10); },
      [] { return qvx::RegisterQuery(43); });
}

ORVIK_API int ORVIK_CALL Orvik_NumeroReducoes(char* count) {
  return Query(
      __func__, DigitsOf(count, 4), [] { return lumvar::ReadRegister(9); },
      [] { return qvx::RegisterQuery(42); });
}

ORVIK_API int ORVIK_CALL Orvik_NumeroSubstituicoesProprietario(char* count) {
  return Query(
      __func__, DigitsOf(count, 4), [] { return lumvar::ReadRegister(105); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ContadorCupomFiscalMFD(char* count) {
  return Query(
      __func__, AsIs(count), [] { return lumvar::ReadRegister(55); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ContadorComprovantesCreditoMFD(char* count) {
  return Query(
      __func__, AsIs(count), [] { return lumvar::ReadRegister(52); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ContadorOperacoesNaoFiscaisCanceladasMFD(char* count) {
  return Query(
      __func__, DigitsOf(count, 4), [] { return lumvar::ReadRegister(53); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ContadorFitaDetalheMFD(char* count) {
  return Query(
      __func__, AsIs(count), [] { return lumvar::ReadRegister(56); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ContadorRelatoriosGerenciaisMFD(char* count) {
  return Query(
      __func__, AsIs(count), [] { return lumvar::ReadRegister(54); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ComprovantesNaoFiscaisNaoEmitidosMFD(char* count) {
  return Query(
      __func__, AsIs(count), [] { return lumvar::ReadRegister(104); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ReducoesRestantesMFD(char* count) {
  return Query(
      __func__, AsIs(count), [] { return lumvar::ReadRegister(110); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_MinutosImprimindo(char* minutes) {
  return Query(
      __func__, AsIs(minutes), [] { return lumvar::ReadRegister(19); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_MinutosLigada(char* minutes) {
  return Query(
      __func__, AsIs(minutes), [] { return lumvar::ReadRegister(18); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_MinutosEmitindoDocumentosFiscaisMFD(char* minutes) {
  return Query(
      __func__, AsIs(minutes), [] { return lumvar::ReadRegister(19); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_TempoOperacionalMFD(char* minutes) {
  return Query(
      __func__, AsIs(minutes), [] { return lumvar::ReadRegister(18); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_PercentualLivreMFD(char* percent) {
  return Query(__func__, AsIs(percent), lumvar::FreeSharePercent, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_TamanhoTotalMFD(char* size) {
  return Query(__func__, AsIs(size), lumvar::NominalMemorySize, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_TotalLivreMFD(char* free_bytes) {
  return Query(
      __func__, AsIs(free_bytes), [] { return lumvar::ReadRegister(111); }, kNoRoutine);
}

// ---- Totals ----

ORVIK_API int ORVIK_CALL Orvik_SubTotal(char* subtotal) {
  return Query(
      __func__, DigitsOf(subtotal, 14), [] { return lumvar::ReadRegister(100); },
      [] { return qvx::RegisterQuery(96); });
}

ORVIK_API int ORVIK_CALL Orvik_GrandeTotal(char* grand_total) {
  return Query(
      __func__, DigitsOf(grand_total, 18), [] { return lumvar::ReadRegister(3); },
      [] { return qvx::RegisterQuery(39); });
}

ORVIK_API int ORVIK_CALL Orvik_VendaBruta(char* gross) {
  return Query(
      __func__, DigitsOf(gross, 14),
      [] { return lumvar::ReadInto("LeMoeda", R"(NomeDadoMonetario="TotalDiaVendaBruta")"); },
      [] { return qvx::RegisterQuery(40); });
}

ORVIK_API int ORVIK_CALL Orvik_VendaLiquida(char* net) {
  return Query(
      __func__, [net] { WriteNetSales(net); },
      [] { return lumvar::ReadInto("LeMoeda", R"(NomeDadoMonetario="TotalDiaVendaLiquida")"); },
      qvx::VendaLiquida);
}

ORVIK_API int ORVIK_CALL Orvik_Descontos(char* discounts) {
  return Query(
      __func__, DigitsOf(discounts, 14), [] { return lumvar::ReadRegister(5); },
      [] { return qvx::RegisterQuery(36); });
}

ORVIK_API int ORVIK_CALL Orvik_Acrescimos(char* surcharges) {
  return Query(
      __func__, AsIs(surcharges),
      [] { return lumvar::ReadInto("LeMoeda", R"(NomeDadoMonetario="TotalDiaAcrescimos")"); },
      [] { return qvx::RegisterQuery(37); });
}

ORVIK_API int ORVIK_CALL Orvik_Cancelamentos(char* cancellations) {
  return Query(
      __func__, DigitsOf(cancellations, 14), [] { return lumvar::ReadRegister(4); },
      [] { return qvx::RegisterQuery(38); });
}

ORVIK_API int ORVIK_CALL Orvik_TotalDocTroco(char* change) {
  // The QVX printers lack the command.
  return Query(
      __func__, AsIs(change),
      [] { return lumvar::ReadInto("LeMoeda", R"(NomeDadoMonetario="TotalDocTroco")"); },
      [] { return QueryCommandMissing("ORVIK820_TotalDocTroco"); });
}

ORVIK_API int ORVIK_CALL Orvik_TotalDiaTroco(char* change) {
  return Query(
      __func__, AsIs(change),
      [] { return lumvar::ReadInto("LeMoeda", R"(NomeDadoMonetario="TotalDiaTroco")"); },
      [] { return QueryCommandMissing("ORVIK820_TotalDiaTroco"); });
}

ORVIK_API int ORVIK_CALL Orvik_TotalIcmsCupom(char* icms) {
  return Query(__func__, DigitsOf(icms, 14), lumvar::IcmsOnCouponTotal, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ValorPagoUltimoCupom(char* paid) {
  return Query(
      __func__, AsIs(paid),
      [] { return lumvar::ReadInto("LeMoeda", R"(NomeDadoMonetario="TotalDocValorPago")"); },
      kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ValorFormaPagamento(const char* form, char* value) {
  return Query(__func__, AsIs(value), lumvar::PaymentFormValue, kNoRoutine, form);
}

ORVIK_API int ORVIK_CALL Orvik_ValorFormaPagamentoMFD(const char* form, char* value) {
  return Query(__func__, AsIs(value), lumvar::PaymentFormValue, kNoRoutine, form);
}

ORVIK_API int ORVIK_CALL Orvik_ValorTotalizadorNaoFiscal(const char* totalizer, char* value) {
  return Query(__func__, AsIs(value), lumvar::NonFiscalValue, kNoRoutine, totalizer);
}

ORVIK_API int ORVIK_CALL Orvik_ValorTotalizadorNaoFiscalMFD(const char* totalizer, char* value) {
  return Query(__func__, AsIs(value), lumvar::NonFiscalValue, kNoRoutine, totalizer);
}

ORVIK_API int ORVIK_CALL Orvik_UltimoItemVendido(char* item) {
  return Query(
      __func__, AsIs(item), [] { return lumvar::ReadRegister(12); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_InicioFimGTsMFD(char* initial, char* current) {
  const int result = LumvarPair(__func__, lumvar::GrandTotalsOfDay);
  return Write(__func__, Both(DigitsOf(initial, 18), SecondDigits(current, 18)), result);
}

ORVIK_API int ORVIK_CALL Orvik_InicioFimCOOsMFD(char* initial, char* current) {
  const int result = LumvarPair(__func__, lumvar::CoosOfDay);
  return Write(__func__, Both(SecondDigits(current, 6), DigitsOf(initial, 6)), result);
}

// ---- Tables ----

ORVIK_API int ORVIK_CALL Orvik_RetornoAliquotas(char* rates) {
  return Query(
      __func__, AsIs(rates), [] { return lumvar::ReadRates(0); }, qvx::RetornoAliquotas);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaAliquotasIss(char* rates) {
  return Query(
      __func__, AsIs(rates), [] { return lumvar::ReadRates(1); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaAliquotasICMS(char* rates) {
  return Query(
      __func__, AsIs(rates), [] { return lumvar::ReadRates(3); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaIndiceAliquotasIss(char* indexes) {
  return Query(
      __func__, AsIs(indexes), [] { return lumvar::ReadRates(2); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaIndiceAliquotasICMS(char* indexes) {
  return Query(
      __func__, AsIs(indexes), [] { return lumvar::ReadRates(4); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaTotalizadoresParciais(char* totals) {
  return Query(__func__, AsIs(totals), lumvar::PartialTotalizers, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaTotalizadoresParciaisMFD(char* totals) {
  return Query(__func__, AsIs(totals), lumvar::PartialTotalizersMfd, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaTotalizadoresNaoFiscais(char* names) {
  return Query(
      __func__, AsIs(names), [] { return lumvar::NonFiscalNames(9); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaTotalizadoresNaoFiscaisMFD(char* names) {
  return Query(
      __func__, AsIs(names), [] { return lumvar::NonFiscalNames(15); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ContadoresTotalizadoresNaoFiscais(char* counters) {
  return Query(__func__, AsIs(counters), lumvar::NonFiscalCounters, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_ContadoresTotalizadoresNaoFiscaisMFD(char* counters) {
  // The same routine as Orvik_ContadoresTotalizadoresNaoFiscais.
  return Query(__func__, AsIs(counters), lumvar::NonFiscalCounters, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaRecebimentoNaoFiscal(char* receipts) {
  return Query(__func__, AsIs(receipts), lumvar::NonFiscalReceipts, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaRecebimentoNaoFiscalMFD(char* receipts) {
  return Query(__func__, AsIs(receipts), lumvar::NonFiscalReceiptsMfd, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaFormasPagamento(char* forms) {
  // The non-fiscal printers answer "command missing" here, not "not implemented".
  if (IsVuno()) return CommandMissingQuery(__func__, AsIs(forms));
  return Query(
      __func__, AsIs(forms), [] { return lumvar::PaymentForms(20, 52); },
      qvx::VerificaFormasPagamento);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaFormasPagamentoMFD(char* forms) {
  // Only the Lumvar printers have this layout; every other family answers "command
  // missing".
  if (!IsLumvar()) return CommandMissingQuery(__func__, AsIs(forms));
  return Query(
      __func__, AsIs(forms), [] { return lumvar::PaymentForms(14, 20); }, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaDepartamentos(char* departments) {
  return Query(__func__, AsIs(departments), lumvar::Departments, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaRelatorioGerencialMFD(char* reports) {
  return Query(__func__, AsIs(reports), lumvar::GerencialReports, kNoRoutine);
}

ORVIK_API int ORVIK_CALL Orvik_LeNomeRelatorioGerencial(const char* index, char* name) {
  return Query(__func__, AsIs(name), lumvar::GerencialName, kNoRoutine, index);
}

ORVIK_API int ORVIK_CALL Orvik_VerificaTruncamento(char* truncation) {
  return Query(__func__, AsIs(truncation), lumvar::Truncation, kNoRoutine);
}

}  // extern "C"
