#include "shell/widgets/query_model.h"

#include <QHeaderView>
#include <QTableView>

#include "store/conversions.h"
#include "store/firebird.h"

namespace shell {

void AjustaColunas(QTableView* grade, int elastica) {
  QHeaderView* h = grade->horizontalHeader();
  h->setStretchLastSection(false);
  h->setSectionResizeMode(QHeaderView::ResizeToContents);
  h->setSectionResizeMode(elastica, QHeaderView::Stretch);
}

ModeloConsulta::ModeloConsulta(std::vector<Coluna> colunas, QObject* pai)
    : QAbstractTableModel(pai), colunas_(std::move(colunas)) {}

ModeloConsulta::~ModeloConsulta() {
  Segue(nullptr);
}

void ModeloConsulta::Segue(store::Query* q) {
  beginResetModel();
  if (q_) {
    q_->Unsubscribe(token_);
    q_->Unsubscribe(tokenMais_);
  }
  q_ = q;
  token_ = tokenMais_ = 0;
  if (q_) {
    token_ = q_->Subscribe([this](const store::Query&) {
      beginResetModel();
      linhas_ = linhas() ? static_cast<int>(linhas()->size()) : 0;
      endResetModel();
    });
    tokenMais_ = q_->SubscribeMore([this](const store::Query&, std::size_t) {
      const int agora = linhas() ? static_cast<int>(linhas()->size()) : 0;
      if (agora <= linhas_) return;
      beginInsertRows({}, linhas_, agora - 1);
      linhas_ = agora;
      endInsertRows();
    });
  }
  linhas_ = linhas() ? static_cast<int>(linhas()->size()) : 0;
  endResetModel();
}

// The rows read so far: the grid never makes a query read the rest.
const store::RowSet* ModeloConsulta::linhas() const {
  return (q_ && q_->Active()) ? &q_->Fetched() : nullptr;
}

bool ModeloConsulta::canFetchMore(const QModelIndex& p) const {
  return !p.isValid() && q_ && q_->Active() && q_->CanFetchMore();
}

void ModeloConsulta::fetchMore(const QModelIndex& p) {
  if (canFetchMore(p)) q_->FetchMore();
}

std::string ModeloConsulta::Valor(int linha, const std::string& campo) const {
  const store::RowSet* r = linhas();
  if (!r || linha < 0 || linha >= static_cast<int>(r->size()) || r->column(campo) < 0) return {};
  std::string v = r->at(linha, campo);
  while (!v.empty() && v.back() == ' ') v.pop_back();
  return v;
}

int ModeloConsulta::rowCount(const QModelIndex& p) const {
  return (p.isValid() || !linhas()) ? 0 : linhas_;
}

int ModeloConsulta::columnCount(const QModelIndex& p) const {
  return p.isValid() ? 0 : static_cast<int>(colunas_.size());
}

QVariant ModeloConsulta::data(const QModelIndex& i, int role) const {
  if (!i.isValid() || i.column() >= static_cast<int>(colunas_.size())) return {};
  const Coluna& c = colunas_[i.column()];
  if (role == Qt::TextAlignmentRole)
    return (c.forma == Coluna::Decimais2 || c.forma == Coluna::Decimais3)
               ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
               : QVariant();
  if (role != Qt::DisplayRole) return {};
  std::string v = Valor(i.row(), c.campo);
  switch (c.forma) {
    case Coluna::Decimais2:
      v = store::FormataCasasDecimais(v, 2);
      break;
    case Coluna::Decimais3:
      v = store::FormataCasasDecimais(v, 3);
      break;
    case Coluna::Data:
      if (v.size() >= 10) v = v.substr(8, 2) + "/" + v.substr(5, 2) + "/" + v.substr(0, 4);
      break;
    default:
      break;
  }
  return QString::fromStdString(v);
}

QVariant ModeloConsulta::headerData(int s, Qt::Orientation o, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (o == Qt::Horizontal && s >= 0 && s < static_cast<int>(colunas_.size()))
    return colunas_[s].titulo;
  return {};
}

}  // namespace shell
