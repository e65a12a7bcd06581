#pragma once
// The help window: the HTML manual under Manual/, opened at a context number's anchor.
#include <QDialog>

class QTextBrowser;

namespace shell {

class TfrmAjuda : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAjuda(QWidget* pai = nullptr);
  // Shows the manual of the program folder at the topic of contexto; 0 shows the contents.
  // False (with a message) when the manual is missing.
  bool Mostra(const QString& pastaPrograma, int contexto);
  QTextBrowser* navegador() const { return texto_; }
  // The anchor of a context number in the manual.
  static QString Ancora(int contexto);

 private:
  QTextBrowser* texto_;
};

// The one help window of the program, created on first use.
TfrmAjuda& Ajuda(QWidget* dono);

}  // namespace shell
