#pragma once
// Check digits and codes of the identities a Sintegra file carries: CNPJ, CPF, the state
// registration (IE) of each of the 27 states, the state codes, the CEP and the CFOP table.
// Every function takes the text as it stands in the file (Windows-1252, blanks trimmed by
// the caller) and answers yes or no; none raises.
#include <string>
#include <string_view>

namespace sintegra {

// 14 digits whose two check digits agree (modulus 11, weights 2 to 9); fourteen zeros are
// not a CNPJ.
bool CnpjValido(std::string_view cnpj);

// 11 digits whose two check digits agree; eleven equal digits are not a CPF.
bool CpfValido(std::string_view cpf);

// One of the 27 state codes (AC ... TO).
bool UfValida(std::string_view uf);

// The state registration of the state, digits only as the file holds it (São Paulo's
// rural producers begin with P). "ISENTO" is accepted for any state. An unknown state
// answers no.
bool InscricaoEstadualValida(std::string_view uf, std::string_view ie);

// The registration without the punctuation people type (. - / and blanks), upper case:
// what the file would hold for it.
std::string IeSemPontuacao(std::string_view ie);

// A registration of the state with valid check digits, drawn from the number given (the
// same number gives the same registration): demo and benchmark data. Empty for an unknown
// state.
std::string SorteiaInscricaoEstadual(std::string_view uf, unsigned long long numero);

// 8 digits, not all zero.
bool CepValido(std::string_view cep);

// The CFOP exists in the table of fiscal operation codes (entries 1xxx, 2xxx, 3xxx; exits
// 5xxx, 6xxx, 7xxx).
bool CfopExiste(int cfop);

}  // namespace sintegra
