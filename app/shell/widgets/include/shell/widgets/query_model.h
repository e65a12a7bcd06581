#pragma once
// A read-only table model over one of the data module's queries: the grid follows the
// query (it is told after every open and close) and shows the chosen columns. A query read
// in batches is shown as far as it was read; the view asks for more as it scrolls.
#include <QAbstractTableModel>
#include <string>
#include <vector>

namespace store {
class Query;
class RowSet;
}  // namespace store

class QTableView;

namespace shell {

struct Coluna {
  std::string campo;  // column of the query
  QString titulo;
  enum Forma { Texto, Decimais2, Decimais3, Data, Hora } forma = Texto;
};

// Grid columns sized to their contents, the column `elastica` taking the spare width.
void AjustaColunas(QTableView* grade, int elastica);

class ModeloConsulta : public QAbstractTableModel {
  Q_OBJECT
 public:
  ModeloConsulta(std::vector<Coluna> colunas, QObject* pai = nullptr);
  ~ModeloConsulta() override;

  // Follows q (nullptr: shows nothing).
  void Segue(store::Query* q);
  store::Query* consulta() const { return q_; }
  // A value of a row as the query holds it (UTF-8), trailing blanks removed.
  std::string Valor(int linha, const std::string& campo) const;

  int rowCount(const QModelIndex& = {}) const override;
  bool canFetchMore(const QModelIndex& p) const override;
  void fetchMore(const QModelIndex& p) override;
  int columnCount(const QModelIndex& = {}) const override;
  QVariant data(const QModelIndex& i, int role) const override;
  QVariant headerData(int s, Qt::Orientation o, int role) const override;

 private:
  const store::RowSet* linhas() const;
  std::vector<Coluna> colunas_;
  store::Query* q_ = nullptr;
  int token_ = 0;
  int tokenMais_ = 0;
  int linhas_ = 0;  // rows the view was told of
};

}  // namespace shell
