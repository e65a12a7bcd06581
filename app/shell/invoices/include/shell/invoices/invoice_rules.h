#pragma once
// Rules of the invoice editors without windows: models, series forms, the totals.
#include <optional>
#include <string>
#include <vector>

namespace shell {

// The entries of "Modelo" in order, and the number each stores.
const std::vector<std::string>& Modelos();
int NumeroModelo(const std::string& entrada);  // 0 for an unknown entry
// The entry that shows a stored number: at least two digits ("01" for 1).
std::string TextoModelo(int numero);

struct Serie {
  bool unica = false;
  std::string texto;
};
// The stored form: a single series is "U" + text when the text is a whole number,
// otherwise text + "U"; a normal series is the text trimmed.
std::string SerieArmazenada(const Serie& s);
// Reads a stored series back. Only the forms SerieArmazenada writes for a single series
// (at most 2 characters beside the "U") read as single; any other text is a normal
// series, unchanged.
Serie LeSerie(const std::string& armazenada);

// What the totals read from one item (storage form, 2 implied decimals).
struct ValoresItem {
  std::string base, desconto, ipi, substituicao, aliquota;
};

struct Totais {
  std::string base_icms, valor_icms, valor_total;  // storage form, 2 decimals
  std::string aliquota;                            // the last item's rate text
};

// The invoice totals: for each item net = base - discount, total += net + IPI, ICMS +=
// the substitution base when it is not 0, else net x rate; then total += exempt + other
// amounts. Integer cents throughout, the ICMS rounded once at the end (half away from
// zero). A text that is not a number counts 0.
Totais CalculaTotais(const std::vector<ValoresItem>& itens, const std::string& isento,
                     const std::string& outros);

// A whole amount of cents as display text with 2 decimals ("-12,34", "0,05").
std::string TextoCentavos(long long centavos);
// The cents of a storage-form text (digits, an optional leading '-'); nothing when it is
// not one.
std::optional<long long> Centavos(const std::string& armazenado);

// The item number to propose for another item of an invoice whose items hold `usados`:
// one past the largest, or, when that does not fit the field (`maximo`), the smallest
// number from 1 that is free; nothing when every number is taken.
std::optional<int> ProximoNumeroItem(const std::vector<int>& usados, int maximo = 999);

}  // namespace shell
