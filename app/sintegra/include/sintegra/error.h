#pragma once
// The one error type of the Sintegra model and builder. Its text is UTF-8, ready for the
// person who reads it; the record values themselves stay Windows-1252.
#include <stdexcept>
#include <string>

namespace sintegra {

inline constexpr const char kValueTooLong[] = "Tamanho do valor maior que o permitido pelo campo.";
inline constexpr const char kInvalidFieldKind[] =
    "Formato do valor inválido para um campo do sintegra.";
inline constexpr const char kInvalidRecordType[] = "Tipo do registro inválido.";
inline constexpr const char kWriteFailed[] = "Falha na gravação no arquivo do Sintegra.";

class SintegraError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace sintegra
