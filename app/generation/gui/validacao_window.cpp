#include "validacao_window.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "generation/validacao_geracao.h"

namespace generation {

namespace {
QString U(const std::string& t) {
  return QString::fromStdString(t);
}
}  // namespace

QString ResumoDaValidacao(const QString& o_que, const sintegra::ContagemAchados& c) {
  QString s = o_que + ": " + U(sintegra::ResumoDaContagem(c)) + ".";
  if (c.erros > 0)
    s += QString::fromUtf8(" O estado recusaria o arquivo: corrija os erros antes de enviá-lo.");
  else if (c.avisos > 0)
    s += QString::fromUtf8(" Os avisos não impedem o envio, mas merecem conferência.");
  return s;
}

TfrmValidacaoSintegra::TfrmValidacaoSintegra(const std::filesystem::path& arquivo,
                                             const sintegra::ResultadoValidacao& resultado,
                                             const QString& resumo, QWidget* pai)
    : QDialog(pai), arquivo_(arquivo), achados_(resultado.achados) {
  setObjectName("TfrmValidacaoSintegra");
  setWindowTitle(QString::fromUtf8("Validação do arquivo Sintegra"));
  auto* v = new QVBoxLayout(this);
  lblResumo = new QLabel(resumo + "\n" + QString::fromStdString(arquivo.string()));
  lblResumo->setWordWrap(true);
  v->addWidget(lblResumo);
  grdAchados = new QTableWidget(static_cast<int>(achados_.size()), 6);
  grdAchados->setHorizontalHeaderLabels(
      {QString::fromUtf8("Severidade"), "Linha", "Registro", "Campo", "Colunas", "Mensagem"});
  grdAchados->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdAchados->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdAchados->verticalHeader()->hide();
  grdAchados->horizontalHeader()->setStretchLastSection(true);
  for (int i = 0; i < static_cast<int>(achados_.size()); ++i) {
    const sintegra::Achado& a = achados_[static_cast<size_t>(i)];
    QString colunas = a.coluna_inicial > 0
                          ? QString("%1-%2").arg(a.coluna_inicial).arg(a.coluna_final)
                          : QString();
    const QString celulas[] = {a.severidade == sintegra::Severidade::Erro ? "Erro" : "Aviso",
                               a.linha > 0 ? QString::number(a.linha) : QString(),
                               QString::fromStdString(a.registro),
                               U(a.campo),
                               colunas,
                               U(a.mensagem)};
    for (int c = 0; c < 6; ++c) {
      auto* item = new QTableWidgetItem(celulas[c]);
      if (a.severidade == sintegra::Severidade::Erro && c == 0) item->setForeground(Qt::darkRed);
      grdAchados->setItem(i, c, item);
    }
  }
  grdAchados->resizeColumnsToContents();
  v->addWidget(grdAchados);
  auto* botoes = new QHBoxLayout;
  botoes->addWidget(
      new QLabel(QString::fromUtf8("Duplo clique numa linha mostra o registro com "
                                   "a régua de colunas.")));
  botoes->addStretch();
  btnFechar = new QPushButton("Fechar");
  botoes->addWidget(btnFechar);
  v->addLayout(botoes);
  connect(btnFechar, &QPushButton::clicked, this, &QDialog::accept);
  connect(grdAchados, &QTableWidget::cellDoubleClicked, this,
          [this](int row, int) { MostraLinha(row); });
  resize(900, 420);
}

void TfrmValidacaoSintegra::MostraLinha(int row) {
  if (row < 0 || row >= static_cast<int>(achados_.size())) return;
  const sintegra::Achado& a = achados_[static_cast<size_t>(row)];
  if (dlgLinha == nullptr) {
    dlgLinha = new QDialog(this);
    auto* v = new QVBoxLayout(dlgLinha);
    txtLinha = new QPlainTextEdit;
    txtLinha->setReadOnly(true);
    txtLinha->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtLinha->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    v->addWidget(txtLinha);
    auto* fechar = new QPushButton("Fechar");
    v->addWidget(fechar, 0, Qt::AlignRight);
    connect(fechar, &QPushButton::clicked, dlgLinha, &QDialog::accept);
    dlgLinha->resize(1000, 220);
  }
  dlgLinha->setWindowTitle(QString("Linha %1").arg(a.linha));
  QString texto;
  if (a.linha == 0) {
    texto = QString::fromUtf8("O achado é do arquivo todo, não de uma linha.");
  } else {
    std::string linha = LinhaDoArquivo(arquivo_, a.linha);
    texto = QString::fromStdString(LinhaComRegua(linha, a.coluna_inicial, a.coluna_final));
  }
  texto += "\n" + QString::fromStdString(sintegra::LinhaDoAchado(a));
  txtLinha->setPlainText(texto);
  dlgLinha->show();
  dlgLinha->raise();
}

}  // namespace generation
