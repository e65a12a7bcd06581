#pragma once
// The reader of Ato 17 text lines for the Sintegra report: records E01, E02 and E12 to E15
// cut into their fields by the record layout's widths. A pure function over one line, so
// the fuzz target calls it as it is.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::memfiles {

struct Ato17Line {
  int record = 0;                   // 1, 2, 12, 13, 14 or 15
  std::vector<std::string> fields;  // field 0 is the record name ("E15")
};

// The fields of one line (a final CR, as left by a CR LF file read by lines, is dropped).
// Nothing for a line that does not begin with "E", whose record is not one of those read,
// or that is shorter than its record; characters past the record are ignored. The state
// registration of E02 loses its leading zeros; names, addresses and totalizer codes are
// trimmed.
std::optional<Ato17Line> ParseAto17Line(std::string_view line);

// Field indexes used by the report.
namespace ato17 {
namespace e01 {
inline constexpr int kFabrication = 1, kSequence = 9, kFirstDate = 14, kLastDate = 15;
}
namespace e02 {
inline constexpr int kFabrication = 1, kCnpj = 4, kStateRegistration = 5, kGrandTotal = 11;
}
namespace e12 {
inline constexpr int kFabrication = 1, kCrz = 5, kCoo = 6, kCro = 7, kMovementDate = 8,
                     kGrossSales = 11;
}
namespace e13 {
inline constexpr int kFabrication = 1, kCrz = 5, kTotalizer = 6, kValue = 7;
}
namespace e14 {
inline constexpr int kFabrication = 1, kCcf = 5, kCoo = 6, kDate = 7, kCancelled = 14;
}
namespace e15 {
inline constexpr int kFabrication = 1, kCoo = 5, kItem = 7, kCode = 8, kDescription = 9,
                     kQuantity = 10, kUnit = 11, kUnitPrice = 12, kNetTotal = 15, kTotalizer = 16,
                     kCancelled = 17, kQuantityDecimals = 22, kPriceDecimals = 23;
}
}  // namespace ato17

}  // namespace orvik::memfiles
