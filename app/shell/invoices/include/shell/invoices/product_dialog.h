#pragma once
// The dialog that completes a product the item editor found unregistered.
#include <QDialog>

#include "store/entities.h"

class QLineEdit;
class QComboBox;
class QCheckBox;

namespace shell {

class NumericoEdit;
class DigitosEdit;

class TfrmInsereProduto : public QDialog {
  Q_OBJECT
 public:
  // Shows the product's values; the product is changed only by "Salvar".
  TfrmInsereProduto(store::TProduto& produto, QWidget* pai = nullptr);

  // Writes every control back into the product (storage form) and ends with OK; an
  // over-long unit or a number that is not one gives the invalid-field message instead.
  void Salvar();

  QLineEdit* edtCodigo() const { return edtCodigo_; }
  QLineEdit* edtDescricao() const { return edtDescricao_; }
  NumericoEdit* edtPrecoCompra() const { return edtPrecoCompra_; }
  NumericoEdit* edtAliquota() const { return edtAliquota_; }
  QLineEdit* edtUnidade() const { return edtUnidade_; }
  QComboBox* cmbTipoAliquota() const { return cmbTipo_; }
  QCheckBox* chkEstoque() const { return chkEstoque_; }
  NumericoEdit* edtQuantidade() const { return edtQuantidade_; }
  NumericoEdit* edtPrecoVenda() const { return edtPrecoVenda_; }

 private:
  store::TProduto& produto_;
  QLineEdit* edtCodigo_;
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
