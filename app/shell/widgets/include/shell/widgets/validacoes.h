#pragma once
// Field rules shared by every editor. Plain functions, no windows: the editors call
// them and show the messages.
#include <string>
#include <string_view>
#include <vector>

namespace shell {

// Whether a typed key (its Windows-1252 code) may reach a digits-only edit: control
// keys, digits, 127 and 255 pass; every other printable character is swallowed.
bool SomenteDigitos(int codigo);

// CNPJ check digits; accepts the 14 digits or the punctuated 18-character form.
bool ValidaCNPJ(std::string_view texto);

// Empty, or exactly ten digits once "-" and "." are removed and blanks trimmed.
bool ValidaTelefone(std::string_view texto);

// Empty, or exactly eight digits once "-" and "." are removed.
bool ValidaCEP(std::string_view texto);

// Only the digits of a text (the value of a masked edit).
std::string SoDigitos(std::string_view texto);

// Whether a text is non-empty and made of digits only.
bool SaoDigitos(std::string_view texto);

// The 27 state codes in the order every "Estado" list offers them.
const std::vector<std::string>& Estados();

}  // namespace shell
