#pragma once
// Family-0 status and flag queries. Integer outputs may be null (nothing is written
// there); a query whose read fails leaves its outputs as they were, except the fiscal
// flags, the extended status and the drawer state, which start at 0.
namespace orvik::lumvar {

// ACK, ST1 and ST2 with the coupon-open and paper bits of ST1 refreshed.
int PrinterStatus(int* ack, int* st1, int* st2);
// The same three numbers as decimal texts, copied into the buffers.
int PrinterStatusText(char* ack, char* st1, char* st2);
// 1 coupon open, 2 closing, 4 daylight saving, 8 day closed, 32 last was a coupon.
int FiscalFlags(int* flags);
// The fiscal flags as three digits in the return value.
int FiscalFlagsText();
// The Indicadores register as a number.
int Indicators(int* value);
// 1 when a Z is pending.
int ZPending(int* pending);
// 8 closing a coupon, 4 gerencial, 2 voucher, 1 non-fiscal sale, 0 otherwise.
int ExtendedStatus(int* status);
// "1" in normal operation, "0" under technical intervention.
int OperationMode();
// "1" when the printer truncates, "0" when it rounds.
int Truncation();
// The drawer sensor, inverted when [Sistema] ModoGaveta is "1".
int DrawerState(int* state);
int DrawerStateText();
// 1 when the printer answers the drawer-sensor read, -6 otherwise.
int PrinterOn();
// The near-end paper sensor's first character, "0" when it cannot be read.
int LowPaperSensor();
// 1 (fiscal printer with drawer and authentication) when the type register reads.
int PrinterType(int* type);
int PrinterTypeText();

}  // namespace orvik::lumvar
