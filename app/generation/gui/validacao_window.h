#pragma once
// The findings of a Sintegra file's check, one row each (severity, line, record, field,
// columns, message); a double click shows the line under a column ruler with the field
// marked.
#include <QDialog>
#include <filesystem>

#include "sintegra/validador.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace generation {

class TfrmValidacaoSintegra : public QDialog {
  Q_OBJECT
 public:
  // resumo is the sentence above the table (what was checked, what it means).
  TfrmValidacaoSintegra(const std::filesystem::path& arquivo,
                        const sintegra::ResultadoValidacao& resultado, const QString& resumo,
                        QWidget* pai = nullptr);

  QLabel* lblResumo = nullptr;
  QTableWidget* grdAchados = nullptr;
  QPushButton* btnFechar = nullptr;
  // The line of the finding in row, under its ruler (the double click's window, kept open
  // for tests to read; a new double click replaces its text).
  void MostraLinha(int row);
  QDialog* dlgLinha = nullptr;
  QPlainTextEdit* txtLinha = nullptr;

 private:
  std::filesystem::path arquivo_;
  std::vector<sintegra::Achado> achados_;
};

// The sentence above the findings: the counts and, with errors, that the state would
// refuse the file.
QString ResumoDaValidacao(const QString& o_que, const sintegra::ContagemAchados& c);

}  // namespace generation
