#pragma once
// The generation screen shown in the main window's content area: month and year, the
// record kinds, the nature of the operations and the purpose, the file of type-60/75
// records (named or read from the fiscal printer), and the run.
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>

#include "shell/widgets/embedded_window.h"
#include "sintegra/tipos.h"
#include "sintegra/validador.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace generation {

class TfrmGeraSintegra : public shell::JanelaEmbutida {
  Q_OBJECT
 public:
  explicit TfrmGeraSintegra(shell::Principal& principal, QWidget* pai = nullptr);

  // PathSintegra of the configuration, read each time it is needed.
  std::function<QString()> PathSintegra;
  // The ECF reading dialog: month, year and subtype mask in, the produced file out (empty
  // when nothing was produced). Tests replace it.
  std::function<QString(int mes, int ano, int mascara)> LeDadosEcf;
  // The pause of the run after each step (tests shorten it).
  int PausaMs = 100;
  // Shows the findings of a checked file (the findings window, modal). Tests replace it.
  std::function<void(const std::filesystem::path& arquivo, const sintegra::ResultadoValidacao&,
                     const QString& resumo)>
      MostraValidacao;
  // Shows a file in the program's own read-only viewer (modal). Tests replace it.
  std::function<void(const std::filesystem::path& arquivo)> MostraArquivo;

  QComboBox* cmbMes = nullptr;
  QSpinBox* edtAno = nullptr;
  QCheckBox *chkTipo10 = nullptr, *chkTipo11 = nullptr, *chkTipo50 = nullptr, *chkTipo54 = nullptr,
            *chkTipo74 = nullptr, *chkTipo90 = nullptr;
  QCheckBox *chkTipo60A = nullptr, *chkTipo60D = nullptr, *chkTipo60I = nullptr,
            *chkTipo60M = nullptr, *chkTipo60R = nullptr, *chkTipo75 = nullptr;
  QGroupBox* grpRegistros = nullptr;
  QButtonGroup* rgrpNaturezaOper = nullptr;
  QButtonGroup* rgrpFinalidade = nullptr;
  QLineEdit* edtRegistro60 = nullptr;
  QPushButton* btnLocalizar = nullptr;
  QPushButton* btnImportarDll = nullptr;
  QPushButton* btnGerarArquivo = nullptr;
  QPushButton* btnVisualizarArquivo = nullptr;
  QPushButton* btnValidarArquivo = nullptr;

  // The kinds a run gets from the boxes now (ticked or grey), in the screen's order.
  sintegra::TListaTipoRegistros Selecao() const;
  const QString& PastaVisualizar() const { return pastaVisualizar_; }

  void rgrpNaturezaOperClick();
  void chkBoxClick();
  void btnLocalizarClick();
  void btnImportarDllClick();
  void btnGerarArquivoClick();
  void btnVisualizarArquivoClick();
  void btnValidarArquivoClick();

 private:
  void PeriodoAlterado();
  // The named file of type-60 and 75 records, checked before the run: true to go on.
  bool Arquivo60e75Aceito(const QString& arquivo, int mes, int ano);
  int Natureza() const;
  int Finalidade() const;

  QString pastaVisualizar_;
  // The month and year the path field's file was read from the printer for.
  std::optional<std::pair<int, int>> lidoPara_;
  bool perguntando_ = false;
};

}  // namespace generation
