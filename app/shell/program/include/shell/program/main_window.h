#pragma once
// The main window: start-up, login, the eight-entry menu, the embedded editor, the base
// selection, help and the client label.
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

#include "shell/program/login_dialog.h"
#include "shell/widgets/principal.h"

class QLabel;
class QFrame;
class QScrollArea;
class QVBoxLayout;

namespace store {
class TdmTributarium;
}

namespace shell {

class JanelaEmbutida;
class TConfiguracoes;

// A menu entry: a picture that acts as a button.
class BotaoImagem : public QWidget {
  Q_OBJECT
 public:
  explicit BotaoImagem(QWidget* pai = nullptr);
  // Loads a picture; throws store::Erro when it cannot be read.
  void Carrega(const QString& arquivo);
  const QString& figura() const { return figura_; }
  QSize sizeHint() const override;

 signals:
  void clicado();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  QPixmap pixmap_;
  QString figura_;
};

class TformTributarium : public QMainWindow, public Principal {
  Q_OBJECT
 public:
  // What start-up ended in.
  enum class Partida { Pronta, Cancelada, Falhou };

  explicit TformTributarium(store::TdmTributarium& dm, QWidget* pai = nullptr);
  ~TformTributarium() override;

  // The creation steps: configuration, catalogue (installed on a first start), template
  // registration, log, login. `login` replaces the modal dialog (tests).
  Partida Inicia(const std::function<bool(TPasswordDlg&)>& login = {});

  // Principal
  store::TdmTributarium& dm() override { return dm_; }
  QWidget* janela() override { return this; }
  void GravaLog(const std::string& linha) override;
  void MostraSubTitulo() override;
  bool SelecionaBase(const QString& nome, const QString& pasta) override;
  bool UsuarioMestre() const override { return usuario_.mestre; }
  QString BaseAtual() const override { return baseAtual_; }
  QString PastaAtual() const override { return pastaAtual_; }
  QString PathBaseDados() const override { return pathBaseDados_; }

  void LeTributariumINI();
  void HabilitaMenu(bool habilitado);
  void AtualizaMenu();
  void MostraForm();
  bool FechaFormAtual();
  // A click on menu entry n (1..8).
  void ClicaMenu(int n);
  // The selection repeated on every activation of the main window.
  void SelecionaBaseAtivacao();
  // F1: the manual at the embedded window's topic, or its contents.
  void MostraAjuda();

  int itemAtual() const { return itemAtual_; }
  int itemAnterior() const { return itemAnterior_; }
  JanelaEmbutida* janelaAtual() const { return janela_; }
  BotaoImagem* botao(int n) const { return botoes_[n - 1]; }
  QLabel* lblCliente() const { return lblCliente_; }
  QLabel* lblSubTitulo() const { return lblSubTitulo_; }
  QLabel* imgTitulo() const { return imgTitulo_; }
  QWidget* areaDireita() const { return areaDireita_; }
  const UsuarioLogado& usuario() const { return usuario_; }
  const QString& pastaPrograma() const { return programa_; }
  const QString& pathLog() const { return pathLog_; }
  const QString& pathSintegra() const { return pathSintegra_; }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void MontaTela();
  void MostraCliente(const QString& texto);
  JanelaEmbutida* CriaJanela(int n);
  void CarregaFigura(BotaoImagem* b, int n, int figura);

  store::TdmTributarium& dm_;
  QString programa_;
  QString pastaAtual_, baseAtual_, pathLog_, pathSintegra_, pathBaseDados_;
  UsuarioLogado usuario_;
  int itemAtual_ = 0, itemAnterior_ = 0;
  JanelaEmbutida* janela_ = nullptr;
  bool logado_ = false;
  bool selecionando_ = false;
  bool jaSelecionou_ = false;
  bool selecionouNaPartida_ = false;

  std::array<BotaoImagem*, 8> botoes_{};
  QLabel* lblCliente_ = nullptr;
  QWidget* areaDireita_ = nullptr;
  QLabel* imgTitulo_ = nullptr;
  QFrame* faixaSubTitulo_ = nullptr;
  QLabel* icoSubTitulo_ = nullptr;
  QLabel* lblSubTitulo_ = nullptr;
  QWidget* conteudo_ = nullptr;
  QVBoxLayout* layoutConteudo_ = nullptr;
};

}  // namespace shell
