#pragma once
// The invoice editor: the invoice's own values, its items and their totals.
#include <QLineEdit>
#include <functional>

#include "shell/widgets/embedded_window.h"
#include "shell/widgets/query_model.h"

class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace store {
class RowSet;
class TNotaFiscal;
}  // namespace store

namespace shell {

class DigitosEdit;
class MascaraEdit;
class NumericoEdit;

// The series edit: which keys pass depends on the model and the series type.
class SerieEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit SerieEdit(QWidget* pai = nullptr) : QLineEdit(pai) {}
  bool modelo01 = false;
  bool unica = false;
  // Whether a key of this Windows-1252 code passes.
  bool Passa(int codigo) const;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
};

class TfrmNotaFiscal : public JanelaEmbutida {
  Q_OBJECT
 public:
  explicit TfrmNotaFiscal(Principal& principal, QWidget* pai = nullptr);
  ~TfrmNotaFiscal() override;

  // Loads row `linha` of an invoice row set (tNotaFiscal).
  void Carrega(const store::RowSet& notas, int linha);
  void RecalculaTotais();
  void Salvar();
  void Cancelar();
  void InserirProduto();
  void AlterarProduto();
  void ExcluirProduto();
  void ExcluirTodos();
  // Empties every control for another invoice (key 0, today's date).
  void Limpa();

  int chave() const { return chave_; }
  int numeroModelo() const { return numeroModelo_; }

  // Told when the editor wants to close; and to open the item editor for an item
  // (nullptr and -1 for a new one) of invoice `nota`.
  std::function<void()> aoFechar;
  std::function<void(int nota, const store::RowSet* itens, int linha)> abreItem;

  MascaraEdit* edtCNPJ() const { return edtCNPJ_; }
  QLineEdit* edtIE() const { return edtIE_; }
  QDateEdit* dtEmissao() const { return dtEmissao_; }
  QComboBox* cmbEstado() const { return cmbEstado_; }
  QComboBox* cmbModelo() const { return cmbModelo_; }
  QComboBox* cmbEmitente() const { return cmbEmitente_; }
  QComboBox* cmbTipoSerie() const { return cmbTipoSerie_; }
  SerieEdit* edtSerie() const { return edtSerie_; }
  DigitosEdit* edtNumero() const { return edtNumero_; }
  DigitosEdit* edtCFOP() const { return edtCFOP_; }
  QLineEdit* edtValorTotal() const { return edtValorTotal_; }
  QLineEdit* edtBaseICMS() const { return edtBaseICMS_; }
  QLineEdit* edtValorICMS() const { return edtValorICMS_; }
  NumericoEdit* edtIsento() const { return edtIsento_; }
  NumericoEdit* edtOutros() const { return edtOutros_; }
  QLabel* lblNumProdutos() const { return lblNumProdutos_; }
  QTableView* grdProdutos() const { return grdProdutos_; }
  QGroupBox* gbProdutos() const { return gbProdutos_; }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  // The invoice as the controls hold it (storage forms).
  store::TNotaFiscal Monta();
  // Inserir or Alterar; the key follows the object's.
  bool Grava(store::TNotaFiscal& n);
  // The CNPJ check: false (message shown) for an invalid one or the owner's.
  bool ConfereCNPJ();
  bool ConfereIE();
  void ModeloEscolhido();
  void AjustaSerie();
  int ItemAtual() const;

  int chave_ = 0;
  int numeroModelo_ = 0;
  std::string aliquota_;
  bool validando_ = false;
  MascaraEdit* edtCNPJ_;
  QLineEdit* edtIE_;
  QDateEdit* dtEmissao_;
  QComboBox* cmbEstado_;
  QComboBox* cmbModelo_;
  QComboBox* cmbEmitente_;
  QComboBox* cmbTipoSerie_;
  SerieEdit* edtSerie_;
  DigitosEdit* edtNumero_;
  DigitosEdit* edtCFOP_;
  QLineEdit* edtValorTotal_;
  QLineEdit* edtBaseICMS_;
  QLineEdit* edtValorICMS_;
  NumericoEdit* edtIsento_;
  NumericoEdit* edtOutros_;
  QGroupBox* gbProdutos_;
  QLabel* lblNumProdutos_;
  ModeloConsulta* modeloItens_;
  QTableView* grdProdutos_;
};

}  // namespace shell
