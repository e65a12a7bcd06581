#pragma once
// Reports rendered from the registers of the printer's last Z: the type-60 analytic and
// master reports, the type-60 records and the summary map into RETORNO.TXT (Path
// directory), the last reduction's data as comma-separated fields in the return value,
// and the printed configuration report. Each answers 1 or the result of the read that
// failed; a RETORNO.TXT that cannot be written answers 0 with last return code -8.
#include <cstdint>
#include <string>
#include <string_view>

namespace orvik::lumvar {

int RelatorioTipo60Analitico();
int RelatorioTipo60Mestre();
int RegistrosTipo60();
int MapaResumo();
int DadosUltimaReducao();
int DadosUltimaReducaoMFD();
int GrandeTotalUltimaReducaoMFD();
int ImprimeConfiguracoesImpressora();

// The text forms of these reports.
namespace report_forms {

// The digits of a value without leading zeros, at least 3 of them, "," before the last
// two: "12345" gives "123,45", "" gives "0,00".
std::string MoneyText(std::string_view value);
std::string MoneyText(int64_t cents);

// A label and a value on one 48-character line (Windows-1252 bytes), the value at the
// right; when both take 48 or more, the label and as much of the value as fits.
std::string LabelLine(std::string_view label, std::string_view value);

// The value's digits as a number (64 bits); 0 when empty, not a number or too long.
int64_t IntegerOf(std::string_view value);

}  // namespace report_forms

}  // namespace orvik::lumvar
