// The generation screen and its status dialog on the offscreen platform, with a real
// client base.
#include "gera_sintegra_window.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <fstream>

#include "common/files.h"
#include "common/text1252.h"
#include "ler_dados_impressora.h"
#include "shell/testing/shell_fixture.h"
#include "shell/widgets/help_window.h"
#include "status_geracao.h"
#include "validacao_window.h"
#include "visualiza_arquivo.h"

namespace generation {
namespace {

namespace fs = std::filesystem;
using sintegra::TTipoRegistros;
using T = TTipoRegistros;

class DialogosComArquivo : public shell::testing::DialogosDeTeste {
 public:
  QString ArquivoParaAbrir(QWidget*, const QString& titulo, const QString& filtro,
                           const QString& inicial) override {
    titulosArquivo.push_back(titulo + "|" + filtro);
    return arquivoEscolhido.isEmpty() ? inicial : arquivoEscolhido;
  }
  QString arquivoEscolhido;
  std::vector<QString> titulosArquivo;
};

class TelaGeracao : public shell::testing::ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    shell::InstalaDialogos(&dlg_);
    InstalaCatalogo();
    CriaBase("Loja");
    tela_ = std::make_unique<TfrmGeraSintegra>(*principal_);
    sintegra_ = dir_ / "Sintegra";
    tela_->PathSintegra = [this] { return QString::fromStdString(sintegra_.string()); };
    tela_->PausaMs = 0;
    tela_->MostraValidacao = [this](const fs::path& arquivo, const sintegra::ResultadoValidacao& r,
                                    const QString& resumo) {
      validacoes_.push_back({arquivo, r, resumo});
    };
    tela_->MostraArquivo = [this](const fs::path& arquivo) { mostrados_.push_back(arquivo); };
  }
  void TearDown() override {
    tela_.reset();
    shell::InstalaDialogos(&dialogos_);
    ShellTest::TearDown();
  }
  void Natureza(int item) { tela_->rgrpNaturezaOper->button(item)->click(); }
  // Runs f on the modal status dialog once it shows, after ms.
  void NoStatus(int ms, std::function<void(TfrmStatusGeracaoSintegra&)> f) {
    QTimer::singleShot(ms, [f] {
      if (auto* d = qobject_cast<TfrmStatusGeracaoSintegra*>(QApplication::activeModalWidget()))
        f(*d);
    });
  }

  struct Validacao {
    fs::path arquivo;
    sintegra::ResultadoValidacao resultado;
    QString resumo;
  };
  std::vector<Validacao> validacoes_;
  std::vector<fs::path> mostrados_;  // files shown in the program's viewer
  DialogosComArquivo dlg_;
  std::unique_ptr<TfrmGeraSintegra> tela_;
  fs::path sintegra_;
};

TEST_F(TelaGeracao, DefaultsAndTheTypeBoxesPerNature) {
  TfrmGeraSintegra& t = *tela_;
  EXPECT_EQ(t.cmbMes->currentIndex(), QDate::currentDate().month() - 1);
  EXPECT_EQ(t.cmbMes->itemText(2), QString::fromUtf8("Março"));
  EXPECT_EQ(t.edtAno->value(), QDate::currentDate().year());
  for (QCheckBox* c : {t.chkTipo10, t.chkTipo11, t.chkTipo50, t.chkTipo54, t.chkTipo74, t.chkTipo90,
                       t.chkTipo75}) {
    EXPECT_EQ(c->checkState(), Qt::PartiallyChecked) << c->text().toStdString();
    EXPECT_FALSE(c->isEnabled()) << c->text().toStdString();
  }
  for (QCheckBox* c : {t.chkTipo60A, t.chkTipo60D, t.chkTipo60I, t.chkTipo60M, t.chkTipo60R}) {
    EXPECT_EQ(c->checkState(), Qt::Unchecked);
    EXPECT_TRUE(c->isEnabled());
  }
  EXPECT_EQ(t.rgrpNaturezaOper->checkedId(), 3);
  EXPECT_EQ(t.rgrpFinalidade->checkedId(), 1);
  EXPECT_FALSE(t.edtRegistro60->isEnabled());
  EXPECT_FALSE(t.btnLocalizar->isEnabled());
  EXPECT_FALSE(t.btnImportarDll->isEnabled());
  EXPECT_EQ(t.Selecao(), (sintegra::TListaTipoRegistros{T::Tipo10, T::Tipo11, T::Tipo50, T::Tipo54,
                                                        T::Tipo74, T::Tipo75, T::Tipo90}));

  t.chkTipo60M->click();
  EXPECT_TRUE(t.edtRegistro60->isEnabled());
  EXPECT_TRUE(t.btnImportarDll->isEnabled());

  Natureza(1);
  for (QCheckBox* c :
       {t.chkTipo60A, t.chkTipo60D, t.chkTipo60I, t.chkTipo60M, t.chkTipo60R, t.chkTipo75}) {
    EXPECT_EQ(c->checkState(), Qt::Unchecked);
    EXPECT_FALSE(c->isEnabled());
  }
  EXPECT_FALSE(t.btnImportarDll->isEnabled());
  EXPECT_EQ(t.Selecao(), (sintegra::TListaTipoRegistros{T::Tipo10, T::Tipo11, T::Tipo50, T::Tipo54,
                                                        T::Tipo74, T::Tipo90}));
  Natureza(3);
  EXPECT_TRUE(t.chkTipo75->isEnabled());
  EXPECT_EQ(t.chkTipo75->checkState(), Qt::Unchecked);
  EXPECT_TRUE(t.chkTipo60M->isEnabled());
}

TEST_F(TelaGeracao, YearStaysBetween2000And3000) {
  tela_->edtAno->setValue(1999);
  EXPECT_EQ(tela_->edtAno->value(), 2000);
  tela_->edtAno->setValue(3001);
  EXPECT_EQ(tela_->edtAno->value(), 3000);
  EXPECT_EQ(tela_->edtAno->text(), "3000");
}

TEST_F(TelaGeracao, RefusalsOfARun) {
  tela_->chkTipo60M->click();
  tela_->btnGerarArquivo->click();
  ASSERT_EQ(dlg_.mensagens.size(), 1u);
  EXPECT_EQ(dlg_.mensagens[0].titulo, "Informe o valor");
  EXPECT_EQ(
      dlg_.mensagens[0].texto,
      QString::fromUtf8("Por favor, preencha o campo \"Arquivo com registros tipo 60 e 75\"."));

  // A Sintegra folder that cannot be made: its parent is a file.
  std::ofstream(dir_ / "arquivo") << "x";
  sintegra_ = dir_ / "arquivo" / "Sintegra";
  tela_->chkTipo60M->click();
  tela_->btnGerarArquivo->click();
  ASSERT_EQ(dlg_.mensagens.size(), 2u);
  EXPECT_EQ(dlg_.mensagens[1].titulo, "Erro!");
  EXPECT_EQ(dlg_.mensagens[1].texto,
            QString::fromUtf8("Não foi possível criar a estrutura de pasta para a geração do "
                              "arquivo do Sintegra.\nVerifique se o diretório de geração do "
                              "sintegra possui permição de escrita."));
  std::vector<std::string> log = LinhasDoLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), "<-- Fim da Geração do Sintegra."), 2);
}

TEST_F(TelaGeracao, LocateFileKeepsThePreviousChoiceOnCancel) {
  tela_->chkTipo60R->click();
  dlg_.arquivoEscolhido = "/dados/ecf.txt";
  tela_->btnLocalizar->click();
  EXPECT_EQ(tela_->edtRegistro60->text(), "/dados/ecf.txt");
  dlg_.arquivoEscolhido.clear();
  tela_->btnLocalizar->click();
  EXPECT_EQ(tela_->edtRegistro60->text(), "/dados/ecf.txt");
  EXPECT_EQ(
      dlg_.titulosArquivo[0],
      QString::fromUtf8("Selecione um arquivo com os registros tipo 60 e 75|txt (*.txt);;*.* (*)"));
}

TEST_F(TelaGeracao, EcfReadingGetsTheMaskAndItsFileMovesIntoTheMonthsFolder) {
  int mascara = -1;
  fs::path lido = dir_ / "Sintegra-3_2008.txt";
  tela_->LeDadosEcf = [&](int mes, int ano, int m) {
    EXPECT_EQ(mes, 3);
    EXPECT_EQ(ano, 2008);
    mascara = m;
    std::ofstream(lido, std::ios::binary) << "registros\r\n";
    return QString::fromStdString(lido.string());
  };
  tela_->cmbMes->setCurrentIndex(2);
  tela_->edtAno->setValue(2008);
  tela_->chkTipo60D->click();
  tela_->chkTipo60R->click();
  tela_->btnImportarDll->click();
  EXPECT_EQ(mascara, 20);
  fs::path destino = sintegra_ / "2008" / "Março" / "Sintegra-3_2008.txt";
  EXPECT_EQ(tela_->edtRegistro60->text().toStdString(), destino.string());
  EXPECT_EQ(common::read_file(destino), "registros\r\n");
  EXPECT_FALSE(fs::exists(lido));

  // Another month asks before mixing that month's records in.
  dlg_.respostas = {false};
  tela_->cmbMes->setCurrentIndex(3);
  ASSERT_EQ(dlg_.perguntas.size(), 1u);
  EXPECT_TRUE(tela_->edtRegistro60->text().isEmpty());
}

TEST_F(TelaGeracao, DefaultRunWritesTheMonthsFile) {
  tela_->cmbMes->setCurrentIndex(2);
  tela_->edtAno->setValue(2008);
  tela_->btnGerarArquivo->click();
  fs::path arquivo = sintegra_ / "2008" / "Março" / "Sintegra.txt";
  EXPECT_TRUE(fs::exists(arquivo));
  ASSERT_FALSE(dlg_.mensagens.empty());
  EXPECT_EQ(dlg_.mensagens.back().titulo, "Sucesso!");
  EXPECT_EQ(tela_->PastaVisualizar().toStdString(), (sintegra_ / "2008" / "Março").string());
  tela_->btnVisualizarArquivo->click();
  EXPECT_EQ(dlg_.abertos.back().toStdString(), (sintegra_ / "2008" / "Março").string());

  // No file manager: the folder is named and the month's file offered in the viewer.
  const QString pasta = QString::fromStdString((sintegra_ / "2008" / "Março").string());
  const QString pergunta = QString::fromUtf8(
                               "Não foi possível abrir o diretório %1\nDeseja ver o arquivo "
                               "Sintegra.txt no visualizador do programa?")
                               .arg(pasta);
  dlg_.abrirFunciona = false;
  dlg_.mensagens.clear();
  dlg_.respostas = {true};
  tela_->btnVisualizarArquivo->click();
  ASSERT_FALSE(dlg_.perguntas.empty());
  EXPECT_EQ(dlg_.perguntas.back().texto, pergunta);
  EXPECT_EQ(mostrados_, std::vector<fs::path>{arquivo});
  dlg_.respostas = {false};
  tela_->btnVisualizarArquivo->click();
  EXPECT_EQ(mostrados_.size(), 1u);
  EXPECT_TRUE(dlg_.mensagens.empty());
  // Without the file there is nothing to offer: the message names the folder.
  fs::remove(arquivo);
  tela_->btnVisualizarArquivo->click();
  ASSERT_EQ(dlg_.mensagens.size(), 1u);
  EXPECT_EQ(dlg_.mensagens.back().titulo, "Erro!");
  EXPECT_EQ(dlg_.mensagens.back().texto,
            QString::fromUtf8("Não foi possível abrir o diretório %1").arg(pasta));
  EXPECT_EQ(mostrados_.size(), 1u);
}

TEST(VisualizadorDeArquivo, ShowsTheFileReadOnlyInItsTextBlockByBlockUpToALimit) {
  const fs::path arquivo =
      fs::temp_directory_path() / ("visualiza_" + std::to_string(::getpid()) + ".txt");
  // Latin letters of the 8-bit text, CR LF line ends, lines longer than a block.
  std::vector<std::string> linhas;
  std::string bytes;
  for (int i = 0; i < 40; ++i) {
    linhas.push_back("10" + std::to_string(1000 + i) + " S\xE3o Paulo " + std::string(50, 'x'));
    bytes += linhas.back() + "\r\n";
  }
  std::ofstream(arquivo, std::ios::binary) << bytes;
  struct Caso {
    const char* nome;
    std::uintmax_t bloco, limite;
    std::size_t linhasVistas;  // whole lines shown
    bool cortado;
  } casos[] = {
      {"in one block", TfrmVisualizaArquivo::kBloco, TfrmVisualizaArquivo::kLimite, 40, false},
      {"in blocks shorter than a line", 37, TfrmVisualizaArquivo::kLimite, 40, false},
      {"a large file up to the limit", 100, 5 * 70 + 10, 5, true},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    TfrmVisualizaArquivo v(arquivo, nullptr, c.bloco, c.limite);
    v.show();
    QElapsedTimer t;
    t.start();
    while (!v.Completo() && t.elapsed() < 10'000) QApplication::processEvents();
    ASSERT_TRUE(v.Completo());
    EXPECT_TRUE(v.txtArquivo->isReadOnly());
    EXPECT_EQ(v.txtArquivo->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(QFontInfo(v.txtArquivo->font()).fixedPitch());
    EXPECT_EQ(v.txtArquivo->verticalScrollBar()->value(), 0);  // the view starts at the top
    const QStringList vistas = v.txtArquivo->toPlainText().split(QLatin1Char('\n'));
    ASSERT_GE(vistas.size(), static_cast<qsizetype>(c.linhasVistas));
    EXPECT_EQ(vistas[0], QString::fromUtf8("101000 São Paulo ") + QString(50, QLatin1Char('x')));
    for (std::size_t i = 0; i < c.linhasVistas; ++i)
      EXPECT_EQ(vistas[static_cast<qsizetype>(i)].toStdString(), common::cp1252_to_utf8(linhas[i]));
    if (c.cortado) {
      EXPECT_LE(vistas.size(), static_cast<qsizetype>(c.linhasVistas + 1));
      EXPECT_EQ(v.lblSituacao->text(),
                QString::fromUtf8("O arquivo tem %1 bytes; são mostrados os primeiros %2 (%3 "
                                  "linhas).")
                    .arg(bytes.size())
                    .arg(c.limite)
                    .arg(vistas.size()));
    } else {
      EXPECT_EQ(vistas.size(), 40);
      EXPECT_EQ(v.lblSituacao->text(), QString::fromUtf8("40 linhas, %1 bytes.").arg(bytes.size()));
    }
  }
  fs::remove(arquivo);
  TfrmVisualizaArquivo faltando(arquivo);
  EXPECT_TRUE(faltando.Completo());
  EXPECT_TRUE(faltando.txtArquivo->toPlainText().isEmpty());
  EXPECT_EQ(faltando.lblSituacao->text(), QString::fromUtf8("Não foi possível ler o arquivo %1")
                                              .arg(QString::fromStdString(arquivo.string())));
}

TEST_F(TelaGeracao, CancelAnsweredNoContinuesAndYesStopsWithoutAFile) {
  tela_->cmbMes->setCurrentIndex(2);
  tela_->edtAno->setValue(2008);
  tela_->PausaMs = 300;
  fs::path arquivo = sintegra_ / "2008" / "Março" / "Sintegra.txt";

  dlg_.respostas = {false};
  NoStatus(100, [](TfrmStatusGeracaoSintegra& d) { d.btnCancelar->click(); });
  tela_->btnGerarArquivo->click();
  ASSERT_EQ(dlg_.perguntas.size(), 1u);
  EXPECT_EQ(dlg_.perguntas[0].titulo, "Cancelar?");
  EXPECT_EQ(dlg_.perguntas[0].texto,
            QString::fromUtf8("Você tem certeza que deseja cancelar a geração do arquivo?"));
  EXPECT_TRUE(fs::exists(arquivo));
  EXPECT_EQ(dlg_.mensagens.back().titulo, "Sucesso!");

  fs::remove(arquivo);
  dlg_.mensagens.clear();
  dlg_.respostas = {true};
  NoStatus(100, [](TfrmStatusGeracaoSintegra& d) { d.btnCancelar->click(); });
  tela_->btnGerarArquivo->click();
  EXPECT_EQ(dlg_.perguntas.size(), 2u);
  EXPECT_FALSE(fs::exists(arquivo));
  EXPECT_TRUE(dlg_.mensagens.empty());
}

bool Tem(const sintegra::ResultadoValidacao& r, std::uint64_t linha, const std::string& regra) {
  for (const auto& a : r.achados)
    if (a.linha == linha && a.regra == regra) return true;
  return false;
}

TEST_F(TelaGeracao, ARunChecksTheFileItWroteAndSavesTheReportBesideIt) {
  tela_->cmbMes->setCurrentIndex(2);
  tela_->edtAno->setValue(2008);
  tela_->btnGerarArquivo->click();
  fs::path pasta = sintegra_ / "2008" / "Março";
  ASSERT_EQ(validacoes_.size(), 1u);
  EXPECT_EQ(validacoes_[0].arquivo, pasta / "Sintegra.txt");
  // The base has no owner: the type 10 has no CNPJ, and the state would refuse the file.
  EXPECT_TRUE(Tem(validacoes_[0].resultado, 1, "cnpj"));
  EXPECT_TRUE(validacoes_[0].resumo.startsWith(QString::fromUtf8("Arquivo gerado: ")));
  EXPECT_TRUE(validacoes_[0].resumo.contains(QString::fromUtf8("O estado recusaria o arquivo")));
  std::string relatorio = common::read_file(pasta / "Sintegra-validacao.txt").value_or("");
  EXPECT_NE(relatorio.find("Erro linha 1 registro 10 campo CNPJ: "), std::string::npos)
      << relatorio;
  // The file is written all the same.
  EXPECT_TRUE(fs::exists(pasta / "Sintegra.txt"));
}

TEST_F(TelaGeracao, ValidarArquivoChecksAnyFile) {
  fs::path arquivo = dir_ / "outro" / "meu.txt";
  fs::create_directories(arquivo.parent_path());
  std::ofstream(arquivo, std::ios::binary) << "10" + std::string(100, '0') + "\r\n";
  dlg_.arquivoEscolhido = QString::fromStdString(arquivo.string());
  tela_->btnValidarArquivo->click();
  ASSERT_EQ(validacoes_.size(), 1u);
  EXPECT_EQ(validacoes_[0].arquivo, arquivo);
  EXPECT_TRUE(Tem(validacoes_[0].resultado, 1, "linha.tamanho"));
  EXPECT_TRUE(fs::exists(arquivo.parent_path() / "Sintegra-validacao.txt"));
  EXPECT_EQ(dlg_.titulosArquivo.back(),
            QString::fromUtf8("Selecione o arquivo do Sintegra a validar|txt (*.txt);;*.* (*)"));
  // Cancelled: the dialog answers the folder it started in, and nothing is checked.
  dlg_.arquivoEscolhido.clear();
  tela_->btnValidarArquivo->click();
  EXPECT_EQ(validacoes_.size(), 1u);
}

TEST_F(TelaGeracao, ANamedFileOf60And75RecordsIsCheckedBeforeTheRun) {
  tela_->cmbMes->setCurrentIndex(2);
  tela_->edtAno->setValue(2008);
  // A 60M of April in a March run, beside a header that is not merged (and not counted).
  fs::path ecf = dir_ / "ecf.txt";
  std::string m60 = "60M20080401" + std::string(20, 'E') + "0012D000001000009000001001" +
                    std::string(32, '0') + std::string(37, ' ');
  std::ofstream(ecf, std::ios::binary) << "10" + std::string(124, ' ') + "\r\n" + m60 + "\r\n";
  tela_->chkTipo60M->click();
  tela_->edtRegistro60->setText(QString::fromStdString(ecf.string()));
  dlg_.respostas = {false};
  tela_->btnGerarArquivo->click();
  ASSERT_EQ(validacoes_.size(), 1u);
  EXPECT_EQ(validacoes_[0].arquivo, ecf);
  EXPECT_TRUE(Tem(validacoes_[0].resultado, 2, "60.data-periodo"));
  for (const auto& a : validacoes_[0].resultado.achados) EXPECT_NE(a.registro, "10");
  ASSERT_EQ(dlg_.perguntas.size(), 1u);
  EXPECT_EQ(dlg_.perguntas[0].titulo, "Arquivo com erros");
  EXPECT_FALSE(fs::exists(sintegra_ / "2008" / "Março" / "Sintegra.txt"));

  // Answered Yes, the run goes on and merges the record.
  dlg_.respostas = {true};
  tela_->btnGerarArquivo->click();
  EXPECT_TRUE(fs::exists(sintegra_ / "2008" / "Março" / "Sintegra.txt"));
}

TEST_F(TelaGeracao, TheFindingsWindowListsEachFindingAndShowsItsLineUnderARuler) {
  fs::path arquivo = dir_ / "Sintegra.txt";
  std::ofstream(arquivo, std::ios::binary) << "11" + std::string(124, '0') + "\r\n";
  auto r = sintegra::ValidaArquivo(arquivo);
  TfrmValidacaoSintegra janela(arquivo, r, ResumoDaValidacao("Arquivo validado", r.contagem));
  ASSERT_EQ(janela.grdAchados->rowCount(), static_cast<int>(r.achados.size()));
  int cep = -1;
  for (int i = 0; i < janela.grdAchados->rowCount(); ++i)
    if (janela.grdAchados->item(i, 3)->text() == "CEP") cep = i;
  ASSERT_GE(cep, 0);
  EXPECT_EQ(janela.grdAchados->item(cep, 0)->text(), "Erro");
  EXPECT_EQ(janela.grdAchados->item(cep, 1)->text(), "1");
  EXPECT_EQ(janela.grdAchados->item(cep, 4)->text(), "79-86");
  janela.grdAchados->cellDoubleClicked(cep, 5);
  ASSERT_NE(janela.txtLinha, nullptr);
  QStringList linhas = janela.txtLinha->toPlainText().split('\n');
  ASSERT_GE(linhas.size(), 4);
  EXPECT_EQ(linhas[1].left(12), "123456789012");
  EXPECT_EQ(linhas[2], QString::fromStdString("11" + std::string(124, '0')));
  EXPECT_EQ(linhas[3], QString(78, ' ') + QString(8, '^'));
  EXPECT_EQ(janela.dlgLinha->windowTitle(), "Linha 1");
}

// F1 in a dialog shown on its own: the manual opens (at the dialogs' topic).
void F1AbreOManual(QDialog& d) {
  d.show();
  d.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
  QTest::keyClick(&d, Qt::Key_F1);
  shell::TfrmAjuda& ajuda = shell::Ajuda(&d);
  EXPECT_TRUE(ajuda.isVisible());
  EXPECT_TRUE(
      ajuda.navegador()->source().toLocalFile().endsWith(QStringLiteral("Manual/Tributarium.html")))
      << ajuda.navegador()->source().toString().toStdString();
}

TEST_F(TelaGeracao, F1InTheStatusDialogOpensTheManual) {
  TfrmStatusGeracaoSintegra status(principal_->dm(), tela_.get());
  F1AbreOManual(status);
  EXPECT_TRUE(dlg_.mensagens.empty());
}

TEST_F(TelaGeracao, F1InTheReadingDialogOpensTheManual) {
  ecf::TfrmLerDadosImpressora leitura([](const std::string&) {},
                                      [this] { return sintegra_.string(); }, tela_.get());
  F1AbreOManual(leitura);
  EXPECT_TRUE(dlg_.mensagens.empty());
}

}  // namespace
}  // namespace generation
