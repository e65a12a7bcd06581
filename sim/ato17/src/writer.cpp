#include "ato17/writer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <map>

#include "ato17/ato17.h"
#include "common/files.h"

namespace ato17 {
namespace {

constexpr const char* kLibraryVersion = "01.00.00";
constexpr const char* kLayoutVersion = "AC1704 01.00.00";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit);
}

// Numeric field: the digits only, the last n of them, zero-filled on the left.
std::string N(std::string_view text, size_t n) {
  std::string d;
  for (char c : text)
    if (IsDigit(c)) d += c;
  if (d.size() > n) d = d.substr(d.size() - n);
  return std::string(n - d.size(), '0') + d;
}
// Numeric field of a signed amount: its magnitude.
std::string N(int64_t v, size_t n) {
  return N(std::to_string(v < 0 ? -v : v), n);
}
// Text field: the first n characters, blank-filled on the right.
std::string X(std::string_view text, size_t n) {
  std::string t(text.substr(0, std::min(n, text.size())));
  t.resize(n, ' ');
  return t;
}

int64_t Number(std::string_view s) {
  int64_t v = 0;
  bool negative = !s.empty() && s.front() == '-';
  for (char c : s) {
    if (!IsDigit(c)) continue;
    if (v > (INT64_MAX - 9) / 10) break;
    v = v * 10 + (c - '0');
  }
  return negative ? -v : v;
}

bool IsCalendarDate(int y, int m, int d) {
  if (y < 1900 || y > 2999 || m < 1 || m > 12 || d < 1) return false;
  static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (d > days[m - 1]) return false;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return !(m == 2 && d == 29 && !leap);
}

// The fields of a record, by index, empty past its end.
struct Fields {
  const std::vector<std::string_view>* f;
  std::string_view operator[](size_t i) const {
    return i < f->size() ? (*f)[i] : std::string_view{};
  }
};

struct Reduction {
  Fields z;
  std::vector<Fields> nonfiscal, payments;
};
struct Document {
  Fields d;
  std::vector<Fields> items, payments;
};

// The dump's records, grouped as the writer needs them.
struct Memories {
  const std::vector<std::string_view>* identity = nullptr;
  std::vector<Fields> restarts, tape_readings;
  std::vector<Reduction> reductions;
  std::vector<Document> documents;
};

Memories Group(const leitura::DumpImage& image) {
  Memories m;
  for (const auto& r : image.records) {
    const Fields f{&r.fields};
    switch (r.type) {
      case 'I':
        if (!m.identity) m.identity = &r.fields;
        break;
      case 'R':
        m.restarts.push_back(f);
        break;
      case 'F':
        m.tape_readings.push_back(f);
        break;
      case 'Z':
        m.reductions.push_back({f, {}, {}});
        break;
      case 'N':
        if (!m.reductions.empty()) m.reductions.back().nonfiscal.push_back(f);
        break;
      case 'M':
        if (!m.reductions.empty()) m.reductions.back().payments.push_back(f);
        break;
      case 'D':
        m.documents.push_back({f, {}, {}});
        break;
      case 'T':
        if (!m.documents.empty()) m.documents.back().items.push_back(f);
        break;
      case 'P':
        if (!m.documents.empty()) m.documents.back().payments.push_back(f);
        break;
      default:
        break;  // kinds this writer does not know are left out
    }
  }
  return m;
}

// Denominations of the documents other than fiscal coupons, by document kind.
std::string Denomination(int kind) {
  switch (kind) {
    case 1:
      return "LX";
    case 2:
      return "RZ";
    case 4:
    case 8:
      return "CN";
    case 5:
    case 9:
      return "CC";
    case 7:
      return "MF";
    case 15:
      return "RG";
    default:
      return "  ";
  }
}

}  // namespace

std::optional<std::string> IntervalDate(std::string_view text) {
  std::string ymd;
  if (text.size() == 10 && text[2] == '/' && text[5] == '/') {
    const std::string d{text.substr(0, 2)}, m{text.substr(3, 2)}, y{text.substr(6, 4)};
    if (!AllDigits(d) || !AllDigits(m) || !AllDigits(y)) return std::nullopt;
    ymd = y + m + d;
  } else if (text.size() == 8 && AllDigits(text)) {
    // Read as YYYYMMDD when that is a date, else as ddmmyyyy (no text is both).
    const std::string t(text);
    if (IsCalendarDate(std::stoi(t.substr(0, 4)), std::stoi(t.substr(4, 2)),
                       std::stoi(t.substr(6, 2))))
      ymd = t;
    else
      ymd = t.substr(4, 4) + t.substr(2, 2) + t.substr(0, 2);
  } else {
    return std::nullopt;
  }
  if (!IsCalendarDate(std::stoi(ymd.substr(0, 4)), std::stoi(ymd.substr(4, 2)),
                      std::stoi(ymd.substr(6, 2))))
    return std::nullopt;
  return ymd;
}

Output Generate(const leitura::Tdm& tdm, const leitura::DumpImage& image, const Request& rq) {
  Output out;
  auto fail = [&](int code, std::string text) {
    Output f;
    f.code = code;
    f.text = std::move(text);
    return f;
  };
  const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(rq.kind)));
  if (kind != 'D' && kind != 'M' && kind != 'C')
    return fail(ATO17_ERRO_ARGUMENTOS, "Tipo de intervalo invalido");
  if (rq.content != "TDM" && rq.content != "MF" && rq.content != "MFD")
    return fail(ATO17_ERRO_ARGUMENTOS, "Tipo de conteudo invalido");
  if (!AllDigits(rq.user) || rq.user.size() > 2)
    return fail(ATO17_ERRO_ARGUMENTOS, "Usuario invalido");

  std::string first, last;
  if (kind == 'C') {
    if (!AllDigits(rq.first) || !AllDigits(rq.last) || rq.first.size() > 6 || rq.last.size() > 6)
      return fail(ATO17_ERRO_INTERVALO, "Intervalo de COO invalido");
    first = N(rq.first, 6);
    last = N(rq.last, 6);
  } else {
    const auto a = IntervalDate(rq.first), b = IntervalDate(rq.last);
    if (!a || !b) return fail(ATO17_ERRO_INTERVALO, "Intervalo de datas invalido");
    first = *a;
    last = *b;
  }
  if (first > last) return fail(ATO17_ERRO_INTERVALO, "Inicio do intervalo apos o fim");

  const Memories m = Group(image);
  if (!m.identity) return fail(ATO17_ERRO_TDM_INVALIDO, "Memorias sem identificacao do ECF");
  const Fields id{m.identity};
  if (Number(id[12]) != Number(rq.user))
    return fail(ATO17_ERRO_ARGUMENTOS, "Usuario inexistente nas memorias");
  const bool all = rq.content == "TDM", fiscal = all || rq.content == "MF",
             tape = all || rq.content == "MFD";

  const std::string head = X(id[0], 20) + " " + X(id[3], 20);
  const std::string user = N(id[12], 2);
  const std::string cnpj = N(id[6], 14);
  auto in_range = [&](std::string_view value) {
    return kind == 'C' ? (N(value, 6) >= first && N(value, 6) <= last)
                       : (N(value, 8) >= first && N(value, 8) <= last);
  };

  // Z reports of the interval, and the COO ranges of their days.
  std::vector<const Reduction*> zs;
  for (const auto& r : m.reductions) {
    const bool take = kind == 'M'   ? in_range(r.z[4])
                      : kind == 'D' ? in_range(r.z[5])
                                    : in_range(r.z[1]);
    if (take) zs.push_back(&r);
  }
  auto document_taken = [&](const Document& d) {
    if (kind == 'D') return in_range(d.d[7]);
    if (kind == 'C') return in_range(d.d[1]);
    const int64_t coo = Number(d.d[1]);
    for (const Reduction* z : zs)
      if (coo >= Number(z->z[2]) && coo <= Number(z->z[1])) return true;
    return false;
  };

  std::string first_crz = "000000", last_crz = "000000", first_date = first, last_date = last;
  if (!zs.empty()) {
    first_crz = N(zs.front()->z[0], 6);
    last_crz = N(zs.back()->z[0], 6);
  }
  if (kind == 'C') {
    // The dates of a COO interval are those of its first and last documents.
    first_date = last_date = "";
    for (const auto& d : m.documents) {
      if (!document_taken(d)) continue;
      const std::string date = N(d.d[7], 8);
      if (first_date.empty() || date < first_date) first_date = date;
      if (last_date.empty() || date > last_date) last_date = date;
    }
    first_date = N(first_date, 8);
    last_date = N(last_date, 8);
  }

  auto& lines = out.lines;
  lines.push_back("E01" + X(id[0], 20) + " " + X(id[4], 7) + X(id[2], 20) + X(id[3], 20) +
                  X(id[5], 10) + N(id[23], 8) + N(id[24], 6) + N(id[22], 3) + cnpj +
                  X(rq.content, 3) + first_crz + last_crz + first_date + last_date +
                  X(kLibraryVersion, 8) + X(kLayoutVersion, 15));
  std::string ie;  // the state registration without its punctuation
  for (char c : id[7])
    if (IsDigit(c) || std::isalpha(static_cast<unsigned char>(c))) ie += c;
  lines.push_back("E02" + head + cnpj + X(ie, 14) + X(id[9], 40) +
                  X(std::string(id[10]) + " " + std::string(id[11]), 120) + N(id[25], 8) +
                  N(id[26], 6) + N(id[27], 6) + N(id[21], 18) + user);
  if (fiscal) {
    lines.push_back("E05" + head + cnpj + N(id[32], 8) + N(id[33], 6) + X(id[31], 10));
    lines.push_back("E06" + head + cnpj + N(id[29], 8) + N(id[30], 6) + X(id[28], 4));
    lines.push_back("E07" + head + X(id[5], 10) + N(id[23], 8));
    lines.push_back("E08" + head + cnpj + X(id[1], 20));
    for (const auto& r : m.restarts)
      lines.push_back("E09" + head + N(r[0], 6) + N(r[1], 8) + N(r[2], 6) + X(r[3], 1));
    for (const auto& t : m.tape_readings) {
      const bool take = kind == 'C' ? !(N(t[3], 6) < first || N(t[2], 6) > last) : in_range(t[1]);
      if (take)
        lines.push_back("E10" + head + N(t[0], 6) + N(t[1], 8) + N(t[2], 6) + N(t[3], 6) + cnpj);
    }
    lines.push_back("E11" + head + N(id[14], 6) + N(id[13], 6) + N(id[15], 6) + N(id[16], 6) +
                    N(id[17], 6) + std::string(12, '0') + N(id[18], 6) + std::string(6, '0') +
                    N(id[20], 6) + N(id[21], 18) + N(tdm.datetime.substr(0, 8), 8) +
                    N(tdm.datetime.substr(8, 6), 6));
  }
  for (const Reduction* r : zs) {
    const Fields& z = r->z;
    const std::string crz = N(z[0], 6);
    lines.push_back("E12" + head + user + crz + N(z[1], 6) + N(z[3], 6) + N(z[4], 8) + N(z[5], 8) +
                    N(z[6], 6) + N(z[8], 14) + (id[34] == "S" ? "S" : "N"));
    for (size_t i = 9; i < z.f->size(); ++i) {
      const std::string_view pair = z[i];
      const size_t eq = pair.find('=');
      if (eq == std::string_view::npos) continue;
      lines.push_back("E13" + head + user + crz + X(pair.substr(0, eq), 7) +
                      N(pair.substr(eq + 1), 13));
    }
    if (!tape) continue;
    for (const auto& n : r->nonfiscal)
      lines.push_back("E17" + head + user + crz + X(n[2], 15) + N(n[3], 13));
    for (const auto& p : r->payments)
      lines.push_back("E18" + head + user + crz + X(p[2], 15) + N(p[3], 13));
  }
  if (tape) {
    for (const auto& doc : m.documents) {
      if (!document_taken(doc)) continue;
      const Fields& d = doc.d;
      const int kind_of = static_cast<int>(Number(d[0]));
      const std::string coo = N(d[1], 6);
      if (kind_of == 3) {
        const int64_t subtotal = Number(d[10]), discount = Number(d[11]), surcharge = Number(d[12]);
        lines.push_back("E14" + head + user + N(d[2], 6) + coo + N(d[7], 8) + N(subtotal, 14) +
                        N(discount, 13) + "V" + N(surcharge, 13) + "V" +
                        N(subtotal + surcharge - discount, 14) + X(d[9], 1) + N(0, 13) + "A" +
                        X(d[15], 40) + N(d[14], 14));
        for (const auto& it : doc.items) {
          // Unit prices are kept in thousandths: two decimals drop the last digit.
          const int decimals = Number(it[7]) == 3 ? 3 : 2;
          const int64_t price = decimals == 3 ? Number(it[6]) : Number(it[6]) / 10;
          const int64_t gross = Number(it[9]), adjustment = Number(it[10]);
          const bool cancelled = it[11] == "S";
          const int64_t net = gross + adjustment;
          lines.push_back("E15" + head + user + coo + N(d[2], 6) + N(it[1], 3) + X(it[2], 14) +
                          X(it[3], 100) + N(it[4], 7) + X(it[5], 3) + N(price, 8) +
                          N(adjustment < 0 ? -adjustment : 0, 8) +
                          N(adjustment > 0 ? adjustment : 0, 8) + N(net, 14) + X(it[8], 7) +
                          (cancelled ? "S" : "N") + N(cancelled ? Number(it[4]) : 0, 7) +
                          N(cancelled ? net : 0, 13) + N(0, 13) + X(it[12], 1) + "3" +
                          std::to_string(decimals));
        }
      } else if (kind_of != 6) {
        // A coupon's cancellation marks the coupon itself; every other document is an E16.
        lines.push_back("E16" + head + user + coo + N(d[3], 6) + N(d[4], 6) + N(d[5], 4) +
                        N(d[6], 6) + Denomination(kind_of) + N(d[7], 8) + N(d[8], 6));
      }
      for (const auto& p : doc.payments) {
        const int64_t reversed = Number(p[3]);
        lines.push_back("E21" + head + user + coo + (kind_of == 3 ? N(d[2], 6) : N(0, 6)) +
                        (kind_of == 3 ? N(0, 6) : N(d[3], 6)) + X(p[1], 15) + N(p[2], 13) +
                        (reversed != 0 ? "S" : "N") + N(reversed, 13));
      }
    }
  }
  std::sort(lines.begin() + 1, lines.end());
  return out;
}

int GenerateFile(const std::string& binary_file, const std::string& text_file,
                 const Request& request) {
  // A failed conversion leaves no text file, old or new.
  std::error_code ec;
  std::filesystem::remove(text_file, ec);
  if (!std::filesystem::is_regular_file(binary_file, ec)) return ATO17_ERRO_TDM_AUSENTE;
  const auto size = std::filesystem::file_size(binary_file, ec);
  if (ec) return ATO17_ERRO_TDM_AUSENTE;
  if (static_cast<uint64_t>(size) > leitura::kMaxTdmBytes) return ATO17_ERRO_TDM_INVALIDO;
  const auto bytes = common::read_file(binary_file);
  if (!bytes) return ATO17_ERRO_TDM_AUSENTE;
  const leitura::TdmResult tdm = leitura::ParseTdm(*bytes);
  if (tdm.error != leitura::TdmError::kNone) return ATO17_ERRO_TDM_INVALIDO;
  const leitura::DumpResult image = leitura::ParseDump(tdm.tdm.image);
  if (!image.ok) return ATO17_ERRO_TDM_INVALIDO;
  const Output out = Generate(tdm.tdm, image.image, request);
  if (out.code != ATO17_OK) return out.code;
  std::string data;
  for (const auto& l : out.lines) data.append(l).append("\r\n");
  return common::replace_file_durably(text_file, data) ? ATO17_OK : ATO17_ERRO_SAIDA;
}

}  // namespace ato17
