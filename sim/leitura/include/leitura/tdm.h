#pragma once
// The TDM file: the printer's memories as read from the line, and the one parser of it and
// of the dump image it carries. Both parsers are pure functions over a byte range: every
// length is checked against what is left, nothing is allocated beyond the input's size,
// and any fault answers an error rather than a partial result.
//
// TDM layout (integers little-endian):
//   0   8  magic "ORVKTDM1"
//   8   2  serial length n (at most 40), then n bytes of the ECF serial number
//   .  14  date and time of the reading, "yyyymmddhhmmss"
//   .   4  content flags: 1 fiscal memory, 2 detail-tape memory (a full dump holds both)
//   .   4  image length m, then m bytes of the printer's dump image
//   .   4  CRC-32 (IEEE 802.3) of every byte before it
// Nothing may follow. A file larger than kMaxTdmBytes is refused before it is read.
//
// Dump image (as the printer sends it): "ORVKDMP1", a 32-bit record count, then records of
// one type byte, a 32-bit payload length and the payload; a payload is a run of fields,
// each a 16-bit length and that many bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace leitura {

inline constexpr std::string_view kTdmMagic = "ORVKTDM1";
inline constexpr std::string_view kDumpMagic = "ORVKDMP1";
inline constexpr uint32_t kContentFiscalMemory = 1, kContentDetailTape = 2;
inline constexpr uint64_t kMaxTdmBytes = 256ull << 20;
inline constexpr size_t kMaxSerial = 40;

enum class TdmError {
  kNone,
  kBadMagic,     // not a TDM file
  kTruncated,    // a field or length runs past the end
  kTrailing,     // bytes after the checksum
  kBadChecksum,  // the checksum does not match
  kBadSerial,    // serial longer than kMaxSerial
  kBadDate,      // date and time not 14 digits
  kTooLarge,     // over kMaxTdmBytes
  kBadImage,     // the image inside is not a valid dump
};
// A short text for an error ("assinatura invalida", ...), Windows-1252 safe (ASCII).
const char* TdmErrorText(TdmError e);

struct DumpRecord {
  char type = 0;
  std::vector<std::string_view> fields;  // views into the image
};

struct DumpImage {
  std::vector<DumpRecord> records;
};

struct DumpResult {
  bool ok = false;
  DumpImage image;
};
// Parses a dump image; every view points into `image`, which must outlive the result.
DumpResult ParseDump(std::string_view image);

struct Tdm {
  std::string_view serial, datetime, image;  // views into the parsed bytes
  uint32_t content = 0;
};
struct TdmResult {
  TdmError error = TdmError::kNone;
  Tdm tdm;
};
// Parses a TDM file held in memory (and checks that its image parses as a dump).
TdmResult ParseTdm(std::string_view bytes);

// The bytes of a TDM file.
std::string BuildTdm(std::string_view serial, std::string_view datetime, uint32_t content,
                     std::string_view image);

uint32_t Crc32(std::string_view bytes);

// Incremental count of the complete records of a dump image still arriving: feed it the
// bytes received so far (the same growing buffer each time).
class DumpProgress {
 public:
  // Percentage of the announced records that are complete (0 until the count is known).
  int Update(std::string_view received);
  uint32_t announced() const { return count_; }
  uint32_t complete() const { return done_; }

 private:
  size_t at_ = 12;
  uint32_t count_ = 0, done_ = 0;
};

}  // namespace leitura
