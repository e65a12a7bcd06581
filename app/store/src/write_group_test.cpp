// Groups of writes: the entity writes made inside one become durable together, a refused
// write is undone alone, and a group that is not committed keeps nothing.
#include <stdexcept>

#include "store_fixture.h"

namespace store::testing {
namespace {

class WriteGroups : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    connect();
  }
  // Product codes as another connection sees them: only what was committed.
  std::vector<std::string> committed_codes() {
    Connection other;
    other.DatabaseName = dm_->dbDados.DatabaseName;
    other.Params = dm_->dbDados.Params;
    other.Connect();
    Transaction tr(other, {"read_committed", "rec_version", "nowait"});
    RowSet r = select(tr, "select CD_PRODUTO from PRODUTO order by CD_PRODUTO");
    std::vector<std::string> out;
    for (auto& row : r.rows) out.push_back(row[0]);
    return out;
  }
  static TProduto product(const std::string& code) {
    TProduto p;
    p.CD_PRODUTO = code;
    p.TX_DESCRICAO = "Produto " + code;
    p.TX_UNIDADE = "UN";
    p.TX_TIPO_ALIQUOTA = "ICMS";
    return p;
  }
  using Codes = std::vector<std::string>;
};

TEST_F(WriteGroups, WritesOfAGroupAreCommittedTogetherAndARefusedOneIsUndoneAlone) {
  ASSERT_TRUE(product("1").Inserir());
  {
    WriteGroup g(dm_->trDados);
    ASSERT_TRUE(product("2").Inserir());
    // The duplicate is refused; the write before it and the one after it stay.
    EXPECT_THROW(product("1").Inserir(), TEBancoDados);
    ASSERT_TRUE(product("3").Inserir());
    // The writing connection sees its own writes; no one else does yet.
    EXPECT_EQ(count(dm_->trDados, "PRODUTO"), 3);
    EXPECT_EQ(committed_codes(), Codes({"1"}));
    g.Commit();
    EXPECT_FALSE(g.Open());
  }
  EXPECT_EQ(committed_codes(), Codes({"1", "2", "3"}));
  // Outside a group every write commits on its own again.
  ASSERT_TRUE(product("4").Inserir());
  EXPECT_EQ(committed_codes(), Codes({"1", "2", "3", "4"}));
}

TEST_F(WriteGroups, AGroupThatIsNotCommittedKeepsNoneOfItsWrites) {
  struct Case {
    const char* name;
    void (*end)(TdmTributarium&);
  } cases[] = {
      {"rolled back", [](TdmTributarium& m) { m.trDados.RollbackGroup(); }},
      {"left by an exception", [](TdmTributarium&) {}},
      {"connection closed", [](TdmTributarium& m) { m.dbDados.Disconnect(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!dm_->dbDados.Connected()) dm_->TrocarBanco("Default", location(dir_ / kTemplateFolder));
    try {
      WriteGroup g(dm_->trDados);
      ASSERT_TRUE(product("7").Inserir());
      ASSERT_TRUE(product("8").Inserir());
      c.end(*dm_);
      throw std::runtime_error("left");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(dm_->trDados.InGroup());
    EXPECT_EQ(committed_codes(), Codes());
  }
  dm_->TrocarBanco("Default", location(dir_ / kTemplateFolder));
  EXPECT_EQ(count(dm_->trDados, "PRODUTO"), 0);
  ASSERT_TRUE(product("9").Inserir());
  EXPECT_EQ(committed_codes(), Codes({"9"}));
}

TEST_F(WriteGroups, GroupsDoNotNest) {
  WriteGroup g(dm_->trDados);
  EXPECT_THROW(dm_->trDados.BeginGroup(), std::logic_error);
  EXPECT_TRUE(g.Open());
}

}  // namespace
}  // namespace store::testing
