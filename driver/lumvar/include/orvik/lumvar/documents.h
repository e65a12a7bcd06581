#pragma once
// Everything a till does besides selling, on the Lumvar printers: readings and the day's
// opening and closing, gerencial reports, linked vouchers, non-fiscal receipts,
// withdrawal and supply, cheques and authentication, drawer and cutter, and programming.
// Same arguments as the exports, in their order; each answers 1 on success and otherwise
// the result of the command that failed, with the engine's last return code and message.
#include <functional>
#include <string>

namespace orvik::lumvar {

// ---- Readings and day operations ----

// A printout sent to the line is collected into a file by the print capture, which lives
// above this library; the serial readings are given it by their caller.
using CaptureToFile = std::function<int(const std::string& target)>;

int LeituraX();
int LeituraXSerial(const CaptureToFile& capture);
int ReducaoZ(const std::string& date, const std::string& time);
int LeituraMemoriaFiscalData(const std::string& first, const std::string& last,
                             const std::string& kind);
int LeituraMemoriaFiscalReducao(const std::string& first, const std::string& last,
                                const std::string& kind);
int LeituraMemoriaFiscalSerialData(const std::string& first, const std::string& last,
                                   const std::string& kind, const CaptureToFile& capture);
int LeituraMemoriaFiscalSerialReducao(const std::string& first, const std::string& last,
                                      const std::string& kind, const CaptureToFile& capture);
int AberturaDoDia(const std::string& value, const std::string& form);
int FechamentoDoDia();

// The time sent with the Z: the printer's time moved towards the target by 5 minutes at
// most; automatic corrections (no time given) are skipped when they are too large for the
// month. Empty when no correction is to be sent. Both times are hhmmss digits.
std::string ZClockTarget(const std::string& printer, const std::string& target, bool automatic,
                         int month);

// ---- Gerencial reports ----

// Opens the first programmed report (codes 0, 1, ... while the printer answers 8018).
int AbreRelatorioGerencial();
int AbreRelatorioGerencialMFD(const std::string& index);
// Prints a line of the open report, opening one first when none is open. The export keeps
// the gerencial-open flag around this routine.
int RelatorioGerencial(const std::string& text);
int UsaRelatorioGerencialMFD(const std::string& text);
int FechaRelatorioGerencial();
int ImprimeDepartamentos();
int NomeiaRelatorioGerencialMFD(const std::string& index, const std::string& name);

// ---- Linked credit/debit vouchers ----

int AbreComprovanteNaoFiscalVinculado(const std::string& form, const std::string& value,
                                      const std::string& coo);
int UsaComprovanteNaoFiscalVinculado(const std::string& text);
int FechaComprovanteNaoFiscalVinculado();
int EstornoNaoFiscalVinculadoMFD();
int ReimpressaoNaoFiscalVinculadoMFD();
int SegundaViaNaoFiscalVinculadoMFD();

// ---- Non-fiscal receipts, withdrawal and supply ----

int RecebimentoNaoFiscal(const std::string& totalizer, const std::string& value,
                         const std::string& form);
int Sangria(const std::string& value);
int Suprimento(const std::string& value, const std::string& form);
int AbreRecebimentoNaoFiscalMFD(const std::string& id, const std::string& name,
                                const std::string& address);
int EfetuaRecebimentoNaoFiscalMFD(const std::string& totalizer, const std::string& value);
int AcrescimoItemNaoFiscalMFD(const std::string& item, const std::string& flag,
                              const std::string& type, const std::string& value);
int CancelaAcrescimoNaoFiscalMFD(const std::string& item);
int CancelaItemNaoFiscalMFD(const std::string& item);
int CancelaAcrescimoDescontoSubtotalRecebimentoMFD();
int FechaRecebimentoNaoFiscalMFD(const std::string& message);
// The receipt's subtotal into the return value.
int SubTotalComprovanteNaoFiscalMFD();

// ---- Cheques and authentication (the cheque-capable model only) ----

int ImprimeCheque(const std::string& bank, const std::string& value, const std::string& payee,
                  const std::string& city, const std::string& date, const std::string& message);
int ImprimeChequeMFD(const std::string& bank, const std::string& value, const std::string& payee,
                     const std::string& city, const std::string& date, const std::string& message,
                     const std::string& back_printing);
// The CMC-7 line of the cheque in the sensor into the return value (empty when the read
// fails).
int LeituraCheque();
int VerificaStatusCheque(int* status);
int IncluiCidadeFavorecido(const std::string& city, const std::string& payee);
// Cheque exports the cheque-capable model has no command for.
int ChequeNotAvailable(const std::string& name);
int Autenticacao();
int AutenticacaoMFD(const std::string& lines, const std::string& text);

// ---- Drawer, cutter and paper ----

int AcionaGaveta();
int AcionaGuilhotinaMFD(int kind);
int AvancaCorta(int lines, int kind);

// ---- Programming ----

int ProgramaAliquota(const std::string& rate, int kind);
int ProgramaHorarioVerao();
int ProgramaTruncamento();
int ProgramaArredondamento();
int ProgramaMoedaSingular(const std::string& name);
int ProgramaMoedaPlural(const std::string& name);
int AlteraSimboloMoeda(const std::string& symbol);
int NomeiaDepartamento(int index, const std::string& name);
int NomeiaTotalizadorNaoSujeitoIcms(int index, const std::string& name);
int ProgramaFormaPagamentoMFD(const std::string& name, const std::string& linked);
int EspacoEntreLinhas(int lines);
int HabilitaDesabilitaRetornoEstendidoMFD();

}  // namespace orvik::lumvar
