#include "shell/editors/owner_editor.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "shell/import/caixoro_windows.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/edits.h"
#include "shell/widgets/principal.h"
#include "shell/widgets/validacoes.h"
#include "store/entities.h"

namespace shell {

namespace {
QLineEdit* Texto(QWidget* pai, int maximo) {
  auto* e = new QLineEdit(pai);
  e->setMaxLength(maximo);
  return e;
}
}  // namespace

TfrmProprietario::TfrmProprietario(Principal& principal, QWidget* pai)
    : JanelaEmbutida(principal, QStringLiteral("Dados do Proprietário"), 4, pai),
      edtCNPJ_(new MascaraEdit(Mascara::CNPJ, this)),
      edtIE_(Texto(this, 14)),
      edtRazaoSocial_(Texto(this, 35)),
      edtCidade_(Texto(this, 30)),
      cmbEstado_(new QComboBox(this)),
      edtLogradouro_(Texto(this, 34)),
      edtNumero_(Texto(this, 5)),
      edtComplemento_(Texto(this, 22)),
      edtBairro_(Texto(this, 15)),
      edtContato_(Texto(this, 28)),
      edtCEP_(new MascaraEdit(Mascara::CEP, this)),
      edtTelefone_(new MascaraEdit(Mascara::Telefone, this)),
      edtFax_(new MascaraEdit(Mascara::Fax, this)) {
  edtIE_->setToolTip(QStringLiteral("Com no máximo 14 dígitos."));
  cmbEstado_->addItem(QString());
  for (const std::string& uf : Estados()) cmbEstado_->addItem(QString::fromStdString(uf));

  auto* raiz = new QVBoxLayout(this);
  auto* principais = new QGroupBox(QStringLiteral("Dados do Proprietário"), this);
  auto* fp = new QFormLayout(principais);
  fp->addRow(QStringLiteral("CNPJ"), edtCNPJ_);
  fp->addRow(QStringLiteral("Inscrição Estadual"), edtIE_);
  fp->addRow(QStringLiteral("Razão Social"), edtRazaoSocial_);
  fp->addRow(QStringLiteral("Cidade"), edtCidade_);
  fp->addRow(QStringLiteral("Estado"), cmbEstado_);
  raiz->addWidget(principais);
  auto* complementares = new QGroupBox(QStringLiteral("Dados Complementares"), this);
  auto* fc = new QFormLayout(complementares);
  fc->addRow(QStringLiteral("Logradouro"), edtLogradouro_);
  fc->addRow(QStringLiteral("Número"), edtNumero_);
  fc->addRow(QStringLiteral("Complemento"), edtComplemento_);
  fc->addRow(QStringLiteral("Bairro"), edtBairro_);
  fc->addRow(QStringLiteral("Nome do Contato"), edtContato_);
  fc->addRow(QStringLiteral("CEP"), edtCEP_);
  fc->addRow(QStringLiteral("Telefone"), edtTelefone_);
  fc->addRow(QStringLiteral("FAX"), edtFax_);
  raiz->addWidget(complementares);

  auto* botoes = new QHBoxLayout;
  auto* btnSalvar = new QPushButton(QStringLiteral("Salvar"), this);
  auto* btnLimpar = new QPushButton(QStringLiteral("Limpar Campos"), this);
  auto* btnImportar = new QPushButton(QStringLiteral("Importar dados do Caixoro"), this);
  auto* btnCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
  botoes->addWidget(btnSalvar);
  botoes->addWidget(btnLimpar);
  botoes->addWidget(btnImportar);
  botoes->addStretch(1);
  botoes->addWidget(btnCancelar);
  raiz->addLayout(botoes);
  raiz->addStretch(1);
  connect(btnSalvar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Salvar(); }); });
  connect(btnLimpar, &QPushButton::clicked, this, [this] { LimparCampos(); });
  connect(btnImportar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { ImportaDonoCaixoro(*this); }); });
  connect(btnCancelar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Cancelar(); }); });

  for (QLineEdit* e :
       {static_cast<QLineEdit*>(edtCNPJ_), edtIE_, edtRazaoSocial_, edtCidade_, edtLogradouro_,
        edtNumero_, edtComplemento_, edtBairro_, edtContato_, static_cast<QLineEdit*>(edtCEP_),
        static_cast<QLineEdit*>(edtTelefone_), static_cast<QLineEdit*>(edtFax_)})
    connect(e, &QLineEdit::textEdited, this, [this] { setAlterado(true); });
  connect(cmbEstado_, &QComboBox::activated, this, [this] { setAlterado(true); });
  for (QObject* o : {static_cast<QObject*>(edtCNPJ_), static_cast<QObject*>(edtCEP_),
                     static_cast<QObject*>(edtTelefone_), static_cast<QObject*>(edtFax_)})
    o->installEventFilter(this);

  Carrega();
}

bool TfrmProprietario::ValidaSaida(QObject* o) {
  if (o == edtCNPJ_) {
    QString v = edtCNPJ_->Digitos();
    if (!v.isEmpty() && !ValidaCNPJ(v.toStdString())) {
      msg::CNPJInvalido(this);
      return false;
    }
  } else if (o == edtTelefone_ || o == edtFax_) {
    if (!ValidaTelefone(static_cast<MascaraEdit*>(o)->Digitos().toStdString())) {
      msg::CampoInvalido(this, static_cast<MascaraEdit*>(o));
      return false;
    }
  } else if (o == edtCEP_) {
    if (!ValidaCEP(edtCEP_->Digitos().toStdString())) {
      msg::CampoInvalido(this, edtCEP_);
      return false;
    }
  }
  return true;
}

bool TfrmProprietario::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::FocusOut && !validando_ && isVisible()) {
    validando_ = true;
    if (!ValidaSaida(o)) {
      auto* w = static_cast<QWidget*>(o);
      QTimer::singleShot(0, w, [w] { w->setFocus(); });
    }
    validando_ = false;
  }
  return JanelaEmbutida::eventFilter(o, e);
}

void TfrmProprietario::Carrega() {
  store::TProprietario p;
  if (!p.Carregar()) return;
  edtCNPJ_->MostraDigitos(QString::fromStdString(p.TX_CNPJ));
  edtIE_->setText(QString::fromStdString(p.TX_IE));
  edtRazaoSocial_->setText(QString::fromStdString(p.TX_RAZAO_SOCIAL));
  edtCidade_->setText(QString::fromStdString(p.TX_CIDADE));
  cmbEstado_->setCurrentIndex(
      std::max(0, cmbEstado_->findText(QString::fromStdString(p.TX_ESTADO).trimmed())));
  edtLogradouro_->setText(QString::fromStdString(p.TX_LOGRADOURO));
  edtNumero_->setText(p.ID_PROPRIETARIO > 0 ? QString::number(p.NB_NUMERO) : QString());
  edtComplemento_->setText(QString::fromStdString(p.TX_COMPLEMENTO));
  edtBairro_->setText(QString::fromStdString(p.TX_BAIRRO));
  edtContato_->setText(QString::fromStdString(p.TX_NOME_CONTATO));
  edtCEP_->MostraDigitos(QString::fromStdString(p.TX_CEP));
  edtTelefone_->MostraDigitos(QString::fromStdString(p.TX_TELEFONE));
  edtFax_->MostraDigitos(QString::fromStdString(p.TX_FAX));
  chave_ = p.ID_PROPRIETARIO;
}

void TfrmProprietario::LimparCampos() {
  for (QLineEdit* e :
       {static_cast<QLineEdit*>(edtCNPJ_), edtIE_, edtRazaoSocial_, edtCidade_, edtLogradouro_,
        edtNumero_, edtComplemento_, edtBairro_, edtContato_, static_cast<QLineEdit*>(edtCEP_),
        static_cast<QLineEdit*>(edtTelefone_), static_cast<QLineEdit*>(edtFax_)})
    e->clear();
  cmbEstado_->setCurrentIndex(0);
  chave_ = 0;
}

void TfrmProprietario::Cancelar() {
  setAlterado(false);
  Carrega();
}

void TfrmProprietario::Salvar() {
  if (!msg::ConfirmaSalvar(this, QStringLiteral("os dados do proprietário"))) return;
  const std::pair<QWidget*, QString> obrigatorios[] = {
      {edtIE_, QStringLiteral("Inscrição Estadual")},
      {edtRazaoSocial_, QStringLiteral("Razão Social")},
      {edtCidade_, QStringLiteral("Cidade")},
      {edtLogradouro_, QStringLiteral("Logradouro")},
      {edtNumero_, QStringLiteral("Número")},
      {edtBairro_, QStringLiteral("Bairro")},
      {edtContato_, QStringLiteral("Nome do Contato")},
      {edtCEP_, QStringLiteral("CEP")},
      {edtTelefone_, QStringLiteral("Telefone")},
      {edtCNPJ_, QStringLiteral("CNPJ")}};
  for (const auto& [controle, rotulo] : obrigatorios) {
    auto* m = qobject_cast<MascaraEdit*>(controle);
    QString valor = m ? m->Digitos() : static_cast<QLineEdit*>(controle)->text().trimmed();
    if (CampoObrigatorio(this, valor, rotulo)) {
      controle->setFocus();
      return;
    }
  }
  const QString cnpj = edtCNPJ_->Digitos();
  if (cnpj == QStringLiteral("00000000000000") || !ValidaCNPJ(cnpj.toStdString())) {
    msg::CNPJInvalido(this);
    edtCNPJ_->setFocus();
    return;
  }
  for (MascaraEdit* m : {edtCEP_, edtTelefone_, edtFax_}) {
    if (!ValidaSaida(m)) {
      m->setFocus();
      return;
    }
  }
  bool numeroOk = false;
  const int numero = edtNumero_->text().trimmed().toInt(&numeroOk);
  if (!numeroOk) {
    msg::CampoInvalido(this, edtNumero_);
    edtNumero_->setFocus();
    return;
  }
  if (!msg::IeConfere(this, edtIE_->text(), cmbEstado_->currentText())) {
    edtIE_->setFocus();
    return;
  }
  store::TProprietario p;
  p.ID_PROPRIETARIO = chave_;
  p.TX_CNPJ = cnpj.toStdString();
  p.TX_IE = edtIE_->text().trimmed().toStdString();
  p.TX_RAZAO_SOCIAL = edtRazaoSocial_->text().toStdString();
  p.TX_CIDADE = edtCidade_->text().toStdString();
  p.TX_ESTADO = cmbEstado_->currentText().toStdString();
  p.TX_LOGRADOURO = edtLogradouro_->text().toStdString();
  p.NB_NUMERO = numero;
  p.TX_BAIRRO = edtBairro_->text().toStdString();
  p.TX_COMPLEMENTO = edtComplemento_->text().toStdString();
  p.TX_CEP = edtCEP_->Digitos().toStdString();
  p.TX_NOME_CONTATO = edtContato_->text().toStdString();
  p.TX_TELEFONE = edtTelefone_->Digitos().toStdString();
  p.TX_FAX = edtFax_->Digitos().toStdString();
  const std::string prefixo = "spInserirProprietario: " + std::to_string(p.ID_PROPRIETARIO);
  if (p.Inserir()) {
    principal_.GravaLog(store::LinhaSucesso(prefixo));
    setAlterado(false);
    msg::Sucesso(this);
  } else {
    principal_.GravaLog(store::LinhaFalha(prefixo));
    msg::Falha(this);
  }
}

void ImportaDonoCaixoro(TfrmProprietario& w) {
  const auto lido = LeDonoCaixoro(&w);
  if (!lido) return;
  const caixoro::TClienteCaixoro& c = *lido;
  const auto Utf8 = [](const std::string& t) { return QString::fromStdString(t); };
  w.edtCNPJ()->MostraDigitos(Utf8(c.CNPJ));
  w.edtIE()->setText(Utf8(c.IE));
  w.edtRazaoSocial()->setText(Utf8(c.RazaoSocial));
  w.edtCidade()->setText(Utf8(c.Cidade));
  w.cmbEstado()->setCurrentIndex(std::max(0, w.cmbEstado()->findText(Utf8(c.Estado))));
  w.edtLogradouro()->setText(Utf8(c.Logradouro));
  w.edtNumero()->setText(c.Numero.empty() ? QStringLiteral("0") : Utf8(c.Numero));
  w.edtComplemento()->setText(Utf8(c.Complemento));
  w.edtBairro()->setText(Utf8(c.Bairro));
  w.edtContato()->setText(Utf8(c.Contato));
  w.edtCEP()->MostraDigitos(Utf8(c.CEP));
  w.edtTelefone()->MostraDigitos(Utf8(c.Telefone));
  w.edtFax()->MostraDigitos(Utf8(c.Fax));
  // The imported values are not stored yet: leaving asks before dropping them.
  w.setAlterado(true);
  msg::Sucesso(&w);
  AvisosDonoCaixoro(&w, c);
}

}  // namespace shell
