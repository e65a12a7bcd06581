#pragma once
// The status dialog of a generation run: starts the worker on its own thread, shows its
// progress and lets the user cancel it. The dialog never goes away while the worker's
// thread runs: a confirmed cancel stops the worker and waits for it.
#include <QDialog>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "generation/gera_thread.h"
#include "generation/log_em_lote.h"
#include "sintegra/validador.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace store {
class TdmTributarium;
}

namespace generation {

class TfrmStatusGeracaoSintegra : public QDialog {
  Q_OBJECT
 public:
  TfrmStatusGeracaoSintegra(store::TdmTributarium& dm, QWidget* pai = nullptr);
  ~TfrmStatusGeracaoSintegra() override;

  // Starts the run and shows the dialog modally until the run ends or is cancelled.
  ResultadoGeracao Executa(int mes, int ano, int natureza, int finalidade,
                           const sintegra::TListaTipoRegistros& selecao,
                           const std::string& arquivo60, const std::string& pasta);

  QLabel* lblTarefa = nullptr;
  QProgressBar* pgrBar = nullptr;
  QLabel* lblPercentual = nullptr;
  QPushButton* btnCancelar = nullptr;
  TGeraThread* worker() const { return worker_.get(); }
  // The pause after each step (the window shows each task; tests shorten or lengthen it).
  int PausaMs = 100;
  // Shows the findings of the file a run wrote (checked, its report saved beside it);
  // the generation screen hands over its own.
  std::function<void(const std::filesystem::path& arquivo, const sintegra::ResultadoValidacao&,
                     const QString& resumo)>
      MostraValidacao;

  void btnCancelarClick();
  // Applied on the window thread.
  void Progresso(const QString& tarefa, int percentual);

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void reject() override;

 private:
  // Checks the file the run wrote, saves the report beside it and shows the findings.
  void MostraAchados(const ResultadoGeracao& resultado, int mes, int ano);
  class Observador;
  store::TdmTributarium& dm_;
  std::unique_ptr<Observador> observador_;
  std::unique_ptr<TGeraThread> worker_;
  std::thread thread_;
  bool rodando_ = false;
};

}  // namespace generation
