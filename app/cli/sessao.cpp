#include "sessao.h"

#include <cstdlib>
#include <iostream>

#include "common/text1252.h"
#include "store/entities.h"

namespace cli {

namespace fs = std::filesystem;

OpcoesGlobais OpcoesGlobais::Extrai(Arguments& args) {
  OpcoesGlobais o;
  size_t i = 0;
  while (i < args.size()) {
    const std::string& a = args[i];
    std::string* destino = nullptr;
    if (a == "--config") {
      destino = &o.config;
    } else if (a == "--login") {
      o.login.emplace();
      destino = &*o.login;
    } else if (a == "--senha") {
      o.senha.emplace();
      destino = &*o.senha;
    } else {
      break;
    }
    if (i + 1 >= args.size()) throw UsageError("falta o valor de " + a);
    *destino = args[i + 1];
    i += 2;
  }
  args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(i));
  if (!o.login)
    if (const char* e = std::getenv("TRIBUTARIUM_LOGIN")) o.login = e;
  if (!o.senha)
    if (const char* e = std::getenv("TRIBUTARIUM_SENHA")) o.senha = e;
  return o;
}

bool LocalDeServidor(const std::string& local) {
  // "host:/path" or "host/port:/path"; a local path starts with '/' or '.' (or has no ':').
  auto colon = local.find(':');
  return colon != std::string::npos && colon > 0 && local.front() != '/' && local.front() != '.';
}

void CredenciaisServidor(const TConfiguracoes& config, store::TdmTributarium& dm) {
  config.LoginServidor(dm.UsuarioServidor, dm.SenhaServidor);
}

Sessao::Sessao(const OpcoesGlobais& opcoes) : opcoes_(opcoes) {
  fs::path atual = fs::current_path();
  fs::path arquivo = opcoes.config.empty() ? atual / "Tributarium.ini" : fs::path(opcoes.config);
  config_ = std::make_unique<TConfiguracoes>(arquivo, atual);
  dm_ = std::make_unique<store::TdmTributarium>();
  dm_->PathBaseDados = config_->PathBaseDados();
  CredenciaisServidor(*config_, *dm_);
  // A log line that cannot be written is said, not hidden.
  dm_->OnLogError = [](const std::string& m) { std::cerr << m << "\n"; };
}

Sessao::~Sessao() = default;

void Sessao::ConectaCatalogo() {
  const std::string& pasta = dm_->PathBaseDados;
  if (!LocalDeServidor(pasta) && !fs::exists(fs::path(pasta) / store::kCatalogFile))
    throw std::runtime_error("Nenhum catálogo de bases em " + pasta +
                             ". Rode antes: tributarium-cli init");
  try {
    dm_->ConectaCatalogo();
  } catch (const std::exception& e) {
    throw std::runtime_error("Não foi possível abrir o catálogo " +
                             store::join_location(pasta, store::kCatalogFile) + ": " + e.what());
  }
  std::string modelo = store::join_location(pasta, store::kTemplateFolder);
  store::Query& q = dm_->qBuscaBaseDados;
  q.Close();
  q.SetParam("idBase", std::int64_t{1});
  q.Open();
  bool registrado = !q.Rows().empty() && q.Rows().at(0, "PATH") == modelo;
  q.Close();
  if (!registrado) {
    store::TBaseDados base(1, nullptr, modelo, "Default");
    base.Alterar();
  }
}

void Sessao::Login() {
  if (!opcoes_.login || !opcoes_.senha)
    throw UsageError(
        "este comando grava: informe --login e --senha (ou TRIBUTARIUM_LOGIN e "
        "TRIBUTARIUM_SENHA)");
  // The login dialog types logins in upper case.
  std::string login =
      common::cp1252_to_utf8(common::cp1252_upper(common::utf8_to_cp1252(*opcoes_.login)));
  std::string erro;
  if (!dm_->ValidaLogin(login, *opcoes_.senha, &erro))
    throw std::runtime_error(erro.empty() ? "Login ou Senha Inválidos!" : erro);
}

std::optional<Base> Sessao::BuscaBase(const std::string& nome) {
  store::Query& q = dm_->tBaseDados;
  q.Refresh();
  const store::RowSet& r = q.Rows();
  for (size_t i = 0; i < r.size(); ++i) {
    if (r.at(i, "NOME_CLIENTE") != nome) continue;
    return Base{static_cast<int>(r.integer(i, "ID_BASE_DADOS")), r.at(i, "NOME_CLIENTE"),
                r.at(i, "PATH")};
  }
  return std::nullopt;
}

void Sessao::AbreBase(const Base& base) {
  // Not TrocarBanco: that also reads every list the windows show (all invoices, products,
  // inventory, today's log), which costs more than a run on a large base. The connection
  // is the same one, with the same credentials.
  store::Connection& db = dm_->dbDados;
  db.Disconnect();
  db.DatabaseName = store::join_location(base.path, store::kDataFile);
  db.Params = dm_->ParametrosConexao(db.DatabaseName);
  db.SQLDialect = 3;
  try {
    db.Connect();
  } catch (const std::exception& e) {
    throw std::runtime_error("Não foi possível abrir a base \"" + base.nome + "\" (" +
                             db.DatabaseName + "): " + e.what());
  }
}

}  // namespace cli
