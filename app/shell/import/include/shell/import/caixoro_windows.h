#pragma once
// The import from the point-of-sale tables with windows: the progress dialog that waits
// for a worker, the two workers, the selection window, and the two imports the owner and
// products editors start.
#include <QDialog>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "shell/import/caixoro.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace shell {

class Principal;

// "Processando...": an operation line, a bar and a percentage, application-modal, in
// front again whenever it loses the activation.
class TfrmProcessando : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmProcessando(const QString& operacao, QWidget* pai = nullptr);
  // Bar and percentage for `valor` of `total` (no percentage when total is 0).
  void Mostra(int valor, int total);
  // Waits, letting window messages run, until `fim` answers true; `passo` runs on every turn.
  void Espera(const std::function<bool()>& fim, const std::function<void()>& passo);
  QLabel* lblOperacao() const { return lblOperacao_; }
  QLabel* lblPercentual() const { return lblPercentual_; }
  QProgressBar* barra() const { return barra_; }

 protected:
  bool event(QEvent* e) override;

 private:
  QLabel* lblOperacao_;
  QLabel* lblPercentual_;
  QProgressBar* barra_;
};

// Reading worker: Qzapro and Qzatrb of a folder read on a thread of its own.
class TProdutosCaixoro {
 public:
  explicit TProdutosCaixoro(std::filesystem::path pasta);
  ~TProdutosCaixoro();
  void Inicia();
  bool Terminou() const { return terminou_; }
  int Total() const { return total_; }
  int Progresso() const { return progresso_; }
  // After the end: the list, or the error that stopped the reading (empty when none).
  std::vector<caixoro::ProdutoLido>& Lista() { return lista_; }
  const std::string& Erro() const { return erro_; }

 private:
  std::filesystem::path pasta_;
  std::thread thread_;
  std::atomic<bool> terminou_{false};
  std::atomic<int> total_{0}, progresso_{0};
  std::vector<caixoro::ProdutoLido> lista_;
  std::string erro_;
};

// Import worker: the chosen products inserted on a thread of its own, started at once.
class TImportarProdutos {
 public:
  TImportarProdutos(const store::TListaSelecao& selecao,
                    const std::vector<caixoro::ProdutoLido>& lista);
  ~TImportarProdutos();
  bool Terminou() const { return terminou_; }
  int UltimoIndice() const { return ultimo_; }
  int Progresso() const { return progresso_; }
  // The refusals not yet shown, taken out.
  std::vector<std::string> Recusas();
  const caixoro::ResultadoImportacao& Resultado() const { return resultado_; }

 private:
  std::thread thread_;
  std::atomic<bool> terminou_{false};
  int ultimo_;
  std::atomic<int> progresso_{0};
  std::mutex mutex_;
  std::vector<std::string> recusas_;
  caixoro::ResultadoImportacao resultado_;
};

// "Importar Produtos": the read products ten at a time, each with its flag.
class TfrmImportarProdutos : public QDialog {
  Q_OBJECT
 public:
  TfrmImportarProdutos(std::vector<caixoro::ProdutoLido>& lista, QWidget* pai = nullptr);

  static constexpr int kLinhas = 10;
  void MostraPagina(int pagina);
  void Primeiro();
  void Anterior();
  void Proximo();
  void Ultimo();
  void MarcarTodos(bool marca);
  // A click on the check box of shown row `linha` (0..9), or a double click on it.
  void Alterna(int linha);
  // Runs the import of the flagged products, then closes.
  void Importar();

  int pagina() const { return pagina_; }
  int paginas() const { return paginas_; }
  const store::TListaSelecao& selecao() const { return selecao_; }
  QTableWidget* grade() const { return grade_; }
  QLabel* lblPagina() const { return lblPagina_; }
  QPushButton* btnPrimeiro() const { return btnPrimeiro_; }
  QPushButton* btnAnterior() const { return btnAnterior_; }
  QPushButton* btnProximo() const { return btnProximo_; }
  QPushButton* btnUltimo() const { return btnUltimo_; }
  // What the last import did.
  const caixoro::ResultadoImportacao& resultado() const { return resultado_; }

 private:
  void AjustaBotoes();
  std::vector<caixoro::ProdutoLido>& lista_;
  store::TListaSelecao selecao_;
  int pagina_ = 1, paginas_ = 0;
  caixoro::ResultadoImportacao resultado_;
  QTableWidget* grade_;
  QLabel* lblPagina_;
  QPushButton* btnPrimeiro_;
  QPushButton* btnAnterior_;
  QPushButton* btnProximo_;
  QPushButton* btnUltimo_;
  bool mostrando_ = false;
};

// The folder the pickers start at.
QString PastaInicialCaixoro();

// The first part of "Importar dados do Caixoro": asks for the folder and reads the owner
// values from Qzaprm; nothing when the user gave up or the reading failed (already shown).
std::optional<caixoro::TClienteCaixoro> LeDonoCaixoro(QWidget* dono);
// The last part: the values that could not be taken as read, if any, in one message.
void AvisosDonoCaixoro(QWidget* dono, const caixoro::TClienteCaixoro& c);
// "Importar Produtos do Caixoro" of the products editor: read, choose, insert.
void ImportaProdutosCaixoro(QWidget* dono, Principal& principal);

// How the selection window runs (tests replace it): the result of exec().
extern std::function<int(TfrmImportarProdutos&)> ExecutaSelecao;

}  // namespace shell
