#pragma once
// The owner editor: identification and address of the declaring company.
#include "shell/widgets/embedded_window.h"

class QLineEdit;
class QComboBox;
class QPushButton;

namespace shell {

class MascaraEdit;

class TfrmProprietario : public JanelaEmbutida {
  Q_OBJECT
 public:
  explicit TfrmProprietario(Principal& principal, QWidget* pai = nullptr);

  // Fills the controls from the stored owner.
  void Carrega();
  void LimparCampos();
  void Cancelar();
  void Salvar();
  int chave() const { return chave_; }

  MascaraEdit* edtCNPJ() const { return edtCNPJ_; }
  QLineEdit* edtIE() const { return edtIE_; }
  QLineEdit* edtRazaoSocial() const { return edtRazaoSocial_; }
  QLineEdit* edtCidade() const { return edtCidade_; }
  QComboBox* cmbEstado() const { return cmbEstado_; }
  QLineEdit* edtLogradouro() const { return edtLogradouro_; }
  QLineEdit* edtNumero() const { return edtNumero_; }
  QLineEdit* edtComplemento() const { return edtComplemento_; }
  QLineEdit* edtBairro() const { return edtBairro_; }
  QLineEdit* edtContato() const { return edtContato_; }
  MascaraEdit* edtCEP() const { return edtCEP_; }
  MascaraEdit* edtTelefone() const { return edtTelefone_; }
  MascaraEdit* edtFax() const { return edtFax_; }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  // Checks the field being left; false (message shown, focus kept) when it is invalid.
  bool ValidaSaida(QObject* o);

  int chave_ = 0;
  bool validando_ = false;
  MascaraEdit* edtCNPJ_;
  QLineEdit* edtIE_;
  QLineEdit* edtRazaoSocial_;
  QLineEdit* edtCidade_;
  QComboBox* cmbEstado_;
  QLineEdit* edtLogradouro_;
  QLineEdit* edtNumero_;
  QLineEdit* edtComplemento_;
  QLineEdit* edtBairro_;
  QLineEdit* edtContato_;
  MascaraEdit* edtCEP_;
  MascaraEdit* edtTelefone_;
  MascaraEdit* edtFax_;
};

// "Importar dados do Caixoro": fills the editor's controls from the point-of-sale owner
// table, unsaved.
void ImportaDonoCaixoro(TfrmProprietario& editor);

}  // namespace shell
