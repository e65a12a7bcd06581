#include "orvik/memfiles/sintegra_binary.h"

#include <filesystem>
#include <fstream>
#include <map>

#include "common/files.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/lumvar/engine.h"
#include "orvik/memfiles/ato17_reader.h"
#include "orvik/memfiles/working_folder.h"

namespace orvik::memfiles {
namespace {

namespace fs = std::filesystem;
namespace s = sintegra;
using namespace ato17;

bool AllDigits(std::string_view t) {
  if (t.empty()) return false;
  for (char c : t)
    if (c < '0' || c > '9') return false;
  return true;
}

// The value of a numeric field (its digits, at most the last 18).
int64_t Value(std::string_view t) {
  return std::stoll(DigitsField(t, 18));
}

// A number kept with `given` decimals rewritten with `wanted` decimals (truncating).
int64_t Rescale(int64_t v, int given, int wanted) {
  for (; given < wanted; ++given) v *= 10;
  for (; given > wanted; --given) v /= 10;
  return v;
}
int Decimals(std::string_view field, int def) {
  return field.size() == 1 && field[0] >= '0' && field[0] <= '9' ? field[0] - '0' : def;
}

// What the reading keeps between lines.
class Reader {
 public:
  void Line(std::string_view text) {
    const auto line = ParseAto17Line(text);
    if (!line) return;
    const auto& f = line->fields;
    switch (line->record) {
      case 1:
        sequence_ = f[e01::kSequence];
        if (AllDigits(f[e01::kFirstDate]) && (first_.empty() || f[e01::kFirstDate] < first_))
          first_ = f[e01::kFirstDate];
        if (AllDigits(f[e01::kLastDate]) && f[e01::kLastDate] > last_) last_ = f[e01::kLastDate];
        break;
      case 2:
        grand_total_ = f[e02::kGrandTotal];
        s::SetOwner(DigitsField(f[e02::kCnpj], 14), f[e02::kStateRegistration]);
        break;
      case 12:
        Reduction(f);
        break;
      case 13:
        Totalizer(f);
        break;
      case 14:
        coupons_[f[e14::kFabrication] + f[e14::kCoo]] = {f[e14::kDate], f[e14::kCancelled] == "S"};
        break;
      case 15:
        Item(f);
        break;
    }
  }

  // Writes the day's last ISS, CANC and DESC lines; the fallback period for a file
  // without Z reports.
  void Finish() {
    Flush();
    if (!first_.empty()) s::SetFallbackPeriod(first_, last_.empty() ? first_ : last_);
  }

  const std::string& keyed() const { return keyed_; }

 private:
  void Emit(s::Kind kind, std::string_view date, const std::string& record) {
    keyed_ += s::Key(kind, date);
    keyed_ += record;
    keyed_ += "\r\n";
  }

  void Reduction(const std::vector<std::string>& f) {
    const std::string& fab = f[e12::kFabrication];
    const std::string& date = f[e12::kMovementDate];
    const int64_t crz = Value(f[e12::kCrz]);
    dates_[fab + std::to_string(crz)] = date;
    std::string first_coo = "1";
    if (crz >= 2) {
      first_coo = f[e12::kCoo];
      // A printer that does not answer is not asked again for the rest of the file: each
      // question would wait out its time-out.
      if (ask_printer_) {
        const int r = lumvar::ExecuteLumvar(
            "LeInteiro", "NomeInteiro=\"COOReducao[" + std::to_string(crz - 1) + "]\"");
        const std::string value = core::State().read_value;
        if (r == 1 && AllDigits(value))
          first_coo = std::to_string(std::stoll(value) + 1);
        else if (r != 1 && core::State().last_return_code < 0)
          ask_printer_ = false;
      }
    }
    Emit(s::Kind::k60M, date,
         s::Record60M(date, fab, sequence_, first_coo, f[e12::kCoo], f[e12::kCrz],
                      LastChars(DigitsField(f[e12::kCro], 6), 3), f[e12::kGrossSales],
                      LastChars(DigitsField(grand_total_, 18), 16)));
  }

  void Totalizer(const std::vector<std::string>& f) {
    const std::string& fab = f[e13::kFabrication];
    if (auto d = dates_.find(fab + std::to_string(Value(f[e13::kCrz]))); d != dates_.end())
      date_ = d->second;
    if (date_.empty()) return;  // no Z report read yet: no day to put it on
    if (Value(f[e13::kValue]) == 0) return;
    const s::Code60A code = s::TotalizerCode60A(f[e13::kTotalizer]);
    if (code.summary == s::Summary::kSkip) return;
    if (date_ != day_ || fab != day_fab_) {
      Flush();
      day_ = date_;
      day_fab_ = fab;
    }
    const int64_t value = Value(LastChars(f[e13::kValue], 12));
    switch (code.summary) {
      case s::Summary::kIss:
        iss_ += value, has_iss_ = true;
        break;
      case s::Summary::kCanc:
        canc_ += value, has_canc_ = true;
        break;
      case s::Summary::kDesc:
        desc_ += value, has_desc_ = true;
        break;
      default:
        if (code.code != "F000")
          Emit(s::Kind::k60A, day_, s::Record60A(day_, fab, code.code, std::to_string(value)));
        break;
    }
  }

  void Flush() {
    if (has_iss_)
      Emit(s::Kind::k60A, day_, s::Record60A(day_, day_fab_, "ISS ", std::to_string(iss_)));
    if (has_canc_)
      Emit(s::Kind::k60A, day_, s::Record60A(day_, day_fab_, "CANC", std::to_string(canc_)));
    if (has_desc_)
      Emit(s::Kind::k60A, day_, s::Record60A(day_, day_fab_, "DESC", std::to_string(desc_)));
    iss_ = canc_ = desc_ = 0;
    has_iss_ = has_canc_ = has_desc_ = false;
  }

  void Item(const std::vector<std::string>& f) {
    const auto coupon = coupons_.find(f[e15::kFabrication] + f[e15::kCoo]);
    if (coupon == coupons_.end()) return;  // an item without its coupon has no date
    const std::string& date = coupon->second.date;
    const bool cancelled = coupon->second.cancelled || f[e15::kCancelled] == "S";
    const std::string code = cancelled ? "CANC" : s::ItemTaxCode(f[e15::kTotalizer]);
    if (code == "0000") return;
    // Quantities with three decimals and unit prices with two, whatever the file used.
    const int64_t quantity =
        Rescale(Value(f[e15::kQuantity]), Decimals(f[e15::kQuantityDecimals], 3), 3);
    const int64_t price =
        Rescale(Value(f[e15::kUnitPrice]), Decimals(f[e15::kPriceDecimals], 2), 2);
    const std::string& base = f[e15::kNetTotal];
    Emit(s::Kind::k60I, date,
         s::Record60I(date, f[e15::kFabrication], f[e15::kCoo], f[e15::kItem], f[e15::kCode],
                      std::to_string(quantity), std::to_string(price), base, code,
                      std::to_string(s::Icms(base, code))));
    Emit(s::Kind::k75, date,
         s::Record75(date, f[e15::kCode], f[e15::kDescription], f[e15::kUnit], code));
  }

  struct Coupon {
    std::string date;
    bool cancelled = false;
  };
  std::string keyed_;
  std::string sequence_, grand_total_, first_, last_;
  std::map<std::string, std::string> dates_;  // fabrication + CRZ -> movement date
  std::map<std::string, Coupon> coupons_;     // fabrication + COO -> coupon
  std::string date_;                          // date of the last partial totalizer
  std::string day_, day_fab_;                 // day and ECF of the running sums
  int64_t iss_ = 0, canc_ = 0, desc_ = 0;
  bool has_iss_ = false, has_canc_ = false, has_desc_ = false;
  bool ask_printer_ = true;
};

int Fail(int code, const std::string& message) {
  core::State().last_return_code = code;
  core::State().last_message = message;
  return 0;
}

}  // namespace

bool BuildSintFromAto17(const std::string& source) {
  std::error_code ec;
  if (!fs::is_regular_file(source, ec)) return false;
  std::ifstream in(source, std::ios::binary);
  if (!in) return false;
  Reader reader;
  std::string line;
  while (std::getline(in, line)) reader.Line(line);
  if (in.bad()) return false;
  reader.Finish();
  fs::create_directories(PastaRFDTemp(), ec);
  const std::string sint = s::SintPath();
  std::ofstream out(sint, std::ios::binary | std::ios::trunc);
  out << reader.keyed();
  out.close();
  return static_cast<bool>(out);
}

int RelatorioSintegraMFDBinario(int selections, const std::string& source,
                                const std::string& target, const s::HeaderData& header) {
  struct ModeOff {
    ~ModeOff() { s::End(); }
  } mode_off;
  s::HeaderData h = header;
  h.state = s::ConfiguredState();
  s::Begin(selections, h);
  s::DeleteWorkingFiles();
  if (!BuildSintFromAto17(source)) {
    s::DeleteWorkingFiles();
    return Fail(-8, "Erro no Arquivo Origem");
  }
  if (!s::DeriveSummaries()) return Fail(-8, "Erro na gravacao de " + s::SintPath());
  if (auto error = s::Assemble()) return Fail(-8, *error);
  // Copied through a scratch name beside the target, so a failed copy leaves no half file.
  std::error_code ec;
  const std::string scratch = target + ".tmp";
  fs::copy_file(s::SintegraPath(), scratch, fs::copy_options::overwrite_existing, ec);
  if (!ec) fs::rename(scratch, target, ec);
  if (ec) {
    fs::remove(scratch, ec);
    return Fail(-8, "Erro na gravacao de " + target);
  }
  return 1;
}

}  // namespace orvik::memfiles
