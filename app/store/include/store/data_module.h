#pragma once
// The data module: both connections (catalogue and the current client base), their
// transactions, every stored procedure and every query the program uses, and the
// operation log. One instance lives for the whole program (dmTributarium).
#include <functional>
#include <string>
#include <vector>

#include "store/firebird.h"
#include "store/todays_log.h"

namespace store {

// File names inside PathBaseDados and a base folder.
inline constexpr const char* kCatalogFile = "tributariumbase.fdb";
inline constexpr const char* kDataFile = "tributariumdados.fdb";
inline constexpr const char* kTemplateFolder = "Default";

// The order of product lists: by the integer value of the code, then the codes that are
// not a number (empty, or stored so by another program) by their text. A plain cast to
// INTEGER fails the whole list on one such code, and on a 13-digit bar code.
inline constexpr const char* kProductCodeOrder =
    "case when trim(CD_PRODUTO) similar to '[-+]?[0-9]{1,18}' "
    "then cast(trim(CD_PRODUTO) as bigint) end nulls last, CD_PRODUTO";

// Shown when a server refuses the user and password of the configuration.
inline constexpr const char* kSenhaServidorRecusada =
    "O servidor de banco de dados recusou o usuário e a senha configurados.\n"
    "Confira a seção [Servidor] (Usuario e Senha) do Tributarium.ini, ou ISC_USER e "
    "ISC_PASSWORD.";

// "host:/path" or "host/port:/path" names a server; a plain path opens the file.
bool is_server_location(const std::string& location);

class TdmTributarium;

// For the length of a reading that must see one state of the base (the month's
// generation while other desks edit): the data transaction ends (committing) and starts
// again as a read-only snapshot; at the end it ends again and takes back its own
// parameters. Rows already read into the queries stay as they are.
class LeituraConsistente {
 public:
  explicit LeituraConsistente(TdmTributarium& dm);
  ~LeituraConsistente();
  LeituraConsistente(const LeituraConsistente&) = delete;
  LeituraConsistente& operator=(const LeituraConsistente&) = delete;

 private:
  Transaction& tr_;
  std::vector<std::string> antes_;
};

// folder + "/" + name, without doubling a separator the folder already ends with.
std::string join_location(const std::string& folder, const std::string& name);

class TdmTributarium {
 public:
  // Creates the module with nothing connected; becomes dmTributarium when none exists.
  TdmTributarium();
  ~TdmTributarium();
  TdmTributarium(const TdmTributarium&) = delete;
  TdmTributarium& operator=(const TdmTributarium&) = delete;

  // The databases folder read from the configuration (a plain folder, or
  // "host:/folder" to reach a server). Read by ConectaCatalogo.
  std::string PathBaseDados;

  // Who the connections to a server log in as (Tributarium.ini [Servidor] Usuario and
  // Senha, or ISC_USER / ISC_PASSWORD, set by the program before connecting). The fixed
  // pair is only the default. The embedded engine asks no password and always gets the
  // fixed pair.
  std::string UsuarioServidor = kUsuarioPadrao;
  std::string SenhaServidor = kSenhaPadrao;
  static constexpr const char* kUsuarioPadrao = "SYSDBA";
  static constexpr const char* kSenhaPadrao = "quernstab";
  // The parameter list a connection to `location` is made with.
  std::vector<std::string> ParametrosConexao(const std::string& location) const;

  // Connects the catalogue PathBaseDados/tributariumbase.fdb, opens tBaseDados and tLog.
  // Throws DatabaseError (the engine's text) when it cannot connect.
  void ConectaCatalogo();
  // Disconnects the data database and connects folder/tributariumdados.fdb, opens the
  // queries, and brings the product-per-invoice constraint to its two-column form
  // (errors of that step are swallowed). A failure to connect throws DatabaseError and
  // leaves no data database connected. The client name is not used.
  void TrocarBanco(const std::string& nome_cliente, const std::string& pasta);
  // Opens tNotaFiscal, tProdutoNota, tProduto, tLog, tInventario, tUsuarios.
  void AbreConsultas();

  // Writes one line to the operation log under UsuarioLogado (0 before login), with
  // the current date and time, commits, then brings tLog up to date (as reopening it
  // would, reading only the lines added since it was read) and calls ProcessMessages.
  // On failure: rollback, OnLogError("Erro ao gravar log: " + text), false.
  bool GravaLog(const std::string& linha);

  // Runs LOGIN for the login and the password in clear: ISVALID == 1. On success
  // reads the user's row (tUsuarioAtual) into UsuarioLogado and the fields below.
  // A database error is rolled back and reported through erro ("Erro no login: ...").
  bool ValidaLogin(const std::string& login, const std::string& senha, std::string* erro = nullptr);

  // The user logged in (0 before the login has completed), with the values of its
  // row as ValidaLogin read them.
  int UsuarioLogado = 0;
  std::string LoginUsuario;
  std::string NomeUsuario;
  bool UsuarioMestre = false;
  // Called with the whole message when a log line cannot be written (a message box).
  std::function<void(const std::string&)> OnLogError;
  // Called after a log write so the window system can process pending events.
  std::function<void()> ProcessMessages;
  // Whether tLog, today's log list the windows show, is read: on connecting, on opening
  // the queries and after each GravaLog line. A program without windows turns it off
  // before connecting: reading the whole day's log grows with every run of the day.
  bool ListaLogDoDia = true;
  // Whether the last entity write that answered "no" met a row another desk holds
  // (kRegistroEmUso): the editors then say so instead of the general failure.
  bool UltimaFalhaEmUso = false;

  // Connections and transactions.
  Connection dbCatalogo;
  Connection dbDados;
  Transaction trCatalogo{dbCatalogo, {"read_committed", "rec_version", "nowait"}};
  // Several desks work on one base: a write that meets a row another desk is changing
  // fails at once (kRegistroEmUso) instead of waiting, and reads see what others have
  // committed.
  static inline const std::vector<std::string> kParametrosDados = {"read_committed", "rec_version",
                                                                   "nowait"};
  Transaction trDados{dbDados, kParametrosDados};

  // Catalogue procedures.
  StoredProc spInserirBase{
      "spInserirBase", trCatalogo, "INSERIR_BASE", {"NOME_CLIENTE", "PATH"}, {"ID_BASE_DADOS"}};
  StoredProc spAlterarBase{
      "spAlterarBase", trCatalogo, "ALTERAR_BASE", {"ID_BASE_DADOS", "NOME_CLIENTE", "PATH"}, {}};
  StoredProc spExcluirBase{"spExcluirBase", trCatalogo, "EXCLUIR_BASE", {"ID_BASE_DADOS"}, {}};
  StoredProc spInserirUsuario{"spInserirUsuario",
                              trCatalogo,
                              "INSERIR_USUARIO",
                              {"NOME_USUARIO", "LOGIN_USUARIO", "SENHA", "USUARIO_MESTRE"},
                              {"ID_USUARIO"}};
  StoredProc spAlterarUsuario{
      "spAlterarUsuario",
      trCatalogo,
      "ALTERAR_USUARIO",
      {"ID_USUARIO", "NOME_USUARIO", "LOGIN_USUARIO", "SENHA", "USUARIO_MESTRE"},
      {}};
  StoredProc spExcluirUsuario{
      "spExcluirUsuario", trCatalogo, "EXCLUIR_USUARIO", {"ID_USUARIO"}, {}};
  StoredProc spLogin{"spLogin", trCatalogo, "LOGIN", {"LOGIN_USUARIO", "SENHA"}, {"ISVALID"}};
  StoredProc spLogOperacao{"spLogOperacao",
                           trCatalogo,
                           "LOG_OPERACAO",
                           {"ID_USUARIO", "DATA", "HORA", "TX_OPERACAO"},
                           {"ID_ITEMLOG"}};

  // Data procedures.
  StoredProc spInserirProprietario{
      "spInserirProprietario",
      trDados,
      "INSERIR_PROPRIETARIO",
      {"ID_PROPRIETARIO", "TX_CNPJ", "TX_IE", "TX_RAZAO_SOCIAL", "TX_CIDADE", "TX_ESTADO",
       "TX_LOGRADOURO", "NB_NUMERO", "TX_BAIRRO", "TX_COMPLEMENTO", "TX_CEP", "TX_NOME_CONTATO",
       "TX_TELEFONE", "TX_FAX"},
      {"ID_PROPRIETARIO_INSERIDO"}};
  StoredProc spInserirNotaFiscal{
      "spInserirNotaFiscal",
      trDados,
      "INSERIR_NOTA_FISCAL",
      {"NB_NOTA", "TX_CNPJ", "TX_IE", "TX_UF", "DT_EMISSAO", "NB_MODELO", "TX_SERIE", "NB_CFOP",
       "TX_EMITENTE", "TX_ALIQUOTA", "TX_VALOR_TOTAL", "TX_BASE_ICMS", "TX_VALOR_ICMS",
       "TX_VALOR_ISENTO", "TX_OUTROS_VALORES", "TX_SITUACAO"},
      {"ID_NOTA"}};
  StoredProc spAlterarNotaFiscal{
      "spAlterarNotaFiscal",
      trDados,
      "ALTERAR_NOTA_FISCAL",
      {"ID_NOTA", "NB_NOTA", "TX_CNPJ", "TX_IE", "TX_UF", "DT_EMISSAO", "NB_MODELO", "TX_SERIE",
       "NB_CFOP", "TX_EMITENTE", "TX_ALIQUOTA", "TX_VALOR_TOTAL", "TX_BASE_ICMS", "TX_VALOR_ICMS",
       "TX_VALOR_ISENTO", "TX_OUTROS_VALORES", "TX_SITUACAO"},
      {}};
  StoredProc spExcluirNotaFiscal{
      "spExcluirNotaFiscal", trDados, "EXCLUIR_NOTA_FISCAL", {"ID_NOTA"}, {}};
  StoredProc spInserirProdutoNota{
      "spInserirProdutoNota",
      trDados,
      "INSERIR_PRODUTO_NOTA",
      {"CD_PRODUTO", "NB_ITEM", "TX_QUANTIDADE", "TX_VALOR_ITEM", "TX_VALOR_DESCONTO",
       "TX_BASE_ICMS", "TX_BASE_SUBSTITUICAO", "TX_VALOR_IPI", "TX_ALIQUOTA", "NB_CST",
       "TX_DESCRICAO", "ID_NOTA"},
      {}};
  StoredProc spAlterarProdutoNota{
      "spAlterarProdutoNota",
      trDados,
      "ALTERAR_PRODUTO_NOTA",
      {"ID_PRODUTO", "CD_PRODUTO", "NB_ITEM", "TX_QUANTIDADE", "TX_VALOR_ITEM", "TX_VALOR_DESCONTO",
       "TX_BASE_ICMS", "TX_BASE_SUBSTITUICAO", "TX_VALOR_IPI", "TX_ALIQUOTA", "NB_CST",
       "TX_DESCRICAO", "ID_NOTA"},
      {}};
  StoredProc spExcluirProdutoNota{
      "spExcluirProdutoNota", trDados, "EXCLUIR_PRODUTO_NOTA", {"ID_PRODUTO"}, {}};
  // Takes the invoice key: only that invoice's items are removed.
  StoredProc spExcluirTodosProdutoNota{
      "spExcluirTodosProdutoNota", trDados, "EXCLUIR_TODOS_PRODUTO_NOTA", {"ID_NOTA"}, {}};
  StoredProc spInserirProduto{
      "spInserirProduto",
      trDados,
      "INSERIR_PRODUTO",
      {"CD_PRODUTO", "TX_DESCRICAO", "TX_VALOR_UNITARIO", "TX_PRECO_COMPRA", "TX_UNIDADE",
       "TX_ALIQUOTA", "TX_TIPO_ALIQUOTA", "CS_CONTROLA_ESTOQUE", "TX_QUANTIDADE"},
      {"ID_PRODUTO"}};
  StoredProc spAlterarProduto{
      "spAlterarProduto",
      trDados,
      "ALTERAR_PRODUTO",
      {"ID_PRODUTO", "CD_PRODUTO", "TX_DESCRICAO", "TX_VALOR_UNITARIO", "TX_UNIDADE", "TX_ALIQUOTA",
       "TX_TIPO_ALIQUOTA", "CS_CONTROLA_ESTOQUE", "TX_PRECO_COMPRA", "TX_QUANTIDADE"},
      {}};
  StoredProc spExcluirProduto{"spExcluirProduto", trDados, "EXCLUIR_PRODUTO", {"ID_PRODUTO"}, {}};
  StoredProc spInserirInventario{"spInserirInventario",
                                 trDados,
                                 "INSERIR_INVENTARIO",
                                 {"DATA_INVENTARIO", "ID_PRODUTO", "QUANTIDADE", "VALOR_PRODUTO",
                                  "CODIGO_POSSE", "CNPJ_POSS_PROP", "IE_POSS_PROP", "UF_POSSPROP"},
                                 {"ID_INVENTARIO"}};
  StoredProc spAlterarInventario{
      "spAlterarInventario",
      trDados,
      "ALTERAR_INVENTARIO",
      {"ID_INVENTARIO", "DATA_INVENTARIO", "ID_PRODUTO", "QUANTIDADE", "VALOR_PRODUTO",
       "CODIGO_POSSE", "CNPJ_POSS_PROP", "IE_POSS_PROP", "UF_POSSPROP"},
      {}};
  StoredProc spExcluirInventario{
      "spExcluirInventario", trDados, "EXCLUIR_INVENTARIO", {"ID_INVENTARIO"}, {}};

  // Catalogue queries.
  Query tBaseDados{"tBaseDados", trCatalogo, "Select * from Base_Dados order by id_base_dados"};
  Query qBuscaBaseDados{"qBuscaBaseDados", trCatalogo,
                        "Select * from Base_Dados \nWhere id_base_dados = :idBase"};
  Query tUsuarios{"tUsuarios", trCatalogo, "select * from Usuarios order by id_usuario"};
  Query tUsuarioAtual{"tUsuarioAtual", trCatalogo,
                      "select * from usuarios where login_usuario=:login_usuario and "
                      "senha=:senha"};
  // Newest first also within one second (by key), where the engine's sort alone leaves
  // the order to chance; todays_log() puts added lines in the same places.
  Query tLog{"tLog", trCatalogo,
             "select log.*, usuarios.nome_usuario \nfrom log left join usuarios on "
             "log.id_usuario = usuarios.id_usuario\nwhere DATA = CURRENT_DATE order by hora "
             "desc, log.id_itemlog desc"};
  Query tGeraLog{"tGeraLog", trCatalogo,
                 "select usuarios.nome_usuario as usuario, log.data, log.hora, "
                 "log.tx_operacao\nfrom log left join usuarios\n    on log.id_usuario = "
                 "usuarios.id_usuario\nwhere log.data between :dtInicial and :dtFinal"};

  // Rows the invoice and product grids read at a time.
  static constexpr std::size_t kLoteDaGrade = 500;

  // Data queries.
  Query tNotaFiscal{"tNotaFiscal", trDados, "select * from nota_fiscal order by id_nota"};
  Query tProdutoNota{"tProdutoNota", trDados,
                     "select * from PRODUTO_NOTA where id_nota = :idNota order by nb_item"};
  Query tProduto{"tProduto", trDados,
                 std::string("select * from PRODUTO order by ") + kProductCodeOrder};
  Query tProprietario{"tProprietario", trDados, "select * from  PROPRIETARIO"};
  Query tInventario{
      "tInventario", trDados,
      "select  INVENTARIO.* ,  PRODUTO.CD_PRODUTO, PRODUTO.TX_PRECO_COMPRA, "
      "PRODUTO.TX_VALOR_UNITARIO, PRODUTO.TX_DESCRICAO  from INVENTARIO INNER JOIN PRODUTO  on "
      "INVENTARIO.ID_PRODUTO = PRODUTO.ID_PRODUTO order by DATA_INVENTARIO desc"};
  Query qBuscaProduto{"qBuscaProduto", trDados,
                      "select * from PRODUTO\nwhere CD_PRODUTO = :CodProduto"};
  Query qBuscaInventarioPorProduto{"qBuscaInventarioPorProduto", trDados,
                                   "select * from INVENTARIO\nwhere ID_PRODUTO = :idProduto"};
  Query qBuscaProdutoNFPorPeriodo{
      "qBuscaProdutoNFPorPeriodo", trDados,
      "select nf.tx_cnpj, nf.nb_modelo, nf.tx_serie, nf.nb_nota, nf.nb_cfop, prod.*\nfrom "
      "nota_fiscal nf left join produto_nota prod on nf.id_nota = prod.id_nota\nwhere "
      "nf.dt_emissao between :DtInicial and :DtFinal and prod.CD_PRODUTO = :CodProduto\norder "
      "by nf.id_nota"};
  Query qBuscaNotasPorPeriodo{
      "qBuscaNotasPorPeriodo", trDados,
      "select * from nota_fiscal\nwhere DT_EMISSAO between :DtInicial and :DtFinal\norder by "
      "DT_EMISSAO"};
  Query qBuscaProdutoNF{
      "qBuscaProdutoNF", trDados,
      "select nf.tx_cnpj, nf.nb_modelo, nf.tx_serie, nf.nb_nota, nf.nb_cfop, prod.*\nfrom "
      "nota_fiscal nf left join produto_nota prod on nf.id_nota = prod.id_nota\nwhere "
      "nf.dt_emissao between :DtInicial and :DtFinal\norder by nf.id_nota"};
  Query qBuscaInventario{
      "qBuscaInventario", trDados,
      "select inv.*, prod.Cd_Produto \nfrom  INVENTARIO inv left join PRODUTO prod \non "
      "prod.ID_PRODUTO = inv.ID_PRODUTO\nwhere inv.DATA_INVENTARIO between :DtInicial and "
      ":DtFinal\norder by ID_INVENTARIO"};
  Query checaRegraProdutoNota{"checaRegraProdutoNota", trDados,
                              "select count(*) from RDB$INDEX_SEGMENTS  where RDB$INDEX_NAME =  "
                              "'PRODUTO_NF_COD_PRODUTO_UNICO'"};
  const std::string deletaRegraProdutoNota =
      "ALTER TABLE PRODUTO_NOTA DROP CONSTRAINT PRODUTO_NF_COD_PRODUTO_UNICO";
  const std::string insereRegraProdutoNota =
      "alter table PRODUTO_NOTA\nadd constraint PRODUTO_NF_COD_PRODUTO_UNICO\nunique "
      "(CD_PRODUTO,ID_NOTA)";

  // The query object by its name (nullptr when unknown), for windows that show one.
  Query* query(const std::string& name);

  // What keeps tLog up to date after each log line.
  const TodaysLog& todays_log() const { return todays_log_; }

 private:
  // After tLog and trCatalogo: made after them and gone before them.
  TodaysLog todays_log_{tLog, trCatalogo};
};

// The module of the program (the last one created that still lives), or nullptr.
extern TdmTributarium* dmTributarium;

// Folder of the delivered databases: $TRIBUTARIUM_SHARE when set, otherwise
// share/tributarium/ beside the program's bin/ folder.
std::string delivered_databases_folder();
// Copies the delivered catalogue and the template folder Default/ into
// path_base_dados when it holds no catalogue (creating the folder). Answers true when
// files were copied, false when a catalogue was already there; throws
// std::runtime_error (Portuguese text) when the delivered files are missing or the
// copy fails. A server location ("host:/...") is left alone (false).
bool InstalaBasesEntregues(const std::string& path_base_dados,
                           const std::string& origem = delivered_databases_folder());

}  // namespace store
