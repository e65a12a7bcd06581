#pragma once
// What the import takes from the point-of-sale program's tables, without windows: the
// owner values of Qzaprm, the product list of Qzapro with the rates of Qzatrb, and the
// insertion of the chosen products. The windows and tributarium-cli both call these.
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "shell/import/dbase.h"
#include "store/entities.h"

namespace shell::caixoro {

inline constexpr const char* kTabelaDono = "Qzaprm.dbf";
inline constexpr const char* kTabelaProdutos = "Qzapro.dbf";
inline constexpr const char* kTabelaTributos = "Qzatrb.dbf";

// The thirteen owner values, as text, from the first record of Qzaprm.
class TClienteCaixoro {
 public:
  explicit TClienteCaixoro(std::filesystem::path pasta);
  // Reads the first record. False when the table has no record (the values stay empty).
  // A missing table or field raises dbase::ErroDbf.
  bool Carregar();
  // The same from a table already read (the fields of CamposDono()).
  bool Carregar(const dbase::Tabela& prm);

  std::string CNPJ, IE, RazaoSocial, Cidade, Estado, Logradouro, Numero, Bairro, Complemento, CEP,
      Contato, Telefone, Fax;
  // Values that could not be taken as read, one sentence each (a "Número" that is not a
  // number becomes "0").
  std::vector<std::string> Avisos;

 private:
  std::filesystem::path pasta_;
};

const std::vector<std::string>& CamposDono();
const std::vector<std::string>& CamposProdutos();
const std::vector<std::string>& CamposTributos();

// A product read from Qzapro. `produto` holds the values as the selection window shows
// them (display form: quantity with 3 decimals, price with PRO_CASAD decimals, rate with
// 2); the storage forms the insert writes are kept beside them, the price rounded to the
// column's 2 decimals.
struct ProdutoLido {
  store::TProduto produto;
  std::string quantidade, preco, aliquota;  // storage form
  int registro = 0;                         // record number in Qzapro (from 1)
};

// The product list from the tables. progresso(i) is told each record's index (from 0).
// Rows that cannot be imported as they stand (a PLU that is empty, not a number, longer
// than 13 digits or repeated; a PRO_CASAD below 0 or above 4; a number filled with '*')
// raise dbase::ErroDbf naming every such record (the first ten): nothing is imported
// from a table that does not read cleanly.
std::vector<ProdutoLido> MontaProdutos(const dbase::Tabela& pro, const dbase::Tabela& trb,
                                       const std::function<void(int)>& progresso = {});

// Reads Qzapro and Qzatrb of the folder and builds the list.
std::vector<ProdutoLido> LeProdutos(const std::filesystem::path& pasta,
                                    const std::function<void(int)>& progresso = {});

// The display texts of a product read from Qzapro, as the list shows them.
store::TListaProdutos SoProdutos(const std::vector<ProdutoLido>& lista);

struct ResultadoImportacao {
  int escolhidos = 0;
  int importados = 0;        // committed to the base
  int recusados = 0;         // refused by the database (message given per product)
  int desfeitos = 0;         // written, then undone with their batch when it could not commit
  std::string interrompida;  // the error that ended the import early, empty when none
};

// Products committed together: one commit per product made a large import crawl, one
// for the whole run would lose all of it to a late failure.
inline constexpr int kProdutosPorLote = 1000;

// Inserts every product whose flag is set, in list order, committing them in batches of
// `lote`. A database refusal (TEBancoDados) is undone alone and told to recusado with its
// message filled with the description, and the import goes on; any other error ends it
// (interrompida) after committing what went in before it. recusado and importado are
// told, in list order, once the batch holding the product has committed, so a product
// reported as imported is in the base; a batch that cannot commit keeps none of its
// products (desfeitos) and ends the import. progresso(i) after each index.
ResultadoImportacao ImportaProdutos(
    const std::vector<ProdutoLido>& lista, const store::TListaSelecao& selecao,
    const std::function<void(int)>& progresso = {},
    const std::function<void(const ProdutoLido&, const std::string&)>& recusado = {},
    const std::function<void(const ProdutoLido&)>& importado = {}, int lote = kProdutosPorLote);

// The first n characters of a UTF-8 text.
std::string Primeiros(const std::string& s, std::size_t n);

}  // namespace shell::caixoro
