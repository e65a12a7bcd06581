#pragma once
// Record kinds, kind selections and the trailer counters.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sintegra {

// The values travel as one byte (the generation options hand them to the worker).
enum class TTipoRegistros : std::uint8_t {
  Tipo10 = 0,
  Tipo11 = 1,
  Tipo50 = 2,
  Tipo54 = 3,
  Tipo60A = 4,
  Tipo60D = 5,
  Tipo60I = 6,
  Tipo60M = 7,
  Tipo60R = 8,
  Tipo74 = 9,
  Tipo75 = 10,
  Tipo90 = 11,
  TipoInvalido = 12,
};

// The selection of record kinds to generate.
using TListaTipoRegistros = std::vector<TTipoRegistros>;

// One total of the type-90 trailer: the two-character type counted and its count.
struct TContador {
  std::string Tipo;
  std::int32_t Total = 0;
};

// Every valid kind, in the order of their values.
inline constexpr std::array<TTipoRegistros, 12> kAllRecordKinds = {
    TTipoRegistros::Tipo10,  TTipoRegistros::Tipo11,  TTipoRegistros::Tipo50,
    TTipoRegistros::Tipo54,  TTipoRegistros::Tipo60A, TTipoRegistros::Tipo60D,
    TTipoRegistros::Tipo60I, TTipoRegistros::Tipo60M, TTipoRegistros::Tipo60R,
    TTipoRegistros::Tipo74,  TTipoRegistros::Tipo75,  TTipoRegistros::Tipo90};

// What a record of the kind holds in field 1 and, for the ECF kinds, in field 2.
struct RecordKindCode {
  std::string_view type;     // "10" ... "90"; empty for TipoInvalido
  std::string_view subtype;  // "M", "A", "D", "I", "R" for the ECF kinds, otherwise empty
};
RecordKindCode KindCode(TTipoRegistros kind);

// The kind as people write it: "10", "50", "60M", "60R", "90"; empty for TipoInvalido.
std::string KindName(TTipoRegistros kind);

// The kind written as KindName writes it; nothing for any other text.
std::optional<TTipoRegistros> KindFromName(std::string_view name);

// The kind of a file line from its first three characters (exact, case-sensitive);
// TipoInvalido when they name none.
TTipoRegistros KindOfLine(std::string_view line);

}  // namespace sintegra
