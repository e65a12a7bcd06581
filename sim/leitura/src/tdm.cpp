#include "leitura/tdm.h"

#include <array>

namespace leitura {
namespace {

uint32_t Le32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
uint16_t Le16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               static_cast<unsigned char>(b[at + 1]) << 8);
}
void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

const std::array<uint32_t, 256>& CrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table;
}

}  // namespace

const char* TdmErrorText(TdmError e) {
  switch (e) {
    case TdmError::kNone:
      return "";
    case TdmError::kBadMagic:
      return "Arquivo TDM com assinatura invalida";
    case TdmError::kTruncated:
      return "Arquivo TDM truncado";
    case TdmError::kTrailing:
      return "Arquivo TDM com dados apos o fim";
    case TdmError::kBadChecksum:
      return "Arquivo TDM com soma de verificacao invalida";
    case TdmError::kBadSerial:
      return "Arquivo TDM com numero de serie invalido";
    case TdmError::kBadDate:
      return "Arquivo TDM com data invalida";
    case TdmError::kTooLarge:
      return "Arquivo TDM grande demais";
    case TdmError::kBadImage:
      return "Arquivo TDM com memorias invalidas";
  }
  return "Arquivo TDM invalido";
}

uint32_t Crc32(std::string_view bytes) {
  const auto& t = CrcTable();
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = t[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

DumpResult ParseDump(std::string_view image) {
  DumpResult result;
  if (image.size() < 12 || image.substr(0, 8) != kDumpMagic) return result;
  const uint32_t count = Le32(image, 8);
  // Every record takes at least five bytes: a count beyond that cannot be honest.
  if (count > (image.size() - 12) / 5) return result;
  result.image.records.reserve(count);
  size_t at = 12;
  for (uint32_t i = 0; i < count; ++i) {
    if (image.size() - at < 5) return {};
    DumpRecord record;
    record.type = image[at];
    const uint32_t length = Le32(image, at + 1);
    at += 5;
    if (length > image.size() - at) return {};
    const std::string_view payload = image.substr(at, length);
    at += length;
    size_t p = 0;
    while (p < payload.size()) {
      if (payload.size() - p < 2) return {};
      const uint16_t n = Le16(payload, p);
      p += 2;
      if (n > payload.size() - p) return {};
      record.fields.push_back(payload.substr(p, n));
      p += n;
    }
    result.image.records.push_back(std::move(record));
  }
  if (at != image.size()) return {};
  result.ok = true;
  return result;
}

TdmResult ParseTdm(std::string_view b) {
  TdmResult r;
  auto fail = [](TdmError e) {
    TdmResult f;
    f.error = e;
    return f;
  };
  if (b.size() > kMaxTdmBytes) return fail(TdmError::kTooLarge);
  if (b.size() < kTdmMagic.size() || b.substr(0, kTdmMagic.size()) != kTdmMagic)
    return fail(TdmError::kBadMagic);
  size_t at = kTdmMagic.size();
  if (b.size() - at < 2) return fail(TdmError::kTruncated);
  const uint16_t serial_length = Le16(b, at);
  at += 2;
  if (serial_length > kMaxSerial) return fail(TdmError::kBadSerial);
  if (b.size() - at < serial_length) return fail(TdmError::kTruncated);
  r.tdm.serial = b.substr(at, serial_length);
  at += serial_length;
  if (b.size() - at < 14 + 4 + 4) return fail(TdmError::kTruncated);
  r.tdm.datetime = b.substr(at, 14);
  for (char c : r.tdm.datetime)
    if (c < '0' || c > '9') return fail(TdmError::kBadDate);
  at += 14;
  r.tdm.content = Le32(b, at);
  at += 4;
  const uint32_t image_length = Le32(b, at);
  at += 4;
  if (image_length > b.size() - at) return fail(TdmError::kTruncated);
  r.tdm.image = b.substr(at, image_length);
  at += image_length;
  if (b.size() - at < 4) return fail(TdmError::kTruncated);
  const uint32_t crc = Le32(b, at);
  if (b.size() - at > 4) return fail(TdmError::kTrailing);
  if (Crc32(b.substr(0, at)) != crc) return fail(TdmError::kBadChecksum);
  if (!ParseDump(r.tdm.image).ok) return fail(TdmError::kBadImage);
  return r;
}

std::string BuildTdm(std::string_view serial, std::string_view datetime, uint32_t content,
                     std::string_view image) {
  std::string out(kTdmMagic);
  const size_t n = std::min(serial.size(), kMaxSerial);
  out += static_cast<char>(n & 0xFF);
  out += static_cast<char>(n >> 8);
  out.append(serial.substr(0, n));
  std::string stamp(datetime.substr(0, 14));
  stamp.resize(14, '0');
  out += stamp;
  Put32(out, content);
  Put32(out, static_cast<uint32_t>(image.size()));
  out.append(image);
  Put32(out, Crc32(out));
  return out;
}

int DumpProgress::Update(std::string_view received) {
  if (received.size() >= 12 && count_ == 0 && done_ == 0) count_ = Le32(received, 8);
  while (done_ < count_ && received.size() >= at_ + 5) {
    const uint64_t end = at_ + 5 + static_cast<uint64_t>(Le32(received, at_ + 1));
    if (end > received.size()) break;
    at_ = static_cast<size_t>(end);
    ++done_;
  }
  if (count_ == 0) return received.size() >= 12 ? 100 : 0;
  return static_cast<int>(static_cast<uint64_t>(done_) * 100 / count_);
}

}  // namespace leitura
