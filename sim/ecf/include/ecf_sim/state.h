#pragma once
// Everything the printer keeps: identity, programmed tables, counters, day totals, the
// fiscal memory (one record per Z) and the detail-tape memory (every document printed).
// Money is kept in cents, quantities in thousandths, rates in hundredths of a percent.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ecf_sim {

using Money = int64_t;

// Totalizer keys of a sale: 0-15 the programmable rate slots, then the fixed ones.
enum Totalizer : int { kF = 16, kI = 17, kN = 18, kFS = 19, kIS = 20, kNS = 21, kTotalizers = 22 };

// How the printer names a fixed totalizer ("F1", "I1", ...); empty for a rate slot, whose
// name depends on the rate programmed there.
constexpr std::string_view fixed_totalizer_name(int t) {
  switch (t) {
    case kF:
      return "F1";
    case kI:
      return "I1";
    case kN:
      return "N1";
    case kFS:
      return "FS1";
    case kIS:
      return "IS1";
    case kNS:
      return "NS1";
    default:
      return {};
  }
}
constexpr int kRateSlots = 16;
constexpr int kPaymentSlots = 16;  // slot 0 is cash (code -2), slot c+1 is code c (0-14)
constexpr int kNonFiscalSlots = 15;
constexpr int kGerencialSlots = 20;
constexpr int kDepartmentSlots = 20;

struct Date {
  int year = 0, month = 0, day = 0;
  bool empty() const { return year == 0; }
  int key() const { return year * 10000 + month * 100 + day; }
  bool operator==(const Date&) const = default;
};

struct DateTime {
  Date date;
  int hour = 0, minute = 0, second = 0;
};

struct Rate {
  bool programmed = false;
  bool icms = true;
  int percent = 0;  // hundredths: 1800 is 18,00%
};

struct PaymentForm {
  bool programmed = false;
  std::string name;
  bool linked = false;  // a credit/debit voucher may follow a payment in this form
};

struct NamedSlot {
  bool programmed = false;
  std::string name;
};

// The day's registers, cleared by the Z reduction.
struct DayTotals {
  std::array<Money, kTotalizers> totalizer{};
  Money cancel_icms = 0, cancel_iss = 0;
  Money discount_icms = 0, discount_iss = 0;
  Money surcharge_icms = 0, surcharge_iss = 0;
  Money gross = 0;  // venda bruta: net sales + cancellations + discounts
  std::array<Money, kNonFiscalSlots> nonfiscal{};
  Money nonfiscal_cancel = 0, nonfiscal_discount = 0, nonfiscal_surcharge = 0;
  std::array<Money, kPaymentSlots> payment{};
  Money change = 0;
  std::array<Money, kDepartmentSlots> department_value{};
  std::array<int64_t, kDepartmentSlots> department_quantity{};  // thousandths

  Money net() const;  // sum of every sale totalizer
  Money icms_tax(const std::array<Rate, kRateSlots>& rates) const;
};

struct Item {
  int number = 0;
  std::string code, description, unit;
  int64_t quantity = 0;  // thousandths
  int64_t price = 0;     // thousandths of the currency
  int price_decimals = 2;
  int totalizer = 0;
  int department = -1;
  Money gross = 0;       // quantity x price as charged
  Money adjustment = 0;  // negative discount, positive surcharge
  bool cancelled = false;
  char rounding = 'T';  // 'A' rounded, 'T' truncated
  Money net() const { return gross + adjustment; }
};

struct Payment {
  int form_slot = 0;
  std::string name;
  Money value = 0;
  std::string text;
  Money reversed = 0;
};

// Kinds of document, also the values of TipoDocEmEmissao and TipoUltimoDocEmitido.
enum DocKind : int {
  kNoDocument = 0,
  kXReading = 1,
  kZReduction = 2,
  kFiscalCoupon = 3,
  kNonFiscalReceipt = 4,
  kCreditDebit = 5,
  kCouponCancellation = 6,
  kFiscalMemoryReading = 7,
  kPaymentReversal = 8,
  kCreditDebitReversal = 9,
  kGerencial = 15,
};

// One document of the detail tape: what was printed and the records behind it.
struct Document {
  int kind = kNoDocument;
  int coo = 0, ccf = 0, gnf = 0, grg = 0, cdc = 0, crz = 0;
  DateTime issued;
  bool cancelled = false;
  int reference_coo = 0;  // the coupon a cancellation, voucher or reversal refers to
  std::vector<Item> items;
  std::vector<Payment> payments;
  Money subtotal = 0, discount = 0, surcharge = 0, total = 0, change = 0;
  std::array<Money, kTotalizers> by_totalizer{};  // net per totalizer after proration
  std::string customer_id, customer_name, customer_address;
  std::string printed;  // the bytes as printed (printer code page, escape sequences)
};

// One fiscal-memory record, written by each Z.
struct Reduction {
  int crz = 0, coo = 0, first_coo = 0, cro = 0, ccf = 0, gnf = 0, grg = 0, cfd = 0, cdc = 0;
  int cfc = 0, nfc = 0;
  Date movement;
  DateTime issued;
  Money gt = 0, gt_initial = 0;
  std::array<Rate, kRateSlots> rates{};
  DayTotals totals;
  std::string last_data;  // the 616-character DadosUltimaReducaoZ text
};

// One detail-tape reading (the fiscal memory lists them).
struct TapeReading {
  int cfd = 0;
  Date date;
  int first_coo = 0, last_coo = 0;
};

// A restart of operation (each one counts a CRO) after a technical intervention.
struct Restart {
  int cro = 0;
  DateTime when;
  bool memory_lost = false;  // printed with '#' on the fiscal-memory reading
};

struct Owner {
  std::string name = "SUPERMERCADO BOA VISTA LTDA";
  std::string address1 = "RUA DAS PALMEIRAS, 120 - CENTRO";
  std::string address2 = "CAMPINAS - SP - CEP 13010-000";
  std::string cnpj = "12.345.678/0001-95";
  std::string ie = "244.123.456.119";
  std::string im = "1234567";
  int user_number = 1;
  DateTime registered{{2026, 1, 5}, 9, 30, 0};
};

struct Identity {
  std::string serial = "OR050800000000012345";
  std::string mfd_serial = "MF050800000000012345";
  std::string firmware = "01.00.08";
  DateTime firmware_installed{{2026, 1, 5}, 9, 0, 0};
  std::string brand = "ORVIK";
  std::string model = "ORVIK KAP";
  std::string type = "ECF-IF";
  int ecf_number = 1;
  int store = 1;
  std::string currency_symbol = "R$";
  std::string currency_singular = "Real", currency_plural = "Reais";
  DateTime currency_since{{2026, 1, 5}, 9, 30, 0};
  std::string gt_coding = "ABCDEFGHIJ";  // one letter per digit 0-9
};

struct State {
  Identity identity;
  Owner owner;

  std::array<Rate, kRateSlots> rates{};
  std::array<PaymentForm, kPaymentSlots> payment_forms{};
  std::array<NamedSlot, kNonFiscalSlots> nonfiscal{};
  std::array<NamedSlot, kGerencialSlots> gerencial{};
  std::array<NamedSlot, kDepartmentSlots> departments{};

  int coo = 0, gnf = 0, ccf = 0, cfc = 0, crz = 0, cro = 1, cfd = 0, cdc = 0, grg = 0, nfc = 0;
  int ncn = 0;  // non-fiscal vouchers not issued
  std::array<int, kNonFiscalSlots> con{};
  std::array<int, kGerencialSlots> cer{};
  Money gt = 0, gt_initial = 0;
  int coo_day_start = 1;

  DayTotals day;
  Date movement;     // the day's movement date; empty until its first document
  Date closed_date;  // the calendar day closed by a Z issued on that same day

  int truncate = 1;  // Arredondamento register: 1 truncation, 0 rounding
  int line_spacing = 0;
  int item_one_line = 0;
  bool daylight_saving = false;
  bool technical_intervention = false;
  bool paper_out = false, paper_near_end = false, cheque_present = false;
  int64_t clock_offset_seconds = 0;  // printer clock minus computer clock
  // Time the printer has run, and run with a fiscal coupon open (milliseconds), counted
  // from its own running clock; the minutes registers read these.
  int64_t running_ms = 0, fiscal_ms = 0;
  int64_t minutes_on = 0, minutes_printing = 0;  // kept in step with the two above
  std::vector<Restart> restarts;  // CRO 1 is the registration; one entry per later CRO

  // The document being issued (kind kNoDocument when none) and its phase.
  Document open;
  int phase = 0;
  std::string closing_text;  // free text given after payment, printed at the close
  std::string open_header;   // printed head of the open document (up to its counter line)
  std::string open_body;     // printed lines after its title
  std::string open_operator;
  Money open_paid = 0;

  int last_document_kind = kNoDocument;
  std::vector<Reduction> reductions;
  std::vector<Document> tape;  // the detail-tape memory, in COO order
  std::vector<TapeReading> tape_readings;
  int64_t tape_capacity = 64LL * 1024 * 1024;  // bytes of detail-tape memory

  // Factory state of a new printer: cash programmed, supply and withdrawal totalizers,
  // one general management report.
  static State factory();
};

}  // namespace ecf_sim
