#pragma once
// The products editor: list with filter, the edit group, and the stock rule that keeps
// each stock-controlled product's inventory row.
#include <memory>

#include "shell/widgets/embedded_window.h"
#include "shell/widgets/query_model.h"

class QTableView;
class QLineEdit;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace store {
class TProduto;
}

namespace shell {

class FiltroProdutos;
class NumericoEdit;
class DigitosEdit;

// The filter box of products: "Código" and "Descrição".
struct CaixaFiltro {
  QGroupBox* caixa;
  QLineEdit* codigo;
  QLineEdit* descricao;
};
CaixaFiltro CriaCaixaFiltro(QWidget* pai);

// The columns of a product grid.
std::vector<Coluna> ColunasProdutoFiltro();

class TfrmProdutos : public JanelaEmbutida {
  Q_OBJECT
 public:
  explicit TfrmProdutos(Principal& principal, QWidget* pai = nullptr);
  ~TfrmProdutos() override;

  void Filtra();
  void Novo();
  void Alterar();
  void Excluir();
  void Salvar();
  void Cancelar();
  // Keeps the inventory row in step with the product's stock flag; false (message shown)
  // when the inventory could not be written.
  bool RegraEstoque(const store::TProduto& p);

  int chave() const { return chave_; }
  QTableView* grdProdutos() const { return grdProdutos_; }
  ModeloConsulta* modeloAtual() const;
  QLineEdit* edtFiltroCodigo() const { return filtro_.codigo; }
  QLineEdit* edtFiltroDescricao() const { return filtro_.descricao; }
  QGroupBox* gbNovoProduto() const { return gbNovo_; }
  DigitosEdit* edtCodigo() const { return edtCodigo_; }
  QLineEdit* edtDescricao() const { return edtDescricao_; }
  NumericoEdit* edtPrecoCompra() const { return edtPrecoCompra_; }
  NumericoEdit* edtAliquota() const { return edtAliquota_; }
  QLineEdit* edtUnidade() const { return edtUnidade_; }
  QComboBox* cmbTipoAliquota() const { return cmbTipo_; }
  QCheckBox* chkEstoque() const { return chkEstoque_; }
  NumericoEdit* edtQuantidade() const { return edtQuantidade_; }
  NumericoEdit* edtPrecoVenda() const { return edtPrecoVenda_; }

 private:
  void Esvazia();
  int LinhaAtual() const;

  int chave_ = 0;
  std::unique_ptr<FiltroProdutos> consultaFiltro_;
  ModeloConsulta* modeloProduto_;
  ModeloConsulta* modeloFiltro_;
  QTableView* grdProdutos_;
  CaixaFiltro filtro_;
  QGroupBox* gbNovo_;
  DigitosEdit* edtCodigo_;
  QLineEdit* edtDescricao_;
  NumericoEdit* edtPrecoCompra_;
  NumericoEdit* edtAliquota_;
  QLineEdit* edtUnidade_;
  QComboBox* cmbTipo_;
  QCheckBox* chkEstoque_;
  NumericoEdit* edtQuantidade_;
  NumericoEdit* edtPrecoVenda_;
};

}  // namespace shell
