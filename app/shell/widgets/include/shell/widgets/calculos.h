#pragma once
// Amounts the editors compute, in storage form (digit strings with implied decimals).
#include <optional>
#include <string>

#include "store/firebird.h"

namespace shell {

// quantity (3 implied decimals) x price (2 implied decimals), rounded half up to 2
// decimals, in storage form ("12,50" is "1250", half a real is "050"). Nothing when either
// text is not a digit string.
std::optional<std::string> ValorProduto(const std::string& quantidade, const std::string& preco);

// Today's date from the program's clock.
store::Date Hoje();

}  // namespace shell
