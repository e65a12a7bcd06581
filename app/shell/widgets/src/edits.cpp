#include "shell/widgets/edits.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include "common/text1252.h"
#include "shell/widgets/dialogos.h"
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

DataEdit::DataEdit(QWidget* pai) : QDateEdit(pai) {
  setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
}

void DataEdit::keyPressEvent(QKeyEvent* e) {
  const QString t = e->text();
  const bool digito = t.size() == 1 && t[0] >= QLatin1Char('0') && t[0] <= QLatin1Char('9') &&
                      !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (!digito) {
    if (digitando_) {
      const int k = e->key();
      if (k == Qt::Key_Return || k == Qt::Key_Enter) {
        if (!Confere()) {
          e->accept();
          return;
        }
      } else {
        // Corrections and moves between the parts: what is typed next is no whole date.
        digitando_ = false;
      }
    }
    QDateEdit::keyPressEvent(e);
    return;
  }
  QLineEdit* linha = lineEdit();
  const bool tudo = linha->hasSelectedText() && linha->selectedText() == linha->text();
  const bool dia = currentSectionIndex() == 0 && linha->selectionStart() == 0 &&
                   linha->selectedText() == sectionText(currentSection());
  if (tudo || (!digitando_ && dia)) {
    // The spin box drops a key typed over more than one part: the typing starts at the day.
    antes_ = date();
    digitados_.clear();
    digitando_ = true;
    setCurrentSectionIndex(0);
    setSelectedSection(sectionAt(0));
  }
  if (digitando_) digitados_ += t;
  QDateEdit::keyPressEvent(e);
  if (digitando_ && digitados_.size() == 8) Confere();
}

void DataEdit::focusOutEvent(QFocusEvent* e) {
  if (digitando_) Confere();
  QDateEdit::focusOutEvent(e);
}

void DataEdit::mousePressEvent(QMouseEvent* e) {
  if (digitando_) Confere();
  QDateEdit::mousePressEvent(e);
}

bool DataEdit::Confere() {
  digitando_ = false;
  const QString d = digitados_;
  digitados_.clear();
  const QDate atual = date();
  // Day, day and month, or the whole date: the parts typed must be the parts shown (the
  // spin box would turn 31/02 into 28/02 and carry a day's extra digit into the month).
  bool ok = d.size() == 1 || d.size() == 2 || d.size() == 4 || d.size() == 8;
  if (ok && d.size() >= 2) ok = d.left(2).toInt() == atual.day();
  if (ok && d.size() >= 4) ok = d.mid(2, 2).toInt() == atual.month();
  if (ok && d.size() == 8) ok = d.mid(4, 4).toInt() == atual.year();
  if (ok) return true;
  QString digitada = d.left(2);
  if (d.size() > 2) digitada += QLatin1Char('/') + d.mid(2, 2);
  if (d.size() > 4) digitada += QLatin1Char('/') + d.mid(4);
  setDate(antes_);
  setCurrentSectionIndex(0);
  selectAll();
  dialogos().Mensagem(
      this, QStringLiteral("Data inválida"),
      QStringLiteral("A data digitada (%1) não existe ou está incompleta.\nDigite o dia, o mês "
                     "e o ano com 8 dígitos, por exemplo 15032026 para 15/03/2026.")
          .arg(digitada),
      Icone::Erro);
  return false;
}

}  // namespace shell
