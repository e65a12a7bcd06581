#include "shell/editors/inventory_editor.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "shell/widgets/calculos.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/edits.h"
#include "shell/widgets/principal.h"
#include "shell/widgets/validacoes.h"
#include "store/conversions.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace shell {

QString DescricaoPosse(int codigo) {
  switch (codigo) {
    case 1:
      return QStringLiteral("Mercadorias de propriedade do Informante e em seu poder");
    case 2:
      return QStringLiteral("Mercadorias de propriedade do Informante em poder de terceiros");
    case 3:
      return QStringLiteral("Mercadorias de propriedade de terceiros em poder do Informante");
    default:
      return {};
  }
}

TfrmInventario::TfrmInventario(Principal& principal, QWidget* pai)
    : JanelaEmbutida(principal, QStringLiteral("Controle de Inventário"), 8, pai),
      modelo_(new ModeloConsulta(
          {{"DATA_INVENTARIO", QStringLiteral("Data"), Coluna::Data},
           {"CD_PRODUTO", QStringLiteral("Cod. Produto")},
           {"TX_DESCRICAO", QStringLiteral("Descrição")},
           {"QUANTIDADE", QStringLiteral("Quantidade"), Coluna::Decimais3},
           {"VALOR_PRODUTO", QStringLiteral("Valor do Produto"), Coluna::Decimais2},
           {"CODIGO_POSSE", QStringLiteral("Cod. Posse")},
           {"CNPJ_POSS_PROP", QStringLiteral("CNPJ")},
           {"IE_POSS_PROP", QStringLiteral("Inscr. Estadual")},
           {"UF_POSSPROP", QStringLiteral("UF")}},
          this)),
      grd_(new QTableView(this)),
      gbDados_(new QGroupBox(QStringLiteral("Dados do Invetário"), this)),
      edtCodigo_(new DigitosEdit(gbDados_)),
      edtDescricao_(new QLineEdit(gbDados_)),
      edtQuantidade_(new NumericoEdit(3, gbDados_)),
      edtValor_(new QLineEdit(gbDados_)),
      cmbPosse_(new QComboBox(gbDados_)),
      lblPosse_(new QLabel(gbDados_)),
      cmbEstado_(new QComboBox(gbDados_)),
      edtIE_(new QLineEdit(gbDados_)),
      edtCNPJ_(new MascaraEdit(Mascara::CNPJ, gbDados_)) {
  edtCodigo_->setEnabled(false);
  edtDescricao_->setEnabled(false);
  edtValor_->setEnabled(false);
  edtValor_->setAlignment(Qt::AlignRight);
  edtQuantidade_->setMaxLength(14);
  edtIE_->setMaxLength(14);
  edtIE_->setToolTip(QStringLiteral("Com no máximo 14 dígitos."));
  cmbPosse_->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
  cmbEstado_->addItem(QString());
  for (const std::string& uf : Estados()) cmbEstado_->addItem(QString::fromStdString(uf));

  auto* raiz = new QVBoxLayout(this);
  grd_->setModel(modelo_);
  AjustaColunas(grd_, 2);
  grd_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grd_->setSelectionMode(QAbstractItemView::SingleSelection);
  grd_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grd_->horizontalHeader()->setStretchLastSection(true);
  grd_->verticalHeader()->hide();
  grd_->setMinimumHeight(220);
  raiz->addWidget(grd_, 1);

  auto* g = new QGridLayout(gbDados_);
  auto* marca = new QLabel(QStringLiteral("*"), gbDados_);
  marca->setToolTip(
      QStringLiteral("A quantidade do inventário é igual a quantidade cadastrada no Produto"));
  g->addWidget(new QLabel(QStringLiteral("Código do Produto"), gbDados_), 0, 0);
  g->addWidget(edtCodigo_, 0, 1);
  g->addWidget(new QLabel(QStringLiteral("Descrição do Produto"), gbDados_), 0, 2);
  g->addWidget(edtDescricao_, 0, 3);
  g->addWidget(new QLabel(QStringLiteral("Quantidade"), gbDados_), 1, 0);
  auto* hq = new QHBoxLayout;
  hq->addWidget(edtQuantidade_);
  hq->addWidget(marca);
  g->addLayout(hq, 1, 1);
  g->addWidget(new QLabel(QStringLiteral("Valor"), gbDados_), 1, 2);
  g->addWidget(edtValor_, 1, 3);
  g->addWidget(new QLabel(QStringLiteral("Posse das Mercadorias"), gbDados_), 2, 0);
  g->addWidget(cmbPosse_, 2, 1);
  g->addWidget(lblPosse_, 2, 2, 1, 2);
  g->addWidget(new QLabel(QStringLiteral("Estado"), gbDados_), 3, 0);
  g->addWidget(cmbEstado_, 3, 1);
  g->addWidget(new QLabel(QStringLiteral("Inscrição Estadual"), gbDados_), 3, 2);
  g->addWidget(edtIE_, 3, 3);
  g->addWidget(new QLabel(QStringLiteral("CNPJ"), gbDados_), 4, 0);
  g->addWidget(edtCNPJ_, 4, 1);
  auto* bs = new QHBoxLayout;
  auto* btnSalvar = new QPushButton(QStringLiteral("Salvar"), gbDados_);
  auto* btnCancelar = new QPushButton(QStringLiteral("Cancelar"), gbDados_);
  bs->addStretch(1);
  bs->addWidget(btnSalvar);
  bs->addWidget(btnCancelar);
  g->addLayout(bs, 5, 0, 1, 4);
  g->setColumnStretch(3, 1);
  gbDados_->hide();
  raiz->addWidget(gbDados_);

  connect(grd_, &QTableView::doubleClicked, this,
          [this](const QModelIndex& i) { Protegido(this, [this, i] { AbreLinha(i.row()); }); });
  connect(cmbPosse_, &QComboBox::activated, this, [this] {
    setAlterado(true);
    Protegido(this, [this] { RegraPosse(); });
  });
  connect(cmbEstado_, &QComboBox::activated, this, [this] { setAlterado(true); });
  for (QLineEdit* e : {edtValor_, edtIE_, static_cast<QLineEdit*>(edtCNPJ_),
                       static_cast<QLineEdit*>(edtQuantidade_)})
    connect(e, &QLineEdit::textEdited, this, [this] { setAlterado(true); });
  connect(btnSalvar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Salvar(); }); });
  connect(btnCancelar, &QPushButton::clicked, this, [this] { Cancelar(); });
  edtQuantidade_->installEventFilter(this);
  edtCNPJ_->installEventFilter(this);

  store::Query& q = principal_.dm().tInventario;
  modelo_->Segue(&q);
  q.Refresh();  // rows written since the list was last read show too
}

TfrmInventario::~TfrmInventario() {
  modelo_->Segue(nullptr);
}

bool TfrmInventario::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::FocusOut && !validando_ && isVisible()) {
    validando_ = true;
    if (o == edtQuantidade_) {
      // The edit's own focus-out turns the text into display form after this filter.
      QTimer::singleShot(0, this, [this] { CalculaValor(); });
    } else if (o == edtCNPJ_) {
      QString v = edtCNPJ_->Digitos();
      if (!v.isEmpty() && !ValidaCNPJ(v.toStdString())) {
        msg::CNPJInvalido(this);
        QTimer::singleShot(0, edtCNPJ_, [this] { edtCNPJ_->setFocus(); });
      }
    }
    validando_ = false;
  }
  return JanelaEmbutida::eventFilter(o, e);
}

void TfrmInventario::AbreLinha(int linha) {
  if (linha < 0 || linha >= modelo_->rowCount()) return;
  linha_ = linha;
  grd_->selectRow(linha);
  idInventario_ = std::stoi("0" + modelo_->Valor(linha, "ID_INVENTARIO"));
  idProduto_ = std::stoi("0" + modelo_->Valor(linha, "ID_PRODUTO"));
  precoVenda_ = modelo_->Valor(linha, "TX_VALOR_UNITARIO");
  edtCodigo_->setText(QString::fromStdString(modelo_->Valor(linha, "CD_PRODUTO")));
  edtDescricao_->setText(QString::fromStdString(modelo_->Valor(linha, "TX_DESCRICAO")));
  edtValor_->setText(QString::fromStdString(
      store::FormataCasasDecimais(modelo_->Valor(linha, "VALOR_PRODUTO"), 2)));
  int posse = std::stoi("0" + modelo_->Valor(linha, "CODIGO_POSSE"));
  cmbPosse_->setCurrentIndex(posse >= 1 && posse <= 3 ? posse - 1 : 0);
  cmbEstado_->setCurrentIndex(std::max(
      0, cmbEstado_->findText(QString::fromStdString(modelo_->Valor(linha, "UF_POSSPROP")))));
  edtIE_->setText(QString::fromStdString(modelo_->Valor(linha, "IE_POSS_PROP")));
  edtCNPJ_->MostraDigitos(QString::fromStdString(modelo_->Valor(linha, "CNPJ_POSS_PROP")));
  edtQuantidade_->MostraArmazenado(modelo_->Valor(linha, "QUANTIDADE"));
  // The stored possession data is shown as it is; the rule only fills or empties the
  // fields when the user changes the code.
  RegraPosse(true);
  gbDados_->show();
  grd_->setEnabled(false);
}

void TfrmInventario::RegraPosse(bool aoAbrir) {
  const int codigo = cmbPosse_->currentIndex() + 1;
  lblPosse_->setText(DescricaoPosse(codigo));
  const bool terceiros = codigo != 1;
  edtCNPJ_->setEnabled(terceiros);
  edtIE_->setEnabled(terceiros);
  cmbEstado_->setEnabled(terceiros);
  if (terceiros) {
    if (aoAbrir) return;
    edtCNPJ_->clear();
    edtIE_->clear();
  } else {
    store::TProprietario dono;
    if (dono.Carregar()) {
      edtCNPJ_->MostraDigitos(QString::fromStdString(dono.TX_CNPJ));
      edtIE_->setText(QString::fromStdString(dono.TX_IE));
    }
  }
}

bool TfrmInventario::CalculaValor() {
  const std::string q = edtQuantidade_->Armazenado();
  auto valor = edtQuantidade_->Valido() ? ValorProduto(q, precoVenda_) : std::nullopt;
  if (!valor) {
    msg::Simples(
        this, QStringLiteral("Erro ao Calcular Valor: ") + QStringLiteral("Quantidade Inválida!"));
    return false;
  }
  edtQuantidade_->MostraArmazenado(q);
  edtValor_->setText(QString::fromStdString(store::FormataCasasDecimais(*valor, 2)));
  return true;
}

void TfrmInventario::Esvazia() {
  for (QLineEdit* e :
       {static_cast<QLineEdit*>(edtCodigo_), edtDescricao_, static_cast<QLineEdit*>(edtQuantidade_),
        edtValor_, edtIE_, static_cast<QLineEdit*>(edtCNPJ_)})
    e->clear();
  cmbPosse_->setCurrentIndex(0);
  cmbEstado_->setCurrentIndex(0);
  lblPosse_->clear();
}

void TfrmInventario::Salvar() {
  if (!msg::ConfirmaSalvar(this, QStringLiteral("um registro no inventário"))) return;
  if (!CalculaValor()) {
    edtQuantidade_->setFocus();
    return;
  }
  const QString cnpj = edtCNPJ_->Digitos();
  if (!cnpj.isEmpty() && !ValidaCNPJ(cnpj.toStdString())) {
    msg::CNPJInvalido(this);
    edtCNPJ_->setFocus();
    return;
  }
  store::TInventario inv;
  inv.ID_INVENTARIO = idInventario_;
  inv.DATA_INVENTARIO = Hoje();
  inv.ID_PRODUTO = idProduto_;
  inv.QUANTIDADE = edtQuantidade_->Armazenado();
  inv.VALOR_PRODUTO = store::RemoveCasasDecimais(edtValor_->text().toStdString());
  inv.CODIGO_POSSE = cmbPosse_->currentIndex() + 1;
  inv.CNPJ_POSS_PROP = cnpj.toStdString();
  inv.IE_POSS_PROP = edtIE_->text().trimmed().toStdString();
  inv.UF_POSSPROP = cmbEstado_->currentText().toStdString();
  bool ok = inv.Alterar();
  if (ok) {
    store::TProduto p;
    if (p.BuscaPorCodigo(edtCodigo_->text().toStdString())) {
      p.TX_QUANTIDADE = inv.QUANTIDADE;
      ok = p.Alterar();
    }
  }
  if (ok) {
    gbDados_->hide();
    Esvazia();
    setAlterado(false);
    msg::Sucesso(this);
  } else {
    msg::Falha(this);
  }
  grd_->setEnabled(true);
  grd_->viewport()->update();
}

void TfrmInventario::Cancelar() {
  setAlterado(false);
  Esvazia();
  gbDados_->hide();
  grd_->setEnabled(true);
}

}  // namespace shell
