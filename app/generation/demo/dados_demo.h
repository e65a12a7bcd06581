#pragma once
// A month of records for a small shop, always the same for the same seed: an owner,
// products, invoices in and out of the state with their items (some with more than one
// tax rate) and inventory rows of the three possession codes. Used by the demo and the
// benchmark; written through the data module's stored procedures.
#include <cstdint>
#include <string>

namespace generation::demo {

struct TamanhoDemo {
  int notas = 200;
  int produtos = 300;
  int itens_por_nota_max = 6;  // each invoice has 1 to this many items
  int inventario = 120;        // inventory rows (first products)
};

struct ResumoDemo {
  int notas = 0;
  int itens = 0;
  int produtos = 0;
  int inventario = 0;
};

// Writes the data into the client base open in dmTributarium, for the month mes/ano.
// Throws store::DatabaseError when a write fails (the open work is rolled back).
ResumoDemo GeraDadosDemo(int ano, int mes, std::uint32_t semente = 1957,
                         const TamanhoDemo& tamanho = {});

// A CNPJ (14 digits) with valid check digits built from a 12-digit root.
std::string CnpjComDigitos(const std::string& raiz12);

}  // namespace generation::demo
