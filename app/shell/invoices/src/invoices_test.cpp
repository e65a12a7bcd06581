#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QtTest/QTest>
#include <optional>

#include "common/clock.h"
#include "shell/invoices/invoice_editor.h"
#include "shell/invoices/invoice_list.h"
#include "shell/invoices/invoice_rules.h"
#include "shell/invoices/item_editor.h"
#include "shell/invoices/product_dialog.h"
#include "shell/testing/shell_fixture.h"
#include "shell/widgets/edits.h"
#include "shell/widgets/query_model.h"
#include "store/entities.h"

namespace shell {
namespace {

const QString kDeclarante = QStringLiteral(
    "CNPJ Inválido!\nO CNPJ do remetente da Nota não pode ser igual ao CNJP do declarante.\nEntre "
    "com um valor válido ou deixe-o em branco.");

// ---------------------------------------------------------------- rules without windows

TEST(InvoiceRulesTest, TotalsAddItemsInCentsAndRoundTheIcmsOnce) {
  struct Caso {
    const char* nome;
    std::vector<ValoresItem> itens;
    const char *isento, *outros;
    const char *base, *icms, *total, *aliquota;
  } casos[] = {
      {"two items at 18%",
       {{"10000", "000", "1000", "000", "1800"}, {"5000", "000", "000", "000", "1800"}},
       "",
       "",
       "15000",
       "2700",
       "16000",
       "1800"},
      {"exempt and other amounts join the total",
       {{"10000", "000", "1000", "000", "1800"}, {"5000", "000", "000", "000", "1800"}},
       "250",
       "100",
       "15000",
       "2700",
       "16350",
       "1800"},
      {"a substitution base is added instead of net x rate",
       {{"10000", "1000", "000", "3000", "000"}},
       "",
       "",
       "10000",
       "3000",
       "9000",
       "000"},
      {"the discount comes off the taxed amount",
       {{"10000", "2000", "000", "000", "1700"}},
       "",
       "",
       "10000",
       "1360",
       "8000",
       "1700"},
      // 3 items of 0,01 at 17%: 0,0017 each; one rounding of 0,0051 gives 0,01.
      {"one rounding at the end",
       {{"1", "0", "0", "0", "1700"}, {"1", "0", "0", "0", "1700"}, {"1", "0", "0", "0", "1700"}},
       "",
       "",
       "003",
       "001",
       "003",
       "1700"},
      {"the last item's rate wins",
       {{"100", "0", "0", "0", "1200"}, {"100", "0", "0", "0", "700"}},
       "",
       "",
       "200",
       "019",
       "200",
       "700"},
      {"no items", {}, "x", "", "000", "000", "000", ""},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    Totais t = CalculaTotais(c.itens, c.isento, c.outros);
    EXPECT_EQ(t.base_icms, c.base);
    EXPECT_EQ(t.valor_icms, c.icms);
    EXPECT_EQ(t.valor_total, c.total);
    EXPECT_EQ(t.aliquota, c.aliquota);
  }
}

TEST(InvoiceRulesTest, SeriesAndModelsRoundTrip) {
  struct Caso {
    Serie s;
    const char* armazenada;
  } casos[] = {{{true, "1"}, "U1"},    {{true, "12"}, "U12"}, {{true, "A"}, "AU"},
               {{true, "BE"}, "BEU"},  {{false, "1"}, "1"},   {{false, " 12 "}, "12"},
               {{false, "ABC"}, "ABC"}};
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.armazenada);
    EXPECT_EQ(SerieArmazenada(c.s), c.armazenada);
    Serie lida = LeSerie(c.armazenada);
    EXPECT_EQ(lida.unica, c.s.unica);
    EXPECT_EQ(lida.texto, std::string(c.s.texto == std::string(" 12 ") ? "12" : c.s.texto));
  }
  // Texts the editor never writes for a single series stay normal, unchanged.
  for (const char* normal : {"1U", "UA", "UU", "UB1", "12U", "UNI"}) {
    SCOPED_TRACE(normal);
    Serie s = LeSerie(normal);
    EXPECT_FALSE(s.unica);
    EXPECT_EQ(s.texto, normal);
    EXPECT_EQ(SerieArmazenada(s), normal);
  }
  const std::pair<const char*, int> modelos[] = {{"01", 1},  {"1-A", 1}, {"04", 4}, {"06", 6},
                                                 {"21", 21}, {"22", 22}, {"55", 55}};
  for (auto [e, n] : modelos) EXPECT_EQ(NumeroModelo(e), n) << e;
  EXPECT_EQ(TextoModelo(1), "01");
  EXPECT_EQ(TextoModelo(55), "55");
}

TEST(InvoiceRulesTest, TheNextItemNumberIsOnePastTheLargestOrElseTheFirstFree) {
  std::vector<int> todos;
  for (int n = 1; n <= 999; ++n) todos.push_back(n);
  struct Caso {
    const char* nome;
    std::vector<int> usados;
    std::optional<int> proximo;
  } casos[] = {
      {"no items", {}, 1},
      {"in order", {1, 2, 3}, 4},
      {"a gap is not filled while the field has room", {1, 3}, 4},
      {"unordered", {7, 2}, 8},
      {"the largest number taken: the first free", {1, 2, 999}, 3},
      {"every number taken", todos, std::nullopt},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    EXPECT_EQ(ProximoNumeroItem(c.usados), c.proximo);
  }
}

// ---------------------------------------------------------------- windows

class InvoicesTest : public testing::ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    common::clock::set_fixed(
        common::clock::from_local(common::LocalDateTime{2026, 5, 20, 10, 0, 0}));
    InstalaCatalogo();
    CriaBase("ACME");
    store::TProprietario p;
    p.TX_CNPJ = "11222333000181";
    p.TX_IE = "110042490114";
    p.TX_RAZAO_SOCIAL = "Dono";
    p.TX_CIDADE = "São Paulo";
    p.TX_ESTADO = "SP";
    ASSERT_TRUE(p.Inserir());
    TfrmProdutoNota::Executa = [this](QDialog& d) {
      if (auto* p = qobject_cast<TfrmInsereProduto*>(&d)) {
        if (preencheDialogo) preencheDialogo(*p);
        if (salvaDialogo) {
          p->Salvar();
          return p->result();
        }
      }
      return int(QDialog::Rejected);
    };
  }
  void TearDown() override {
    TfrmProdutoNota::Executa = [](QDialog& d) { return d.exec(); };
    ShellTest::TearDown();
  }
  // Fills the invoice editor with a valid invoice.
  void Preenche(TfrmNotaFiscal& e) {
    e.edtCNPJ()->setText(QStringLiteral("04252011000110"));
    e.edtIE()->setText(QStringLiteral("99999993"));
    e.cmbEstado()->setCurrentText(QStringLiteral("RJ"));
    e.cmbModelo()->setCurrentIndex(0);
    e.cmbModelo()->activated(0);
    e.cmbEmitente()->setCurrentIndex(1);
    e.edtSerie()->setText(QStringLiteral("1"));
    e.edtNumero()->setText(QStringLiteral("4711"));
    e.edtCFOP()->setText(QStringLiteral("1102"));
  }
  // An invoice stored through the editor; its key.
  int NovaNota(TfrmNotasFiscais& l) {
    l.Inserir();
    Preenche(*l.editor());
    dialogos_.respostas = {true, false};
    l.editor()->Salvar();
    return static_cast<int>(
        Consulta(dm_->trDados, "select max(ID_NOTA) from NOTA_FISCAL").integer(0, "MAX"));
  }
  void PreencheItem(TfrmProdutoNota& i, const char* codigo, const char* quantidade,
                    const char* valor = "1000") {
    // The number the editor proposes is kept: every item of an invoice has its own.
    if (i.edtItem()->text().isEmpty()) i.edtItem()->setText(QStringLiteral("1"));
    i.edtCodigo()->setText(QString::fromUtf8(codigo));
    i.edtDescricao()->setText(QStringLiteral("Parafuso"));
    i.edtQuantidade()->setText(QString::fromUtf8(quantidade));
    i.edtCST()->setText(QStringLiteral("000"));
    i.edtValorItem()->setText(QString::fromUtf8(valor));
    i.edtDesconto()->setText(QStringLiteral("000"));
    i.edtSubstituicao()->setText(QStringLiteral("000"));
    i.edtIPI()->setText(QStringLiteral("000"));
    i.edtAliquota()->setText(QStringLiteral("1800"));
  }
  std::string Estoque(const std::string& codigo) {
    return Consulta(dm_->trDados,
                    "select TX_QUANTIDADE from PRODUTO where CD_PRODUTO = '" + codigo + "'")
        .at(0, "TX_QUANTIDADE");
  }
  std::string Inventario(const std::string& codigo) {
    store::RowSet r = Consulta(dm_->trDados,
                               "select i.QUANTIDADE from INVENTARIO i join PRODUTO p on "
                               "p.ID_PRODUTO = i.ID_PRODUTO where p.CD_PRODUTO = '" +
                                   codigo + "'");
    return r.empty() ? "(none)" : r.at(0, "QUANTIDADE");
  }
  int ProdutoComEstoque(const std::string& codigo, const std::string& quantidade) {
    store::TProduto p;
    p.CD_PRODUTO = codigo;
    p.TX_DESCRICAO = "Parafuso";
    p.TX_UNIDADE = "UN";
    p.TX_TIPO_ALIQUOTA = "ICMS";
    p.TX_VALOR_UNITARIO = "200";
    p.CS_CONTROLA_ESTOQUE = true;
    p.TX_QUANTIDADE = quantidade;
    EXPECT_TRUE(p.Inserir());
    return p.ID_PRODUTO;
  }
  std::function<void(TfrmInsereProduto&)> preencheDialogo;
  bool salvaDialogo = true;
};

TEST_F(InvoicesTest, AnInvoiceIsSavedWithItsStoredFormsAndReloadsAsTyped) {
  TfrmNotasFiscais l(*principal_);
  l.Inserir();
  TfrmNotaFiscal& e = *l.editor();
  Preenche(e);
  e.cmbModelo()->setCurrentIndex(1);  // "1-A"
  e.cmbModelo()->activated(1);
  e.cmbTipoSerie()->setCurrentIndex(1);
  e.edtSerie()->setText(QStringLiteral("A"));
  e.edtIsento()->setText(QStringLiteral("1234"));
  e.dtEmissao()->setDate(QDate(2026, 4, 3));
  dialogos_.respostas = {true, false};
  e.Salvar();
  EXPECT_EQ(
      dialogos_.perguntas.back().texto,
      QStringLiteral("Operação realizada com sucesso!\nVocê deseja cadastrar uma nova nota ?"));
  EXPECT_EQ(dialogos_.perguntas.back().titulo, QStringLiteral("Novo(a)?"));
  EXPECT_EQ(l.editor(), nullptr);
  store::RowSet r =
      Consulta(dm_->trDados,
               "select NB_MODELO, TX_SERIE, NB_NOTA, NB_CFOP, TX_EMITENTE, TX_UF, "
               "TX_VALOR_ISENTO, TX_VALOR_TOTAL, TX_SITUACAO, DT_EMISSAO from NOTA_FISCAL");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r.at(0, "NB_MODELO"), "1");
  EXPECT_EQ(r.at(0, "TX_SERIE"), "AU ");
  EXPECT_EQ(r.at(0, "NB_NOTA"), "4711");
  EXPECT_EQ(r.at(0, "TX_EMITENTE"), "Terceiro");
  EXPECT_EQ(r.at(0, "TX_VALOR_ISENTO"), "1234");
  EXPECT_EQ(r.at(0, "TX_VALOR_TOTAL"), "1234");
  EXPECT_EQ(r.at(0, "TX_SITUACAO"), "N");
  EXPECT_EQ(r.at(0, "DT_EMISSAO"), "2026-04-03");
  EXPECT_EQ(LinhasDoLog().back(), "spInserirNotaFiscal: - Sucesso! ");

  l.Alterar();
  TfrmNotaFiscal& a = *l.editor();
  EXPECT_EQ(a.cmbModelo()->currentText(), QStringLiteral("01"));
  EXPECT_EQ(a.cmbTipoSerie()->currentText(), QStringLiteral("Única"));
  EXPECT_EQ(a.edtSerie()->text(), QStringLiteral("A"));
  EXPECT_EQ(a.edtIsento()->text(), QStringLiteral("12,34"));
  EXPECT_EQ(a.dtEmissao()->date(), QDate(2026, 4, 3));
  EXPECT_FALSE(a.alterado());
}

TEST_F(InvoicesTest, ADateTypedOverTheSelectedDateReplacesItOrIsRefusedWithAMessage) {
  TfrmNotasFiscais l(*principal_);
  l.show();
  QApplication::setActiveWindow(&l);
  l.Inserir();
  TfrmNotaFiscal& e = *l.editor();
  QDateEdit* d = e.dtEmissao();
  const QDate antes(2026, 5, 20);
  struct Caso {
    const char* nome;
    const char* teclas;
    QDate esperada;
    const char* digitada;  // named in the message; nullptr when none is shown
  } casos[] = {
      {"a whole date", "15032026", QDate(2026, 3, 15), nullptr},
      {"day and month keep the year", "0704", QDate(2026, 4, 7), nullptr},
      {"a day the month does not have", "31022026", antes, "31/02/2026"},
      {"a day of three digits", "45032026", antes, "45/03/2026"},
      {"a year cut short", "150320", antes, "15/03/20"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    d->setDate(antes);
    d->setFocus();
    QApplication::processEvents();
    d->selectAll();
    dialogos_.mensagens.clear();
    QTest::keyClicks(d, QString::fromUtf8(c.teclas));
    e.edtNumero()->setFocus();  // leaving the field ends the typing
    QApplication::processEvents();
    EXPECT_EQ(d->date(), c.esperada) << d->date().toString("dd/MM/yyyy").toStdString();
    if (!c.digitada) {
      EXPECT_TRUE(dialogos_.mensagens.empty());
      continue;
    }
    ASSERT_EQ(dialogos_.mensagens.size(), 1u);
    EXPECT_EQ(dialogos_.mensagens[0].titulo, QStringLiteral("Data inválida"));
    EXPECT_EQ(dialogos_.mensagens[0].texto,
              QStringLiteral("A data digitada (%1) não existe ou está incompleta.\nDigite o dia, "
                             "o mês e o ano com 8 dígitos, por exemplo 15032026 para 15/03/2026.")
                  .arg(QString::fromUtf8(c.digitada)));
  }
}

TEST_F(InvoicesTest, YesToANewInvoiceInsertsASecondOneAndLeavesTheFirst) {
  TfrmNotasFiscais l(*principal_);
  l.Inserir();
  Preenche(*l.editor());
  dialogos_.respostas = {true, true};
  l.editor()->Salvar();
  ASSERT_NE(l.editor(), nullptr);
  EXPECT_EQ(l.editor()->chave(), 0);
  EXPECT_TRUE(l.editor()->edtNumero()->text().isEmpty());
  Preenche(*l.editor());
  l.editor()->edtNumero()->setText(QStringLiteral("4712"));
  dialogos_.respostas = {true, false};
  l.editor()->Salvar();
  store::RowSet r = Consulta(dm_->trDados, "select NB_NOTA from NOTA_FISCAL order by ID_NOTA");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r.at(0, "NB_NOTA"), "4711");
  EXPECT_EQ(r.at(1, "NB_NOTA"), "4712");
  EXPECT_EQ(l.lblNumNotas()->text(), QStringLiteral("Número de Notas: 2"));
}

TEST_F(InvoicesTest, BadInvoiceValuesAreRefusedAndNothingIsWritten) {
  struct Caso {
    const char* nome;
    std::function<void(TfrmNotaFiscal&)> estraga;
    QString texto;
  } casos[] = {
      {"partial CNPJ", [](TfrmNotaFiscal& e) { e.edtCNPJ()->setText("0425201100"); },
       QStringLiteral("CNPJ Inválido! Entre com um valor válido ou deixe-o em branco.")},
      {"CNPJ of zeros", [](TfrmNotaFiscal& e) { e.edtCNPJ()->setText("00000000000000"); },
       QStringLiteral("CNPJ Inválido! Entre com um valor válido ou deixe-o em branco.")},
      {"the owner's CNPJ", [](TfrmNotaFiscal& e) { e.edtCNPJ()->setText("11222333000181"); },
       kDeclarante},
      {"the owner's IE", [](TfrmNotaFiscal& e) { e.edtIE()->setText("110042490114"); },
       kDeclarante},
      {"pasted letters in the number", [](TfrmNotaFiscal& e) { e.edtNumero()->setText("12a"); },
       QStringLiteral("Valor inválido para o campo \"Número\". Entre com um valor válido ou "
                      "deixe-o em branco.")},
      {"pasted letters in the CFOP", [](TfrmNotaFiscal& e) { e.edtCFOP()->setText("51.2"); },
       QStringLiteral("Valor inválido para o campo \"CFOP\". Entre com um valor válido ou "
                      "deixe-o em branco.")},
      {"no state", [](TfrmNotaFiscal& e) { e.cmbEstado()->setCurrentIndex(-1); },
       QStringLiteral("Por favor, preencha o campo \"Estado\".")},
      {"no issuer", [](TfrmNotaFiscal& e) { e.cmbEmitente()->setCurrentIndex(-1); },
       QStringLiteral("Por favor, preencha o campo \"Emitente\".")},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    TfrmNotasFiscais l(*principal_);
    l.Inserir();
    Preenche(*l.editor());
    c.estraga(*l.editor());
    dialogos_.mensagens.clear();
    l.editor()->Salvar();
    ASSERT_EQ(dialogos_.mensagens.size(), 1u);
    EXPECT_EQ(dialogos_.mensagens[0].texto, c.texto);
    EXPECT_NE(l.editor(), nullptr);
    EXPECT_EQ(Consulta(dm_->trDados, "select count(*) from NOTA_FISCAL").integer(0, "COUNT"), 0);
  }
}

TEST_F(InvoicesTest, AnIeThatIsNotTheStatesAsksBeforeSaving) {
  TfrmNotasFiscais l(*principal_);
  l.Inserir();
  Preenche(*l.editor());
  // A registration of São Paulo given for Rio de Janeiro.
  l.editor()->edtIE()->setText(QStringLiteral("526018151907"));
  dialogos_.perguntas.clear();
  dialogos_.respostas = {true, false};  // save? yes; save it all the same? no
  l.editor()->Salvar();
  ASSERT_EQ(dialogos_.perguntas.size(), 2u);
  EXPECT_EQ(dialogos_.perguntas[1].titulo, QStringLiteral("Inscrição Estadual"));
  EXPECT_EQ(dialogos_.perguntas[1].texto,
            QStringLiteral("A Inscrição Estadual 526018151907 não confere com as regras do estado "
                           "RJ (dígitos verificadores ou formato).\nAlgumas inscrições irregulares "
                           "são verdadeiras. Deseja salvar mesmo assim?"));
  EXPECT_EQ(Consulta(dm_->trDados, "select count(*) from NOTA_FISCAL").integer(0, "COUNT"), 0);

  // Accepted: some registrations are irregular and still real.
  dialogos_.respostas = {true, true, false};
  l.editor()->Salvar();
  EXPECT_EQ(Consulta(dm_->trDados, "select count(*) from NOTA_FISCAL").integer(0, "COUNT"), 1);
}

TEST_F(InvoicesTest, LeavingAnEmptyIeDoesNotTrapTheUserEvenWhenTheOwnerHasNone) {
  store::TProprietario p;
  ASSERT_TRUE(p.Carregar());
  p.TX_IE = "";
  ASSERT_TRUE(p.Inserir());
  TfrmNotasFiscais l(*principal_);
  l.show();
  QApplication::setActiveWindow(&l);
  l.Inserir();
  TfrmNotaFiscal& e = *l.editor();
  e.edtIE()->setFocus();
  QApplication::processEvents();
  e.edtNumero()->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(dialogos_.mensagens.empty());
  EXPECT_TRUE(e.edtNumero()->hasFocus());
  // The owner's CNPJ typed and left: the message, and the focus back.
  e.edtCNPJ()->setFocus();
  QApplication::processEvents();
  e.edtCNPJ()->setText(QStringLiteral("11222333000181"));
  e.edtNumero()->setFocus();
  QApplication::processEvents();
  QApplication::processEvents();
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_EQ(dialogos_.mensagens[0].texto, kDeclarante);
  EXPECT_TRUE(e.edtCNPJ()->hasFocus());
}

TEST_F(InvoicesTest, SeriesKeysFollowTheModelAndTheSeriesType) {
  TfrmNotaFiscal e(*principal_);
  struct Caso {
    int modelo;  // index in the list
    int tipo;
    const char* digitado;
    const char* fica;
  } casos[] = {{2, 0, "A1-", "A1-"},
               {0, 0, "A1-", "1"},
               {2, 1, "aB1x", "B1"},
               {0, 1, "B12", "12"},
               {1, 1, "c3", "3"}};
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.digitado);
    e.cmbModelo()->setCurrentIndex(c.modelo);
    e.cmbModelo()->activated(c.modelo);
    e.cmbTipoSerie()->setCurrentIndex(c.tipo);
    e.cmbTipoSerie()->activated(c.tipo);
    e.edtSerie()->clear();
    QTest::keyClicks(e.edtSerie(), QString::fromUtf8(c.digitado));
    EXPECT_EQ(e.edtSerie()->text(), QString::fromUtf8(c.fica));
  }
  EXPECT_EQ(e.edtSerie()->maxLength(), 2);
}

TEST_F(InvoicesTest, ItemValidationStopsAtTheFirstFailureWithItsMessage) {
  TfrmNotasFiscais l(*principal_);
  int nota = NovaNota(l);
  struct Caso {
    const char* nome;
    std::function<void(TfrmProdutoNota&)> estraga;
    QString titulo, texto;
  } casos[] = {
      {"no item number", [](TfrmProdutoNota& i) { i.edtItem()->clear(); },
       QStringLiteral("Informe o valor"),
       QStringLiteral("Por favor, preencha o campo \"Nº do Item\".")},
      {"neither rate nor substitution",
       [](TfrmProdutoNota& i) {
         i.edtAliquota()->clear();
         i.edtSubstituicao()->clear();
       },
       QStringLiteral("Informe o valor"),
       QStringLiteral("Por favor, preencha o campo \"Alíquota de ICMS (%)\".")},
      {"no substitution and a zero rate",
       [](TfrmProdutoNota& i) {
         i.edtAliquota()->setText("000");
         i.edtSubstituicao()->clear();
       },
       QStringLiteral("Informe o valor"),
       QStringLiteral(
           "Por favor, preencha o campo \"Base de Calc. ICMS para Substi. Tributária\".")},
      {"both kinds of taxation", [](TfrmProdutoNota& i) { i.edtSubstituicao()->setText("500"); },
       QStringLiteral(
           "Valor inválido para esse campo. Entre com um valor válido ou deixe-o em branco."),
       QStringLiteral(
           "Não é permitido um item ter mais de um tipo de tributação.\nPor favor, corriga "
           "o valor da Alíquota de ICMS ou o valor de Base de Cálculo da Substituição "
           "Tributária")},
      {"no discount", [](TfrmProdutoNota& i) { i.edtDesconto()->clear(); },
       QStringLiteral("Informe o valor"),
       QStringLiteral("Por favor, preencha o campo \"Valor do Desconto\".")},
      {"no CST", [](TfrmProdutoNota& i) { i.edtCST()->clear(); }, QStringLiteral("Informe o valor"),
       QStringLiteral("Por favor, preencha o campo \"Cod. Situação Tributária (CST)\".")},
      {"no IPI", [](TfrmProdutoNota& i) { i.edtIPI()->clear(); }, QStringLiteral("Informe o valor"),
       QStringLiteral("Por favor, preencha o campo \"Valor do IPI\".")},
      {"pasted letters in the quantity",
       [](TfrmProdutoNota& i) { i.edtQuantidade()->setText("1a"); },
       QStringLiteral("Campo Inválido"),
       QStringLiteral("Valor inválido para o campo \"Quantidade\". Entre com um valor válido "
                      "ou deixe-o em branco.")},
      {"a rate of five digits", [](TfrmProdutoNota& i) { i.edtAliquota()->setText("99999"); },
       QStringLiteral("Campo Inválido"),
       QStringLiteral("Valor inválido para o campo \"Alíquota de ICMS (%)\". Entre com um valor "
                      "válido ou deixe-o em branco.")},
      {"pasted letters in the CST", [](TfrmProdutoNota& i) { i.edtCST()->setText("0a0"); },
       QStringLiteral("Campo Inválido"),
       QStringLiteral("Valor inválido para o campo \"Cod. Situação Tributária (CST)\". Entre "
                      "com um valor válido ou deixe-o em branco.")},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    l.AbreItem(nota, nullptr, -1);
    TfrmProdutoNota& i = *l.item();
    PreencheItem(i, "77", "1000");
    c.estraga(i);
    dialogos_.mensagens.clear();
    i.Salvar();
    ASSERT_EQ(dialogos_.mensagens.size(), 1u);
    EXPECT_EQ(dialogos_.mensagens[0].titulo, c.titulo);
    EXPECT_EQ(dialogos_.mensagens[0].texto, c.texto);
    EXPECT_EQ(Consulta(dm_->trDados, "select count(*) from PRODUTO_NOTA").integer(0, "COUNT"), 0);
    EXPECT_EQ(Consulta(dm_->trDados, "select count(*) from PRODUTO").integer(0, "COUNT"), 0);
  }
}

TEST_F(InvoicesTest, TheRateFieldTakesFourDigitsAndSavesTheLargestAsTyped) {
  // Four digits with two implied decimals: "9999" is 99,99 %, stored as typed and shown
  // whole once the edit is left (a fifth digit is refused by the validation table).
  TfrmNotasFiscais l(*principal_);
  int nota = NovaNota(l);
  l.show();
  QApplication::setActiveWindow(&l);
  l.AbreItem(nota, nullptr, -1);
  TfrmProdutoNota& i = *l.item();
  salvaDialogo = false;
  PreencheItem(i, "77", "1000");
  i.edtAliquota()->setFocus();
  QApplication::processEvents();
  i.edtAliquota()->selectAll();
  QTest::keyClicks(i.edtAliquota(), QStringLiteral("9999"));
  i.edtDescricao()->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(i.edtAliquota()->text(), QStringLiteral("99,99"));
  dialogos_.respostas = {true, false};
  i.Salvar();
  EXPECT_EQ(l.item(), nullptr);
  EXPECT_EQ(Consulta(dm_->trDados, "select TX_ALIQUOTA from PRODUTO_NOTA").at(0, "TX_ALIQUOTA"),
            "9999");
  l.Alterar();
  l.editor()->RecalculaTotais();
  // 10,00 at 99,99 %: 9,999, rounded once.
  EXPECT_EQ(l.editor()->edtValorICMS()->text(), QStringLiteral("10,00"));
}

TEST_F(InvoicesTest, ItemsMakeTheTotalsOfTheirInvoice) {
  TfrmNotasFiscais l(*principal_);
  int nota = NovaNota(l);
  ProdutoComEstoque("1", "0");
  ProdutoComEstoque("2", "0");
  l.Alterar();
  for (auto [codigo, quantidade, valor, ipi] :
       {std::tuple{"1", "1000", "10000", "1000"}, std::tuple{"2", "2000", "2500", "000"}}) {
    l.editor()->InserirProduto();
    ASSERT_NE(l.item(), nullptr);
    PreencheItem(*l.item(), codigo, quantidade, valor);
    l.item()->edtIPI()->setText(QString::fromUtf8(ipi));
    dialogos_.respostas = {true, false};
    l.item()->Salvar();
    EXPECT_EQ(l.item(), nullptr);
  }
  TfrmNotaFiscal& e = *l.editor();
  EXPECT_EQ(e.edtBaseICMS()->text(), QStringLiteral("150,00"));
  EXPECT_EQ(e.edtValorICMS()->text(), QStringLiteral("27,00"));
  EXPECT_EQ(e.edtValorTotal()->text(), QStringLiteral("160,00"));
  EXPECT_EQ(e.lblNumProdutos()->text(), QStringLiteral("Número de Produtos: 2"));
  EXPECT_EQ(e.chave(), nota);
  std::vector<std::string> log = LinhasDoLog();
  EXPECT_EQ(log.back(), "spInserirProdutoNota: - Sucesso! ");
}

TEST_F(InvoicesTest, StockFollowsWhatSavedItemsAdd) {
  TfrmNotasFiscais l(*principal_);
  int nota = NovaNota(l);
  ProdutoComEstoque("10", "5000");
  l.Alterar();

  // A product not registered: the dialog's quantity is its stock, raised no further.
  preencheDialogo = [](TfrmInsereProduto& d) {
    EXPECT_EQ(d.edtQuantidade()->text(), QStringLiteral("2,000"));
    d.chkEstoque()->setChecked(true);
    d.edtUnidade()->setText(QStringLiteral("KG"));
    d.edtPrecoVenda()->setText(QStringLiteral("300"));
  };
  l.editor()->InserirProduto();
  PreencheItem(*l.item(), "20", "2000");
  dialogos_.respostas = {true, false};
  l.item()->Salvar();
  EXPECT_EQ(Estoque("20"), "2000");
  EXPECT_EQ(Inventario("20"), "2000");
  preencheDialogo = {};

  // A registered product: raised by the item's quantity; its inventory row follows.
  l.editor()->InserirProduto();
  PreencheItem(*l.item(), "10", "1500");
  dialogos_.respostas = {true, false};
  l.item()->Salvar();
  EXPECT_EQ(Estoque("10"), "6500");
  EXPECT_EQ(Inventario("10"), "6500");

  // The same item changed from 1,500 to 2,000: only the difference is added.
  const store::RowSet& itens = dm_->tProdutoNota.Rows();
  int linha = itens.at(0, "CD_PRODUTO").rfind("10", 0) == 0 ? 0 : 1;
  l.AbreItem(nota, &itens, linha);
  l.item()->edtQuantidade()->setText(QStringLiteral("2000"));
  dialogos_.respostas = {true, false};
  l.item()->Salvar();
  EXPECT_EQ(Estoque("10"), "7000");
  EXPECT_EQ(Inventario("10"), "7000");

  // A failed item write (the code is already in this invoice) raises nothing.
  l.editor()->InserirProduto();
  PreencheItem(*l.item(), "10", "9000");
  dialogos_.mensagens.clear();
  dialogos_.respostas = {true, false};
  l.item()->Salvar();
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_EQ(dialogos_.mensagens[0].texto,
            QStringLiteral("O item \"10\" já está cadastrado na base de dados.\nPara inseri-lo "
                           "exclua-o da base de dados e execute essa operação novamente."));
  EXPECT_EQ(LinhasDoLog().back(),
            "O item \"10\" já está cadastrado na base de dados.\nPara inseri-lo exclua-o da base "
            "de dados e execute essa operação novamente.");
  EXPECT_EQ(Estoque("10"), "7000");
  EXPECT_NE(l.item(), nullptr);
}

TEST_F(InvoicesTest, ItemNumbersAdvanceAndARepeatedOneIsRefusedKeepingWhatWasTyped) {
  TfrmNotasFiscais l(*principal_);
  int nota = NovaNota(l);
  l.Alterar();
  l.editor()->InserirProduto();
  ASSERT_NE(l.item(), nullptr);
  EXPECT_EQ(l.item()->edtItem()->text(), QStringLiteral("1"));
  PreencheItem(*l.item(), "1", "1000");
  dialogos_.respostas = {true, true};  // save, then another product
  l.item()->Salvar();
  ASSERT_NE(l.item(), nullptr);
  EXPECT_EQ(l.item()->edtItem()->text(), QStringLiteral("2"));
  PreencheItem(*l.item(), "2", "1000");
  dialogos_.respostas = {true, false};
  l.item()->Salvar();
  EXPECT_EQ(l.item(), nullptr);

  // A new editor proposes the next number; the user types one the invoice has.
  l.editor()->InserirProduto();
  TfrmProdutoNota& i = *l.item();
  EXPECT_EQ(i.edtItem()->text(), QStringLiteral("3"));
  PreencheItem(i, "3", "2500", "1234");
  i.edtItem()->setText(QStringLiteral("1"));
  dialogos_.mensagens.clear();
  dialogos_.respostas = {true};
  i.Salvar();
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_EQ(dialogos_.mensagens[0].titulo, QStringLiteral("Nº do Item repetido"));
  EXPECT_EQ(dialogos_.mensagens[0].texto,
            QStringLiteral("A nota fiscal já tem um item com o Nº do Item 1. Dois itens de uma "
                           "nota não podem ter o mesmo número.\nO próximo número livre é 3."));
  EXPECT_EQ(Consulta(dm_->trDados,
                     "select NB_ITEM from PRODUTO_NOTA where ID_NOTA = " + std::to_string(nota))
                .size(),
            2u);
  ASSERT_EQ(l.item(), &i);
  EXPECT_EQ(i.edtItem()->text(), QStringLiteral("1"));
  EXPECT_EQ(i.edtCodigo()->text(), QStringLiteral("3"));
  EXPECT_EQ(i.edtQuantidade()->Armazenado(), "2500");
  EXPECT_EQ(i.edtValorItem()->Armazenado(), "1234");

  // The number put right, the same values save.
  i.edtItem()->setText(QStringLiteral("3"));
  dialogos_.respostas = {true, false};
  i.Salvar();
  EXPECT_EQ(l.item(), nullptr);
  store::RowSet r =
      Consulta(dm_->trDados, "select NB_ITEM, CD_PRODUTO from PRODUTO_NOTA where ID_NOTA = " +
                                 std::to_string(nota) + " order by NB_ITEM");
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r.at(2, "NB_ITEM"), "3");
  EXPECT_EQ(r.at(2, "CD_PRODUTO").substr(0, 1), "3");

  // A changed item keeps its own number.
  l.AbreItem(nota, &dm_->tProdutoNota.Rows(), 0);
  ASSERT_NE(l.item(), nullptr);
  const QString proprio = l.item()->edtItem()->text();
  dialogos_.mensagens.clear();
  dialogos_.respostas = {true, false};
  l.item()->Salvar();
  EXPECT_TRUE(dialogos_.mensagens.empty()) << dialogos_.mensagens[0].texto.toStdString();
  EXPECT_EQ(l.item(), nullptr);
  EXPECT_FALSE(proprio.isEmpty());
}

TEST_F(InvoicesTest, ACancelledProductDialogStillRegistersTheProductFromTheItem) {
  TfrmNotasFiscais l(*principal_);
  int nota = NovaNota(l);
  l.AbreItem(nota, nullptr, -1);
  salvaDialogo = false;
  PreencheItem(*l.item(), "30", "1000", "450");
  dialogos_.respostas = {true, false};
  l.item()->Salvar();
  bool perguntou = false;
  for (auto& m : dialogos_.mensagens)
    perguntou = perguntou || m.texto == QStringLiteral(
                                            "O produto 30 não existe na base de dados. "
                                            "Por favor preencha os dados do produto.");
  EXPECT_TRUE(perguntou);
  store::RowSet r =
      Consulta(dm_->trDados,
               "select TX_PRECO_COMPRA, TX_VALOR_UNITARIO, TX_ALIQUOTA, "
               "TX_TIPO_ALIQUOTA, TX_QUANTIDADE from PRODUTO where CD_PRODUTO = '30'");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r.rows[0], (std::vector<std::string>{"450", "000", "1800", "ICMS", "1000"}));
}

TEST_F(InvoicesTest, AnOverLongUnitInTheProductDialogIsRefused) {
  store::TProduto p;
  p.CD_PRODUTO = "5";
  TfrmInsereProduto d(p);
  d.edtUnidade()->setText(QStringLiteral("CAIXA"));
  d.Salvar();
  ASSERT_EQ(dialogos_.mensagens.size(), 1u);
  EXPECT_EQ(dialogos_.mensagens[0].titulo, QStringLiteral("Campo Inválido"));
  EXPECT_EQ(dialogos_.mensagens[0].texto,
            QStringLiteral("Valor inválido para o campo \"Unidade de Medida\". Entre com um "
                           "valor válido ou deixe-o em branco."));
  EXPECT_EQ(d.result(), 0);
  EXPECT_TRUE(p.TX_UNIDADE.empty());
}

TEST_F(InvoicesTest, DeletingAnInvoiceLogsItsKey) {
  TfrmNotasFiscais l(*principal_);
  int nota = NovaNota(l);
  l.grdNotas()->selectRow(0);
  dialogos_.respostas = {true};
  l.Excluir();
  EXPECT_EQ(dialogos_.perguntas.back().texto,
            QStringLiteral("Você tem certeza que deseja excluir nota fiscal 4711 ?"));
  EXPECT_EQ(LinhasDoLog().back(),
            "spExcluirNotaFiscal - id: " + std::to_string(nota) + " - Sucesso! ");
  EXPECT_EQ(l.lblNumNotas()->text(), QStringLiteral("Número de Notas: 0"));
}

TEST_F(InvoicesTest, ClosingTheListAsksAboutAnyStackedEditorsChanges) {
  TfrmNotasFiscais l(*principal_);
  int nota = NovaNota(l);
  l.Alterar();
  EXPECT_EQ(l.windowTitle(), QStringLiteral("Dados da Nota Fiscal"));
  l.AbreItem(nota, nullptr, -1);
  EXPECT_EQ(l.windowTitle(), QStringLiteral("Cadastro de Protuto para a Nota Fiscal"));
  QTest::keyClicks(l.item()->edtDescricao(), QStringLiteral("x"));
  EXPECT_TRUE(l.item()->alterado());
  EXPECT_TRUE(l.editor()->alterado());
  dialogos_.respostas = {false};
  EXPECT_FALSE(l.PedeFechar());
  EXPECT_EQ(dialogos_.perguntas.back().titulo, QStringLiteral("Abandonar alterações?"));
  // Opening another invoice asks first, too.
  dialogos_.respostas = {false};
  l.Inserir();
  EXPECT_NE(l.item(), nullptr);
  dialogos_.respostas = {true};
  EXPECT_TRUE(l.PedeFechar());
}

// A long list opens with one batch in the grid; the grid reads more as it is scrolled, and
// the count, the rows and the invoice a button acts on stay those of the whole list.
TEST_F(InvoicesTest, TheListOpensWithOneBatchAndReadsMoreAsItScrolls) {
  store::ExecSQL(dm_->trDados,
                 "execute block as declare i integer = 1; begin while (i <= 3000) do begin "
                 "insert into nota_fiscal (id_nota, nb_nota, tx_cnpj, tx_uf, dt_emissao, "
                 "tx_emitente, tx_aliquota, tx_valor_total) values (: i, 10000 + : i, "
                 "'11222333000181', 'SP', '2024-03-01', 'Próprio', '1800', '100'); "
                 "i = i + 1; end end");
  dm_->trDados.CommitRetaining();
  dm_->tNotaFiscal.SetBatch(100);
  TfrmNotasFiscais l(*principal_);
  QAbstractItemModel* m = l.grdNotas()->model();
  EXPECT_EQ(m->rowCount(), 100);
  EXPECT_EQ(dm_->tNotaFiscal.Fetched().size(), 100u);
  EXPECT_EQ(l.lblNumNotas()->text(), QStringLiteral("Número de Notas: 3000"));
  ASSERT_TRUE(m->canFetchMore({}));

  l.resize(600, 400);
  l.show();
  l.grdNotas()->scrollToBottom();
  QApplication::processEvents();
  const int lidas = m->rowCount();
  EXPECT_GT(lidas, 100);
  EXPECT_LT(lidas, 3000);
  while (m->canFetchMore({})) m->fetchMore({});
  ASSERT_EQ(m->rowCount(), 3000);
  for (int r : {0, 99, 100, 1500, 2999})
    EXPECT_EQ(static_cast<ModeloConsulta*>(m)->Valor(r, "NB_NOTA"), std::to_string(10001 + r)) << r;

  l.grdNotas()->selectRow(1500);
  dialogos_.respostas = {false};
  l.Excluir();
  EXPECT_EQ(dialogos_.perguntas.back().texto,
            QStringLiteral("Você tem certeza que deseja excluir nota fiscal 11501 ?"));
}

}  // namespace
}  // namespace shell
