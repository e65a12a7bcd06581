#include "sintegra/registros.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "sintegra/error.h"

namespace sintegra {

// Each definition: DefineCampo(number, initial value, kind, last column, first column,
// width), in field order; the columns run 1-126 without gaps. It runs once per class; the
// records of the class start as copies of its result.

TRegTipo10::TRegTipo10() : TRegistro(Defined<TRegTipo10>()) {}

TRegTipo10::TRegTipo10(DefinitionTag) : TRegistro(12, "10") {
  DefineCampo(2, "", 'N', 16, 3, 14);     // CNPJ
  DefineCampo(3, "", 'X', 30, 17, 14);    // state registration
  DefineCampo(4, "", 'X', 65, 31, 35);    // taxpayer's name
  DefineCampo(5, "", 'X', 95, 66, 30);    // municipality
  DefineCampo(6, "", 'X', 97, 96, 2);     // state
  DefineCampo(7, "", 'N', 107, 98, 10);   // fax
  DefineCampo(8, "", 'N', 115, 108, 8);   // first day of the period
  DefineCampo(9, "", 'N', 123, 116, 8);   // last day of the period
  DefineCampo(10, "", 'X', 124, 124, 1);  // layout agreement code
  DefineCampo(11, "", 'X', 125, 125, 1);  // nature of the operations
  DefineCampo(12, "", 'X', 126, 126, 1);  // purpose of the file
}

TRegTipo11::TRegTipo11() : TRegistro(Defined<TRegTipo11>()) {}

TRegTipo11::TRegTipo11(DefinitionTag) : TRegistro(8, "11") {
  DefineCampo(2, "", 'X', 36, 3, 34);     // street
  DefineCampo(3, "", 'N', 41, 37, 5);     // number
  DefineCampo(4, "", 'X', 63, 42, 22);    // complement
  DefineCampo(5, "", 'X', 78, 64, 15);    // district
  DefineCampo(6, "", 'N', 86, 79, 8);     // postal code
  DefineCampo(7, "", 'X', 114, 87, 28);   // contact person
  DefineCampo(8, "", 'N', 126, 115, 12);  // telephone
}

TRegTipo50::TRegTipo50() : TRegistro(Defined<TRegTipo50>()) {}

TRegTipo50::TRegTipo50(DefinitionTag) : TRegistro(17, "50") {
  DefineCampo(2, "", 'N', 16, 3, 14);      // CNPJ of the other party
  DefineCampo(3, "", 'X', 30, 17, 14);     // its state registration
  DefineCampo(4, "", 'N', 38, 31, 8);      // date of issue or receipt
  DefineCampo(5, "", 'X', 40, 39, 2);      // state
  DefineCampo(6, "", 'N', 42, 41, 2);      // document model
  DefineCampo(7, "", 'X', 45, 43, 3);      // series
  DefineCampo(8, "", 'N', 51, 46, 6);      // invoice number
  DefineCampo(9, "", 'N', 55, 52, 4);      // CFOP
  DefineCampo(10, "", 'X', 56, 56, 1);     // issuer
  DefineCampo(11, "", 'N', 69, 57, 13);    // total value
  DefineCampo(12, "", 'N', 82, 70, 13);    // ICMS base
  DefineCampo(13, "", 'N', 95, 83, 13);    // ICMS value
  DefineCampo(14, "", 'N', 108, 96, 13);   // exempt or non-taxed value
  DefineCampo(15, "", 'N', 121, 109, 13);  // other values
  DefineCampo(16, "", 'N', 125, 122, 4);   // ICMS rate
  DefineCampo(17, "", 'X', 126, 126, 1);   // situation
}

TRegTipo54::TRegTipo54() : TRegistro(Defined<TRegTipo54>()) {}

TRegTipo54::TRegTipo54(DefinitionTag) : TRegistro(16, "54") {
  DefineCampo(2, "", 'N', 16, 3, 14);      // CNPJ of the other party
  DefineCampo(3, "", 'N', 18, 17, 2);      // document model
  DefineCampo(4, "", 'X', 21, 19, 3);      // series
  DefineCampo(5, "", 'N', 27, 22, 6);      // invoice number
  DefineCampo(6, "", 'N', 31, 28, 4);      // CFOP
  DefineCampo(7, "", 'X', 34, 32, 3);      // tax situation code
  DefineCampo(8, "", 'N', 37, 35, 3);      // item number
  DefineCampo(9, "", 'X', 51, 38, 14);     // product code
  DefineCampo(10, "", 'N', 62, 52, 11);    // quantity
  DefineCampo(11, "", 'N', 74, 63, 12);    // product value
  DefineCampo(12, "", 'N', 86, 75, 12);    // discount or accessory expense
  DefineCampo(13, "", 'N', 98, 87, 12);    // ICMS base
  DefineCampo(14, "", 'N', 110, 99, 12);   // ICMS base for tax substitution
  DefineCampo(15, "", 'N', 122, 111, 12);  // IPI value
  DefineCampo(16, "", 'N', 126, 123, 4);   // ICMS rate
}

void TRegTipo54::SetSituationCode(std::string_view v) {
  std::string code(v);
  if (code.size() < 3) code.insert(0, 3 - code.size(), '0');
  AtribuiValor(7, code);
}

TRegTipo60::TRegTipo60(int campos, std::string_view subtipo) : TRegistro(4, "60") {
  DefineCampo(2, "", 'X', 3, 3, 1);     // subtype
  DefineCampo(3, "", 'N', 11, 4, 8);    // date of issue
  DefineCampo(4, "", 'X', 31, 12, 20);  // serial number of the ECF
  ResizeFields(campos);
  AtribuiValor(2, subtipo);
}

TRegTipo60M::TRegTipo60M() : TRegTipo60(Defined<TRegTipo60M>()) {}

TRegTipo60M::TRegTipo60M(DefinitionTag) : TRegTipo60(13, "M") {
  DefineCampo(5, "", 'N', 34, 32, 3);     // ECF order number
  DefineCampo(6, "", 'N', 36, 35, 2);     // document model
  DefineCampo(7, "", 'N', 42, 37, 6);     // operation counter at the start of the day
  DefineCampo(8, "", 'N', 48, 43, 6);     // operation counter at the end of the day
  DefineCampo(9, "", 'N', 54, 49, 6);     // Z-reduction counter
  DefineCampo(10, "", 'N', 57, 55, 3);    // restart counter
  DefineCampo(11, "", 'N', 73, 58, 16);   // gross sales totaliser
  DefineCampo(12, "", 'N', 89, 74, 16);   // grand total
  DefineCampo(13, "", 'X', 126, 90, 37);  // blanks
}

TRegTipo60A::TRegTipo60A() : TRegTipo60(Defined<TRegTipo60A>()) {}

TRegTipo60A::TRegTipo60A(DefinitionTag) : TRegTipo60(7, "A") {
  DefineCampo(5, "", 'X', 35, 32, 4);    // tax situation or rate
  DefineCampo(6, "", 'N', 47, 36, 12);   // accumulated value
  DefineCampo(7, "", 'X', 126, 48, 79);  // blanks
}

TRegTipo60D::TRegTipo60D() : TRegTipo60(Defined<TRegTipo60D>()) {}

TRegTipo60D::TRegTipo60D(DefinitionTag) : TRegTipo60(11, "D") {
  DefineCampo(5, "", 'X', 45, 32, 14);     // product code
  DefineCampo(6, "", 'N', 58, 46, 13);     // quantity
  DefineCampo(7, "", 'N', 74, 59, 16);     // value of the goods
  DefineCampo(8, "", 'N', 90, 75, 16);     // ICMS base
  DefineCampo(9, "", 'X', 94, 91, 4);      // tax situation or rate
  DefineCampo(10, "", 'N', 107, 95, 13);   // ICMS value
  DefineCampo(11, "", 'X', 126, 108, 19);  // blanks
}

TRegTipo60I::TRegTipo60I() : TRegTipo60(Defined<TRegTipo60I>()) {}

TRegTipo60I::TRegTipo60I(DefinitionTag) : TRegTipo60(14, "I") {
  DefineCampo(5, "", 'X', 33, 32, 2);      // document model
  DefineCampo(6, "", 'N', 39, 34, 6);      // document order number
  DefineCampo(7, "", 'N', 42, 40, 3);      // item number
  DefineCampo(8, "", 'X', 56, 43, 14);     // product code
  DefineCampo(9, "", 'N', 69, 57, 13);     // quantity
  DefineCampo(10, "", 'N', 82, 70, 13);    // value of the goods
  DefineCampo(11, "", 'N', 94, 83, 12);    // ICMS base
  DefineCampo(12, "", 'X', 98, 95, 4);     // tax situation or rate
  DefineCampo(13, "", 'N', 110, 99, 12);   // ICMS value
  DefineCampo(14, "", 'X', 126, 111, 16);  // blanks
}

TRegTipo60R::TRegTipo60R() : TRegistro(Defined<TRegTipo60R>()) {}

TRegTipo60R::TRegTipo60R(DefinitionTag) : TRegistro(9, "60") {
  DefineCampo(2, "R", 'X', 3, 3, 1);     // subtype
  DefineCampo(3, "", 'N', 9, 4, 6);      // month and year
  DefineCampo(4, "", 'X', 23, 10, 14);   // product code
  DefineCampo(5, "", 'N', 36, 24, 13);   // quantity
  DefineCampo(6, "", 'N', 52, 37, 16);   // value of the goods
  DefineCampo(7, "", 'N', 68, 53, 16);   // ICMS base
  DefineCampo(8, "", 'X', 72, 69, 4);    // tax situation or rate
  DefineCampo(9, "", 'X', 126, 73, 54);  // blanks
}

TRegTipo74::TRegTipo74() : TRegistro(Defined<TRegTipo74>()) {}

TRegTipo74::TRegTipo74(DefinitionTag) : TRegistro(10, "74") {
  DefineCampo(2, "", 'N', 10, 3, 8);      // inventory date
  DefineCampo(3, "", 'X', 24, 11, 14);    // product code
  DefineCampo(4, "", 'N', 37, 25, 13);    // quantity
  DefineCampo(5, "", 'N', 50, 38, 13);    // value of the product
  DefineCampo(6, "", 'X', 51, 51, 1);     // possession code
  DefineCampo(7, "", 'N', 65, 52, 14);    // CNPJ of the possessor or owner
  DefineCampo(8, "", 'X', 79, 66, 14);    // its state registration
  DefineCampo(9, "", 'X', 81, 80, 2);     // its state
  DefineCampo(10, "", 'X', 126, 82, 45);  // blanks
}

TRegTipo75::TRegTipo75() : TRegistro(Defined<TRegTipo75>()) {}

TRegTipo75::TRegTipo75(DefinitionTag) : TRegistro(11, "75") {
  DefineCampo(2, "", 'N', 10, 3, 8);       // start of validity
  DefineCampo(3, "", 'N', 18, 11, 8);      // end of validity
  DefineCampo(4, "", 'X', 32, 19, 14);     // product code
  DefineCampo(5, "", 'X', 40, 33, 8);      // NCM code
  DefineCampo(6, "", 'X', 93, 41, 53);     // description
  DefineCampo(7, "", 'X', 99, 94, 6);      // unit of measure
  DefineCampo(8, "", 'N', 104, 100, 5);    // IPI rate
  DefineCampo(9, "", 'N', 108, 105, 4);    // ICMS rate
  DefineCampo(10, "", 'N', 113, 109, 5);   // reduction of the ICMS base
  DefineCampo(11, "", 'N', 126, 114, 13);  // ICMS base for tax substitution
}

TRegTipo90::TRegTipo90() : TRegistro(Defined<TRegTipo90>()) {}

TRegTipo90::TRegTipo90(DefinitionTag) : TRegistro(16, "90") {
  DefineCampo(2, "", 'N', 16, 3, 14);   // CNPJ
  DefineCampo(3, "", 'X', 30, 17, 14);  // state registration
  // Fields 4 and 5 stay undefined and write nothing.
  for (int numero = kFirstTotalField; numero <= kLastTotalField; ++numero) {
    int inicio = 31 + (numero - kFirstTotalField) * 10;
    DefineCampo(numero, "", 'X', inicio + 9, inicio, 10);  // total slot
  }
  DefineCampo(15, "", 'X', 125, 121, 5);  // blanks
  DefineCampo(16, "", 'N', 126, 126, 1);  // number of type-90 lines
}

void TRegTipo90::AtribuiTotal(int numero, const TContador& contador) {
  std::string tipo = contador.Tipo;
  if (tipo.size() < 2) tipo.insert(0, 2 - tipo.size(), '0');
  std::string total = std::to_string(contador.Total);
  if (total.size() < 8) total.insert(0, 8 - total.size(), '0');
  AtribuiValor(numero, tipo + total);
}

TContador TRegTipo90::ObtemTotal(int numero) const {
  const std::string valor = ObtemValor(numero);
  TContador contador;
  contador.Tipo = valor.substr(0, 2);
  if (valor.size() > 2) {
    // Only a plain decimal integer that fits counts; anything else reads as 0.
    std::string digits = valor.substr(2);
    size_t i = (digits[0] == '-' || digits[0] == '+') ? 1 : 0;
    bool valid = i < digits.size();
    for (size_t k = i; valid && k < digits.size(); ++k) {
      valid = digits[k] >= '0' && digits[k] <= '9';
    }
    if (valid) {
      errno = 0;
      long long value = std::strtoll(digits.c_str(), nullptr, 10);
      if (errno == 0 && value >= std::numeric_limits<std::int32_t>::min() &&
          value <= std::numeric_limits<std::int32_t>::max()) {
        contador.Total = static_cast<std::int32_t>(value);
      }
    }
  }
  return contador;
}

void TRegTipo90::AdicionaTotal(const TContador& contador) {
  for (int numero = kFirstTotalField; numero < kLastTotalField; ++numero) {
    if (ObtemTotal(numero).Tipo.empty()) {
      AtribuiTotal(numero, contador);
      return;
    }
  }
  AtribuiTotal(kLastTotalField, contador);
}

}  // namespace sintegra
