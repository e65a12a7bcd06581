#pragma once
// The configuration window: the three folders, the start-up choice, and the export of
// the operation log to Log.txt.
#include <QDate>
#include <string>

#include "shell/widgets/embedded_window.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QGroupBox;
class QDateEdit;
class QComboBox;

namespace store {
class TdmTributarium;
}

namespace shell {

// Writes the log rows of [inicial, final] (of one user when usuario > 0) to
// pasta/Log.txt, one line per row: date "-" time TAB user TAB operation. Throws on error.
void ExportaLog(store::TdmTributarium& dm, const QDate& inicial, const QDate& final_, int usuario,
                const QString& pasta);

class TfrmConfiguracoes : public JanelaEmbutida {
  Q_OBJECT
 public:
  explicit TfrmConfiguracoes(Principal& principal, QWidget* pai = nullptr);

  void RestaurarPadroes();
  void Salvar();
  void Cancelar();
  void ExportarLog();  // shows the filter box
  void Gerar();
  void LimparCampos();
  void VisualizarLog();

  QLineEdit* edtSintegra() const { return edtSintegra_; }
  QLineEdit* edtBaseDados() const { return edtBaseDados_; }
  QLineEdit* edtLog() const { return edtLog_; }
  QRadioButton* rbSim() const { return rbSim_; }
  QRadioButton* rbNao() const { return rbNao_; }
  QGroupBox* gbFiltro() const { return gbFiltro_; }
  QDateEdit* dtInicial() const { return dtInicial_; }
  QDateEdit* dtFinal() const { return dtFinal_; }
  QComboBox* cmbUsuario() const { return cmbUsuario_; }

 private:
  void Carrega();
  void EscolhePasta(QLineEdit* edit, const QString& titulo);
  void CarregaUsuarios();

  QLineEdit* edtSintegra_;
  QLineEdit* edtBaseDados_;
  QLineEdit* edtLog_;
  QRadioButton* rbSim_;
  QRadioButton* rbNao_;
  QGroupBox* gbFiltro_;
  QDateEdit* dtInicial_;
  QDateEdit* dtFinal_;
  QComboBox* cmbUsuario_;
};

}  // namespace shell
