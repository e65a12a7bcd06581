#pragma once
// The item editor of an invoice: one item, its validation, and the registration of its
// product with the stock raised by what the item adds.
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "shell/widgets/embedded_window.h"

class QDialog;
class QLineEdit;
class QPushButton;

namespace store {
class RowSet;
class TProduto;
}  // namespace store

namespace shell {

class NumericoEdit;
class DigitosEdit;

class TfrmProdutoNota : public JanelaEmbutida {
  Q_OBJECT
 public:
  TfrmProdutoNota(Principal& principal, int idNota, QWidget* pai = nullptr);

  // Loads row `linha` of an item row set (tProdutoNota).
  void Carrega(const store::RowSet& itens, int linha);
  // "Salvar": confirmation, validation, the item write, then the product.
  void Salvar();
  void Cancelar();
  // Leaving "Código": the registered product's code, description and rate.
  void BuscaCodigo();
  // The search button: the product search dialog.
  void Procura();

  int idNota() const { return idNota_; }
  int idItem() const { return idItem_; }

  // How modal dialogs run (tests replace it): the result of exec().
  static std::function<int(QDialog&)> Executa;

  // Told when the editor wants to close, and whenever its changed mark is set.
  std::function<void()> aoFechar;
  std::function<void()> aoAlterar;

  DigitosEdit* edtItem() const { return edtItem_; }
  QLineEdit* edtCodigo() const { return edtCodigo_; }
  QLineEdit* edtDescricao() const { return edtDescricao_; }
  NumericoEdit* edtQuantidade() const { return edtQuantidade_; }
  DigitosEdit* edtCST() const { return edtCST_; }
  NumericoEdit* edtValorItem() const { return edtValorItem_; }
  NumericoEdit* edtDesconto() const { return edtDesconto_; }
  NumericoEdit* edtSubstituicao() const { return edtSubstituicao_; }
  NumericoEdit* edtIPI() const { return edtIPI_; }
  NumericoEdit* edtAliquota() const { return edtAliquota_; }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  bool Valida();
  // The item keys and numbers of the invoice's stored items.
  std::vector<std::pair<int, int>> ItensDaNota() const;
  // "Nº do Item" := the next free number of the invoice; unchanged when none can be read.
  void PropoeNumero();
  // False (message shown) when another item of the invoice already has this number.
  bool NumeroLivre();
  // The item's product as it will be written: the stored one when the code is
  // registered, else the one prepared from the item, completed in the product dialog.
  store::TProduto PreparaProduto();
  // Writes the prepared product, raising a stock-controlled product's stock by
  // `acrescimo` (storage form, 3 decimals), and its inventory row. Throws what the
  // product write throws; an inventory failure is added to `erros`.
  void RegistraProduto(store::TProduto p, long long acrescimo, std::vector<QString>& erros);
  // The stock-controlled product's inventory row follows its quantity; false on failure.
  bool AcompanhaInventario(const store::TProduto& p);
  void Esvazia();
  void Fecha();

  int idNota_;
  int idItem_ = 0;
  std::string codigoGravado_, quantidadeGravada_;
  DigitosEdit* edtItem_;
  QLineEdit* edtCodigo_;
  QPushButton* btnProcura_;
  QLineEdit* edtDescricao_;
  NumericoEdit* edtQuantidade_;
  DigitosEdit* edtCST_;
  NumericoEdit* edtValorItem_;
  NumericoEdit* edtDesconto_;
  NumericoEdit* edtSubstituicao_;
  NumericoEdit* edtIPI_;
  NumericoEdit* edtAliquota_;
};

}  // namespace shell
