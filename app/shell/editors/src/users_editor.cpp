#include "shell/editors/users_editor.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "shell/widgets/dialogos.h"
#include "shell/widgets/principal.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace shell {

TfrmUsuarios::TfrmUsuarios(Principal& principal, QWidget* pai)
    : JanelaEmbutida(principal, QStringLiteral("Cadastro"), 5, pai),
      modelo_(new ModeloConsulta(
          {{"LOGIN_USUARIO", QStringLiteral("Login")}, {"NOME_USUARIO", QStringLiteral("Nome")}},
          this)),
      grdUsuarios_(new QTableView(this)),
      edtNome_(new QLineEdit(this)),
      edtLogin_(new QLineEdit(this)),
      edtSenha_(new QLineEdit(this)),
      edtConfirma_(new QLineEdit(this)),
      chkMestre_(new QCheckBox(QStringLiteral("Usuário Mestre"), this)),
      btnNovo_(new QPushButton(QStringLiteral("Novo"), this)),
      btnSalvar_(new QPushButton(QStringLiteral("Salvar"), this)),
      btnExcluir_(new QPushButton(QStringLiteral("Excluir"), this)),
      btnCancelar_(new QPushButton(QStringLiteral("Cancelar"), this)) {
  edtNome_->setMaxLength(30);
  edtLogin_->setMaxLength(20);
  edtSenha_->setMaxLength(20);
  edtConfirma_->setMaxLength(20);
  edtSenha_->setEchoMode(QLineEdit::Password);
  edtConfirma_->setEchoMode(QLineEdit::Password);
  connect(edtLogin_, &QLineEdit::textEdited, this, [this](const QString& t) {
    int pos = edtLogin_->cursorPosition();
    edtLogin_->setText(t.toUpper());
    edtLogin_->setCursorPosition(pos);
  });

  auto* raiz = new QHBoxLayout(this);
  auto* lista = new QGroupBox(QStringLiteral("Usuários"), this);
  auto* vl = new QVBoxLayout(lista);
  grdUsuarios_->setModel(modelo_);
  AjustaColunas(grdUsuarios_, 1);
  grdUsuarios_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdUsuarios_->setSelectionMode(QAbstractItemView::SingleSelection);
  grdUsuarios_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdUsuarios_->horizontalHeader()->setStretchLastSection(true);
  grdUsuarios_->verticalHeader()->hide();
  vl->addWidget(grdUsuarios_);
  raiz->addWidget(lista, 1);

  auto* dados = new QGroupBox(QStringLiteral("Dados do Usuário"), this);
  auto* fd = new QFormLayout(dados);
  fd->addRow(QStringLiteral("Nome"), edtNome_);
  fd->addRow(QStringLiteral("Login"), edtLogin_);
  fd->addRow(QStringLiteral("Senha"), edtSenha_);
  fd->addRow(QStringLiteral("Confirmar Senha"), edtConfirma_);
  fd->addRow(QString(), chkMestre_);
  auto* botoes = new QHBoxLayout;
  for (QPushButton* b : {btnNovo_, btnSalvar_, btnExcluir_, btnCancelar_}) botoes->addWidget(b);
  fd->addRow(botoes);
  raiz->addWidget(dados, 1);

  connect(grdUsuarios_, &QTableView::clicked, this,
          [this](const QModelIndex& i) { CliqueGrade(i.row()); });
  connect(grdUsuarios_, &QTableView::doubleClicked, this,
          [this](const QModelIndex& i) { DuploCliqueGrade(i.row()); });
  connect(btnNovo_, &QPushButton::clicked, this, [this] { Novo(); });
  connect(btnSalvar_, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Salvar(); }); });
  connect(btnExcluir_, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Excluir(); }); });
  connect(btnCancelar_, &QPushButton::clicked, this, [this] { Cancelar(); });
  for (QLineEdit* e : {edtNome_, edtLogin_, edtSenha_, edtConfirma_})
    connect(e, &QLineEdit::textEdited, this, [this] { setAlterado(true); });
  connect(chkMestre_, &QCheckBox::clicked, this, [this] { setAlterado(true); });

  store::Query& q = principal_.dm().tUsuarios;
  modelo_->Segue(&q);
  q.Refresh();  // rows written since the list was last read show too
  Reinicia();
  if (!principal_.UsuarioMestre()) {
    btnSalvar_->setEnabled(false);
    btnNovo_->setEnabled(false);
    btnExcluir_->setEnabled(false);
  }
}

TfrmUsuarios::~TfrmUsuarios() {
  modelo_->Segue(nullptr);
}

int TfrmUsuarios::LinhaAtual() const {
  QModelIndex i = grdUsuarios_->currentIndex();
  return i.isValid() ? i.row() : -1;
}

void TfrmUsuarios::Habilita(bool sim) {
  for (QWidget* w : {static_cast<QWidget*>(edtNome_), static_cast<QWidget*>(edtLogin_),
                     static_cast<QWidget*>(edtSenha_), static_cast<QWidget*>(edtConfirma_),
                     static_cast<QWidget*>(chkMestre_), static_cast<QWidget*>(btnCancelar_)})
    w->setEnabled(sim);
  btnSalvar_->setEnabled(sim && principal_.UsuarioMestre());
}

void TfrmUsuarios::Reinicia() {
  for (QLineEdit* e : {edtNome_, edtLogin_, edtSenha_, edtConfirma_}) e->clear();
  chkMestre_->setChecked(false);
  Habilita(false);
  modo_ = Modo::Altera;
}

void TfrmUsuarios::CliqueGrade(int linha) {
  if (linha < 0) return;
  grdUsuarios_->selectRow(linha);
  edtLogin_->setText(QString::fromStdString(modelo_->Valor(linha, "LOGIN_USUARIO")));
  edtNome_->setText(QString::fromStdString(modelo_->Valor(linha, "NOME_USUARIO")));
  chkMestre_->setChecked(modelo_->Valor(linha, "USUARIO_MESTRE") != "0" &&
                         !modelo_->Valor(linha, "USUARIO_MESTRE").empty());
  setAlterado(false);
}

void TfrmUsuarios::DuploCliqueGrade(int linha) {
  if (linha < 0) return;
  if (!principal_.UsuarioMestre()) {
    msg::Simples(this,
                 QStringLiteral("Somente Usuários Mestre podem alterar ou criar novos usuários!"));
    return;
  }
  CliqueGrade(linha);
  edtSenha_->clear();
  edtConfirma_->clear();
  Habilita(true);
  modo_ = Modo::Altera;
}

void TfrmUsuarios::Novo() {
  if (!principal_.UsuarioMestre()) return;
  grdUsuarios_->clearSelection();
  for (QLineEdit* e : {edtNome_, edtLogin_, edtSenha_, edtConfirma_}) e->clear();
  chkMestre_->setChecked(false);
  Habilita(true);
  modo_ = Modo::Novo;
  edtNome_->setFocus();
}

void TfrmUsuarios::Salvar() {
  if (!principal_.UsuarioMestre()) return;
  const QString senha = edtSenha_->text();
  const QString confirma = edtConfirma_->text();
  if (modo_ == Modo::Novo && (senha.isEmpty() || confirma.isEmpty())) return;
  if (senha != confirma) {
    msg::Simples(this, QStringLiteral("Senha e confirmação de senha não conferem!"));
    return;
  }
  if (modo_ == Modo::Altera && LinhaAtual() < 0) return;
  bool salvo = false;
  if (msg::ConfirmaSalvar(this, QStringLiteral("usuário"))) {
    int id = 0;
    if (modo_ == Modo::Altera) id = std::stoi("0" + modelo_->Valor(LinhaAtual(), "ID_USUARIO"));
    store::TUsuario u(id, chkMestre_->isChecked() ? 1 : 0, senha.toStdString(),
                      edtLogin_->text().trimmed().toUpper().toStdString(),
                      edtNome_->text().trimmed().toStdString());
    salvo = modo_ == Modo::Novo ? u.Inserir() : u.Alterar();
    if (!salvo) msg::FalhaSimples(this);
  }
  QCoreApplication::processEvents();
  Reinicia();
  if (salvo) setAlterado(false);
}

void TfrmUsuarios::Excluir() {
  if (!principal_.UsuarioMestre()) return;
  const int linha = LinhaAtual();
  if (linha < 0) return;
  if (msg::ConfirmaExcluir(this, QStringLiteral("usuário"))) {
    store::TUsuario u(std::stoi("0" + modelo_->Valor(linha, "ID_USUARIO")), 0, "", "", "");
    if (!u.Excluir()) msg::FalhaSimples(this);
  }
  QCoreApplication::processEvents();
  Reinicia();
}

void TfrmUsuarios::Cancelar() {
  Reinicia();
  setAlterado(false);
}

}  // namespace shell
