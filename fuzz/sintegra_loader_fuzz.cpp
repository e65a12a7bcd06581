// A Sintegra file named by the accountant: every line either loads as a record or stops the
// load with the program's error; a loaded record renders as a full line that reads back
// into the same record.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <exception>
#include <string>

#include "fuzz_check.h"
#include "sintegra/sintegra.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A memory file is a regular file, so the load takes its mapped path, as for a real one.
  int fd = ::memfd_create("sintegra-fuzz", MFD_CLOEXEC);
  if (fd < 0) return 0;
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  size_t lines = 1;
  for (size_t i = 0; i < size; ++i)
    if (data[i] == '\n' || data[i] == '\r') ++lines;
  sintegra::TSintegra file;
  try {
    file.CarregaArquivo("/proc/self/fd/" + std::to_string(fd));
  } catch (const std::exception&) {
    // The program's message for a bad line; the records before it stay.
  }
  FUZZ_CHECK(file.Registros().size() <= lines);
  for (const auto& registro : file.Registros()) {
    const std::string line = registro->RenderLine();  // the 126 characters and CR LF
    FUZZ_CHECK(line.size() == 128 && line.compare(126, 2, "\r\n") == 0);
    const auto again =
        sintegra::TRegistro::CriaRegistroDaLinha(std::string_view(line).substr(0, 126));
    FUZZ_CHECK(again != nullptr);
    FUZZ_CHECK(again->RenderLine() == line);
  }
  ::close(fd);
  return 0;
}
