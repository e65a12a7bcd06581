#include "sintegra/registro.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "sintegra/error.h"
#include "sintegra/registros.h"

namespace sintegra {

namespace {

bool IsNumericKind(char k) {
  return k == 'N' || k == 'n';
}
bool IsTextKind(char k) {
  return k == 'X' || k == 'x';
}

// Writes every byte, resuming after interruptions and partial writes.
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

TRegistro::TRegistro(int campos, std::string_view tipo) : campos_(campos) {
  DefineCampo(1, tipo, 'N', 2, 1, 2);
}

void TRegistro::ResizeFields(int campos) {
  campos_.resize(campos);
}

TCampo& TRegistro::campo(int numero) {
  if (numero < 1 || numero > FieldCount()) {
    throw std::out_of_range("Campo " + std::to_string(numero) +
                            " inexistente no registro do sintegra.");
  }
  return campos_[numero - 1];
}

const TCampo& TRegistro::Field(int numero) const {
  return const_cast<TRegistro*>(this)->campo(numero);
}

void TRegistro::DefineCampo(int numero, std::string_view valor_inicial, char formato, int fim,
                            int inicio, int tamanho) {
  TCampo& c = campo(numero);
  c.Valor.assign(valor_inicial);
  c.Tamanho = tamanho;
  c.Inicio = inicio;
  c.Fim = fim;
  if (!IsNumericKind(formato) && !IsTextKind(formato)) {
    c.Formato = '\0';
    throw SintegraError(kInvalidFieldKind);
  }
  c.Formato = formato;
}

void TRegistro::AtribuiValor(int numero, std::string_view valor) {
  TCampo& c = campo(numero);
  while (!valor.empty() && static_cast<unsigned char>(valor.back()) <= 32) {
    valor.remove_suffix(1);
  }
  if (static_cast<int>(valor.size()) > c.Tamanho) throw SintegraError(kValueTooLong);
  c.Valor.assign(valor);
}

const std::string& TRegistro::ObtemValor(int numero) const {
  return Field(numero).Valor;
}

void TRegistro::AppendRenderedLine(std::string& out) const {
  for (const TCampo& c : campos_) {
    size_t size = c.Valor.size();
    size_t width = c.Tamanho > 0 ? static_cast<size_t>(c.Tamanho) : 0;
    if (size < width && IsNumericKind(c.Formato)) out.append(width - size, '0');
    out += c.Valor;
    if (size < width && IsTextKind(c.Formato)) out.append(width - size, ' ');
  }
  out += "\r\n";
}

std::string TRegistro::RenderLine() const {
  std::string line;
  line.reserve(128);
  AppendRenderedLine(line);
  return line;
}

void TRegistro::GravaLinha(const std::filesystem::path& arquivo) const {
  const std::string line = RenderLine();
  int fd = ::open(arquivo.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  // Nobody else may write the file while the line goes in.
  if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    if (fd >= 0) ::close(fd);
    throw SintegraError(std::string(kWriteFailed) + "\n" + std::strerror(error));
  }
  bool ok = ::lseek(fd, 0, SEEK_END) >= 0 && WriteAll(fd, line.data(), line.size());
  if (::close(fd) != 0) ok = false;
  if (!ok) throw SintegraError(kWriteFailed);
}

std::unique_ptr<TRegistro> TRegistro::CriaRegistro(TTipoRegistros tipo) {
  switch (tipo) {
    case TTipoRegistros::Tipo10:
      return std::make_unique<TRegTipo10>();
    case TTipoRegistros::Tipo11:
      return std::make_unique<TRegTipo11>();
    case TTipoRegistros::Tipo50:
      return std::make_unique<TRegTipo50>();
    case TTipoRegistros::Tipo54:
      return std::make_unique<TRegTipo54>();
    case TTipoRegistros::Tipo60A:
      return std::make_unique<TRegTipo60A>();
    case TTipoRegistros::Tipo60D:
      return std::make_unique<TRegTipo60D>();
    case TTipoRegistros::Tipo60I:
      return std::make_unique<TRegTipo60I>();
    case TTipoRegistros::Tipo60M:
      return std::make_unique<TRegTipo60M>();
    case TTipoRegistros::Tipo60R:
      return std::make_unique<TRegTipo60R>();
    case TTipoRegistros::Tipo74:
      return std::make_unique<TRegTipo74>();
    case TTipoRegistros::Tipo75:
      return std::make_unique<TRegTipo75>();
    case TTipoRegistros::Tipo90:
      return std::make_unique<TRegTipo90>();
    case TTipoRegistros::TipoInvalido:
      break;
  }
  throw SintegraError(kInvalidRecordType);
}

std::unique_ptr<TRegistro> TRegistro::CriaRegistroDaLinha(std::string_view linha) {
  std::unique_ptr<TRegistro> registro = CriaRegistro(KindOfLine(linha));
  for (int numero = 1; numero <= registro->FieldCount(); ++numero) {
    const TCampo& c = registro->campos_[numero - 1];
    std::string_view part;
    if (c.Tamanho > 0 && c.Inicio >= 1 && static_cast<size_t>(c.Inicio) <= linha.size()) {
      part = linha.substr(c.Inicio - 1, c.Tamanho);
    }
    registro->AtribuiValor(numero, part);
  }
  return registro;
}

}  // namespace sintegra
