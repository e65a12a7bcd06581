#pragma once
// The client-bases window: lists the bases and creates, registers, selects and deletes them.
#include "shell/widgets/embedded_window.h"
#include "shell/widgets/query_model.h"

class QTableView;
class QLineEdit;
class QGroupBox;

namespace shell {

class TfrmBaseDados : public JanelaEmbutida {
  Q_OBJECT
 public:
  enum class Modo { Nova, Importa };

  explicit TfrmBaseDados(Principal& principal, QWidget* pai = nullptr);
  ~TfrmBaseDados() override;

  void NovaBase();
  void ImportarBase();
  void EscolhePasta();
  void Salvar();
  void Cancelar();
  void ExcluirBase();
  void SelecionarBase();
  // A backup of the current row's base into a file the user names, verified before it
  // is reported done; a restore of it from one, refused for the base in use here.
  void CopiaSeguranca();
  void Restaurar();

  Modo modo() const { return modo_; }
  QTableView* grdBases() const { return grdBases_; }
  QLineEdit* edtNome() const { return edtNome_; }
  QLineEdit* edtPath() const { return edtPath_; }
  QGroupBox* gbNovaBase() const { return gbNovaBase_; }
  ModeloConsulta* modelo() const { return modelo_; }

 private:
  int LinhaAtual() const;

  Modo modo_ = Modo::Nova;
  ModeloConsulta* modelo_;
  QTableView* grdBases_;
  QGroupBox* gbNovaBase_;
  QLineEdit* edtNome_;
  QLineEdit* edtPath_;
};

}  // namespace shell
