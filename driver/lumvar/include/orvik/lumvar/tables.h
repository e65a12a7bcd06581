#pragma once
// Family-0 table queries: fixed layouts of the printer's tables in the return value.
// Slots that are not programmed (the table's own printer error) keep a table going as
// blank or zero entries with the status cleared; any other error ends it.
namespace orvik::lumvar {

// The 16 rate slots through the rate-kind filter: 0 every slot as 4 digits; 1 service-tax
// rates, 2 their slot indexes; 3 ICMS rates, 4 their slot indexes.
int ReadRates(int filter);
// Day totals per rate and totalizer, 31 entries (the MFD layout: 62).
int PartialTotalizers();
int PartialTotalizersMfd();
// Names of the non-fiscal totalizers 0..count-1, 19 characters each.
int NonFiscalNames(int count);
// Counters CON[0..8], 4 digits each.
int NonFiscalCounters();
// Non-fiscal receipts: 10 entries and fillers (50 entries; the MFD layout 30).
int NonFiscalReceipts();
int NonFiscalReceiptsMfd();
// The 20 departments: value, quantity and name.
int Departments();
// The 20 gerencial reports with their counters, and 10 fillers.
int GerencialReports();
// Payment forms: cash and codes 0-14, values width digits wide, entries in all.
int PaymentForms(int width, int entries);

}  // namespace orvik::lumvar
