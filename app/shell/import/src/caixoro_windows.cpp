#include "shell/import/caixoro_windows.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

#include "shell/widgets/dialogos.h"
#include "shell/widgets/edits.h"
#include "shell/widgets/principal.h"
#include "store/data_module.h"

namespace shell {

std::function<int(TfrmImportarProdutos&)> ExecutaSelecao = [](TfrmImportarProdutos& d) {
  return d.exec();
};

namespace {

const char* const kErroLeitura =
    "O Correu um erro na leitura dos produtos do Caixoro.\nVerifique a versão do Tributarium e "
    "do Caixoro e entre em contato com o Suporte Orvik";

QString Utf8(const std::string& s) {
  return QString::fromStdString(s);
}

// The query-failure message, with what went wrong after it.
void FalhaComMotivo(QWidget* dono, const std::string& motivo) {
  dialogos().Mensagem(dono, QStringLiteral("Erro!"),
                      QStringLiteral("Ocorreu um erro durante a execução dessa operação.\nPor "
                                     "favor, entre em contato com o administrador do sistema.") +
                          QStringLiteral("\n\n") + Utf8(motivo),
                      Icone::Erro);
}

}  // namespace

QString PastaInicialCaixoro() {
  // The point-of-sale program's usual installation folder, under the current directory.
  return QDir::current().filePath(QStringLiteral("Caixoro"));
}

// ---------------------------------------------------------------- progress dialog

TfrmProcessando::TfrmProcessando(const QString& operacao, QWidget* pai)
    : QDialog(pai),
      lblOperacao_(new QLabel(operacao, this)),
      lblPercentual_(new QLabel(QStringLiteral("0%"), this)),
      barra_(new QProgressBar(this)) {
  setWindowTitle(QStringLiteral("Processando..."));
  // Application-modal: nothing else (the main window's base selection included) runs
  // while a worker uses the data module.
  setWindowModality(Qt::ApplicationModal);
  auto* v = new QVBoxLayout(this);
  v->addWidget(new QLabel(QStringLiteral("Por favor aguarde ..."), this));
  v->addWidget(lblOperacao_);
  barra_->setTextVisible(false);
  v->addWidget(barra_);
  v->addWidget(lblPercentual_, 0, Qt::AlignHCenter);
  resize(380, 140);
}

bool TfrmProcessando::event(QEvent* e) {
  if (e->type() == QEvent::WindowDeactivate && isVisible()) {
    raise();
    activateWindow();
  }
  return QDialog::event(e);
}

void TfrmProcessando::Mostra(int valor, int total) {
  barra_->setRange(0, std::max(total, 1));
  barra_->setValue(std::min(valor, std::max(total, 1)));
  if (total > 0)
    lblPercentual_->setText(QStringLiteral("%1%").arg(static_cast<long long>(valor) * 100 / total));
}

void TfrmProcessando::Espera(const std::function<bool()>& fim, const std::function<void()>& passo) {
  show();
  while (!fim()) {
    passo();
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    QThread::msleep(10);
  }
  passo();
  lblPercentual_->setText(QStringLiteral("100%"));
  QApplication::processEvents();
  hide();
}

// ---------------------------------------------------------------- workers

TProdutosCaixoro::TProdutosCaixoro(std::filesystem::path pasta) : pasta_(std::move(pasta)) {}

TProdutosCaixoro::~TProdutosCaixoro() {
  if (thread_.joinable()) thread_.join();
}

void TProdutosCaixoro::Inicia() {
  thread_ = std::thread([this] {
    try {
      dbase::Tabela pro =
          dbase::LeArquivo(pasta_, caixoro::kTabelaProdutos, caixoro::CamposProdutos());
      total_ = static_cast<int>(pro.linhas.size());
      dbase::Tabela trb =
          dbase::LeArquivo(pasta_, caixoro::kTabelaTributos, caixoro::CamposTributos());
      lista_ = caixoro::MontaProdutos(pro, trb, [this](int i) { progresso_ = i; });
      progresso_ = total_.load();
    } catch (const std::exception& e) {
      erro_ = e.what();
      lista_.clear();
    }
    terminou_ = true;
  });
}

TImportarProdutos::TImportarProdutos(const store::TListaSelecao& selecao,
                                     const std::vector<caixoro::ProdutoLido>& lista)
    : ultimo_(static_cast<int>(lista.size()) - 1) {
  thread_ = std::thread([this, &selecao, &lista] {
    resultado_ = caixoro::ImportaProdutos(
        lista, selecao, [this](int i) { progresso_ = i; },
        [this](const caixoro::ProdutoLido&, const std::string& m) {
          std::lock_guard<std::mutex> l(mutex_);
          recusas_.push_back(m);
        });
    terminou_ = true;
  });
}

TImportarProdutos::~TImportarProdutos() {
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> TImportarProdutos::Recusas() {
  std::lock_guard<std::mutex> l(mutex_);
  return std::exchange(recusas_, {});
}

// ---------------------------------------------------------------- selection window

TfrmImportarProdutos::TfrmImportarProdutos(std::vector<caixoro::ProdutoLido>& lista, QWidget* pai)
    : QDialog(pai),
      lista_(lista),
      selecao_(lista.size(), false),
      grade_(new QTableWidget(kLinhas, 7, this)),
      lblPagina_(new QLabel(this)),
      btnPrimeiro_(new QPushButton(QStringLiteral("Primeiro"), this)),
      btnAnterior_(new QPushButton(QStringLiteral("Anterior"), this)),
      btnProximo_(new QPushButton(QStringLiteral("Próximo"), this)),
      btnUltimo_(new QPushButton(QStringLiteral("Último"), this)) {
  setWindowTitle(QStringLiteral("Importar Produtos"));
  setWindowModality(Qt::ApplicationModal);
  paginas_ = static_cast<int>(lista.size() / kLinhas + (lista.size() % kLinhas ? 1 : 0));
  grade_->setHorizontalHeaderLabels({QStringLiteral("Código"), QStringLiteral("Descrição"),
                                     QStringLiteral("Quantidade"), QStringLiteral("Valor Unitário"),
                                     QStringLiteral("Alíquota"), QStringLiteral("Tipo Aliquota"),
                                     QStringLiteral("Importar?")});
  const int larguras[] = {80, 190, 80, 80, 50, 70, 50};
  for (int c = 0; c < 7; ++c) grade_->setColumnWidth(c, larguras[c]);
  grade_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  grade_->verticalHeader()->hide();
  grade_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grade_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grade_->setSelectionMode(QAbstractItemView::SingleSelection);
  for (int r = 0; r < kLinhas; ++r) {
    auto* marca = new QCheckBox(grade_);
    auto* celula = new QWidget(grade_);
    auto* h = new QHBoxLayout(celula);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(marca, 0, Qt::AlignCenter);
    grade_->setCellWidget(r, 6, celula);
    connect(marca, &QCheckBox::clicked, this, [this, r] {
      if (!mostrando_) Alterna(r);
    });
  }
  connect(grade_, &QTableWidget::cellDoubleClicked, this, [this](int r, int) { Alterna(r); });

  auto* raiz = new QVBoxLayout(this);
  raiz->addWidget(grade_, 1);
  auto* nav = new QHBoxLayout;
  for (QPushButton* b : {btnPrimeiro_, btnAnterior_}) nav->addWidget(b);
  nav->addWidget(lblPagina_);
  for (QPushButton* b : {btnProximo_, btnUltimo_}) nav->addWidget(b);
  nav->addStretch(1);
  raiz->addLayout(nav);
  auto* acoes = new QHBoxLayout;
  auto* btnMarcar = new QPushButton(QStringLiteral("Marcar Todos"), this);
  auto* btnDesmarcar = new QPushButton(QStringLiteral("Desmarcar Todos"), this);
  auto* btnImportar = new QPushButton(QStringLiteral("Importar"), this);
  auto* btnCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
  acoes->addWidget(btnMarcar);
  acoes->addWidget(btnDesmarcar);
  acoes->addStretch(1);
  acoes->addWidget(btnImportar);
  acoes->addWidget(btnCancelar);
  raiz->addLayout(acoes);
  resize(720, 420);

  // Holding "Anterior" or "Próximo" steps a page every 300 ms.
  for (QPushButton* b : {btnAnterior_, btnProximo_}) {
    b->setAutoRepeat(true);
    b->setAutoRepeatDelay(300);
    b->setAutoRepeatInterval(300);
  }
  connect(btnPrimeiro_, &QPushButton::clicked, this, [this] { Primeiro(); });
  connect(btnAnterior_, &QPushButton::clicked, this, [this] { Anterior(); });
  connect(btnProximo_, &QPushButton::clicked, this, [this] { Proximo(); });
  connect(btnUltimo_, &QPushButton::clicked, this, [this] { Ultimo(); });
  connect(btnMarcar, &QPushButton::clicked, this, [this] { MarcarTodos(true); });
  connect(btnDesmarcar, &QPushButton::clicked, this, [this] { MarcarTodos(false); });
  connect(btnImportar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Importar(); }); });
  connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
  MostraPagina(1);
}

void TfrmImportarProdutos::AjustaBotoes() {
  // One page or none: there is nowhere to go.
  const bool primeira = pagina_ <= 1, ultima = pagina_ >= paginas_;
  btnPrimeiro_->setEnabled(!primeira);
  btnAnterior_->setEnabled(!primeira);
  btnProximo_->setEnabled(!ultima);
  btnUltimo_->setEnabled(!ultima);
}

void TfrmImportarProdutos::MostraPagina(int p) {
  pagina_ = std::clamp(p, 1, std::max(paginas_, 1));
  mostrando_ = true;
  const std::size_t primeiro = static_cast<std::size_t>(pagina_ - 1) * kLinhas;
  for (int r = 0; r < kLinhas; ++r) {
    const std::size_t i = primeiro + r;
    const bool existe = i < lista_.size();
    const store::TProduto* t = existe ? &lista_[i].produto : nullptr;
    const std::string valores[6] = {t ? t->CD_PRODUTO : "",    t ? t->TX_DESCRICAO : "",
                                    t ? t->TX_QUANTIDADE : "", t ? t->TX_VALOR_UNITARIO : "",
                                    t ? t->TX_ALIQUOTA : "",   t ? t->TX_TIPO_ALIQUOTA : ""};
    for (int c = 0; c < 6; ++c) {
      auto* item = new QTableWidgetItem(Utf8(valores[c]));
      if (c == 2 || c == 3 || c == 4) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      grade_->setItem(r, c, item);
    }
    QWidget* celula = grade_->cellWidget(r, 6);
    celula->setVisible(existe);
    auto* marca = celula->findChild<QCheckBox*>();
    marca->setChecked(existe && selecao_[i]);
  }
  mostrando_ = false;
  lblPagina_->setText(QStringLiteral("%1/%2").arg(paginas_ == 0 ? 0 : pagina_).arg(paginas_));
  AjustaBotoes();
}

void TfrmImportarProdutos::Primeiro() {
  MostraPagina(1);
}
void TfrmImportarProdutos::Anterior() {
  if (pagina_ > 1) MostraPagina(pagina_ - 1);
}
void TfrmImportarProdutos::Proximo() {
  if (pagina_ < paginas_) MostraPagina(pagina_ + 1);
}
void TfrmImportarProdutos::Ultimo() {
  MostraPagina(std::max(paginas_, 1));
}

void TfrmImportarProdutos::MarcarTodos(bool marca) {
  std::fill(selecao_.begin(), selecao_.end(), marca);
  MostraPagina(pagina_);
}

void TfrmImportarProdutos::Alterna(int linha) {
  const std::size_t i = static_cast<std::size_t>(pagina_ - 1) * kLinhas + linha;
  // A row without a product takes no click.
  if (linha < 0 || linha >= kLinhas || i >= lista_.size()) return;
  selecao_[i] = !selecao_[i];
  MostraPagina(pagina_);
}

void TfrmImportarProdutos::Importar() {
  TfrmProcessando dlg(QStringLiteral("Importando produtos do Caixoro..."), this);
  {
    TImportarProdutos w(selecao_, lista_);
    auto mostraRecusas = [&] {
      for (const std::string& m : w.Recusas())
        dialogos().Mensagem(&dlg, QStringLiteral("Erro!"), Utf8(m), Icone::Erro);
    };
    dlg.Espera([&] { return w.Terminou(); },
               [&] {
                 dlg.barra()->setRange(0, std::max(w.UltimoIndice(), 1));
                 dlg.barra()->setValue(std::max(w.Progresso(), 0));
                 if (w.UltimoIndice() > 0) dlg.Mostra(w.Progresso(), w.UltimoIndice());
                 mostraRecusas();
               });
    mostraRecusas();
    resultado_ = w.Resultado();
  }
  // The user is told how the import ended, an early end above all.
  QString texto = QStringLiteral("%1 de %2 produtos escolhidos foram importados.")
                      .arg(resultado_.importados)
                      .arg(resultado_.escolhidos);
  if (resultado_.desfeitos > 0)
    texto += QStringLiteral(
                 "\n%1 produtos gravados foram desfeitos com o lote que não pôde ser "
                 "gravado.")
                 .arg(resultado_.desfeitos);
  if (!resultado_.interrompida.empty())
    texto = QStringLiteral("A importação foi interrompida por um erro:\n") +
            Utf8(resultado_.interrompida) + QStringLiteral("\n\n") + texto;
  const bool falhou = !resultado_.interrompida.empty() || resultado_.recusados > 0;
  dialogos().Mensagem(this, QStringLiteral("Importar Produtos"), texto,
                      falhou ? Icone::Aviso : Icone::Informacao);
  accept();
}

// ---------------------------------------------------------------- the two imports

std::optional<caixoro::TClienteCaixoro> LeDonoCaixoro(QWidget* dono) {
  const QString pasta = dialogos().Diretorio(
      dono, QStringLiteral("Selecione um diretório para armazenar a Base de Dados do Cliente"),
      PastaInicialCaixoro(), false);
  if (pasta.isEmpty()) return std::nullopt;
  caixoro::TClienteCaixoro c(pasta.toStdString());
  try {
    if (!c.Carregar()) {
      dialogos().Mensagem(dono, QStringLiteral("Importar dados do Caixoro"),
                          QStringLiteral("A tabela \"Qzaprm.dbf\" não tem registros: nenhum dado "
                                         "foi importado."),
                          Icone::Aviso);
      return std::nullopt;
    }
  } catch (const std::exception& e) {
    FalhaComMotivo(dono, e.what());
    return std::nullopt;
  }
  return c;
}

void AvisosDonoCaixoro(QWidget* dono, const caixoro::TClienteCaixoro& c) {
  if (c.Avisos.empty()) return;
  QString avisos;
  for (const std::string& a : c.Avisos) avisos += (avisos.isEmpty() ? "" : "\n") + Utf8(a);
  dialogos().Mensagem(dono, QStringLiteral("Importar dados do Caixoro"), avisos, Icone::Aviso);
}

void ImportaProdutosCaixoro(QWidget* dono, Principal& principal) {
  const QString pasta =
      dialogos().Diretorio(dono, QStringLiteral("Selecione o Diretório de Instalação do Caixoro"),
                           PastaInicialCaixoro(), false);
  if (pasta.isEmpty()) return;
  const std::filesystem::path p = pasta.toStdString();
  for (const char* tabela : {caixoro::kTabelaProdutos, caixoro::kTabelaTributos}) {
    if (!dbase::AchaArquivo(p, tabela)) {
      FalhaComMotivo(dono, "A tabela \"" + std::string(tabela) + "\" não foi encontrada em \"" +
                               p.string() + "\".");
      return;
    }
  }
  std::vector<caixoro::ProdutoLido> lista;
  {
    TfrmProcessando dlg(QStringLiteral("Lendo produtos do Caixoro..."), dono);
    TProdutosCaixoro w(p);
    w.Inicia();
    dlg.Espera([&] { return w.Terminou(); }, [&] { dlg.Mostra(w.Progresso(), w.Total()); });
    if (!w.Erro().empty()) {
      dialogos().Mensagem(dono, QStringLiteral("Erro!"),
                          QString::fromUtf8(kErroLeitura) + QStringLiteral("\n\n") + Utf8(w.Erro()),
                          Icone::Erro);
      return;
    }
    lista = std::move(w.Lista());
  }
  TfrmImportarProdutos sel(lista, dono);
  ExecutaSelecao(sel);
  Protegido(dono, [&] { principal.dm().tProduto.Refresh(); });
}

}  // namespace shell
