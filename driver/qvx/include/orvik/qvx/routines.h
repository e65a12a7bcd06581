#pragma once
// The QVX routines of the exports (model families 1, the 610, and 2, the 820). Each
// builds its command texts, runs them through ExecuteQvx and leaves query answers in the
// return values for the export's writer. Text arguments are Windows-1252.
#include <string>

namespace orvik::qvx {

// ---- Fields ----

// A text field: bytes below 0x20 become blanks, then blank-filled or cut to n.
std::string TextField(const std::string& text, int n);
// The tax field of an item: FF, II, NN as F00, I00, N00; 16 as T00; 0-99 as T + 2 digits.
// False (nothing built) for any other text.
bool TaxField(const std::string& aliquot, std::string& out);

// ---- Readings and reports ----
int LeituraX();
int ReducaoZ(const std::string& date, const std::string& time);
int LeituraMemoriaFiscalData(const std::string& first, const std::string& last,
                             const std::string& kind);
int LeituraMemoriaFiscalReducao(const std::string& first, const std::string& last,
                                const std::string& kind);
int AbreRelatorioGerencial();
int AbreRelatorioGerencialMFD(const std::string& index);
// One line of a gerencial report or a linked voucher (command 26).
int ImprimeLinha(const std::string& text);
// Closes a gerencial report or a linked voucher (command 21).
int FechaDocumento();
int AbreComprovanteNaoFiscalVinculado(const std::string& form, const std::string& value,
                                      const std::string& coo);

// ---- Coupon ----
int AbreCupom(const std::string& id);
int AbreCupomMFD(const std::string& id, const std::string& name, const std::string& address);
int VendeItem(const std::string& code, const std::string& description, const std::string& aliquot,
              const std::string& unit, const std::string& quantity, int decimals,
              const std::string& unit_price, const std::string& discount_type,
              const std::string& discount);
int CancelaItemGenerico(const std::string& item);
int CancelaCupom();
int IniciaFechamentoCupom(const std::string& flag, const std::string& type,
                          const std::string& value);
int EfetuaFormaPagamento(const std::string& form, const std::string& value);
int FechaCupom(const std::string& form, const std::string& flag, const std::string& type,
               const std::string& adjustment, const std::string& paid, const std::string& message);
int TerminaFechamentoCupom(const std::string& message);

// ---- Cash, authentication, drawer ----
int Suprimento(const std::string& value, const std::string& form);
int Sangria(const std::string& value);
int Autenticacao();
int AcionaGaveta();

// ---- Queries (answers in the return values) ----
int RetornoAliquotas();
int VerificaModoOperacao();
int FlagsFiscais(int* flags);
int VerificaEstadoGaveta(int* state);
int VerificaSensorPoucoPapel();
int DataHoraImpressora();
int DataMovimento();
int VerificaFormasPagamento();
// A register into the return value; on failure the answers are emptied.
int RegisterQuery(int reg);
// Register 83 into the first answer; the second is emptied.
int DataHoraReducao();
// Gross sales minus cancellations minus discounts, in cents; "000" when a read fails.
int VendaLiquida();

}  // namespace orvik::qvx
