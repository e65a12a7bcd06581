#include "gera_sintegra_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <set>

#include "generation/opcoes_geracao.h"
#include "generation/validacao_geracao.h"
#include "ler_dados_impressora.h"
#include "shell/program/configuracoes.h"
#include "shell/widgets/dialogos.h"
#include "shell/widgets/principal.h"
#include "status_geracao.h"
#include "validacao_window.h"
#include "visualiza_arquivo.h"

namespace generation {

namespace {

using sintegra::TTipoRegistros;

QString U(const char* t) {
  return QString::fromUtf8(t);
}

QCheckBox* Caixa(const char* texto, bool sempre) {
  auto* c = new QCheckBox(U(texto));
  if (sempre) {
    c->setTristate(true);
    c->setCheckState(Qt::PartiallyChecked);
    c->setEnabled(false);
  }
  return c;
}

bool Marcada(const QCheckBox* c) {
  return c->checkState() != Qt::Unchecked;
}

}  // namespace

TfrmGeraSintegra::TfrmGeraSintegra(shell::Principal& principal, QWidget* pai)
    : JanelaEmbutida(principal, U("Geração do arquivo Magnético Sintegra"), 9, pai) {
  setObjectName("TfrmGeraSintegra");
  PathSintegra = [] {
    return QString::fromStdString(shell::TConfiguracoes().Le(shell::TConfiguracoes::kPathSintegra));
  };
  LeDadosEcf = [this](int mes, int ano, int mascara) {
    ecf::TfrmLerDadosImpressora d([this](const std::string& l) { principal_.GravaLog(l); },
                                  [this] { return PathSintegra().toStdString(); }, this);
    d.Mes = mes;
    d.Ano = ano;
    d.Mascara = mascara;
    d.exec();
    return d.ArquivoSaida();
  };
  MostraValidacao = [this](const std::filesystem::path& arquivo,
                           const sintegra::ResultadoValidacao& r, const QString& resumo) {
    TfrmValidacaoSintegra janela(arquivo, r, resumo, this);
    janela.exec();
  };
  MostraArquivo = [this](const std::filesystem::path& arquivo) {
    TfrmVisualizaArquivo janela(arquivo, this);
    janela.exec();
  };

  auto* v = new QVBoxLayout(this);
  auto* periodo = new QHBoxLayout;
  cmbMes = new QComboBox;
  for (int m = 1; m <= 12; ++m) cmbMes->addItem(QString::fromStdString(NomeDoMes(m)));
  edtAno = new QSpinBox;
  edtAno->setRange(2000, 3000);
  edtAno->setGroupSeparatorShown(false);
  periodo->addWidget(new QLabel(U("Mês")));
  periodo->addWidget(cmbMes);
  periodo->addWidget(new QLabel(U("Ano")));
  periodo->addWidget(edtAno);
  periodo->addStretch();
  v->addLayout(periodo);

  grpRegistros = new QGroupBox(U("Registros a serem gerados"));
  auto* g = new QGridLayout(grpRegistros);
  chkTipo10 = Caixa("Tipo 10", true);
  chkTipo11 = Caixa("Tipo 11", true);
  chkTipo50 = Caixa("Tipo 50", true);
  chkTipo54 = Caixa("Tipo 54", true);
  chkTipo60A = Caixa("Tipo 60A", false);
  chkTipo60D = Caixa("Tipo 60D", false);
  chkTipo60I = Caixa("Tipo 60I", false);
  chkTipo60M = Caixa("Tipo 60M", false);
  chkTipo60R = Caixa("Tipo 60R", false);
  chkTipo74 = Caixa("Tipo 74", true);
  chkTipo75 = Caixa("Tipo 75", true);
  chkTipo90 = Caixa("Tipo 90", true);
  QCheckBox* todas[] = {chkTipo10,  chkTipo11,  chkTipo50,  chkTipo54, chkTipo60A, chkTipo60D,
                        chkTipo60I, chkTipo60M, chkTipo60R, chkTipo74, chkTipo75,  chkTipo90};
  for (int i = 0; i < 12; ++i) g->addWidget(todas[i], i / 6, i % 6);
  v->addWidget(grpRegistros);
  for (QCheckBox* c : {chkTipo60A, chkTipo60D, chkTipo60I, chkTipo60M, chkTipo60R, chkTipo75})
    connect(c, &QCheckBox::clicked, this, [this] { chkBoxClick(); });

  auto grupo = [&](const char* titulo, std::initializer_list<const char*> itens,
                   QButtonGroup*& botoes) {
    auto* box = new QGroupBox(U(titulo));
    auto* l = new QVBoxLayout(box);
    botoes = new QButtonGroup(this);
    int id = 1;
    for (const char* t : itens) {
      auto* r = new QRadioButton(U(t));
      botoes->addButton(r, id++);
      l->addWidget(r);
    }
    v->addWidget(box);
  };
  grupo("Natureza das Operações",
        {"Interestaduais - somente operações sujeitas ao regime de Substituição Tributária",
         "Interestaduais - operações com ou sem Substituição Tributária",
         "Totalidade das operações do informante"},
        rgrpNaturezaOper);
  grupo("Finalidade do Arquivo",
        {"Normal",
         "Retificação total: substituição total de informações prestadas pelo contribuinte "
         "referentes ao período",
         "Retificação aditiva: acréscimo de informação não incluída em arquivos já apresentados",
         "Desfazimento: arquivo de informação referente a operações/prestações não efetivadas ."},
        rgrpFinalidade);
  rgrpNaturezaOper->button(3)->setChecked(true);
  rgrpFinalidade->button(1)->setChecked(true);
  connect(rgrpNaturezaOper, &QButtonGroup::idClicked, this, [this] { rgrpNaturezaOperClick(); });

  auto* arquivo = new QGroupBox(U("Seleção do arquivo contendo os registros tipo 60 e 75"));
  auto* la = new QVBoxLayout(arquivo);
  la->addWidget(new QLabel(U("Localizar arquivo com dados do Sintegra no computador")));
  auto* linha = new QHBoxLayout;
  edtRegistro60 = new QLineEdit;
  btnLocalizar = new QPushButton("...");
  btnLocalizar->setToolTip(U("Localizar arquivo do Sintegra"));
  btnImportarDll = new QPushButton(U("Ler dados do ECF"));
  linha->addWidget(edtRegistro60);
  linha->addWidget(btnLocalizar);
  linha->addWidget(btnImportarDll);
  la->addLayout(linha);
  v->addWidget(arquivo);

  auto* botoes = new QHBoxLayout;
  botoes->addStretch();
  btnGerarArquivo = new QPushButton(U("Gerar Arquivo"));
  btnVisualizarArquivo = new QPushButton(U("Visualizar Arquivo"));
  btnValidarArquivo = new QPushButton(U("Validar Arquivo"));
  btnValidarArquivo->setToolTip(U("Confere um arquivo do Sintegra como o estado o conferiria"));
  botoes->addWidget(btnGerarArquivo);
  botoes->addWidget(btnVisualizarArquivo);
  botoes->addWidget(btnValidarArquivo);
  v->addLayout(botoes);
  v->addStretch();

  connect(btnLocalizar, &QPushButton::clicked, this, [this] { btnLocalizarClick(); });
  connect(btnImportarDll, &QPushButton::clicked, this, [this] { btnImportarDllClick(); });
  connect(btnGerarArquivo, &QPushButton::clicked, this,
          [this] { shell::Protegido(this, [this] { btnGerarArquivoClick(); }); });
  connect(btnVisualizarArquivo, &QPushButton::clicked, this,
          [this] { btnVisualizarArquivoClick(); });
  connect(btnValidarArquivo, &QPushButton::clicked, this,
          [this] { shell::Protegido(this, [this] { btnValidarArquivoClick(); }); });

  // FormCreate.
  QDate hoje = QDate::currentDate();
  cmbMes->setCurrentIndex(hoje.month() - 1);
  edtAno->setValue(hoje.year());
  chkBoxClick();
  pastaVisualizar_ = PathSintegra();
  connect(cmbMes, &QComboBox::currentIndexChanged, this, [this] { PeriodoAlterado(); });
  connect(edtAno, &QSpinBox::valueChanged, this, [this] { PeriodoAlterado(); });
}

int TfrmGeraSintegra::Natureza() const {
  return rgrpNaturezaOper->checkedId();
}
int TfrmGeraSintegra::Finalidade() const {
  return rgrpFinalidade->checkedId();
}

void TfrmGeraSintegra::rgrpNaturezaOperClick() {
  bool todas = Natureza() == 3;
  for (QCheckBox* c : {chkTipo60A, chkTipo60D, chkTipo60I, chkTipo60M, chkTipo60R, chkTipo75}) {
    if (!todas || c == chkTipo75) {
      c->setTristate(false);
      c->setCheckState(Qt::Unchecked);
    }
    c->setEnabled(todas);
  }
  chkBoxClick();
}

void TfrmGeraSintegra::chkBoxClick() {
  bool algum = false;
  for (QCheckBox* c : {chkTipo60A, chkTipo60D, chkTipo60I, chkTipo60M, chkTipo60R})
    algum = algum || c->isChecked();
  edtRegistro60->setEnabled(algum);
  btnLocalizar->setEnabled(algum);
  btnImportarDll->setEnabled(algum);
  QPalette p = edtRegistro60->palette();
  p.setColor(QPalette::Base, algum ? palette().color(QPalette::Base)
                                   : palette().color(QPalette::Disabled, QPalette::Text));
  edtRegistro60->setPalette(p);
}

sintegra::TListaTipoRegistros TfrmGeraSintegra::Selecao() const {
  const std::pair<QCheckBox*, TTipoRegistros> caixas[] = {
      {chkTipo10, TTipoRegistros::Tipo10},   {chkTipo11, TTipoRegistros::Tipo11},
      {chkTipo50, TTipoRegistros::Tipo50},   {chkTipo54, TTipoRegistros::Tipo54},
      {chkTipo60A, TTipoRegistros::Tipo60A}, {chkTipo60D, TTipoRegistros::Tipo60D},
      {chkTipo60I, TTipoRegistros::Tipo60I}, {chkTipo60M, TTipoRegistros::Tipo60M},
      {chkTipo60R, TTipoRegistros::Tipo60R}, {chkTipo74, TTipoRegistros::Tipo74},
      {chkTipo75, TTipoRegistros::Tipo75},   {chkTipo90, TTipoRegistros::Tipo90}};
  sintegra::TListaTipoRegistros s;
  for (const auto& [c, t] : caixas)
    if (Marcada(c)) s.push_back(t);
  return s;
}

void TfrmGeraSintegra::btnLocalizarClick() {
  edtRegistro60->setText(shell::dialogos().ArquivoParaAbrir(
      this, U("Selecione um arquivo com os registros tipo 60 e 75"),
      QStringLiteral("txt (*.txt);;*.* (*)"), edtRegistro60->text()));
  lidoPara_.reset();
}

void TfrmGeraSintegra::btnImportarDllClick() {
  const int mes = cmbMes->currentIndex() + 1, ano = edtAno->value();
  QString arquivo = LeDadosEcf(mes, ano, MascaraSubtipos(Selecao()));
  if (arquivo.isEmpty()) return;
  std::filesystem::path pasta = PastaDaGeracao(PathSintegra().toStdString(), ano, mes);
  if (!CriaPasta(pasta)) {
    // The file stays where the reading left it, and the field names it there.
    shell::dialogos().Mensagem(this, U("Erro!"), U(kFalhaPasta), shell::Icone::Erro);
    edtRegistro60->setText(arquivo);
  } else {
    try {
      edtRegistro60->setText(
          QString::fromStdString(MoveArquivo(arquivo.toStdString(), pasta).string()));
    } catch (const std::exception& e) {
      shell::dialogos().Mensagem(this, U("Erro!"), QString::fromUtf8(e.what()), shell::Icone::Erro);
      edtRegistro60->setText(arquivo);
    }
  }
  lidoPara_ = {mes, ano};
}

void TfrmGeraSintegra::PeriodoAlterado() {
  if (!lidoPara_ || perguntando_) return;
  const int mes = cmbMes->currentIndex() + 1, ano = edtAno->value();
  if (*lidoPara_ == std::make_pair(mes, ano)) return;
  perguntando_ = true;
  bool manter = shell::dialogos().Pergunta(
      this, U("Período alterado"),
      U("O arquivo de registros tipo 60 e 75 foi lido do ECF para %1/%2.\nDeseja usá-lo "
        "mesmo assim para %3/%4?")
          .arg(QString::fromStdString(NomeDoMes(lidoPara_->first)))
          .arg(lidoPara_->second)
          .arg(QString::fromStdString(NomeDoMes(mes)))
          .arg(ano));
  perguntando_ = false;
  if (!manter) edtRegistro60->clear();
  lidoPara_.reset();
}

void TfrmGeraSintegra::btnGerarArquivoClick() {
  principal_.GravaLog("--> Inicio da Geração do Sintegra.");
  struct Fim {
    shell::Principal& p;
    ~Fim() { p.GravaLog("<-- Fim da Geração do Sintegra."); }
  } fim{principal_};

  sintegra::TListaTipoRegistros selecao = Selecao();
  if (selecao.empty()) {
    shell::dialogos().Mensagem(this, U("Selecionar Registro"), U(kNenhumRegistro),
                               shell::Icone::Aviso);
    grpRegistros->setFocus();
    return;
  }
  if (AlgumTipo60(selecao) && edtRegistro60->text().isEmpty()) {
    shell::dialogos().Mensagem(this, U("Informe o valor"),
                               QString::fromStdString(PreenchaOCampo(kCampoArquivo60)),
                               shell::Icone::Aviso);
    edtRegistro60->setFocus();
    return;
  }
  const int mes = cmbMes->currentIndex() + 1, ano = edtAno->value();
  if (AlgumTipo60(selecao) && !Arquivo60e75Aceito(edtRegistro60->text(), mes, ano)) return;
  TfrmStatusGeracaoSintegra status(principal_.dm(), this);
  status.PausaMs = PausaMs;
  status.MostraValidacao = MostraValidacao;
  std::filesystem::path pasta = PastaDaGeracao(PathSintegra().toStdString(), ano, mes);
  if (!CriaPasta(pasta)) {
    shell::dialogos().Mensagem(this, U("Erro!"), U(kFalhaPasta), shell::Icone::Erro);
    return;
  }
  pastaVisualizar_ = QString::fromStdString(pasta.string());
  status.Executa(mes, ano, Natureza(), Finalidade(), selecao, edtRegistro60->text().toStdString(),
                 pasta.string());
}

void TfrmGeraSintegra::btnVisualizarArquivoClick() {
  if (shell::dialogos().AbrirArquivo(pastaVisualizar_)) return;
  // A desktop without a file manager: the folder is named, and the month's file can still
  // be read here.
  const QString pasta = QDir::toNativeSeparators(pastaVisualizar_);
  std::error_code ec;
  const std::filesystem::path arquivo =
      std::filesystem::path(pastaVisualizar_.toStdString()) / "Sintegra.txt";
  if (!std::filesystem::is_regular_file(arquivo, ec)) {
    shell::dialogos().Mensagem(this, U("Erro!"),
                               U("Não foi possível abrir o diretório %1").arg(pasta),
                               shell::Icone::Erro);
    return;
  }
  if (shell::dialogos().Pergunta(
          this, U("Erro!"),
          U("Não foi possível abrir o diretório %1\nDeseja ver o arquivo %2 no visualizador do "
            "programa?")
              .arg(pasta, QString::fromStdString(arquivo.filename().string()))))
    MostraArquivo(arquivo);
}

bool TfrmGeraSintegra::Arquivo60e75Aceito(const QString& arquivo, int mes, int ano) {
  std::filesystem::path caminho = arquivo.toStdString();
  sintegra::ResultadoValidacao r;
  try {
    r = SoRegistros60e75(sintegra::ValidaArquivo(caminho, sintegra::Periodo{mes, ano}));
  } catch (const std::exception&) {
    return true;  // the run's own reading of the file says what is wrong with it
  }
  if (r.contagem.erros == 0) return true;
  MostraValidacao(caminho, r,
                  ResumoDaValidacao(U("Arquivo de registros tipo 60 e 75"), r.contagem));
  return shell::dialogos().Pergunta(
      this, U("Arquivo com erros"),
      U("O arquivo de registros tipo 60 e 75 tem %1 erro(s), que passariam para o arquivo do "
        "Sintegra.\nDeseja gerar o arquivo mesmo assim?")
          .arg(r.contagem.erros));
}

void TfrmGeraSintegra::btnValidarArquivoClick() {
  QString escolhido =
      shell::dialogos().ArquivoParaAbrir(this, U("Selecione o arquivo do Sintegra a validar"),
                                         QStringLiteral("txt (*.txt);;*.* (*)"), pastaVisualizar_);
  std::filesystem::path arquivo = escolhido.toStdString();
  std::error_code ec;
  if (escolhido.isEmpty() || !std::filesystem::is_regular_file(arquivo, ec)) return;
  sintegra::ResultadoValidacao r;
  try {
    r = ValidaESalvaRelatorio(arquivo, std::nullopt);
  } catch (const std::exception& e) {
    shell::dialogos().Mensagem(this, U("Erro!"), QString::fromUtf8(e.what()), shell::Icone::Erro);
    return;
  }
  MostraValidacao(arquivo, r, ResumoDaValidacao(U("Arquivo validado"), r.contagem));
}

}  // namespace generation
