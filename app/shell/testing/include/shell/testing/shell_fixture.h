#pragma once
// Test support for the windows: a QApplication on the offscreen platform, dialogs that
// answer from a script and record what they showed, and a fixture with real databases
// (the delivered catalogue and a client base) in a temporary working folder.
#include <gtest/gtest.h>

#include <QString>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "shell/widgets/dialogos.h"
#include "shell/widgets/principal.h"
#include "store/data_module.h"

namespace shell::testing {

struct Mostrada {
  QString titulo, texto;
  Icone icone;
};

class DialogosDeTeste : public Dialogos {
 public:
  void Mensagem(QWidget*, const QString& titulo, const QString& texto, Icone icone) override {
    mensagens.push_back({titulo, texto, icone});
  }
  bool Pergunta(QWidget*, const QString& titulo, const QString& texto) override {
    perguntas.push_back({titulo, texto, Icone::Pergunta});
    if (respostas.empty()) return true;
    bool r = respostas.front();
    respostas.pop_front();
    return r;
  }
  QString Diretorio(QWidget*, const QString& titulo, const QString&, bool) override {
    titulosPasta.push_back(titulo);
    return pastaEscolhida;
  }
  bool AbrirArquivo(const QString& caminho) override {
    abertos.push_back(caminho);
    return abrirFunciona;
  }
  QString ArquivoParaAbrir(QWidget*, const QString& titulo, const QString&,
                           const QString& inicial) override {
    titulosArquivo.push_back(titulo);
    return arquivoEscolhido.isEmpty() ? inicial : arquivoEscolhido;
  }
  QString ArquivoParaSalvar(QWidget*, const QString& titulo, const QString&,
                            const QString&) override {
    titulosArquivo.push_back(titulo);
    return arquivoEscolhido;
  }
  // Texts of the messages shown, in order.
  std::vector<QString> textos() const {
    std::vector<QString> t;
    for (auto& m : mensagens) t.push_back(m.texto);
    return t;
  }

  std::vector<Mostrada> mensagens, perguntas;
  std::deque<bool> respostas;  // answers to the next questions (Yes when empty)
  QString pastaEscolhida;
  std::vector<QString> titulosPasta, abertos, titulosArquivo;
  QString arquivoEscolhido;  // the answer of the file dialogs
  bool abrirFunciona = true;
};

// A main window stand-in for the editors.
class PrincipalDeTeste : public Principal {
 public:
  explicit PrincipalDeTeste(store::TdmTributarium& dm) : dm_(dm) {}
  store::TdmTributarium& dm() override { return dm_; }
  QWidget* janela() override { return nullptr; }
  void GravaLog(const std::string& linha) override { dm_.GravaLog(linha); }
  void MostraSubTitulo() override {}
  bool SelecionaBase(const QString& nome, const QString& pasta) override {
    selecionadas.push_back(nome);
    dm_.TrocarBanco(nome.toStdString(), pasta.toStdString());
    base = nome;
    pastaAtual = pasta;
    return true;
  }
  bool UsuarioMestre() const override { return mestre; }
  QString BaseAtual() const override { return base; }
  QString PastaAtual() const override { return pastaAtual; }
  QString PathBaseDados() const override { return pathBaseDados; }

  bool mestre = true;
  QString base, pastaAtual, pathBaseDados;
  std::vector<QString> selecionadas;

 private:
  store::TdmTributarium& dm_;
};

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Delivered databases installed in dir_/Dados, catalogue connected.
  void InstalaCatalogo();
  // A client base folder dir_/Bases/nome with a template copy, registered in the
  // catalogue and opened; its key.
  int CriaBase(const std::string& nome);
  // Rows of a statement, read afresh.
  store::RowSet Consulta(store::Transaction& tr, const std::string& sql);
  std::vector<std::string> LinhasDoLog();

  std::filesystem::path dir_, anterior_;
  std::unique_ptr<store::TdmTributarium> dm_;
  std::unique_ptr<PrincipalDeTeste> principal_;
  DialogosDeTeste dialogos_;
};

}  // namespace shell::testing
