#include "orvik/memfiles/record_store.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "common/record_file.h"
#include "orvik/memfiles/working_folder.h"

namespace orvik::memfiles {
namespace {

constexpr int kTypes = 12;  // types 0..11, of which 2-8 and 11 have records

std::array<std::string, kTypes>& Records() {
  static std::array<std::string, kTypes> records = [] {
    std::array<std::string, kTypes> r;
    for (int t = 0; t < kTypes; ++t) r[t] = std::string(RecordSize(t), '\0');
    return r;
  }();
  return records;
}

std::string FilePath(int type) {
  return PastaRFDTemp() + RecordFileName(type);
}

[[noreturn]] void IoError(const std::string& what, const std::string& file) {
  throw std::runtime_error(what + " " + file + ": " + std::strerror(errno));
}

// A whole decimal number of a field; false when it is not one.
bool Number(std::string_view text, long long& value) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

int RecordSize(int type) {
  switch (type) {
    case 2:
      return 128;
    case 3:
      return 94;
    case 4:
      return 210;
    case 5:
      return 291;
    case 6:
      return 110;
    case 7:
      return 102;
    case 8:
      return 102;
    case 11:
      return 118;
    default:
      return 0;
  }
}

std::string RecordFileName(int type) {
  return "E" + std::to_string(10 + type) + ".DAT";
}

std::string& Record(int type) {
  if (type < 0 || type >= kTypes)
    throw std::out_of_range("tipo de registro " + std::to_string(type));
  return Records()[type];
}

void SetField(int type, Field field, std::string_view value) {
  std::string& record = Record(type);
  if (field.offset + 1 + field.capacity > static_cast<int>(record.size()))
    throw std::out_of_range("campo fora do registro E" + std::to_string(10 + type));
  const size_t n = std::min<size_t>(value.size(), static_cast<size_t>(field.capacity));
  record[field.offset] = static_cast<char>(n);
  std::memcpy(record.data() + field.offset + 1, value.data(), n);
}

std::string GetField(int type, Field field) {
  const std::string& record = Record(type);
  if (field.offset + 1 + field.capacity > static_cast<int>(record.size()))
    throw std::out_of_range("campo fora do registro E" + std::to_string(10 + type));
  const size_t n = std::min<size_t>(static_cast<unsigned char>(record[field.offset]),
                                    static_cast<size_t>(field.capacity));
  return record.substr(field.offset + 1, n);
}

void ClearRecord(int type) {
  std::string& record = Record(type);
  std::fill(record.begin(), record.end(), '\0');
}

std::string ItemRoundingIndicator(std::string_view unit_price, std::string_view quantity,
                                  std::string_view price_decimals, std::string_view net_total,
                                  std::string_view discount, std::string_view surcharge,
                                  std::string_view given) {
  long long price = 0, qty = 0, net = 0, minus = 0, plus = 0;
  if (!Number(unit_price, price) || !Number(quantity, qty) || !Number(net_total, net) ||
      !Number(discount, minus) || !Number(surcharge, plus))
    return "T";
  if (price >= 100000 || qty >= 1000000) return std::string(given);
  // Below those bounds the product fits 64 bits exactly.
  const long long gross = price * qty / (price_decimals == "3" ? 10000 : 1000);
  const long long declared = net + minus - plus;
  if (gross - declared == 1 || declared - gross == 1) return "A";
  return std::string(given);
}

void GravaRegistroE(int type, long n) {
  const int size = RecordSize(type);
  if (size == 0 || n < 0)
    throw std::invalid_argument("registro E" + std::to_string(10 + type) + " invalido");
  const std::string folder = PastaRFDTemp();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec))
    throw std::runtime_error("Impossivel Criar" + folder);

  if (type == 5) {
    using namespace e15;
    SetField(5, kRounding,
             ItemRoundingIndicator(GetField(5, kUnitPrice), GetField(5, kQuantity),
                                   GetField(5, kPriceDecimals), GetField(5, kNetTotal),
                                   GetField(5, kDiscount), GetField(5, kSurcharge),
                                   GetField(5, kRounding)));
  }

  const std::string file = FilePath(type);
  common::RecordFile d(file, true);
  if (!d.is_open()) IoError("Erro ao abrir", file);
  const long long before = d.size();
  if (before < 0) IoError("Erro ao ler", file);
  const long long at = static_cast<long long>(n) * size;
  const std::string& record = Record(type);
  const long long written = d.write_at(record.data(), record.size(), at);
  if (written != static_cast<long long>(record.size())) {
    const int saved = errno;
    // A record cut short at the end would shift every count after it: drop it.
    if (at >= before) d.truncate(before);
    errno = written < 0 ? saved : ENOSPC;
    IoError("Erro ao gravar", file);
  }
}

int LeRegistroE(int type, long n) {
  const int size = RecordSize(type);
  if (size == 0 || n < 0) return 0;
  const std::string file = FilePath(type);
  common::RecordFile d(file, false);
  if (!d.is_open()) {
    if (errno == ENOENT) return 0;
    IoError("Erro ao abrir", file);
  }
  std::string buffer(size, '\0');
  const long long got = d.read_at(buffer.data(), buffer.size(), static_cast<long long>(n) * size);
  if (got != size) {
    if (got >= 0) errno = ERANGE;
    IoError("Erro ao ler o registro " + std::to_string(n) + " de", file);
  }
  Record(type) = std::move(buffer);
  return 1;
}

long TotalRegistrosE(int type) {
  const int size = RecordSize(type);
  if (size == 0) return 0;
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(FilePath(type), ec);
  return ec ? 0 : static_cast<long>(bytes / size);
}

void ApagaRegistroE(int type) {
  DeleteFileIfPresent(FilePath(type));
}

void ApagaRegistrosE() {
  for (int type = 2; type <= 11; ++type) ApagaRegistroE(type);
}

}  // namespace orvik::memfiles
