#include "shell/editors/product_search.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include "common/files.h"
#include "shell/editors/product_filter.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/help_window.h"
#include "shell/widgets/recursos.h"
#include "store/data_module.h"

namespace shell {

namespace {
std::vector<Coluna> ColunasBusca() {
  return {{"CD_PRODUTO", QStringLiteral("Código")},
          {"TX_DESCRICAO", QStringLiteral("Descrição")},
          {"TX_VALOR_UNITARIO", QStringLiteral("Valor Unitário"), Coluna::Decimais2},
          {"TX_QUANTIDADE", QStringLiteral("Quantidade"), Coluna::Decimais3},
          {"TX_UNIDADE", QStringLiteral("Unidade")},
          {"TX_ALIQUOTA", QStringLiteral("Alíquota"), Coluna::Decimais2},
          {"TX_TIPO_ALIQUOTA", QStringLiteral("Tipo Aliq.")}};
}
}  // namespace

TfrmLocalizarProduto::TfrmLocalizarProduto(store::TdmTributarium& dm, QWidget* pai)
    : QDialog(pai),
      dm_(dm),
      consultaFiltro_(std::make_unique<FiltroProdutos>(dm)),
      modeloProduto_(new ModeloConsulta(ColunasBusca(), this)),
      modeloFiltro_(new ModeloConsulta(ColunasBusca(), this)),
      grd_(new QTableView(this)),
      filtro_(CriaCaixaFiltro(this)) {
  setWindowTitle(QStringLiteral("Localizar Produto"));
  setModal(true);
  auto* raiz = new QVBoxLayout(this);
  raiz->addWidget(filtro_.caixa);
  grd_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grd_->setSelectionMode(QAbstractItemView::SingleSelection);
  grd_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grd_->horizontalHeader()->setStretchLastSection(true);
  grd_->verticalHeader()->hide();
  grd_->setModel(modeloProduto_);
  AjustaColunas(grd_, 1);
  raiz->addWidget(grd_, 1);
  auto* botoes = new QHBoxLayout;
  auto* btnSelecionar = new QPushButton(QStringLiteral("Selecionar"), this);
  auto* btnCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
  botoes->addStretch(1);
  botoes->addWidget(btnSelecionar);
  botoes->addWidget(btnCancelar);
  raiz->addLayout(botoes);
  resize(760, 460);

  connect(filtro_.codigo, &QLineEdit::textChanged, this, [this] { Filtra(); });
  connect(filtro_.descricao, &QLineEdit::textChanged, this, [this] { Filtra(); });
  connect(btnSelecionar, &QPushButton::clicked, this, [this] { Selecionar(); });
  connect(grd_, &QTableView::doubleClicked, this, [this] { Selecionar(); });
  connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this,
          [this] { Ajuda(this).Mostra(QString::fromStdString(PastaDosRecursos().string()), 2); });

  modeloProduto_->Segue(&dm_.tProduto);
  modeloFiltro_->Segue(&consultaFiltro_->consulta());
  Protegido(this, [this] { dm_.tProduto.Refresh(); });
}

TfrmLocalizarProduto::~TfrmLocalizarProduto() {
  modeloFiltro_->Segue(nullptr);
  modeloProduto_->Segue(nullptr);
}

void TfrmLocalizarProduto::Filtra() {
  try {
    consultaFiltro_->Aplica(filtro_.codigo->text().toStdString(),
                            filtro_.descricao->text().toStdString());
    grd_->setModel(modeloFiltro_);
    AjustaColunas(grd_, 1);
  } catch (const std::exception&) {
    msg::FalhaConsulta(this);
  }
}

void TfrmLocalizarProduto::Selecionar() {
  auto* m = static_cast<ModeloConsulta*>(grd_->model());
  QModelIndex i = grd_->currentIndex();
  int linha = i.isValid() ? i.row() : (m->rowCount() > 0 ? 0 : -1);
  if (linha < 0) return;
  chave_ = std::stoi("0" + m->Valor(linha, "ID_PRODUTO"));
  codigo_ = m->Valor(linha, "CD_PRODUTO");
  descricao_ = m->Valor(linha, "TX_DESCRICAO");
  accept();
}

}  // namespace shell
