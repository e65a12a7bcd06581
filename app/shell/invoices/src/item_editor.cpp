#include "shell/invoices/item_editor.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <optional>
#include <utility>

#include "shell/editors/product_search.h"
#include "shell/invoices/invoice_rules.h"
#include "shell/invoices/product_dialog.h"
#include "shell/widgets/calculos.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/edits.h"
#include "shell/widgets/principal.h"
#include "shell/widgets/validacoes.h"
#include "store/conversions.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace shell {

std::function<int(QDialog&)> TfrmProdutoNota::Executa = [](QDialog& d) { return d.exec(); };

namespace {

// A whole number of a text; 0 when it is not one.
long long Inteiro(const std::string& s) {
  if (!SaoDigitos(s) || s.size() > 17) return 0;
  return std::stoll(s);
}

NumericoEdit* Numerico(int casas, int digitos, QWidget* pai) {
  auto* e = new NumericoEdit(casas, pai);
  // Room for the comma of the display form, so leaving the edit never cuts a digit.
  e->setMaxLength(digitos + 1);
  e->setProperty("digitos", digitos);
  return e;
}

}  // namespace

TfrmProdutoNota::TfrmProdutoNota(Principal& principal, int idNota, QWidget* pai)
    : JanelaEmbutida(principal, QStringLiteral("Cadastro de Protuto para a Nota Fiscal"), 6, pai),
      idNota_(idNota),
      edtItem_(new DigitosEdit(this)),
      edtCodigo_(new QLineEdit(this)),
      btnProcura_(new QPushButton(QStringLiteral("..."), this)),
      edtDescricao_(new QLineEdit(this)),
      edtQuantidade_(Numerico(3, 11, this)),
      edtCST_(new DigitosEdit(this)),
      edtValorItem_(Numerico(2, 12, this)),
      edtDesconto_(Numerico(2, 12, this)),
      edtSubstituicao_(Numerico(2, 12, this)),
      edtIPI_(Numerico(2, 12, this)),
      edtAliquota_(Numerico(2, 4, this)) {
  edtItem_->setMaxLength(3);
  edtCodigo_->setMaxLength(14);
  edtDescricao_->setMaxLength(300);
  edtCST_->setMaxLength(3);
  btnProcura_->setToolTip(QStringLiteral("Procura por um produto"));
  Esvazia();
  PropoeNumero();

  auto* raiz = new QVBoxLayout(this);
  auto* caixa = new QGroupBox(QStringLiteral("Dados dos Produtos"), this);
  auto* g = new QGridLayout(caixa);
  int l = 0;
  auto par = [&](const QString& r, QWidget* w, int coluna) {
    auto* rotulo = new QLabel(r, caixa);
    rotulo->setBuddy(w);  // the messages about a field name it by this label
    g->addWidget(rotulo, l, coluna);
    g->addWidget(w, l, coluna + 1);
  };
  par(QStringLiteral("Nº do Item"), edtItem_, 0);
  auto* codigo = new QHBoxLayout;
  codigo->addWidget(edtCodigo_, 1);
  codigo->addWidget(btnProcura_);
  auto* rotuloCodigo = new QLabel(QStringLiteral("Código"), caixa);
  rotuloCodigo->setBuddy(edtCodigo_);
  g->addWidget(rotuloCodigo, l, 2);
  g->addLayout(codigo, l, 3);
  ++l;
  auto* rotuloDescricao = new QLabel(QStringLiteral("Descrição"), caixa);
  rotuloDescricao->setBuddy(edtDescricao_);
  g->addWidget(rotuloDescricao, l, 0);
  g->addWidget(edtDescricao_, l, 1, 1, 3);
  ++l;
  par(QStringLiteral("Quantidade"), edtQuantidade_, 0);
  par(QStringLiteral("Cod. Situação Tributária (CST)"), edtCST_, 2);
  ++l;
  par(QStringLiteral("Valor do Item"), edtValorItem_, 0);
  par(QStringLiteral("Valor do Desconto"), edtDesconto_, 2);
  ++l;
  par(QStringLiteral("Base de Calc. ICMS para Substi. Tributária"), edtSubstituicao_, 0);
  par(QStringLiteral("Valor do IPI"), edtIPI_, 2);
  ++l;
  par(QStringLiteral("Alíquota de ICMS (%)"), edtAliquota_, 0);
  g->setColumnStretch(3, 1);
  raiz->addWidget(caixa);
  auto* b = new QHBoxLayout;
  auto* btnSalvar = new QPushButton(QStringLiteral("Salvar"), this);
  auto* btnCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
  b->addStretch(1);
  b->addWidget(btnSalvar);
  b->addWidget(btnCancelar);
  raiz->addLayout(b);
  raiz->addStretch(1);

  connect(btnSalvar, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Salvar(); }); });
  connect(btnCancelar, &QPushButton::clicked, this, [this] { Cancelar(); });
  connect(btnProcura_, &QPushButton::clicked, this,
          [this] { Protegido(this, [this] { Procura(); }); });
  for (QLineEdit* e :
       {static_cast<QLineEdit*>(edtItem_), edtCodigo_, edtDescricao_,
        static_cast<QLineEdit*>(edtQuantidade_), static_cast<QLineEdit*>(edtCST_),
        static_cast<QLineEdit*>(edtValorItem_), static_cast<QLineEdit*>(edtDesconto_),
        static_cast<QLineEdit*>(edtSubstituicao_), static_cast<QLineEdit*>(edtIPI_),
        static_cast<QLineEdit*>(edtAliquota_)})
    connect(e, &QLineEdit::textEdited, this, [this] {
      setAlterado(true);
      if (aoAlterar) aoAlterar();
    });
  edtCodigo_->installEventFilter(this);
}

void TfrmProdutoNota::showEvent(QShowEvent* e) {
  JanelaEmbutida::showEvent(e);
  edtItem_->setFocus();
}

bool TfrmProdutoNota::eventFilter(QObject* o, QEvent* e) {
  if (o == edtCodigo_ && e->type() == QEvent::FocusOut && isVisible())
    Protegido(this, [this] { BuscaCodigo(); });
  return JanelaEmbutida::eventFilter(o, e);
}

void TfrmProdutoNota::Esvazia() {
  for (QLineEdit* e : {static_cast<QLineEdit*>(edtItem_), edtCodigo_, edtDescricao_,
                       static_cast<QLineEdit*>(edtCST_)})
    e->clear();
  edtQuantidade_->MostraArmazenado("");
  for (NumericoEdit* n : {edtValorItem_, edtDesconto_, edtSubstituicao_, edtIPI_, edtAliquota_})
    n->MostraArmazenado("");
}

void TfrmProdutoNota::Carrega(const store::RowSet& r, int linha) {
  auto v = [&](const char* campo) {
    std::string s = r.at(linha, campo);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  };
  idItem_ = static_cast<int>(r.integer(linha, "ID_PRODUTO"));
  idNota_ = static_cast<int>(r.integer(linha, "ID_NOTA"));
  codigoGravado_ = v("CD_PRODUTO");
  quantidadeGravada_ = v("TX_QUANTIDADE");
  edtCodigo_->setText(QString::fromStdString(codigoGravado_));
  edtItem_->setText(QString::number(r.integer(linha, "NB_ITEM")));
  edtDescricao_->setText(QString::fromStdString(v("TX_DESCRICAO")));
  edtQuantidade_->MostraArmazenado(quantidadeGravada_);
  edtCST_->setText(QStringLiteral("%1").arg(r.integer(linha, "NB_CST"), 3, 10, QLatin1Char('0')));
  edtValorItem_->MostraArmazenado(v("TX_VALOR_ITEM"));
  edtDesconto_->MostraArmazenado(v("TX_VALOR_DESCONTO"));
  edtSubstituicao_->MostraArmazenado(v("TX_BASE_SUBSTITUICAO"));
  edtAliquota_->MostraArmazenado(v("TX_ALIQUOTA"));
  edtIPI_->MostraArmazenado(v("TX_VALOR_IPI"));
  setAlterado(false);
}

void TfrmProdutoNota::BuscaCodigo() {
  const std::string codigo = edtCodigo_->text().trimmed().toStdString();
  if (codigo.empty()) return;
  store::TProduto p;
  if (!p.BuscaPorCodigo(codigo)) return;
  edtCodigo_->setText(QString::fromStdString(p.CD_PRODUTO).trimmed());
  edtDescricao_->setText(QString::fromStdString(p.TX_DESCRICAO));
  edtValorItem_->clear();
  edtQuantidade_->clear();
  edtAliquota_->MostraArmazenado(p.TX_ALIQUOTA);
}

void TfrmProdutoNota::Procura() {
  TfrmLocalizarProduto dlg(principal_.dm(), this);
  if (Executa(dlg) != QDialog::Accepted) return;
  edtCodigo_->setText(QString::fromStdString(dlg.codigo()));
  BuscaCodigo();
  setAlterado(true);
  if (aoAlterar) aoAlterar();
}

void TfrmProdutoNota::Cancelar() {
  setAlterado(false);
  Fecha();
}

void TfrmProdutoNota::Fecha() {
  if (aoFechar) aoFechar();
}

std::vector<std::pair<int, int>> TfrmProdutoNota::ItensDaNota() const {
  store::Query q("qNumerosDosItens", principal_.dm().trDados,
                 "select ID_PRODUTO, NB_ITEM from PRODUTO_NOTA where ID_NOTA = :idNota");
  q.SetParam("idNota", std::int64_t{idNota_});
  q.Open();
  std::vector<std::pair<int, int>> itens;
  const store::RowSet& r = q.Rows();
  for (std::size_t i = 0; i < r.size(); ++i)
    itens.emplace_back(static_cast<int>(r.integer(i, "ID_PRODUTO")),
                       static_cast<int>(r.integer(i, "NB_ITEM")));
  return itens;
}

void TfrmProdutoNota::PropoeNumero() {
  std::vector<int> usados;
  try {
    for (auto [chave, numero] : ItensDaNota()) usados.push_back(numero);
  } catch (const std::exception&) {
    return;  // the save checks the number again and says what is wrong
  }
  if (std::optional<int> n = ProximoNumeroItem(usados)) edtItem_->setText(QString::number(*n));
}

bool TfrmProdutoNota::NumeroLivre() {
  const long long numero = Inteiro(edtItem_->text().trimmed().toStdString());
  std::vector<int> usados;
  bool repetido = false;
  for (auto [chave, n] : ItensDaNota()) {
    // A changed item keeps its own number.
    if (chave == idItem_) continue;
    usados.push_back(n);
    if (n == numero) repetido = true;
  }
  if (!repetido) return true;
  QString texto = QStringLiteral(
                      "A nota fiscal já tem um item com o Nº do Item %1. Dois itens "
                      "de uma nota não podem ter o mesmo número.")
                      .arg(numero);
  if (std::optional<int> livre = ProximoNumeroItem(usados))
    texto += QStringLiteral("\nO próximo número livre é %1.").arg(*livre);
  dialogos().Mensagem(this, QStringLiteral("Nº do Item repetido"), texto, Icone::Aviso);
  edtItem_->setFocus();
  edtItem_->selectAll();
  return false;
}

bool TfrmProdutoNota::Valida() {
  if (CampoObrigatorio(this, edtItem_->text().trimmed(), QStringLiteral("Nº do Item"))) {
    edtItem_->setFocus();
    return false;
  }
  const bool aliquotaVazia = edtAliquota_->text().trimmed().isEmpty();
  const bool stVazia = edtSubstituicao_->text().trimmed().isEmpty();
  const long long aliquota = Inteiro(edtAliquota_->Armazenado());
  const long long st = Inteiro(edtSubstituicao_->Armazenado());
  if ((aliquotaVazia && stVazia) || (aliquotaVazia && st == 0)) {
    CampoObrigatorio(this, QString(), QStringLiteral("Alíquota de ICMS (%)"));
    edtAliquota_->setFocus();
    return false;
  }
  if (stVazia && aliquota == 0) {
    CampoObrigatorio(this, QString(), QStringLiteral("Base de Calc. ICMS para Substi. Tributária"));
    edtSubstituicao_->setFocus();
    return false;
  }
  if (st > 0 && aliquota > 0) {
    dialogos().Mensagem(
        this,
        QStringLiteral(
            "Valor inválido para esse campo. Entre com um valor válido ou deixe-o em branco."),
        QStringLiteral("Não é permitido um item ter mais de um tipo de tributação.\nPor favor, "
                       "corriga o valor da Alíquota de ICMS ou o valor de Base de Cálculo da "
                       "Substituição Tributária"),
        Icone::Aviso);
    edtSubstituicao_->setFocus();
    return false;
  }
  const std::pair<QLineEdit*, const char*> obrigatorios[] = {
      {edtDesconto_, "Valor do Desconto"},
      {edtCodigo_, "Código"},
      {edtDescricao_, "Descrição"},
      {edtQuantidade_, "Quantidade"},
      {edtCST_, "Cod. Situação Tributária (CST)"},
      {edtValorItem_, "Valor do Item"},
      {edtIPI_, "Valor do IPI"}};
  for (auto [e, rotulo] : obrigatorios) {
    if (CampoObrigatorio(this, e->text().trimmed(), QString::fromUtf8(rotulo))) {
      e->setFocus();
      return false;
    }
  }
  // A paste passes the key filter: what is not a number, or does not fit its column,
  // is refused here rather than stored as 0 or cut.
  for (QLineEdit* e : {static_cast<QLineEdit*>(edtItem_), static_cast<QLineEdit*>(edtCST_)}) {
    if (!SaoDigitos(e->text().trimmed().toStdString())) {
      msg::CampoInvalido(this, e);
      e->setFocus();
      return false;
    }
  }
  for (NumericoEdit* n :
       {edtQuantidade_, edtValorItem_, edtDesconto_, edtSubstituicao_, edtIPI_, edtAliquota_}) {
    std::string s = n->Armazenado();
    while (s.size() > 1 && s[0] == '0') s.erase(0, 1);
    if (!n->Valido() || static_cast<int>(s.size()) > n->property("digitos").toInt()) {
      msg::CampoInvalido(this, n);
      n->setFocus();
      return false;
    }
  }
  return NumeroLivre();
}

bool TfrmProdutoNota::AcompanhaInventario(const store::TProduto& p) {
  if (!p.CS_CONTROLA_ESTOQUE) return true;
  store::TProprietario dono;
  if (!dono.Carregar()) return false;
  store::TInventario inv;
  const std::string valor = ValorProduto(p.TX_QUANTIDADE, p.TX_VALOR_UNITARIO).value_or("000");
  if (inv.BuscaPorProduto(p.ID_PRODUTO)) {
    inv.QUANTIDADE = p.TX_QUANTIDADE;
    inv.VALOR_PRODUTO = valor;
    return inv.Alterar();
  }
  inv.DATA_INVENTARIO = Hoje();
  inv.ID_PRODUTO = p.ID_PRODUTO;
  inv.QUANTIDADE = p.TX_QUANTIDADE;
  inv.VALOR_PRODUTO = valor;
  inv.CODIGO_POSSE = 1;
  inv.CNPJ_POSS_PROP = dono.TX_CNPJ;
  inv.IE_POSS_PROP = dono.TX_IE;
  inv.UF_POSSPROP = dono.TX_ESTADO;
  return inv.Inserir();
}

store::TProduto TfrmProdutoNota::PreparaProduto() {
  store::TProduto p;
  p.CD_PRODUTO = edtCodigo_->text().trimmed().toStdString();
  p.TX_DESCRICAO = edtDescricao_->text().toStdString();
  p.TX_VALOR_UNITARIO = "000";
  p.TX_PRECO_COMPRA = edtValorItem_->Armazenado();
  p.TX_ALIQUOTA = edtAliquota_->Armazenado();
  p.TX_TIPO_ALIQUOTA = "ICMS";
  p.TX_QUANTIDADE = edtQuantidade_->Armazenado();
  const std::string codigo = p.CD_PRODUTO;
  if (p.BuscaPorCodigo(codigo)) return p;
  dialogos().Mensagem(this, QStringLiteral("Inserir produto"),
                      QStringLiteral("O produto %1 não existe na base de dados. Por favor "
                                     "preencha os dados do produto.")
                          .arg(QString::fromStdString(codigo)),
                      Icone::Nenhum);
  p.ID_PRODUTO = 0;
  // Cancel keeps the values prepared from the item: the product is registered anyway.
  TfrmInsereProduto dlg(p, this);
  Executa(dlg);
  return p;
}

void TfrmProdutoNota::RegistraProduto(store::TProduto p, long long acrescimo,
                                      std::vector<QString>& erros) {
  const QString erroInventario =
      QStringLiteral("Ocorreu um erro na insersão do Inventáro para o produto.");
  if (p.ID_PRODUTO < 1) {
    // A new product starts with the dialog's quantity: the item's is in it already.
    if (p.Inserir() && p.CS_CONTROLA_ESTOQUE) {
      store::TProduto achado;
      if (!achado.BuscaPorCodigo(p.CD_PRODUTO) || !AcompanhaInventario(achado))
        erros.push_back(erroInventario);
    }
    return;
  }
  if (p.CS_CONTROLA_ESTOQUE) p.TX_QUANTIDADE = std::to_string(Inteiro(p.TX_QUANTIDADE) + acrescimo);
  if (p.Alterar() && !AcompanhaInventario(p)) erros.push_back(erroInventario);
}

void TfrmProdutoNota::Salvar() {
  if (!msg::ConfirmaSalvar(this, QStringLiteral("o produto"))) return;
  if (!Valida()) return;
  store::TProdutoNotaFiscal item;
  item.ID_PRODUTO = idItem_;
  item.NB_ITEM = static_cast<int>(Inteiro(edtItem_->text().trimmed().toStdString()));
  item.TX_QUANTIDADE = edtQuantidade_->Armazenado();
  item.NB_CST = static_cast<int>(Inteiro(edtCST_->text().trimmed().toStdString()));
  item.CD_PRODUTO = edtCodigo_->text().trimmed().toStdString();
  item.TX_DESCRICAO = edtDescricao_->text().toStdString();
  item.TX_VALOR_ITEM = edtValorItem_->Armazenado();
  item.TX_VALOR_DESCONTO = edtDesconto_->Armazenado();
  item.TX_ALIQUOTA = edtAliquota_->Armazenado();
  item.TX_BASE_SUBSTITUICAO = edtSubstituicao_->Armazenado();
  item.TX_VALOR_IPI = edtIPI_->Armazenado();
  item.TX_BASE_ICMS = ValorProduto(item.TX_QUANTIDADE, item.TX_VALOR_ITEM).value_or("000");
  item.ID_NOTA = idNota_;
  const bool novo = item.ID_PRODUTO < 1;
  // The stock grows by what this save adds: the whole quantity for a new item or another
  // product, the difference for a changed quantity of the same product.
  long long acrescimo = Inteiro(item.TX_QUANTIDADE);
  if (!novo && item.CD_PRODUTO == codigoGravado_) acrescimo -= Inteiro(quantidadeGravada_);
  const std::string prefixoAlterar = "spAlterarProdutoNota - id: " + std::to_string(idItem_);
  auto mostraErro = [this](const std::string& texto) {
    principal_.GravaLog(texto);
    dialogos().Mensagem(this, QStringLiteral("Erro!"), QString::fromStdString(texto), Icone::Erro);
  };

  // Everything the user is asked comes before the first write, so no write waits on him.
  store::TProduto produto = PreparaProduto();

  // The item, its product and the product's inventory row are committed together: a
  // process that dies half-way leaves none of them, never an item without its stock.
  std::vector<QString> errosProduto;
  std::string erroProduto;
  try {
    store::WriteGroup grupo(principal_.dm().trDados);
    // The item is written first: a product's stock is raised only for an item that is saved.
    try {
      if (!(novo ? item.Inserir() : item.Alterar())) {
        principal_.GravaLog(store::LinhaFalha(prefixoAlterar));
        msg::Falha(this);
        return;
      }
    } catch (const store::TEBancoDados& e) {
      mostraErro(e.MensagemCom(item.CD_PRODUTO));
      return;
    }
    // A product that cannot be written does not stop the item.
    try {
      RegistraProduto(produto, acrescimo, errosProduto);
    } catch (const store::TEBancoDados& e) {
      erroProduto = e.MensagemCom(item.CD_PRODUTO);
    }
    grupo.Commit();
  } catch (const store::DatabaseError& e) {
    principal_.GravaLog(
        store::LinhaFalha(novo ? "spInserirProdutoNota: " : prefixoAlterar, e.what()));
    msg::Falha(this);
    return;
  }
  if (!erroProduto.empty()) mostraErro(erroProduto);
  for (const QString& e : errosProduto)
    dialogos().Mensagem(this, QStringLiteral("Erro!"), e, Icone::Erro);
  codigoGravado_ = item.CD_PRODUTO;
  quantidadeGravada_ = item.TX_QUANTIDADE;
  principal_.GravaLog(store::LinhaSucesso(novo ? "spInserirProdutoNota:" : prefixoAlterar));
  if (dialogos().Pergunta(this, QStringLiteral("Sucesso!"),
                          QStringLiteral("Operação realizada com sucesso!\nVocê deseja cadastrar "
                                         "%1 ?")
                              .arg(QStringLiteral("outro produto")))) {
    const long long numero = Inteiro(edtItem_->text().trimmed().toStdString());
    idItem_ = 0;
    codigoGravado_.clear();
    quantidadeGravada_.clear();
    Esvazia();
    for (QLineEdit* e :
         {static_cast<QLineEdit*>(edtQuantidade_), static_cast<QLineEdit*>(edtValorItem_),
          static_cast<QLineEdit*>(edtDesconto_), static_cast<QLineEdit*>(edtSubstituicao_),
          static_cast<QLineEdit*>(edtIPI_), static_cast<QLineEdit*>(edtAliquota_)})
      e->clear();
    edtItem_->setText(QString::number(numero));
    // Another item gets another number: two items of one number make the month's
    // file one the state refuses.
    PropoeNumero();
    edtItem_->setFocus();
  } else {
    setAlterado(false);
    Fecha();
  }
}

}  // namespace shell
