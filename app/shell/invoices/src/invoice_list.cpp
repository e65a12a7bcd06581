#include "shell/invoices/invoice_list.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedLayout>
#include <QTableView>
#include <QVBoxLayout>

#include "shell/invoices/invoice_editor.h"
#include "shell/invoices/item_editor.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/principal.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace shell {

namespace {
const char* const kTitulo = "Cadastro de Notas Fiscais de Entrada e Saída";
}

TfrmNotasFiscais::TfrmNotasFiscais(Principal& principal, QWidget* pai)
    : JanelaEmbutida(principal, QString::fromUtf8(kTitulo), 6, pai),
      pilha_(new QStackedLayout),
      paginaLista_(new QWidget(this)),
      modelo_(new ModeloConsulta(
          {{"NB_NOTA", QStringLiteral("Número")},
           {"TX_CNPJ", QStringLiteral("CNPJ")},
           {"TX_IE", QStringLiteral("Inscrição Estadual")},
           {"TX_UF", QStringLiteral("Estado")},
           {"DT_EMISSAO", QStringLiteral("Data"), Coluna::Data},
           {"NB_MODELO", QStringLiteral("Modelo")},
           {"TX_SERIE", QStringLiteral("Série")},
           {"NB_CFOP", QStringLiteral("CFOP")},
           {"TX_EMITENTE", QStringLiteral("Emitente")},
           {"TX_VALOR_TOTAL", QStringLiteral("Valor Total"), Coluna::Decimais2},
           {"TX_BASE_ICMS", QStringLiteral("Base do ICMS"), Coluna::Decimais2},
           {"TX_VALOR_ICMS", QStringLiteral("Valor de ICMS"), Coluna::Decimais2},
           {"TX_VALOR_ISENTO", QStringLiteral("Valor Isento"), Coluna::Decimais2},
           {"TX_OUTROS_VALORES", QStringLiteral("Outros Valores"), Coluna::Decimais2},
           {"TX_SITUACAO", QStringLiteral("Situação")}},
          this)),
      grdNotas_(new QTableView(paginaLista_)),
      lblNumNotas_(new QLabel(paginaLista_)) {
  auto* raiz = new QVBoxLayout(this);
  raiz->setContentsMargins(0, 0, 0, 0);
  raiz->addLayout(pilha_);
  auto* v = new QVBoxLayout(paginaLista_);
  v->addWidget(lblNumNotas_);
  grdNotas_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdNotas_->setSelectionMode(QAbstractItemView::SingleSelection);
  grdNotas_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdNotas_->verticalHeader()->hide();
  grdNotas_->setModel(modelo_);
  AjustaColunas(grdNotas_, 8);
  grdNotas_->setMinimumHeight(300);
  v->addWidget(grdNotas_, 1);
  auto* b = new QHBoxLayout;
  auto* btnInserir = new QPushButton(QStringLiteral("Inserir Nota Fiscal"), paginaLista_);
  auto* btnAlterar = new QPushButton(QStringLiteral("Alterar Nota Fiscal"), paginaLista_);
  auto* btnExcluir = new QPushButton(QStringLiteral("Excluir Nota Fiscal"), paginaLista_);
  for (QPushButton* p : {btnInserir, btnAlterar, btnExcluir}) b->addWidget(p);
  b->addStretch(1);
  v->addLayout(b);
  pilha_->addWidget(paginaLista_);

  connect(btnInserir, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Inserir(); }); });
  connect(btnAlterar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Alterar(); }); });
  connect(grdNotas_, &QTableView::doubleClicked, this,
          [this] { Protegido(this, [this] { Alterar(); }); });
  connect(btnExcluir, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Excluir(); }); });
  modelo_->Segue(&principal_.dm().tNotaFiscal);
  Atualiza();
}

TfrmNotasFiscais::~TfrmNotasFiscais() {
  // The editors let go of the shared queries before the list does.
  delete item_;
  delete editor_;
  modelo_->Segue(nullptr);
}

QWidget* TfrmNotasFiscais::topo() const {
  return pilha_->currentWidget();
}

void TfrmNotasFiscais::showEvent(QShowEvent* e) {
  JanelaEmbutida::showEvent(e);
  if (!editor_) Protegido(this, [this] { Atualiza(); });
}

void TfrmNotasFiscais::ContaNotas() {
  store::TNotaFiscal n;
  lblNumNotas_->setText(QStringLiteral("Número de Notas: %1").arg(n.ContaNotas()));
}

void TfrmNotasFiscais::Atualiza() {
  store::TdmTributarium& dm = principal_.dm();
  dm.tNotaFiscal.Refresh();
  QModelIndex i = grdNotas_->currentIndex();
  const store::RowSet& r = dm.tNotaFiscal.Fetched();
  int linha = i.isValid() ? i.row() : 0;
  std::int64_t id = (linha < static_cast<int>(r.size())) ? r.integer(linha, "ID_NOTA") : 0;
  dm.tProdutoNota.Close();
  dm.tProdutoNota.SetParam("idNota", id);
  dm.tProdutoNota.Open();
  lblNumNotas_->setText(
      QStringLiteral("Número de Notas: %1").arg(store::TNotaFiscal::NotasGravadas()));
}

void TfrmNotasFiscais::MostraTitulo() {
  QWidget* t = pilha_->currentWidget();
  QString titulo = t == paginaLista_ ? QString::fromUtf8(kTitulo) : t->windowTitle();
  if (windowTitle() != titulo) {
    setWindowTitle(titulo);
    principal_.MostraSubTitulo();
  }
}

bool TfrmNotasFiscais::PodeLargar() {
  const bool alterado = (editor_ && editor_->alterado()) || (item_ && item_->alterado());
  return !alterado || msg::AbandonarAlteracoes(this);
}

bool TfrmNotasFiscais::PedeFechar() {
  if (!PodeLargar()) return false;
  if (item_) item_->setAlterado(false);
  if (editor_) editor_->setAlterado(false);
  setAlterado(false);
  return JanelaEmbutida::PedeFechar();
}

void TfrmNotasFiscais::Inserir() {
  if (!PodeLargar()) return;
  FechaItem();
  FechaEditor();
  editor_ = new TfrmNotaFiscal(principal_, this);
  editor_->aoFechar = [this] { FechaEditor(); };
  editor_->abreItem = [this](int nota, const store::RowSet* r, int l) { AbreItem(nota, r, l); };
  pilha_->addWidget(editor_);
  pilha_->setCurrentWidget(editor_);
  MostraTitulo();
}

void TfrmNotasFiscais::Alterar() {
  const store::Query& q = principal_.dm().tNotaFiscal;
  if (!q.Active() || q.Fetched().empty()) return;
  QModelIndex i = grdNotas_->currentIndex();
  int linha = i.isValid() ? i.row() : 0;
  if (!PodeLargar()) return;
  FechaItem();
  FechaEditor();
  editor_ = new TfrmNotaFiscal(principal_, this);
  editor_->aoFechar = [this] { FechaEditor(); };
  editor_->abreItem = [this](int nota, const store::RowSet* r, int l) { AbreItem(nota, r, l); };
  editor_->Carrega(q.Fetched(), linha);
  pilha_->addWidget(editor_);
  pilha_->setCurrentWidget(editor_);
  MostraTitulo();
}

void TfrmNotasFiscais::Excluir() {
  const store::Query& q = principal_.dm().tNotaFiscal;
  if (!q.Active() || q.Fetched().empty()) return;
  QModelIndex i = grdNotas_->currentIndex();
  int linha = i.isValid() ? i.row() : 0;
  store::TNotaFiscal n;
  n.ID_NOTA = static_cast<int>(q.Fetched().integer(linha, "ID_NOTA"));
  const std::string numero = std::to_string(q.Fetched().integer(linha, "NB_NOTA"));
  if (!msg::ConfirmaExcluir(this, QStringLiteral("nota fiscal ") + QString::fromStdString(numero)))
    return;
  const std::string prefixo = "spExcluirNotaFiscal - id: " + std::to_string(n.ID_NOTA);
  if (n.Excluir()) {
    ContaNotas();
    principal_.GravaLog(store::LinhaSucesso(prefixo));
    msg::Sucesso(this);
  } else {
    principal_.GravaLog(store::LinhaFalha(prefixo));
    msg::Falha(this);
  }
  grdNotas_->viewport()->update();
}

void TfrmNotasFiscais::AbreItem(int nota, const store::RowSet* itens, int linha) {
  if (item_ && item_->alterado() && !msg::AbandonarAlteracoes(this)) return;
  FechaItem();
  item_ = new TfrmProdutoNota(principal_, nota, this);
  item_->aoFechar = [this] { FechaItem(); };
  // The item's changes are the invoice's too.
  item_->aoAlterar = [this] {
    if (editor_) editor_->setAlterado(true);
  };
  if (itens) item_->Carrega(*itens, linha);
  pilha_->addWidget(item_);
  pilha_->setCurrentWidget(item_);
  MostraTitulo();
}

void TfrmNotasFiscais::FechaItem() {
  if (!item_) return;
  TfrmProdutoNota* i = item_;
  item_ = nullptr;
  if (i->alterado() && editor_) editor_->setAlterado(true);
  pilha_->removeWidget(i);
  i->hide();
  i->deleteLater();
  if (editor_) {
    pilha_->setCurrentWidget(editor_);
    Protegido(this, [this] { editor_->RecalculaTotais(); });
  }
  MostraTitulo();
}

void TfrmNotasFiscais::FechaEditor() {
  if (!editor_) return;
  FechaItem();
  TfrmNotaFiscal* e = editor_;
  editor_ = nullptr;
  pilha_->removeWidget(e);
  e->hide();
  e->deleteLater();
  pilha_->setCurrentWidget(paginaLista_);
  Protegido(this, [this] { Atualiza(); });
  MostraTitulo();
}

}  // namespace shell
