// Records at offsets: the Windows side, on the C run-time's descriptors in binary mode.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "common/record_file.h"

namespace common {

RecordFile::RecordFile(const std::string& path, bool create)
    : fd_(create ? ::_open(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                           _S_IREAD | _S_IWRITE)
                 : ::_open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT)) {}

RecordFile::~RecordFile() {
  if (fd_ >= 0) ::_close(fd_);
}

long long RecordFile::size() const {
  return ::_filelengthi64(fd_);
}

long long RecordFile::read_at(char* data, size_t n, long long offset) const {
  if (::_lseeki64(fd_, offset, SEEK_SET) < 0) return -1;
  return ::_read(fd_, data, static_cast<unsigned>(n));
}

long long RecordFile::write_at(const char* data, size_t n, long long offset) {
  if (::_lseeki64(fd_, offset, SEEK_SET) < 0) return -1;
  return ::_write(fd_, data, static_cast<unsigned>(n));
}

bool RecordFile::truncate(long long size) {
  return ::_chsize_s(fd_, size) == 0;
}

}  // namespace common
