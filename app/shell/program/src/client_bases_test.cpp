#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>

#include "shell/program/client_bases_window.h"
#include "shell/testing/shell_fixture.h"
#include "store/entities.h"

namespace fs = std::filesystem;

namespace shell {
namespace {

class ClientBasesTest : public testing::ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    InstalaCatalogo();
    fs::create_directories(dir_ / "Bases");
  }
  // The catalogue's rows as name -> path.
  std::map<std::string, std::string> Bases() {
    std::map<std::string, std::string> m;
    store::RowSet r = Consulta(dm_->trCatalogo, "select NOME_CLIENTE, PATH from BASE_DADOS");
    for (std::size_t i = 0; i < r.size(); ++i) m[r.at(i, "NOME_CLIENTE")] = r.at(i, "PATH");
    return m;
  }
  int Linha(TfrmBaseDados& w, const std::string& nome) {
    for (int i = 0; i < w.modelo()->rowCount(); ++i)
      if (w.modelo()->Valor(i, "NOME_CLIENTE") == nome) return i;
    return -1;
  }
  void Escolhe(TfrmBaseDados& w, const std::string& nome) {
    int l = Linha(w, nome);
    ASSERT_GE(l, 0) << nome;
    w.grdBases()->setCurrentIndex(w.modelo()->index(l, 0));
  }
};

TEST_F(ClientBasesTest, NewBaseCopiesTheTemplateIntoPathAndName) {
  TfrmBaseDados w(*principal_);
  w.NovaBase();
  EXPECT_EQ(w.edtPath()->text(), principal_->PastaAtual());
  w.edtNome()->setText(QStringLiteral("ACME"));
  w.edtPath()->setText(QString::fromStdString((dir_ / "Bases").string()));
  w.Salvar();
  EXPECT_EQ(Bases()["ACME"], (dir_ / "Bases" / "ACME").string());
  EXPECT_TRUE(fs::exists(dir_ / "Bases" / "ACME" / "tributariumdados.fdb"));
  EXPECT_TRUE(w.gbNovaBase()->isHidden());
  EXPECT_TRUE(w.edtNome()->text().isEmpty());
  auto log = LinhasDoLog();
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(log.back().starts_with("spInserirBase - id: "));
  EXPECT_TRUE(log.back().ends_with(" - Sucesso! / Cópia de arquivos - Sucesso!"));
  // The new base opens.
  Escolhe(w, "ACME");
  w.SelecionarBase();
  EXPECT_EQ(principal_->selecionadas.back(), QStringLiteral("ACME"));
  EXPECT_TRUE(dm_->dbDados.Connected());
}

TEST_F(ClientBasesTest, ImportedBaseIsRegisteredUnchangedAndNothingCopied) {
  fs::path pasta = dir_ / "Trazida";
  fs::create_directories(pasta);
  fs::copy_file(dir_ / "Dados" / "Default" / "tributariumdados.fdb",
                pasta / "tributariumdados.fdb");
  dialogos_.pastaEscolhida = QString::fromStdString(pasta.string());
  TfrmBaseDados w(*principal_);
  w.ImportarBase();
  EXPECT_EQ(w.modo(), TfrmBaseDados::Modo::Importa);
  EXPECT_FALSE(w.gbNovaBase()->isHidden());
  w.edtNome()->setText(QStringLiteral("Padaria"));
  w.Salvar();
  EXPECT_EQ(Bases()["Padaria"], pasta.string());
  EXPECT_FALSE(fs::exists(pasta / "Padaria"));
  EXPECT_EQ(std::distance(fs::directory_iterator(pasta), fs::directory_iterator()), 1);
}

TEST_F(ClientBasesTest, SaveAnsweredNoRegistersNothingAndClosesTheBox) {
  TfrmBaseDados w(*principal_);
  w.NovaBase();
  w.edtNome()->setText(QStringLiteral("ACME"));
  w.edtPath()->setText(QString::fromStdString((dir_ / "Bases").string()));
  dialogos_.respostas = {false};
  const auto antes = Bases();
  w.Salvar();
  EXPECT_EQ(Bases(), antes);
  EXPECT_FALSE(fs::exists(dir_ / "Bases" / "ACME"));
  EXPECT_TRUE(w.gbNovaBase()->isHidden());
}

TEST_F(ClientBasesTest, NewBaseThatCannotBeMadeLeavesNoRowAndSaysSo) {
  // No name; a name that is a path; a folder already holding another client's data.
  fs::create_directories(dir_ / "Bases" / "Ocupada");
  fs::copy_file(dir_ / "Dados" / "Default" / "tributariumdados.fdb",
                dir_ / "Bases" / "Ocupada" / "tributariumdados.fdb");
  for (const char* nome : {"", "../fora", "Ocupada"}) {
    SCOPED_TRACE(nome);
    dialogos_.mensagens.clear();
    TfrmBaseDados w(*principal_);
    const auto antes = Bases();
    w.NovaBase();
    w.edtNome()->setText(QString::fromUtf8(nome));
    w.edtPath()->setText(QString::fromStdString((dir_ / "Bases").string()));
    w.Salvar();
    EXPECT_EQ(Bases(), antes);
    ASSERT_EQ(dialogos_.mensagens.size(), 1u);
    EXPECT_TRUE(dialogos_.mensagens[0].texto.startsWith(
        QStringLiteral("Não foi possível realizar a operação.")));
    EXPECT_TRUE(LinhasDoLog().back().starts_with("spInserirBase - Falha: "));
  }
  EXPECT_FALSE(fs::exists(dir_ / "fora"));
}

TEST_F(ClientBasesTest, TemplateAndSelectedBaseCannotBeDeleted) {
  CriaBase("ACME");
  TfrmBaseDados w(*principal_);
  const auto antes = Bases();
  Escolhe(w, "Default");
  w.ExcluirBase();
  Escolhe(w, "ACME");
  w.ExcluirBase();
  EXPECT_EQ(Bases(), antes);
  EXPECT_TRUE(dialogos_.perguntas.empty());
  ASSERT_EQ(dialogos_.mensagens.size(), 2u);
  EXPECT_TRUE(dialogos_.mensagens[0].texto.contains(QStringLiteral("é o modelo")));
  EXPECT_TRUE(dialogos_.mensagens[1].texto.contains(QStringLiteral("está selecionada")));
  EXPECT_TRUE(fs::exists(dir_ / "Dados" / "Default" / "tributariumdados.fdb"));
}

TEST_F(ClientBasesTest, BackupAndRestoreOfTheCurrentRow) {
  CriaBase("ACME");
  TfrmBaseDados w(*principal_);
  QStringList botoes;
  for (auto* b : w.findChildren<QPushButton*>()) botoes << b->text();
  EXPECT_TRUE(botoes.contains(QStringLiteral("Cópia de Segurança")))
      << botoes.join(",").toStdString();
  EXPECT_TRUE(botoes.contains(QStringLiteral("Restaurar")));

  Escolhe(w, "ACME");
  const fs::path copia = dir_ / "acme.fbk";
  dialogos_.arquivoEscolhido = QString::fromStdString(copia.string());
  w.CopiaSeguranca();
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_EQ(dialogos_.mensagens[0].titulo, QStringLiteral("Sucesso!"))
      << dialogos_.mensagens[0].texto.toStdString();
  EXPECT_TRUE(fs::exists(copia));

  // The base this program has open is not replaced under it.
  w.Restaurar();
  ASSERT_EQ(dialogos_.mensagens.size(), 2u);
  EXPECT_TRUE(dialogos_.mensagens[1].texto.contains(QStringLiteral("está selecionada")));

  principal_->base = QStringLiteral("Outra");
  dm_->dbDados.Disconnect();
  const fs::path lixo = dir_ / "lixo.fbk";
  std::ofstream(lixo) << "nada";
  dialogos_.arquivoEscolhido = QString::fromStdString(lixo.string());
  w.Restaurar();
  ASSERT_EQ(dialogos_.mensagens.size(), 3u);
  EXPECT_EQ(dialogos_.mensagens[2].titulo, QStringLiteral("Erro!"));
  EXPECT_TRUE(dialogos_.mensagens[2].texto.contains(QString::fromStdString(lixo.string())));

  dialogos_.arquivoEscolhido = QString::fromStdString(copia.string());
  w.Restaurar();
  ASSERT_EQ(dialogos_.mensagens.size(), 4u);
  EXPECT_EQ(dialogos_.mensagens[3].titulo, QStringLiteral("Sucesso!"))
      << dialogos_.mensagens[3].texto.toStdString();
  EXPECT_TRUE(fs::exists(dir_ / "Bases" / "ACME" / "tributariumdados.fdb"));
}

TEST_F(ClientBasesTest, DeleteRemovesTheRowAndOnlyTheClientNamedSubfolder) {
  CriaBase("ACME");
  principal_->base = QStringLiteral("Outra");
  fs::path pasta = dir_ / "Bases" / "ACME";
  fs::create_directories(pasta / "acme");
  TfrmBaseDados w(*principal_);
  Escolhe(w, "ACME");
  dialogos_.respostas = {false};
  w.ExcluirBase();
  EXPECT_EQ(Bases().count("ACME"), 1u);
  Escolhe(w, "ACME");
  w.ExcluirBase();
  EXPECT_EQ(Bases().count("ACME"), 0u);
  EXPECT_FALSE(fs::exists(pasta / "acme"));
  EXPECT_TRUE(fs::exists(pasta / "tributariumdados.fdb"));
  EXPECT_EQ(dialogos_.perguntas[0].texto,
            QStringLiteral("Você tem certeza que deseja excluir base de dados ?"));
}

TEST_F(ClientBasesTest, ClosingWithAnEditedNameAsksFirst) {
  TfrmBaseDados w(*principal_);
  w.NovaBase();
  QTest::keyClicks(w.edtNome(), QStringLiteral("AC"));
  dialogos_.respostas = {false};
  EXPECT_FALSE(w.PedeFechar());
  EXPECT_TRUE(w.PedeFechar());
}

}  // namespace
}  // namespace shell
