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
}  // namespace detail

class TRegistro;

// References to records. Lists handed out by a collection share its records rather than
// copy them, so a record may sit in an import collection and an output collection at once.
using TListaRegistros = std::vector<std::shared_ptr<TRegistro>>;

class TRegistro {
 public:
  // The most fields a record can have (the largest record type has 17).
  static constexpr int kMaxFields = 24;

  virtual ~TRegistro();
  // A copy owns its values, even when the original still reads them from a loaded line.
  TRegistro(const TRegistro& other);
  TRegistro& operator=(const TRegistro& other);

  // The longest text the values of one record may add up to.
  static constexpr size_t kMaxText = UINT16_MAX;

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

  // Used to load whole files: a record of the line's kind built in the arena, which reads
  // its values from the line in place until it first changes. The line must stay as it is
  // while the arena's chunks live (the arena keeps the loaded bytes for that).
  static std::shared_ptr<TRegistro> ViewOfLine(std::string_view linha,
                                               detail::RecordArena& arena);
  // An arena for ViewOfLine whose chunks keep keep alive.
  static detail::RecordArena ArenaForLines(std::shared_ptr<const void> keep);

  // Whether the record still reads its values from a loaded line.
  bool ReadsLoadedLine() const { return view_; }

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
  // The definition without values: copying it allocates nothing (loaded records start so).
  template <typename T>
  static const T& Blank() {
    static const T blank = [] {
      T copy(Defined<T>());
      copy.ReleaseValues();
      return copy;
    }();
    return blank;
  }

 private:
  struct FieldDefinition {
    int Tamanho = 0;
    int Inicio = 0;
    int Fim = 0;
    char Formato = '\0';
  };
  using Layout = std::vector<FieldDefinition>;

  // The values of a record that does not read them from a line: field k is
  // text()[start[k-1], start[k]) (defined with the record).
  struct OwnedText;

  void CheckNumber(int numero) const;
  Layout& OwnLayout();
  void ReplaceValue(int numero, std::string_view valor);
  void FillFromLine(std::string_view linha);
  // A loaded record copies its values out of its line before anything changes.
  void Materialize();
  // Makes room for a text of needed characters in the owned values.
  OwnedText& Reserve(size_t needed);
  size_t SumOfWidths() const;
  static OwnedText* CopyValues(const TRegistro& from);
  void ReleaseValues() noexcept;
  static void DestroyInArena(void* record) noexcept;

  // The field definitions are shared by all records of a class until one is redefined (a
  // record that does not own them alone, or refers to them uncounted, copies them first).
  // A loaded record reads its values from its line (line_, line_size_ characters) while
  // view_ holds; every other record holds them in owned_, or none while it is null.
  std::shared_ptr<Layout> layout_;
  union {
    const char* line_;
    OwnedText* owned_ = nullptr;
  };
  std::uint32_t line_size_ = 0;
  bool view_ = false;
};

}  // namespace sintegra
