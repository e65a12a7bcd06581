#pragma once
// Lines kept aside in order to be handed back later in the same order, at the cost of a
// small buffer: past it they go to an unnamed temporary file, so a month of any size
// costs the same memory. Used for records that are made before their turn in the file.
#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace generation {

class LinhasGuardadas {
 public:
  // buffer: bytes held in memory before they go to the file.
  explicit LinhasGuardadas(std::size_t buffer = std::size_t{1} << 20);
  ~LinhasGuardadas();
  LinhasGuardadas(const LinhasGuardadas&) = delete;
  LinhasGuardadas& operator=(const LinhasGuardadas&) = delete;

  // Keeps one line (any bytes). When no temporary file can be made the lines stay in
  // memory; a write to the file that fails raises std::runtime_error.
  void Guarda(std::string_view linha);
  std::size_t Quantidade() const { return quantidade_; }

  // Hands every line back in the order kept; the lines stay kept. A failed read raises
  // std::runtime_error; an exception from cada ends the reading and passes through.
  void ParaCada(const std::function<void(std::string_view linha)>& cada);

 private:
  void Descarrega();

  std::size_t limite_;
  std::string buffer_;  // lines not yet in the file: each a 4-byte length, then its bytes
  std::FILE* arquivo_ = nullptr;
  bool sem_arquivo_ = false;  // no temporary file could be made: everything stays here
  std::size_t quantidade_ = 0;
};

}  // namespace generation
