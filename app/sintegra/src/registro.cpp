#include "sintegra/registro.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "record_arena.h"
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

// Blanks and control characters (codes up to 32) at the end are not part of a value.
std::string_view TrimTrailing(std::string_view v) {
  while (!v.empty() && static_cast<unsigned char>(v.back()) <= 32) v.remove_suffix(1);
  return v;
}

// Copies a field's value. Most values are a few characters: fixed-size copies (two that may
// overlap) cost less than a call for each.
inline void CopyShort(char* to, std::string_view from) {
  const char* src = from.data();
  size_t n = from.size();
  if (n >= 8 && n <= 16) {
    std::memcpy(to, src, 8);
    std::memcpy(to + n - 8, src + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(to, src, 4);
    std::memcpy(to + n - 4, src + n - 4, 4);
  } else if (n < 4) {
    for (size_t i = 0; i < n; ++i) to[i] = src[i];
  } else {
    std::memcpy(to, src, n);
  }
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

namespace detail {

void ValueText::set_heap(char* p, size_t capacity) {
  if (on_heap()) delete[] heap();
  std::memcpy(inline_, &p, sizeof p);
  heap_capacity_ = static_cast<std::uint16_t>(capacity);
}

void ValueText::reserve(size_t n) {
  if (n <= capacity()) return;
  if (n > kMaxSize) throw std::length_error("Registro do sintegra grande demais.");
  size_t grown = std::min(std::max(n, 2 * capacity()), kMaxSize);
  char* bigger = new char[grown];
  std::memcpy(bigger, data(), size_);
  set_heap(bigger, grown);
}

char* ValueText::overwrite(size_t n) {
  if (n > kMaxSize) throw std::length_error("Registro do sintegra grande demais.");
  if (n > capacity()) set_heap(new char[n], n);
  size_ = 0;
  return mutable_data();
}

void ValueText::replace(size_t pos, size_t len, std::string_view v) {
  // A value taken from this very text is copied first: moving the tail would overwrite it.
  std::less_equal<const char*> not_after;
  if (!v.empty() && not_after(data(), v.data()) && !not_after(data() + capacity(), v.data())) {
    std::string copy(v);
    replace(pos, len, copy);
    return;
  }
  size_t new_size = size_ - len + v.size();
  reserve(new_size);
  char* d = mutable_data();
  std::memmove(d + pos + v.size(), d + pos + len, size_ - pos - len);
  if (!v.empty()) std::memcpy(d + pos, v.data(), v.size());
  size_ = static_cast<std::uint16_t>(new_size);
}

}  // namespace detail

TRegistro::TRegistro(int campos, std::string_view tipo) : layout_(std::make_shared<Layout>()) {
  ResizeFields(campos);
  DefineCampo(1, tipo, 'N', 2, 1, 2);
}

void TRegistro::ResizeFields(int campos) {
  if (campos < 0 || campos > kMaxFields) {
    throw std::length_error("Número de campos inválido para um registro do sintegra.");
  }
  int before = FieldCount();
  // Dropped fields take their values with them; new fields start empty.
  if (campos < before) text_.replace(start_[campos], text_.size() - start_[campos], "");
  OwnLayout().resize(campos);
  for (int k = before + 1; k <= campos; ++k) start_[k] = start_[before];
}

TRegistro::Layout& TRegistro::OwnLayout() {
  if (layout_.use_count() != 1) layout_ = std::make_shared<Layout>(*layout_);
  return *layout_;
}

void TRegistro::CheckNumber(int numero) const {
  if (numero < 1 || numero > FieldCount()) {
    throw std::out_of_range("Campo " + std::to_string(numero) +
                            " inexistente no registro do sintegra.");
  }
}

std::string_view TRegistro::ValueView(int numero) const {
  CheckNumber(numero);
  return text_.view().substr(start_[numero - 1], start_[numero] - start_[numero - 1]);
}

TCampo TRegistro::Field(int numero) const {
  CheckNumber(numero);
  const FieldDefinition& d = (*layout_)[numero - 1];
  return {std::string(ValueView(numero)), d.Tamanho, d.Inicio, d.Fim, d.Formato};
}

void TRegistro::ReplaceValue(int numero, std::string_view valor) {
  size_t begin = start_[numero - 1], end = start_[numero];
  if (text_.size() - (end - begin) + valor.size() > UINT16_MAX) {
    throw std::length_error("Registro do sintegra grande demais.");
  }
  text_.replace(begin, end - begin, valor);
  int delta = static_cast<int>(valor.size()) - static_cast<int>(end - begin);
  for (int k = numero; k <= FieldCount(); ++k) {
    start_[k] = static_cast<std::uint16_t>(start_[k] + delta);
  }
}

void TRegistro::DefineCampo(int numero, std::string_view valor_inicial, char formato, int fim,
                            int inicio, int tamanho) {
  CheckNumber(numero);
  ReplaceValue(numero, valor_inicial);
  FieldDefinition& d = OwnLayout()[numero - 1];
  d.Tamanho = tamanho;
  d.Inicio = inicio;
  d.Fim = fim;
  if (!IsNumericKind(formato) && !IsTextKind(formato)) {
    d.Formato = '\0';
    throw SintegraError(kInvalidFieldKind);
  }
  d.Formato = formato;
}

void TRegistro::AtribuiValor(int numero, std::string_view valor) {
  CheckNumber(numero);
  valor = TrimTrailing(valor);
  if (static_cast<int>(valor.size()) > (*layout_)[numero - 1].Tamanho) {
    throw SintegraError(kValueTooLong);
  }
  ReplaceValue(numero, valor);
}

void TRegistro::AppendRenderedLine(std::string& out) const {
  const Layout& layout = *layout_;
  for (size_t k = 0; k < layout.size(); ++k) {
    const FieldDefinition& d = layout[k];
    std::string_view value(text_.data() + start_[k], start_[k + 1] - start_[k]);
    size_t width = d.Tamanho > 0 ? static_cast<size_t>(d.Tamanho) : 0;
    if (value.size() < width && IsNumericKind(d.Formato)) out.append(width - value.size(), '0');
    out += value;
    if (value.size() < width && IsTextKind(d.Formato)) out.append(width - value.size(), ' ');
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
  // Nobody else may write the file while the line goes in: a file another writer holds
  // is refused. A file system without locks is written all the same.
  int error = fd < 0 ? errno : 0;
  if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    error = errno;
    ::close(fd);
  }
  if (error != 0) throw SintegraError(std::string(kWriteFailed) + "\n" + std::strerror(error));
  bool ok = ::lseek(fd, 0, SEEK_END) >= 0 && WriteAll(fd, line.data(), line.size());
  if (::close(fd) != 0) ok = false;
  if (!ok) throw SintegraError(kWriteFailed);
}

namespace {

// Calls make with the record class of the kind (as a type tag); other kinds are refused.
template <typename Make>
auto WithRecordClass(TTipoRegistros tipo, Make make) {
  switch (tipo) {
    case TTipoRegistros::Tipo10:
      return make(std::type_identity<TRegTipo10>{});
    case TTipoRegistros::Tipo11:
      return make(std::type_identity<TRegTipo11>{});
    case TTipoRegistros::Tipo50:
      return make(std::type_identity<TRegTipo50>{});
    case TTipoRegistros::Tipo54:
      return make(std::type_identity<TRegTipo54>{});
    case TTipoRegistros::Tipo60A:
      return make(std::type_identity<TRegTipo60A>{});
    case TTipoRegistros::Tipo60D:
      return make(std::type_identity<TRegTipo60D>{});
    case TTipoRegistros::Tipo60I:
      return make(std::type_identity<TRegTipo60I>{});
    case TTipoRegistros::Tipo60M:
      return make(std::type_identity<TRegTipo60M>{});
    case TTipoRegistros::Tipo60R:
      return make(std::type_identity<TRegTipo60R>{});
    case TTipoRegistros::Tipo74:
      return make(std::type_identity<TRegTipo74>{});
    case TTipoRegistros::Tipo75:
      return make(std::type_identity<TRegTipo75>{});
    case TTipoRegistros::Tipo90:
      return make(std::type_identity<TRegTipo90>{});
    case TTipoRegistros::TipoInvalido:
      break;
  }
  throw SintegraError(kInvalidRecordType);
}

}  // namespace

std::unique_ptr<TRegistro> TRegistro::CriaRegistro(TTipoRegistros tipo) {
  return WithRecordClass(tipo, [](auto type) -> std::unique_ptr<TRegistro> {
    return std::make_unique<typename decltype(type)::type>();
  });
}

void TRegistro::FillFromLine(std::string_view linha) {
  // Every field is set from its columns in turn, as AtribuiValor would set it; the text is
  // rebuilt in one pass. A column cut is never wider than its field.
  const Layout& layout = *layout_;
  // Each part is cut to its field's width, so the text is at most the sum of the widths.
  size_t widths = 0;
  for (const FieldDefinition& d : layout) widths += d.Tamanho > 0 ? d.Tamanho : 0;
  char* text = text_.overwrite(widths);
  size_t size = 0;
  for (size_t k = 0; k < layout.size(); ++k) {
    const FieldDefinition& d = layout[k];
    if (d.Tamanho > 0 && d.Inicio >= 1 && static_cast<size_t>(d.Inicio) <= linha.size()) {
      std::string_view part = TrimTrailing(linha.substr(d.Inicio - 1, d.Tamanho));
      CopyShort(text + size, part);
      size += part.size();
    }
    start_[k + 1] = static_cast<std::uint16_t>(size);
  }
  text_.set_size(size);
}

std::unique_ptr<TRegistro> TRegistro::CriaRegistroDaLinha(std::string_view linha) {
  std::unique_ptr<TRegistro> registro = CriaRegistro(KindOfLine(linha));
  registro->FillFromLine(linha);
  return registro;
}

std::shared_ptr<TRegistro> TRegistro::SharedFromLine(std::string_view linha) {
  std::shared_ptr<TRegistro> registro =
      WithRecordClass(KindOfLine(linha), [](auto type) -> std::shared_ptr<TRegistro> {
        return std::make_shared<typename decltype(type)::type>();
      });
  registro->FillFromLine(linha);
  return registro;
}

std::shared_ptr<TRegistro> TRegistro::SharedFromLine(std::string_view linha,
                                                     detail::RecordArena& arena) {
  std::shared_ptr<TRegistro> registro =
      WithRecordClass(KindOfLine(linha), [&arena](auto type) -> std::shared_ptr<TRegistro> {
        using Record = typename decltype(type)::type;
        return std::allocate_shared<Record>(detail::ArenaAllocator<Record>(arena));
      });
  registro->FillFromLine(linha);
  return registro;
}

}  // namespace sintegra
