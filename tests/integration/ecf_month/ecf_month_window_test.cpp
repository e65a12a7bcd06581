// The same month through the windows on the offscreen platform: the generation screen
// opens the real reading dialog, which reads the virtual printer through the real driver
// and libraries; the file lands in the month's folder and the run takes its records.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <cstdlib>
#include <fstream>

#include "common/files.h"
#include "ecf_sim/server.h"
#include "gera_sintegra_window.h"
#include "ler_dados_impressora.h"
#include "shell/testing/shell_fixture.h"
#include "shop_month.h"

namespace {

namespace fs = std::filesystem;

class EcfMonthWindow : public shell::testing::ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    shell::InstalaDialogos(&dlg_);
    InstalaCatalogo();
    CriaBase("Loja");
    {
      std::lock_guard lock(server_.mutex());
      printer_.set_clock({{2026, 6, 9}, 8, 0, 0});
      ASSERT_NO_THROW(shop_.Program(printer_));
      ASSERT_NO_THROW(shop_.SellDay(printer_, {2026, 6, 10}, 3));
      ASSERT_NO_THROW(shop_.SellDay(printer_, {2026, 6, 11}, 4, 1));
      printer_.set_clock({{2026, 7, 2}, 10, 0, 0});
    }
    std::string error;
    ASSERT_TRUE(server_.open_pty(&error)) << error;
    server_.start();
    std::ofstream(dir_ / "ORVIK.INI", std::ios::binary)
        << "[Sistema]\r\nPorta=COM1\r\nPath=" << dir_.string()
        << "/\r\n[Portas]\r\nCOM1=" << server_.slave_path() << "\r\n";
    ::setenv("ORVIK_INI", (dir_ / "ORVIK.INI").c_str(), 1);
    ::setenv("ORVIK_DRIVER", ORVIK_LIBRARY_PATH, 1);
    tela_ = std::make_unique<generation::TfrmGeraSintegra>(*principal_);
    sintegra_ = dir_ / "Sintegra";
    tela_->PathSintegra = [this] { return QString::fromStdString(sintegra_.string()); };
    tela_->PausaMs = 0;
  }
  void TearDown() override {
    tela_.reset();
    server_.stop();
    shell::InstalaDialogos(&dialogos_);
    ShellTest::TearDown();
  }

  shell::testing::DialogosDeTeste dlg_;
  ecf_sim::Printer printer_;
  ecf_sim::Server server_{printer_};
  ecf_month::ShopMonth shop_;
  std::unique_ptr<generation::TfrmGeraSintegra> tela_;
  fs::path sintegra_;
};

TEST_F(EcfMonthWindow, TheReadingDialogFillsTheFieldAndTheRunTakesItsRecords) {
  generation::TfrmGeraSintegra& t = *tela_;
  t.cmbMes->setCurrentIndex(5);
  t.edtAno->setValue(2026);
  for (QCheckBox* c : {t.chkTipo60M, t.chkTipo60A, t.chkTipo60D, t.chkTipo60I, t.chkTipo60R})
    c->click();

  // ECF_MONTH_TELAS names a folder for pictures of the windows as they run (to look at them
  // under a real display); the checks are the same either way.
  const char* telas = std::getenv("ECF_MONTH_TELAS");
  auto foto = [telas](QWidget* w, const char* nome) {
    if (telas) w->window()->grab().save(QString::fromUtf8(telas) + "/" + nome + ".png");
  };
  if (telas) t.PausaMs = 400;
  t.resize(900, 640);
  t.show();
  foto(&t, "geracao");

  // The user's part in the reading dialog: the port offered, "Ler Dados", and "Fechar"
  // once the reading has ended.
  bool started = false, saw_progress = false, closing_refused = false;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    auto* d = qobject_cast<ecf::TfrmLerDadosImpressora*>(QApplication::activeModalWidget());
    if (!d) return;
    if (!started) {
      foto(d, "leitura-porta");
      EXPECT_EQ(d->cmbPorta->currentText(), "COM1");
      d->btnLerDados->click();
      started = true;
      // Closing the window is refused while the reading runs.
      d->close();
      closing_refused = d->isVisible();
    } else if (d->Lendo()) {
      if (!saw_progress) foto(d, "leitura-em-andamento");
      saw_progress = saw_progress || d->lblPercentual->text().contains('%');
    } else {
      d->btnFechar->click();
    }
  });
  user.start(20);
  t.btnImportarDll->click();
  user.stop();
  ASSERT_TRUE(started);
  EXPECT_TRUE(closing_refused);
  EXPECT_TRUE(saw_progress);
  ASSERT_FALSE(dlg_.mensagens.empty());
  EXPECT_EQ(dlg_.mensagens.back().texto, QString::fromUtf8("Operação realizada com sucesso!"))
      << dlg_.mensagens.back().texto.toStdString();

  const fs::path read = sintegra_ / "2026" / "Junho" / "Sintegra-6_2026.txt";
  EXPECT_EQ(t.edtRegistro60->text().toStdString(), read.string());
  const auto expected = ecf_month::Expected(shop_, "OR050800000000012345", 4 | 8 | 16);
  EXPECT_EQ(
      ecf_month::Differences(
          ecf_month::Found(common::split_lines(common::read_file(read).value_or(""))), expected),
      "");

  foto(&t, "geracao-com-arquivo");
  dlg_.mensagens.clear();
  QTimer status;
  bool status_seen = false;
  QObject::connect(&status, &QTimer::timeout, [&] {
    QWidget* d = QApplication::activeModalWidget();
    if (!status_seen && d && d->objectName() == "TfrmStatusGeracaoSintegra") {
      status_seen = true;
      QTimer::singleShot(150, d, [d, foto] { foto(d, "status"); });
    }
  });
  status.start(20);
  // The check of the new file opens its own window after the run; it is recorded here, as
  // the generation window's own tests do, so the run does not wait on it.
  std::vector<fs::path> validados;
  t.MostraValidacao = [&validados](const fs::path& arquivo, const sintegra::ResultadoValidacao&,
                                   const QString&) { validados.push_back(arquivo); };
  t.btnGerarArquivo->click();
  status.stop();
  ASSERT_EQ(validados.size(), 1u);
  EXPECT_TRUE(fs::equivalent(validados[0], sintegra_ / "2026" / "Junho" / "Sintegra.txt"))
      << validados[0];
  ASSERT_FALSE(dlg_.mensagens.empty());
  EXPECT_EQ(dlg_.mensagens.back().titulo, "Sucesso!") << dlg_.mensagens.back().texto.toStdString();
  const auto lines = common::split_lines(
      common::read_file(sintegra_ / "2026" / "Junho" / "Sintegra.txt").value_or(""));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(ecf_month::Differences(ecf_month::Found(lines), expected), "");
}

}  // namespace
