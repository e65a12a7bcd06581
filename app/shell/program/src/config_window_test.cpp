#include "shell/program/config_window.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>

#include "common/files.h"
#include "common/ini.h"
#include "shell/testing/shell_fixture.h"
#include "store/entities.h"

namespace fs = std::filesystem;

namespace shell {
namespace {

class ConfigWindowTest : public testing::ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    InstalaCatalogo();
    store::TUsuario maria(0, 0, "m", "MARIA", "Maria");
    ASSERT_TRUE(maria.Inserir());
    maria_ = maria.ID_USUARIO;
    // Log rows of known days and users.
    Registra(1, {2026, 3, 9}, "ontem admin");
    Registra(1, {2026, 3, 10}, "hoje admin");
    Registra(maria_, {2026, 3, 10}, "hoje maria");
    Registra(maria_, {2026, 3, 11}, "amanha maria");
    Registra(9999, {2026, 3, 10}, "usuario removido");
  }
  void Registra(int usuario, store::Date dia, const std::string& texto) {
    auto& sp = dm_->spLogOperacao;
    sp.ClearParams();
    sp.SetParam("ID_USUARIO", std::int64_t{usuario});
    sp.SetParam("DATA", dia);
    sp.SetParam("HORA", store::Time{10, 30, 5});
    sp.SetParam("TX_OPERACAO", texto);
    sp.ExecProc();
    dm_->trCatalogo.CommitRetaining();
  }
  // Lines of Log.txt as operation texts.
  std::vector<std::string> Exportadas() {
    auto dados = common::read_file(dir_ / "Log" / "Log.txt");
    EXPECT_TRUE(dados);
    std::vector<std::string> ops;
    for (const std::string& l : common::split_lines(dados ? *dados : "")) {
      auto tab = l.rfind('\t');
      ops.push_back(tab == std::string::npos ? l : l.substr(tab + 1));
    }
    return ops;
  }
  int maria_ = 0;
};

using Linhas = std::vector<std::string>;

TEST_F(ConfigWindowTest, LogExportWithEqualDatesAndUserFilter) {
  TfrmConfiguracoes w(*principal_);
  w.ExportarLog();
  ASSERT_FALSE(w.gbFiltro()->isHidden());
  w.dtInicial()->setDate(QDate(2026, 3, 10));
  w.dtFinal()->setDate(QDate(2026, 3, 10));
  w.Gerar();
  EXPECT_EQ(Exportadas(), (Linhas{"hoje admin", "hoje maria", "usuario removido"}));

  w.cmbUsuario()->setCurrentIndex(w.cmbUsuario()->findText(QStringLiteral("Maria")));
  w.Gerar();
  EXPECT_EQ(Exportadas(), (Linhas{"hoje maria"}));

  w.cmbUsuario()->setCurrentIndex(w.cmbUsuario()->findText(QStringLiteral("Administrador")));
  w.Gerar();
  EXPECT_EQ(Exportadas(), (Linhas{"hoje admin"}));

  w.cmbUsuario()->setCurrentIndex(0);
  w.Gerar();
  EXPECT_EQ(Exportadas(), (Linhas{"hoje admin", "hoje maria", "usuario removido"}));
  for (auto& m : dialogos_.mensagens) EXPECT_EQ(m.titulo, QStringLiteral("Sucesso!"));
}

TEST_F(ConfigWindowTest, ExportedLineCarriesDateTimeUserAndOperation) {
  TfrmConfiguracoes w(*principal_);
  w.ExportarLog();
  w.dtInicial()->setDate(QDate(2026, 3, 10));
  w.dtFinal()->setDate(QDate(2026, 3, 10));
  w.cmbUsuario()->setCurrentIndex(w.cmbUsuario()->findText(QStringLiteral("Maria")));
  w.Gerar();
  auto dados = common::read_file(dir_ / "Log" / "Log.txt");
  ASSERT_TRUE(dados);
  const std::string data =
      QLocale::system().toString(QDate(2026, 3, 10), QLocale::ShortFormat).toStdString();
  EXPECT_EQ(*dados, data + "-10:30:05\tMaria\thoje maria\r\n");
}

TEST_F(ConfigWindowTest, ExportIntoAnUnwritablePlaceShowsTheFailureMessage) {
  TfrmConfiguracoes w(*principal_);
  { std::ofstream(dir_ / "arquivo") << "x"; }
  w.edtLog()->setText(QString::fromStdString((dir_ / "arquivo").string()));
  w.ExportarLog();
  w.Gerar();
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_EQ(dialogos_.mensagens[0].titulo, QStringLiteral("Erro!"));
  EXPECT_EQ(dialogos_.mensagens[0].icone, Icone::Erro);
}

TEST_F(ConfigWindowTest, LimparCamposGoesBackToYesterdayAndTodayWithoutUser) {
  TfrmConfiguracoes w(*principal_);
  w.ExportarLog();
  w.dtInicial()->setDate(QDate(2020, 1, 1));
  w.cmbUsuario()->setCurrentIndex(1);
  w.LimparCampos();
  EXPECT_EQ(w.dtInicial()->date(), w.dtFinal()->date().addDays(-1));
  EXPECT_EQ(w.cmbUsuario()->currentIndex(), 0);
}

TEST_F(ConfigWindowTest, SalvarWritesEveryKeyOnlyAfterYes) {
  principal_->base = QStringLiteral("ACME");
  TfrmConfiguracoes w(*principal_);
  QTest::keyClicks(w.edtSintegra(), QStringLiteral("2"));
  w.rbNao()->click();
  EXPECT_TRUE(w.alterado());
  dialogos_.respostas = {false};
  w.Salvar();
  common::IniFile ini(dir_ / "Tributarium.ini");
  EXPECT_EQ(ini.read("Tributarium", "IniciarBase"), "1");
  w.Salvar();
  EXPECT_EQ(ini.read("Tributarium", "PathSintegra"), (dir_ / "Sintegra2").string());
  EXPECT_EQ(ini.read("Tributarium", "IniciarBase"), "0");
  EXPECT_EQ(ini.read("Tributarium", "BaseSelecionada"), "ACME");
  EXPECT_FALSE(w.alterado());
  ASSERT_EQ(dialogos_.perguntas.size(), 2u);
  EXPECT_EQ(dialogos_.perguntas[0].texto,
            QStringLiteral("Você tem certeza que deseja salvar as configurações ?"));
  EXPECT_EQ(dialogos_.mensagens.back().texto, QStringLiteral("Operação realizada com sucesso!"));
}

TEST_F(ConfigWindowTest, DatabasesFolderThatCannotBeUsedIsRefusedAndNothingWritten) {
  TfrmConfiguracoes w(*principal_);
  { std::ofstream(dir_ / "arquivo") << "x"; }
  w.edtBaseDados()->setText(QString::fromStdString((dir_ / "arquivo" / "Dados").string()));
  w.Salvar();
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_TRUE(dialogos_.mensagens[0].texto.contains(QStringLiteral("não pode ser usado")));
  EXPECT_EQ(common::IniFile(dir_ / "Tributarium.ini").read("Tributarium", "PathBaseDados"),
            (dir_ / "Dados").string());
}

TEST_F(ConfigWindowTest, RestaurarPadroesCreatesTheFoldersButWritesNothing) {
  TfrmConfiguracoes w(*principal_);
  w.rbNao()->setChecked(true);
  w.edtLog()->setText(QStringLiteral("/outro"));
  { std::ofstream(dir_ / "Sintegra") << "a file where the folder should be"; }
  w.RestaurarPadroes();
  EXPECT_EQ(w.edtLog()->text().toStdString(), (dir_ / "Log").string());
  EXPECT_TRUE(fs::is_directory(dir_ / "Log"));
  EXPECT_EQ(w.edtBaseDados()->text().toStdString(), (dir_ / "Dados").string());
  // A folder that cannot be created falls back to the working folder.
  EXPECT_EQ(w.edtSintegra()->text().toStdString(), dir_.string());
  EXPECT_TRUE(w.rbSim()->isChecked());
  EXPECT_TRUE(dialogos_.perguntas.empty());
}

TEST_F(ConfigWindowTest, ViewerThatCannotOpenTheFileIsReported) {
  TfrmConfiguracoes w(*principal_);
  dialogos_.abrirFunciona = false;
  w.VisualizarLog();
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_EQ(dialogos_.mensagens[0].titulo, QStringLiteral("Error"));
  EXPECT_EQ(dialogos_.mensagens[0].texto, QStringLiteral("Não foi possível abrir o arquivo"));
  EXPECT_EQ(dialogos_.abertos.back().toStdString(), (dir_ / "Log" / "Log.txt").string());
}

}  // namespace
}  // namespace shell
