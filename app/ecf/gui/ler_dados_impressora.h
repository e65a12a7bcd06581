#pragma once
// The ECF reading dialog: pick the serial port, read the month from the fiscal printer
// (the worker of gera_sintegra_thread.h on its own thread) and hand back the path of the
// file of type-60/75 records it produced.
#include <QDialog>
#include <QPixmap>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ecf/gera_sintegra_thread.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace ecf {

class TfrmLerDadosImpressora : public QDialog {
  Q_OBJECT
 public:
  // log writes one operation-log line (GravaLog); pathSintegra is read when a reading starts.
  TfrmLerDadosImpressora(std::function<void(const std::string&)> log,
                         std::function<std::string()> pathSintegra, QWidget* pai = nullptr);
  ~TfrmLerDadosImpressora() override;

  // Inputs, set before the dialog is shown.
  int Mes = 1, Ano = 2000, Mascara = 0;
  // Where the driver comes from and other worker settings (tests point them at stand-ins).
  std::function<void(TGeraSintegraThread&)> PreparaLeitura;
  // The owner's texts (read from the open client base by default).
  std::function<TextosProprietario()> Proprietario;

  // The produced file, empty when nothing was produced.
  QString ArquivoSaida() const { return arquivo_; }
  bool Lendo() const { return worker_ != nullptr; }

  QComboBox* cmbPorta = nullptr;
  QPushButton* btnLerDados = nullptr;
  QPushButton* btnFechar = nullptr;
  QLabel* lblProgresso = nullptr;
  QLabel* lblProgresso2 = nullptr;
  QLabel* lblPercentual = nullptr;
  QLabel* img = nullptr;

  void CarregaPortas();
  void btnLerDadosClick();
  void btnFecharClick();
  // Esc: refused while a reading runs.
  void reject() override;

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void Anima();
  void Termina();

  std::function<void(const std::string&)> log_;
  std::function<std::string()> pathSintegra_;
  std::vector<QPixmap> imgLoading_;
  int quadro_ = 0, pontos_ = 0;
  QTimer* timer_ = nullptr;
  std::unique_ptr<TGeraSintegraThread> worker_;
  std::thread thread_;
  QString arquivo_;
};

}  // namespace ecf
