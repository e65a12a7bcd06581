#include "orvik/memfiles/sintegra.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "common/files.h"
#include "orvik/core/config.h"
#include "orvik/memfiles/working_folder.h"

namespace orvik::memfiles::sintegra {
namespace {

// The process-wide data of one export call.
struct Session {
  bool active = false;
  int selections = 0;
  HeaderData header;
  std::string cnpj, state_registration;
  bool has_owner = false;
  std::string fallback_first, fallback_last;
};

Session& session() {
  static Session s;
  return s;
}

constexpr size_t kKeyWidth = 12;
constexpr size_t kRecordWidth = 126;

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The number made of text's digits (others ignored), at most its last 18 digits so the
// value always fits in 64 bits.
int64_t DigitsValue(std::string_view text) {
  const std::string digits = DigitsField(text, 18);
  return std::stoll(digits);
}

std::string Blanks(size_t n) {
  return std::string(n, ' ');
}

// The record part of a keyed line (empty when the line is too short to carry one).
std::string_view RecordOf(std::string_view keyed) {
  return keyed.size() > kKeyWidth ? keyed.substr(kKeyWidth) : std::string_view{};
}

bool IsLeapYear(int year) {
  return year % 4 == 0;
}

int LastDay(int year, int month) {
  switch (month) {
    case 2:
      return IsLeapYear(year) ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    default:
      return 31;
  }
}

std::string TwoDigits(int n) {
  return DigitsField(std::to_string(n), 2);
}

// One item of a 60D or 60R group, read back from a 60I record.
struct Item {
  std::string date, fabrication, product;
  int64_t quantity, unit_price, base;
  std::string code;
};

std::optional<Item> ReadItem(std::string_view record) {
  // "60I" date 8, fabrication 20, "2D", COO 6, item 3, product 14, quantity 13,
  // unit price 13, base 12, code 4, ICMS 12.
  if (record.size() < 110 || record.substr(0, 3) != "60I") return std::nullopt;
  Item item;
  item.date = std::string(record.substr(3, 8));
  item.fabrication = std::string(record.substr(11, 20));
  item.product = std::string(record.substr(42, 14));
  item.quantity = DigitsValue(record.substr(56, 13));
  item.unit_price = DigitsValue(record.substr(69, 13));
  item.base = DigitsValue(record.substr(82, 12));
  item.code = std::string(record.substr(94, 4));
  return item;
}

struct Sums {
  int64_t quantity = 0, value = 0, base = 0;
  bool any = false;
};

void Add(Sums& sums, const Item& item) {
  sums.quantity += item.quantity;
  sums.value += item.quantity * item.unit_price / 1000;
  sums.base += item.base;
  sums.any = true;
}

std::string Number(int64_t value, int width) {
  return DigitsField(std::to_string(value), width);
}

std::string Record60D(const Item& first, const Sums& sums, std::string_view code) {
  return "60D" + first.date + TextField(first.fabrication, 20) + TextField(first.product, 14) +
         Number(sums.quantity, 13) + Number(sums.value, 16) + Number(sums.base, 16) +
         std::string(code) + Number(Icms(std::to_string(sums.base), code), 13) + Blanks(19);
}

std::string Record60R(std::string_view yyyymm, std::string_view product, const Sums& sums,
                      std::string_view code) {
  return "60R" + std::string(yyyymm.substr(4, 2)) + std::string(yyyymm.substr(0, 4)) +
         TextField(product, 14) + Number(sums.quantity, 13) + Number(sums.value, 16) +
         Number(sums.base, 16) + std::string(code) + Blanks(54);
}

// Appends many keyed lines of one kind in one write (a month holds thousands).
bool AppendKeyedLines(Kind kind, const std::vector<std::pair<std::string, std::string>>& lines) {
  std::string block;
  block.reserve(lines.size() * (kKeyWidth + kRecordWidth + 2));
  for (const auto& [date, record] : lines) block += Key(kind, date) + record + "\r\n";
  std::ofstream out(SintPath(), std::ios::binary | std::ios::app);
  out << block;
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

void Begin(int selections, const HeaderData& header) {
  session() = Session{};
  session().active = true;
  session().selections = selections;
  session().header = header;
}

void End() {
  session() = Session{};
}

bool Active() {
  return session().active;
}
int Selections() {
  return session().selections;
}
const HeaderData& Header() {
  return session().header;
}

std::string ConfiguredState() {
  return core::Config().read("ECF", "UF");
}

std::string SintPath() {
  return PastaRFDTemp() + "SINT.TXT";
}
std::string SintegraPath() {
  return PastaRFDTemp() + "SINTEGRA.TXT";
}

void DeleteWorkingFiles() {
  DeleteFileIfPresent(SintPath());
  DeleteFileIfPresent(SintegraPath());
}

std::string Key(Kind kind, std::string_view yyyymmdd) {
  const char* group = "02";
  const char* order = "02";
  switch (kind) {
    case Kind::k60M:
      break;
    case Kind::k60A:
      order = "03";
      break;
    case Kind::k60D:
      order = "05";
      break;
    case Kind::k60I:
      order = "06";
      break;
    case Kind::k60R:
      group = "03";
      order = "04";
      break;
    case Kind::k75:
      group = "04";
      order = "07";
      break;
  }
  return group + TextField(yyyymmdd, 8) + order;
}

bool AppendKeyedLine(Kind kind, std::string_view yyyymmdd, std::string_view record) {
  std::error_code ec;
  std::filesystem::create_directories(PastaRFDTemp(), ec);
  return AppendLine(SintPath(), Key(kind, yyyymmdd) + std::string(record));
}

void SetOwner(std::string_view cnpj, std::string_view state_registration) {
  session().cnpj = std::string(cnpj);
  session().state_registration = std::string(state_registration);
  session().has_owner = true;
}

bool HasOwner() {
  return session().has_owner;
}

void SetFallbackPeriod(std::string_view first, std::string_view last) {
  session().fallback_first = std::string(first);
  session().fallback_last = std::string(last);
}

int64_t Icms(std::string_view base, std::string_view code) {
  if (code.size() != 4 || !AllDigits(code)) return 0;
  // At most 16 digits of base: times a four-digit rate it stays below 2^63.
  const int64_t amount = std::stoll(DigitsField(base, 16));
  return amount * std::stoll(std::string(code)) / 10000;
}

std::string ItemTaxCode(std::string_view totalizer) {
  if (totalizer == "FS1" || totalizer == "IS1" || totalizer == "NS1") return "ISS ";
  if (totalizer == "F1" || totalizer == "I1" || totalizer == "N1")
    return std::string(1, totalizer[0]) + "   ";
  if (totalizer.size() >= 3 && totalizer[2] == 'S') return "ISS ";
  return DigitsField(totalizer.size() > 3 ? totalizer.substr(3, 4) : std::string_view{}, 4);
}

Code60A TotalizerCode60A(std::string_view totalizer) {
  if (totalizer == "OPNF" || totalizer == "AT" || totalizer == "AS") return {Summary::kSkip, {}};
  if (totalizer == "FS1" || totalizer == "IS1" || totalizer == "NS1")
    return {Summary::kIss, "ISS "};
  if (totalizer == "F1" || totalizer == "I1" || totalizer == "N1")
    return {Summary::kOwnLine, std::string(1, totalizer[0]) + "   "};
  if (totalizer == "Can-T" || totalizer == "Can-S") return {Summary::kCanc, "CANC"};
  if (totalizer == "DT" || totalizer == "DS") return {Summary::kDesc, "DESC"};
  if (totalizer.size() >= 3 && totalizer[2] == 'S') return {Summary::kIss, "ISS "};
  // Characters 4-7 as they stand: the digits-field form is the item's (60I, 75) code, and
  // would turn "F000" into "0000", a line that must not be written.
  return {Summary::kOwnLine,
          std::string(totalizer.size() > 3 ? totalizer.substr(3, 4) : std::string_view{})};
}

std::string Record60M(std::string_view date, std::string_view fabrication,
                      std::string_view sequence, std::string_view first_coo, std::string_view coo_z,
                      std::string_view crz, std::string_view cro, std::string_view gross_sales,
                      std::string_view grand_total) {
  return "60M" + DigitsField(date, 8) + TextField(fabrication, 20) + DigitsField(sequence, 3) +
         "2D" + DigitsField(first_coo, 6) + DigitsField(coo_z, 6) + DigitsField(crz, 6) +
         DigitsField(cro, 3) + DigitsField(gross_sales, 16) + DigitsField(grand_total, 16) +
         Blanks(37);
}

std::string Record60A(std::string_view date, std::string_view fabrication, std::string_view code,
                      std::string_view value) {
  return "60A" + DigitsField(date, 8) + TextField(fabrication, 20) + TextField(code, 4) +
         DigitsField(value, 12) + Blanks(79);
}

std::string Record60I(std::string_view date, std::string_view fabrication, std::string_view coo,
                      std::string_view item, std::string_view product, std::string_view quantity,
                      std::string_view unit_price, std::string_view base, std::string_view code,
                      std::string_view icms) {
  return "60I" + DigitsField(date, 8) + TextField(fabrication, 20) + "2D" + DigitsField(coo, 6) +
         DigitsField(item, 3) + TextField(product, 14) + DigitsField(quantity, 13) +
         DigitsField(unit_price, 13) + DigitsField(base, 12) + TextField(code, 4) +
         DigitsField(icms, 12) + Blanks(16);
}

std::string Record75(std::string_view date, std::string_view product, std::string_view description,
                     std::string_view unit, std::string_view code) {
  const std::string day = DigitsField(date, 8);
  return "75" + day + day + TextField(product, 14) + Blanks(8) + TextField(description, 53) +
         TextField(unit, 6) + "00000" + DigitsField(code, 4) + "00000" + std::string(13, '0');
}

bool DeriveSummaries() {
  const int selections = session().selections;
  const bool with_60d = selections & kWith60D, with_60r = selections & kWith60R;
  if (!with_60d && !with_60r) return true;
  const auto text = common::read_file(SintPath());
  if (!text) return false;

  std::vector<Item> items;
  for (const auto& line : common::split_lines(*text)) {
    if (auto item = ReadItem(RecordOf(line))) items.push_back(std::move(*item));
  }

  std::vector<std::pair<std::string, std::string>> out;  // (date for the key, record)
  if (with_60d) {
    // One group per day, ECF and product; the ECF is part of the group so that the items
    // of two printers in one file never merge into one printer's line.
    std::map<std::string, std::vector<const Item*>> groups;
    for (const auto& item : items)
      groups[item.date + item.product + item.fabrication + ",60D"].push_back(&item);
    for (const auto& [key, group] : groups) {
      Sums sums;
      const Item* first = nullptr;
      for (const Item* item : group) {
        if (item->code == "CANC") continue;
        if (!first) first = item;
        Add(sums, *item);
      }
      if (!first || sums.quantity == 0 || sums.base == 0) continue;
      out.emplace_back(first->date, Record60D(*first, sums, first->code));
    }
    if (!AppendKeyedLines(Kind::k60D, out)) return false;
    out.clear();
  }
  if (with_60r) {
    std::map<std::string, std::vector<const Item*>> groups;
    for (const auto& item : items)
      groups[item.date.substr(0, 6) + "00" + item.product + ",60R"].push_back(&item);
    for (const auto& [key, group] : groups) {
      Sums sold, cancelled;
      std::string code, last_date;
      for (const Item* item : group) {
        last_date = std::max(last_date, item->date);
        if (item->code == "CANC") {
          Add(cancelled, *item);
        } else {
          if (code.empty()) code = item->code;
          Add(sold, *item);
        }
      }
      const std::string yyyymm = key.substr(0, 6), product = key.substr(8, 14);
      if (sold.any) out.emplace_back(last_date, Record60R(yyyymm, product, sold, code));
      if (cancelled.any) out.emplace_back(last_date, Record60R(yyyymm, product, cancelled, "CANC"));
    }
    if (!AppendKeyedLines(Kind::k60R, out)) return false;
  }
  return true;
}

std::optional<std::string> Assemble() {
  const Session& s = session();
  const auto text = common::read_file(SintPath());
  if (!text) return "Erro na leitura de " + SintPath();
  std::vector<std::string> keyed = common::split_lines(*text);
  std::sort(keyed.begin(), keyed.end());

  // The period: the months of the 60M lines, else the fallback dates.
  std::string low, high;
  for (const auto& line : keyed) {
    const std::string_view record = RecordOf(line);
    if (record.size() < 11 || record.substr(0, 3) != "60M") continue;
    const std::string month(record.substr(3, 6));
    if (!AllDigits(month)) continue;
    if (low.empty() || month < low) low = month;
    if (high.empty() || month > high) high = month;
  }
  std::string first = "00000000", last = "00000000";
  if (!low.empty()) {
    first = low + "01";
    last = high + TwoDigits(LastDay(std::stoi(high.substr(0, 4)), std::stoi(high.substr(4, 2))));
  } else if (!s.fallback_first.empty()) {
    first = DigitsField(s.fallback_first, 8);
    last = DigitsField(s.fallback_last, 8);
  }

  std::vector<std::string> lines;
  const HeaderData& h = s.header;
  if (s.has_owner) {
    lines.push_back("10" + DigitsField(s.cnpj, 14) + TextField(s.state_registration, 14) +
                    TextField(h.company, 35) + TextField(h.city, 30) + TextField(h.state, 2) +
                    DigitsField(h.fax, 10) + first + last + "331");
    lines.push_back("11" + TextField(h.street, 34) + DigitsField(h.number, 5) +
                    TextField(h.complement, 22) + TextField(h.district, 15) +
                    DigitsField(h.postal_code, 8) + TextField(h.contact, 28) +
                    DigitsField(h.telephone, 12));
  }

  const bool with_60i = s.selections & kWith60I;
  long count60 = 0, count75 = 0, total = 3;
  std::string previous;
  for (const auto& line : keyed) {
    const std::string record(RecordOf(line));
    if (record.empty()) continue;
    if (!with_60i && record.starts_with("60I")) continue;
    if (record == previous) continue;
    if (record.starts_with("75") && previous.starts_with("75") &&
        record.substr(2, 30) == previous.substr(2, 30))
      continue;
    if (record.starts_with("60")) ++count60;
    if (record.starts_with("75")) ++count75;
    ++total;
    lines.push_back(record);
    previous = record;
  }
  std::string trailer = "90" + DigitsField(s.cnpj, 14) + TextField(s.state_registration, 14) +
                        "60" + Number(count60, 8) + "75" + Number(count75, 8) + "99" +
                        Number(total, 8);
  trailer = TextField(trailer, kRecordWidth - 1) + "1";
  lines.push_back(trailer);

  // From the first 60R record on, the lines are put in plain string order.
  const auto from = std::find_if(lines.begin(), lines.end(),
                                 [](const std::string& l) { return l.starts_with("60R"); });
  std::sort(from, lines.end());

  // Through a scratch name, so a failed write never leaves a half file as the result.
  const std::string scratch = SintegraPath() + ".tmp";
  std::error_code ec;
  if (!common::write_lines(scratch, lines) ||
      (std::filesystem::rename(scratch, SintegraPath(), ec), ec)) {
    DeleteFileIfPresent(scratch);
    DeleteFileIfPresent(SintegraPath());
    return "Erro na gravacao de " + SintegraPath();
  }
  return std::nullopt;
}

}  // namespace orvik::memfiles::sintegra
