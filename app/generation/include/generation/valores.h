#pragma once
// Amounts as the database keeps them (digit strings with implied decimals) and as the
// records want them (whole cents). Arithmetic is done on integers so that a half cent
// always rounds the same way (away from zero).
#include <cstdint>
#include <stdexcept>
#include <string>

namespace generation {

// A text that is not a number where one is needed. The message names the text.
class ErroConversao : public std::runtime_error {
 public:
  explicit ErroConversao(const std::string& texto);
};

// The value of a text with two implied decimals, in cents: "1250" is 12.50, "" is 0, a
// text already carrying "," or "." is read as written ("12,5" is 12.50).
std::int64_t CentavosComCasas(const std::string& texto);

// An integer written in decimal (optional sign, digits only); anything else, the empty
// text too, raises ErroConversao.
std::int64_t Inteiro(const std::string& texto);

// Cents written as the records keep them: two implied decimals, at least one whole digit
// ("000" for zero, "005" for five cents, "1250" for 12.50).
std::string TextoCentavos(std::int64_t centavos);

// rate% of base, both in cents, rounded to the cent.
std::int64_t AplicaAliquota(std::int64_t aliquota_centavos, std::int64_t base_centavos);

// Quantity with three implied decimals times a unit value in cents, rounded to the cent:
// 1250 (1.25) x 333 (3.33) is 416.
std::int64_t ValorProduto(std::int64_t quantidade_milesimos, std::int64_t valor_centavos);

}  // namespace generation
