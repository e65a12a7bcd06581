#include "shell/widgets/dialogos.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <QUrl>
#include <exception>
#include <utility>

#include "sintegra/identidades.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace shell {

namespace {

class DialogosReais : public Dialogos {
 public:
  void Mensagem(QWidget* dono, const QString& titulo, const QString& texto, Icone icone) override {
    QMessageBox::Icon i = QMessageBox::NoIcon;
    switch (icone) {
      case Icone::Informacao:
        i = QMessageBox::Information;
        break;
      case Icone::Aviso:
        i = QMessageBox::Warning;
        break;
      case Icone::Erro:
        i = QMessageBox::Critical;
        break;
      case Icone::Pergunta:
        i = QMessageBox::Question;
        break;
      case Icone::Nenhum:
        break;
    }
    QMessageBox box(i, titulo.isEmpty() ? QApplication::applicationName() : titulo, texto,
                    QMessageBox::Ok, dono);
    box.exec();
  }
  bool Pergunta(QWidget* dono, const QString& titulo, const QString& texto) override {
    QMessageBox box(QMessageBox::Question, titulo, texto, QMessageBox::NoButton, dono);
    QPushButton* sim = box.addButton(QStringLiteral("Sim"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("Não"), QMessageBox::NoRole);
    box.setDefaultButton(sim);
    box.exec();
    return box.clickedButton() == sim;
  }
  QString Diretorio(QWidget* dono, const QString& titulo, const QString& inicial,
                    bool botaoNovaPasta) override {
    QFileDialog dlg(dono, titulo, inicial);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly, true);
    // The native picker cannot hide its new-folder button; Qt's own can.
    dlg.setOption(QFileDialog::DontUseNativeDialog, !botaoNovaPasta);
    dlg.setOption(QFileDialog::ReadOnly, !botaoNovaPasta);
    if (!inicial.isEmpty()) dlg.selectFile(inicial);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    QString escolhida = dlg.selectedFiles().first();
    return escolhida.left(260);
  }
  bool AbrirArquivo(const QString& caminho) override {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(caminho));
  }
};

DialogosReais reais;
Dialogos* atual = nullptr;

}  // namespace

QString Dialogos::ArquivoParaAbrir(QWidget* dono, const QString& titulo, const QString& filtro,
                                   const QString& inicial) {
  QString antes = QDir::currentPath();
  QString escolhido = QFileDialog::getOpenFileName(dono, titulo, inicial, filtro);
  QDir::setCurrent(antes);
  return escolhido.isEmpty() ? inicial : escolhido;
}

QString Dialogos::ArquivoParaSalvar(QWidget* dono, const QString& titulo, const QString& filtro,
                                    const QString& inicial) {
  QString antes = QDir::currentPath();
  QString escolhido = QFileDialog::getSaveFileName(dono, titulo, inicial, filtro);
  QDir::setCurrent(antes);
  return escolhido;
}

Dialogos& dialogos() {
  return atual ? *atual : reais;
}
void InstalaDialogos(Dialogos* d) {
  atual = d;
}

bool CarregaTraducoesQt() {
  static QTranslator traducao;
  if (!traducao.isEmpty()) return true;
  if (!traducao.load(QLocale(QLocale::Portuguese, QLocale::Brazil), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  return QCoreApplication::installTranslator(&traducao);
}

namespace msg {

const char* const kTextoFalha =
    "Não foi possível realizar a operação. \nPor favor, entre em contato com o administrador "
    "do sistema.";

bool ConfirmaSalvar(QWidget* dono, const QString& objeto) {
  return dialogos().Pergunta(dono, QStringLiteral("Salvar?"),
                             QStringLiteral("Você tem certeza que deseja salvar %1 ?").arg(objeto));
}
bool ConfirmaExcluir(QWidget* dono, const QString& objeto) {
  return dialogos().Pergunta(
      dono, QStringLiteral("Excluir?"),
      QStringLiteral("Você tem certeza que deseja excluir %1 ?").arg(objeto));
}
bool AbandonarAlteracoes(QWidget* dono) {
  return dialogos().Pergunta(dono, QStringLiteral("Abandonar alterações?"),
                             QStringLiteral("O registro foi alterado. Você deseja sair do "
                                            "formulário sem salvar as alterações ?"));
}
void Sucesso(QWidget* dono) {
  dialogos().Mensagem(dono, QStringLiteral("Sucesso!"),
                      QStringLiteral("Operação realizada com sucesso!"), Icone::Informacao);
}
// The failure of the write just made: another desk's row, or the general text.
static QString TextoDaFalha() {
  if (store::dmTributarium && std::exchange(store::dmTributarium->UltimaFalhaEmUso, false))
    return QString::fromUtf8(store::kRegistroEmUso);
  return QString::fromUtf8(kTextoFalha);
}
void Falha(QWidget* dono) {
  dialogos().Mensagem(dono, QStringLiteral("Erro!"), TextoDaFalha(), Icone::Erro);
}
void FalhaSimples(QWidget* dono) {
  Simples(dono, TextoDaFalha());
}
void FalhaConsulta(QWidget* dono) {
  dialogos().Mensagem(dono, QStringLiteral("Erro!"),
                      QStringLiteral("Ocorreu um erro durante a execução dessa operação.\nPor "
                                     "favor, entre em contato com o administrador do sistema."),
                      Icone::Erro);
}
void CNPJInvalido(QWidget* dono) {
  dialogos().Mensagem(
      dono, QStringLiteral("Erro!"),
      QStringLiteral("CNPJ Inválido! Entre com um valor válido ou deixe-o em branco."),
      Icone::Erro);
}
void CampoInvalido(QWidget* dono, const QWidget* campo) {
  QString rotulo;
  if (campo) {
    for (const QLabel* l : campo->window()->findChildren<QLabel*>()) {
      if (l->buddy() == campo) {
        rotulo = l->text().remove(QLatin1Char('&'));
        break;
      }
    }
  }
  // Without a label the user is still told what is wrong, if not where.
  const QString texto =
      rotulo.isEmpty() ? QStringLiteral(
                             "Valor inválido para esse campo. Entre com um valor válido ou "
                             "deixe-o em branco.")
                       : QStringLiteral(
                             "Valor inválido para o campo \"%1\". Entre com um valor válido ou "
                             "deixe-o em branco.")
                             .arg(rotulo);
  dialogos().Mensagem(dono, QStringLiteral("Campo Inválido"), texto, Icone::Erro);
}
bool IeConfere(QWidget* dono, const QString& ie, const QString& uf) {
  const std::string valor = sintegra::IeSemPontuacao(ie.trimmed().toStdString());
  if (valor.empty() || uf.isEmpty() || sintegra::InscricaoEstadualValida(uf.toStdString(), valor))
    return true;
  return dialogos().Pergunta(
      dono, QStringLiteral("Inscrição Estadual"),
      QStringLiteral("A Inscrição Estadual %1 não confere com as regras do estado %2 (dígitos "
                     "verificadores ou formato).\nAlgumas inscrições irregulares são "
                     "verdadeiras. Deseja salvar mesmo assim?")
          .arg(ie.trimmed(), uf));
}
void Simples(QWidget* dono, const QString& texto) {
  dialogos().Mensagem(dono, QString(), texto, Icone::Nenhum);
}
void ErroGeral(QWidget* dono, const QString& texto) {
  dialogos().Mensagem(dono, QString(), texto, Icone::Erro);
}

}  // namespace msg

bool CampoObrigatorio(QWidget* janela, const QString& valor, const QString& rotulo) {
  if (!valor.isEmpty()) return false;
  dialogos().Mensagem(janela, QStringLiteral("Informe o valor"),
                      QStringLiteral("Por favor, preencha o campo \"%1\".").arg(rotulo),
                      Icone::Aviso);
  return true;
}

void Protegido(QWidget* dono, const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    msg::ErroGeral(dono, QString::fromUtf8(e.what()));
  } catch (...) {
    msg::ErroGeral(dono, QStringLiteral("Erro desconhecido."));
  }
}

}  // namespace shell
