#pragma once
// Family-0 register queries: one register or a few, shaped into the return value (and
// the second return value) that the export's writer then hands to the host. Every
// routine answers the engine's result (1, or the result of the read that failed).
#include <string>
#include <string_view>

namespace orvik::lumvar {

// Reads register index of the register table into the return value (emptied on failure).
// An index outside the table answers 0 and sends nothing.
int ReadRegister(int index);

// The command and parameters of a register, or nullptr for an index outside the table.
struct RegisterRead {
  const char* command;
  const char* parameters;
};
const RegisterRead* FindRegister(int index);

// One read into the return value (emptied first).
int ReadInto(std::string_view command, std::string_view parameters);

// CNPJ into the return value, then (when that worked) IE into the second.
int CnpjIe();
// Printer's date (ddmmyy) and time (hhmmss).
int PrinterDateTime();
// Date and time of the last Z.
int ReductionDateTime();
// ddmmyy + hhmmss of the last document.
int LastDocumentDateTime();
// Opening date of the movement day (ddmmyy), "000000" when no day is open.
int MovementDate();
// Movement date of the last Z, from its data block.
int LastReductionMovementDate();
// Initial GT of the day into the return value, current GT into the second.
int GrandTotalsOfDay();
// First COO of the day into the return value, current COO into the second.
int CoosOfDay();
// Brand (15) and model (20) into the two values, type (7) copied into type.
int BrandModelType(char* type);
// The name of a gerencial report by its index text.
int GerencialName(const std::string& index);
// Day total of a payment form (code, cash word or name); 0 without reading when the
// form resolves to no code.
int PaymentFormValue(const std::string& form);
// Day total of a non-fiscal totalizer (code or name).
int NonFiscalValue(const std::string& totalizer);
// The ICMS total printed on the last coupon, as the coupon kept it.
int IcmsOnCouponTotal();
// Free share of the detail-tape memory, "dd,dd%".
int FreeSharePercent();
// Nominal size of the detail-tape memory in bytes.
int NominalMemorySize();
// The serial number transformed; the value is meant for the host only on success.
int EncryptedSerialNumber();
// The input transformed back, without the printer.
int DecryptedSerialNumber(const std::string& input);
// The six-digit national identification code of the model and firmware.
int NationalIdentificationCode();
// The code of a model and firmware version in the national table; empty when unknown.
std::string NationalCodeFor(std::string_view model, std::string_view version);
// The free-share text of a used share in hundredths of a percent ("0123" -> "98,76%").
std::string FreeShareText(std::string_view used);
// The nominal size for free bytes and a free share text.
std::string NominalSizeText(std::string_view free_bytes, std::string_view free_share);

}  // namespace orvik::lumvar
