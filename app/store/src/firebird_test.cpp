#include "store/firebird.h"

#include <gtest/gtest.h>

#include "store/data_module.h"

namespace store {
namespace {

TEST(NamedParameters, TranslatedToPositionalOutsideQuotesAndComments) {
  struct Case {
    std::string sql, positional;
    std::vector<std::string> order;
  } cases[] = {
      {"select * from t where a = :idNota order by b",
       "select * from t where a = ? order by b",
       {"IDNOTA"}},
      {"x between :DtInicial and :DtFinal and c = :CodProduto",
       "x between ? and ? and c = ?",
       {"DTINICIAL", "DTFINAL", "CODPRODUTO"}},
      {"where login_usuario=:login_usuario and senha=:senha",
       "where login_usuario=? and senha=?",
       {"LOGIN_USUARIO", "SENHA"}},
      {"select ':no' from t where a = 'it''s :no' and b = :yes",
       "select ':no' from t where a = 'it''s :no' and b = ?",
       {"YES"}},
      {"select \":no\" /* :no */ from t -- :no\nwhere a = :a",
       "select \":no\" /* :no */ from t -- :no\nwhere a = ?",
       {"A"}},
      {"select count(*) from RDB$INDEX_SEGMENTS", "select count(*) from RDB$INDEX_SEGMENTS", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> order;
    EXPECT_EQ(to_positional(c.sql, order), c.positional) << c.sql;
    EXPECT_EQ(order, c.order) << c.sql;
  }
}

TEST(NamedParameters, QueriesOfTheModuleKnowTheirParameters) {
  TdmTributarium dm;
  EXPECT_EQ(dm.qBuscaProdutoNFPorPeriodo.ParamNames(),
            (std::vector<std::string>{"DTINICIAL", "DTFINAL", "CODPRODUTO"}));
  EXPECT_EQ(dm.tProdutoNota.ParamNames(), (std::vector<std::string>{"IDNOTA"}));
  EXPECT_TRUE(dm.tProduto.ParamNames().empty());
  EXPECT_THROW(dm.tProdutoNota.SetParam("idProduto", std::int64_t{1}), std::invalid_argument);
  EXPECT_THROW(dm.spInserirProduto.SetParam("ID_NOTA", std::int64_t{1}), std::invalid_argument);
  // Nothing is connected when the module is made, and every parameter list has exactly
  // the two entries once connected.
  EXPECT_FALSE(dm.dbCatalogo.Connected());
  EXPECT_FALSE(dm.dbDados.Connected());
  EXPECT_EQ(dm.query("tinventario"), &dm.tInventario);
  EXPECT_EQ(dm.query("nenhuma"), nullptr);
}

TEST(RowSetAccess, ColumnsByNameCaseBlind) {
  RowSet r;
  r.columns = {"ID_NOTA", "DT_EMISSAO", "TX_IE"};
  r.rows = {{"7", "2024-02-29", ""}};
  r.nulls = {{false, false, true}};
  EXPECT_EQ(r.integer(0, "id_nota"), 7);
  EXPECT_EQ(r.date(0, "Dt_Emissao"), (Date{2024, 2, 29}));
  EXPECT_TRUE(r.is_null(0, "TX_IE"));
  EXPECT_EQ(r.column("NB_NOTA"), -1);
  EXPECT_THROW(r.at(0, "NB_NOTA"), std::out_of_range);
  EXPECT_THROW(r.at(1, "ID_NOTA"), std::out_of_range);
}

TEST(Locations, JoinedWithOneSeparator) {
  EXPECT_EQ(join_location("/dados", "tributariumbase.fdb"), "/dados/tributariumbase.fdb");
  EXPECT_EQ(join_location("/dados/", "tributariumbase.fdb"), "/dados/tributariumbase.fdb");
  EXPECT_EQ(join_location("srv:/dados", "x.fdb"), "srv:/dados/x.fdb");
}

}  // namespace
}  // namespace store
