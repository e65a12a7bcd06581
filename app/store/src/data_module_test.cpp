// The data module: connecting, switching bases with the constraint upgrade, the
// operation log and the installation of the delivered databases.
#include <fstream>

#include "store/conversions.h"
#include "store_fixture.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;

class DataModule : public StoreTest {
 protected:
  // Runs DDL on a base's data database through a connection of its own.
  void alter_base(const fs::path& base, const std::vector<std::string>& statements) {
    Connection c;
    c.DatabaseName = location(base / kDataFile);
    c.Params = {"user_name=SYSDBA", "password=quernstab"};
    c.Connect();
    Transaction t(c);
    for (const std::string& s : statements) {
      ExecSQL(t, s);
      t.CommitRetaining();
    }
  }

  std::int64_t constraint_segments() {
    return select(dm_->trDados,
                  "select count(*) from RDB$INDEX_SEGMENTS where RDB$INDEX_NAME = "
                  "'PRODUTO_NF_COD_PRODUTO_UNICO'")
        .integer(0, "COUNT");
  }

  std::string constraint_index_id() {
    RowSet r = select(dm_->trDados,
                      "select RDB$INDEX_ID from RDB$INDICES where RDB$INDEX_NAME = "
                      "'PRODUTO_NF_COD_PRODUTO_UNICO'");
    return r.empty() ? "" : r.rows[0][0];
  }

  // Whether an item with this code is accepted in the invoice.
  bool item_accepted(int nota, const std::string& codigo) {
    try {
      add_item(nota, codigo);
      return true;
    } catch (const TEBancoDados& e) {
      EXPECT_EQ(e.ErrorCode(), -803);
      return false;
    }
  }
};

TEST_F(DataModule, ConectaCatalogoOpensTheBaseListAndTodaysLog) {
  dm_->ConectaCatalogo();
  EXPECT_TRUE(dm_->dbCatalogo.Connected());
  EXPECT_EQ(dm_->dbCatalogo.Params,
            (std::vector<std::string>{"user_name=SYSDBA", "password=quernstab"}));
  ASSERT_TRUE(dm_->tBaseDados.Active());
  ASSERT_EQ(dm_->tBaseDados.Rows().size(), 1u);
  EXPECT_EQ(dm_->tBaseDados.Rows().at(0, "ID_BASE_DADOS"), "1");
  EXPECT_EQ(dm_->tBaseDados.Rows().at(0, "NOME_CLIENTE"), "Default");
  EXPECT_TRUE(dm_->tLog.Active());
  EXPECT_FALSE(dm_->dbDados.Connected());
}

// Without the list, nothing reads today's log, and log lines are written all the same.
TEST_F(DataModule, WithoutTodaysListTheLogIsWrittenButNeverRead) {
  dm_->ListaLogDoDia = false;
  connect();
  EXPECT_TRUE(dm_->tBaseDados.Active());
  EXPECT_FALSE(dm_->tLog.Active());
  const std::int64_t antes = count(dm_->trCatalogo, "LOG");
  EXPECT_TRUE(dm_->GravaLog("uma linha"));
  EXPECT_TRUE(dm_->GravaLog("outra linha"));
  EXPECT_EQ(count(dm_->trCatalogo, "LOG"), antes + 2);
  EXPECT_FALSE(dm_->tLog.Active());
  EXPECT_EQ(dm_->todays_log().full_reads(), 0);
}

TEST_F(DataModule, ConnectionsGoWhereTheLocationSays) {
  connect();
  for (Transaction* tr : {&dm_->trCatalogo, &dm_->trDados}) {
    RowSet r = select(*tr,
                      "select MON$REMOTE_PROTOCOL from MON$ATTACHMENTS "
                      "where MON$ATTACHMENT_ID = CURRENT_CONNECTION");
    ASSERT_EQ(r.size(), 1u);
    // A plain path is opened in this process; "host/port:" goes over the network.
    EXPECT_EQ(r.is_null(0, "MON$REMOTE_PROTOCOL"), !server_mode());
    if (server_mode()) {
      EXPECT_EQ(r.at(0, "MON$REMOTE_PROTOCOL"), "TCPv4");
    }
  }
}

TEST_F(DataModule, ConectaCatalogoWithoutTheFileFailsWithTheEngineText) {
  fs::remove(dir_ / kCatalogFile);
  try {
    dm_->ConectaCatalogo();
    FAIL() << "connected to a missing catalogue";
  } catch (const DatabaseError& e) {
    EXPECT_NE(std::string(e.what()), "");
  }
  EXPECT_FALSE(dm_->dbCatalogo.Connected());
}

TEST_F(DataModule, TrocarBancoSwitchesBetweenBases) {
  connect();
  for (Query* q : {&dm_->tNotaFiscal, &dm_->tProdutoNota, &dm_->tProduto, &dm_->tLog,
                   &dm_->tInventario, &dm_->tUsuarios})
    EXPECT_TRUE(q->Active()) << q->name();
  TProduto p;
  p.CD_PRODUTO = "42";
  p.TX_DESCRICAO = "Arroz";
  p.TX_UNIDADE = "KG";
  p.TX_TIPO_ALIQUOTA = "ICMS";
  p.Inserir();

  fs::path outra = make_base("Outra");
  dm_->TrocarBanco("Outra", location(outra));
  EXPECT_EQ(dm_->dbDados.DatabaseName, location(outra / kDataFile));
  dm_->tProduto.Refresh();
  EXPECT_TRUE(dm_->tProduto.Rows().empty());

  dm_->TrocarBanco("Default", location(dir_ / kTemplateFolder));
  ASSERT_EQ(dm_->tProduto.Rows().size(), 1u);
  EXPECT_EQ(dm_->tProduto.Rows().at(0, "CD_PRODUTO"), "42");
}

TEST_F(DataModule, OlderSingleColumnConstraintIsRebuiltOnceOverCodeAndInvoice) {
  fs::path antiga = make_base("Antiga");
  alter_base(antiga, {"ALTER TABLE PRODUTO_NOTA DROP CONSTRAINT PRODUTO_NF_COD_PRODUTO_UNICO",
                      "ALTER TABLE PRODUTO_NOTA ADD CONSTRAINT PRODUTO_NF_COD_PRODUTO_UNICO "
                      "UNIQUE (CD_PRODUTO)"});
  dm_->ConectaCatalogo();
  dm_->TrocarBanco("Antiga", location(antiga));
  EXPECT_EQ(constraint_segments(), 2);
  int a = add_invoice({2024, 1, 10}, 1);
  int b = add_invoice({2024, 1, 10}, 2);
  EXPECT_TRUE(item_accepted(a, "7"));
  EXPECT_TRUE(item_accepted(b, "7"));
  EXPECT_FALSE(item_accepted(a, "7"));

  // Opening it again changes nothing: the index is the same one.
  std::string id = constraint_index_id();
  ASSERT_NE(id, "");
  dm_->TrocarBanco("Antiga", location(antiga));
  EXPECT_EQ(constraint_segments(), 2);
  EXPECT_EQ(constraint_index_id(), id);
}

TEST_F(DataModule, BaseWithoutTheConstraintOpensAndStaysWithoutIt) {
  fs::path sem = make_base("Sem");
  alter_base(sem, {"ALTER TABLE PRODUTO_NOTA DROP CONSTRAINT PRODUTO_NF_COD_PRODUTO_UNICO"});
  dm_->ConectaCatalogo();
  dm_->TrocarBanco("Sem", location(sem));
  EXPECT_TRUE(dm_->dbDados.Connected());
  EXPECT_TRUE(dm_->tNotaFiscal.Active());
  EXPECT_EQ(constraint_segments(), 0);
  int a = add_invoice({2024, 1, 10});
  EXPECT_TRUE(item_accepted(a, "7"));
  EXPECT_TRUE(item_accepted(a, "7"));
  // The failed drop was rolled back and later writes still commit.
  EXPECT_EQ(count(dm_->trDados, "PRODUTO_NOTA"), 2);
}

// Codes as other programs (or older versions) left them: not numbers, empty, padded,
// signed, or a 13-digit bar code too large for a 32-bit integer.
TEST_F(DataModule, OddStoredProductCodesNeitherStopTheSwitchNorChangeAsShown) {
  struct Case {
    std::string codigo;
    int posicao;  // in the product list: numbers by value, then the rest by text
  } cases[] = {
      {"10", 4}, {"ABC-1", 7}, {"9", 3},  {"", 6}, {"7891234567890", 5},
      {" 5", 2}, {"-3", 0},    {"02", 1},
  };
  fs::path base = make_base("Estranha");
  std::vector<std::string> sql;
  int id = 0;
  for (const Case& c : cases)
    sql.push_back(
        "INSERT INTO PRODUTO (ID_PRODUTO, CD_PRODUTO, TX_DESCRICAO, TX_VALOR_UNITARIO, "
        "TX_PRECO_COMPRA, TX_UNIDADE, TX_TIPO_ALIQUOTA, CS_CONTROLA_ESTOQUE) VALUES (" +
        std::to_string(++id) + ", '" + c.codigo + "', 'Produto " + c.codigo +
        "', '100', '90', 'UN', 'ICMS', 1)");
  sql.push_back(
      "INSERT INTO NOTA_FISCAL (ID_NOTA, NB_NOTA, TX_CNPJ, TX_UF, DT_EMISSAO, TX_EMITENTE, "
      "TX_ALIQUOTA, TX_VALOR_TOTAL) VALUES (1, 1, '11222333000181', 'SP', '2024-05-02', "
      "'Terceiro', '1800', '100')");
  int item = 0;
  for (const char* codigo : {"ABC-1", "", "7891234567890"}) {
    ++item;
    sql.push_back(
        "INSERT INTO PRODUTO_NOTA (ID_PRODUTO, CD_PRODUTO, NB_ITEM, TX_QUANTIDADE, "
        "TX_VALOR_ITEM, TX_BASE_ICMS, TX_ALIQUOTA, ID_NOTA) VALUES (" +
        std::to_string(item) + ", '" + codigo + "', " + std::to_string(item) +
        ", '1000', '100', '100', '1800', 1)");
  }
  sql.push_back(
      "INSERT INTO INVENTARIO (ID_INVENTARIO, DATA_INVENTARIO, ID_PRODUTO, QUANTIDADE, "
      "VALOR_PRODUTO, CODIGO_POSSE, CNPJ_POSS_PROP, IE_POSS_PROP, UF_POSSPROP) "
      "VALUES (1, '2024-05-31', 2, '1000', '100', 1, '11222333000181', '1', 'SP')");
  sql.push_back("ALTER SEQUENCE GEN_PRODUTO RESTART WITH 100");
  alter_base(base, sql);

  dm_->ConectaCatalogo();
  ASSERT_NO_THROW(dm_->TrocarBanco("Estranha", location(base)));
  for (Query* q : {&dm_->tNotaFiscal, &dm_->tProdutoNota, &dm_->tProduto, &dm_->tLog,
                   &dm_->tInventario, &dm_->tUsuarios})
    EXPECT_TRUE(q->Active()) << q->name();

  const RowSet& produtos = dm_->tProduto.Rows();
  ASSERT_EQ(produtos.size(), std::size(cases));
  for (const Case& c : cases)
    EXPECT_EQ(produtos.at(static_cast<std::size_t>(c.posicao), "CD_PRODUTO"), c.codigo)
        << "\"" << c.codigo << "\"";

  dm_->tProdutoNota.Close();
  dm_->tProdutoNota.SetParam("idNota", std::int64_t{1});
  dm_->tProdutoNota.Open();
  const RowSet& itens = dm_->tProdutoNota.Rows();
  ASSERT_EQ(itens.size(), 3u);
  EXPECT_EQ(itens.at(0, "CD_PRODUTO"), "ABC-1");
  EXPECT_EQ(itens.at(1, "CD_PRODUTO"), "");
  ASSERT_EQ(dm_->tInventario.Rows().size(), 1u);
  EXPECT_EQ(dm_->tInventario.Rows().at(0, "CD_PRODUTO"), "ABC-1");

  // Looked up as stored, and a new product after them keeps its place by value.
  TProduto achado;
  ASSERT_TRUE(achado.BuscaPorCodigo("ABC-1"));
  EXPECT_EQ(achado.ID_PRODUTO, 2);
  TProduto novo;
  novo.CD_PRODUTO = "11";
  novo.TX_DESCRICAO = "Novo";
  novo.TX_UNIDADE = "UN";
  novo.TX_TIPO_ALIQUOTA = "ICMS";
  ASSERT_TRUE(novo.Inserir());
  dm_->tProduto.Refresh();
  EXPECT_EQ(dm_->tProduto.Rows().at(5, "CD_PRODUTO"), "11");
}

TEST_F(DataModule, TrocarBancoToAFolderWithoutTheFileLeavesNoDataDatabaseOpen) {
  connect();
  fs::path vazia = dir_ / "Vazia";
  fs::create_directories(vazia);
  EXPECT_THROW(dm_->TrocarBanco("Vazia", location(vazia)), DatabaseError);
  EXPECT_FALSE(dm_->dbDados.Connected());
  EXPECT_FALSE(dm_->tNotaFiscal.Active());
  EXPECT_FALSE(dm_->tProduto.Active());
  TNotaFiscal n;
  n.NB_NOTA = 1;
  n.DT_EMISSAO = {2024, 1, 1};
  EXPECT_FALSE(n.Inserir());  // nothing to write to, and nothing pretends otherwise
}

TEST_F(DataModule, WindowsAreToldWhenTheQueryTheyShowChanges) {
  connect();
  TProduto p;
  p.CD_PRODUTO = "1";
  p.TX_DESCRICAO = "Feijão";
  p.TX_UNIDADE = "KG";
  p.TX_TIPO_ALIQUOTA = "ICMS";
  p.Inserir();
  std::vector<std::size_t> seen;
  int token = dm_->tProduto.Subscribe([&](const Query& q) {
    if (q.Active()) seen.push_back(q.Rows().size());
  });
  p.TX_DESCRICAO = "Feijão preto";
  p.Alterar();
  EXPECT_EQ(seen, std::vector<std::size_t>{1});
  EXPECT_EQ(dm_->tProduto.Rows().at(0, "TX_DESCRICAO"), "Feijão preto");
  dm_->tProduto.Unsubscribe(token);
  p.Alterar();
  EXPECT_EQ(seen.size(), 1u);
}

TEST_F(DataModule, EndingTheModuleTellsNoObserver) {
  connect();
  int calls = 0;
  dm_->tProduto.Subscribe([&](const Query&) { ++calls; });
  dm_.reset();  // the windows that subscribed may already be gone
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(dmTributarium, nullptr);
}

TEST_F(DataModule, LogLinesCarryTheLoggedUserOrZeroBeforeLogin) {
  dm_->ConectaCatalogo();
  int pumped = 0;
  dm_->ProcessMessages = [&] { ++pumped; };
  EXPECT_TRUE(dm_->GravaLog("antes do login"));
  std::string erro;
  EXPECT_FALSE(dm_->ValidaLogin("ADMIN", "errada", &erro));
  EXPECT_EQ(erro, "");
  EXPECT_EQ(dm_->UsuarioLogado, 0);
  ASSERT_TRUE(dm_->ValidaLogin("ADMIN", "admin", &erro)) << erro;
  EXPECT_EQ(dm_->UsuarioLogado, 1);
  EXPECT_EQ(dm_->LoginUsuario, "ADMIN");
  EXPECT_EQ(dm_->NomeUsuario, "Administrador");
  EXPECT_TRUE(dm_->UsuarioMestre);
  EXPECT_TRUE(dm_->GravaLog("depois do login"));
  EXPECT_EQ(log_lines(), (std::vector<std::string>{"antes do login", "depois do login"}));
  EXPECT_EQ(log_users(), (std::vector<int>{0, 1}));
  EXPECT_EQ(pumped, 2);
  // Today's list is read again after each line, newest first.
  ASSERT_EQ(dm_->tLog.Rows().size(), 2u);
  EXPECT_EQ(dm_->tLog.Rows().at(1, "NOME_USUARIO"), "");
}

TEST_F(DataModule, LogFailureIsReportedAndAffectsNothingElse) {
  dm_->ConectaCatalogo();
  std::string mensagem;
  dm_->OnLogError = [&](const std::string& m) { mensagem = m; };
  dm_->dbCatalogo.Disconnect();
  EXPECT_FALSE(dm_->GravaLog("linha"));
  EXPECT_EQ(mensagem.rfind("Erro ao gravar log: ", 0), 0u) << mensagem;
}

TEST_F(DataModule, OverlongLogLineIsCutToTheColumnNotLost) {
  dm_->ConectaCatalogo();
  std::string linha = "spInserirBase - Falha: " + std::string(2000, 'x');
  EXPECT_TRUE(dm_->GravaLog(linha));
  ASSERT_EQ(log_lines().size(), 1u);
  EXPECT_EQ(log_lines()[0], linha.substr(0, 1024));
}

TEST_F(DataModule, PeriodQueriesIncludeBothEnds) {
  connect();
  int d1 = add_invoice({2024, 3, 1}, 1);
  int d2 = add_invoice({2024, 3, 2}, 2);
  add_invoice({2024, 3, 3}, 3);
  add_item(d2, "10", "1800", 1);
  add_item(d2, "11", "1800", 2);
  add_item(d1, "10", "1800", 1);

  Query& q = dm_->qBuscaNotasPorPeriodo;
  q.SetParam("DtInicial", Date{2024, 3, 2});
  q.SetParam("DtFinal", Date{2024, 3, 2});
  q.Open();
  ASSERT_EQ(q.Rows().size(), 1u);
  EXPECT_EQ(q.Rows().at(0, "NB_NOTA"), "2");
  EXPECT_EQ(q.Rows().at(0, "DT_EMISSAO"), "2024-03-02");

  Query& items = dm_->qBuscaProdutoNF;
  items.SetParam("DtInicial", Date{2024, 3, 1});
  items.SetParam("DtFinal", Date{2024, 3, 2});
  items.Open();
  ASSERT_EQ(items.Rows().size(), 3u);
  EXPECT_EQ(items.Rows().at(0, "NB_NOTA"), "1");
  EXPECT_EQ(items.Rows().at(0, "TX_CNPJ"), "11222333000181    ");
  EXPECT_EQ(items.Rows().at(2, "CD_PRODUTO"), "11");
}

TEST_F(DataModule, DeliveredDatabasesInstalledOnlyWhereNoCatalogueIs) {
  fs::path share = STORE_SHARE_DIR;
  fs::path novo = dir_ / "instalacao";
  EXPECT_TRUE(InstalaBasesEntregues(novo.string(), share.string()));
  EXPECT_TRUE(fs::exists(novo / kCatalogFile));
  EXPECT_TRUE(fs::exists(novo / kTemplateFolder / kDataFile));
  EXPECT_FALSE(InstalaBasesEntregues(novo.string(), share.string()));

  // A data file already in Default/ is the accountant's: it is never replaced.
  fs::path parcial = dir_ / "parcial";
  fs::create_directories(parcial / kTemplateFolder);
  { std::ofstream(parcial / kTemplateFolder / kDataFile) << "dados do cliente"; }
  EXPECT_TRUE(InstalaBasesEntregues(parcial.string(), share.string()));
  EXPECT_EQ(fs::file_size(parcial / kTemplateFolder / kDataFile), 16u);
  EXPECT_TRUE(fs::exists(parcial / kCatalogFile));

  EXPECT_THROW(InstalaBasesEntregues((dir_ / "x").string(), (dir_ / "nada").string()),
               std::runtime_error);
  EXPECT_FALSE(fs::exists(dir_ / "x" / kCatalogFile));
  EXPECT_FALSE(InstalaBasesEntregues("servidor:/dados", share.string()));

  // The installed catalogue works: ADMIN / admin logs in.
  dm_->PathBaseDados = location(novo);
  dm_->ConectaCatalogo();
  EXPECT_TRUE(dm_->ValidaLogin("ADMIN", "admin"));
}

}  // namespace
}  // namespace store::testing

namespace store::testing {
namespace {

// A large result read row by row: each row once, in the query's order, none kept, and a
// reading stopped by its reader leaves the query usable.
TEST_F(DataModule, ForEachRowHandsEveryRowOnceAndKeepsNone) {
  connect();
  const int a = add_invoice({2024, 3, 5}, 10);
  add_item(a, "1", "1800", 2);
  add_item(a, "2", "0700", 1);
  const int b = add_invoice({2024, 3, 6}, 11);
  add_item(b, "3", "1800", 1);
  // A longer text beyond ASCII, then a row whose item columns are NULL: what one row held
  // must not show in the next.
  add_item(b, "Ação 123456", "1800", 2);
  add_invoice({2024, 3, 7}, 12);
  Query& q = dm_->qBuscaProdutoNF;
  q.SetParam("DtInicial", Date{2024, 3, 1});
  q.SetParam("DtFinal", Date{2024, 3, 31});
  q.Open();
  const RowSet whole = q.Rows();
  ASSERT_EQ(whole.size(), 5u);
  int codigo = whole.column("CD_PRODUTO");
  EXPECT_EQ(whole.rows[3][codigo], "Ação 123456");
  EXPECT_TRUE(whole.nulls[4][codigo]);
  EXPECT_EQ(whole.rows[4][codigo], "");
  std::vector<std::vector<std::string>> seen;
  std::vector<std::vector<bool>> seen_nulls;
  q.ForEachRow([&](const RowSet& row) {
    ASSERT_EQ(row.size(), 1u);
    EXPECT_EQ(row.columns, whole.columns);
    seen.push_back(row.rows[0]);
    seen_nulls.push_back(row.nulls[0]);
  });
  EXPECT_EQ(seen, whole.rows);
  EXPECT_EQ(seen_nulls, whole.nulls);
  EXPECT_FALSE(q.Active());
  EXPECT_TRUE(q.Rows().empty());

  struct Stop {};
  int calls = 0;
  EXPECT_THROW(q.ForEachRow([&](const RowSet&) {
    ++calls;
    throw Stop{};
  }),
               Stop);
  EXPECT_EQ(calls, 1);
  q.Open();
  EXPECT_EQ(q.Rows().rows, whole.rows);
}

}  // namespace
}  // namespace store::testing
