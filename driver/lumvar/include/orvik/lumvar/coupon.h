#pragma once
// The fiscal coupon of the Lumvar printers: opening (with the consumer's identification),
// items by tax code or department, item and subtotal adjustments, cancellations, payments
// and their reversal, and the close with its free text. Same arguments as the exports, in
// their order; each answers 1 on success and otherwise the result of the command that
// failed, with the last return code and message of the engine.
//
// Two files of the current folder pass between calls: ID.TXT (the consumer to identify
// at the next close) and AUMENTA.TXT (the long description of the next item).
#include <string>

namespace orvik::lumvar {

// Opening and the consumer.
int AbreCupom(const std::string& id);
int AbreCupomMFD(const std::string& id, const std::string& name, const std::string& address);
int IdentificaConsumidor(const std::string& id, const std::string& name,
                         const std::string& address);

// Items.
int VendeItem(const std::string& code, const std::string& description, const std::string& aliquot,
              const std::string& quantity_type, const std::string& quantity, int decimals,
              const std::string& unit_price, const std::string& discount_type,
              const std::string& discount);
int VendeItemDepartamento(const std::string& code, const std::string& description,
                          const std::string& aliquot, const std::string& unit_price,
                          const std::string& quantity, const std::string& surcharge,
                          const std::string& discount, const std::string& department,
                          const std::string& unit);
int AumentaDescricaoItem(const std::string& description);
int AtivaDesativaVendaUmaLinhaMFD(int one_line);
int AcrescimoDescontoItemMFD(const std::string& item, const std::string& flag,
                             const std::string& type, const std::string& value);
int CancelaAcrescimoDescontoItemMFD(const std::string& flag, const std::string& item);
int CancelaItemAnterior();
int CancelaItemGenerico(const std::string& item);

// Subtotal.
int IniciaFechamentoCupom(const std::string& flag, const std::string& type,
                          const std::string& value);
int IniciaFechamentoCupomMFD(const std::string& flag, const std::string& type,
                             const std::string& surcharge, const std::string& discount);
int AcrescimoDescontoSubtotalMFD(const std::string& flag, const std::string& type,
                                 const std::string& value);
int CancelaAcrescimoDescontoSubtotalMFD(const std::string& flag);

// Payments.
int EfetuaFormaPagamento(const std::string& form, const std::string& value);
int EfetuaFormaPagamentoDescricaoForma(const std::string& form, const std::string& value,
                                       const std::string& description);
int EfetuaFormaPagamentoMFD(const std::string& form, const std::string& value,
                            const std::string& installments, const std::string& description);
int EstornoFormasPagamento(const std::string& origin, const std::string& destination,
                           const std::string& value);

// Closing and cancelling.
int FechaCupom(const std::string& form, const std::string& flag, const std::string& type,
               const std::string& adjustment, const std::string& paid, const std::string& message);
int TerminaFechamentoCupom(const std::string& message);
int FechaCupomResumido(const std::string& form, const std::string& message);
int CancelaCupom();
int CupomAdicionalMFD();

// Shared with the other documents (non-fiscal receipts, reports, vouchers).

// Notes the day's ICMS total at the start of a coupon when ICMS-on-coupon is on and it
// is not noted yet; 1, or the failed read's result.
int NoteIcmsTotal();

// One payment: by code (cash, "DINHEIRO" or digits) or by programmed name; the additional
// text, when given, is cut to 80 characters.
int Pay(const std::string& form, const std::string& value, const std::string* additional_text);

// The close with a free text: the coupon's ICMS (RJ block), the application id, the
// consumer of ID.TXT, then EncerraDocumento and the feed after it.
int CloseWithMessage(const std::string& message);

// EncerraDocumento with the operator and, when it succeeds, the feed after it.
int CloseDocument();

}  // namespace orvik::lumvar
