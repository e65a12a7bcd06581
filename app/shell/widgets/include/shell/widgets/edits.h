#pragma once
// The edit kinds the editors share: numeric edits (amounts, rates, quantities shown with
// a decimal comma, kept as digit strings) and masked edits whose value is their digits.
#include <QDate>
#include <QDateEdit>
#include <QLineEdit>
#include <string>

class QKeyEvent;

namespace shell {

// Passes a key event through SomenteDigitos; true when the key must be swallowed.
bool BloqueiaLetras(QKeyEvent* evento);

// A line edit that accepts only what SomenteDigitos lets through (typed keys only).
class DigitosEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit DigitosEdit(QWidget* pai = nullptr) : QLineEdit(pai) {}

 protected:
  void keyPressEvent(QKeyEvent* e) override;
};

// Numeric edit: storage form while focused, display form with `casas` decimals otherwise.
class NumericoEdit : public DigitosEdit {
  Q_OBJECT
 public:
  explicit NumericoEdit(int casas, QWidget* pai = nullptr);
  int casas() const { return casas_; }
  // The storage form of the text (digits, no separator).
  std::string Armazenado() const;
  // Whether the storage form is made of digits only (a paste may bring anything).
  bool Valido() const;
  // Shows a storage-form value in display form (not a user change).
  void MostraArmazenado(const std::string& valor);

 protected:
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  int casas_;
};

enum class Mascara { CNPJ, CEP, Telefone, Fax };

// A masked edit; Digitos() is the value without the mask's literal characters.
class MascaraEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit MascaraEdit(Mascara m, QWidget* pai = nullptr);
  QString Digitos() const;
  // Shows a stored digit string (not a user change).
  void MostraDigitos(const QString& digitos);

 protected:
  void focusInEvent(QFocusEvent* e) override;
};

// A date edit shown as dd/MM/yyyy in which a date can be typed whole: digits typed over
// the selected date fill it from the day on ("15032026" gives 15/03/2026). A typed date
// that does not exist or lacks digits of its year is refused with a message and the date
// shown before the typing comes back, never a date the user did not type.
class DataEdit : public QDateEdit {
  Q_OBJECT
 public:
  explicit DataEdit(QWidget* pai = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  // Ends a typed date: false (message shown, earlier date back) when the digits typed are
  // not the date shown.
  bool Confere();

  bool digitando_ = false;
  QString digitados_;
  QDate antes_;
};

}  // namespace shell
