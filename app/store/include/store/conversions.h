#pragma once
// Value conversions between display form (decimal comma) and storage form (digit
// strings with implied decimals), and the password digest.
#include <string>

namespace store {

// Storage to display: "123" with 2 decimals gives "1,23"; "5" gives "0,05"; "" gives
// "0,00" (or "0,000" with 3); a text already holding "," or "." is returned unchanged.
std::string FormataCasasDecimais(const std::string& texto, int casas);
// Display to storage: deletes the first ",", or when there is none the first ".".
std::string RemoveCasasDecimais(const std::string& texto);
// An amount with up to two decimals to a digit string with two implied decimals:
// "12" -> "1200", "12,5" -> "1250", "12,34" -> "1234".
std::string ValorSemVirgula(const std::string& texto);
// MD5 of the bytes as 32 lower-case hexadecimal digits.
std::string MD5(const std::string& bytes);
// The digest stored in SENHA for a password typed by the user (UTF-8): the MD5 of its
// Windows-1252 bytes, the form every stored digest has.
std::string DigestoSenha(const std::string& senha);

}  // namespace store
