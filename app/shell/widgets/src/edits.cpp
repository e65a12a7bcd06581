#include "shell/widgets/edits.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include "common/text1252.h"
#include "shell/widgets/validacoes.h"
#include "store/conversions.h"

namespace shell {

bool BloqueiaLetras(QKeyEvent* evento) {
  const QString t = evento->text();
  if (t.isEmpty()) return false;  // navigation and modifier keys carry no text
  for (QChar c : t) {
    int codigo;
    if (c.unicode() < 256) {
      codigo = c.unicode();
    } else {
      std::string b = common::utf8_to_cp1252(QString(c).toStdString());
      codigo = b.empty() ? '?' : static_cast<unsigned char>(b[0]);
      if (codigo < 32) codigo = '?';
    }
    if (!SomenteDigitos(codigo)) return true;
  }
  return false;
}

void DigitosEdit::keyPressEvent(QKeyEvent* e) {
  if (BloqueiaLetras(e)) {
    QApplication::beep();
    e->accept();
    return;
  }
  QLineEdit::keyPressEvent(e);
}

NumericoEdit::NumericoEdit(int casas, QWidget* pai) : DigitosEdit(pai), casas_(casas) {
  setAlignment(Qt::AlignRight);
  setMaxLength(20);
}

std::string NumericoEdit::Armazenado() const {
  return store::RemoveCasasDecimais(text().trimmed().toStdString());
}

bool NumericoEdit::Valido() const {
  std::string s = Armazenado();
  return s.empty() || SaoDigitos(s);
}

void NumericoEdit::MostraArmazenado(const std::string& valor) {
  setText(QString::fromStdString(store::FormataCasasDecimais(valor, casas_)));
}

void NumericoEdit::focusInEvent(QFocusEvent* e) {
  DigitosEdit::focusInEvent(e);
  setText(QString::fromStdString(Armazenado()));
  // Selecting at once is undone by the mouse click that gave the focus.
  QTimer::singleShot(0, this, [this] { selectAll(); });
}

void NumericoEdit::focusOutEvent(QFocusEvent* e) {
  if (Valido())
    setText(QString::fromStdString(
        store::FormataCasasDecimais(text().trimmed().toStdString(), casas_)));
  DigitosEdit::focusOutEvent(e);
}

MascaraEdit::MascaraEdit(Mascara m, QWidget* pai) : QLineEdit(pai) {
  switch (m) {
    case Mascara::CNPJ:
      setInputMask(QStringLiteral("99.999.999/9999-99;_"));
      break;
    case Mascara::CEP:
      setInputMask(QStringLiteral("99999-999;_"));
      break;
    case Mascara::Telefone:
      setInputMask(QStringLiteral("(99)0000-0000;_"));
      break;
    case Mascara::Fax:
      setInputMask(QStringLiteral("(99)9999-9999;_"));
      break;
  }
}

void MascaraEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  // An empty mask is typed from its first position, wherever the click landed.
  if (Digitos().isEmpty()) QTimer::singleShot(0, this, [this] { setCursorPosition(0); });
}

QString MascaraEdit::Digitos() const {
  return QString::fromStdString(SoDigitos(text().toStdString()));
}

void MascaraEdit::MostraDigitos(const QString& digitos) {
  setText(digitos.trimmed());
}

}  // namespace shell
