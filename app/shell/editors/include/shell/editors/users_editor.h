#pragma once
// The users editor: only master users create, change or delete users.
#include "shell/widgets/embedded_window.h"
#include "shell/widgets/query_model.h"

class QTableView;
class QLineEdit;
class QCheckBox;
class QPushButton;

namespace shell {

class TfrmUsuarios : public JanelaEmbutida {
  Q_OBJECT
 public:
  enum class Modo { Novo, Altera };

  explicit TfrmUsuarios(Principal& principal, QWidget* pai = nullptr);
  ~TfrmUsuarios() override;

  void CliqueGrade(int linha);
  void DuploCliqueGrade(int linha);
  void Novo();
  void Salvar();
  void Excluir();
  void Cancelar();

  Modo modo() const { return modo_; }
  QTableView* grdUsuarios() const { return grdUsuarios_; }
  QLineEdit* edtNome() const { return edtNome_; }
  QLineEdit* edtLogin() const { return edtLogin_; }
  QLineEdit* edtSenha() const { return edtSenha_; }
  QLineEdit* edtConfirma() const { return edtConfirma_; }
  QCheckBox* chkMestre() const { return chkMestre_; }
  QPushButton* btnNovo() const { return btnNovo_; }
  QPushButton* btnSalvar() const { return btnSalvar_; }
  QPushButton* btnExcluir() const { return btnExcluir_; }
  QPushButton* btnCancelar() const { return btnCancelar_; }

 private:
  void Habilita(bool sim);
  void Reinicia();
  int LinhaAtual() const;

  Modo modo_ = Modo::Altera;
  ModeloConsulta* modelo_;
  QTableView* grdUsuarios_;
  QLineEdit* edtNome_;
  QLineEdit* edtLogin_;
  QLineEdit* edtSenha_;
  QLineEdit* edtConfirma_;
  QCheckBox* chkMestre_;
  QPushButton* btnNovo_;
  QPushButton* btnSalvar_;
  QPushButton* btnExcluir_;
  QPushButton* btnCancelar_;
};

}  // namespace shell
