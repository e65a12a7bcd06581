#include "shell/invoices/product_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/widgets/dialogos.h"
#include "shell/widgets/edits.h"
#include "shell/widgets/validacoes.h"

namespace shell {

TfrmInsereProduto::TfrmInsereProduto(store::TProduto& produto, QWidget* pai)
    : QDialog(pai),
      produto_(produto),
      edtCodigo_(new QLineEdit(this)),
      edtDescricao_(new QLineEdit(this)),
      edtPrecoCompra_(new NumericoEdit(2, this)),
      edtAliquota_(new NumericoEdit(2, this)),
      edtUnidade_(new QLineEdit(this)),
      cmbTipo_(new QComboBox(this)),
      chkEstoque_(new QCheckBox(QStringLiteral("Controle de Estoque"), this)),
      edtQuantidade_(new NumericoEdit(3, this)),
      edtPrecoVenda_(new NumericoEdit(2, this)) {
  setWindowTitle(QStringLiteral("Insere Produto no Cadastro de Produtos"));
  setModal(true);
  edtCodigo_->setMaxLength(13);
  edtDescricao_->setMaxLength(300);
  edtPrecoCompra_->setMaxLength(14);
  edtPrecoVenda_->setMaxLength(14);
  edtQuantidade_->setMaxLength(14);
  edtAliquota_->setMaxLength(5);
  cmbTipo_->addItems({QStringLiteral("ICMS"), QStringLiteral("ISS")});

  auto* raiz = new QVBoxLayout(this);
  auto* caixa = new QGroupBox(QStringLiteral("Novo Produto"), this);
  auto* f = new QFormLayout(caixa);
  f->addRow(QStringLiteral("Código"), edtCodigo_);
  f->addRow(QStringLiteral("Descrição"), edtDescricao_);
  f->addRow(QStringLiteral("Preço de Compra"), edtPrecoCompra_);
  f->addRow(QStringLiteral("Alíquota"), edtAliquota_);
  f->addRow(QStringLiteral("Unidade de Medida"), edtUnidade_);
  f->addRow(QStringLiteral("Tipo de Alíquota"), cmbTipo_);
  f->addRow(QString(), chkEstoque_);
  f->addRow(QStringLiteral("Quantidade em Estoque"), edtQuantidade_);
  f->addRow(QStringLiteral("Preço de Venda"), edtPrecoVenda_);
  raiz->addWidget(caixa);
  auto* b = new QHBoxLayout;
  auto* btnSalvar = new QPushButton(QStringLiteral("Salvar"), this);
  auto* btnCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
  b->addStretch(1);
  b->addWidget(btnSalvar);
  b->addWidget(btnCancelar);
  raiz->addLayout(b);
  connect(btnSalvar, &QPushButton::clicked, this, [this] { Salvar(); });
  connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);

  edtCodigo_->setText(QString::fromStdString(produto.CD_PRODUTO));
  edtDescricao_->setText(QString::fromStdString(produto.TX_DESCRICAO));
  edtAliquota_->MostraArmazenado(produto.TX_ALIQUOTA);
  edtQuantidade_->MostraArmazenado(produto.TX_QUANTIDADE);
  edtPrecoCompra_->MostraArmazenado(produto.TX_PRECO_COMPRA);
  cmbTipo_->setCurrentIndex(
      std::max(0, cmbTipo_->findText(QString::fromStdString(produto.TX_TIPO_ALIQUOTA))));
  chkEstoque_->setChecked(produto.CS_CONTROLA_ESTOQUE);
}

void TfrmInsereProduto::Salvar() {
  for (NumericoEdit* n : {edtPrecoCompra_, edtAliquota_, edtQuantidade_, edtPrecoVenda_}) {
    if (!n->Valido()) {
      msg::CampoInvalido(this, n);
      n->setFocus();
      return;
    }
  }
  const std::string codigo = edtCodigo_->text().trimmed().toStdString();
  if (!SaoDigitos(codigo)) {
    msg::CampoInvalido(this, edtCodigo_);
    edtCodigo_->setFocus();
    return;
  }
  // The unit column holds three characters; a longer unit would fail the insert.
  if (edtUnidade_->text().size() > 3) {
    msg::CampoInvalido(this, edtUnidade_);
    edtUnidade_->setFocus();
    return;
  }
  produto_.CD_PRODUTO = codigo;
  produto_.TX_DESCRICAO = edtDescricao_->text().toStdString();
  produto_.TX_PRECO_COMPRA = edtPrecoCompra_->Armazenado();
  produto_.TX_ALIQUOTA = edtAliquota_->Armazenado();
  produto_.TX_UNIDADE = edtUnidade_->text().toStdString();
  produto_.TX_TIPO_ALIQUOTA = cmbTipo_->currentText().toStdString();
  produto_.CS_CONTROLA_ESTOQUE = chkEstoque_->isChecked();
  produto_.TX_QUANTIDADE = edtQuantidade_->Armazenado();
  // An empty sale price is none: zero, as a new product starts.
  produto_.TX_VALOR_UNITARIO =
      edtPrecoVenda_->Armazenado().empty() ? std::string("000") : edtPrecoVenda_->Armazenado();
  accept();
}

}  // namespace shell
