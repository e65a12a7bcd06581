#pragma once
// The program's configuration file, Tributarium.ini in the working folder. Creating the
// object repairs the file: every missing key of section [Tributarium] is written with
// its default, so the file always names the five settings.
#include <filesystem>
#include <string>
#include <string_view>

namespace shell {

class TConfiguracoes {
 public:
  static constexpr const char* kSecao = "Tributarium";
  static constexpr const char* kPathLog = "PathLog";
  static constexpr const char* kPathSintegra = "PathSintegra";
  static constexpr const char* kPathBaseDados = "PathBaseDados";
  static constexpr const char* kIniciarBase = "IniciarBase";
  static constexpr const char* kBaseSelecionada = "BaseSelecionada";

  // The file in the process's current folder.
  TConfiguracoes();
  // The file in folder (tests and tools).
  explicit TConfiguracoes(const std::filesystem::path& folder);
  // The file arquivo, with the folder defaults made from pasta_padroes (the command line
  // names its file and keeps the defaults relative to the current folder).
  TConfiguracoes(std::filesystem::path arquivo, std::filesystem::path pasta_padroes);

  // False when a missing key could not be written when the file was opened.
  bool Reparado() const { return reparado_; }

  const std::filesystem::path& arquivo() const { return arquivo_; }

  // The key's text (UTF-8); empty when absent. When the repair could not write the file,
  // the folder keys fall back to their defaults so the program still finds its data.
  std::string Le(std::string_view chave) const;
  // Writes the key at once; false when the file cannot be written.
  bool Grava(std::string_view chave, std::string_view valor);

  // IniciarBase is yes exactly when its text is "1".
  bool IniciarBase() const { return Le(kIniciarBase) == "1"; }
  bool GravaIniciarBase(bool sim) { return Grava(kIniciarBase, sim ? "1" : "0"); }

  // The server login of section [Servidor] (Usuario, Senha), then ISC_USER and
  // ISC_PASSWORD when set; each left as it was when neither gives it.
  static constexpr const char* kSecaoServidor = "Servidor";
  static constexpr const char* kUsuario = "Usuario";
  static constexpr const char* kSenha = "Senha";
  void LoginServidor(std::string& usuario, std::string& senha) const;

  // The default of a key for the folder the file lives in.
  std::string Padrao(std::string_view chave) const;

 private:
  bool Repara();

  std::filesystem::path pasta_;
  std::filesystem::path arquivo_;
  bool reparado_ = true;
};

}  // namespace shell
