#pragma once
// The inventory editor: changes the rows the product and item editors create.
#include "shell/widgets/embedded_window.h"
#include "shell/widgets/query_model.h"

class QTableView;
class QLineEdit;
class QComboBox;
class QGroupBox;
class QLabel;

namespace shell {

class NumericoEdit;
class MascaraEdit;
class DigitosEdit;

// The description line of a possession code (1, 2 or 3); empty for any other.
QString DescricaoPosse(int codigo);

class TfrmInventario : public JanelaEmbutida {
  Q_OBJECT
 public:
  explicit TfrmInventario(Principal& principal, QWidget* pai = nullptr);
  ~TfrmInventario() override;

  // Opens a grid row in the edit group.
  void AbreLinha(int linha);
  // Applies the possession rule of the chosen code. On opening a row the third party's
  // stored CNPJ and IE stay; choosing code 2 or 3 afterwards empties them.
  void RegraPosse(bool aoAbrir = false);
  // Leaving "Quantidade": display form and the value. False when the quantity is invalid.
  bool CalculaValor();
  void Salvar();
  void Cancelar();

  QTableView* grdInventario() const { return grd_; }
  QGroupBox* gbDados() const { return gbDados_; }
  DigitosEdit* edtCodigo() const { return edtCodigo_; }
  QLineEdit* edtDescricao() const { return edtDescricao_; }
  NumericoEdit* edtQuantidade() const { return edtQuantidade_; }
  QLineEdit* edtValor() const { return edtValor_; }
  QComboBox* cmbPosse() const { return cmbPosse_; }
  QLabel* lblPosse() const { return lblPosse_; }
  QComboBox* cmbEstado() const { return cmbEstado_; }
  QLineEdit* edtIE() const { return edtIE_; }
  MascaraEdit* edtCNPJ() const { return edtCNPJ_; }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void Esvazia();

  ModeloConsulta* modelo_;
  QTableView* grd_;
  QGroupBox* gbDados_;
  DigitosEdit* edtCodigo_;
  QLineEdit* edtDescricao_;
  NumericoEdit* edtQuantidade_;
  QLineEdit* edtValor_;
  QComboBox* cmbPosse_;
  QLabel* lblPosse_;
  QComboBox* cmbEstado_;
  QLineEdit* edtIE_;
  MascaraEdit* edtCNPJ_;
  int linha_ = -1;
  int idInventario_ = 0;
  int idProduto_ = 0;
  std::string precoVenda_;
  bool validando_ = false;
};

}  // namespace shell
