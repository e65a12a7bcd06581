#include "shell/editors/products_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "shell/editors/product_filter.h"
#include "shell/import/caixoro_windows.h"
#include "shell/widgets/calculos.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/edits.h"
#include "shell/widgets/principal.h"
#include "shell/widgets/validacoes.h"
#include "store/conversions.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace shell {

CaixaFiltro CriaCaixaFiltro(QWidget* pai) {
  CaixaFiltro f;
  f.caixa = new QGroupBox(QStringLiteral("Filtrar"), pai);
  f.codigo = new QLineEdit(f.caixa);
  f.descricao = new QLineEdit(f.caixa);
  f.codigo->setMaxLength(14);
  f.descricao->setMaxLength(300);
  auto* h = new QHBoxLayout(f.caixa);
  h->addWidget(new QLabel(QStringLiteral("Código"), f.caixa));
  h->addWidget(f.codigo, 1);
  h->addWidget(new QLabel(QStringLiteral("Descrição"), f.caixa));
  h->addWidget(f.descricao, 3);
  return f;
}

std::vector<Coluna> ColunasProdutoFiltro() {
  return {{"ID_PRODUTO", QStringLiteral("Número")},
          {"CD_PRODUTO", QStringLiteral("Código")},
          {"TX_DESCRICAO", QStringLiteral("Descrição")},
          {"TX_VALOR_UNITARIO", QStringLiteral("Valor Unitário"), Coluna::Decimais2},
          {"TX_PRECO_COMPRA", QStringLiteral("Preço de Compra"), Coluna::Decimais2},
          {"TX_QUANTIDADE", QStringLiteral("Quantidade"), Coluna::Decimais3},
          {"TX_UNIDADE", QStringLiteral("Unidade")},
          {"TX_ALIQUOTA", QStringLiteral("Alíquota"), Coluna::Decimais2},
          {"TX_TIPO_ALIQUOTA", QStringLiteral("Tipo Aliq.")},
          {"CS_CONTROLA_ESTOQUE", QStringLiteral("Estoque")}};
}

namespace {
void PreparaGrade(QTableView* g) {
  g->setSelectionBehavior(QAbstractItemView::SelectRows);
  g->setSelectionMode(QAbstractItemView::SingleSelection);
  g->setEditTriggers(QAbstractItemView::NoEditTriggers);
  g->horizontalHeader()->setStretchLastSection(true);
  g->verticalHeader()->hide();
}
}  // namespace

TfrmProdutos::TfrmProdutos(Principal& principal, QWidget* pai)
    : JanelaEmbutida(principal, QStringLiteral("Cadastro de Produtos"), 7, pai),
      consultaFiltro_(std::make_unique<FiltroProdutos>(principal.dm())),
      modeloProduto_(new ModeloConsulta(
          {{"CD_PRODUTO", QStringLiteral("Código")},
           {"TX_DESCRICAO", QStringLiteral("Descrição")},
           {"TX_VALOR_UNITARIO", QStringLiteral("Valor Unitário"), Coluna::Decimais2},
           {"TX_PRECO_COMPRA", QStringLiteral("Preço de Compra"), Coluna::Decimais2},
           {"TX_QUANTIDADE", QStringLiteral("Quantidade"), Coluna::Decimais3},
           {"TX_UNIDADE", QStringLiteral("Unidade")},
           {"TX_ALIQUOTA", QStringLiteral("Alíquota"), Coluna::Decimais2},
           {"TX_TIPO_ALIQUOTA", QStringLiteral("Tipo Aliq.")}},
          this)),
      modeloFiltro_(new ModeloConsulta(ColunasProdutoFiltro(), this)),
      grdProdutos_(new QTableView(this)),
      filtro_(CriaCaixaFiltro(this)),
      gbNovo_(new QGroupBox(QStringLiteral("Novo Produto"), this)),
      edtCodigo_(new DigitosEdit(gbNovo_)),
      edtDescricao_(new QLineEdit(gbNovo_)),
      edtPrecoCompra_(new NumericoEdit(2, gbNovo_)),
      edtAliquota_(new NumericoEdit(2, gbNovo_)),
      edtUnidade_(new QLineEdit(gbNovo_)),
      cmbTipo_(new QComboBox(gbNovo_)),
      chkEstoque_(new QCheckBox(QStringLiteral("Controle de Estoque"), gbNovo_)),
      edtQuantidade_(new NumericoEdit(3, gbNovo_)),
      edtPrecoVenda_(new NumericoEdit(2, gbNovo_)) {
  edtCodigo_->setMaxLength(13);
  edtDescricao_->setMaxLength(300);
  edtUnidade_->setMaxLength(3);
  edtPrecoCompra_->setMaxLength(14);
  edtPrecoVenda_->setMaxLength(14);
  edtQuantidade_->setMaxLength(14);
  edtAliquota_->setMaxLength(5);
  cmbTipo_->addItems({QStringLiteral("ICMS"), QStringLiteral("ISS")});
  cmbTipo_->setCurrentIndex(-1);

  auto* raiz = new QVBoxLayout(this);
  raiz->addWidget(filtro_.caixa);
  auto* cadastrados = new QGroupBox(QStringLiteral("Produtos Cadastrados"), this);
  auto* vc = new QVBoxLayout(cadastrados);
  PreparaGrade(grdProdutos_);
  grdProdutos_->setModel(modeloProduto_);
  AjustaColunas(grdProdutos_, 1);
  grdProdutos_->setMinimumHeight(220);
  vc->addWidget(grdProdutos_);
  auto* bc = new QHBoxLayout;
  auto* btnNovo = new QPushButton(QStringLiteral("Novo"), cadastrados);
  auto* btnAlterar = new QPushButton(QStringLiteral("Alterar"), cadastrados);
  auto* btnExcluir = new QPushButton(QStringLiteral("Excluir"), cadastrados);
  auto* btnImportar = new QPushButton(QStringLiteral("Importar Produtos do Caixoro"), cadastrados);
  for (QPushButton* b : {btnNovo, btnAlterar, btnExcluir}) bc->addWidget(b);
  bc->addStretch(1);
  bc->addWidget(btnImportar);
  vc->addLayout(bc);
  raiz->addWidget(cadastrados, 1);

  auto* g = new QGridLayout(gbNovo_);
  auto* marca = new QLabel(QStringLiteral("*"), gbNovo_);
  marca->setToolTip(
      QStringLiteral("A quantidade em estoque é igual a quantidade lançada no Inventário"));
  int l = 0;
  auto par = [&](const QString& r, QWidget* w, int coluna) {
    auto* rotulo = new QLabel(r, gbNovo_);
    rotulo->setBuddy(w);  // the messages about a field name it by this label
    g->addWidget(rotulo, l, coluna);
    g->addWidget(w, l, coluna + 1);
  };
  par(QStringLiteral("Código"), edtCodigo_, 0);
  par(QStringLiteral("Descrição"), edtDescricao_, 2);
  ++l;
  par(QStringLiteral("Preço de Compra"), edtPrecoCompra_, 0);
  par(QStringLiteral("Preço de Venda"), edtPrecoVenda_, 2);
  ++l;
  par(QStringLiteral("Alíquota"), edtAliquota_, 0);
  par(QStringLiteral("Tipo de Alíquota"), cmbTipo_, 2);
  ++l;
  par(QStringLiteral("Unidade de Medida"), edtUnidade_, 0);
  g->addWidget(chkEstoque_, l, 2, 1, 2);
  ++l;
  par(QStringLiteral("Quantidade em Estoque"), edtQuantidade_, 0);
  g->addWidget(marca, l, 2);
  ++l;
  auto* bs = new QHBoxLayout;
  auto* btnSalvar = new QPushButton(QStringLiteral("Salvar"), gbNovo_);
  auto* btnCancelar = new QPushButton(QStringLiteral("Cancelar"), gbNovo_);
  bs->addStretch(1);
  bs->addWidget(btnSalvar);
  bs->addWidget(btnCancelar);
  g->addLayout(bs, l, 0, 1, 4);
  g->setColumnStretch(3, 1);
  gbNovo_->hide();
  raiz->addWidget(gbNovo_);

  connect(filtro_.codigo, &QLineEdit::textChanged, this, [this] { Filtra(); });
  connect(filtro_.descricao, &QLineEdit::textChanged, this, [this] { Filtra(); });
  connect(btnNovo, &QPushButton::clicked, this, [this] { Novo(); });
  connect(btnImportar, &QPushButton::clicked, this, [this] {
    Protegido(this, [this] {
      ImportaProdutosCaixoro(this, principal_);
      if (grdProdutos_->model() == modeloFiltro_) Filtra();
    });
  });
  connect(btnAlterar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Alterar(); }); });
  connect(grdProdutos_, &QTableView::doubleClicked, this,
          [this] { Protegido(this, [this] { Alterar(); }); });
  connect(btnExcluir, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Excluir(); }); });
  connect(btnSalvar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Salvar(); }); });
  connect(btnCancelar, &QPushButton::clicked, this, [this] { Cancelar(); });
  for (QLineEdit* e :
       {static_cast<QLineEdit*>(edtCodigo_), edtDescricao_,
        static_cast<QLineEdit*>(edtPrecoCompra_), static_cast<QLineEdit*>(edtAliquota_),
        edtUnidade_, static_cast<QLineEdit*>(edtQuantidade_),
        static_cast<QLineEdit*>(edtPrecoVenda_)})
    connect(e, &QLineEdit::textEdited, this, [this] { setAlterado(true); });
  connect(cmbTipo_, &QComboBox::activated, this, [this] { setAlterado(true); });
  connect(chkEstoque_, &QCheckBox::clicked, this, [this] { setAlterado(true); });

  store::Query& q = principal_.dm().tProduto;
  modeloProduto_->Segue(&q);
  modeloFiltro_->Segue(&consultaFiltro_->consulta());
  q.Refresh();  // rows written since the list was last read show too
}

TfrmProdutos::~TfrmProdutos() {
  // The grid goes back to the shared product list.
  modeloFiltro_->Segue(nullptr);
  modeloProduto_->Segue(nullptr);
}

ModeloConsulta* TfrmProdutos::modeloAtual() const {
  return static_cast<ModeloConsulta*>(grdProdutos_->model());
}

void TfrmProdutos::Filtra() {
  try {
    consultaFiltro_->Aplica(filtro_.codigo->text().toStdString(),
                            filtro_.descricao->text().toStdString());
    grdProdutos_->setModel(modeloFiltro_);
    AjustaColunas(grdProdutos_, 2);
  } catch (const std::exception&) {
    msg::FalhaConsulta(this);
  }
}

int TfrmProdutos::LinhaAtual() const {
  QModelIndex i = grdProdutos_->currentIndex();
  return i.isValid() ? i.row() : -1;
}

void TfrmProdutos::Esvazia() {
  for (QLineEdit* e :
       {static_cast<QLineEdit*>(edtCodigo_), edtDescricao_,
        static_cast<QLineEdit*>(edtPrecoCompra_), static_cast<QLineEdit*>(edtAliquota_),
        edtUnidade_, static_cast<QLineEdit*>(edtQuantidade_),
        static_cast<QLineEdit*>(edtPrecoVenda_)})
    e->clear();
  cmbTipo_->setCurrentIndex(-1);
  chkEstoque_->setChecked(false);
}

void TfrmProdutos::Novo() {
  Esvazia();
  chave_ = 0;
  gbNovo_->show();
  edtCodigo_->setFocus();
}

void TfrmProdutos::Alterar() {
  int linha = LinhaAtual();
  if (linha < 0) return;
  store::TProduto p;
  if (!p.BuscaPorCodigo(modeloAtual()->Valor(linha, "CD_PRODUTO"))) return;
  chave_ = p.ID_PRODUTO;
  edtCodigo_->setText(QString::fromStdString(p.CD_PRODUTO).trimmed());
  edtDescricao_->setText(QString::fromStdString(p.TX_DESCRICAO));
  edtPrecoVenda_->MostraArmazenado(p.TX_VALOR_UNITARIO);
  edtPrecoCompra_->MostraArmazenado(p.TX_PRECO_COMPRA);
  edtUnidade_->setText(QString::fromStdString(p.TX_UNIDADE).trimmed());
  edtQuantidade_->MostraArmazenado(p.TX_QUANTIDADE);
  edtAliquota_->MostraArmazenado(p.TX_ALIQUOTA);
  cmbTipo_->setCurrentIndex(
      cmbTipo_->findText(QString::fromStdString(p.TX_TIPO_ALIQUOTA).trimmed()));
  chkEstoque_->setChecked(p.CS_CONTROLA_ESTOQUE);
  gbNovo_->show();
}

void TfrmProdutos::Excluir() {
  int linha = LinhaAtual();
  if (linha < 0) return;
  const std::string codigo = modeloAtual()->Valor(linha, "CD_PRODUTO");
  if (!msg::ConfirmaExcluir(this, QStringLiteral("o produto ") + QString::fromStdString(codigo)))
    return;
  store::TProduto p;
  p.ID_PRODUTO = std::stoi("0" + modeloAtual()->Valor(linha, "ID_PRODUTO"));
  p.CD_PRODUTO = codigo;
  try {
    p.Excluir();
  } catch (const store::TEBancoDados& e) {
    throw store::Erro(e.MensagemCom(codigo));
  }
  principal_.GravaLog(store::LinhaSucesso("spExcluirProduto: " + std::to_string(p.ID_PRODUTO)));
  if (grdProdutos_->model() == modeloFiltro_) Filtra();
  msg::Sucesso(this);
}

bool TfrmProdutos::RegraEstoque(const store::TProduto& p) {
  if (p.CS_CONTROLA_ESTOQUE) {
    store::TProprietario dono;
    bool ok = dono.Carregar();
    if (ok) {
      store::TInventario inv;
      if (inv.BuscaPorProduto(p.ID_PRODUTO)) {
        inv.QUANTIDADE = p.TX_QUANTIDADE;
        ok = inv.Alterar();
      } else {
        inv.DATA_INVENTARIO = Hoje();
        inv.ID_PRODUTO = p.ID_PRODUTO;
        inv.QUANTIDADE = p.TX_QUANTIDADE;
        inv.VALOR_PRODUTO = ValorProduto(p.TX_QUANTIDADE, p.TX_VALOR_UNITARIO).value_or("000");
        inv.CODIGO_POSSE = 1;
        inv.CNPJ_POSS_PROP = dono.TX_CNPJ;
        inv.IE_POSS_PROP = dono.TX_IE;
        inv.UF_POSSPROP = dono.TX_ESTADO;
        ok = inv.Inserir();
      }
    }
    if (!ok)
      dialogos().Mensagem(
          this, QStringLiteral("Erro!"),
          QStringLiteral("Ocorreu um erro na insersão do Inventáro para o produto."), Icone::Erro);
    return ok;
  }
  store::TInventario inv;
  if (inv.BuscaPorProduto(p.ID_PRODUTO) && !inv.Excluir()) {
    dialogos().Mensagem(this, QStringLiteral("Erro!"),
                        QStringLiteral("Ocorreu um erro na exclusão do Inventáro para o produto."),
                        Icone::Erro);
    return false;
  }
  return true;
}

void TfrmProdutos::Salvar() {
  if (!msg::ConfirmaSalvar(this, QStringLiteral("o produto"))) return;
  // The lists order products by the code's number, so a product needs a numeric code.
  if (CampoObrigatorio(this, edtCodigo_->text().trimmed(), QStringLiteral("Código"))) {
    edtCodigo_->setFocus();
    return;
  }
  if (CampoObrigatorio(this, edtDescricao_->text().trimmed(), QStringLiteral("Descrição"))) {
    edtDescricao_->setFocus();
    return;
  }
  if (!SaoDigitos(edtCodigo_->text().trimmed().toStdString())) {
    msg::CampoInvalido(this, edtCodigo_);
    edtCodigo_->setFocus();
    return;
  }
  for (NumericoEdit* n : {edtPrecoCompra_, edtAliquota_, edtQuantidade_, edtPrecoVenda_}) {
    if (!n->Valido()) {
      msg::CampoInvalido(this, n);
      n->setFocus();
      return;
    }
  }
  store::TProduto p;
  p.ID_PRODUTO = chave_;
  p.CD_PRODUTO = edtCodigo_->text().trimmed().toStdString();
  p.TX_DESCRICAO = edtDescricao_->text().toStdString();
  p.TX_QUANTIDADE = edtQuantidade_->Armazenado();
  p.TX_VALOR_UNITARIO = edtPrecoVenda_->Armazenado();
  p.TX_PRECO_COMPRA = edtPrecoCompra_->Armazenado();
  p.TX_ALIQUOTA = edtAliquota_->Armazenado();
  p.TX_TIPO_ALIQUOTA = cmbTipo_->currentText().toStdString();
  p.CS_CONTROLA_ESTOQUE = chkEstoque_->isChecked();
  p.TX_UNIDADE = edtUnidade_->text().toStdString();
  bool ok;
  try {
    if (p.ID_PRODUTO < 1) {
      ok = p.Inserir();
      principal_.GravaLog(store::LinhaSucesso("spInserirProduto: " + std::to_string(p.ID_PRODUTO)));
      chave_ = p.ID_PRODUTO;
    } else {
      ok = p.Alterar();
      principal_.GravaLog(store::LinhaSucesso("spAlterarProduto: " + std::to_string(p.ID_PRODUTO)));
    }
  } catch (const store::TEBancoDados& e) {
    // The message names the product the user typed.
    principal_.dm().tProduto.Refresh();
    throw store::Erro(e.MensagemCom(p.CD_PRODUTO));
  }
  if (ok) {
    RegraEstoque(p);
    store::TInventario inv;
    if (inv.BuscaPorProduto(p.ID_PRODUTO)) {
      inv.QUANTIDADE = p.TX_QUANTIDADE;
      inv.VALOR_PRODUTO = ValorProduto(p.TX_QUANTIDADE, p.TX_VALOR_UNITARIO).value_or("000");
      inv.Alterar();
    }
    gbNovo_->hide();
    Esvazia();
    setAlterado(false);
    msg::Sucesso(this);
  } else {
    msg::Falha(this);
  }
  principal_.dm().tProduto.Refresh();
  if (grdProdutos_->model() == modeloFiltro_) Filtra();
}

void TfrmProdutos::Cancelar() {
  setAlterado(false);
  gbNovo_->hide();
  Esvazia();
}

}  // namespace shell
