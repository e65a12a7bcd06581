#include "shell/import/caixoro_windows.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "shell/editors/owner_editor.h"
#include "shell/testing/dbf_fixture.h"
#include "shell/testing/shell_fixture.h"
#include "shell/widgets/edits.h"

namespace shell {
namespace {

namespace fs = std::filesystem;
using testing::EscreveDbf;

class CaixoroWindowsTest : public testing::ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    InstalaCatalogo();
    CriaBase("ACME");
    pasta_ = dir_ / "Caixoro";
    fs::create_directories(pasta_);
    dialogos_.pastaEscolhida = QString::fromStdString(pasta_.string());
  }
  void TearDown() override {
    ExecutaSelecao = [](TfrmImportarProdutos& d) { return d.exec(); };
    ShellTest::TearDown();
  }
  std::vector<caixoro::ProdutoLido> Lista(int n) {
    std::vector<std::vector<std::string>> linhas;
    for (int i = 1; i <= n; ++i)
      linhas.push_back({std::to_string(i), "Produto " + std::to_string(i), "1", "", "2.5", "", ""});
    EscreveDbf(pasta_ / "Qzapro.dbf", testing::TabelaProdutos(linhas));
    EscreveDbf(pasta_ / "Qzatrb.dbf", testing::TabelaTributos({}));
    return caixoro::LeProdutos(pasta_);
  }
  std::vector<std::string> Codigos() {
    std::vector<std::string> v;
    for (auto& r :
         Consulta(dm_->trDados, "select CD_PRODUTO from PRODUTO order by ID_PRODUTO").rows)
      v.push_back(r[0]);
    return v;
  }
  bool Marcada(TfrmImportarProdutos& s, int linha) {
    return s.grade()->cellWidget(linha, 6)->findChild<QCheckBox*>()->isChecked();
  }
  fs::path pasta_;
};

TEST_F(CaixoroWindowsTest, PagesOfTenWithTheirButtonsAndFlags) {
  auto lista = Lista(25);
  TfrmImportarProdutos s(lista);
  EXPECT_EQ(s.windowModality(), Qt::ApplicationModal);
  EXPECT_EQ(s.paginas(), 3);
  EXPECT_EQ(s.lblPagina()->text(), QStringLiteral("1/3"));
  EXPECT_FALSE(s.btnPrimeiro()->isEnabled());
  EXPECT_FALSE(s.btnAnterior()->isEnabled());
  EXPECT_TRUE(s.btnProximo()->isEnabled());
  EXPECT_EQ(s.grade()->item(0, 0)->text(), QStringLiteral("1"));
  EXPECT_EQ(s.grade()->item(0, 3)->text(), QStringLiteral("2,50"));
  s.Alterna(1);
  s.Ultimo();
  EXPECT_EQ(s.lblPagina()->text(), QStringLiteral("3/3"));
  EXPECT_FALSE(s.btnProximo()->isEnabled());
  EXPECT_FALSE(s.btnUltimo()->isEnabled());
  EXPECT_TRUE(s.btnAnterior()->isEnabled());
  EXPECT_EQ(s.grade()->item(4, 0)->text(), QStringLiteral("25"));
  EXPECT_EQ(s.grade()->item(5, 0)->text(), QString());
  EXPECT_FALSE(s.grade()->cellWidget(5, 6)->isVisibleTo(&s));
  s.Alterna(4);
  s.Alterna(7);  // an empty row
  s.Anterior();
  EXPECT_EQ(s.pagina(), 2);
  EXPECT_TRUE(s.btnPrimeiro()->isEnabled());
  EXPECT_TRUE(s.btnUltimo()->isEnabled());
  s.Primeiro();
  EXPECT_TRUE(Marcada(s, 1));
  EXPECT_FALSE(Marcada(s, 0));
  store::TListaSelecao esperado(25, false);
  esperado[1] = esperado[24] = true;
  EXPECT_EQ(s.selecao(), esperado);

  s.Importar();
  EXPECT_EQ(Codigos(), (std::vector<std::string>{"2", "25"}));
  ASSERT_FALSE(dialogos_.mensagens.empty());
  EXPECT_EQ(dialogos_.mensagens.back().texto,
            QStringLiteral("2 de 2 produtos escolhidos foram importados."));
}

TEST_F(CaixoroWindowsTest, MarkAllSetsEveryPageAndOnePageOrNoneLeavesTheButtonsOff) {
  auto lista = Lista(25);
  TfrmImportarProdutos s(lista);
  s.MarcarTodos(true);
  EXPECT_EQ(s.selecao(), store::TListaSelecao(25, true));
  s.Ultimo();
  EXPECT_TRUE(Marcada(s, 4));
  s.MarcarTodos(false);
  EXPECT_EQ(s.selecao(), store::TListaSelecao(25, false));

  for (int n : {0, 7, 10}) {
    SCOPED_TRACE(n);
    auto l = Lista(n);
    TfrmImportarProdutos um(l);
    EXPECT_EQ(um.paginas(), n == 0 ? 0 : 1);
    EXPECT_EQ(um.lblPagina()->text(), n == 0 ? QStringLiteral("0/0") : QStringLiteral("1/1"));
    for (QPushButton* b : {um.btnPrimeiro(), um.btnAnterior(), um.btnProximo(), um.btnUltimo()})
      EXPECT_FALSE(b->isEnabled());
    um.Proximo();
    um.Ultimo();
    EXPECT_EQ(um.pagina(), 1);
    um.Alterna(n == 10 ? 9 : 8);  // the last row of a full page, or an empty row
    store::TListaSelecao esperado(l.size(), false);
    if (n == 10) esperado[9] = true;
    EXPECT_EQ(um.selecao(), esperado);
  }
}

TEST_F(CaixoroWindowsTest, AnEmptyTableShowsNoProductsAndImportsNothing) {
  auto lista = Lista(0);
  TfrmImportarProdutos s(lista);
  s.Importar();
  EXPECT_TRUE(Codigos().empty());
  EXPECT_EQ(dialogos_.mensagens.back().texto,
            QStringLiteral("0 de 0 produtos escolhidos foram importados."));
}

TEST_F(CaixoroWindowsTest, TheProductImportReadsChoosesAndInsertsAndSaysWhatWasRefused) {
  Lista(12);
  store::TProduto ja;
  ja.CD_PRODUTO = "3";
  ja.TX_DESCRICAO = "Antigo";
  ja.TX_UNIDADE = "UN";
  ja.TX_TIPO_ALIQUOTA = "ICMS";
  ASSERT_TRUE(ja.Inserir());
  int paginas = 0;
  ExecutaSelecao = [&](TfrmImportarProdutos& s) {
    paginas = s.paginas();
    s.MarcarTodos(true);
    s.Importar();
    return s.result();
  };
  QWidget dono;
  ImportaProdutosCaixoro(&dono, *principal_);
  EXPECT_EQ(dialogos_.titulosPasta.back(),
            QStringLiteral("Selecione o Diretório de Instalação do Caixoro"));
  EXPECT_EQ(paginas, 2);
  EXPECT_EQ(Codigos().size(), 12u);
  std::vector<QString> t = dialogos_.textos();
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0], QStringLiteral("O item \"Produto 3\" já está cadastrado na base de dados.\nPara "
                                 "inseri-lo exclua-o da base de dados e execute essa operação "
                                 "novamente."));
  EXPECT_EQ(t[1], QStringLiteral("11 de 12 produtos escolhidos foram importados."));
  EXPECT_EQ(dialogos_.mensagens[1].icone, Icone::Aviso);
}

TEST_F(CaixoroWindowsTest, AReadingErrorShowsItsMessageAndImportsNothing) {
  EscreveDbf(pasta_ / "Qzapro.dbf", testing::TabelaProdutos({{"1", "A", "1", "", "1", "", ""},
                                                             {"1", "B", "1", "", "1", "", ""}}));
  EscreveDbf(pasta_ / "Qzatrb.dbf", testing::TabelaTributos({}));
  bool abriu = false;
  ExecutaSelecao = [&](TfrmImportarProdutos&) {
    abriu = true;
    return 0;
  };
  QWidget dono;
  ImportaProdutosCaixoro(&dono, *principal_);
  EXPECT_FALSE(abriu);
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_EQ(dialogos_.mensagens[0].titulo, QStringLiteral("Erro!"));
  EXPECT_TRUE(dialogos_.mensagens[0].texto.startsWith(QStringLiteral(
      "O Correu um erro na leitura dos produtos do Caixoro.\nVerifique a versão do Tributarium e "
      "do Caixoro e entre em contato com o Suporte Orvik")));
  EXPECT_TRUE(dialogos_.mensagens[0].texto.endsWith(
      QStringLiteral("registro 2: PRO_PLU \"1\" repete o do registro 1")));
  EXPECT_TRUE(Codigos().empty());

  fs::remove(pasta_ / "Qzatrb.dbf");
  dialogos_.mensagens.clear();
  ImportaProdutosCaixoro(&dono, *principal_);
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_TRUE(dialogos_.mensagens[0].texto.startsWith(
      QStringLiteral("Ocorreu um erro durante a execução dessa operação.")));
  EXPECT_FALSE(abriu);
}

TEST_F(CaixoroWindowsTest, TheOwnerImportFillsTheEditorAndMarksItChanged) {
  EscreveDbf(pasta_ / "Qzaprm.dbf",
             testing::TabelaDono({"11222333000181", "123456789012345", "Loja da Esquina", "Manaus",
                                  "AM", "Rua Um", "", "Centro", "", "69005", "141", "Ana", "(92)",
                                  "32345678", "32345679"}));
  TfrmProprietario w(*principal_);
  ImportaDonoCaixoro(w);
  EXPECT_EQ(dialogos_.titulosPasta.back(),
            QStringLiteral("Selecione um diretório para armazenar a Base de Dados do Cliente"));
  EXPECT_EQ(w.edtCNPJ()->Digitos(), QStringLiteral("11222333000181"));
  EXPECT_EQ(w.edtIE()->text(), QStringLiteral("12345678901234"));
  EXPECT_EQ(w.cmbEstado()->currentText(), QStringLiteral("AM"));
  EXPECT_EQ(w.edtNumero()->text(), QStringLiteral("0"));
  EXPECT_EQ(w.edtCEP()->Digitos(), QStringLiteral("69005141"));
  EXPECT_EQ(w.edtTelefone()->Digitos(), QStringLiteral("9232345678"));
  EXPECT_EQ(w.edtFax()->Digitos(), QStringLiteral("9232345679"));
  EXPECT_TRUE(w.alterado());
  EXPECT_EQ(dialogos_.textos().back(), QStringLiteral("Operação realizada com sucesso!"));
  EXPECT_EQ(store::TProprietario().ContaRegistros(), 0);  // stored only by "Salvar"

  // An empty table leaves the controls as they were and says so.
  EscreveDbf(pasta_ / "Qzaprm.dbf", testing::TabelaDono({}));
  w.edtRazaoSocial()->setText(QStringLiteral("Digitada"));
  ImportaDonoCaixoro(w);
  EXPECT_EQ(w.edtRazaoSocial()->text(), QStringLiteral("Digitada"));
  EXPECT_EQ(
      dialogos_.textos().back(),
      QStringLiteral("A tabela \"Qzaprm.dbf\" não tem registros: nenhum dado foi importado."));
}

TEST_F(CaixoroWindowsTest, TheProgressDialogIsApplicationModalAndShowsWholePercentages) {
  TfrmProcessando d(QStringLiteral("Lendo produtos do Caixoro..."));
  EXPECT_EQ(d.windowModality(), Qt::ApplicationModal);
  EXPECT_EQ(d.windowTitle(), QStringLiteral("Processando..."));
  d.Mostra(1, 3);
  EXPECT_EQ(d.lblPercentual()->text(), QStringLiteral("33%"));
  d.Mostra(0, 0);  // an empty table: no division
  EXPECT_EQ(d.lblPercentual()->text(), QStringLiteral("33%"));
  int voltas = 0;
  d.Espera([&] { return voltas >= 3; }, [&] { ++voltas; });
  EXPECT_EQ(d.lblPercentual()->text(), QStringLiteral("100%"));
}

}  // namespace
}  // namespace shell
