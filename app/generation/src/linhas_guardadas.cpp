#include "generation/linhas_guardadas.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace generation {

namespace {
constexpr const char kFalhaEscrita[] =
    "Não foi possível guardar os registros no arquivo temporário.";
constexpr const char kFalhaLeitura[] = "Não foi possível ler os registros do arquivo temporário.";
}  // namespace

LinhasGuardadas::LinhasGuardadas(std::size_t buffer) : limite_(buffer) {}

LinhasGuardadas::~LinhasGuardadas() {
  if (arquivo_ != nullptr) std::fclose(arquivo_);
}

void LinhasGuardadas::Guarda(std::string_view linha) {
  if (linha.size() > UINT32_MAX) throw std::length_error("Linha grande demais para guardar.");
  auto tamanho = static_cast<std::uint32_t>(linha.size());
  char cabecalho[sizeof tamanho];
  std::memcpy(cabecalho, &tamanho, sizeof tamanho);
  buffer_.append(cabecalho, sizeof cabecalho);
  buffer_.append(linha);
  ++quantidade_;
  if (buffer_.size() >= limite_) Descarrega();
}

void LinhasGuardadas::Descarrega() {
  if (sem_arquivo_ || buffer_.empty()) return;
  if (arquivo_ == nullptr) {
    arquivo_ = std::tmpfile();
    if (arquivo_ == nullptr) {
      // Slower to lose than memory: the lines stay here.
      sem_arquivo_ = true;
      return;
    }
  }
  // A reading may have stopped anywhere in the file.
  if (std::fseek(arquivo_, 0, SEEK_END) != 0 ||
      std::fwrite(buffer_.data(), 1, buffer_.size(), arquivo_) != buffer_.size())
    throw std::runtime_error(kFalhaEscrita);
  buffer_.clear();
}

void LinhasGuardadas::ParaCada(const std::function<void(std::string_view linha)>& cada) {
  auto entrega = [&](const char* p, const char* fim) {
    while (p < fim) {
      std::uint32_t tamanho;
      std::memcpy(&tamanho, p, sizeof tamanho);
      p += sizeof tamanho;
      cada(std::string_view(p, tamanho));
      p += tamanho;
    }
  };
  if (arquivo_ != nullptr) {
    if (std::fflush(arquivo_) != 0 || std::fseek(arquivo_, 0, SEEK_SET) != 0)
      throw std::runtime_error(kFalhaLeitura);
    // Read back in pieces; a line cut by a piece's end waits for the next piece.
    std::string pedaco;
    std::size_t usados = 0;
    for (;;) {
      std::size_t antes = pedaco.size();
      pedaco.resize(antes + limite_ + 4096);
      std::size_t lidos = std::fread(pedaco.data() + antes, 1, pedaco.size() - antes, arquivo_);
      pedaco.resize(antes + lidos);
      if (lidos == 0) {
        if (std::ferror(arquivo_)) throw std::runtime_error(kFalhaLeitura);
        break;
      }
      // The whole lines of the piece.
      const char* p = pedaco.data();
      const char* fim = p + pedaco.size();
      const char* inteiras = p;
      while (fim - inteiras >= 4) {
        std::uint32_t tamanho;
        std::memcpy(&tamanho, inteiras, sizeof tamanho);
        if (static_cast<std::size_t>(fim - inteiras) - 4 < tamanho) break;
        inteiras += 4 + tamanho;
      }
      entrega(p, inteiras);
      usados = static_cast<std::size_t>(inteiras - p);
      pedaco.erase(0, usados);
    }
    if (!pedaco.empty()) throw std::runtime_error(kFalhaLeitura);
  }
  entrega(buffer_.data(), buffer_.data() + buffer_.size());
}

}  // namespace generation
