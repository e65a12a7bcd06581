// What the program relies on from each stored procedure, run on the delivered DDL.
#include "store_fixture.h"

namespace store::testing {
namespace {

using std::int64_t;

class Procedures : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    if (HasFatalFailure()) return;
    connect();
  }

  int64_t exec(StoredProc& sp, const std::vector<std::pair<std::string, Value>>& values,
               const std::string& output = "") {
    sp.ClearParams();
    for (auto& [k, v] : values) sp.SetParam(k, v);
    sp.ExecProc();
    sp.transaction().CommitRetaining();
    return output.empty() ? 0 : sp.OutputInt(output);
  }

  int64_t insert_product(const std::string& code) {
    return exec(dm_->spInserirProduto,
                {{"CD_PRODUTO", code},
                 {"TX_DESCRICAO", "Produto " + code},
                 {"TX_VALOR_UNITARIO", "150"},
                 {"TX_PRECO_COMPRA", "100"},
                 {"TX_UNIDADE", "UN"},
                 {"TX_ALIQUOTA", "1800"},
                 {"TX_TIPO_ALIQUOTA", "ICMS"},
                 {"CS_CONTROLA_ESTOQUE", int64_t{1}},
                 {"TX_QUANTIDADE", "0000"}},
                "ID_PRODUTO");
  }

  void insert_item(int64_t nota, const std::string& code) {
    exec(dm_->spInserirProdutoNota, {{"CD_PRODUTO", code},
                                     {"NB_ITEM", int64_t{1}},
                                     {"TX_QUANTIDADE", "1000"},
                                     {"TX_VALOR_ITEM", "100"},
                                     {"TX_BASE_ICMS", "100"},
                                     {"TX_ALIQUOTA", "1800"},
                                     {"ID_NOTA", nota}});
  }

  int64_t insert_inventory(int64_t produto) {
    return exec(dm_->spInserirInventario,
                {{"DATA_INVENTARIO", Date{2024, 12, 31}},
                 {"ID_PRODUTO", produto},
                 {"QUANTIDADE", "5000"},
                 {"VALOR_PRODUTO", "750"},
                 {"CODIGO_POSSE", int64_t{1}},
                 {"CNPJ_POSS_PROP", "11222333000181"},
                 {"IE_POSS_PROP", "ISENTO"},
                 {"UF_POSSPROP", "SP"}},
                "ID_INVENTARIO");
  }

  int sqlcode_of(const std::function<void()>& f) {
    try {
      f();
    } catch (const DatabaseError& e) {
      return e.sqlcode();
    }
    return 0;
  }
};

// Each procedure declares its inputs in the order the program's call lists them, so a
// positional EXECUTE PROCEDURE from any client means the same.
TEST_F(Procedures, InputsDeclaredInTheOrderOfTheCall) {
  StoredProc* catalogue[] = {&dm_->spInserirBase,    &dm_->spAlterarBase,    &dm_->spExcluirBase,
                             &dm_->spInserirUsuario, &dm_->spAlterarUsuario, &dm_->spExcluirUsuario,
                             &dm_->spLogin,          &dm_->spLogOperacao};
  StoredProc* data[] = {
      &dm_->spInserirProprietario, &dm_->spInserirNotaFiscal,       &dm_->spAlterarNotaFiscal,
      &dm_->spExcluirNotaFiscal,   &dm_->spInserirProdutoNota,      &dm_->spAlterarProdutoNota,
      &dm_->spExcluirProdutoNota,  &dm_->spExcluirTodosProdutoNota, &dm_->spInserirProduto,
      &dm_->spAlterarProduto,      &dm_->spExcluirProduto,          &dm_->spInserirInventario,
      &dm_->spAlterarInventario,   &dm_->spExcluirInventario};
  auto check = [&](StoredProc* sp, Transaction& tr) {
    RowSet r = select(tr,
                      "select trim(RDB$PARAMETER_NAME) as NOME from RDB$PROCEDURE_PARAMETERS "
                      "where RDB$PROCEDURE_NAME = :p and RDB$PARAMETER_TYPE = 0 "
                      "order by RDB$PARAMETER_NUMBER",
                      {{"p", sp->procedure()}});
    std::vector<std::string> declared;
    for (auto& row : r.rows) declared.push_back(row[0]);
    EXPECT_EQ(declared, sp->inputs()) << sp->procedure();
  };
  for (StoredProc* sp : catalogue) check(sp, dm_->trCatalogo);
  for (StoredProc* sp : data) check(sp, dm_->trDados);
}

TEST_F(Procedures, InsertsReturnTheNewKeys) {
  EXPECT_EQ(exec(dm_->spInserirBase, {{"NOME_CLIENTE", "ACME"}, {"PATH", "/bases/ACME"}},
                 "ID_BASE_DADOS"),
            2);  // 1 is the delivered Default base
  EXPECT_EQ(exec(dm_->spInserirUsuario,
                 {{"NOME_USUARIO", "Maria"},
                  {"LOGIN_USUARIO", "MARIA"},
                  {"SENHA", "x"},
                  {"USUARIO_MESTRE", int64_t{0}}},
                 "ID_USUARIO"),
            2);  // 1 is ADMIN
  int64_t p1 = insert_product("1");
  int64_t p2 = insert_product("2");
  EXPECT_EQ(p1, 1);
  EXPECT_EQ(p2, 2);
  EXPECT_EQ(insert_inventory(p1), 1);
  int a = add_invoice({2024, 3, 1});
  int b = add_invoice({2024, 3, 2});
  EXPECT_GT(a, 0);
  EXPECT_EQ(b, a + 1);
}

TEST_F(Procedures, AlterationsReplaceTheRowValues) {
  int64_t id =
      exec(dm_->spInserirBase, {{"NOME_CLIENTE", "ACME"}, {"PATH", "/a"}}, "ID_BASE_DADOS");
  exec(dm_->spAlterarBase, {{"ID_BASE_DADOS", id}, {"NOME_CLIENTE", "ACME 2"}, {"PATH", "/b"}});
  RowSet r =
      select(dm_->trCatalogo, "select * from BASE_DADOS where ID_BASE_DADOS = :id", {{"id", id}});
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r.at(0, "NOME_CLIENTE"), "ACME 2");
  EXPECT_EQ(r.at(0, "PATH"), "/b");

  int64_t prod = insert_product("10");
  exec(dm_->spAlterarProduto, {{"ID_PRODUTO", prod},
                               {"CD_PRODUTO", "11"},
                               {"TX_DESCRICAO", "Novo"},
                               {"TX_VALOR_UNITARIO", "999"},
                               {"TX_UNIDADE", "KG"},
                               {"TX_ALIQUOTA", "0700"},
                               {"TX_TIPO_ALIQUOTA", "ISS"},
                               {"CS_CONTROLA_ESTOQUE", int64_t{0}},
                               {"TX_PRECO_COMPRA", "555"},
                               {"TX_QUANTIDADE", "3000"}});
  r = select(dm_->trDados, "select * from PRODUTO");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r.at(0, "CD_PRODUTO"), "11");
  EXPECT_EQ(r.at(0, "TX_VALOR_UNITARIO"), "999");
  EXPECT_EQ(r.at(0, "TX_PRECO_COMPRA"), "555");
  EXPECT_EQ(r.at(0, "TX_UNIDADE"), "KG");
  EXPECT_EQ(r.at(0, "TX_TIPO_ALIQUOTA"), "ISS");
  EXPECT_EQ(r.at(0, "CS_CONTROLA_ESTOQUE"), "0");

  exec(dm_->spExcluirBase, {{"ID_BASE_DADOS", id}});
  EXPECT_EQ(count(dm_->trCatalogo, "BASE_DADOS"), 1);
}

TEST_F(Procedures, LoginAnswersOneOnlyForLoginAndDigest) {
  struct Case {
    std::string login, senha;
    int64_t isvalid;
  } cases[] = {
      {"ADMIN", "21232f297a57a5a743894a0e4a801fc3", 1},
      {"ADMIN", "21232f297a57a5a743894a0e4a801fc4", 0},
      {"ADMIN", "admin", 0},
      {"admin", "21232f297a57a5a743894a0e4a801fc3", 0},
      {"NINGUEM", "21232f297a57a5a743894a0e4a801fc3", 0},
      {"", "", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(exec(dm_->spLogin, {{"LOGIN_USUARIO", c.login}, {"SENHA", c.senha}}, "ISVALID"),
              c.isvalid)
        << c.login << "/" << c.senha;
}

TEST_F(Procedures, ChangingAUserWithoutPasswordKeepsTheDigest) {
  auto senha = [&] {
    return select(dm_->trCatalogo, "select SENHA from USUARIOS where ID_USUARIO = 1")
        .at(0, "SENHA");
  };
  exec(dm_->spAlterarUsuario, {{"ID_USUARIO", int64_t{1}},
                               {"NOME_USUARIO", "Admin"},
                               {"LOGIN_USUARIO", "ADMIN"},
                               {"SENHA", ""},
                               {"USUARIO_MESTRE", int64_t{1}}});
  EXPECT_EQ(senha(), "21232f297a57a5a743894a0e4a801fc3");
  exec(dm_->spAlterarUsuario, {{"ID_USUARIO", int64_t{1}},
                               {"NOME_USUARIO", "Admin"},
                               {"LOGIN_USUARIO", "ADMIN"},
                               {"SENHA", "0123456789abcdef0123456789abcdef"},
                               {"USUARIO_MESTRE", int64_t{1}}});
  EXPECT_EQ(senha(), "0123456789abcdef0123456789abcdef");
}

TEST_F(Procedures, UniqueViolationsAreSqlcode803) {
  insert_product("789");
  EXPECT_EQ(sqlcode_of([&] { insert_product("789"); }), -803);
  dm_->trDados.RollbackRetaining();

  int64_t a = add_invoice({2024, 3, 1}, 1);
  int64_t b = add_invoice({2024, 3, 1}, 2);
  insert_item(a, "789");
  EXPECT_EQ(sqlcode_of([&] { insert_item(a, "789"); }), -803);
  dm_->trDados.RollbackRetaining();
  EXPECT_EQ(sqlcode_of([&] { insert_item(b, "789"); }), 0);  // same code, other invoice
  EXPECT_EQ(count(dm_->trDados, "PRODUTO_NOTA"), 2);
}

TEST_F(Procedures, DeletionsLeaveNoOrphans) {
  int64_t a = add_invoice({2024, 3, 1}, 1);
  int64_t b = add_invoice({2024, 3, 1}, 2);
  insert_item(a, "1");
  insert_item(a, "2");
  insert_item(b, "1");

  // Deleting every item of an invoice touches no other invoice.
  exec(dm_->spExcluirTodosProdutoNota, {{"ID_NOTA", a}});
  EXPECT_EQ(select(dm_->trDados, "select ID_NOTA from PRODUTO_NOTA").rows,
            (std::vector<std::vector<std::string>>{{std::to_string(b)}}));

  // An invoice takes its items with it.
  exec(dm_->spExcluirNotaFiscal, {{"ID_NOTA", b}});
  EXPECT_EQ(count(dm_->trDados, "PRODUTO_NOTA"), 0);
  EXPECT_EQ(count(dm_->trDados, "NOTA_FISCAL"), 1);

  // A product takes its inventory row with it.
  int64_t p = insert_product("5");
  int64_t q = insert_product("6");
  insert_inventory(p);
  insert_inventory(q);
  exec(dm_->spExcluirProduto, {{"ID_PRODUTO", p}});
  EXPECT_EQ(select(dm_->trDados, "select ID_PRODUTO from INVENTARIO").rows,
            (std::vector<std::vector<std::string>>{{std::to_string(q)}}));
}

TEST_F(Procedures, OwnerSaveAlwaysLandsInTheFirstRow) {
  auto save = [&](int64_t id, const std::string& razao) {
    exec(dm_->spInserirProprietario, {{"ID_PROPRIETARIO", id},
                                      {"TX_CNPJ", "11222333000181"},
                                      {"TX_RAZAO_SOCIAL", razao},
                                      {"TX_CIDADE", "Campinas"},
                                      {"TX_ESTADO", "SP"},
                                      {"NB_NUMERO", int64_t{10}}});
  };
  save(0, "Primeira");
  RowSet r = select(dm_->trDados, "select * from PROPRIETARIO");
  ASSERT_EQ(r.size(), 1u);
  int64_t id = r.integer(0, "ID_PROPRIETARIO");
  save(id, "Segunda");
  save(0, "Terceira");  // a save without a loaded row must not add a second owner
  r = select(dm_->trDados, "select * from PROPRIETARIO");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r.at(0, "TX_RAZAO_SOCIAL"), "Terceira");
  EXPECT_EQ(r.at(0, "TX_CNPJ"), "11222333000181    ");  // fixed width, padded
}

TEST_F(Procedures, LogOperationAddsARow) {
  exec(dm_->spLogOperacao, {{"ID_USUARIO", int64_t{0}},
                            {"DATA", Date{2024, 5, 6}},
                            {"HORA", Time{13, 14, 15}},
                            {"TX_OPERACAO", "linha"}});
  RowSet r = select(dm_->trCatalogo, "select * from LOG");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r.at(0, "DATA"), "2024-05-06");
  EXPECT_EQ(r.at(0, "HORA"), "13:14:15");
  EXPECT_EQ(r.at(0, "TX_OPERACAO"), "linha");
}

}  // namespace
}  // namespace store::testing
