#include "shell/program/client_bases_window.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "shell/program/base_files.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/principal.h"
#include "store/backup.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace shell {

TfrmBaseDados::TfrmBaseDados(Principal& principal, QWidget* pai)
    : JanelaEmbutida(principal, QStringLiteral("Cadastro das Bases de Dados"), 3, pai),
      modelo_(new ModeloConsulta({{"NOME_CLIENTE", QStringLiteral("Nome do Cliente")},
                                  {"PATH", QStringLiteral("Path da Base")}},
                                 this)),
      grdBases_(new QTableView(this)),
      gbNovaBase_(new QGroupBox(QStringLiteral("Nova Base"), this)),
      edtNome_(new QLineEdit(gbNovaBase_)),
      edtPath_(new QLineEdit(gbNovaBase_)) {
  auto* raiz = new QVBoxLayout(this);
  auto* lista = new QGroupBox(QStringLiteral("Bases Cadastradas"), this);
  auto* vl = new QVBoxLayout(lista);
  grdBases_->setModel(modelo_);
  AjustaColunas(grdBases_, 1);
  grdBases_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdBases_->setSelectionMode(QAbstractItemView::SingleSelection);
  grdBases_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdBases_->horizontalHeader()->setStretchLastSection(true);
  grdBases_->verticalHeader()->hide();
  vl->addWidget(grdBases_);
  raiz->addWidget(lista, 1);
  connect(grdBases_, &QTableView::doubleClicked, this,
          [this] { Protegido(this, [this] { SelecionarBase(); }); });

  auto* botoes = new QHBoxLayout;
  const std::pair<const char*, void (TfrmBaseDados::*)()> acoes[] = {
      {"Nova Base", &TfrmBaseDados::NovaBase},
      {"Excluir Base", &TfrmBaseDados::ExcluirBase},
      {"Importar Base", &TfrmBaseDados::ImportarBase},
      {"Selecionar Base", &TfrmBaseDados::SelecionarBase},
      {"Cópia de Segurança", &TfrmBaseDados::CopiaSeguranca},
      {"Restaurar", &TfrmBaseDados::Restaurar}};
  for (const auto& entrada : acoes) {
    // A plain copy: clang 14 cannot capture a structured binding in a lambda.
    const auto acao = entrada.second;
    auto* b = new QPushButton(QString::fromUtf8(entrada.first), this);
    connect(b, &QPushButton::clicked, this,
            [this, acao] { Protegido(this, [this, acao] { (this->*acao)(); }); });
    botoes->addWidget(b);
  }
  botoes->addStretch(1);
  raiz->addLayout(botoes);

  edtNome_->setMaxLength(40);
  auto* fb = new QFormLayout(gbNovaBase_);
  fb->addRow(QStringLiteral("Nome do Cliente:"), edtNome_);
  auto* hp = new QHBoxLayout;
  auto* btnPasta = new QToolButton(gbNovaBase_);
  btnPasta->setText(QStringLiteral("..."));
  hp->addWidget(edtPath_, 1);
  hp->addWidget(btnPasta);
  fb->addRow(QStringLiteral("Path da Base:"), hp);
  auto* hs = new QHBoxLayout;
  auto* btnSalvar = new QPushButton(QStringLiteral("Salvar"), gbNovaBase_);
  auto* btnCancelar = new QPushButton(QStringLiteral("Cancelar"), gbNovaBase_);
  hs->addStretch(1);
  hs->addWidget(btnSalvar);
  hs->addWidget(btnCancelar);
  fb->addRow(hs);
  gbNovaBase_->hide();
  raiz->addWidget(gbNovaBase_);
  connect(btnPasta, &QToolButton::clicked, this,
          [this] { Protegido(this, [this] { EscolhePasta(); }); });
  connect(btnSalvar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Salvar(); }); });
  connect(btnCancelar, &QPushButton::clicked, this, [this] { Cancelar(); });
  connect(edtNome_, &QLineEdit::textEdited, this, [this] { setAlterado(true); });
  connect(edtPath_, &QLineEdit::textEdited, this, [this] { setAlterado(true); });

  store::Query& q = principal_.dm().tBaseDados;
  modelo_->Segue(&q);
  q.Refresh();  // rows written since the list was last read show too
}

TfrmBaseDados::~TfrmBaseDados() {
  modelo_->Segue(nullptr);
}

int TfrmBaseDados::LinhaAtual() const {
  QModelIndex i = grdBases_->currentIndex();
  return i.isValid() ? i.row() : (modelo_->rowCount() > 0 ? 0 : -1);
}

void TfrmBaseDados::NovaBase() {
  modo_ = Modo::Nova;
  edtPath_->setText(principal_.PastaAtual());
  gbNovaBase_->show();
  edtNome_->setFocus();
}

void TfrmBaseDados::ImportarBase() {
  modo_ = Modo::Importa;
  QString pasta = dialogos().Diretorio(
      this, QStringLiteral("Selecione o diretório onde se encontra a Base de Dados do Cliente"),
      QString(), true);
  if (!pasta.isEmpty()) edtPath_->setText(pasta);
  gbNovaBase_->show();
  edtNome_->setFocus();
}

void TfrmBaseDados::EscolhePasta() {
  QString pasta = dialogos().Diretorio(
      this, QStringLiteral("Selecione um diretório para armazenar a Base de Dados do Cliente"),
      edtPath_->text(), false);
  if (!pasta.isEmpty()) {
    edtPath_->setText(pasta);
    setAlterado(true);
  }
}

void TfrmBaseDados::Salvar() {
  if (msg::ConfirmaSalvar(this, QStringLiteral("base de dados"))) {
    const std::string nome = edtNome_->text().toStdString();
    const std::string caminho = edtPath_->text().toStdString();
    store::TBaseDados base(0, this, caminho, nome);
    const std::string modelo = principal_.PathBaseDados().toStdString();
    base.CopiaArquivos = [modelo](const store::TBaseDados& b) {
      return NomeDePasta(b.NOME_CLIENTE) && CopiaArquivos(modelo, b.PATH);
    };
    const bool ok = base.Inserir(modo_ == Modo::Nova);
    if (!ok) msg::FalhaSimples(this);
  }
  Cancelar();
  QCoreApplication::processEvents();
}

void TfrmBaseDados::Cancelar() {
  setAlterado(false);
  edtNome_->clear();
  gbNovaBase_->hide();
}

void TfrmBaseDados::ExcluirBase() {
  int linha = LinhaAtual();
  if (linha < 0) return;
  const int id = std::stoi("0" + modelo_->Valor(linha, "ID_BASE_DADOS"));
  const std::string nome = modelo_->Valor(linha, "NOME_CLIENTE");
  const std::string caminho = modelo_->Valor(linha, "PATH");
  // The template and the base in use stay: every new base is copied from the one, and the
  // program is working in the other.
  if (id == 1) {
    dialogos().Mensagem(this, QStringLiteral("Excluir Base"),
                        QStringLiteral("A base \"%1\" é o modelo de onde toda nova base é "
                                       "copiada e não pode ser excluída.")
                            .arg(QString::fromStdString(nome)),
                        Icone::Aviso);
    return;
  }
  if (!principal_.BaseAtual().isEmpty() && QString::fromStdString(nome) == principal_.BaseAtual()) {
    dialogos().Mensagem(this, QStringLiteral("Excluir Base"),
                        QStringLiteral("A base \"%1\" está selecionada e não pode ser excluída. "
                                       "Selecione outra base antes de excluí-la.")
                            .arg(QString::fromStdString(nome)),
                        Icone::Aviso);
    return;
  }
  if (msg::ConfirmaExcluir(this, QStringLiteral("base de dados"))) {
    store::TBaseDados base(id, this, caminho, nome);
    base.RemoveArquivos = [](const store::TBaseDados& b) {
      return RemoveArquivos(b.PATH, b.NOME_CLIENTE);
    };
    const bool ok = base.Excluir();
    if (!ok) msg::FalhaSimples(this);
  }
  Cancelar();
  QCoreApplication::processEvents();
}

namespace {

// The login the module's connections to `local` use.
store::ServerLogin LoginPara(store::TdmTributarium& dm, const std::string& local) {
  return store::LoginFromParams(dm.ParametrosConexao(local));
}

// A progress window for a long backup or restore; the window system keeps running.
store::BackupProgress Progresso(QProgressDialog& d) {
  return [&d](std::uint64_t feito, std::uint64_t total) {
    if (total > 0) {
      d.setMaximum(1000);
      d.setValue(static_cast<int>(feito * 1000 / total));
    } else {
      d.setMaximum(0);  // busy
    }
    QCoreApplication::processEvents();
  };
}

}  // namespace

void TfrmBaseDados::CopiaSeguranca() {
  int linha = LinhaAtual();
  if (linha < 0) return;
  const std::string nome = modelo_->Valor(linha, "NOME_CLIENTE");
  const std::string local = store::join_location(modelo_->Valor(linha, "PATH"), store::kDataFile);
  QString arquivo = dialogos().ArquivoParaSalvar(
      this, QStringLiteral("Cópia de Segurança da base \"%1\"").arg(QString::fromStdString(nome)),
      QStringLiteral("Cópia de segurança (*.fbk)"), QString::fromStdString(nome) + ".fbk");
  if (arquivo.isEmpty()) return;
  QProgressDialog progresso(QStringLiteral("Gravando a cópia de segurança ..."), QString(), 0, 0,
                            this);
  progresso.setWindowModality(Qt::WindowModal);
  progresso.setMinimumDuration(500);
  try {
    store::BackupDatabase(local, LoginPara(principal_.dm(), local), arquivo.toStdString(),
                          Progresso(progresso));
  } catch (const std::exception& e) {
    progresso.close();
    dialogos().Mensagem(this, QStringLiteral("Erro!"), QString::fromUtf8(e.what()), Icone::Erro);
    return;
  }
  progresso.close();
  dialogos().Mensagem(
      this, QStringLiteral("Sucesso!"),
      QStringLiteral("Cópia de segurança gravada e verificada em:\n%1").arg(arquivo),
      Icone::Informacao);
}

void TfrmBaseDados::Restaurar() {
  int linha = LinhaAtual();
  if (linha < 0) return;
  const std::string nome = modelo_->Valor(linha, "NOME_CLIENTE");
  const std::string local = store::join_location(modelo_->Valor(linha, "PATH"), store::kDataFile);
  // This program has the selected base open itself.
  if (!principal_.BaseAtual().isEmpty() && QString::fromStdString(nome) == principal_.BaseAtual()) {
    dialogos().Mensagem(this, QStringLiteral("Restaurar"),
                        QStringLiteral("A base \"%1\" está selecionada e não pode ser restaurada. "
                                       "Selecione outra base antes de restaurá-la.")
                            .arg(QString::fromStdString(nome)),
                        Icone::Aviso);
    return;
  }
  QString arquivo = dialogos().ArquivoParaAbrir(
      this, QStringLiteral("Restaurar a base \"%1\"").arg(QString::fromStdString(nome)),
      QStringLiteral("Cópia de segurança (*.fbk);;Todos os arquivos (*)"), QString());
  if (arquivo.isEmpty()) return;
  if (!dialogos().Pergunta(this, QStringLiteral("Restaurar?"),
                           QStringLiteral("A base \"%1\" será substituída pela cópia de\n%2.\n"
                                          "Deseja continuar?")
                               .arg(QString::fromStdString(nome), arquivo)))
    return;
  QProgressDialog progresso(QStringLiteral("Restaurando a base ..."), QString(), 0, 0, this);
  progresso.setWindowModality(Qt::WindowModal);
  progresso.setMinimumDuration(500);
  try {
    store::RestoreDatabase(arquivo.toStdString(), local, LoginPara(principal_.dm(), local),
                           Progresso(progresso));
  } catch (const std::exception& e) {
    progresso.close();
    dialogos().Mensagem(this, QStringLiteral("Erro!"), QString::fromUtf8(e.what()), Icone::Erro);
    return;
  }
  progresso.close();
  dialogos().Mensagem(this, QStringLiteral("Sucesso!"),
                      QStringLiteral("Base \"%1\" restaurada.").arg(QString::fromStdString(nome)),
                      Icone::Informacao);
}

void TfrmBaseDados::SelecionarBase() {
  int linha = LinhaAtual();
  if (linha < 0) return;
  principal_.SelecionaBase(QString::fromStdString(modelo_->Valor(linha, "NOME_CLIENTE")),
                           QString::fromStdString(modelo_->Valor(linha, "PATH")));
}

}  // namespace shell
