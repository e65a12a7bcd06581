#pragma once
// One small class per kind of record: the values of one row, the write operations
// through the stored procedures, a few lookups, and the refresh of the query that
// shows the table. Every class works on dmTributarium. Texts are UTF-8 in storage
// form (digit strings without separators, see conversions.h).
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/firebird.h"

namespace store {

class TdmTributarium;

// The program's general error: a Portuguese message meant for the user.
class Erro : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A database error shaped for the user. The message keeps its "%s" for the caller to
// fill (MensagemCom). Code -803: value already stored; 119: a value longer than its
// column; -913: a row another desk is changing (kRegistroEmUso); any other code: the
// general message.
class TEBancoDados : public Erro {
 public:
  explicit TEBancoDados(int codigo);
  // From an engine error: -803 for a unique violation, 119 for a string truncation,
  // -913 for a lock conflict, otherwise its SQLCODE.
  static TEBancoDados De(const DatabaseError& e);
  int ErrorCode() const { return codigo_; }
  // The message with its "%s" replaced by item.
  std::string MensagemCom(const std::string& item) const;
  // The three messages, "%s" left in.
  static std::string Mensagem(int codigo);

 private:
  int codigo_;
};

// Said when a write meets a row that another connection has changed and not yet
// committed. The data transaction does not wait for it: the write is undone, nothing
// is lost, and the same write may simply be tried again.
inline constexpr const char* kRegistroEmUso = "Registro em uso por outro usuário. Tente novamente.";
inline constexpr int kCodigoRegistroEmUso = -913;
// True when the engine refused a write because another transaction holds the row.
bool RegistroEmUso(const DatabaseError& e);

// Log line patterns: "%s - Sucesso! %s" and "%s - Falha: %s".
std::string LinhaSucesso(const std::string& prefixo, const std::string& detalhe = "");
std::string LinhaFalha(const std::string& prefixo, const std::string& detalhe = "");

// Client base (catalogue). The file side (copying the template folder, removing a
// base's folder) belongs to the windows, which plug it in as CopiaArquivos and
// RemoveArquivos; it runs inside the catalogue transaction, so a failed copy or
// removal rolls the row back.
class TBaseDados {
 public:
  TBaseDados(int id, void* janela, const std::string& path, const std::string& nome);
  int ID_BASE_DADOS;
  std::string NOME_CLIENTE;
  std::string PATH;
  void* Janela;  // the window that owns file-operation dialogs (not used here)

  // Copies the template folder into PATH; false on failure. Needed by Inserir(true).
  std::function<bool(const TBaseDados&)> CopiaArquivos;
  // Removes the base's files; false on failure. Without it Excluir leaves the files.
  std::function<bool(const TBaseDados&)> RemoveArquivos;

  // INSERIR_BASE. When nova_base, PATH becomes PATH + "/" + NOME_CLIENTE and the
  // template is copied there. Logs "spInserirBase - id: N - Sucesso! / Cópia de
  // arquivos - Sucesso!" or "spInserirBase - Falha: <text>". Refreshes tBaseDados.
  bool Inserir(bool nova_base);
  bool Alterar();
  // EXCLUIR_BASE, then RemoveArquivos; on success the id becomes 0.
  bool Excluir();
};

// User (catalogue).
class TUsuario {
 public:
  // Stores the MD5 digest of senha when it is not empty, else leaves SENHA empty.
  TUsuario(int id, int mestre, const std::string& senha, const std::string& login,
           const std::string& nome);
  int ID_USUARIO;
  std::string NOME_USUARIO;
  std::string LOGIN_USUARIO;
  std::string SENHA;  // digest
  int USUARIO_MESTRE;

  bool Inserir();
  // An empty SENHA keeps the stored digest.
  bool Alterar();
  bool Excluir();
};

// Owner (data database, first row of PROPRIETARIO).
class TProprietario {
 public:
  int ID_PROPRIETARIO = 0;
  std::string TX_CNPJ, TX_IE, TX_RAZAO_SOCIAL, TX_CIDADE, TX_ESTADO, TX_LOGRADOURO;
  int NB_NUMERO = 0;
  std::string TX_BAIRRO, TX_COMPLEMENTO, TX_CEP, TX_NOME_CONTATO, TX_TELEFONE, TX_FAX;

  // Errors are rolled back and give false; no log line (the editor logs).
  bool Inserir();
  int ContaRegistros();
  // Takes the first row (CNPJ, CEP, telephone, fax trimmed on the right); true also
  // when there is no row; false only when reading fails.
  bool Carregar();
};

// Invoice (data database).
class TNotaFiscal {
 public:
  int ID_NOTA = 0;
  int NB_NOTA = 0;
  std::string TX_CNPJ, TX_IE, TX_UF;
  Date DT_EMISSAO;
  int NB_MODELO = 0;
  std::string TX_SERIE;
  int NB_CFOP = 0;
  std::string TX_EMITENTE, TX_ALIQUOTA, TX_VALOR_TOTAL, TX_BASE_ICMS, TX_VALOR_ICMS,
      TX_VALOR_ISENTO, TX_OUTROS_VALORES, TX_SITUACAO;

  // Errors rolled back give false. Each refreshes tNotaFiscal then tProdutoNota.
  bool Inserir();
  bool Alterar();
  // Removes the invoice with its items; id becomes 0.
  bool Excluir();
  int ContaNotas();
  // The invoices of the base as the engine counts them now, refreshing nothing (the list
  // query may have read only its first rows).
  static int NotasGravadas();
  int ContaProdutos();
  // True when some item's rate text differs from the first item's (exact texts).
  bool TemAliquotasDiferentes();
};

// Invoice item (data database). ID_PRODUTO is the item's own key.
class TProdutoNotaFiscal {
 public:
  int ID_PRODUTO = 0;
  std::string CD_PRODUTO;
  int NB_ITEM = 0;
  std::string TX_QUANTIDADE, TX_VALOR_ITEM, TX_VALOR_DESCONTO, TX_BASE_ICMS, TX_BASE_SUBSTITUICAO,
      TX_VALOR_IPI, TX_ALIQUOTA;
  int NB_CST = 0;
  std::string TX_DESCRICAO;
  int ID_NOTA = 0;

  // Throws TEBancoDados (rolled back) on a database error.
  bool Inserir();
  bool Alterar();
  bool Excluir();
  // Removes every item of the invoice ID_NOTA.
  bool ExcluirTodos();
  // First item of the code (trimmed) in an invoice of the period (ends included).
  bool BuscaPorPeriodo(const std::string& codigo, const Date& inicial, const Date& final_);
};

// Product (data database).
class TProduto {
 public:
  int ID_PRODUTO = 0;
  std::string CD_PRODUTO, TX_DESCRICAO;
  std::string TX_VALOR_UNITARIO = "000";
  std::string TX_PRECO_COMPRA = "000";
  std::string TX_UNIDADE;
  std::string TX_ALIQUOTA = "0000";
  std::string TX_TIPO_ALIQUOTA;
  bool CS_CONTROLA_ESTOQUE = false;
  std::string TX_QUANTIDADE = "0000";

  // Each throws TEBancoDados (rolled back) on a database error. A code another desk is
  // registering, not committed yet, is in use (kCodigoRegistroEmUso), not a duplicate.
  bool Inserir();
  bool Alterar();
  // Removes the product with its inventory row.
  bool Excluir();
  bool BuscaPorCodigo(const std::string& codigo);

 private:
  void insere(TdmTributarium& m);
};

// Inventory row (data database).
class TInventario {
 public:
  int ID_INVENTARIO = 0;
  Date DATA_INVENTARIO;
  int ID_PRODUTO = 0;
  std::string QUANTIDADE, VALOR_PRODUTO;
  int CODIGO_POSSE = 0;
  std::string CNPJ_POSS_PROP, IE_POSS_PROP, UF_POSSPROP;

  bool Inserir();
  bool Alterar();
  bool Excluir();
  bool BuscaPorProduto(int id_produto);
};

using TListaProdutos = std::vector<TProduto>;
using TListaSelecao = std::vector<bool>;

}  // namespace store
