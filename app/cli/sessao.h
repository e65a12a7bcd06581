#pragma once
// What the program commands share: the global options, the configuration, the data
// module with the catalogue connected, the login and the client bases by name.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "configuracao.h"
#include "dispatcher.h"
#include "store/data_module.h"

namespace cli {

struct OpcoesGlobais {
  std::string config;  // empty: Tributarium.ini in the current directory
  std::optional<std::string> login, senha;
  bool progresso_no_terminal = false;  // standard error is a terminal

  // Takes --config, --login and --senha from the front of args (they are removed);
  // raises UsageError when one lacks its value. TRIBUTARIUM_LOGIN / TRIBUTARIUM_SENHA
  // stand in for the missing ones.
  static OpcoesGlobais Extrai(Arguments& args);
};

// One client base as the catalogue lists it.
struct Base {
  int id = 0;
  std::string nome, path;
};

class Sessao {
 public:
  // Reads (and repairs) the configuration.
  explicit Sessao(const OpcoesGlobais& opcoes);
  ~Sessao();

  TConfiguracoes& Configuracao() { return *config_; }
  store::TdmTributarium& Modulo() { return *dm_; }

  // Connects the catalogue of PathBaseDados and keeps the template base registered at
  // PathBaseDados/Default, as the program's start does. A missing catalogue is reported
  // with the advice to run "init".
  void ConectaCatalogo();
  // Checks the login (LOGIN); the log lines that follow are written under that user.
  // Missing credentials raise UsageError; wrong ones a plain error.
  void Login();
  // The first base whose name equals nome exactly, or nothing.
  std::optional<Base> BuscaBase(const std::string& nome);
  // Opens the base's data database (raises with a clear message when it cannot).
  void AbreBase(const Base& base);

 private:
  OpcoesGlobais opcoes_;
  std::unique_ptr<TConfiguracoes> config_;
  std::unique_ptr<store::TdmTributarium> dm_;
};

// The server login from the configuration's [Servidor] Usuario and Senha, then ISC_USER and
// ISC_PASSWORD when set (for one run), over the module's default pair.
void CredenciaisServidor(const TConfiguracoes& config, store::TdmTributarium& dm);

// True for a location of a Firebird server ("host:/path", "host/port:/path") rather than a
// local folder.
bool LocalDeServidor(const std::string& local);

}  // namespace cli
