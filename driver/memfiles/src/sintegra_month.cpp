#include "orvik/memfiles/sintegra_month.h"

#include <filesystem>

#include "common/files.h"
#include "common/text1252.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/memfiles/rfd_conversion.h"
#include "orvik/memfiles/working_folder.h"

namespace orvik::memfiles {
namespace {

namespace s = sintegra;

long long Value(const std::string& text) {
  long long v = 0;
  for (char c : DigitsField(text, 18)) v = v * 10 + (c - '0');
  return v;
}

// A number kept with `given` decimals rewritten with `wanted` decimals (truncating).
long long Rescale(long long v, int given, int wanted) {
  for (; given < wanted; ++given) v *= 10;
  for (; given > wanted; --given) v /= 10;
  return v;
}

int Decimals(const std::string& field, int def) {
  return field.size() == 1 && field[0] >= '0' && field[0] <= '9' ? field[0] - '0' : def;
}

int Fail(int code, const std::string& message) {
  auto& st = core::State();
  st.last_return_code = code;
  st.last_message = message;
  core::Log("---[" + message + "]---");
  return code;
}

}  // namespace

bool AppendSintegraLines(const ConversionState& st, const ReadDocument& d) {
  bool ok = true;
  const std::string& fab = st.fabrication;
  if (d.z) {
    const ZRecord& z = *d.z;
    const std::string& day = z.movement_date;
    const std::string first_coo = st.first_coo.empty() ? z.coo : st.first_coo;
    ok &= s::AppendKeyedLine(s::Kind::k60M, day,
                             s::Record60M(day, fab, st.ecf_number, first_coo, z.coo, z.crz,
                                          LastChars(DigitsField(z.cro, 6), 3), z.gross_sales,
                                          LastChars(DigitsField(st.grand_total, 18), 16)));
    // The same lines the Ato 17 path writes for a day: own lines at once, then the sums.
    long long iss = 0, canc = 0, desc = 0;
    bool has_iss = false, has_canc = false, has_desc = false;
    for (const TotalizerRecord& t : d.totalizers) {
      const std::string value13 = DigitsField(t.value, 13);
      if (Value(value13) == 0) continue;
      const s::Code60A code = s::TotalizerCode60A(t.code);
      const long long value = Value(LastChars(value13, 12));
      switch (code.summary) {
        case s::Summary::kSkip:
          break;
        case s::Summary::kIss:
          iss += value, has_iss = true;
          break;
        case s::Summary::kCanc:
          canc += value, has_canc = true;
          break;
        case s::Summary::kDesc:
          desc += value, has_desc = true;
          break;
        case s::Summary::kOwnLine:
          if (code.code != "F000")
            ok &= s::AppendKeyedLine(s::Kind::k60A, day,
                                     s::Record60A(day, fab, code.code, std::to_string(value)));
          break;
      }
    }
    if (has_iss)
      ok &= s::AppendKeyedLine(s::Kind::k60A, day,
                               s::Record60A(day, fab, "ISS ", std::to_string(iss)));
    if (has_canc)
      ok &= s::AppendKeyedLine(s::Kind::k60A, day,
                               s::Record60A(day, fab, "CANC", std::to_string(canc)));
    if (has_desc)
      ok &= s::AppendKeyedLine(s::Kind::k60A, day,
                               s::Record60A(day, fab, "DESC", std::to_string(desc)));
  }
  if (d.coupon) {
    const std::string& date = d.coupon->date;
    const bool coupon_cancelled = d.coupon->cancelled == "S";
    for (const ItemRecord& i : d.items) {
      const bool cancelled = coupon_cancelled || i.cancelled == "S";
      const std::string code = cancelled ? "CANC" : s::ItemTaxCode(i.totalizer);
      if (code == "0000") continue;
      // Quantities with three decimals and unit prices with two, whatever was printed.
      const long long quantity = Rescale(Value(i.quantity), Decimals(i.quantity_decimals, 3), 3);
      const long long price = Rescale(Value(i.unit_price), Decimals(i.price_decimals, 2), 2);
      const std::string base = DigitsField(i.net_total, 14);
      const std::string description = i.description.empty() ? "ERRO DESCRICAO" : i.description;
      ok &= s::AppendKeyedLine(
          s::Kind::k60I, date,
          s::Record60I(date, fab, i.coo, i.item, i.code, std::to_string(quantity),
                       std::to_string(price), base, code, std::to_string(s::Icms(base, code))));
      ok &= s::AppendKeyedLine(s::Kind::k75, date,
                               s::Record75(date, i.code, description, i.unit, code));
    }
  }
  return ok;
}

int RelatorioSintegraMfd(int selections, const std::string& target, const std::string& month,
                         const std::string& year, const sintegra::HeaderData& header) {
  const int m = core::ParseInteger(common::trim(month), -1);
  const int y = core::ParseInteger(common::trim(year), -1);
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12 || y < 1900 || y > 9999)
    return Fail(-8, "Mes ou ano invalido: " + month + "/" + year);
  const int last_day = m == 2 && y % 4 == 0 ? 29 : kDays[m - 1];
  const std::string mm = DigitsField(std::to_string(m), 2), yyyy = std::to_string(y);
  const std::string first = "01/" + mm + "/" + yyyy;
  const std::string last = DigitsField(std::to_string(last_day), 2) + "/" + mm + "/" + yyyy;

  sintegra::HeaderData h = header;
  h.state = sintegra::ConfiguredState();
  sintegra::Begin(selections, h);
  struct Off {
    ~Off() { sintegra::End(); }
  } off;
  // A result of an earlier call must never pass for this month's.
  sintegra::DeleteWorkingFiles();
  const int r = ConverteMfdData(first, last);
  if (r != 1) return r;
  std::error_code ec;
  std::filesystem::copy_file(sintegra::SintegraPath(), target,
                             std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) return Fail(-8, "Erro ao gravar " + target);
  return 1;
}

int ApagaArquivosSintegra() {
  sintegra::DeleteWorkingFiles();
  return 1;
}

}  // namespace orvik::memfiles
