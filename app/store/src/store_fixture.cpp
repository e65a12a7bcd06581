#include "store_fixture.h"

#include <cstdlib>

#include "store/testing/own_lock_folder.h"

namespace store::testing {

namespace fs = std::filesystem;

namespace {

fs::path share() {
  return STORE_SHARE_DIR;
}

}  // namespace

void StoreTest::SetUp() {
  UseOwnLockFolder();
  const char* srv = std::getenv("STORE_SERVER");
  server_ = srv ? srv : "";
  ASSERT_TRUE(fs::exists(share() / kCatalogFile))
      << "STORE_SHARE_DIR must name the built databases";
  std::string tmpl = (fs::temp_directory_path() / "store-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
  dir_ = tmpl;
  fs::copy_file(share() / kCatalogFile, dir_ / kCatalogFile);
  fs::create_directories(dir_ / kTemplateFolder);
  fs::copy_file(share() / kTemplateFolder / kDataFile, dir_ / kTemplateFolder / kDataFile);
  dm_ = std::make_unique<TdmTributarium>();
  ASSERT_EQ(dmTributarium, dm_.get());
  dm_->PathBaseDados = location(dir_);
}

void StoreTest::TearDown() {
  dm_.reset();
  std::error_code ec;
  if (!dir_.empty()) fs::remove_all(dir_, ec);
}

std::string StoreTest::location(const fs::path& p) const {
  return server_.empty() ? p.string() : server_ + ":" + p.string();
}

fs::path StoreTest::make_base(const std::string& name) {
  fs::path base = dir_ / name;
  fs::create_directories(base);
  fs::copy_file(share() / kTemplateFolder / kDataFile, base / kDataFile);
  return base;
}

void StoreTest::connect() {
  dm_->ConectaCatalogo();
  dm_->TrocarBanco("Default", location(dir_ / kTemplateFolder));
}

RowSet StoreTest::select(Transaction& tr, const std::string& sql,
                         const std::vector<std::pair<std::string, Value>>& params) {
  Query q("teste", tr, sql);
  for (auto& [k, v] : params) q.SetParam(k, v);
  q.Open();
  return q.Rows();
}

std::vector<std::string> StoreTest::log_lines() {
  std::vector<std::string> out;
  RowSet r = select(dm_->trCatalogo, "select TX_OPERACAO from LOG order by ID_ITEMLOG");
  for (auto& row : r.rows) out.push_back(row[0]);
  return out;
}

std::vector<int> StoreTest::log_users() {
  std::vector<int> out;
  RowSet r = select(dm_->trCatalogo, "select ID_USUARIO from LOG order by ID_ITEMLOG");
  for (std::size_t i = 0; i < r.size(); ++i)
    out.push_back(static_cast<int>(r.integer(i, "ID_USUARIO")));
  return out;
}

std::int64_t StoreTest::count(Transaction& tr, const std::string& table) {
  RowSet r = select(tr, "select count(*) from " + table);
  return r.integer(0, "COUNT");
}

int StoreTest::add_invoice(const Date& d, int numero) {
  TNotaFiscal n;
  n.NB_NOTA = numero;
  n.TX_CNPJ = "11222333000181";
  n.TX_IE = "123456";
  n.TX_UF = "SP";
  n.DT_EMISSAO = d;
  n.NB_MODELO = 1;
  n.TX_SERIE = "U";
  n.NB_CFOP = 5102;
  n.TX_EMITENTE = "Próprio";
  n.TX_ALIQUOTA = "1800";
  n.TX_VALOR_TOTAL = "10000";
  n.TX_SITUACAO = "N";
  EXPECT_TRUE(n.Inserir());
  return n.ID_NOTA;
}

void StoreTest::add_item(int id_nota, const std::string& codigo, const std::string& aliquota,
                         int item) {
  TProdutoNotaFiscal p;
  p.CD_PRODUTO = codigo;
  p.NB_ITEM = item;
  p.TX_QUANTIDADE = "1000";
  p.TX_VALOR_ITEM = "500";
  p.TX_BASE_ICMS = "500";
  p.TX_ALIQUOTA = aliquota;
  p.NB_CST = 0;
  p.TX_DESCRICAO = "Item " + codigo;
  p.ID_NOTA = id_nota;
  p.Inserir();
}

}  // namespace store::testing
