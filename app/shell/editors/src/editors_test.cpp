#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest/QTest>

#include "common/clock.h"
#include "shell/editors/inventory_editor.h"
#include "shell/editors/owner_editor.h"
#include "shell/editors/product_search.h"
#include "shell/editors/products_editor.h"
#include "shell/editors/users_editor.h"
#include "shell/testing/shell_fixture.h"
#include "shell/widgets/calculos.h"
#include "shell/widgets/edits.h"
#include "store/entities.h"

namespace shell {
namespace {

class EditorsTest : public testing::ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    common::LocalDateTime dia{2026, 5, 20, 10, 0, 0};
    common::clock::set_fixed(common::clock::from_local(dia));
    InstalaCatalogo();
    CriaBase("ACME");
  }
  const store::Date hoje_{2026, 5, 20};
  void Preenche(TfrmProprietario& w) {
    w.edtCNPJ()->setText(QStringLiteral("11222333000181"));
    w.edtIE()->setText(QStringLiteral("110042490114"));
    w.edtRazaoSocial()->setText(QStringLiteral("Comércio Exemplo Ltda"));
    w.edtCidade()->setText(QStringLiteral("São Paulo"));
    w.cmbEstado()->setCurrentText(QStringLiteral("SP"));
    w.edtLogradouro()->setText(QStringLiteral("Rua das Flores"));
    w.edtNumero()->setText(QStringLiteral("120"));
    w.edtBairro()->setText(QStringLiteral("Centro"));
    w.edtContato()->setText(QStringLiteral("Joana"));
    w.edtCEP()->setText(QStringLiteral("01310100"));
    w.edtTelefone()->setText(QStringLiteral("1133334444"));
  }
  void GravaDono() {
    store::TProprietario p;
    p.TX_CNPJ = "11222333000181";
    p.TX_IE = "110042490114";
    p.TX_RAZAO_SOCIAL = "Comércio Exemplo Ltda";
    p.TX_CIDADE = "São Paulo";
    p.TX_ESTADO = "SP";
    ASSERT_TRUE(p.Inserir());
  }
  int Produto(const std::string& codigo, const std::string& descricao,
              const std::string& preco = "400", bool estoque = false) {
    store::TProduto p;
    p.CD_PRODUTO = codigo;
    p.TX_DESCRICAO = descricao;
    p.TX_VALOR_UNITARIO = preco;
    p.TX_UNIDADE = "UN";
    p.TX_TIPO_ALIQUOTA = "ICMS";
    p.CS_CONTROLA_ESTOQUE = estoque;
    EXPECT_TRUE(p.Inserir());
    return p.ID_PRODUTO;
  }
  std::vector<std::string> Coluna(ModeloConsulta* m, const std::string& campo) {
    std::vector<std::string> v;
    for (int i = 0; i < m->rowCount(); ++i) v.push_back(m->Valor(i, campo));
    return v;
  }
  store::RowSet Inventario() {
    return Consulta(dm_->trDados,
                    "select ID_INVENTARIO, DATA_INVENTARIO, QUANTIDADE, VALOR_PRODUTO, "
                    "CODIGO_POSSE, CNPJ_POSS_PROP from INVENTARIO");
  }
};

// ---------------------------------------------------------------- owner

TEST_F(EditorsTest, OwnerRequiredFieldsAreCheckedInOrderWithFocusOnTheMissingOne) {
  TfrmProprietario w(*principal_);
  w.show();
  QApplication::setActiveWindow(&w);
  struct Caso {
    QLineEdit* edit;
    const char* rotulo;
  } casos[] = {{w.edtIE(), "Inscrição Estadual"},   {w.edtRazaoSocial(), "Razão Social"},
               {w.edtCidade(), "Cidade"},           {w.edtLogradouro(), "Logradouro"},
               {w.edtNumero(), "Número"},           {w.edtBairro(), "Bairro"},
               {w.edtContato(), "Nome do Contato"}, {w.edtCEP(), "CEP"},
               {w.edtTelefone(), "Telefone"},       {w.edtCNPJ(), "CNPJ"}};
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.rotulo);
    Preenche(w);
    c.edit->clear();
    dialogos_.mensagens.clear();
    w.Salvar();
    ASSERT_EQ(dialogos_.mensagens.size(), 1u);
    EXPECT_EQ(dialogos_.mensagens[0].titulo, QStringLiteral("Informe o valor"));
    EXPECT_EQ(
        dialogos_.mensagens[0].texto,
        QStringLiteral("Por favor, preencha o campo \"%1\".").arg(QString::fromUtf8(c.rotulo)));
    EXPECT_TRUE(c.edit->hasFocus());
  }
  store::TProprietario p;
  EXPECT_EQ(p.ContaRegistros(), 0);
}

TEST_F(EditorsTest, OwnerIeIsCheckedAgainstTheChosenState) {
  TfrmProprietario w(*principal_);
  Preenche(w);
  w.cmbEstado()->setCurrentText(QStringLiteral("MG"));  // a registration of São Paulo
  dialogos_.perguntas.clear();
  dialogos_.respostas = {true, false};
  w.Salvar();
  ASSERT_EQ(dialogos_.perguntas.size(), 2u);
  EXPECT_EQ(dialogos_.perguntas[1].titulo, QStringLiteral("Inscrição Estadual"));
  store::TProprietario p;
  EXPECT_EQ(p.ContaRegistros(), 0);
  // Accepted, it is saved as typed; a registration of the state is saved without asking.
  dialogos_.respostas = {true, true};
  w.Salvar();
  EXPECT_EQ(p.ContaRegistros(), 1);
  w.cmbEstado()->setCurrentText(QStringLiteral("SP"));
  w.edtIE()->setText(QStringLiteral("110042490114"));
  dialogos_.perguntas.clear();
  dialogos_.respostas = {true};
  w.Salvar();
  EXPECT_EQ(dialogos_.perguntas.size(), 1u);
}

TEST_F(EditorsTest, OwnerSavedAfterLimparCamposPassesKeyZero) {
  TfrmProprietario w(*principal_);
  Preenche(w);
  w.Salvar();
  w.Carrega();
  EXPECT_GT(w.chave(), 0);
  w.LimparCampos();
  EXPECT_EQ(w.chave(), 0);
  EXPECT_TRUE(w.edtRazaoSocial()->text().isEmpty());
  Preenche(w);
  w.edtRazaoSocial()->setText(QStringLiteral("Nova Razão"));
  w.Salvar();
  EXPECT_EQ(LinhasDoLog().back(), "spInserirProprietario: 0 - Sucesso! ");
  store::TProprietario p;
  ASSERT_TRUE(p.Carregar());
  EXPECT_EQ(p.TX_RAZAO_SOCIAL, "Nova Razão");
  EXPECT_EQ(p.TX_CEP, "01310100");
  EXPECT_EQ(p.NB_NUMERO, 120);
}

TEST_F(EditorsTest, OwnerBadInputIsRefusedAndNothingIsWritten) {
  struct Caso {
    const char* nome;
    std::function<void(TfrmProprietario&)> estraga;
    const char* titulo;
    const char* campo = nullptr;  // the field an invalid-field message names
  } casos[] = {
      {"CNPJ of zeros", [](TfrmProprietario& w) { w.edtCNPJ()->setText("00000000000000"); },
       "Erro!"},
      {"CNPJ with a wrong digit",
       [](TfrmProprietario& w) { w.edtCNPJ()->setText("11222333000182"); }, "Erro!"},
      {"number with letters", [](TfrmProprietario& w) { w.edtNumero()->setText("12A"); },
       "Campo Inválido", "Número"},
      {"short telephone", [](TfrmProprietario& w) { w.edtTelefone()->setText("113333"); },
       "Campo Inválido", "Telefone"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    TfrmProprietario w(*principal_);
    Preenche(w);
    c.estraga(w);
    dialogos_.mensagens.clear();
    w.Salvar();
    ASSERT_EQ(dialogos_.mensagens.size(), 1u);
    EXPECT_EQ(dialogos_.mensagens[0].titulo, QString::fromUtf8(c.titulo));
    if (c.campo) {
      EXPECT_EQ(dialogos_.mensagens[0].texto,
                QStringLiteral("Valor inválido para o campo \"%1\". Entre com um valor válido "
                               "ou deixe-o em branco.")
                    .arg(QString::fromUtf8(c.campo)));
    }
    EXPECT_EQ(store::TProprietario().ContaRegistros(), 0);
  }
}

TEST_F(EditorsTest, LeavingAnInvalidCnpjSaysSoAndBringsTheFocusBack) {
  TfrmProprietario w(*principal_);
  w.show();
  QApplication::setActiveWindow(&w);
  w.edtCNPJ()->setFocus();
  QApplication::processEvents();
  QTest::keyClicks(w.edtCNPJ(), QStringLiteral("11222333000182"));
  w.edtIE()->setFocus();
  QApplication::processEvents();
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_EQ(dialogos_.mensagens[0].texto,
            QStringLiteral("CNPJ Inválido! Entre com um valor válido ou deixe-o em branco."));
  EXPECT_TRUE(w.edtCNPJ()->hasFocus());
}

TEST_F(EditorsTest, MaskedAndLimitedEditsKeepOnlyWhatFits) {
  TfrmProprietario w(*principal_);
  w.show();
  QApplication::setActiveWindow(&w);
  w.edtCNPJ()->setFocus();
  QApplication::processEvents();
  QTest::keyClicks(w.edtCNPJ(), QStringLiteral("ab11c222333000181"));
  EXPECT_EQ(w.edtCNPJ()->Digitos(), QStringLiteral("11222333000181"));
  EXPECT_EQ(w.edtCNPJ()->text(), QStringLiteral("11.222.333/0001-81"));
  QTest::keyClicks(w.edtRazaoSocial(), QString(50, QLatin1Char('x')));
  EXPECT_EQ(w.edtRazaoSocial()->text().size(), 35);
  EXPECT_TRUE(w.alterado());
}

TEST_F(EditorsTest, NumericEditSwallowsLettersAndSeparatorsAndShowsDecimals) {
  NumericoEdit e(3);
  QTest::keyClicks(&e, QStringLiteral("12a,5.x"));
  EXPECT_EQ(e.text(), QStringLiteral("125"));
  e.MostraArmazenado("125");
  EXPECT_EQ(e.text(), QStringLiteral("0,125"));
  EXPECT_EQ(e.Armazenado(), "0125");
  e.setText(QStringLiteral("abc"));  // a paste bypasses the key filter
  EXPECT_FALSE(e.Valido());
}

// ---------------------------------------------------------------- users

TEST_F(EditorsTest, OrdinaryUserCannotOpenCreateOrDeleteUsers) {
  principal_->mestre = false;
  TfrmUsuarios w(*principal_);
  EXPECT_FALSE(w.btnNovo()->isEnabled());
  EXPECT_FALSE(w.btnSalvar()->isEnabled());
  EXPECT_FALSE(w.btnExcluir()->isEnabled());
  w.DuploCliqueGrade(0);
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_EQ(dialogos_.mensagens[0].texto,
            QStringLiteral("Somente Usuários Mestre podem alterar ou criar novos usuários!"));
  EXPECT_FALSE(w.edtNome()->isEnabled());
  w.CliqueGrade(0);
  EXPECT_EQ(w.edtLogin()->text(), QStringLiteral("ADMIN"));
  EXPECT_FALSE(w.btnSalvar()->isEnabled());
}

TEST_F(EditorsTest, MasterCreatesAUserOnlyWithMatchingPasswords) {
  TfrmUsuarios w(*principal_);
  w.Novo();
  EXPECT_EQ(w.modo(), TfrmUsuarios::Modo::Novo);
  w.edtNome()->setText(QStringLiteral("José"));
  QTest::keyClicks(w.edtLogin(), QStringLiteral("jose"));
  w.edtSenha()->setText(QStringLiteral("abc"));
  w.edtConfirma()->setText(QStringLiteral("abd"));
  w.Salvar();
  EXPECT_EQ(dialogos_.mensagens.back().texto,
            QStringLiteral("Senha e confirmação de senha não conferem!"));
  EXPECT_TRUE(dialogos_.perguntas.empty());
  w.edtConfirma()->setText(QStringLiteral("abc"));
  w.Salvar();
  store::RowSet r = Consulta(dm_->trCatalogo,
                             "select NOME_USUARIO, SENHA, USUARIO_MESTRE from USUARIOS where "
                             "LOGIN_USUARIO = 'JOSE'");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r.at(0, "NOME_USUARIO"), "José");
  EXPECT_EQ(r.at(0, "SENHA").size(), 32u);
  EXPECT_EQ(r.integer(0, "USUARIO_MESTRE"), 0);
  EXPECT_FALSE(w.edtNome()->isEnabled());
  EXPECT_EQ(w.modo(), TfrmUsuarios::Modo::Altera);
}

TEST_F(EditorsTest, MasterChangesAUserKeepingThePasswordWhenLeftEmpty) {
  TfrmUsuarios w(*principal_);
  store::RowSet antes =
      Consulta(dm_->trCatalogo, "select SENHA from USUARIOS where ID_USUARIO = 1");
  w.grdUsuarios()->setCurrentIndex(w.grdUsuarios()->model()->index(0, 0));
  w.DuploCliqueGrade(0);
  ASSERT_TRUE(w.edtNome()->isEnabled());
  w.edtNome()->setText(QStringLiteral("Admin Geral"));
  w.Salvar();
  store::RowSet r =
      Consulta(dm_->trCatalogo, "select NOME_USUARIO, SENHA from USUARIOS where ID_USUARIO = 1");
  EXPECT_EQ(r.at(0, "NOME_USUARIO"), "Admin Geral");
  EXPECT_EQ(r.at(0, "SENHA"), antes.at(0, "SENHA"));
}

// ---------------------------------------------------------------- products

TEST_F(EditorsTest, ProductFilterMatchesPartsOfCodeAndDescriptionIgnoringCase) {
  for (auto [c, d] : std::vector<std::pair<const char*, const char*>>{{"120", "Arroz"},
                                                                      {"12", "ARROZ TIPO 1"},
                                                                      {"112", "Feijão"},
                                                                      {"21", "Farinha"},
                                                                      {"13", "arroz integral"},
                                                                      {"7", "Macarrão"}})
    Produto(c, d);
  TfrmProdutos w(*principal_);
  w.edtFiltroCodigo()->setText(QStringLiteral("12"));
  EXPECT_EQ(Coluna(w.modeloAtual(), "CD_PRODUTO"), (std::vector<std::string>{"12", "112", "120"}));
  w.edtFiltroCodigo()->clear();
  w.edtFiltroDescricao()->setText(QStringLiteral("arroz"));
  EXPECT_EQ(Coluna(w.modeloAtual(), "TX_DESCRICAO"),
            (std::vector<std::string>{"ARROZ TIPO 1", "arroz integral", "Arroz"}));
  // Quotes and SQL in the typed text are plain text to the filter.
  w.edtFiltroDescricao()->setText(QStringLiteral("' or 1=1 --"));
  EXPECT_EQ(w.modeloAtual()->rowCount(), 0);
  EXPECT_TRUE(dialogos_.mensagens.empty());
}

TEST_F(EditorsTest, ProductFilterListsCodesThatAreNotNumbersAfterTheNumbers) {
  // Codes stored by other means (an import, an older program): a bar code too large for
  // an integer, and codes that are not numbers at all.
  for (auto c : {"ABC-12", "7891234567895", "12", "112", "B12"}) Produto(c, "Produto");
  TfrmProdutos w(*principal_);
  w.edtFiltroCodigo()->setText(QStringLiteral("12"));
  EXPECT_EQ(Coluna(w.modeloAtual(), "CD_PRODUTO"),
            (std::vector<std::string>{"12", "112", "7891234567895", "ABC-12", "B12"}));
  EXPECT_TRUE(dialogos_.mensagens.empty());
}

TEST_F(EditorsTest, StockRuleCreatesRemovesAndRecreatesTheInventoryRow) {
  GravaDono();
  TfrmProdutos w(*principal_);
  w.Novo();
  w.edtCodigo()->setText(QStringLiteral("10"));
  w.edtDescricao()->setText(QStringLiteral("Sabão"));
  w.edtPrecoVenda()->setText(QStringLiteral("4,00"));
  w.edtQuantidade()->setText(QStringLiteral("2,500"));
  w.cmbTipoAliquota()->setCurrentText(QStringLiteral("ICMS"));
  w.chkEstoque()->setChecked(true);
  w.Salvar();
  ASSERT_GT(w.chave(), 0);
  store::RowSet r = Inventario();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r.at(0, "QUANTIDADE"), "2500");
  EXPECT_EQ(r.at(0, "VALOR_PRODUTO"), "1000");
  EXPECT_EQ(r.integer(0, "CODIGO_POSSE"), 1);
  EXPECT_EQ(r.at(0, "CNPJ_POSS_PROP"), "11222333000181");
  EXPECT_EQ(r.date(0, "DATA_INVENTARIO"), hoje_);
  EXPECT_TRUE(w.gbNovoProduto()->isHidden());
  auto log = LinhasDoLog();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& l) {
    return l == "spInserirProduto: " + std::to_string(w.chave()) + " - Sucesso! ";
  }));

  auto reabre = [&](bool estoque) {
    w.grdProdutos()->setCurrentIndex(w.modeloAtual()->index(0, 0));
    w.Alterar();
    EXPECT_TRUE(w.chkEstoque()->isChecked() != estoque || estoque);
    w.chkEstoque()->setChecked(estoque);
    w.Salvar();
  };
  reabre(false);
  EXPECT_EQ(Inventario().size(), 0u);
  reabre(true);
  r = Inventario();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r.integer(0, "CODIGO_POSSE"), 1);
  EXPECT_EQ(r.date(0, "DATA_INVENTARIO"), hoje_);
}

TEST_F(EditorsTest, ProductBadInputIsRefusedAndNothingIsWritten) {
  TfrmProdutos w(*principal_);
  struct Caso {
    const char *codigo, *preco, *titulo;
    const char* campo = nullptr;  // the field an invalid-field message names
  } casos[] = {{"", "1,00", "Informe o valor"},
               {"12X", "1,00", "Campo Inválido", "Código"},  // pasted letters
               {"12", "um real", "Campo Inválido", "Preço de Venda"}};
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.codigo);
    dialogos_.mensagens.clear();
    w.Novo();
    w.edtCodigo()->setText(QString::fromUtf8(c.codigo));
    w.edtDescricao()->setText(QStringLiteral("Sabão"));
    w.edtPrecoVenda()->setText(QString::fromUtf8(c.preco));
    w.Salvar();
    ASSERT_EQ(dialogos_.mensagens.size(), 1u);
    EXPECT_EQ(dialogos_.mensagens[0].titulo, QString::fromUtf8(c.titulo));
    if (c.campo) {
      EXPECT_EQ(dialogos_.mensagens[0].texto,
                QStringLiteral("Valor inválido para o campo \"%1\". Entre com um valor válido "
                               "ou deixe-o em branco.")
                    .arg(QString::fromUtf8(c.campo)));
    }
  }
  EXPECT_EQ(Consulta(dm_->trDados, "select * from PRODUTO").size(), 0u);
}

TEST_F(EditorsTest, DuplicateProductCodeNamesTheCodeInTheErrorAndKeepsTheData) {
  Produto("55", "Original");
  TfrmProdutos w(*principal_);
  w.Novo();
  w.edtCodigo()->setText(QStringLiteral("55"));
  w.edtDescricao()->setText(QStringLiteral("Cópia"));
  Protegido(&w, [&] { w.Salvar(); });
  ASSERT_FALSE(dialogos_.mensagens.empty());
  EXPECT_TRUE(dialogos_.mensagens.back().texto.startsWith(
      QStringLiteral("O item \"55\" já está cadastrado")));
  store::RowSet r = Consulta(dm_->trDados, "select TX_DESCRICAO from PRODUTO");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r.at(0, "TX_DESCRICAO"), "Original");
  EXPECT_FALSE(w.gbNovoProduto()->isHidden());
}

TEST_F(EditorsTest, ProductDeleteAsksWithTheCodeAndLogs) {
  int id = Produto("55", "Sabão");
  TfrmProdutos w(*principal_);
  w.grdProdutos()->setCurrentIndex(w.modeloAtual()->index(0, 0));
  dialogos_.respostas = {false};
  w.Excluir();
  EXPECT_EQ(Consulta(dm_->trDados, "select * from PRODUTO").size(), 1u);
  w.grdProdutos()->setCurrentIndex(w.modeloAtual()->index(0, 0));
  w.Excluir();
  EXPECT_EQ(Consulta(dm_->trDados, "select * from PRODUTO").size(), 0u);
  EXPECT_EQ(dialogos_.perguntas[0].texto,
            QStringLiteral("Você tem certeza que deseja excluir o produto 55 ?"));
  EXPECT_EQ(LinhasDoLog().back(), "spExcluirProduto: " + std::to_string(id) + " - Sucesso! ");
  EXPECT_EQ(w.modeloAtual()->rowCount(), 0);
}

TEST_F(EditorsTest, ProductSearchHandsBackTheChosenProduct) {
  int arroz = Produto("120", "Arroz");
  Produto("7", "Macarrão");
  TfrmLocalizarProduto dlg(*dm_);
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Localizar Produto"));
  dlg.edtFiltroDescricao()->setText(QStringLiteral("ARROZ"));
  dlg.grdProdutos()->setCurrentIndex(dlg.grdProdutos()->model()->index(0, 0));
  dlg.Selecionar();
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(dlg.chave(), arroz);
  EXPECT_EQ(dlg.codigo(), "120");
  EXPECT_EQ(dlg.descricao(), "Arroz");
}

// ---------------------------------------------------------------- inventory

TEST_F(EditorsTest, InventoryPossessionCodesSetTheThirdPartyFields) {
  GravaDono();
  int id = Produto("10", "Sabão", "400");
  store::TInventario inv;
  inv.DATA_INVENTARIO = Hoje();
  inv.ID_PRODUTO = id;
  inv.QUANTIDADE = "1000";
  inv.VALOR_PRODUTO = "400";
  inv.CODIGO_POSSE = 2;
  inv.CNPJ_POSS_PROP = "99999999000191";
  inv.IE_POSS_PROP = "123";
  inv.UF_POSSPROP = "RJ";
  ASSERT_TRUE(inv.Inserir());
  TfrmInventario w(*principal_);
  w.AbreLinha(0);
  // The stored third party is shown as it is.
  EXPECT_EQ(w.edtCNPJ()->Digitos(), QStringLiteral("99999999000191"));
  EXPECT_EQ(w.cmbEstado()->currentText(), QStringLiteral("RJ"));
  struct Caso {
    int codigo;
    bool habilitados;
    const char* cnpj;
  } casos[] = {{1, false, "11222333000181"}, {2, true, ""}, {3, true, ""}};
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.codigo);
    w.cmbPosse()->setCurrentIndex(c.codigo - 1);
    w.RegraPosse();
    EXPECT_EQ(w.lblPosse()->text(), DescricaoPosse(c.codigo));
    EXPECT_EQ(w.edtCNPJ()->isEnabled(), c.habilitados);
    EXPECT_EQ(w.edtIE()->isEnabled(), c.habilitados);
    EXPECT_EQ(w.cmbEstado()->isEnabled(), c.habilitados);
    EXPECT_EQ(w.edtCNPJ()->Digitos(), QString::fromUtf8(c.cnpj));
  }
}

TEST_F(EditorsTest, InventorySaveComputesTheValueAndUpdatesTheProduct) {
  GravaDono();
  int id = Produto("10", "Sabão", "400");
  store::TInventario inv;
  inv.DATA_INVENTARIO = {2026, 1, 1};
  inv.ID_PRODUTO = id;
  inv.QUANTIDADE = "1000";
  inv.VALOR_PRODUTO = "400";
  inv.CODIGO_POSSE = 1;
  inv.CNPJ_POSS_PROP = "11222333000181";
  inv.IE_POSS_PROP = "110042490114";
  inv.UF_POSSPROP = "SP";
  ASSERT_TRUE(inv.Inserir());
  TfrmInventario w(*principal_);
  w.AbreLinha(0);
  EXPECT_FALSE(w.grdInventario()->isEnabled());
  w.edtQuantidade()->setText(QStringLiteral("x"));
  EXPECT_FALSE(w.CalculaValor());
  EXPECT_EQ(dialogos_.mensagens.back().texto,
            QStringLiteral("Erro ao Calcular Valor: Quantidade Inválida!"));
  w.edtQuantidade()->setText(QStringLiteral("2,5"));
  ASSERT_TRUE(w.CalculaValor());
  EXPECT_EQ(w.edtQuantidade()->text(), QStringLiteral("0,025"));  // storage 25: 0,025
  w.edtQuantidade()->setText(QStringLiteral("2500"));
  ASSERT_TRUE(w.CalculaValor());
  EXPECT_EQ(w.edtQuantidade()->text(), QStringLiteral("2,500"));
  EXPECT_EQ(w.edtValor()->text(), QStringLiteral("10,00"));
  w.Salvar();
  EXPECT_EQ(dialogos_.mensagens.back().texto, QStringLiteral("Operação realizada com sucesso!"));
  store::RowSet r = Inventario();
  EXPECT_EQ(r.at(0, "QUANTIDADE"), "2500");
  EXPECT_EQ(r.at(0, "VALOR_PRODUTO"), "1000");
  EXPECT_EQ(r.date(0, "DATA_INVENTARIO"), hoje_);
  store::TProduto p;
  ASSERT_TRUE(p.BuscaPorCodigo("10"));
  EXPECT_EQ(p.TX_QUANTIDADE, "2500");
  EXPECT_TRUE(w.grdInventario()->isEnabled());
}

// A long product list opens with one batch; more come as the grid asks, and the row a
// button acts on is the one shown.
TEST_F(EditorsTest, TheProductListOpensWithOneBatchAndReadsMoreOnDemand) {
  store::ExecSQL(dm_->trDados,
                 "execute block as declare i integer = 1; begin while (i <= 3000) do begin "
                 "insert into produto (id_produto, cd_produto, tx_descricao, "
                 "tx_valor_unitario, tx_preco_compra, tx_unidade, tx_aliquota, "
                 "tx_tipo_aliquota, cs_controla_estoque) values (: i, : i, 'Produto ' || : i, "
                 "'100', '50', 'UN', '1800', 'ICMS', 0); i = i + 1; end end");
  dm_->trDados.CommitRetaining();
  dm_->tProduto.SetBatch(100);
  TfrmProdutos w(*principal_);
  ModeloConsulta* m = w.modeloAtual();
  EXPECT_EQ(m->rowCount(), 100);
  ASSERT_TRUE(m->canFetchMore({}));
  m->fetchMore({});
  ASSERT_EQ(m->rowCount(), 200);
  EXPECT_EQ(m->Valor(199, "CD_PRODUTO"), "200");
  w.grdProdutos()->setCurrentIndex(m->index(150, 0));
  w.Alterar();
  EXPECT_EQ(w.edtCodigo()->text(), QStringLiteral("151"));
  EXPECT_EQ(w.edtDescricao()->text(), QStringLiteral("Produto 151"));
}

}  // namespace
}  // namespace shell
