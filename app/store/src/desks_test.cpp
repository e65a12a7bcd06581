// Several desks on one base: a write that meets another desk's change fails at once with
// the user's message and loses nothing; a reading that must be consistent sees one state.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "store/data_module.h"
#include "store/entities.h"
#include "store_fixture.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;

// Runs a program; its exit code and standard output.
std::pair<int, std::string> run(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return {-1, ""};
  std::array<char, 512> buf;
  while (fgets(buf.data(), buf.size(), p)) out += buf.data();
  int st = pclose(p);
  return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, out};
}

class DesksTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    base_ = make_base("ACME");
    dm_->ConectaCatalogo();
    dm_->TrocarBanco("ACME", location(base_));
    for (const char* codigo : {"1", "2"}) {
      TProduto p;
      p.CD_PRODUTO = codigo;
      p.TX_DESCRICAO = std::string("Produto ") + codigo;
      p.TX_UNIDADE = "UN";
      p.TX_TIPO_ALIQUOTA = "T";
      ASSERT_TRUE(p.Inserir());
    }
    nota_ = add_invoice({2024, 3, 5}, 7);
    add_item(nota_, "1");
  }

  // The other desk: its own connection to the same base.
  void other_desk(Connection& c) {
    c.DatabaseName = location(base_ / kDataFile);
    c.Params = {"user_name=SYSDBA", "password=quernstab"};
    c.Connect();
  }

  std::string description(const std::string& codigo) {
    TProduto p;
    EXPECT_TRUE(p.BuscaPorCodigo(codigo));
    return p.TX_DESCRICAO;
  }

  fs::path base_;
  int nota_ = 0;
};

TEST_F(DesksTest, AnEditMeetingAnotherDesksChangeSaysSoAndSucceedsWhenTriedAgain) {
  Connection c;
  other_desk(c);
  Transaction outra(c, TdmTributarium::kParametrosDados);
  ExecSQL(outra, "update PRODUTO set TX_DESCRICAO = 'da outra mesa' where CD_PRODUTO = '1'");
  ExecSQL(outra,
          "update NOTA_FISCAL set TX_SITUACAO = 'S' where ID_NOTA = " + std::to_string(nota_));
  std::int64_t produtos = count(dm_->trDados, "PRODUTO");

  TProduto p;
  ASSERT_TRUE(p.BuscaPorCodigo("1"));
  p.TX_DESCRICAO = "desta mesa";
  try {
    p.Alterar();
    FAIL() << "the write waited or went over the other desk's change";
  } catch (const TEBancoDados& e) {
    EXPECT_EQ(e.ErrorCode(), kCodigoRegistroEmUso);
    EXPECT_STREQ(e.what(), "Registro em uso por outro usuário. Tente novamente.");
  }
  // The invoice editor's write answers no, and the module says why.
  TNotaFiscal n;
  n.ID_NOTA = nota_;
  n.NB_NOTA = 7;
  n.TX_CNPJ = "11222333000181";
  n.TX_UF = "SP";
  n.DT_EMISSAO = {2024, 3, 5};
  n.TX_EMITENTE = "Próprio";
  n.TX_ALIQUOTA = "1800";
  n.TX_VALOR_TOTAL = "20000";
  dm_->UltimaFalhaEmUso = false;
  EXPECT_FALSE(n.Alterar());
  EXPECT_TRUE(dm_->UltimaFalhaEmUso);
  // A product nobody holds is still written.
  TProduto q;
  ASSERT_TRUE(q.BuscaPorCodigo("2"));
  q.TX_DESCRICAO = "livre";
  EXPECT_TRUE(q.Alterar());

  outra.CommitRetaining();
  EXPECT_EQ(description("1"), "da outra mesa");
  EXPECT_TRUE(p.Alterar()) << "tried again once the other desk has saved";
  EXPECT_EQ(description("1"), "desta mesa");
  EXPECT_TRUE(n.Alterar());
  EXPECT_EQ(count(dm_->trDados, "PRODUTO"), produtos);
  EXPECT_EQ(count(dm_->trDados, "NOTA_FISCAL"), 1);
  EXPECT_EQ(count(dm_->trDados, "PRODUTO_NOTA"), 1);
}

// Two programs on one base: only a server shares it.
TEST_F(DesksTest, TwoProgramsOnOneBaseThroughTheServer) {
  if (!server_mode()) GTEST_SKIP() << "two processes share a base through a server only";
  Connection c;
  other_desk(c);
  Transaction desta(c, TdmTributarium::kParametrosDados);
  ExecSQL(desta, "update PRODUTO set TX_DESCRICAO = 'nesta mesa' where CD_PRODUTO = '1'");
  std::int64_t produtos = count(dm_->trDados, "PRODUTO");
  std::string cmd = std::string("'" OUTRA_MESA "' '") + location(dir_) + "' '" + location(base_) +
                    "' 1 'na outra mesa' 2>&1";
  auto [codigo, saida] = run(cmd);
  EXPECT_EQ(codigo, 3) << saida;
  EXPECT_EQ(saida, "Registro em uso por outro usuário. Tente novamente.\n");
  desta.CommitRetaining();
  EXPECT_EQ(description("1"), "nesta mesa");
  std::tie(codigo, saida) = run(cmd);
  EXPECT_EQ(codigo, 0) << saida;
  EXPECT_EQ(description("1"), "na outra mesa");
  EXPECT_EQ(count(dm_->trDados, "PRODUTO"), produtos) << "nothing lost, nothing doubled";
}

// A code another desk is registering is in use until that desk commits (then registered)
// or gives up (then free): never said to be registered while it may not be.
TEST_F(DesksTest, AProductAnotherDeskIsRegisteringIsInUseUntilItCommitsOrGivesUp) {
  Connection c;
  other_desk(c);
  for (bool confirma : {false, true}) {
    SCOPED_TRACE(confirma ? "the other desk commits" : "the other desk gives up");
    const std::string codigo = confirma ? "4" : "3";
    Transaction outra(c, TdmTributarium::kParametrosDados);
    ExecSQL(outra,
            "insert into PRODUTO (ID_PRODUTO, CD_PRODUTO, TX_DESCRICAO, TX_VALOR_UNITARIO, "
            "TX_PRECO_COMPRA, TX_UNIDADE, TX_ALIQUOTA, TX_TIPO_ALIQUOTA, "
            "CS_CONTROLA_ESTOQUE) values (gen_id(GEN_PRODUTO, 1), '" +
                codigo + "', 'da outra mesa', '100', '50', 'UN', '1800', 'T', 0)");
    TProduto p;
    p.CD_PRODUTO = codigo;
    p.TX_DESCRICAO = "desta mesa";
    p.TX_UNIDADE = "UN";
    p.TX_TIPO_ALIQUOTA = "T";
    try {
      p.Inserir();
      FAIL() << "went over the other desk's row";
    } catch (const TEBancoDados& e) {
      EXPECT_EQ(e.ErrorCode(), kCodigoRegistroEmUso);
    }
    if (confirma) {
      outra.CommitRetaining();
      try {
        p.Inserir();
        FAIL() << "a registered code went in twice";
      } catch (const TEBancoDados& e) {
        EXPECT_EQ(e.ErrorCode(), -803) << "now it is registered";
      }
      EXPECT_EQ(description(codigo), "da outra mesa");
    } else {
      outra.RollbackRetaining();
      EXPECT_TRUE(p.Inserir()) << "tried again once the other desk gave up";
      EXPECT_EQ(description(codigo), "desta mesa");
    }
  }
  EXPECT_EQ(count(dm_->trDados, "PRODUTO"), 4) << "nothing lost, nothing doubled";
}

TEST_F(DesksTest, AConsistentReadingSeesOneStateWhileAnotherDeskCommits) {
  Connection c;
  other_desk(c);
  Transaction outra(c, TdmTributarium::kParametrosDados);
  {
    LeituraConsistente leitura(*dm_);
    EXPECT_EQ(count(dm_->trDados, "NOTA_FISCAL"), 1);
    ExecSQL(outra,
            "insert into NOTA_FISCAL (ID_NOTA, NB_NOTA, TX_CNPJ, TX_UF, DT_EMISSAO, "
            "TX_EMITENTE, TX_ALIQUOTA, TX_VALOR_TOTAL) values (gen_id(GEN_NOTA_FISCAL, "
            "1), 8, '1', 'SP', '2024-03-06', 'Terceiros', '1800', '100')");
    outra.CommitRetaining();
    EXPECT_EQ(count(dm_->trDados, "NOTA_FISCAL"), 1) << "the reading keeps its state";
  }
  EXPECT_EQ(count(dm_->trDados, "NOTA_FISCAL"), 2) << "and the module sees the new one after";
  EXPECT_EQ(dm_->trDados.Params(), TdmTributarium::kParametrosDados);
}

}  // namespace
}  // namespace store::testing
