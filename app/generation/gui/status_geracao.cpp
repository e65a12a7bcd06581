#include "status_geracao.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <condition_variable>
#include <mutex>

#include "generation/validacao_geracao.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/help_window.h"
#include "shell/widgets/recursos.h"
#include "validacao_window.h"

namespace generation {

// The worker's reports, handed to the window thread.
class TfrmStatusGeracaoSintegra::Observador : public ObservadorGeracao {
 public:
  Observador(TfrmStatusGeracaoSintegra& d, store::TdmTributarium& dm)
      : d_(d), log_(dm, [](const std::string&) {}) {}

  void Exibido() {
    std::lock_guard lock(m_);
    exibido_ = true;
    cv_.notify_all();
  }
  void AguardaExibicao() override {
    std::unique_lock lock(m_);
    cv_.wait(lock, [this] { return exibido_; });
  }
  void Ocupado(bool ocupado) override {
    QMetaObject::invokeMethod(&d_, [this, ocupado] {
      if (ocupado)
        d_.setCursor(Qt::WaitCursor);
      else
        d_.unsetCursor();
    });
  }
  void Progresso(const std::string& tarefa, int percentual) override {
    QString t = QString::fromStdString(tarefa);
    QMetaObject::invokeMethod(&d_, [this, t, percentual] { d_.Progresso(t, percentual); });
  }
  // Log lines are written on the window thread, which is the only one using the catalogue.
  void Log(const std::string& linha) override {
    QMetaObject::invokeMethod(&d_, [this, linha] { log_.Grava(linha); });
  }
  void Mensagem(bool sucesso, const std::string& titulo, const std::string& texto) override {
    QString ti = QString::fromStdString(titulo), tx = QString::fromStdString(texto);
    // The worker waits until the box is closed, as it does over the dialog.
    QMetaObject::invokeMethod(
        &d_,
        [this, sucesso, ti, tx] {
          shell::dialogos().Mensagem(&d_, ti, tx,
                                     sucesso ? shell::Icone::Informacao : shell::Icone::Erro);
        },
        Qt::BlockingQueuedConnection);
  }
  void Fecha() override {
    QMetaObject::invokeMethod(&d_, [this] {
      log_.Confirma();
      d_.done(QDialog::Accepted);
    });
  }
  void Confirma() { log_.Confirma(); }

 private:
  TfrmStatusGeracaoSintegra& d_;
  LogEmLote log_;
  std::mutex m_;
  std::condition_variable cv_;
  bool exibido_ = false;
};

TfrmStatusGeracaoSintegra::TfrmStatusGeracaoSintegra(store::TdmTributarium& dm, QWidget* pai)
    : QDialog(pai), dm_(dm) {
  setWindowTitle(QString::fromUtf8("Status da geração do arquivo Sintegra"));
  setObjectName("TfrmStatusGeracaoSintegra");
  // F1: the manual at this window's topic, as in the program's other windows.
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, [this] {
    shell::Ajuda(this).Mostra(QString::fromStdString(shell::PastaDosRecursos().string()), 9);
  });
  auto* v = new QVBoxLayout(this);
  lblTarefa = new QLabel(QString::fromUtf8("Iniciando geração ..."));
  lblTarefa->setWordWrap(true);
  lblTarefa->setMinimumHeight(2 * fontMetrics().height());
  pgrBar = new QProgressBar;
  pgrBar->setRange(0, 100);
  pgrBar->setTextVisible(false);
  lblPercentual = new QLabel("0%");
  btnCancelar = new QPushButton(QString::fromUtf8("Cancelar"));
  v->addWidget(lblTarefa);
  v->addWidget(pgrBar);
  v->addWidget(lblPercentual);
  v->addWidget(btnCancelar, 0, Qt::AlignRight);
  connect(btnCancelar, &QPushButton::clicked, this, [this] { btnCancelarClick(); });
  resize(460, 150);
}

TfrmStatusGeracaoSintegra::~TfrmStatusGeracaoSintegra() {
  if (worker_) worker_->Cancela();
  if (observador_) observador_->Exibido();
  if (thread_.joinable()) thread_.join();
}

ResultadoGeracao TfrmStatusGeracaoSintegra::Executa(int mes, int ano, int natureza, int finalidade,
                                                    const sintegra::TListaTipoRegistros& selecao,
                                                    const std::string& arquivo60,
                                                    const std::string& pasta) {
  observador_ = std::make_unique<Observador>(*this, dm_);
  worker_ = std::make_unique<TGeraThread>(*observador_);
  worker_->Mes = static_cast<std::int16_t>(mes);
  worker_->Ano = static_cast<std::int16_t>(ano);
  worker_->NaturezaOperacao = natureza;
  worker_->Finalidade = finalidade;
  worker_->TiposSelecionados = selecao;
  worker_->ArquivoRegistros60e75 = arquivo60;
  worker_->DiretorioSaida = pasta;
  worker_->PausaMs = PausaMs;
  ResultadoGeracao resultado;
  rodando_ = true;
  TGeraThread* w = worker_.get();
  thread_ = std::thread([w, &resultado, this] {
    resultado = w->Executa();
    QMetaObject::invokeMethod(this, [this] { rodando_ = false; });
  });
  exec();
  // A cancelled run closed the dialog at once: wait here for the worker to stop, with the
  // window still alive for what it hands over on the way out.
  while (rodando_) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  thread_.join();
  observador_->Confirma();
  if (resultado.situacao == ResultadoGeracao::Situacao::Sucesso) MostraAchados(resultado, mes, ano);
  return resultado;
}

void TfrmStatusGeracaoSintegra::MostraAchados(const ResultadoGeracao& resultado, int mes, int ano) {
  // A month with errors is written all the same; the check says what the state would refuse.
  sintegra::ResultadoValidacao r;
  try {
    r = ValidaESalvaRelatorio(resultado.arquivo, sintegra::Periodo{mes, ano});
  } catch (const std::exception& e) {
    shell::dialogos().Mensagem(this, QString::fromUtf8("Erro!"), QString::fromUtf8(e.what()),
                               shell::Icone::Erro);
    return;
  }
  QString resumo = ResumoDaValidacao(QString::fromUtf8("Arquivo gerado"), r.contagem);
  if (MostraValidacao) {
    MostraValidacao(resultado.arquivo, r, resumo);
    return;
  }
  TfrmValidacaoSintegra janela(resultado.arquivo, r, resumo, parentWidget());
  janela.exec();
}

void TfrmStatusGeracaoSintegra::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (observador_) observador_->Exibido();
}

void TfrmStatusGeracaoSintegra::Progresso(const QString& tarefa, int percentual) {
  lblPercentual->setText(QString::number(percentual) + "%");
  pgrBar->setValue(percentual);
  lblTarefa->setText(tarefa);
  if (percentual >= 100) btnCancelar->setText(QString::fromUtf8("Fechar"));
}

void TfrmStatusGeracaoSintegra::btnCancelarClick() {
  if (btnCancelar->text() == QString::fromUtf8("Fechar")) {
    if (!rodando_) done(QDialog::Accepted);
    return;
  }
  if (!worker_) return;
  worker_->Suspende();
  bool sim = shell::dialogos().Pergunta(
      this, QString::fromUtf8("Cancelar?"),
      QString::fromUtf8("Você tem certeza que deseja cancelar a geração do arquivo?"));
  if (sim) {
    worker_->Cancela();
    done(QDialog::Rejected);
  } else {
    worker_->Retoma();
  }
}

void TfrmStatusGeracaoSintegra::closeEvent(QCloseEvent* e) {
  // The title-bar button asks as "Cancelar" does.
  e->ignore();
  if (rodando_) btnCancelarClick();
}

void TfrmStatusGeracaoSintegra::reject() {
  if (rodando_) {
    btnCancelarClick();
    return;
  }
  QDialog::reject();
}

}  // namespace generation
