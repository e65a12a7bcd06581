#include "ler_dados_impressora.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "common/orvik_ini.h"
#include "ecf/proprietario.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/help_window.h"
#include "shell/widgets/recursos.h"

namespace ecf {

namespace {

constexpr const char kMensagemErro[] =
    "Ocorreu um erro durante a execução dessa operação.\nPor favor, entre em contato com o "
    "administrador do sistema.";

// Twelve 40 x 40 frames of a turning wheel.
std::vector<QPixmap> QuadrosDeEspera() {
  std::vector<QPixmap> q;
  for (int i = 0; i < 12; ++i) {
    QPixmap p(40, 40);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    for (int k = 0; k < 12; ++k) {
      double a = (k + i) * M_PI / 6;
      int tom = 40 + 180 * k / 11;
      g.setPen(QPen(QColor(tom, tom, tom), 3, Qt::SolidLine, Qt::RoundCap));
      g.drawLine(QPointF(20 + 9 * std::cos(a), 20 + 9 * std::sin(a)),
                 QPointF(20 + 17 * std::cos(a), 20 + 17 * std::sin(a)));
    }
    q.push_back(p);
  }
  return q;
}

}  // namespace

TfrmLerDadosImpressora::TfrmLerDadosImpressora(std::function<void(const std::string&)> log,
                                               std::function<std::string()> pathSintegra,
                                               QWidget* pai)
    : QDialog(pai, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      log_(std::move(log)),
      pathSintegra_(std::move(pathSintegra)),
      imgLoading_(QuadrosDeEspera()) {
  setWindowTitle(QString::fromUtf8("Ler dados do Sintegra da Impressora"));
  setObjectName("TfrmLerDadosImpressora");
  // F1: the manual at this window's topic, as in the program's other windows.
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, [this] {
    shell::Ajuda(this).Mostra(QString::fromStdString(shell::PastaDosRecursos().string()), 9);
  });
  auto* v = new QVBoxLayout(this);
  v->addWidget(new QLabel(
      QString::fromUtf8("Selecione a porta serial ao qual a impressora está conectada")));
  cmbPorta = new QComboBox;
  cmbPorta->setObjectName("cmbPorta");
  v->addWidget(cmbPorta);
  auto* h = new QHBoxLayout;
  img = new QLabel;
  img->setFixedSize(40, 40);
  h->addWidget(img);
  auto* textos = new QVBoxLayout;
  lblProgresso = new QLabel(QString::fromUtf8("Processando ..."));
  QFont f = lblProgresso->font();
  f.setBold(true);
  lblProgresso->setFont(f);
  lblProgresso2 =
      new QLabel(QString::fromUtf8("Essa operação demora alguns minutos. Por favor aguarde."));
  lblPercentual = new QLabel;
  textos->addWidget(lblProgresso);
  textos->addWidget(lblProgresso2);
  textos->addWidget(lblPercentual);
  h->addLayout(textos);
  v->addLayout(h);
  auto* botoes = new QHBoxLayout;
  botoes->addStretch();
  btnLerDados = new QPushButton(QString::fromUtf8("Ler Dados"));
  btnFechar = new QPushButton(QString::fromUtf8("Fechar"));
  botoes->addWidget(btnLerDados);
  botoes->addWidget(btnFechar);
  v->addLayout(botoes);
  for (QWidget* w : {static_cast<QWidget*>(lblProgresso), static_cast<QWidget*>(lblProgresso2),
                     static_cast<QWidget*>(lblPercentual), static_cast<QWidget*>(img)})
    w->setVisible(false);
  connect(btnLerDados, &QPushButton::clicked, this, [this] { btnLerDadosClick(); });
  connect(btnFechar, &QPushButton::clicked, this, [this] { btnFecharClick(); });
  timer_ = new QTimer(this);
  timer_->setInterval(200);
  connect(timer_, &QTimer::timeout, this, [this] { Anima(); });
  setFixedSize(sizeHint().expandedTo(QSize(420, 190)));
}

TfrmLerDadosImpressora::~TfrmLerDadosImpressora() {
  // A reading is never left running behind a discarded dialog.
  if (worker_) worker_->Cancela();
  if (thread_.joinable()) thread_.join();
}

void TfrmLerDadosImpressora::showEvent(QShowEvent* e) {
  CarregaPortas();
  QDialog::showEvent(e);
}

void TfrmLerDadosImpressora::CarregaPortas() {
  cmbPorta->clear();
  for (const std::string& p : ListaPortas(common::orvik_ini_path()))
    cmbPorta->addItem(QString::fromStdString(p));
  cmbPorta->setCurrentIndex(cmbPorta->count() == 1 ? 0 : -1);
}

void TfrmLerDadosImpressora::btnLerDadosClick() {
  if (worker_) return;
  log_("--> Iniciando leitura de dados da ECF.");
  btnLerDados->setEnabled(false);
  cmbPorta->setEnabled(false);
  // While the reading runs this button cancels it (closing is refused until it ends).
  btnFechar->setText(QString::fromUtf8("Cancelar"));
  lblProgresso2->setText(
      QString::fromUtf8("Essa operação demora alguns minutos. Por favor aguarde."));
  setCursor(Qt::WaitCursor);
  try {
    worker_ = std::make_unique<TGeraSintegraThread>();
    worker_->Porta = cmbPorta->currentText().toStdString();
    worker_->MascaraRegistros = Mascara;
    worker_->Mes = std::to_string(Mes);
    worker_->Ano = std::to_string(Ano);
    worker_->Proprietario = Proprietario ? Proprietario() : TextosDoProprietario();
    worker_->ArquivoSaida = NomeArquivoSaida(Mes, Ano);
    std::string pasta = pathSintegra_();
    while (pasta.size() > 1 && pasta.back() == '/') pasta.pop_back();
    worker_->DiretorioSintegra = pasta;
    if (PreparaLeitura) PreparaLeitura(*worker_);
    TGeraSintegraThread* w = worker_.get();
    thread_ = std::thread([w] { w->Executa(); });
  } catch (const std::exception& e) {
    worker_.reset();
    shell::dialogos().Mensagem(
        this, QString::fromUtf8("Erro!"),
        QString::fromUtf8(kMensagemErro) + "\n" + QString::fromUtf8(e.what()), shell::Icone::Erro);
    Termina();
    return;
  }
  quadro_ = pontos_ = 0;
  for (QWidget* w : {static_cast<QWidget*>(lblProgresso), static_cast<QWidget*>(lblProgresso2),
                     static_cast<QWidget*>(lblPercentual), static_cast<QWidget*>(img)})
    w->setVisible(true);
  // Started before the first frame: a reading that ends at once stops it again.
  timer_->start();
  Anima();
}

void TfrmLerDadosImpressora::Anima() {
  if (!worker_) return;
  img->setPixmap(imgLoading_[quadro_]);
  quadro_ = (quadro_ + 1) % 12;
  pontos_ = pontos_ % 3 + 1;
  lblProgresso->setText(QStringLiteral("Processando ") + QString(pontos_, QLatin1Char('.')));
  SituacaoLeitura s = worker_->Situacao();
  lblPercentual->setText(QString::number(s.Percentual) + "% " +
                         QString::fromStdString(s.MensagemStatus));
  if (s.Terminado) Termina();
}

void TfrmLerDadosImpressora::Termina() {
  timer_->stop();
  bool terminou = false, sucesso = false;
  std::string mensagem;
  if (worker_) {
    if (thread_.joinable()) thread_.join();
    terminou = true;
    mensagem = worker_->Situacao().MensagemStatus;
    sucesso = worker_->Resultado();
    if (sucesso)
      arquivo_ = QString::fromStdString(worker_->ArquivoSaida);
    else
      arquivo_.clear();
    worker_.reset();
  }
  // The reading is over before its outcome is told: no turning wheel, no busy cursor and
  // no "Cancelar" behind the message box.
  for (QWidget* w : {static_cast<QWidget*>(lblProgresso), static_cast<QWidget*>(lblProgresso2),
                     static_cast<QWidget*>(lblPercentual), static_cast<QWidget*>(img)})
    w->setVisible(false);
  btnLerDados->setEnabled(true);
  btnFechar->setEnabled(true);
  btnFechar->setText(QString::fromUtf8("Fechar"));
  cmbPorta->setEnabled(true);
  unsetCursor();
  if (terminou) {
    if (sucesso) {
      shell::dialogos().Mensagem(this, QString::fromUtf8("Sucesso!"),
                                 QString::fromUtf8("Operação realizada com sucesso!"),
                                 shell::Icone::Informacao);
      log_("--> Geração do sintegra da ECF concluido com sucesso.");
    } else {
      shell::dialogos().Mensagem(
          this, QString::fromUtf8("Erro!"),
          QString::fromUtf8(kMensagemErro) + "\n\nErro:\n" + QString::fromStdString(mensagem),
          shell::Icone::Erro);
      log_("--> Geração do sintegra da ECF concluido com erro. Erro: " + mensagem);
    }
  }
  log_("--> Fim da leitura de dados da ECF.");
}

void TfrmLerDadosImpressora::btnFecharClick() {
  if (worker_) {
    if (shell::dialogos().Pergunta(this, QString::fromUtf8("Cancelar?"),
                                   QString::fromUtf8("Deseja cancelar a leitura da impressora?")))
      worker_->Cancela();
    return;
  }
  accept();
}

void TfrmLerDadosImpressora::closeEvent(QCloseEvent* e) {
  if (worker_) {
    e->ignore();
    return;
  }
  QDialog::closeEvent(e);
}

void TfrmLerDadosImpressora::reject() {
  // Esc is the close key, refused while a reading runs.
  if (worker_) return;
  QDialog::reject();
}

}  // namespace ecf
