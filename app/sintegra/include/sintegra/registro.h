#pragma once
// The record model: a record is an ordered list of fixed-width fields that renders itself
// as one 126-character line and can be rebuilt from a line read back.
//
// Values are Windows-1252 bytes, as they land in the file; widths count those bytes.
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sintegra/tipos.h"

namespace sintegra {

// One field of a record.
struct TCampo {
  std::string Valor;    // as set, without fill characters
  int Tamanho = 0;      // width in characters
  int Inicio = 0;       // first column, counted from 1
  int Fim = 0;          // last column
  char Formato = '\0';  // 'N' numeric, 'X' alphanumeric (lower case accepted); '\0' none
};

namespace detail {

class RecordArena;

// The values of one record, one after another. Every record type's values fit inside the
// record, so filling and parsing a record allocate nothing more; a longer text (only an
// unusual definition makes one) moves to the heap.
class ValueText {
 public:
  // A record's line without its end: every record type's values fit.
  static constexpr size_t kInline = 126;
  // The longest text a record holds.
  static constexpr size_t kMaxSize = UINT16_MAX;

  ValueText() = default;
  ValueText(const ValueText& other) { assign(other.view()); }
  ValueText& operator=(const ValueText& other) {
    if (this != &other) assign(other.view());
    return *this;
  }
  ~ValueText() {
    if (on_heap()) delete[] heap();
  }

  size_t size() const { return size_; }
  const char* data() const { return on_heap() ? heap() : inline_; }
  std::string_view view() const { return {data(), size_}; }

  void assign(std::string_view v) { replace(0, size_, v); }
  // Drops the text and returns room for n characters, to be written in place and then
  // sized with set_size.
  char* overwrite(size_t n);
  void set_size(size_t n) { size_ = static_cast<std::uint16_t>(n); }
  // Replaces len characters at pos with v (v may point into this text).
  void replace(size_t pos, size_t len, std::string_view v);

 private:
  bool on_heap() const { return heap_capacity_ != 0; }
  // Once the text moved to the heap, the inline room holds the pointer to it.
  char* heap() const {
    char* p;
    std::memcpy(&p, inline_, sizeof p);
    return p;
  }
  void set_heap(char* p, size_t capacity);
  char* mutable_data() { return on_heap() ? heap() : inline_; }
  size_t capacity() const { return on_heap() ? heap_capacity_ : kInline; }
  void reserve(size_t n);

  // Kept small: a loaded file holds a million records.
  std::uint16_t size_ = 0;
  std::uint16_t heap_capacity_ = 0;  // 0 while the text sits inline
  char inline_[kInline];
};

}  // namespace detail

class TRegistro;

// References to records. Lists handed out by a collection share its records rather than
// copy them, so a record may sit in an import collection and an output collection at once.
using TListaRegistros = std::vector<std::shared_ptr<TRegistro>>;

class TRegistro {
 public:
  // The most fields a record can have (the largest record type has 17).
  static constexpr int kMaxFields = 24;

  virtual ~TRegistro() = default;
  TRegistro(const TRegistro&) = default;
  TRegistro& operator=(const TRegistro&) = default;

  // Stores the five members of field numero (counted from 1). A kind other than N, n, X, x
  // is refused with kInvalidFieldKind after the other members were stored.
  void DefineCampo(int numero, std::string_view valor_inicial, char formato, int fim, int inicio,
                   int tamanho);

  // Sets a field's value with trailing blanks and control characters removed. A value
  // wider than the field is refused with kValueTooLong and the field keeps its old value.
  void AtribuiValor(int numero, std::string_view valor);

  // The stored value, without fill characters.
  std::string ObtemValor(int numero) const { return std::string(ValueView(numero)); }

  // The same value without a copy; valid until the record changes.
  std::string_view ValueView(int numero) const;

  // Field 1: the two-digit record type.
  std::string Tipo() const { return ObtemValor(1); }

  // Appends the rendered line to the file, creating the file when missing. Failures raise
  // kWriteFailed (with the system's reason when the file cannot be opened).
  void GravaLinha(const std::filesystem::path& arquivo) const;

  // The line GravaLinha writes: every field filled to its width, then CR LF.
  std::string RenderLine() const;
  void AppendRenderedLine(std::string& out) const;

  int FieldCount() const { return static_cast<int>(layout_->size()); }
  // A copy of field numero with its value.
  TCampo Field(int numero) const;

  // A new record of the class that belongs to the kind; other values are refused with
  // kInvalidRecordType.
  static std::unique_ptr<TRegistro> CriaRegistro(TTipoRegistros tipo);

  // A new record of the kind named by the line's first characters, each field set from
  // its columns. An unknown type is refused with kInvalidRecordType.
  static std::unique_ptr<TRegistro> CriaRegistroDaLinha(std::string_view linha);
  // The same, made to be shared by collections (one allocation less per record).
  static std::shared_ptr<TRegistro> SharedFromLine(std::string_view linha);
  // The same, the record's memory taken from the arena (used to load whole files).
  static std::shared_ptr<TRegistro> SharedFromLine(std::string_view linha,
                                                   detail::RecordArena& arena);

 protected:
  // Sizes the field list, defines field 1 (N, columns 1-2) and sets it to the type digits.
  TRegistro(int campos, std::string_view tipo);
  // Grows the field list to campos entries; the new ones stay undefined.
  void ResizeFields(int campos);

  // Each record class defines its fields once, in a constructor taking this tag, and
  // every other record of the class starts as a copy of that one.
  struct DefinitionTag {};
  template <typename T>
  static const T& Defined() {
    // The field definitions last until the program ends, so the records copied from the
    // definition refer to them without counting references (a count shared by a million
    // loaded records is a cost of its own).
    static const T owner{DefinitionTag{}};
    static const T definition = owner.template WithUncountedLayout<T>();
    return definition;
  }
  template <typename T>
  T WithUncountedLayout() const {
    T copy(static_cast<const T&>(*this));
    copy.layout_ = std::shared_ptr<Layout>(std::shared_ptr<Layout>(), layout_.get());
    return copy;
  }

 private:
  struct FieldDefinition {
    int Tamanho = 0;
    int Inicio = 0;
    int Fim = 0;
    char Formato = '\0';
  };
  using Layout = std::vector<FieldDefinition>;

  void CheckNumber(int numero) const;
  Layout& OwnLayout();
  void ReplaceValue(int numero, std::string_view valor);
  void FillFromLine(std::string_view linha);

  // The field definitions are shared by all records of a class until one is redefined (a
  // record that does not own them alone, or refers to them uncounted, copies them first);
  // the values sit one after another in text_, field k at [start_[k-1], start_[k]).
  std::shared_ptr<Layout> layout_;
  detail::ValueText text_;
  std::array<std::uint16_t, kMaxFields + 1> start_{};
};

}  // namespace sintegra
