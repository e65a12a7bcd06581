// Records at offsets: the POSIX side.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/record_file.h"

namespace common {

RecordFile::RecordFile(const std::string& path, bool create)
    : fd_(create ? ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)
                 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

RecordFile::~RecordFile() {
  if (fd_ >= 0) ::close(fd_);
}

long long RecordFile::size() const {
  struct stat st {};
  return ::fstat(fd_, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

long long RecordFile::read_at(char* data, size_t n, long long offset) const {
  return ::pread(fd_, data, n, static_cast<off_t>(offset));
}

long long RecordFile::write_at(const char* data, size_t n, long long offset) {
  return ::pwrite(fd_, data, n, static_cast<off_t>(offset));
}

bool RecordFile::truncate(long long size) {
  return ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
}

}  // namespace common
