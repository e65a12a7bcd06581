#pragma once
// Ctrl-C, SIGTERM and SIGHUP handed to one handler for the length of a scope; the earlier
// handlers come back at its end, also when the scope is left by an error.
#include <signal.h>

#include <cstddef>
#include <iterator>

namespace cli {

class SinaisDeParada {
 public:
  explicit SinaisDeParada(void (*tratador)(int)) {
    struct sigaction novo {};
    novo.sa_handler = tratador;
    sigemptyset(&novo.sa_mask);
    novo.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSinais); ++i)
      sigaction(kSinais[i], &novo, &anteriores_[i]);
  }
  ~SinaisDeParada() {
    for (std::size_t i = 0; i < std::size(kSinais); ++i)
      sigaction(kSinais[i], &anteriores_[i], nullptr);
  }
  SinaisDeParada(const SinaisDeParada&) = delete;
  SinaisDeParada& operator=(const SinaisDeParada&) = delete;

 private:
  static constexpr int kSinais[] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction anteriores_[std::size(kSinais)];
};

}  // namespace cli
