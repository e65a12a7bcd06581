#include "devkit/state_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace devkit {

bool save_atomically(const std::filesystem::path& file, std::string_view content,
                     std::string* error) {
  std::filesystem::path tmp = file;
  tmp += ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = "nao foi possivel criar " + tmp.string();
    return false;
  }
  std::size_t done = 0;
  while (done < content.size()) {
    ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n <= 0) {
      ::close(fd);
      ::unlink(tmp.c_str());
      if (error) *error = "falha ao gravar " + tmp.string();
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  bool synced = ::fsync(fd) == 0;
  ::close(fd);
  if (!synced || std::rename(tmp.c_str(), file.c_str()) != 0) {
    ::unlink(tmp.c_str());
    if (error) *error = "falha ao gravar " + file.string();
    return false;
  }
  return true;
}

bool read_whole_file(const std::filesystem::path& file, std::string& out, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (error) *error = "nao foi possivel ler " + file.string();
    return false;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

}  // namespace devkit
