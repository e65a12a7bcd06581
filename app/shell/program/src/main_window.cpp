#include "shell/program/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

#include "common/files.h"
#include "gera_sintegra_window.h"
#include "shell/editors/inventory_editor.h"
#include "shell/editors/owner_editor.h"
#include "shell/editors/products_editor.h"
#include "shell/editors/users_editor.h"
#include "shell/invoices/invoice_list.h"
#include "shell/program/client_bases_window.h"
#include "shell/program/config_window.h"
#include "shell/program/configuracoes.h"
#include "shell/program/menu_itens.h"
#include "shell/program/termination_signals.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/embedded_window.h"
#include "shell/widgets/help_window.h"
#include "shell/widgets/recursos.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace shell {

namespace {
// Captions of the entries whose windows are not part of the program yet.
const char* const kTituloPendente[9] = {
    "", "", "", "", "", "", "", "Geração do arquivo Magnético Sintegra", ""};
}  // namespace

BotaoImagem::BotaoImagem(QWidget* pai) : QWidget(pai) {
  setCursor(Qt::PointingHandCursor);
  // A menu entry is its picture: the band must not squeeze it when the content area opens.
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void BotaoImagem::Carrega(const QString& arquivo) {
  QPixmap p;
  if (!p.load(arquivo))
    throw store::Erro(
        QStringLiteral("Não foi possível carregar a imagem \"%1\".").arg(arquivo).toStdString());
  pixmap_ = p;
  figura_ = arquivo;
  updateGeometry();
  update();
}

QSize BotaoImagem::sizeHint() const {
  return pixmap_.isNull() ? QSize(210, 58) : pixmap_.size();
}

void BotaoImagem::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!pixmap_.isNull()) p.drawPixmap(0, 0, pixmap_);
}

void BotaoImagem::mouseReleaseEvent(QMouseEvent* e) {
  if (isEnabled() && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
    emit clicado();
}

TformTributarium::TformTributarium(store::TdmTributarium& dm, QWidget* pai)
    : QMainWindow(pai), dm_(dm) {
  setWindowTitle(QStringLiteral("Tributarium Orvik"));
  programa_ = QString::fromStdString(PastaDosRecursos().string());
  MontaTela();
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  f1->setContext(Qt::WindowShortcut);
  connect(f1, &QShortcut::activated, this, [this] { Protegido(this, [this] { MostraAjuda(); }); });
  // Coming back to the program from another one repeats the base selection.
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
    if (s != Qt::ApplicationActive || !logado_ || QApplication::activeModalWidget()) return;
    // The first activation is the window appearing after the login, which has already
    // made its selection.
    if (selecionouNaPartida_) {
      selecionouNaPartida_ = false;
      return;
    }
    SelecionaBaseAtivacao();
  });
}

TformTributarium::~TformTributarium() = default;

void TformTributarium::MontaTela() {
  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("central"));
  central->setStyleSheet(QStringLiteral(
      "#central { background: #f2f4f7; }"
      "#cabecalho { background: qlineargradient(x1:0,y1:0,x2:1,y2:0, stop:0 #143660, stop:1 "
      "#2f6db5); }"
      "#cabecalho QLabel { color: white; }"
      "#faixaSubTitulo { background: #dde6f2; border-bottom: 1px solid #b8c6da; }"));
  auto* raiz = new QVBoxLayout(central);
  raiz->setContentsMargins(0, 0, 0, 0);
  raiz->setSpacing(0);

  // Header: program name and version on the left, client label on the right.
  auto* cabecalho = new QFrame(central);
  cabecalho->setObjectName(QStringLiteral("cabecalho"));
  auto* lc = new QHBoxLayout(cabecalho);
  lc->setContentsMargins(14, 8, 14, 8);
  auto* nome = new QLabel(QStringLiteral("<span style='font-size:20pt; font-weight:bold'>"
                                         "Tributarium</span>"),
                          cabecalho);
  auto* versao = new QLabel(QStringLiteral("Versão: Beta 02.11"), cabecalho);
  versao->setObjectName(QStringLiteral("lblVersao"));
  lc->addWidget(nome);
  lc->addSpacing(12);
  lc->addWidget(versao, 0, Qt::AlignBottom);
  lc->addStretch(1);
  areaDireita_ = new QWidget(cabecalho);
  auto* ld = new QHBoxLayout(areaDireita_);
  ld->setContentsMargins(0, 0, 0, 0);
  lblCliente_ = new QLabel(areaDireita_);
  lblCliente_->setObjectName(QStringLiteral("lblCliente"));
  lblCliente_->setStyleSheet(QStringLiteral("font-weight: bold;"));
  ld->addStretch(1);
  ld->addWidget(lblCliente_);
  lc->addWidget(areaDireita_);
  raiz->addWidget(cabecalho);

  auto* corpo = new QHBoxLayout;
  corpo->setContentsMargins(0, 0, 0, 0);
  corpo->setSpacing(0);
  raiz->addLayout(corpo, 1);

  // Left band: the eight entries and the shortcut box.
  auto* faixa = new QWidget(central);
  auto* lf = new QVBoxLayout(faixa);
  lf->setContentsMargins(8, 10, 8, 10);
  lf->setSpacing(6);
  for (int i = 0; i < 8; ++i) {
    botoes_[i] = new BotaoImagem(faixa);
    botoes_[i]->setObjectName(QStringLiteral("btnMenu%1").arg(i + 1, 2, 10, QLatin1Char('0')));
    botoes_[i]->setToolTip(QString::fromUtf8(ItensMenu()[i].rotulo));
    const int n = i + 1;
    connect(botoes_[i], &BotaoImagem::clicado, this,
            [this, n] { Protegido(this, [this, n] { ClicaMenu(n); }); });
    lf->addWidget(botoes_[i]);
  }
  lf->addStretch(1);
  auto* atalhos = new QGroupBox(QStringLiteral("Teclas de Atalhos"), faixa);
  auto* la = new QVBoxLayout(atalhos);
  la->addWidget(new QLabel(QStringLiteral("F1 - Ajuda"), atalhos));
  lf->addWidget(atalhos);
  corpo->addWidget(faixa);

  // Right: title picture, subtitle band and the content area.
  auto* direita = new QVBoxLayout;
  direita->setContentsMargins(0, 0, 0, 0);
  direita->setSpacing(0);
  imgTitulo_ = new QLabel(central);
  imgTitulo_->setObjectName(QStringLiteral("imgTitulo"));
  imgTitulo_->setVisible(false);
  direita->addWidget(imgTitulo_);
  faixaSubTitulo_ = new QFrame(central);
  faixaSubTitulo_->setObjectName(QStringLiteral("faixaSubTitulo"));
  auto* ls = new QHBoxLayout(faixaSubTitulo_);
  ls->setContentsMargins(10, 4, 10, 4);
  icoSubTitulo_ = new QLabel(QStringLiteral("\u25B6"), faixaSubTitulo_);
  lblSubTitulo_ = new QLabel(faixaSubTitulo_);
  lblSubTitulo_->setObjectName(QStringLiteral("lblSubTitulo"));
  lblSubTitulo_->setStyleSheet(QStringLiteral("font-weight: bold; color: #143660;"));
  ls->addWidget(icoSubTitulo_);
  ls->addWidget(lblSubTitulo_, 1);
  faixaSubTitulo_->setVisible(false);
  direita->addWidget(faixaSubTitulo_);
  auto* rolagem = new QScrollArea(central);
  rolagem->setWidgetResizable(true);
  rolagem->setFrameShape(QFrame::NoFrame);
  conteudo_ = new QWidget(rolagem);
  layoutConteudo_ = new QVBoxLayout(conteudo_);
  layoutConteudo_->setContentsMargins(12, 10, 12, 10);
  rolagem->setWidget(conteudo_);
  direita->addWidget(rolagem, 1);
  corpo->addLayout(direita, 1);

  setCentralWidget(central);
  MostraCliente(QString());
}

void TformTributarium::MostraCliente(const QString& texto) {
  lblCliente_->setText(texto);
  // The window may not become narrower than the client label needs.
  areaDireita_->setMinimumWidth(lblCliente_->fontMetrics().horizontalAdvance(texto) + 20);
}

void TformTributarium::CarregaFigura(BotaoImagem* b, int n, int figura) {
  b->Carrega(programa_ + NomeFigura(ItensMenu()[n - 1], static_cast<Figura>(figura)));
}

void TformTributarium::LeTributariumINI() {
  TConfiguracoes cfg;
  pathLog_ = QString::fromStdString(cfg.Le(TConfiguracoes::kPathLog));
  pathSintegra_ = QString::fromStdString(cfg.Le(TConfiguracoes::kPathSintegra));
  pathBaseDados_ = QString::fromStdString(cfg.Le(TConfiguracoes::kPathBaseDados));
  pastaAtual_ = pathBaseDados_;
  baseAtual_ = cfg.IniciarBase() ? QString::fromStdString(cfg.Le(TConfiguracoes::kBaseSelecionada))
                                 : QString();
}

TformTributarium::Partida TformTributarium::Inicia(
    const std::function<bool(TPasswordDlg&)>& login) {
  LeTributariumINI();
  dm_.PathBaseDados = pathBaseDados_.toStdString();
  TConfiguracoes().LoginServidor(dm_.UsuarioServidor, dm_.SenhaServidor);
  dm_.UsuarioLogado = 0;
  dm_.OnLogError = [this](const std::string& texto) {
    msg::Simples(this, QString::fromStdString(texto));
  };
  dm_.ProcessMessages = [] { QCoreApplication::processEvents(); };
  try {
    // A first start in an empty folder gets the delivered catalogue and template.
    store::InstalaBasesEntregues(dm_.PathBaseDados);
    dm_.ConectaCatalogo();
    // The engine took SIGTERM and SIGINT at its first connection.
    TerminationSignals::TakeBack();
  } catch (const std::exception& e) {
    msg::ErroGeral(this, QStringLiteral("Não foi possível abrir o catálogo de bases de dados em "
                                        "\"%1\".\n%2")
                             .arg(pathBaseDados_, QString::fromUtf8(e.what())));
    return Partida::Falhou;
  }
  try {
    // The template base is always registered with the current databases folder.
    std::string caminho = store::join_location(dm_.PathBaseDados, store::kTemplateFolder);
    dm_.qBuscaBaseDados.Close();
    dm_.qBuscaBaseDados.SetParam("idBase", std::int64_t{1});
    dm_.qBuscaBaseDados.Open();
    const store::RowSet& r = dm_.qBuscaBaseDados.Rows();
    std::string atual = r.empty() ? std::string() : r.at(0, "PATH");
    dm_.qBuscaBaseDados.Close();
    if (r.empty() || atual != caminho) {
      store::TBaseDados base(1, this, caminho, store::kTemplateFolder);
      base.Alterar();
    }
    dm_.tLog.Close();
    dm_.tLog.Open();
  } catch (const std::exception& e) {
    msg::ErroGeral(this, QString::fromUtf8(e.what()));
  }

  TPasswordDlg dlg(dm_, this);
  bool ok = login ? login(dlg) : dlg.exec() == QDialog::Accepted;
  if (!ok) return Partida::Cancelada;
  usuario_ = dlg.usuario();
  dm_.UsuarioLogado = usuario_.id;
  MostraCliente(usuario_.nome);
  logado_ = true;
  itemAtual_ = itemAnterior_ = 0;
  for (int n = 1; n <= 8; ++n) CarregaFigura(botoes_[n - 1], n, int(Figura::Normal));
  return Partida::Pronta;
}

void TformTributarium::GravaLog(const std::string& linha) {
  dm_.GravaLog(linha);
}

void TformTributarium::SelecionaBaseAtivacao() {
  if (selecionando_) return;
  if (!jaSelecionou_ && QGuiApplication::applicationState() != Qt::ApplicationActive)
    selecionouNaPartida_ = true;
  jaSelecionou_ = true;
  selecionando_ = true;
  struct Fim {
    bool& f;
    ~Fim() { f = false; }
  } fim{selecionando_};
  Protegido(this, [this] {
    if (!baseAtual_.isEmpty()) {
      dm_.tBaseDados.Refresh();
      const store::RowSet& r = dm_.tBaseDados.Rows();
      const std::string nome = baseAtual_.toStdString();
      for (std::size_t i = 0; i < r.size(); ++i) {
        if (r.at(i, "NOME_CLIENTE") == nome) {
          SelecionaBase(baseAtual_, QString::fromStdString(r.at(i, "PATH")));
          return;
        }
      }
    }
    dialogos().Mensagem(this, QStringLiteral("Selecione uma Base de Dados!"),
                        QStringLiteral("Nenhuma base de Dados está selecionada, por favor vá ao "
                                       "menu Base de Dados, e selecione uma base."),
                        Icone::Aviso);
    HabilitaMenu(false);
  });
}

bool TformTributarium::SelecionaBase(const QString& nome, const QString& pasta) {
  MostraCliente(QStringLiteral("Usuário: ") + usuario_.nome + QStringLiteral(" / Base: ") + nome);
  try {
    dm_.TrocarBanco(nome.toStdString(), pasta.toStdString());
  } catch (const std::exception& e) {
    // The previous data database is closed too, so nothing that needs one may stay open.
    HabilitaMenu(false);
    msg::ErroGeral(this, QStringLiteral("Não foi possível abrir a base de dados \"%1\" na pasta "
                                        "\"%2\".\n%3")
                             .arg(nome, pasta, QString::fromUtf8(e.what())));
    return false;
  }
  HabilitaMenu(true);
  TConfiguracoes().Grava(TConfiguracoes::kBaseSelecionada, nome.toStdString());
  baseAtual_ = nome;
  pastaAtual_ = pasta;
  return true;
}

void TformTributarium::HabilitaMenu(bool habilitado) {
  for (int n = 2; n <= 7; ++n) {
    botoes_[n - 1]->setEnabled(habilitado);
    CarregaFigura(botoes_[n - 1], n, int(habilitado ? Figura::Normal : Figura::Desabilitada));
  }
}

void TformTributarium::AtualizaMenu() {
  if (itemAnterior_ >= 1 && itemAnterior_ <= 8)
    CarregaFigura(botoes_[itemAnterior_ - 1], itemAnterior_, int(Figura::Normal));
}

bool TformTributarium::FechaFormAtual() {
  if (!janela_) return true;
  return janela_->PedeFechar();
}

void TformTributarium::ClicaMenu(int n) {
  if (n < 1 || n > 8 || n == itemAtual_) return;
  if (!FechaFormAtual()) return;
  itemAnterior_ = itemAtual_;
  AtualizaMenu();
  CarregaFigura(botoes_[n - 1], n, int(Figura::Selecionada));
  itemAtual_ = n;
  QPixmap titulo;
  QString arquivo = programa_ + NomeFigura(ItensMenu()[n - 1], Figura::Titulo);
  if (!titulo.load(arquivo))
    throw store::Erro(
        QStringLiteral("Não foi possível carregar a imagem \"%1\".").arg(arquivo).toStdString());
  imgTitulo_->setPixmap(titulo);
  MostraForm();
}

JanelaEmbutida* TformTributarium::CriaJanela(int n) {
  switch (n) {
    case 1:
      return new TfrmBaseDados(*this);
    case 2:
      return new TfrmProprietario(*this);
    case 3:
      return new TfrmUsuarios(*this);
    case 4:
      return new TfrmNotasFiscais(*this);
    case 5:
      return new TfrmProdutos(*this);
    case 6:
      return new TfrmInventario(*this);
    case 7:
      return new generation::TfrmGeraSintegra(*this);
    case 8:
      return new TfrmConfiguracoes(*this);
    default:
      return nullptr;
  }
}

void TformTributarium::MostraForm() {
  if (itemAtual_ != itemAnterior_ && janela_) {
    layoutConteudo_->removeWidget(janela_);
    delete janela_;
    janela_ = nullptr;
  }
  janela_ = CriaJanela(itemAtual_);
  if (janela_) {
    janela_->setParent(conteudo_);
    layoutConteudo_->addWidget(janela_);
    janela_->setVisible(true);
    janela_->show();
  }
  imgTitulo_->setVisible(true);
  MostraSubTitulo();
}

void TformTributarium::MostraSubTitulo() {
  QString titulo = janela_ ? janela_->windowTitle()
                           : QString::fromUtf8(kTituloPendente[itemAtual_ < 9 ? itemAtual_ : 0]);
  lblSubTitulo_->setText(QStringLiteral(" ") + titulo);
  lblSubTitulo_->setToolTip(titulo);
  icoSubTitulo_->setToolTip(titulo);
  faixaSubTitulo_->setVisible(true);
}

void TformTributarium::MostraAjuda() {
  Ajuda(this).Mostra(programa_, janela_ ? janela_->contextoAjuda() : 0);
}

void TformTributarium::closeEvent(QCloseEvent* e) {
  // Unsaved changes of the open editor are not thrown away without asking.
  if (janela_ && !janela_->PedeFechar()) {
    e->ignore();
    return;
  }
  QMainWindow::closeEvent(e);
}

}  // namespace shell
