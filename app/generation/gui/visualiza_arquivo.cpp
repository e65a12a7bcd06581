#include "visualiza_arquivo.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "common/text1252.h"

namespace generation {

namespace {

QString U(const char* s) {
  return QString::fromUtf8(s);
}

// The program's 8-bit text as shown: lines without their CR.
QString Mostravel(std::string bytes) {
  bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
  return QString::fromStdString(common::cp1252_to_utf8(bytes));
}

}  // namespace

TfrmVisualizaArquivo::TfrmVisualizaArquivo(const std::filesystem::path& arquivo, QWidget* pai,
                                           std::uintmax_t bloco, std::uintmax_t limite)
    : QDialog(pai), bloco_(std::max<std::uintmax_t>(bloco, 1)), limite_(limite) {
  setWindowTitle(U("Visualizar Arquivo - ") + QString::fromStdString(arquivo.filename().string()));
  auto* v = new QVBoxLayout(this);
  auto* caminho = new QLabel(QString::fromStdString(arquivo.string()), this);
  caminho->setTextInteractionFlags(Qt::TextSelectableByMouse);
  v->addWidget(caminho);
  txtArquivo = new QPlainTextEdit(this);
  txtArquivo->setReadOnly(true);
  txtArquivo->setUndoRedoEnabled(false);
  txtArquivo->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The columns of a record line stay one under the other.
  QFont fixa = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixa.setStyleHint(QFont::Monospace);
  fixa.setFixedPitch(true);
  txtArquivo->setFont(fixa);
  v->addWidget(txtArquivo, 1);
  auto* h = new QHBoxLayout;
  lblSituacao = new QLabel(this);
  btnFechar = new QPushButton(U("Fechar"), this);
  h->addWidget(lblSituacao, 1);
  h->addWidget(btnFechar);
  v->addLayout(h);
  connect(btnFechar, &QPushButton::clicked, this, &QDialog::accept);
  resize(900, 600);

  std::error_code ec;
  tamanho_ = std::filesystem::file_size(arquivo, ec);
  if (!ec) entrada_.open(arquivo, std::ios::binary);
  if (ec || !entrada_) {
    entrada_.close();
    lblSituacao->setText(U("Não foi possível ler o arquivo ") +
                         QString::fromStdString(arquivo.string()));
    return;
  }
  LeBloco();
}

void TfrmVisualizaArquivo::LeBloco() {
  const std::uintmax_t falta = std::min(bloco_, limite_ - std::min(limite_, lidos_));
  std::string bytes(static_cast<std::size_t>(falta), '\0');
  entrada_.read(bytes.data(), static_cast<std::streamsize>(falta));
  bytes.resize(static_cast<std::size_t>(entrada_.gcount()));
  lidos_ += bytes.size();
  const bool fim = bytes.empty() || lidos_ >= limite_ || lidos_ >= tamanho_;
  std::string texto = resto_ + bytes;
  resto_.clear();
  if (!fim) {
    // Whole lines only: the cut one is finished by the next block.
    const std::size_t ultima = texto.rfind('\n');
    if (ultima == std::string::npos) {
      resto_ = std::move(texto);
      texto.clear();
    } else {
      resto_ = texto.substr(ultima + 1);
      texto.resize(ultima);
    }
  } else if (!texto.empty() && texto.back() == '\n') {
    texto.pop_back();
  }
  if (!texto.empty() || (fim && txtArquivo->document()->isEmpty() && lidos_ > 0)) {
    // Appending scrolls to the end; the reader stays where he is.
    QScrollBar* barra = txtArquivo->verticalScrollBar();
    const int posicao = barra->value();
    txtArquivo->appendPlainText(Mostravel(std::move(texto)));
    barra->setValue(posicao);
  }
  if (fim) {
    entrada_.close();
    const QString linhas =
        QString::number(tamanho_ == 0 ? 0 : txtArquivo->document()->blockCount());
    if (lidos_ < tamanho_)
      lblSituacao->setText(U("O arquivo tem %1 bytes; são mostrados os primeiros %2 (%3 linhas).")
                               .arg(tamanho_)
                               .arg(lidos_)
                               .arg(linhas));
    else
      lblSituacao->setText(U("%1 linhas, %2 bytes.").arg(linhas).arg(tamanho_));
    txtArquivo->moveCursor(QTextCursor::Start);
    return;
  }
  lblSituacao->setText(
      U("Lendo o arquivo ... %1%").arg(lidos_ * 100 / std::max<std::uintmax_t>(tamanho_, 1)));
  QTimer::singleShot(0, this, [this] { LeBloco(); });
}

}  // namespace generation
