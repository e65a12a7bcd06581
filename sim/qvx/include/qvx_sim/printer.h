#pragma once
// The virtual QVX fiscal printer (models 610 and 820): executes one command text (the
// bytes between ESC "$" and ETX) against its state and answers with a status character,
// an error number and, for reads, data. Printed lines go to the tape.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"

namespace qvx_sim {

enum class Model { k610, k820 };

// Document the printer has open (also the two state characters of every reply).
enum class Doc {
  kFree = 0,
  kCoupon = 1,
  kPaying = 2,
  kNonFiscal = 3,
  kGerencial = 4,
  kVoucher = 5,
  kAuthentication = 6
};

struct Item {
  int64_t quantity = 0;  // thousandths
  int64_t price = 0;     // as sent (cents, or thousandths with kind H)
  int64_t value = 0;     // cents, after the item's discount
  int64_t discount = 0;  // cents
  bool cancelled = false;
  std::string tax;  // "T00", "F00", ...
  std::string description;
};

struct State {
  Model model = Model::k820;
  Doc doc = Doc::kFree;
  std::string consumer_id;

  // Counters.
  int coo = 0, crz = 0, cro = 1;
  // Totals in cents.
  int64_t grand_total = 0, gross = 0, cancellations = 0, discounts = 0, surcharges = 0;
  // The open coupon.
  std::vector<Item> items;
  int64_t adjustment = 0;  // cents: + surcharge, - discount
  int64_t paid = 0;
  std::array<int64_t, 16> paid_by_form{};
  // The last coupon, while it may still be cancelled.
  bool last_was_coupon = false;
  bool last_coupon_cancellable = false;
  int64_t last_coupon_total = 0;
  // Non-fiscal registers 00-15 (00 supply, 01 withdrawal).
  std::array<int64_t, 16> nonfiscal{};

  // Tables.
  std::array<std::string, 16> rates;          // 4 digits each, "0000" not programmed
  uint16_t service_bits = 0;                  // top bit = rate 0 is a service-tax rate
  std::array<std::string, 16> payment_names;  // 16 characters, blanks when not programmed

  // Sensors and modes.
  bool paper_out = false, paper_low = false, drawer_open = false, intervention = false;
  bool daylight_saving = false;
  std::string movement_day;   // ddmmyy of the open movement day ("" before its first document)
  std::string day_closed_on;  // ddmmyy of the day whose Z was issued
  std::string last_z = "000000000000";  // ddmmyyhhmmss of the last Z

  // Identity.
  std::string serial, firmware = "0107", till = "0001";

  int64_t clock_offset_s = 0;  // printer clock minus computer clock
};

struct Reply {
  char status = '+';  // '+' done, 'S' data, '-' error
  int error = 0;      // error number (0 when done)
  std::string data;   // reads only
};

class Printer {
 public:
  explicit Printer(Model model = Model::k820);

  // Runs one command text.
  Reply execute(std::string_view text);

  State& state() { return state_; }
  const State& state() const { return state_; }
  // Every line printed since the start (the paper tape).
  const std::vector<std::string>& tape() const { return tape_; }
  // Lines printed since the last call.
  std::vector<std::string> take_new_lines();

  // The printer's clock.
  common::LocalDateTime now() const;
  void set_clock(const common::LocalDateTime& t);
  void set_intervention(bool on);

  // The 32 status answer: five bytes as hexadecimal.
  std::string status_bytes() const;

  bool changed() const { return changed_; }
  void clear_changed() { changed_ = false; }
  bool save(const std::filesystem::path& file, std::string* error) const;
  bool load(const std::filesystem::path& file, std::string* error);

  // Width of a printed line: 40 (610) or 48 (820).
  int columns() const { return state_.model == Model::k610 ? 40 : 48; }

 private:
  Reply run(std::string_view cmd, std::string_view args);
  Reply open_coupon(std::string_view args);
  Reply sell(std::string_view args);
  Reply cancel_item(std::string_view args);
  Reply cancel_coupon();
  Reply subtotal(std::string_view args);
  Reply pay(std::string_view args);
  Reply close_coupon(std::string_view args);
  Reply reading(std::string_view cmd, std::string_view args);
  Reply reduction();
  Reply register_read(std::string_view args);
  Reply nonfiscal(std::string_view cmd, std::string_view args);

  int64_t coupon_total() const;
  std::string today() const;  // ddmmyy
  void print(const std::string& line);
  void header(const std::string& title);
  void finish_document();

  State state_;
  std::vector<std::string> tape_;
  size_t taken_ = 0;
  bool changed_ = false;
};

// The text of an amount in cents as printed: 1234 -> "12,34".
std::string money(int64_t cents);

}  // namespace qvx_sim
