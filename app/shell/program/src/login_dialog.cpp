#include "shell/program/login_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/widgets/dialogos.h"
#include "store/data_module.h"

namespace shell {

TPasswordDlg::TPasswordDlg(store::TdmTributarium& dm, QWidget* pai)
    : QDialog(pai),
      dm_(dm),
      edtLogin_(new QLineEdit(this)),
      edtSenha_(new QLineEdit(this)),
      btnOK_(new QPushButton(QStringLiteral("OK"), this)),
      btnCancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  setWindowTitle(QStringLiteral("Tributarium"));
  setModal(true);
  edtLogin_->setObjectName(QStringLiteral("edtLogin"));
  edtSenha_->setObjectName(QStringLiteral("edtSenha"));
  edtLogin_->setMaxLength(20);
  edtSenha_->setMaxLength(20);
  edtSenha_->setEchoMode(QLineEdit::Password);
  edtLogin_->installEventFilter(this);
  edtSenha_->installEventFilter(this);
  // Logins are kept in upper case; typing shows them that way at once.
  connect(edtLogin_, &QLineEdit::textEdited, this, [this](const QString& t) {
    int pos = edtLogin_->cursorPosition();
    edtLogin_->setText(t.toUpper());
    edtLogin_->setCursorPosition(pos);
  });
  btnOK_->setAutoDefault(false);
  btnCancel_->setAutoDefault(false);
  connect(btnOK_, &QPushButton::clicked, this, [this] { Protegido(this, [this] { Confirma(); }); });
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);

  auto* titulo =
      new QLabel(QStringLiteral("<b>Tributarium</b><br>Informe seu login e sua senha."), this);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Login"), edtLogin_);
  form->addRow(QStringLiteral("Senha"), edtSenha_);
  auto* botoes = new QHBoxLayout;
  botoes->addStretch();
  botoes->addWidget(btnOK_);
  botoes->addWidget(btnCancel_);
  auto* l = new QVBoxLayout(this);
  l->addWidget(titulo);
  l->addLayout(form);
  l->addLayout(botoes);
  setMinimumWidth(320);
}

bool TPasswordDlg::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
      if (o == edtLogin_) {
        edtSenha_->setFocus();
        return true;
      }
      if (o == edtSenha_) {
        btnOK_->click();
        return true;
      }
    }
  }
  return QDialog::eventFilter(o, e);
}

void TPasswordDlg::Confirma() {
  std::string erro;
  // The data module reads the user's row (tUsuarioAtual) when the login is valid.
  const bool valido =
      dm_.ValidaLogin(edtLogin_->text().toStdString(), edtSenha_->text().toStdString(), &erro);
  if (!erro.empty()) msg::Simples(this, QString::fromStdString(erro));
  if (!valido) {
    msg::Simples(this, QStringLiteral("Login ou Senha Inválidos!"));
    return;
  }
  usuario_.id = dm_.UsuarioLogado;
  usuario_.login = QString::fromStdString(dm_.LoginUsuario).trimmed();
  usuario_.nome = QString::fromStdString(dm_.NomeUsuario).trimmed();
  usuario_.mestre = dm_.UsuarioMestre;
  accept();
}

}  // namespace shell
