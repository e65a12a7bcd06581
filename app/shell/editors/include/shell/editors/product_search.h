#pragma once
// The product search dialog opened by the item and inventory editors.
#include <QDialog>
#include <memory>
#include <string>

#include "shell/editors/products_editor.h"

class QTableView;

namespace store {
class TdmTributarium;
}

namespace shell {

class TfrmLocalizarProduto : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmLocalizarProduto(store::TdmTributarium& dm, QWidget* pai = nullptr);
  ~TfrmLocalizarProduto() override;

  void Filtra();
  void Selecionar();

  int chave() const { return chave_; }
  const std::string& codigo() const { return codigo_; }
  const std::string& descricao() const { return descricao_; }
  QTableView* grdProdutos() const { return grd_; }
  QLineEdit* edtFiltroCodigo() const { return filtro_.codigo; }
  QLineEdit* edtFiltroDescricao() const { return filtro_.descricao; }

 private:
  store::TdmTributarium& dm_;
  std::unique_ptr<FiltroProdutos> consultaFiltro_;
  ModeloConsulta* modeloProduto_;
  ModeloConsulta* modeloFiltro_;
  QTableView* grd_;
  CaixaFiltro filtro_;
  int chave_ = 0;
  std::string codigo_, descricao_;
};

}  // namespace shell
