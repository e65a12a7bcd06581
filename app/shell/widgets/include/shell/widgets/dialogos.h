#pragma once
// Every message box, question and folder picker of the program goes through one
// replaceable object, so tests answer the questions and read the texts without a human.
#include <QString>
#include <functional>

class QWidget;

namespace shell {

enum class Icone { Nenhum, Informacao, Aviso, Erro, Pergunta };

class Dialogos {
 public:
  virtual ~Dialogos() = default;
  // A message box; an empty caption shows the application title.
  virtual void Mensagem(QWidget* dono, const QString& titulo, const QString& texto,
                        Icone icone) = 0;
  // A Yes/No question with the question icon; true for Yes.
  virtual bool Pergunta(QWidget* dono, const QString& titulo, const QString& texto) = 0;
  // Folder picker; empty when cancelled.
  virtual QString Diretorio(QWidget* dono, const QString& titulo, const QString& inicial,
                            bool botaoNovaPasta) = 0;
  // Opens a file with the program the desktop associates with it.
  virtual bool AbrirArquivo(const QString& caminho) = 0;
  // An open-file dialog; answers inicial when cancelled. The current directory is the
  // same afterwards.
  virtual QString ArquivoParaAbrir(QWidget* dono, const QString& titulo, const QString& filtro,
                                   const QString& inicial);
  // A save-file dialog; empty when cancelled.
  virtual QString ArquivoParaSalvar(QWidget* dono, const QString& titulo, const QString& filtro,
                                    const QString& inicial);
};

// The object in use (the real message boxes unless a test installed another).
Dialogos& dialogos();
// Installs d (not owned); nullptr puts the real message boxes back.
void InstalaDialogos(Dialogos* d);

// Loads Qt's own Portuguese texts, so that standard buttons and dialogs ("Cancelar",
// "Sim", "Não") read as the rest of the program; false when they are not installed.
bool CarregaTraducoesQt();

// The shared messages of the editors.
namespace msg {
// "Você tem certeza que deseja salvar %s ?" / "Salvar?"
bool ConfirmaSalvar(QWidget* dono, const QString& objeto);
// "Você tem certeza que deseja excluir %s ?" / "Excluir?"
bool ConfirmaExcluir(QWidget* dono, const QString& objeto);
// The leave-with-changes question; true when the user agrees to lose the changes.
bool AbandonarAlteracoes(QWidget* dono);
void Sucesso(QWidget* dono);
void Falha(QWidget* dono);
// The failure text as a plain message (no icon, program title).
void FalhaSimples(QWidget* dono);
void FalhaConsulta(QWidget* dono);
void CNPJInvalido(QWidget* dono);
// "Campo Inválido", naming the field by its label (the label whose buddy it is).
void CampoInvalido(QWidget* dono, const QWidget* campo);
// The state registration against its state's check digits: a wrong one asks whether to
// save it all the same (some registrations are irregular and still real). True to go on;
// an empty registration or state is not checked.
bool IeConfere(QWidget* dono, const QString& ie, const QString& uf);
// A plain message: program title, no icon.
void Simples(QWidget* dono, const QString& texto);
// The general error dialog for an error nothing else caught.
void ErroGeral(QWidget* dono, const QString& texto);

extern const char* const kTextoFalha;
}  // namespace msg

// An empty value shows "Por favor, preencha o campo ..." and answers true (missing).
bool CampoObrigatorio(QWidget* janela, const QString& valor, const QString& rotulo);

// Runs f, turning any error it throws into the general error dialog: the program goes on.
void Protegido(QWidget* dono, const std::function<void()>& f);

}  // namespace shell
