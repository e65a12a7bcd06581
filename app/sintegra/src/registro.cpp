#include "sintegra/registro.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <new>
#include <cerrno>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "common/files.h"
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

}  // namespace

struct TRegistro::OwnedText {
  std::uint16_t size = 0;
  std::uint16_t capacity = 0;
  std::array<std::uint16_t, kMaxFields + 1> start{};

  char* text() { return reinterpret_cast<char*>(this + 1); }
  const char* text() const { return reinterpret_cast<const char*>(this + 1); }
  std::string_view view() const { return {text(), size}; }

  // The header and room for capacity characters in one block.
  static OwnedText* New(size_t capacity) {
    if (capacity > kMaxText) throw std::length_error("Registro do sintegra grande demais.");
    auto* owned = new (::operator new(sizeof(OwnedText) + capacity)) OwnedText;
    owned->capacity = static_cast<std::uint16_t>(capacity);
    return owned;
  }
  static void Delete(OwnedText* owned) noexcept { ::operator delete(owned); }
};

namespace {

// The value a line's columns give a field: its columns with trailing blanks dropped,
// nothing when the field has no width or starts past the line's end.
inline std::string_view ColumnValue(std::string_view linha, int inicio, int tamanho) {
  if (tamanho <= 0 || inicio < 1 || static_cast<size_t>(inicio) > linha.size()) return {};
  return TrimTrailing(linha.substr(inicio - 1, tamanho));
}

}  // namespace

TRegistro::~TRegistro() {
  ReleaseValues();
}

void TRegistro::ReleaseValues() noexcept {
  if (!view_ && owned_ != nullptr) OwnedText::Delete(owned_);
  view_ = false;
  owned_ = nullptr;
  line_size_ = 0;
}

TRegistro::TRegistro(const TRegistro& other) : layout_(other.layout_) {
  owned_ = CopyValues(other);
}

TRegistro& TRegistro::operator=(const TRegistro& other) {
  if (this == &other) return *this;
  OwnedText* copy = CopyValues(other);
  ReleaseValues();
  owned_ = copy;
  layout_ = other.layout_;
  return *this;
}

size_t TRegistro::SumOfWidths() const {
  size_t widths = 0;
  for (const FieldDefinition& d : *layout_) widths += d.Tamanho > 0 ? d.Tamanho : 0;
  return std::min(widths, kMaxText);
}

TRegistro::OwnedText* TRegistro::CopyValues(const TRegistro& from) {
  // Room for every field filled to its width, so that setting the values of a copy (a new
  // record starts as a copy of its class's definition) never moves them again.
  if (!from.view_ && from.owned_ == nullptr) return nullptr;
  const size_t capacity = from.SumOfWidths();
  if (from.view_) {
    // Every field is set from its columns in turn, as AtribuiValor would set it; the text
    // is built in one pass. A column cut is never wider than its field, so the text is at
    // most the sum of the widths.
    const Layout& layout = *from.layout_;
    std::string_view linha(from.line_, from.line_size_);
    OwnedText* owned = OwnedText::New(capacity);
    size_t size = 0;
    for (size_t k = 0; k < layout.size(); ++k) {
      const FieldDefinition& d = layout[k];
      std::string_view part = ColumnValue(linha, d.Inicio, d.Tamanho);
      if (size + part.size() > owned->capacity) {
        OwnedText::Delete(owned);
        throw std::length_error("Registro do sintegra grande demais.");
      }
      CopyShort(owned->text() + size, part);
      size += part.size();
      owned->start[k + 1] = static_cast<std::uint16_t>(size);
    }
    owned->size = static_cast<std::uint16_t>(size);
    return owned;
  }
  OwnedText* owned = OwnedText::New(std::max<size_t>(capacity, from.owned_->size));
  owned->size = from.owned_->size;
  owned->start = from.owned_->start;
  std::memcpy(owned->text(), from.owned_->text(), from.owned_->size);
  return owned;
}

void TRegistro::Materialize() {
  if (!view_) return;
  OwnedText* owned = CopyValues(*this);
  view_ = false;
  line_size_ = 0;
  owned_ = owned;
}

TRegistro::OwnedText& TRegistro::Reserve(size_t needed) {
  Materialize();
  if (needed > kMaxText) throw std::length_error("Registro do sintegra grande demais.");
  if (owned_ == nullptr) {
    owned_ = OwnedText::New(std::max(needed, SumOfWidths()));
  } else if (needed > owned_->capacity) {
    size_t grown = std::min(std::max(needed, 2 * size_t{owned_->capacity}), kMaxText);
    OwnedText* bigger = OwnedText::New(grown);
    bigger->size = owned_->size;
    bigger->start = owned_->start;
    std::memcpy(bigger->text(), owned_->text(), owned_->size);
    OwnedText::Delete(owned_);
    owned_ = bigger;
  }
  return *owned_;
}

TRegistro::TRegistro(int campos, std::string_view tipo) : layout_(std::make_shared<Layout>()) {
  ResizeFields(campos);
  DefineCampo(1, tipo, 'N', 2, 1, 2);
}

void TRegistro::ResizeFields(int campos) {
  if (campos < 0 || campos > kMaxFields) {
    throw std::length_error("Número de campos inválido para um registro do sintegra.");
  }
  Materialize();
  int before = FieldCount();
  // Dropped fields take their values with them; new fields start empty.
  if (owned_ != nullptr) {
    if (campos < before) owned_->size = owned_->start[campos];
    for (int k = before + 1; k <= campos; ++k) owned_->start[k] = owned_->start[before];
  }
  OwnLayout().resize(campos);
}

TRegistro::Layout& TRegistro::OwnLayout() {
  // A loaded record's values depend on the definitions: they are copied out first.
  Materialize();
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
  if (view_) {
    const FieldDefinition& d = (*layout_)[numero - 1];
    return ColumnValue({line_, line_size_}, d.Inicio, d.Tamanho);
  }
  if (owned_ == nullptr) return {};
  return owned_->view().substr(owned_->start[numero - 1],
                               owned_->start[numero] - owned_->start[numero - 1]);
}

TCampo TRegistro::Field(int numero) const {
  CheckNumber(numero);
  const FieldDefinition& d = (*layout_)[numero - 1];
  return {std::string(ValueView(numero)), d.Tamanho, d.Inicio, d.Fim, d.Formato};
}

void TRegistro::ReplaceValue(int numero, std::string_view valor) {
  Materialize();
  // A value taken from this very record is copied first: moving the tail would overwrite
  // it, and growing the block would free it.
  if (owned_ != nullptr && !valor.empty()) {
    std::less_equal<const char*> not_after;
    const char* text = owned_->text();
    if (not_after(text, valor.data()) && !not_after(text + owned_->capacity, valor.data())) {
      std::string copy(valor);
      ReplaceValue(numero, copy);
      return;
    }
  }
  size_t begin = owned_ != nullptr ? owned_->start[numero - 1] : 0;
  size_t end = owned_ != nullptr ? owned_->start[numero] : 0;
  size_t size = owned_ != nullptr ? owned_->size : 0;
  size_t new_size = size - (end - begin) + valor.size();
  if (new_size > kMaxText) throw std::length_error("Registro do sintegra grande demais.");
  if (owned_ == nullptr && valor.empty()) return;  // nothing held, nothing to hold
  OwnedText& owned = Reserve(new_size);
  char* text = owned.text();
  std::memmove(text + begin + valor.size(), text + end, size - end);
  if (!valor.empty()) std::memcpy(text + begin, valor.data(), valor.size());
  owned.size = static_cast<std::uint16_t>(new_size);
  int delta = static_cast<int>(valor.size()) - static_cast<int>(end - begin);
  for (int k = numero; k <= FieldCount(); ++k) {
    owned.start[k] = static_cast<std::uint16_t>(owned.start[k] + delta);
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
    std::string_view value =
        view_ ? ColumnValue({line_, line_size_}, d.Inicio, d.Tamanho)
              : (owned_ == nullptr ? std::string_view()
                                   : std::string_view(owned_->text() + owned_->start[k],
                                                      owned_->start[k + 1] - owned_->start[k]));
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
  bool ok = ::lseek(fd, 0, SEEK_END) >= 0 && common::write_all(fd, line);
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
  // The values are those the line's columns give, owned by the record: read as a loaded
  // record would read them, then copied out.
  ReleaseValues();
  line_ = linha.data();
  line_size_ = static_cast<std::uint32_t>(std::min<size_t>(linha.size(), UINT32_MAX));
  view_ = true;
  try {
    Materialize();
  } catch (...) {
    ReleaseValues();  // never left reading a line it does not keep
    throw;
  }
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

void TRegistro::DestroyInArena(void* record) noexcept {
  static_cast<TRegistro*>(record)->~TRegistro();
}

detail::RecordArena TRegistro::ArenaForLines(std::shared_ptr<const void> keep) {
  return detail::RecordArena(sizeof(TRegistro), alignof(TRegistro), &DestroyInArena,
                             std::move(keep));
}

std::shared_ptr<TRegistro> TRegistro::ViewOfLine(std::string_view linha,
                                                 detail::RecordArena& arena) {
  return WithRecordClass(KindOfLine(linha), [&](auto type) {
    using Record = typename decltype(type)::type;
    // Every slot of the arena has the base's size and alignment.
    static_assert(sizeof(Record) == sizeof(TRegistro) && alignof(Record) == alignof(TRegistro));
    return arena.Make<TRegistro>([&](void* slot) -> TRegistro* {
      // A copy of the blank definition allocates nothing; the values stay in the line.
      auto* record = new (slot) Record(Blank<Record>());
      record->line_ = linha.data();
      record->line_size_ = static_cast<std::uint32_t>(std::min<size_t>(linha.size(), UINT32_MAX));
      record->view_ = true;
      return record;
    });
  });
}

}  // namespace sintegra
