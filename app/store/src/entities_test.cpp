// Entity operations: results, log lines, refreshes and lookups.
#include "store/conversions.h"
#include "store_fixture.h"

namespace store::testing {
namespace {

class Entities : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    if (HasFatalFailure()) return;
    connect();
  }

  TProduto product(const std::string& codigo, bool estoque = false) {
    TProduto p;
    p.CD_PRODUTO = codigo;
    p.TX_DESCRICAO = "Produto " + codigo;
    p.TX_UNIDADE = "UN";
    p.TX_TIPO_ALIQUOTA = "ICMS";
    p.TX_VALOR_UNITARIO = "250";
    p.CS_CONTROLA_ESTOQUE = estoque;
    return p;
  }

  TInventario inventory(int id_produto) {
    TInventario v;
    v.DATA_INVENTARIO = {2024, 12, 31};
    v.ID_PRODUTO = id_produto;
    v.QUANTIDADE = "2000";
    v.VALOR_PRODUTO = "500";
    v.CODIGO_POSSE = 1;
    v.CNPJ_POSS_PROP = "11222333000181";
    v.IE_POSS_PROP = "ISENTO";
    v.UF_POSSPROP = "SP";
    return v;
  }
};

TEST_F(Entities, LoggedWritesWriteTheExactLines) {
  TBaseDados base(0, nullptr, "/bases/ACME", "ACME");
  ASSERT_TRUE(base.Inserir(false));
  EXPECT_EQ(base.ID_BASE_DADOS, 2);
  base.NOME_CLIENTE = "ACME Ltda";
  ASSERT_TRUE(base.Alterar());
  ASSERT_TRUE(base.Excluir());
  EXPECT_EQ(base.ID_BASE_DADOS, 0);

  TUsuario user(0, 0, "senha", "maria", "Maria");
  ASSERT_TRUE(user.Inserir());
  ASSERT_TRUE(user.Alterar());
  ASSERT_TRUE(user.Excluir());
  EXPECT_EQ(user.ID_USUARIO, 0);

  TProduto p = product("1", true);
  p.Inserir();
  TInventario inv = inventory(p.ID_PRODUTO);
  ASSERT_TRUE(inv.Inserir());
  ASSERT_TRUE(inv.Alterar());
  ASSERT_TRUE(inv.Excluir());
  EXPECT_EQ(inv.ID_INVENTARIO, 0);

  EXPECT_EQ(log_lines(), (std::vector<std::string>{
                             "spInserirBase - id: 2 - Sucesso! / Cópia de arquivos - Sucesso!",
                             "spAlterarBase - id: 2 - Sucesso! ",
                             "spExcluirBase - id: 2 - Sucesso! ",
                             "spInserirUsuario - id: 2 - Sucesso! ",
                             "spAlterarUsuario - id: 2 - Sucesso! ",
                             "spExcluirUsuario - id: 2 - Sucesso! ",
                             "spInserirInventario - id: 1 - Sucesso! ",
                             "spAlterarInventario - id: 1 - Sucesso! ",
                             "spExcluirInventario - id: 1 - Sucesso! ",
                         }));
  EXPECT_EQ(count(dm_->trCatalogo, "BASE_DADOS"), 1);
  EXPECT_EQ(count(dm_->trDados, "INVENTARIO"), 0);
}

TEST_F(Entities, LoggedFailuresAreRolledBackAndLoggedWithTheErrorText) {
  TUsuario dup(0, 0, "x", "ADMIN", "Outro admin");  // the login already exists
  EXPECT_FALSE(dup.Inserir());
  TInventario sem_data = inventory(1);
  sem_data.DATA_INVENTARIO = {};
  EXPECT_FALSE(sem_data.Inserir());

  std::vector<std::string> lines = log_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("spInserirUsuario - Falha: ", 0), 0u) << lines[0];
  EXPECT_GT(lines[0].size(), std::string("spInserirUsuario - Falha: ").size());
  EXPECT_EQ(lines[1].rfind("spInserirInventario - Falha: ", 0), 0u) << lines[1];
  EXPECT_EQ(count(dm_->trCatalogo, "USUARIOS"), 1);
  EXPECT_EQ(count(dm_->trDados, "INVENTARIO"), 0);
}

TEST_F(Entities, NewBaseIsRegisteredOnlyWhenItsFilesWereCopied) {
  TBaseDados falha(0, nullptr, (dir_ / "bases").string(), "ACME");
  falha.CopiaArquivos = [](const TBaseDados&) { return false; };
  EXPECT_FALSE(falha.Inserir(true));
  EXPECT_EQ(count(dm_->trCatalogo, "BASE_DADOS"), 1);
  EXPECT_EQ(log_lines().back(), "spInserirBase - Falha: Falha ao criar arquivos da base de dados!");

  TBaseDados ok(0, nullptr, (dir_ / "bases").string(), "ACME");
  std::string copiado_para;
  ok.CopiaArquivos = [&](const TBaseDados& b) {
    copiado_para = b.PATH;
    return true;
  };
  ASSERT_TRUE(ok.Inserir(true));
  EXPECT_EQ(copiado_para, (dir_ / "bases" / "ACME").string());
  dm_->tBaseDados.Refresh();
  EXPECT_EQ(dm_->tBaseDados.Rows().at(1, "PATH"), (dir_ / "bases" / "ACME").string());

  ok.RemoveArquivos = [](const TBaseDados&) { return false; };
  EXPECT_FALSE(ok.Excluir());
  EXPECT_EQ(count(dm_->trCatalogo, "BASE_DADOS"), 2);  // the row stays with its files
  EXPECT_EQ(log_lines().back(),
            "spExcluirBase - Falha: Falha ao remover arquivos da base de dados!");
}

TEST_F(Entities, UserChangeWithoutNewPasswordKeepsItAndLoginStillWorks) {
  TUsuario u(0, 1, "segredo", "joao", "João");
  ASSERT_TRUE(u.Inserir());
  TUsuario sem_senha(u.ID_USUARIO, 0, "", "joao", "João Silva");
  ASSERT_TRUE(sem_senha.Alterar());
  EXPECT_TRUE(dm_->ValidaLogin("JOAO", "segredo"));
  dm_->tUsuarios.Refresh();
  EXPECT_EQ(dm_->tUsuarios.Rows().at(1, "NOME_USUARIO"), "João Silva");
  EXPECT_EQ(dm_->tUsuarios.Rows().at(1, "USUARIO_MESTRE"), "0");
}

TEST_F(Entities, OwnerIsSavedLoadedTrimmedAndCounted) {
  TProprietario vazio;
  EXPECT_TRUE(vazio.Carregar());  // no row: still yes, the object stays empty
  EXPECT_EQ(vazio.TX_RAZAO_SOCIAL, "");
  EXPECT_EQ(vazio.ContaRegistros(), 0);

  TProprietario p;
  p.TX_CNPJ = "11222333000181";
  p.TX_RAZAO_SOCIAL = "Mercado São João";
  p.TX_CIDADE = "Campinas";
  p.TX_ESTADO = "SP";
  p.NB_NUMERO = 120;
  p.TX_CEP = "13010000";
  p.TX_TELEFONE = "1932320000";
  p.TX_FAX = "";
  ASSERT_TRUE(p.Inserir());
  ASSERT_TRUE(p.Inserir());  // saved twice: still one owner

  TProprietario lido;
  ASSERT_TRUE(lido.Carregar());
  EXPECT_GT(lido.ID_PROPRIETARIO, 0);
  EXPECT_EQ(lido.TX_CNPJ, "11222333000181");
  EXPECT_EQ(lido.TX_CEP, "13010000");
  EXPECT_EQ(lido.TX_TELEFONE, "1932320000");
  EXPECT_EQ(lido.TX_FAX, "");
  EXPECT_EQ(lido.TX_RAZAO_SOCIAL, "Mercado São João");
  EXPECT_EQ(lido.NB_NUMERO, 120);
  EXPECT_EQ(lido.ContaRegistros(), 1);

  TProprietario sem_cidade = lido;
  sem_cidade.TX_ESTADO = "SPX";  // wider than the column
  EXPECT_FALSE(sem_cidade.Inserir());
  ASSERT_TRUE(lido.Carregar());
  EXPECT_EQ(lido.TX_ESTADO, "SP");
}

TEST_F(Entities, InvoiceLifecycleRefreshesListsAndRemovesItems) {
  int id = add_invoice({2024, 6, 1});
  ASSERT_GT(id, 0);
  add_item(id, "1", "1800", 1);
  add_item(id, "2", "1800", 2);
  TNotaFiscal n;
  n.ID_NOTA = id;
  EXPECT_EQ(n.ContaNotas(), 1);
  EXPECT_EQ(n.ContaProdutos(), 2);
  EXPECT_EQ(dm_->tProdutoNota.Param("idNota"), Value(std::int64_t{id}));

  n.NB_NOTA = 77;
  n.TX_CNPJ = "11222333000181";
  n.TX_UF = "RJ";
  n.DT_EMISSAO = {2024, 6, 2};
  n.TX_EMITENTE = "Terceiro";
  n.TX_ALIQUOTA = "1200";
  n.TX_VALOR_TOTAL = "100";
  ASSERT_TRUE(n.Alterar());
  ASSERT_EQ(dm_->tNotaFiscal.Rows().size(), 1u);
  EXPECT_EQ(dm_->tNotaFiscal.Rows().at(0, "NB_NOTA"), "77");
  EXPECT_EQ(dm_->tNotaFiscal.Rows().at(0, "TX_UF"), "RJ");

  n.DT_EMISSAO = {};  // no valid date: refused, the stored row unchanged
  EXPECT_FALSE(n.Alterar());
  EXPECT_EQ(dm_->tNotaFiscal.Rows().at(0, "DT_EMISSAO"), "2024-06-02");

  ASSERT_TRUE(n.Excluir());
  EXPECT_EQ(n.ID_NOTA, 0);
  EXPECT_EQ(n.ContaNotas(), 0);
  EXPECT_EQ(count(dm_->trDados, "PRODUTO_NOTA"), 0);
}

TEST_F(Entities, RatesDifferWhenAnyItemTextDiffersFromTheFirst) {
  struct Case {
    std::vector<std::string> rates;
    bool different;
  } cases[] = {
      {{}, false},
      {{"1800"}, false},
      {{"1800", "1800", "1800"}, false},
      {{"1800", "01800"}, true},
      {{"1800", "1800", "1200"}, true},
      {{"0700", "1800", "0700"}, true},
  };
  int numero = 1;
  for (const Case& c : cases) {
    int id = add_invoice({2024, 6, 1}, numero++);
    for (std::size_t i = 0; i < c.rates.size(); ++i)
      add_item(id, std::to_string(i + 1), c.rates[i], static_cast<int>(i + 1));
    TNotaFiscal n;
    n.ID_NOTA = id;
    EXPECT_EQ(n.TemAliquotasDiferentes(), c.different) << ::testing::PrintToString(c.rates);
    EXPECT_FALSE(dm_->tProdutoNota.Active());
  }
}

TEST_F(Entities, ItemWritesAndTheDuplicateCodeError) {
  int a = add_invoice({2024, 6, 1}, 1);
  int b = add_invoice({2024, 6, 1}, 2);
  add_item(a, "100", "1800", 1);
  add_item(a, "200", "1800", 2);
  add_item(b, "100", "1800", 1);
  EXPECT_EQ(dm_->tProdutoNota.Rows().size(), 1u);  // refreshed for invoice b

  try {
    add_item(a, "100", "1800", 3);
    FAIL() << "a repeated code in one invoice was accepted";
  } catch (const TEBancoDados& e) {
    EXPECT_EQ(e.ErrorCode(), -803);
    EXPECT_EQ(e.MensagemCom("100").rfind("O item \"100\" já está cadastrado", 0), 0u);
  }

  TProdutoNotaFiscal item;
  ASSERT_TRUE(item.BuscaPorPeriodo("100", {2024, 6, 1}, {2024, 6, 1}));
  EXPECT_EQ(item.ID_NOTA, a);
  item.TX_QUANTIDADE = "3000";
  ASSERT_TRUE(item.Alterar());
  item.CD_PRODUTO = "200";  // would repeat a code of the invoice
  EXPECT_FALSE(item.Alterar());
  ASSERT_TRUE(item.Excluir());
  EXPECT_EQ(dm_->tProdutoNota.Rows().size(), 1u);

  TProdutoNotaFiscal todos;
  todos.ID_NOTA = a;
  ASSERT_TRUE(todos.ExcluirTodos());
  EXPECT_TRUE(dm_->tProdutoNota.Rows().empty());
  EXPECT_EQ(count(dm_->trDados, "PRODUTO_NOTA"), 1);  // invoice b keeps its item
}

TEST_F(Entities, ItemSearchByCodeAndPeriod) {
  int a = add_invoice({2024, 6, 10}, 1);
  add_item(a, "555", "1800", 4);
  struct Case {
    std::string codigo;
    Date inicial, final_;
    bool found;
  } cases[] = {
      {"555", {2024, 6, 10}, {2024, 6, 10}, true},
      {"  555 ", {2024, 6, 1}, {2024, 6, 30}, true},
      {"555", {2024, 6, 11}, {2024, 6, 30}, false},
      {"55", {2024, 6, 1}, {2024, 6, 30}, false},
      {"555", {}, {}, false},  // an invalid date is an error: no
  };
  for (const Case& c : cases) {
    TProdutoNotaFiscal item;
    EXPECT_EQ(item.BuscaPorPeriodo(c.codigo, c.inicial, c.final_), c.found) << c.codigo;
    if (c.found) {
      EXPECT_EQ(item.NB_ITEM, 4);
      EXPECT_EQ(item.CD_PRODUTO, "555");
      EXPECT_EQ(item.TX_ALIQUOTA, "1800");
    }
  }
}

TEST_F(Entities, ProductWritesLookupsAndTheirInventory) {
  TProduto p = product("123", true);
  int refreshed = 0;
  dm_->tProduto.Subscribe([&](const Query& q) { refreshed += q.Active(); });
  ASSERT_TRUE(p.Inserir());
  EXPECT_GT(p.ID_PRODUTO, 0);
  EXPECT_EQ(refreshed, 0);  // inserting refreshes nothing

  TProduto dup = product("123");
  try {
    dup.Inserir();
    FAIL() << "a second product with the same code was accepted";
  } catch (const TEBancoDados& e) {
    EXPECT_EQ(e.ErrorCode(), -803);
    EXPECT_EQ(std::string(e.what()), TEBancoDados::Mensagem(-803));
  }
  EXPECT_EQ(refreshed, 0);
  EXPECT_EQ(count(dm_->trDados, "PRODUTO"), 1);

  TProduto found;
  ASSERT_TRUE(found.BuscaPorCodigo("123"));
  EXPECT_EQ(found.ID_PRODUTO, p.ID_PRODUTO);
  EXPECT_TRUE(found.CS_CONTROLA_ESTOQUE);
  EXPECT_EQ(found.TX_VALOR_UNITARIO, "250");
  EXPECT_EQ(found.TX_QUANTIDADE, "0000");
  EXPECT_FALSE(TProduto().BuscaPorCodigo("123 "));
  EXPECT_FALSE(TProduto().BuscaPorCodigo("12"));

  TInventario inv = inventory(p.ID_PRODUTO);
  ASSERT_TRUE(inv.Inserir());
  TInventario lido;
  ASSERT_TRUE(lido.BuscaPorProduto(p.ID_PRODUTO));
  EXPECT_EQ(lido.ID_INVENTARIO, inv.ID_INVENTARIO);
  EXPECT_EQ(lido.DATA_INVENTARIO, (Date{2024, 12, 31}));
  EXPECT_EQ(lido.UF_POSSPROP, "SP");
  EXPECT_FALSE(TInventario().BuscaPorProduto(p.ID_PRODUTO + 1));

  found.TX_DESCRICAO = "Renomeado";
  ASSERT_TRUE(found.Alterar());
  EXPECT_EQ(refreshed, 1);
  EXPECT_EQ(dm_->tInventario.Rows().at(0, "TX_DESCRICAO"), "Renomeado");
  ASSERT_TRUE(found.Excluir());
  EXPECT_TRUE(dm_->tProduto.Rows().empty());
  EXPECT_TRUE(dm_->tInventario.Rows().empty());
  EXPECT_FALSE(TInventario().BuscaPorProduto(p.ID_PRODUTO));
}

}  // namespace
}  // namespace store::testing
