#include "shell/program/main_window.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>

#include "common/files.h"
#include "common/ini.h"
#include "shell/invoices/invoice_editor.h"
#include "shell/invoices/invoice_list.h"
#include "shell/program/config_window.h"
#include "shell/testing/shell_fixture.h"
#include "shell/widgets/embedded_window.h"
#include "shell/widgets/help_window.h"
#include "store/entities.h"

namespace fs = std::filesystem;

namespace shell {
namespace {

using testing::ShellTest;

// Logs in with the given texts; answers whether the dialog ended with OK.
std::function<bool(TPasswordDlg&)> Entra(const QString& login, const QString& senha) {
  return [=](TPasswordDlg& dlg) {
    dlg.edtLogin()->setText(login);
    dlg.edtSenha()->setText(senha);
    dlg.Confirma();
    return dlg.result() == QDialog::Accepted;
  };
}

class MainWindowTest : public ShellTest {
 protected:
  // Installs the catalogue, registers a base `nome` and writes the configuration, then
  // lets a new data module start as the program would.
  void PreparaBase(const std::string& nome, const std::string& iniciar,
                   const std::string& selecionada = "") {
    InstalaCatalogo();
    CriaBase(nome);
    dm_.reset();
    dm_ = std::make_unique<store::TdmTributarium>();
    common::IniFile ini(dir_ / "Tributarium.ini");
    ini.write("Tributarium", "PathBaseDados", (dir_ / "Dados").string());
    ini.write("Tributarium", "IniciarBase", iniciar);
    ini.write("Tributarium", "BaseSelecionada", selecionada.empty() ? nome : selecionada);
  }
  std::unique_ptr<TformTributarium> Janela() { return std::make_unique<TformTributarium>(*dm_); }
  bool MenuHabilitado(TformTributarium& w) {
    bool todos = true, nenhum = true;
    for (int n = 2; n <= 7; ++n) {
      todos = todos && w.botao(n)->isEnabled();
      nenhum = nenhum && !w.botao(n)->isEnabled();
    }
    EXPECT_TRUE(todos || nenhum) << "entries 02-07 change together";
    return todos;
  }
  bool AvisouSemBase() {
    for (auto& m : dialogos_.mensagens)
      if (m.titulo == QStringLiteral("Selecione uma Base de Dados!") && m.icone == Icone::Aviso)
        return true;
    return false;
  }
};

// The login dialog's standard buttons, as every standard dialog's, read in Portuguese.
TEST_F(MainWindowTest, StandardButtonsReadInPortuguese) {
  ASSERT_TRUE(CarregaTraducoesQt());
  QDialogButtonBox caixa(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Yes |
                         QDialogButtonBox::No);
  EXPECT_EQ(caixa.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancelar"));
  EXPECT_EQ(caixa.button(QDialogButtonBox::Yes)->text(), QStringLiteral("&Sim"));
  EXPECT_EQ(caixa.button(QDialogButtonBox::No)->text(), QStringLiteral("&Não"));
}

TEST_F(MainWindowTest, FirstStartInEmptyFolderInstallsDatabasesAndAdminLogsIn) {
  auto w = Janela();
  ASSERT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Pronta);
  EXPECT_TRUE(fs::exists(dir_ / "Dados" / "tributariumbase.fdb"));
  EXPECT_TRUE(fs::exists(dir_ / "Dados" / "Default" / "tributariumdados.fdb"));
  common::IniFile ini(dir_ / "Tributarium.ini");
  EXPECT_EQ(ini.keys("Tributarium").size(), 5u);
  EXPECT_EQ(w->usuario().nome, QStringLiteral("Administrador"));
  EXPECT_TRUE(w->UsuarioMestre());
  EXPECT_EQ(dm_->UsuarioLogado, w->usuario().id);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Tributarium Orvik"));
  EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lblVersao"))->text(),
            QStringLiteral("Versão: Beta 02.11"));
  EXPECT_EQ(w->lblCliente()->text(), QStringLiteral("Administrador"));
}

TEST_F(MainWindowTest, TemplateBaseIsRegisteredWithTheDatabasesFolderBeforeLogin) {
  auto w = Janela();
  ASSERT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Pronta);
  store::RowSet r = Consulta(dm_->trCatalogo,
                             "select PATH, NOME_CLIENTE from BASE_DADOS where ID_BASE_DADOS = 1");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r.at(0, "PATH"), (dir_ / "Dados" / "Default").string());
  store::RowSet log =
      Consulta(dm_->trCatalogo, "select ID_USUARIO, TX_OPERACAO from LOG order by ID_ITEMLOG");
  ASSERT_GE(log.size(), 1u);
  EXPECT_EQ(log.at(0, "TX_OPERACAO"), "spAlterarBase - id: 1 - Sucesso! ");
  EXPECT_EQ(log.integer(0, "ID_USUARIO"), 0);
}

TEST_F(MainWindowTest, WrongPasswordKeepsTheDialogOpen) {
  auto w = Janela();
  bool primeira = true;
  auto r = w->Inicia([&](TPasswordDlg& dlg) {
    dlg.edtLogin()->setText(QStringLiteral("ADMIN"));
    dlg.edtSenha()->setText(QStringLiteral("errada"));
    dlg.Confirma();
    primeira = dlg.result() == QDialog::Accepted;
    dlg.edtSenha()->setText(QStringLiteral("admin"));
    dlg.Confirma();
    return dlg.result() == QDialog::Accepted;
  });
  EXPECT_FALSE(primeira);
  EXPECT_EQ(r, TformTributarium::Partida::Pronta);
  ASSERT_FALSE(dialogos_.mensagens.empty());
  EXPECT_EQ(dialogos_.mensagens.front().texto, QStringLiteral("Login ou Senha Inválidos!"));
}

TEST_F(MainWindowTest, LoginTypedInLowerCaseBecomesUpperCase) {
  auto w = Janela();
  auto r = w->Inicia([&](TPasswordDlg& dlg) {
    QTest::keyClicks(dlg.edtLogin(), QStringLiteral("admin"));
    EXPECT_EQ(dlg.edtLogin()->text(), QStringLiteral("ADMIN"));
    dlg.edtSenha()->setText(QStringLiteral("admin"));
    dlg.Confirma();
    return dlg.result() == QDialog::Accepted;
  });
  EXPECT_EQ(r, TformTributarium::Partida::Pronta);
}

TEST_F(MainWindowTest, CancelEndsTheProgramWithoutContent) {
  auto w = Janela();
  EXPECT_EQ(w->Inicia([](TPasswordDlg&) { return false; }), TformTributarium::Partida::Cancelada);
  EXPECT_EQ(w->janelaAtual(), nullptr);
}

TEST_F(MainWindowTest, CatalogueThatCannotBeOpenedIsReportedInPortuguese) {
  // The databases folder is a file: nothing can be installed there.
  { std::ofstream(dir_ / "Dados") << "not a folder"; }
  auto w = Janela();
  EXPECT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Falhou);
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_TRUE(dialogos_.mensagens[0].texto.startsWith(
      QStringLiteral("Não foi possível abrir o catálogo de bases de dados")));
}

TEST_F(MainWindowTest, StartWithLastBaseSelectsItAndEnablesTheMenu) {
  PreparaBase("ACME", "1");
  auto w = Janela();
  ASSERT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Pronta);
  w->SelecionaBaseAtivacao();
  EXPECT_FALSE(AvisouSemBase());
  EXPECT_TRUE(MenuHabilitado(*w));
  EXPECT_EQ(w->lblCliente()->text(), QStringLiteral("Usuário: Administrador / Base: ACME"));
  EXPECT_EQ(w->PastaAtual(), QString::fromStdString((dir_ / "Bases" / "ACME").string()));
  EXPECT_TRUE(dm_->dbDados.Connected());
}

// IniciarBase 0 with an existing base; a base renamed since (names match exactly); a base
// that was deleted. One process per case, as the database engine starts once per process.
struct SemBase {
  const char *iniciar, *selecionada;
};
// A readable case name keeps the test's name the same from one run to the next.
void PrintTo(const SemBase& c, std::ostream* os) {
  *os << "IniciarBase=" << c.iniciar << " BaseSelecionada=" << c.selecionada;
}

class NoBaseToSelect : public MainWindowTest, public ::testing::WithParamInterface<SemBase> {};

TEST_P(NoBaseToSelect, WarnsAndDisablesEntries02To07) {
  PreparaBase("ACME", GetParam().iniciar, GetParam().selecionada);
  auto w = Janela();
  ASSERT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Pronta);
  w->SelecionaBaseAtivacao();
  EXPECT_TRUE(AvisouSemBase());
  EXPECT_FALSE(MenuHabilitado(*w));
  EXPECT_TRUE(w->botao(2)->figura().endsWith(QStringLiteral("_f3.jpg")));
  EXPECT_TRUE(w->botao(1)->isEnabled());
  EXPECT_TRUE(w->botao(8)->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Casos, NoBaseToSelect,
                         ::testing::Values(SemBase{"0", "ACME"}, SemBase{"1", "acme"},
                                           SemBase{"1", "Outra"}));

TEST_F(MainWindowTest, BaseFolderThatNoLongerExistsIsReportedAndNothingChanges) {
  PreparaBase("ACME", "1");
  fs::remove_all(dir_ / "Bases" / "ACME");
  auto w = Janela();
  ASSERT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Pronta);
  w->SelecionaBaseAtivacao();
  ASSERT_FALSE(dialogos_.mensagens.empty());
  EXPECT_TRUE(dialogos_.mensagens.back().texto.startsWith(
      QStringLiteral("Não foi possível abrir a base de dados \"ACME\"")));
  EXPECT_FALSE(MenuHabilitado(*w));
  EXPECT_FALSE(dm_->dbDados.Connected());
  EXPECT_EQ(common::IniFile(dir_ / "Tributarium.ini").read("Tributarium", "BaseSelecionada"),
            "ACME");
  // The program goes on: the client bases window still opens.
  w->ClicaMenu(1);
  EXPECT_NE(w->janelaAtual(), nullptr);
}

TEST_F(MainWindowTest, ClickingTheCurrentEntryDoesNothing) {
  auto w = Janela();
  ASSERT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Pronta);
  w->ClicaMenu(8);
  JanelaEmbutida* primeira = w->janelaAtual();
  ASSERT_NE(primeira, nullptr);
  EXPECT_EQ(w->lblSubTitulo()->text(), QStringLiteral(" Configurações do Sistema"));
  EXPECT_TRUE(w->botao(8)->figura().endsWith(QStringLiteral("08 - menu_configuracoes_f2.jpg")));
  w->ClicaMenu(8);
  EXPECT_EQ(w->janelaAtual(), primeira);
  EXPECT_EQ(w->itemAnterior(), 0);
  w->ClicaMenu(1);
  EXPECT_EQ(w->itemAtual(), 1);
  EXPECT_EQ(w->itemAnterior(), 8);
  EXPECT_TRUE(w->botao(8)->figura().endsWith(QStringLiteral("08 - menu_configuracoes.jpg")));
  EXPECT_EQ(w->lblSubTitulo()->text(), QStringLiteral(" Cadastro das Bases de Dados"));
  EXPECT_FALSE(w->imgTitulo()->pixmap().isNull());
}

TEST_F(MainWindowTest, ChangesInTheOpenEditorAreNotLostWithoutAsking) {
  auto w = Janela();
  ASSERT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Pronta);
  w->ClicaMenu(8);
  auto* cfg = static_cast<TfrmConfiguracoes*>(w->janelaAtual());
  QTest::keyClicks(cfg->edtLog(), QStringLiteral("x"));
  ASSERT_TRUE(cfg->alterado());
  dialogos_.respostas = {false};
  w->ClicaMenu(1);
  EXPECT_EQ(w->itemAtual(), 8);
  EXPECT_EQ(w->janelaAtual(), cfg);
  ASSERT_EQ(dialogos_.perguntas.size(), 1u);
  EXPECT_EQ(dialogos_.perguntas[0].titulo, QStringLiteral("Abandonar alterações?"));
  dialogos_.respostas = {true};
  w->ClicaMenu(1);
  EXPECT_EQ(w->itemAtual(), 1);
}

TEST_F(MainWindowTest, Entry07OpensTheGenerationScreen) {
  PreparaBase("ACME", "1");
  auto w = Janela();
  ASSERT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Pronta);
  w->SelecionaBaseAtivacao();
  // Entry 07 embeds the generation screen, its caption the subtitle.
  w->ClicaMenu(7);
  EXPECT_EQ(w->itemAtual(), 7);
  ASSERT_NE(w->janelaAtual(), nullptr);
  EXPECT_EQ(w->janelaAtual()->objectName(), QStringLiteral("TfrmGeraSintegra"));
  EXPECT_EQ(w->janelaAtual()->contextoAjuda(), 9);
  EXPECT_EQ(w->lblSubTitulo()->text(), QStringLiteral(" Geração do arquivo Magnético Sintegra"));
}

TEST_F(MainWindowTest, EntryFourShowsTheInvoiceListAndItsEditorsCaptions) {
  PreparaBase("ACME", "1");
  auto w = Janela();
  ASSERT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Pronta);
  w->SelecionaBaseAtivacao();
  w->ClicaMenu(4);
  auto* lista = qobject_cast<TfrmNotasFiscais*>(w->janelaAtual());
  ASSERT_NE(lista, nullptr);
  EXPECT_EQ(w->lblSubTitulo()->text(),
            QStringLiteral(" Cadastro de Notas Fiscais de Entrada e Saída"));
  lista->Inserir();
  EXPECT_EQ(w->lblSubTitulo()->text(), QStringLiteral(" Dados da Nota Fiscal"));
  lista->editor()->Cancelar();
  EXPECT_EQ(w->lblSubTitulo()->text(),
            QStringLiteral(" Cadastro de Notas Fiscais de Entrada e Saída"));
}

TEST_F(MainWindowTest, WindowDoesNotGetNarrowerThanTheClientLabelNeeds) {
  PreparaBase("Comércio de Ferragens e Construção Ltda", "1");
  auto w = Janela();
  ASSERT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Pronta);
  w->SelecionaBaseAtivacao();
  const int precisa =
      w->lblCliente()->fontMetrics().horizontalAdvance(w->lblCliente()->text()) + 20;
  w->show();
  w->resize(100, 600);
  QCoreApplication::processEvents();
  EXPECT_GE(w->areaDireita()->width(), precisa);
}

TEST_F(MainWindowTest, MenuPicturesAreNotSqueezedWhenAScreenOpens) {
  PreparaBase("ACME", "1");
  auto w = Janela();
  ASSERT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Pronta);
  w->SelecionaBaseAtivacao();
  w->ClicaMenu(7);
  w->show();
  w->resize(600, 600);
  QCoreApplication::processEvents();
  for (int i = 1; i <= 8; ++i) {
    auto* botao =
        w->findChild<BotaoImagem*>(QStringLiteral("btnMenu%1").arg(i, 2, 10, QLatin1Char('0')));
    ASSERT_NE(botao, nullptr) << i;
    EXPECT_EQ(botao->size(), botao->sizeHint()) << "entry " << i;
  }
}

TEST_F(MainWindowTest, F1OpensTheManualAtTheEmbeddedWindowsTopic) {
  auto w = Janela();
  ASSERT_EQ(w->Inicia(Entra("ADMIN", "admin")), TformTributarium::Partida::Pronta);
  w->ClicaMenu(8);
  w->MostraAjuda();
  TfrmAjuda& ajuda = Ajuda(w.get());
  EXPECT_TRUE(ajuda.isVisible());
  EXPECT_TRUE(ajuda.navegador()->source().toLocalFile().endsWith(
      QStringLiteral("Manual/Tributarium.html")));
  EXPECT_TRUE(dialogos_.mensagens.empty());
}

TEST(Manual, HasOneAnchorPerContextNumber) {
  auto texto = common::read_file(common::executable_folder() / "Manual" / "Tributarium.html");
  ASSERT_TRUE(texto);
  for (int contexto = 2; contexto <= 10; ++contexto)
    EXPECT_NE(texto->find("id=\"" + TfrmAjuda::Ancora(contexto).toStdString() + "\""),
              std::string::npos)
        << contexto;
}

}  // namespace
}  // namespace shell
