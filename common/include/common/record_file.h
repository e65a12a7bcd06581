#pragma once
// A file of fixed-size records read and written at offsets through one descriptor, on
// the platform's own calls. Failures answer -1 (false) with errno telling why.
#include <cstddef>
#include <string>

namespace common {

class RecordFile {
 public:
  // Opens path for reading (and writing, creating it when missing, with create).
  RecordFile(const std::string& path, bool create);
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  bool is_open() const { return fd_ >= 0; }
  // The file's size in bytes; -1 on failure.
  long long size() const;
  // Bytes read or written at offset (one call, possibly short); -1 on failure.
  long long read_at(char* data, size_t n, long long offset) const;
  long long write_at(const char* data, size_t n, long long offset);
  // Cuts the file to size bytes.
  bool truncate(long long size);

 private:
  int fd_ = -1;
};

}  // namespace common
