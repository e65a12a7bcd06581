#include "shell/testing/shell_fixture.h"

#include <QApplication>
#include <cstdlib>

#include "common/clock.h"
#include "store/entities.h"
#include "store/testing/own_lock_folder.h"

namespace fs = std::filesystem;

namespace shell::testing {

void ShellTest::SetUp() {
  store::testing::UseOwnLockFolder();
  std::string modelo = (fs::temp_directory_path() / "shell-test-XXXXXX").string();
  ASSERT_NE(mkdtemp(modelo.data()), nullptr);
  dir_ = modelo;
  anterior_ = fs::current_path();
  // Tributarium.ini lives in the working folder.
  fs::current_path(dir_);
  InstalaDialogos(&dialogos_);
  dm_ = std::make_unique<store::TdmTributarium>();
  principal_ = std::make_unique<PrincipalDeTeste>(*dm_);
  principal_->pathBaseDados = QString::fromStdString((dir_ / "Dados").string());
  principal_->pastaAtual = principal_->pathBaseDados;
}

void ShellTest::TearDown() {
  principal_.reset();
  dm_.reset();
  InstalaDialogos(nullptr);
  common::clock::reset();
  std::error_code ec;
  fs::current_path(anterior_, ec);
  if (!dir_.empty()) fs::remove_all(dir_, ec);
}

void ShellTest::InstalaCatalogo() {
  dm_->PathBaseDados = (dir_ / "Dados").string();
  ASSERT_TRUE(store::InstalaBasesEntregues(dm_->PathBaseDados));
  dm_->ConectaCatalogo();
}

int ShellTest::CriaBase(const std::string& nome) {
  fs::path pasta = dir_ / "Bases" / nome;
  fs::create_directories(pasta);
  fs::copy_file(dir_ / "Dados" / store::kTemplateFolder / store::kDataFile,
                pasta / store::kDataFile);
  store::TBaseDados base(0, nullptr, pasta.string(), nome);
  EXPECT_TRUE(base.Inserir(false));
  dm_->TrocarBanco(nome, pasta.string());
  principal_->base = QString::fromStdString(nome);
  principal_->pastaAtual = QString::fromStdString(pasta.string());
  return base.ID_BASE_DADOS;
}

store::RowSet ShellTest::Consulta(store::Transaction& tr, const std::string& sql) {
  store::Query q("teste", tr, sql);
  q.Open();
  return q.Rows();
}

std::vector<std::string> ShellTest::LinhasDoLog() {
  std::vector<std::string> out;
  store::RowSet r = Consulta(dm_->trCatalogo, "select TX_OPERACAO from LOG order by ID_ITEMLOG");
  for (auto& row : r.rows) out.push_back(row[0]);
  return out;
}

}  // namespace shell::testing

// Windows need an application object; the tests run on the offscreen platform.
int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tributarium"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
