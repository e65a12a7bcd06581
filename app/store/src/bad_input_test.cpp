// Bad input: values wider than their columns, texts that look like SQL, databases that
// are locked, missing or of an older layout. Each ends in a clear error and leaves
// nothing half-written.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "store_fixture.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;

class BadInput : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    if (HasFatalFailure()) return;
    connect();
  }

  int error_code_of(const std::function<void()>& f) {
    try {
      f();
    } catch (const TEBancoDados& e) {
      return e.ErrorCode();
    }
    return 0;
  }
};

TEST_F(BadInput, ValuesWiderThanTheirColumnsAreRefusedWhole) {
  auto produto = [](std::string codigo, std::string descricao) {
    TProduto p;
    p.CD_PRODUTO = std::move(codigo);
    p.TX_DESCRICAO = std::move(descricao);
    p.TX_UNIDADE = "UN";
    p.TX_TIPO_ALIQUOTA = "ICMS";
    return p;
  };
  int nota = add_invoice({2024, 1, 1});
  struct Case {
    const char* what;
    std::function<void()> write;
  } cases[] = {
      {"product code of 14", [&] { produto("12345678901234", "x").Inserir(); }},
      {"description of 301", [&] { produto("1", std::string(301, 'a')).Inserir(); }},
      {"unit of 4",
       [&] {
         TProduto p = produto("2", "x");
         p.TX_UNIDADE = "UNID";
         p.Inserir();
       }},
      {"item rate of 6", [&] { add_item(nota, "1", "018000"); }},
  };
  for (const Case& c : cases) EXPECT_EQ(error_code_of(c.write), 119) << c.what;
  EXPECT_EQ(count(dm_->trDados, "PRODUTO"), 0);
  EXPECT_EQ(count(dm_->trDados, "PRODUTO_NOTA"), 0);

  // Widths count Windows-1252 characters: 300 accented letters fit in 300.
  EXPECT_EQ(error_code_of([&] { produto("3", std::string(300, 'x')).Inserir(); }), 0);
  std::string acentos;
  for (int i = 0; i < 300; ++i) acentos += "ç";
  EXPECT_EQ(error_code_of([&] { produto("4", acentos).Inserir(); }), 0);
  TProduto lido;
  ASSERT_TRUE(lido.BuscaPorCodigo("4"));
  EXPECT_EQ(lido.TX_DESCRICAO, acentos);
}

TEST_F(BadInput, LoggedEntitiesAnswerNoForOverlongValues) {
  TUsuario longo(0, 0, "x", "LOGIN", std::string(31, 'n'));
  EXPECT_FALSE(longo.Inserir());
  TBaseDados base(0, nullptr, "/x", std::string(41, 'b'));
  EXPECT_FALSE(base.Inserir(false));
  EXPECT_EQ(count(dm_->trCatalogo, "USUARIOS"), 1);
  EXPECT_EQ(count(dm_->trCatalogo, "BASE_DADOS"), 1);
  std::vector<std::string> lines = log_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("spInserirUsuario - Falha: ", 0), 0u);
  EXPECT_EQ(lines[1].rfind("spInserirBase - Falha: ", 0), 0u);
}

TEST_F(BadInput, QuotesAndSemicolonsAreDataNeverSql) {
  const std::string textos[] = {
      "Pão d'Água; DROP TABLE PRODUTO; --",
      "'; DELETE FROM USUARIOS WHERE '1'='1",
      "\"aspas\" /* comentário */ :param ?",
  };
  int codigo = 1;
  for (const std::string& t : textos) {
    TProduto p;
    p.CD_PRODUTO = std::to_string(codigo++);
    p.TX_DESCRICAO = t;
    p.TX_UNIDADE = "UN";
    p.TX_TIPO_ALIQUOTA = "ICMS";
    ASSERT_NO_THROW(p.Inserir()) << t;
    TProduto lido;
    ASSERT_TRUE(lido.BuscaPorCodigo(p.CD_PRODUTO));
    EXPECT_EQ(lido.TX_DESCRICAO, t);
  }
  EXPECT_FALSE(TProduto().BuscaPorCodigo("1' OR '1'='1"));
  EXPECT_FALSE(dm_->ValidaLogin("ADMIN' --", "x"));
  TUsuario u(0, 0, "x';--", "O'NEIL", "O'Neil; Jr");
  ASSERT_TRUE(u.Inserir());
  EXPECT_TRUE(dm_->ValidaLogin("O'NEIL", "x';--"));
  EXPECT_EQ(count(dm_->trCatalogo, "USUARIOS"), 2);
  EXPECT_EQ(count(dm_->trDados, "PRODUTO"), 3);
}

TEST_F(BadInput, LockedDataDatabaseFailsToOpenAndLeavesNothingOpen) {
  fs::path base = make_base("Travada");
  // Another engine instance (a separate process) holds the file until its input ends;
  // it says so by answering a first query.
  fs::path ready = dir_ / "ready.txt";
  std::string cmd = "(echo 'select 1 from rdb$database;'; cat) | isql-fb -q -user SYSDBA '" +
                    (base / kDataFile).string() + "' >'" + ready.string() + "' 2>&1";
  FILE* holder = popen(cmd.c_str(), "w");
  ASSERT_NE(holder, nullptr);
  std::string answer;
  for (int i = 0; i < 100 && answer.find("CONSTANT") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::ifstream in(ready);
    answer.assign(std::istreambuf_iterator<char>(in), {});
  }
  if (answer.find("CONSTANT") == std::string::npos) {
    pclose(holder);
    FAIL() << "the other process could not open the database: " << answer;
  }
  try {
    dm_->TrocarBanco("Travada", location(base));
    ADD_FAILURE() << "opened a database another process holds";
  } catch (const DatabaseError& e) {
    EXPECT_NE(std::string(e.what()), "");
  }
  EXPECT_FALSE(dm_->dbDados.Connected());
  EXPECT_FALSE(dm_->tProduto.Active());
  pclose(holder);
  dm_->TrocarBanco("Travada", location(base));  // free again: opens
  EXPECT_TRUE(dm_->dbDados.Connected());
}

TEST_F(BadInput, CatalogueOfAnOlderLayoutGivesClearErrors) {
  // An older catalogue without the procedures the program calls.
  ExecSQL(dm_->trCatalogo, "DROP PROCEDURE LOGIN");
  ExecSQL(dm_->trCatalogo, "DROP PROCEDURE LOG_OPERACAO");
  dm_->trCatalogo.CommitRetaining();
  dm_->dbCatalogo.ReleaseStatements();

  std::string erro;
  EXPECT_FALSE(dm_->ValidaLogin("ADMIN", "admin", &erro));
  EXPECT_EQ(erro.rfind("Erro no login: ", 0), 0u) << erro;
  EXPECT_GT(erro.size(), std::string("Erro no login: ").size());

  std::string mensagem;
  dm_->OnLogError = [&](const std::string& m) { mensagem = m; };
  // The logged operation itself succeeds; only its line is missing, and that is said.
  TBaseDados base(0, nullptr, "/x", "Cliente");
  EXPECT_TRUE(base.Inserir(false));
  EXPECT_EQ(mensagem.rfind("Erro ao gravar log: ", 0), 0u) << mensagem;
  EXPECT_EQ(count(dm_->trCatalogo, "BASE_DADOS"), 2);
  EXPECT_EQ(count(dm_->trCatalogo, "LOG"), 0);
}

}  // namespace
}  // namespace store::testing
