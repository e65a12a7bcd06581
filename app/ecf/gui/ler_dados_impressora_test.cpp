// The ECF reading dialog on the offscreen platform, reading through the stand-ins of the
// driver and the memory-reading libraries.
#include "ler_dados_impressora.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>

#include "shell/testing/shell_fixture.h"

namespace ecf {
namespace {

namespace fs = std::filesystem;

// The test dialogs, also telling when a message box is about to show.
class DialogosQueAvisam : public shell::testing::DialogosDeTeste {
 public:
  void Mensagem(QWidget* dono, const QString& titulo, const QString& texto,
                shell::Icone icone) override {
    if (aoMostrar) aoMostrar();
    DialogosDeTeste::Mensagem(dono, titulo, texto, icone);
  }
  std::function<void()> aoMostrar;
};

class DialogoLeitura : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("ecf_dialogo_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "programa");
    std::ofstream(dir_ / "ORVIK.INI")
        << "[Sistema]\r\nPorta=COM1\r\n[Portas]\r\nCOM5=/dev/null\r\n";
    ::setenv("ORVIK_INI", (dir_ / "ORVIK.INI").c_str(), 1);
    ::unsetenv("STUB_LEITURA_CENARIO");
    shell::InstalaDialogos(&dlg_);
    d_ = std::make_unique<TfrmLerDadosImpressora>(
        [this](const std::string& l) { log_.push_back(l); },
        [this] { return (dir_ / "Sintegra").string(); });
    d_->Mes = 3;
    d_->Ano = 2008;
    d_->Mascara = 20;
    d_->Proprietario = [] { return TextosProprietario{}; };
    d_->PreparaLeitura = [this](TGeraSintegraThread& w) {
      w.Driver = fs::path(ECF_STUBS) / driver_;
      w.PastaPrograma = dir_ / "programa";
      w.IntervaloStatusMs = 20;
    };
  }
  void TearDown() override {
    d_.reset();
    shell::InstalaDialogos(nullptr);
    ::unsetenv("ORVIK_INI");
    ::unsetenv("STUB_LEITURA_CENARIO");
    fs::remove_all(dir_);
  }
  void Le() {
    d_->show();
    d_->cmbPorta->setCurrentIndex(d_->cmbPorta->findText("COM5"));
    d_->btnLerDados->click();
  }
  bool AguardaFim() {
    QElapsedTimer t;
    t.start();
    while (d_->Lendo() && t.elapsed() < 60'000)
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    return !d_->Lendo();
  }

  fs::path dir_;
  std::string driver_ = "libecf_stub_driver_completo.so";
  DialogosQueAvisam dlg_;
  std::vector<std::string> log_;
  std::unique_ptr<TfrmLerDadosImpressora> d_;
};

TEST_F(DialogoLeitura, SuccessHandsBackTheFileAndRefusesClosingMeanwhile) {
  Le();
  EXPECT_EQ(d_->cmbPorta->findText("COM5"), 0);  // configured names come first
  EXPECT_FALSE(d_->btnLerDados->isEnabled());
  EXPECT_FALSE(d_->cmbPorta->isEnabled());
  EXPECT_TRUE(d_->lblProgresso->isVisible());
  d_->reject();  // Esc
  d_->close();
  EXPECT_TRUE(d_->isVisible());
  ASSERT_TRUE(AguardaFim());
  EXPECT_EQ(d_->ArquivoSaida().toStdString(), (dir_ / "Sintegra-3_2008.txt").string());
  ASSERT_EQ(dlg_.mensagens.size(), 1u);
  EXPECT_EQ(dlg_.mensagens[0].titulo, "Sucesso!");
  EXPECT_EQ(dlg_.mensagens[0].texto, QString::fromUtf8("Operação realizada com sucesso!"));
  EXPECT_EQ(log_, (std::vector<std::string>{"--> Iniciando leitura de dados da ECF.",
                                            "--> Geração do sintegra da ECF concluido com sucesso.",
                                            "--> Fim da leitura de dados da ECF."}));
  EXPECT_TRUE(d_->btnLerDados->isEnabled());
  EXPECT_EQ(d_->btnFechar->text(), "Fechar");
}

TEST_F(DialogoLeitura, TheWheelAndCancelStopWhenTheReadingEndsBeforeItsMessage) {
  struct Visto {
    bool roda, progresso, girando, ocupado, lerDados, fecharAtivo;
    QString fechar;
  };
  auto olha = [this] {
    auto* timer = d_->findChild<QTimer*>();
    return Visto{d_->img->isVisible(),
                 d_->lblProgresso->isVisible(),
                 timer && timer->isActive(),
                 d_->testAttribute(Qt::WA_SetCursor) && d_->cursor().shape() == Qt::WaitCursor,
                 d_->btnLerDados->isEnabled(),
                 d_->btnFechar->isEnabled(),
                 d_->btnFechar->text()};
  };
  for (auto [driver, titulo] : {std::pair{"libecf_stub_driver_completo.so", "Sucesso!"},
                                std::pair{"libecf_stub_driver_sem_binario.so", "Erro!"}}) {
    SCOPED_TRACE(titulo);
    driver_ = driver;
    dlg_.mensagens.clear();
    std::vector<Visto> vistos;
    dlg_.aoMostrar = [&] { vistos.push_back(olha()); };
    Le();
    // A reading that failed at once may be over already; one that runs shows the wheel.
    if (d_->Lendo()) {
      EXPECT_TRUE(olha().girando);
    }
    ASSERT_TRUE(AguardaFim());
    ASSERT_EQ(dlg_.mensagens.size(), 1u);
    EXPECT_EQ(dlg_.mensagens[0].titulo, QString::fromUtf8(titulo));
    ASSERT_EQ(vistos.size(), 1u);
    // Behind the message box: the reading is over.
    EXPECT_FALSE(vistos[0].roda);
    EXPECT_FALSE(vistos[0].progresso);
    EXPECT_FALSE(vistos[0].girando);
    EXPECT_FALSE(vistos[0].ocupado);
    EXPECT_TRUE(vistos[0].lerDados);
    EXPECT_TRUE(vistos[0].fecharAtivo);
    EXPECT_EQ(vistos[0].fechar, "Fechar");
    // And it stays so.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 450) QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(olha().girando);
    EXPECT_FALSE(d_->img->isVisible());
    dlg_.aoMostrar = {};
  }
}

TEST_F(DialogoLeitura, FailureShowsTheWorkersMessage) {
  driver_ = "libecf_stub_driver_sem_binario.so";
  Le();
  ASSERT_TRUE(AguardaFim());
  EXPECT_TRUE(d_->ArquivoSaida().isEmpty());
  ASSERT_EQ(dlg_.mensagens.size(), 1u);
  EXPECT_EQ(dlg_.mensagens[0].titulo, "Erro!");
  EXPECT_EQ(dlg_.mensagens[0].texto,
            QString::fromUtf8("Ocorreu um erro durante a execução dessa operação.\nPor favor, "
                              "entre em contato com o administrador do sistema.\n\nErro:\nFalha "
                              "ao carregar a função Orvik_RelatorioSintegraMFDBinario da DLL"));
  EXPECT_EQ(log_[1],
            "--> Geração do sintegra da ECF concluido com erro. Erro: Falha ao carregar a função "
            "Orvik_RelatorioSintegraMFDBinario da DLL");
}

TEST_F(DialogoLeitura, AReadingCanBeCancelled) {
  ::setenv("STUB_LEITURA_CENARIO", "mudo", 1);
  Le();
  EXPECT_EQ(d_->btnFechar->text(), "Cancelar");
  dlg_.respostas = {true};
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 500) QApplication::processEvents(QEventLoop::AllEvents, 20);
  d_->btnFechar->click();
  ASSERT_TRUE(AguardaFim());
  ASSERT_EQ(dlg_.mensagens.size(), 1u);
  EXPECT_TRUE(
      dlg_.mensagens[0].texto.endsWith(QString::fromUtf8("Leitura cancelada pelo usuário.")))
      << dlg_.mensagens[0].texto.toStdString();
}

}  // namespace
}  // namespace ecf

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
