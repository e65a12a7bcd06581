#include "shell/invoices/invoice_editor.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "common/text1252.h"
#include "shell/invoices/invoice_rules.h"
#include "shell/widgets/calculos.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/edits.h"
#include "shell/widgets/principal.h"
#include "shell/widgets/validacoes.h"
#include "store/conversions.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace shell {

namespace {

const char* const kCNPJDoDeclarante =
    "CNPJ Inválido!\nO CNPJ do remetente da Nota não pode ser igual ao CNJP do declarante.\nEntre "
    "com um valor válido ou deixe-o em branco.";

int Inteiro(const QString& s) {
  bool ok = false;
  int v = s.trimmed().toInt(&ok);
  return ok ? v : 0;
}

QDate ParaQDate(const store::Date& d) {
  return QDate(d.year, d.month, d.day);
}

}  // namespace

bool SerieEdit::Passa(int c) const {
  if (modelo01 && unica) return c < 32 || (c >= '0' && c <= '9');
  if (modelo01) return SomenteDigitos(c);
  if (unica)
    return c < 32 || (c >= '0' && c <= '9') || c == 127 || c == 'B' || c == 'C' || c == 'E' ||
           c == 'b' || c == 'c' || c == 'e';
  return true;
}

void SerieEdit::keyPressEvent(QKeyEvent* e) {
  const QString t = e->text();
  for (QChar ch : t) {
    std::string b = common::utf8_to_cp1252(QString(ch).toStdString());
    int codigo = b.empty() ? '?' : static_cast<unsigned char>(b[0]);
    if (!Passa(codigo)) {
      QApplication::beep();
      e->accept();
      return;
    }
  }
  QLineEdit::keyPressEvent(e);
}

TfrmNotaFiscal::TfrmNotaFiscal(Principal& principal, QWidget* pai)
    : JanelaEmbutida(principal, QStringLiteral("Dados da Nota Fiscal"), 6, pai),
      edtCNPJ_(new MascaraEdit(Mascara::CNPJ, this)),
      edtIE_(new QLineEdit(this)),
      dtEmissao_(new DataEdit(this)),
      cmbEstado_(new QComboBox(this)),
      cmbModelo_(new QComboBox(this)),
      cmbEmitente_(new QComboBox(this)),
      cmbTipoSerie_(new QComboBox(this)),
      edtSerie_(new SerieEdit(this)),
      edtNumero_(new DigitosEdit(this)),
      edtCFOP_(new DigitosEdit(this)),
      edtValorTotal_(new QLineEdit(this)),
      edtBaseICMS_(new QLineEdit(this)),
      edtValorICMS_(new QLineEdit(this)),
      edtIsento_(new NumericoEdit(2, this)),
      edtOutros_(new NumericoEdit(2, this)),
      gbProdutos_(new QGroupBox(QStringLiteral("Produtos da Nota Fiscal"), this)),
      lblNumProdutos_(new QLabel(gbProdutos_)),
      modeloItens_(new ModeloConsulta(
          {{"NB_ITEM", QStringLiteral("Número")},
           {"CD_PRODUTO", QStringLiteral("Código")},
           {"TX_DESCRICAO", QStringLiteral("Descrição")},
           {"TX_VALOR_ITEM", QStringLiteral("Valor do Item"), Coluna::Decimais2},
           {"TX_VALOR_DESCONTO", QStringLiteral("Valor de Desconto"), Coluna::Decimais2},
           {"TX_QUANTIDADE", QStringLiteral("Quantidade"), Coluna::Decimais3},
           {"TX_BASE_ICMS", QStringLiteral("Base do ICMS"), Coluna::Decimais2},
           {"TX_BASE_SUBSTITUICAO", QStringLiteral("Base de Substituição"), Coluna::Decimais2},
           {"TX_VALOR_IPI", QStringLiteral("Valor do IPI"), Coluna::Decimais2},
           {"TX_ALIQUOTA", QStringLiteral("Alíquota"), Coluna::Decimais2},
           {"NB_CST", QStringLiteral("CST")}},
          this)),
      grdProdutos_(new QTableView(gbProdutos_)) {
  edtIE_->setMaxLength(14);
  edtIE_->setToolTip(QStringLiteral("Com no máximo 14 dígitos."));
  dtEmissao_->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  dtEmissao_->setCalendarPopup(true);
  cmbEstado_->addItem(QString());
  for (const std::string& uf : Estados()) cmbEstado_->addItem(QString::fromStdString(uf));
  for (const std::string& m : Modelos()) cmbModelo_->addItem(QString::fromStdString(m));
  cmbEmitente_->addItems({QStringLiteral("Próprio"), QStringLiteral("Terceiro")});
  cmbTipoSerie_->addItems({QStringLiteral("Normal"), QStringLiteral("Única")});
  edtNumero_->setMaxLength(6);
  edtCFOP_->setMaxLength(4);
  for (QLineEdit* e : {edtValorTotal_, edtBaseICMS_, edtValorICMS_}) {
    e->setEnabled(false);
    e->setAlignment(Qt::AlignRight);
  }
  for (NumericoEdit* n : {edtIsento_, edtOutros_}) n->setMaxLength(14);

  auto* raiz = new QVBoxLayout(this);
  auto* emitente = new QGroupBox(QStringLiteral("Dados do Emitente"), this);
  auto* ge = new QGridLayout(emitente);
  auto campo = [&](const QString& r, QWidget* w, int linha, int coluna) {
    auto* rotulo = new QLabel(r, emitente);
    rotulo->setBuddy(w);
    ge->addWidget(rotulo, linha, coluna);
    ge->addWidget(w, linha, coluna + 1);
  };
  campo(QStringLiteral("CNPJ"), edtCNPJ_, 0, 0);
  campo(QStringLiteral("Inscrição Estadual"), edtIE_, 0, 2);
  campo(QStringLiteral("Data de Emissão"), dtEmissao_, 1, 0);
  campo(QStringLiteral("Estado"), cmbEstado_, 1, 2);
  raiz->addWidget(emitente);

  auto* dados = new QGroupBox(QStringLiteral("Dados da Nota Fiscal"), this);
  auto* gd = new QGridLayout(dados);
  int l = 0;
  auto par = [&](const QString& r, QWidget* w, int coluna) {
    auto* rotulo = new QLabel(r, dados);
    rotulo->setBuddy(w);  // the messages about a field name it by this label
    gd->addWidget(rotulo, l, coluna);
    gd->addWidget(w, l, coluna + 1);
  };
  par(QStringLiteral("Modelo"), cmbModelo_, 0);
  par(QStringLiteral("Emitente"), cmbEmitente_, 2);
  par(QStringLiteral("Tipo de Série"), cmbTipoSerie_, 4);
  ++l;
  par(QStringLiteral("Número/Letra da Série"), edtSerie_, 0);
  par(QStringLiteral("Número"), edtNumero_, 2);
  par(QStringLiteral("CFOP"), edtCFOP_, 4);
  ++l;
  par(QStringLiteral("Valor Total"), edtValorTotal_, 0);
  par(QStringLiteral("Base de Cálc. do ICMS"), edtBaseICMS_, 2);
  par(QStringLiteral("Valor do ICMS"), edtValorICMS_, 4);
  ++l;
  par(QStringLiteral("Valor Isento"), edtIsento_, 0);
  par(QStringLiteral("Outros Valores"), edtOutros_, 2);
  raiz->addWidget(dados);

  auto* vp = new QVBoxLayout(gbProdutos_);
  vp->addWidget(lblNumProdutos_);
  grdProdutos_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdProdutos_->setSelectionMode(QAbstractItemView::SingleSelection);
  grdProdutos_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdProdutos_->verticalHeader()->hide();
  grdProdutos_->setModel(modeloItens_);
  AjustaColunas(grdProdutos_, 2);
  grdProdutos_->setMinimumHeight(160);
  vp->addWidget(grdProdutos_, 1);
  auto* bp = new QHBoxLayout;
  auto* btnInserir = new QPushButton(QStringLiteral("Inserir Produto"), gbProdutos_);
  auto* btnAlterar = new QPushButton(QStringLiteral("Alterar Produto"), gbProdutos_);
  auto* btnExcluir = new QPushButton(QStringLiteral("Excluir Produto"), gbProdutos_);
  auto* btnTodos = new QPushButton(QStringLiteral("Excluir Todos"), gbProdutos_);
  for (QPushButton* b : {btnInserir, btnAlterar, btnExcluir, btnTodos}) bp->addWidget(b);
  bp->addStretch(1);
  vp->addLayout(bp);
  raiz->addWidget(gbProdutos_, 1);

  auto* bs = new QHBoxLayout;
  auto* btnSalvar = new QPushButton(QStringLiteral("Salvar Nota Fiscal"), this);
  auto* btnCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
  // Cancel may undo the CNPJ being typed, so clicking it leaves the focus where it is.
  btnCancelar->setFocusPolicy(Qt::NoFocus);
  bs->addStretch(1);
  bs->addWidget(btnSalvar);
  bs->addWidget(btnCancelar);
  raiz->addLayout(bs);

  connect(btnSalvar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Salvar(); }); });
  connect(btnCancelar, &QPushButton::clicked, this, [this] { Cancelar(); });
  connect(btnInserir, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { InserirProduto(); }); });
  connect(btnAlterar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { AlterarProduto(); }); });
  connect(grdProdutos_, &QTableView::doubleClicked, this,
          [this] { Protegido(this, [this] { AlterarProduto(); }); });
  connect(btnExcluir, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { ExcluirProduto(); }); });
  connect(btnTodos, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { ExcluirTodos(); }); });
  for (QLineEdit* e :
       {static_cast<QLineEdit*>(edtCNPJ_), edtIE_, static_cast<QLineEdit*>(edtSerie_),
        static_cast<QLineEdit*>(edtNumero_), static_cast<QLineEdit*>(edtCFOP_),
        static_cast<QLineEdit*>(edtIsento_), static_cast<QLineEdit*>(edtOutros_)})
    connect(e, &QLineEdit::textEdited, this, [this] { setAlterado(true); });
  connect(cmbModelo_, &QComboBox::activated, this, [this] { ModeloEscolhido(); });
  connect(cmbTipoSerie_, &QComboBox::activated, this, [this] {
    AjustaSerie();
    setAlterado(true);
  });
  for (QComboBox* c : {cmbEstado_, cmbEmitente_})
    connect(c, &QComboBox::activated, this, [this] { setAlterado(true); });
  connect(dtEmissao_, &QDateEdit::userDateChanged, this, [this] { setAlterado(true); });
  for (QObject* o : {static_cast<QObject*>(edtCNPJ_), static_cast<QObject*>(edtIE_),
                     static_cast<QObject*>(edtIsento_), static_cast<QObject*>(edtOutros_)})
    o->installEventFilter(this);

  modeloItens_->Segue(&principal_.dm().tProdutoNota);
  Limpa();
  setAlterado(false);
}

TfrmNotaFiscal::~TfrmNotaFiscal() {
  modeloItens_->Segue(nullptr);
}

void TfrmNotaFiscal::Limpa() {
  for (QLineEdit* e :
       {static_cast<QLineEdit*>(edtCNPJ_), edtIE_, static_cast<QLineEdit*>(edtSerie_),
        static_cast<QLineEdit*>(edtNumero_), static_cast<QLineEdit*>(edtCFOP_)})
    e->clear();
  for (QLineEdit* e : {edtValorTotal_, edtBaseICMS_, edtValorICMS_}) e->setText("0,00");
  edtIsento_->MostraArmazenado("");
  edtOutros_->MostraArmazenado("");
  cmbEstado_->setCurrentIndex(-1);
  cmbModelo_->setCurrentIndex(-1);
  cmbEmitente_->setCurrentIndex(-1);
  cmbTipoSerie_->setCurrentIndex(0);
  numeroModelo_ = 0;
  aliquota_.clear();
  AjustaSerie();
  dtEmissao_->setDate(ParaQDate(Hoje()));
  chave_ = 0;
}

void TfrmNotaFiscal::AjustaSerie() {
  const bool unica = cmbTipoSerie_->currentIndex() == 1;
  edtSerie_->unica = unica;
  edtSerie_->modelo01 = numeroModelo_ == 1;
  edtSerie_->setMaxLength(unica ? 2 : 3);
}

void TfrmNotaFiscal::ModeloEscolhido() {
  numeroModelo_ = NumeroModelo(cmbModelo_->currentText().toStdString());
  AjustaSerie();
  setAlterado(true);
}

void TfrmNotaFiscal::Carrega(const store::RowSet& r, int linha) {
  auto v = [&](const char* campo) {
    std::string s = r.at(linha, campo);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return QString::fromStdString(s);
  };
  chave_ = static_cast<int>(r.integer(linha, "ID_NOTA"));
  edtCNPJ_->MostraDigitos(v("TX_CNPJ"));
  edtIE_->setText(v("TX_IE"));
  const Serie s = LeSerie(v("TX_SERIE").toStdString());
  cmbTipoSerie_->setCurrentIndex(s.unica ? 1 : 0);
  numeroModelo_ = static_cast<int>(r.integer(linha, "NB_MODELO"));
  cmbModelo_->setCurrentIndex(
      cmbModelo_->findText(QString::fromStdString(TextoModelo(numeroModelo_))));
  AjustaSerie();
  edtSerie_->setText(QString::fromStdString(s.texto));
  edtNumero_->setText(v("NB_NOTA"));
  edtCFOP_->setText(v("NB_CFOP"));
  edtValorTotal_->setText(
      QString::fromStdString(store::FormataCasasDecimais(v("TX_VALOR_TOTAL").toStdString(), 2)));
  edtBaseICMS_->setText(
      QString::fromStdString(store::FormataCasasDecimais(v("TX_BASE_ICMS").toStdString(), 2)));
  edtValorICMS_->setText(
      QString::fromStdString(store::FormataCasasDecimais(v("TX_VALOR_ICMS").toStdString(), 2)));
  edtIsento_->MostraArmazenado(v("TX_VALOR_ISENTO").toStdString());
  edtOutros_->MostraArmazenado(v("TX_OUTROS_VALORES").toStdString());
  aliquota_ = v("TX_ALIQUOTA").toStdString();
  cmbEmitente_->setCurrentIndex(cmbEmitente_->findText(v("TX_EMITENTE")));
  cmbEstado_->setCurrentIndex(cmbEstado_->findText(v("TX_UF")));
  dtEmissao_->setDate(ParaQDate(r.date(linha, "DT_EMISSAO")));
  setAlterado(false);
}

void TfrmNotaFiscal::showEvent(QShowEvent* e) {
  JanelaEmbutida::showEvent(e);
  Protegido(this, [this] { RecalculaTotais(); });
}

void TfrmNotaFiscal::mousePressEvent(QMouseEvent* e) {
  JanelaEmbutida::mousePressEvent(e);
  Protegido(this, [this] { RecalculaTotais(); });
}

void TfrmNotaFiscal::RecalculaTotais() {
  store::Query& q = principal_.dm().tProdutoNota;
  q.Close();
  q.SetParam("idNota", std::int64_t{chave_});
  q.Open();
  const store::RowSet& r = q.Rows();
  lblNumProdutos_->setText(QStringLiteral("Número de Produtos: %1").arg(r.size()));
  gbProdutos_->setEnabled(false);
  std::vector<ValoresItem> itens;
  itens.reserve(r.size());
  auto v = [&](std::size_t i, const char* c) {
    std::string s = r.at(i, c);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  };
  for (std::size_t i = 0; i < r.size(); ++i)
    itens.push_back({v(i, "TX_BASE_ICMS"), v(i, "TX_VALOR_DESCONTO"), v(i, "TX_VALOR_IPI"),
                     v(i, "TX_BASE_SUBSTITUICAO"), v(i, "TX_ALIQUOTA")});
  const Totais t = CalculaTotais(itens, edtIsento_->Armazenado(), edtOutros_->Armazenado());
  if (!itens.empty()) aliquota_ = t.aliquota;
  edtValorICMS_->setText(QString::fromStdString(TextoCentavos(*Centavos(t.valor_icms))));
  edtBaseICMS_->setText(QString::fromStdString(TextoCentavos(*Centavos(t.base_icms))));
  edtValorTotal_->setText(QString::fromStdString(TextoCentavos(*Centavos(t.valor_total))));
  if (!r.empty()) grdProdutos_->selectRow(0);
  gbProdutos_->setEnabled(true);
}

bool TfrmNotaFiscal::ConfereCNPJ() {
  const QString cnpj = edtCNPJ_->Digitos();
  if (cnpj.isEmpty()) return true;
  if (!ValidaCNPJ(cnpj.toStdString())) {
    msg::CNPJInvalido(this);
    return false;
  }
  store::TProprietario dono;
  if (dono.Carregar() && dono.TX_CNPJ == cnpj.toStdString()) {
    dialogos().Mensagem(this, QStringLiteral("Erro!"), QString::fromUtf8(kCNPJDoDeclarante),
                        Icone::Erro);
    return false;
  }
  return true;
}

bool TfrmNotaFiscal::ConfereIE() {
  // An empty IE is no one's: comparing it with an owner without one would trap the user.
  const std::string ie = edtIE_->text().toStdString();
  if (ie.empty()) return true;
  store::TProprietario dono;
  if (dono.Carregar() && dono.TX_IE == ie) {
    dialogos().Mensagem(this, QStringLiteral("Erro!"), QString::fromUtf8(kCNPJDoDeclarante),
                        Icone::Erro);
    return false;
  }
  return true;
}

bool TfrmNotaFiscal::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::FocusOut && !validando_ && isVisible()) {
    if (o == edtIsento_ || o == edtOutros_) {
      // After the edit has put its display form back.
      QTimer::singleShot(0, this, [this] { Protegido(this, [this] { RecalculaTotais(); }); });
    } else if (o == edtCNPJ_ || o == edtIE_) {
      validando_ = true;
      bool ok = true;
      Protegido(this, [&] { ok = o == edtCNPJ_ ? ConfereCNPJ() : ConfereIE(); });
      if (!ok) {
        auto* w = static_cast<QWidget*>(o);
        QTimer::singleShot(0, w, [w] { w->setFocus(); });
      }
      validando_ = false;
    }
  }
  return JanelaEmbutida::eventFilter(o, e);
}

store::TNotaFiscal TfrmNotaFiscal::Monta() {
  store::TNotaFiscal n;
  n.ID_NOTA = chave_;
  n.TX_CNPJ = edtCNPJ_->Digitos().toStdString();
  n.TX_IE = edtIE_->text().trimmed().toStdString();
  n.TX_UF = cmbEstado_->currentText().toStdString();
  const QDate d = dtEmissao_->date();
  n.DT_EMISSAO = store::Date{d.year(), d.month(), d.day()};
  n.TX_SERIE =
      SerieArmazenada({cmbTipoSerie_->currentIndex() == 1, edtSerie_->text().toStdString()});
  n.NB_NOTA = Inteiro(edtNumero_->text());
  n.NB_CFOP = Inteiro(edtCFOP_->text());
  n.NB_MODELO = numeroModelo_;
  n.TX_EMITENTE = cmbEmitente_->currentText().toStdString();
  n.TX_VALOR_TOTAL = store::RemoveCasasDecimais(edtValorTotal_->text().toStdString());
  n.TX_BASE_ICMS = store::RemoveCasasDecimais(edtBaseICMS_->text().toStdString());
  n.TX_VALOR_ICMS = store::RemoveCasasDecimais(edtValorICMS_->text().toStdString());
  n.TX_VALOR_ISENTO = edtIsento_->Armazenado();
  n.TX_OUTROS_VALORES = edtOutros_->Armazenado();
  n.TX_ALIQUOTA = aliquota_;
  n.TX_SITUACAO = "N";
  return n;
}

bool TfrmNotaFiscal::Grava(store::TNotaFiscal& n) {
  bool ok = n.ID_NOTA <= 0 ? n.Inserir() : n.Alterar();
  if (ok) chave_ = n.ID_NOTA;
  return ok;
}

void TfrmNotaFiscal::Salvar() {
  RecalculaTotais();
  if (!msg::ConfirmaSalvar(this, QStringLiteral("os dados da Nota Fiscal"))) return;
  const std::pair<QWidget*, QString> obrigatorios[] = {{edtCNPJ_, edtCNPJ_->Digitos()},
                                                       {edtIE_, edtIE_->text().trimmed()},
                                                       {edtNumero_, edtNumero_->text().trimmed()},
                                                       {edtCFOP_, edtCFOP_->text().trimmed()},
                                                       {edtIsento_, edtIsento_->text().trimmed()},
                                                       {edtOutros_, edtOutros_->text().trimmed()},
                                                       {cmbEstado_, cmbEstado_->currentText()},
                                                       {cmbModelo_, cmbModelo_->currentText()},
                                                       {cmbEmitente_, cmbEmitente_->currentText()}};
  const char* const rotulos[] = {"CNPJ",         "Inscrição Estadual", "Número", "CFOP",
                                 "Valor Isento", "Outros Valores",     "Estado", "Modelo",
                                 "Emitente"};
  for (std::size_t i = 0; i < std::size(obrigatorios); ++i) {
    if (CampoObrigatorio(this, obrigatorios[i].second, QString::fromUtf8(rotulos[i]))) {
      obrigatorios[i].first->setFocus();
      return;
    }
  }
  // Leaving the fields checks them, but a save may come without leaving them.
  if (!ConfereCNPJ()) {
    edtCNPJ_->setFocus();
    return;
  }
  if (!ConfereIE() || !msg::IeConfere(this, edtIE_->text(), cmbEstado_->currentText())) {
    edtIE_->setFocus();
    return;
  }
  // A paste passes the key filter: a number that is not one is not stored as 0.
  for (QLineEdit* e : {static_cast<QLineEdit*>(edtNumero_), static_cast<QLineEdit*>(edtCFOP_)}) {
    if (!SaoDigitos(e->text().trimmed().toStdString())) {
      msg::CampoInvalido(this, e);
      e->setFocus();
      return;
    }
  }
  for (NumericoEdit* n : {edtIsento_, edtOutros_}) {
    if (!n->Valido()) {
      msg::CampoInvalido(this, n);
      n->setFocus();
      return;
    }
  }
  store::TNotaFiscal n = Monta();
  const bool novo = n.ID_NOTA <= 0;
  const bool ok = Grava(n);
  if (!ok) {
    principal_.GravaLog(
        store::LinhaFalha(novo ? "spInserirNotaFiscal: " : "spAlterarNotaFiscal: "));
    msg::Falha(this);
    return;
  }
  if (!novo) {
    principal_.GravaLog(store::LinhaSucesso("spAlterarNotaFiscal: "));
    msg::Sucesso(this);
    setAlterado(false);
    if (aoFechar) aoFechar();
    return;
  }
  principal_.GravaLog(store::LinhaSucesso("spInserirNotaFiscal:"));
  if (dialogos().Pergunta(this, QStringLiteral("Novo(a)?"),
                          QStringLiteral("Operação realizada com sucesso!\nVocê deseja cadastrar "
                                         "%1 ?")
                              .arg(QStringLiteral("uma nova nota")))) {
    Limpa();
    setAlterado(false);
    RecalculaTotais();
  } else {
    setAlterado(false);
    if (aoFechar) aoFechar();
  }
}

void TfrmNotaFiscal::Cancelar() {
  setAlterado(false);
  if (edtCNPJ_->hasFocus()) {
    edtCNPJ_->undo();
    return;
  }
  if (aoFechar) aoFechar();
}

int TfrmNotaFiscal::ItemAtual() const {
  QModelIndex i = grdProdutos_->currentIndex();
  if (i.isValid()) return i.row();
  return modeloItens_->rowCount() > 0 ? 0 : -1;
}

void TfrmNotaFiscal::InserirProduto() {
  if (chave_ == 0 && !msg::ConfirmaSalvar(this, QStringLiteral("os dados da Nota Fiscal"))) return;
  // An invalid CNPJ or the owner's is not stored, even on the way to the items.
  if (!ConfereCNPJ()) {
    edtCNPJ_->setFocus();
    return;
  }
  store::TNotaFiscal n = Monta();
  if (Grava(n)) {
    if (abreItem) abreItem(chave_, nullptr, -1);
  } else {
    msg::FalhaConsulta(this);
  }
  RecalculaTotais();
}

void TfrmNotaFiscal::AlterarProduto() {
  const store::Query& q = principal_.dm().tProdutoNota;
  int linha = ItemAtual();
  if (!q.Active() || linha < 0 || linha >= static_cast<int>(q.Rows().size())) return;
  if (abreItem) abreItem(chave_, &q.Rows(), linha);
  RecalculaTotais();
}

void TfrmNotaFiscal::ExcluirProduto() {
  const store::Query& q = principal_.dm().tProdutoNota;
  int linha = ItemAtual();
  if (!q.Active() || linha < 0 || linha >= static_cast<int>(q.Rows().size())) return;
  if (!msg::ConfirmaExcluir(this, QStringLiteral("o produto"))) return;
  store::TProdutoNotaFiscal item;
  item.ID_PRODUTO = static_cast<int>(q.Rows().integer(linha, "ID_PRODUTO"));
  item.ID_NOTA = chave_;
  const std::string prefixo = "spExcluirProdutoNota - id:" + std::to_string(item.ID_PRODUTO);
  grdProdutos_->setEnabled(false);
  const bool ok = item.Excluir();
  grdProdutos_->setEnabled(true);
  RecalculaTotais();
  if (ok) {
    principal_.GravaLog(store::LinhaSucesso(prefixo));
    msg::Sucesso(this);
  } else {
    principal_.GravaLog(store::LinhaFalha(prefixo));
    msg::Falha(this);
  }
}

void TfrmNotaFiscal::ExcluirTodos() {
  if (!msg::ConfirmaExcluir(this, QStringLiteral("todos os produtos"))) return;
  store::TProdutoNotaFiscal item;
  item.ID_NOTA = chave_;
  const bool ok = item.ExcluirTodos();
  if (ok) {
    principal_.GravaLog(store::LinhaSucesso("spExcluirTodosProdutoNota:"));
    msg::Sucesso(this);
  } else {
    principal_.GravaLog(store::LinhaFalha("spExcluirTodosProdutoNota:"));
    msg::Falha(this);
  }
  RecalculaTotais();
}

}  // namespace shell
