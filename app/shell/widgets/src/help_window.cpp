#include "shell/widgets/help_window.h"

#include <QFileInfo>
#include <QPointer>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "shell/widgets/dialogos.h"

namespace shell {

TfrmAjuda::TfrmAjuda(QWidget* pai) : QDialog(pai), texto_(new QTextBrowser(this)) {
  setWindowTitle(QStringLiteral("Tributarium - Ajuda"));
  setModal(false);
  texto_->setOpenLinks(true);
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(0, 0, 0, 0);
  l->addWidget(texto_);
  resize(720, 560);
}

QString TfrmAjuda::Ancora(int contexto) {
  return QStringLiteral("contexto-%1").arg(contexto);
}

bool TfrmAjuda::Mostra(const QString& pastaPrograma, int contexto) {
  QString arquivo = pastaPrograma + QStringLiteral("Manual/Tributarium.html");
  if (!QFileInfo::exists(arquivo)) {
    msg::Simples(this,
                 QStringLiteral("O manual do programa não foi encontrado em \"%1\".").arg(arquivo));
    return false;
  }
  QUrl url = QUrl::fromLocalFile(arquivo);
  texto_->setSource(url);
  if (contexto > 0)
    texto_->scrollToAnchor(Ancora(contexto));
  else
    texto_->verticalScrollBar()->setValue(0);  // the contents page opens the manual
  show();
  raise();
  activateWindow();
  return true;
}

TfrmAjuda& Ajuda(QWidget* dono) {
  static QPointer<TfrmAjuda> janela;
  if (!janela) janela = new TfrmAjuda(dono ? dono->window() : nullptr);
  return *janela;
}

}  // namespace shell
