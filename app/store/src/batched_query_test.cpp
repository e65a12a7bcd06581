// Long lists read in batches: what a grid over them reads at open, what more it reads on
// demand, and that every other reader still gets them whole.
#include <gtest/gtest.h>

#include <string>

#include "store/data_module.h"
#include "store/entities.h"
#include "store_fixture.h"

namespace store::testing {
namespace {

class BatchedQuery : public StoreTest {
 protected:
  static constexpr int kProdutos = 3000;

  // kProdutos products coded 1..kProdutos, written in one statement (": i" with a blank: the
  // block's variable, not one of the store's :named parameters).
  void fill_products() {
    ExecSQL(
        dm_->trDados,
        "execute block as declare i integer = 1; begin while (i <= " + std::to_string(kProdutos) +
            ") do begin insert into produto (id_produto, cd_produto, tx_descricao, "
            "tx_valor_unitario, tx_preco_compra, tx_unidade, tx_aliquota, "
            "tx_tipo_aliquota, cs_controla_estoque) values (: i, : i, 'Produto ' || : i, "
            "'100', '50', 'UN', '1800', 'ICMS', 0); i = i + 1; end end");
    dm_->trDados.CommitRetaining();
  }
};

TEST_F(BatchedQuery, OpenReadsOneBatchAndFetchMoreTheNextInOrder) {
  connect();
  fill_products();
  Query& q = dm_->tProduto;
  q.SetBatch(100);
  q.Refresh();
  ASSERT_TRUE(q.Active());
  EXPECT_EQ(q.Fetched().size(), 100u);
  EXPECT_TRUE(q.CanFetchMore());
  EXPECT_EQ(q.Fetched().at(0, "CD_PRODUTO"), "1");
  EXPECT_EQ(q.Fetched().at(99, "TX_DESCRICAO"), "Produto 100");

  std::vector<std::size_t> told;
  int token = q.SubscribeMore([&](const Query&, std::size_t antes) { told.push_back(antes); });
  EXPECT_EQ(q.FetchMore(), 100u);
  EXPECT_EQ(q.Fetched().size(), 200u);
  EXPECT_EQ(q.Fetched().at(100, "CD_PRODUTO"), "101");
  EXPECT_EQ(q.Fetched().at(199, "CD_PRODUTO"), "200");
  EXPECT_EQ(told, (std::vector<std::size_t>{100}));

  // A write committed (retaining) between two batches leaves the cursor open.
  dm_->GravaLog("entre dois lotes");
  EXPECT_EQ(q.FetchMore(), 100u);
  EXPECT_EQ(q.Fetched().at(299, "CD_PRODUTO"), "300");
  q.Unsubscribe(token);
}

TEST_F(BatchedQuery, EveryOtherReaderStillGetsTheWholeList) {
  connect();
  fill_products();
  Query& q = dm_->tProduto;
  q.SetBatch(250);
  q.Refresh();
  EXPECT_EQ(q.Fetched().size(), 250u);
  const RowSet& todos = q.Rows();
  ASSERT_EQ(todos.size(), static_cast<std::size_t>(kProdutos));
  for (int i = 0; i < kProdutos; i += 499)
    EXPECT_EQ(todos.at(i, "CD_PRODUTO"), std::to_string(i + 1)) << i;
  EXPECT_FALSE(q.CanFetchMore());
  EXPECT_EQ(q.FetchMore(), 0u);
}

TEST_F(BatchedQuery, TheLastBatchEndsTheCursorAndAShortListNeedsNone) {
  connect();
  fill_products();
  Query& q = dm_->tProduto;
  q.SetBatch(1000);
  q.Refresh();
  std::size_t lidas = q.Fetched().size();
  while (q.CanFetchMore()) lidas += q.FetchMore();
  EXPECT_EQ(lidas, static_cast<std::size_t>(kProdutos));
  EXPECT_EQ(q.Fetched().at(kProdutos - 1, "CD_PRODUTO"), std::to_string(kProdutos));

  q.SetBatch(5000);
  q.Refresh();
  EXPECT_EQ(q.Fetched().size(), static_cast<std::size_t>(kProdutos));
  EXPECT_FALSE(q.CanFetchMore());
}

TEST_F(BatchedQuery, ClosingOrDisconnectingMidwayDropsTheCursor) {
  connect();
  fill_products();
  Query& q = dm_->tProduto;
  q.SetBatch(10);
  q.Refresh();
  q.Close();
  EXPECT_FALSE(q.CanFetchMore());
  q.Open();
  EXPECT_EQ(q.Fetched().size(), 10u);
  // The invoice count comes from the engine, not from the rows read so far.
  const int antes = TNotaFiscal().ContaNotas();
  add_invoice(Date{2024, 3, 1}, 1);
  add_invoice(Date{2024, 3, 2}, 2);
  EXPECT_EQ(TNotaFiscal().ContaNotas(), antes + 2);
  dm_->tNotaFiscal.SetBatch(1);
  dm_->tNotaFiscal.Refresh();
  EXPECT_EQ(dm_->tNotaFiscal.Fetched().size(), 1u);
  EXPECT_EQ(TNotaFiscal().ContaNotas(), antes + 2);
  dm_.reset();  // the open cursors go with the connection
}

// A consistent reading ends the data transaction while a grid's cursor is open in it: the
// grid goes on from where it was, in the new transaction; rows changed meanwhile are read
// again and the grid told as by an open, never doubled or skipped.
TEST_F(BatchedQuery, AListReadHalfWayGoesOnAfterItsTransactionEnds) {
  connect();
  fill_products();
  Query& q = dm_->tProduto;
  q.SetBatch(100);
  q.Refresh();
  int aberturas = 0;
  std::vector<std::size_t> mais;
  const int t1 = q.Subscribe([&](const Query&) { ++aberturas; });
  const int t2 = q.SubscribeMore([&](const Query&, std::size_t antes) { mais.push_back(antes); });
  { LeituraConsistente leitura(*dm_); }
  ASSERT_TRUE(q.CanFetchMore()) << "the rows not read yet are still to come";
  EXPECT_EQ(q.FetchMore(), 100u);
  ASSERT_EQ(q.Fetched().size(), 200u);
  EXPECT_EQ(q.Fetched().at(100, "CD_PRODUTO"), "101");
  EXPECT_EQ(q.Fetched().at(199, "CD_PRODUTO"), "200");
  EXPECT_EQ(aberturas, 0);
  EXPECT_EQ(mais, (std::vector<std::size_t>{100}));

  // Product 50 goes while no cursor is open: the rows read are read again without it.
  { LeituraConsistente leitura(*dm_); }
  ExecSQL(dm_->trDados, "delete from produto where cd_produto = '50'");
  dm_->trDados.CommitRetaining();
  EXPECT_EQ(q.FetchMore(), 100u);
  ASSERT_EQ(q.Fetched().size(), 300u);
  EXPECT_EQ(q.Fetched().at(48, "CD_PRODUTO"), "49");
  EXPECT_EQ(q.Fetched().at(49, "CD_PRODUTO"), "51");
  EXPECT_EQ(q.Fetched().at(299, "CD_PRODUTO"), "301");
  EXPECT_EQ(aberturas, 1);

  { LeituraConsistente leitura(*dm_); }
  ASSERT_EQ(q.Rows().size(), static_cast<std::size_t>(kProdutos - 1));
  for (int i = 49; i < kProdutos - 1; i += 97)
    EXPECT_EQ(q.Fetched().at(i, "CD_PRODUTO"), std::to_string(i + 2)) << i;
  EXPECT_FALSE(q.CanFetchMore());
  q.Unsubscribe(t1);
  q.Unsubscribe(t2);
}

}  // namespace
}  // namespace store::testing
