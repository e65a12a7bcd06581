#pragma once
// A read-only viewer of a text file in the program's 8-bit text (the Sintegra file, its
// findings): fixed-width font, no wrapping. A large file is read in blocks between window
// events, so the window answers while it fills, and only up to a limit.
#include <QDialog>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <fstream>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace generation {

class TfrmVisualizaArquivo : public QDialog {
  Q_OBJECT
 public:
  // Bytes read per block, and the most bytes shown of one file.
  static constexpr std::uintmax_t kBloco = 512 * 1024;
  static constexpr std::uintmax_t kLimite = 16 * 1024 * 1024;

  explicit TfrmVisualizaArquivo(const std::filesystem::path& arquivo, QWidget* pai = nullptr,
                                std::uintmax_t bloco = kBloco, std::uintmax_t limite = kLimite);

  // Whether every block the viewer will show has been read.
  bool Completo() const { return !entrada_.is_open(); }

  QPlainTextEdit* txtArquivo = nullptr;
  QLabel* lblSituacao = nullptr;
  QPushButton* btnFechar = nullptr;

 private:
  // Reads the next block (whole lines; a line cut by the block waits for the next one)
  // and schedules the one after it.
  void LeBloco();

  std::ifstream entrada_;
  std::uintmax_t tamanho_ = 0, lidos_ = 0, bloco_, limite_;
  std::string resto_;
};

}  // namespace generation
