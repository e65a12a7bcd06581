#include "shell/program/config_window.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>

#include "common/clock.h"
#include "common/files.h"
#include "common/text1252.h"
#include "shell/program/configuracoes.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/edits.h"
#include "shell/widgets/principal.h"
#include "store/data_module.h"

namespace shell {

namespace {

QDate Hoje() {
  common::LocalDateTime t = common::clock::local_now();
  return QDate(t.year, t.month, t.day);
}

store::Date ParaData(const QDate& d) {
  return store::Date{d.year(), d.month(), d.day()};
}

QString DataCurta(const std::string& iso) {
  QDate d = QDate::fromString(QString::fromStdString(iso.substr(0, 10)), Qt::ISODate);
  return QLocale::system().toString(d, QLocale::ShortFormat);
}

// A databases folder is usable when it already holds a catalogue or the program may
// create files in it (a server location is taken as it is).
bool PastaBasesUtilizavel(const QString& pasta) {
  if (pasta.contains(QLatin1Char(':'))) return true;
  QFileInfo info(pasta);
  if (QFileInfo::exists(QDir(pasta).filePath(QString::fromLatin1(store::kCatalogFile))))
    return true;
  if (info.exists()) return info.isDir() && info.isWritable();
  QFileInfo pai(info.absolutePath());
  return pai.isDir() && pai.isWritable();
}

}  // namespace

void ExportaLog(store::TdmTributarium& dm, const QDate& inicial, const QDate& final_, int usuario,
                const QString& pasta) {
  dm.tGeraLog.Close();
  // The user condition belongs to this run only: the shared query keeps its text.
  std::unique_ptr<store::Query> porUsuario;
  store::Query* q = &dm.tGeraLog;
  if (usuario > 0) {
    porUsuario = std::make_unique<store::Query>(
        "tGeraLog", dm.trCatalogo, dm.tGeraLog.sql() + " and log.id_usuario = :usuario");
    q = porUsuario.get();
    q->SetParam("usuario", std::int64_t{usuario});
  }
  q->SetParam("dtInicial", ParaData(inicial));
  q->SetParam("dtFinal", ParaData(final_));
  q->Open();
  std::vector<std::string> linhas;
  const store::RowSet& r = q->Rows();
  for (std::size_t i = 0; i < r.size(); ++i) {
    QString linha = DataCurta(r.at(i, "DATA")) + QStringLiteral("-") +
                    QString::fromStdString(r.at(i, "HORA")).left(8) + QLatin1Char('\t') +
                    QString::fromStdString(r.at(i, "USUARIO")).trimmed() + QLatin1Char('\t') +
                    QString::fromStdString(r.at(i, "TX_OPERACAO"));
    linhas.push_back(common::utf8_to_cp1252(linha.toStdString()));
  }
  q->Close();
  std::filesystem::path destino(pasta.toStdString());
  std::error_code ec;
  std::filesystem::create_directories(destino, ec);
  if (!common::write_lines(destino / "Log.txt", linhas))
    throw std::runtime_error("Não foi possível gravar " + (destino / "Log.txt").string());
}

TfrmConfiguracoes::TfrmConfiguracoes(Principal& principal, QWidget* pai)
    : JanelaEmbutida(principal, QStringLiteral("Configurações do Sistema"), 10, pai),
      edtSintegra_(new QLineEdit(this)),
      edtBaseDados_(new QLineEdit(this)),
      edtLog_(new QLineEdit(this)),
      rbSim_(new QRadioButton(QStringLiteral("Sim"), this)),
      rbNao_(new QRadioButton(QStringLiteral("Não"), this)),
      gbFiltro_(new QGroupBox(QStringLiteral("Filtro"), this)),
      dtInicial_(new DataEdit(gbFiltro_)),
      dtFinal_(new DataEdit(gbFiltro_)),
      cmbUsuario_(new QComboBox(gbFiltro_)) {
  auto* raiz = new QVBoxLayout(this);
  auto* pastas = new QGroupBox(QStringLiteral("Diretórios"), this);
  auto* fp = new QFormLayout(pastas);
  auto linhaPasta = [&](const QString& rotulo, QLineEdit* edit, const QString& titulo) {
    auto* h = new QHBoxLayout;
    auto* b = new QToolButton(this);
    b->setText(QStringLiteral("..."));
    b->setToolTip(titulo);
    h->addWidget(edit, 1);
    h->addWidget(b);
    fp->addRow(rotulo, h);
    connect(b, &QToolButton::clicked, this,
            [this, edit, titulo] { Protegido(this, [&] { EscolhePasta(edit, titulo); }); });
    connect(edit, &QLineEdit::textEdited, this, [this] { setAlterado(true); });
  };
  linhaPasta(QStringLiteral("Diretório de gravação do Sintegra"), edtSintegra_,
             QStringLiteral("Selecione um diretório para armazenar os arquivos do Sintegra"));
  linhaPasta(QStringLiteral("Diretório de gravação da Base de Dados"), edtBaseDados_,
             QStringLiteral("Selecione um diretório para armazenar as Bases de Dados dos "
                            "Proprietários"));
  linhaPasta(QStringLiteral("Diretório de exportação do Log"), edtLog_,
             QStringLiteral("Selecione um diretório para salvar o Log"));
  raiz->addWidget(pastas);

  auto* inicio = new QGroupBox(
      QStringLiteral("Iniciar Tributarium com a última base de dados selecionada ?"), this);
  auto* hi = new QHBoxLayout(inicio);
  auto* grupo = new QButtonGroup(this);
  grupo->addButton(rbSim_);
  grupo->addButton(rbNao_);
  hi->addWidget(rbSim_);
  hi->addWidget(rbNao_);
  hi->addStretch(1);
  connect(rbSim_, &QRadioButton::clicked, this, [this] { setAlterado(true); });
  connect(rbNao_, &QRadioButton::clicked, this, [this] { setAlterado(true); });
  raiz->addWidget(inicio);

  auto* botoes = new QHBoxLayout;
  auto* btnSalvar = new QPushButton(QStringLiteral("Salvar"), this);
  auto* btnCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
  auto* btnPadroes = new QPushButton(QStringLiteral("Restaurar Padrões"), this);
  botoes->addWidget(btnPadroes);
  botoes->addStretch(1);
  botoes->addWidget(btnSalvar);
  botoes->addWidget(btnCancelar);
  raiz->addLayout(botoes);
  connect(btnSalvar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Salvar(); }); });
  connect(btnCancelar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Cancelar(); }); });
  connect(btnPadroes, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { RestaurarPadroes(); }); });

  auto* log = new QGroupBox(QStringLiteral("Log"), this);
  auto* vl = new QVBoxLayout(log);
  auto* btnExportar = new QPushButton(QStringLiteral("Exportar Log"), log);
  auto* hl = new QHBoxLayout;
  hl->addWidget(btnExportar);
  hl->addStretch(1);
  vl->addLayout(hl);
  connect(btnExportar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { ExportarLog(); }); });
  auto* ff = new QFormLayout(gbFiltro_);
  dtInicial_->setCalendarPopup(true);
  dtFinal_->setCalendarPopup(true);
  dtInicial_->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  dtFinal_->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  ff->addRow(QStringLiteral("Data Inicial"), dtInicial_);
  ff->addRow(QStringLiteral("Data Final"), dtFinal_);
  ff->addRow(QStringLiteral("Usuário"), cmbUsuario_);
  auto* hf = new QHBoxLayout;
  auto* btnGerar = new QPushButton(QStringLiteral("Gerar"), gbFiltro_);
  auto* btnCancelaFiltro = new QPushButton(QStringLiteral("Cancelar"), gbFiltro_);
  auto* btnLimpar = new QPushButton(QStringLiteral("Limpar Campos"), gbFiltro_);
  auto* btnVisualizar = new QPushButton(QStringLiteral("Visualizar Log"), gbFiltro_);
  hf->addWidget(btnGerar);
  hf->addWidget(btnCancelaFiltro);
  hf->addWidget(btnLimpar);
  hf->addWidget(btnVisualizar);
  ff->addRow(hf);
  connect(btnGerar, &QPushButton::clicked, this, [this] { Gerar(); });
  connect(btnCancelaFiltro, &QPushButton::clicked, this, [this] { gbFiltro_->hide(); });
  connect(btnLimpar, &QPushButton::clicked, this, [this] { LimparCampos(); });
  connect(btnVisualizar, &QPushButton::clicked, this, [this] { VisualizarLog(); });
  gbFiltro_->hide();
  vl->addWidget(gbFiltro_);
  raiz->addWidget(log);
  raiz->addStretch(1);

  LimparCampos();
  Carrega();
}

void TfrmConfiguracoes::Carrega() {
  TConfiguracoes cfg;
  edtSintegra_->setText(QString::fromStdString(cfg.Le(TConfiguracoes::kPathSintegra)));
  edtBaseDados_->setText(QString::fromStdString(cfg.Le(TConfiguracoes::kPathBaseDados)));
  edtLog_->setText(QString::fromStdString(cfg.Le(TConfiguracoes::kPathLog)));
  (cfg.IniciarBase() ? rbSim_ : rbNao_)->setChecked(true);
}

void TfrmConfiguracoes::EscolhePasta(QLineEdit* edit, const QString& titulo) {
  QString pasta = dialogos().Diretorio(this, titulo, edit->text(), false);
  if (!pasta.isEmpty()) {
    edit->setText(pasta);
    setAlterado(true);
  }
}

void TfrmConfiguracoes::RestaurarPadroes() {
  const QString atual = QDir::currentPath();
  QLineEdit* edits[] = {edtSintegra_, edtBaseDados_, edtLog_};
  const char* nomes[] = {"Sintegra", "Dados", "Log"};
  for (int i = 0; i < 3; ++i) {
    QString pasta = atual + QLatin1Char('/') + QString::fromLatin1(nomes[i]);
    edits[i]->setText(pasta);
    if (!QFileInfo(pasta).isDir() && !QDir().mkdir(pasta)) edits[i]->setText(atual);
  }
  rbSim_->setChecked(true);
  // Nothing is written yet; leaving now would lose the restored values.
  setAlterado(true);
}

void TfrmConfiguracoes::Salvar() {
  if (!msg::ConfirmaSalvar(this, QStringLiteral("as configurações"))) return;
  if (!PastaBasesUtilizavel(edtBaseDados_->text())) {
    dialogos().Mensagem(this, QStringLiteral("Erro!"),
                        QStringLiteral("O diretório \"%1\" não pode ser usado para as Bases de "
                                       "Dados: ele não existe ou o programa não tem permissão "
                                       "de gravação nele. Nada foi alterado.")
                            .arg(edtBaseDados_->text()),
                        Icone::Erro);
    edtBaseDados_->setFocus();
    return;
  }
  TConfiguracoes cfg;
  bool ok = cfg.Grava(TConfiguracoes::kPathLog, edtLog_->text().toStdString()) &&
            cfg.Grava(TConfiguracoes::kPathSintegra, edtSintegra_->text().toStdString()) &&
            cfg.Grava(TConfiguracoes::kPathBaseDados, edtBaseDados_->text().toStdString()) &&
            cfg.GravaIniciarBase(rbSim_->isChecked()) &&
            cfg.Grava(TConfiguracoes::kBaseSelecionada, principal_.BaseAtual().toStdString());
  if (!ok) {
    msg::Falha(this);
    return;
  }
  setAlterado(false);
  msg::Sucesso(this);
}

void TfrmConfiguracoes::Cancelar() {
  Carrega();
  setAlterado(false);
}

void TfrmConfiguracoes::CarregaUsuarios() {
  cmbUsuario_->clear();
  cmbUsuario_->addItem(QString(), 0);
  store::Query& q = principal_.dm().tUsuarios;
  q.Refresh();
  const store::RowSet& r = q.Rows();
  for (std::size_t i = 0; i < r.size(); ++i)
    cmbUsuario_->addItem(QString::fromStdString(r.at(i, "NOME_USUARIO")).trimmed(),
                         static_cast<int>(r.integer(i, "ID_USUARIO")));
}

void TfrmConfiguracoes::ExportarLog() {
  CarregaUsuarios();
  gbFiltro_->show();
}

void TfrmConfiguracoes::Gerar() {
  try {
    ExportaLog(principal_.dm(), dtInicial_->date(), dtFinal_->date(),
               cmbUsuario_->currentData().toInt(), edtLog_->text());
  } catch (const std::exception&) {
    msg::Falha(this);
    return;
  }
  msg::Sucesso(this);
}

void TfrmConfiguracoes::LimparCampos() {
  QDate hoje = Hoje();
  dtInicial_->setDate(hoje.addDays(-1));
  dtFinal_->setDate(hoje);
  cmbUsuario_->setCurrentIndex(cmbUsuario_->count() ? 0 : -1);
}

void TfrmConfiguracoes::VisualizarLog() {
  if (!dialogos().AbrirArquivo(edtLog_->text() + QStringLiteral("/Log.txt")))
    dialogos().Mensagem(this, QStringLiteral("Error"),
                        QStringLiteral("Não foi possível abrir o arquivo"), Icone::Aviso);
}

}  // namespace shell
