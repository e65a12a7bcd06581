#pragma once
// The readers of the printouts the RFD conversion downloads: the header of a printout,
// the first pass over a day's detail tape (its Z), the second pass (every document into
// records) and the reader of the fiscal-memory reading. Each is fed one line at a time
// and keeps a few lines and one document, never the whole file; none touches a file or
// the printer, so they can be driven from any byte range.
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The virtual printer prints the layout of its own model (layout kind 1, and kind 0 for
// firmware 01.00.00). These branches read printouts it never produces and are tested only
// over hand-made lines: the model lines of the other models and layout kind 2, the
// one-line items of a short layout, the buyer lines "CPF do adquirente:", "Cliente:" and
// "CGC / CPF:-", the partial cancellation "cancelamento item:", "SOMA" and rate lines as
// ends of the payment list, the Z's "%"-in-column-7 rate rows and "F1="-style label
// rows, and the wider users / restarts / grand-total-coding columns of layout kind 0.
namespace orvik::memfiles {

// What a conversion learns of the ECF, the day and the owner (reset for each Z).
struct ConversionState {
  // ECF head and model identification.
  std::string fabrication;          // trimmed, without the additional-MF letter
  std::string additional_mf = " ";  // "A", "B" or a blank
  std::string brand, model, ecf_type;
  std::string software_version, software_date, software_time;
  std::string ecf_number;  // ECF sequence number
  int layout = 1;          // where documents print their closing date and time (0, 1, 2)
  bool model_known = false;
  // The day.
  std::string movement_date;  // yyyymmdd
  std::string grand_total;
  std::string first_coo;  // first COO of the day, when known
  // Owner (header of a printout and the fiscal-memory reading).
  std::string owner_name, owner_address, owner_cnpj, owner_ie;
  std::string registration_date, registration_time, owner_cro;
  std::string user_number;
  // The rate table, slots 00-15.
  std::array<std::string, 16> slots;
  // Running number of the Z's "%" rate rows starts at 01 (debug mode) instead of by slot 00.
  bool rate_numbers_from_one = false;

  ConversionState() { slots.fill("T0000"); }
  // The two letters in front of the final file's name.
  std::string Prefix() const;
};

// Records of one document, with the values of the record store (digit strings).
struct ZRecord {  // E12
  std::string coo, crz, cro, movement_date, issue_date, issue_time, gross_sales,
      issqn_discount = "N";
};
struct TotalizerRecord {  // E13
  std::string code, value;
};
struct CouponRecord {  // E14
  std::string coo, ccf, date, subtotal = "0", discount = "0", discount_kind = "V", surcharge = "0",
                              surcharge_kind = "V", net_total = "0", cancelled = "N",
                              cancelled_surcharge = "0", order = "A", buyer_name, buyer_id;
};
struct ItemRecord {  // E15
  std::string coo, ccf, item, code, description, quantity, unit, unit_price,
      discount = "0", surcharge = "0", net_total, totalizer, cancelled = "N",
      cancelled_quantity = "0", cancelled_value = "0", cancelled_surcharge = "0", rounding = "T",
      quantity_decimals = "3", price_decimals = "2";
  long long gross = 0;  // the printed item total, before adjustments
};
struct OtherRecord {  // E16
  std::string coo, second_counter, gnf = "0", grg = "0", cdc = "0", crz = "0", denomination, date,
                                   time;
};
struct NamedValue {  // E17, E18
  std::string name, value;
};
struct PaymentRecord {  // E21
  std::string coo, ccf, gnf, method, amount, reversal = "N", reversed = "0";
};

// One document as read, ready for the record store.
struct ReadDocument {
  enum Kind { kNone, kCoupon, kCancelledCoupon, kOther } kind = kNone;
  std::optional<ZRecord> z;
  std::vector<TotalizerRecord> totalizers;
  std::optional<CouponRecord> coupon;
  std::vector<ItemRecord> items;  // at item number - 1
  std::vector<PaymentRecord> payments;
  std::optional<OtherRecord> other;
  std::vector<NamedValue> nonfiscal_totalizers, payment_methods;
};

using LogSink = std::function<void(const std::string&)>;

// The header of a printout: owner name (40) and address (120) from its first non-blank
// lines. Feed lines until it answers false.
class HeaderReader {
 public:
  explicit HeaderReader(ConversionState& state) : s_(state) {}
  bool Line(std::string_view line);

 private:
  ConversionState& s_;
  int seen_ = 0;
  bool done_ = false;
};

// The first pass: the Z of the day (rate table, movement date, grand total, model, FAB).
class FirstPassReader {
 public:
  FirstPassReader(ConversionState& state, bool storage_mode, LogSink log)
      : s_(state), storage_(storage_mode), log_(std::move(log)) {}
  void Line(std::string_view line);
  // Whether a FAB: line was read inside the Z.
  bool fabrication_seen() const { return fab_seen_; }

 private:
  ConversionState& s_;
  bool storage_;
  LogSink log_;
  bool after_coo_ = false;
  bool in_z_ = false;
  bool expect_title_ = false;
  bool fab_seen_ = false;
  std::vector<std::string> last_;
};

// The second pass: documents into records. on_document receives each finished document
// when the next one's kind is known and at Finish(); documents cut short are logged and
// dropped, unknown titles are logged and skipped. issqn_discount answers the Z's
// ISSQN-discount parameter ("S" or "N") when a Z ends.
class DocumentReader {
 public:
  using DocumentSink = std::function<void(ReadDocument&)>;
  DocumentReader(ConversionState& state, DocumentSink on_document, LogSink log,
                 std::function<std::string()> issqn_discount = {});
  void Line(std::string_view line);
  void Finish();
  long documents() const { return documents_; }

 private:
  enum class At {
    kOutside,      // waiting for a document header
    kTitle,        // after the header: counter line or title
    kCouponTitle,  // after "CUPOM FISCAL": a sale or a cancellation
    kCoupon,       // inside a coupon
    kZ,            // inside a Z
    kOther,        // inside another known document
    kSkip,         // a document of no record (unknown title, cancellation)
  };
  void Title(std::string_view line);
  void StartCoupon(bool cancelled);
  void StartOther(const char* denomination, bool z);
  void CouponLine(std::string_view line);
  bool ItemLine(std::string_view line);
  void PendingItemLine(std::string_view line);
  void StoreItem(ItemRecord item);
  ItemRecord* FindItem(std::string_view number, const char* what);
  void ZLine(std::string_view line);
  void AddTotalizer(std::string code, std::string_view value_text);
  void End(std::string_view fab_line);
  void Flush();
  void Log(const std::string& text) {
    if (log_) log_(text);
  }

  ConversionState& s_;
  DocumentSink sink_;
  LogSink log_;
  std::function<std::string()> issqn_;
  At at_ = At::kOutside;
  std::vector<std::string> last_;  // the last five lines
  // The document header.
  std::string date_, time_, second_counter_, coo_, counter_ = "0";
  std::string denomination_;
  ReadDocument current_;
  std::optional<ReadDocument> held_;
  long documents_ = 0;
  // Coupon reading.
  int item_counter_ = 1;
  bool in_payments_ = false;
  bool buyer_line_before_ = false;
  std::optional<ItemRecord> pending_item_;  // an item of several lines being read
  int adjustment_line_ = 0;                 // lines of "cancelamento item:" still to read
  std::string adjusted_item_;
  // Z reading.
  enum class ZList {
    kNone,
    kNonFiscalHeading,
    kNonFiscal,
    kPaymentHeading,
    kPayment
  } zlist_ = ZList::kNone;
  int running_rate_ = -1;
};

// The fiscal-memory reading (LEITMF.TXT): the records E02 and E05-E10 as RFD lines, in
// the order they come. The owner fields of the state are filled on the way.
class FiscalMemoryReader {
 public:
  using LineSink = std::function<void(const std::string&)>;
  FiscalMemoryReader(ConversionState& state, LineSink out, LogSink log)
      : s_(state), out_(std::move(out)), log_(std::move(log)) {}
  void Line(std::string_view line);
  // Whether "REDUÇÕES DIÁRIAS" was reached (E02 written).
  bool owner_written() const { return owner_written_; }

 private:
  enum class Section { kNone, kUsers, kGtCoding, kSoftware, kRestarts, kDetailTapes };
  std::string Head() const;
  ConversionState& s_;
  LineSink out_;
  LogSink log_;
  Section section_ = Section::kNone;
  bool owner_written_ = false;
  bool closed_ = false;
  std::string gt_coding_date_, gt_coding_time_;
  bool gt_coding_next_ = false;
  std::string software_line_;
  std::string tape_date_, tape_counter_, tape_first_, tape_last_;
};

// The tax code of an item as printed ("T01" with slot "T1800" -> "01T1800"; "F1" ...).
// Empty when it names a slot outside 00-15.
std::string ItemTaxCode(std::string_view printed, const ConversionState& state);

}  // namespace orvik::memfiles
