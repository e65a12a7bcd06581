#pragma once
// The invoice list (menu entry 04) and the content area it holds: a stack of the list,
// the invoice editor over it and the item editor over that.
#include "shell/widgets/embedded_window.h"
#include "shell/widgets/query_model.h"

class QLabel;
class QStackedLayout;
class QTableView;

namespace shell {

class TfrmNotaFiscal;
class TfrmProdutoNota;

class TfrmNotasFiscais : public JanelaEmbutida {
  Q_OBJECT
 public:
  explicit TfrmNotasFiscais(Principal& principal, QWidget* pai = nullptr);
  ~TfrmNotasFiscais() override;

  void Atualiza();
  void Inserir();
  void Alterar();
  void Excluir();
  // Opens the item editor of invoice `nota` over the invoice editor.
  void AbreItem(int nota, const store::RowSet* itens, int linha);
  // Closing asks about the changes of every stacked editor.
  bool PedeFechar() override;

  TfrmNotaFiscal* editor() const { return editor_; }
  TfrmProdutoNota* item() const { return item_; }
  QTableView* grdNotas() const { return grdNotas_; }
  QLabel* lblNumNotas() const { return lblNumNotas_; }
  QWidget* topo() const;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  // Asks before an editor with changes is dropped; true when it may go.
  bool PodeLargar();
  void FechaEditor();
  void FechaItem();
  void MostraTitulo();
  void ContaNotas();

  QStackedLayout* pilha_;
  QWidget* paginaLista_;
  ModeloConsulta* modelo_;
  QTableView* grdNotas_;
  QLabel* lblNumNotas_;
  TfrmNotaFiscal* editor_ = nullptr;
  TfrmProdutoNota* item_ = nullptr;
};

}  // namespace shell
