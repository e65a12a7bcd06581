#include "store/data_module.h"

#include <ibase.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "common/clock.h"
#include "common/files.h"
#include "common/text1252.h"
#include "store/conversions.h"

namespace store {

namespace fs = std::filesystem;

TdmTributarium* dmTributarium = nullptr;

namespace {

const std::vector<std::string> kConnectionParams = {
    std::string("user_name=") + TdmTributarium::kUsuarioPadrao,
    std::string("password=") + TdmTributarium::kSenhaPadrao};

// Widest line the LOG table holds, in Windows-1252 characters.
constexpr std::size_t kLogWidth = 1024;

// Connects; a refused login becomes the message that says where the credentials come from.
void connect(Connection& db) {
  try {
    db.Connect();
  } catch (const DatabaseError& e) {
    if (e.has_code(isc_login)) throw DatabaseError(e.sqlcode(), e.codes(), kSenhaServidorRecusada);
    throw;
  }
}

}  // namespace

bool is_server_location(const std::string& location) {
  auto colon = location.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  // "C:..." style drive letters are not used here; a host is at least the colon's left side,
  // with an optional "/port". A path starting with '/' or '.' is a local file.
  return location.front() != '/' && location.front() != '.';
}

std::vector<std::string> TdmTributarium::ParametrosConexao(const std::string& location) const {
  if (!is_server_location(location)) return kConnectionParams;
  return {"user_name=" + UsuarioServidor, "password=" + SenhaServidor};
}

LeituraConsistente::LeituraConsistente(TdmTributarium& dm)
    : tr_(dm.trDados), antes_(dm.trDados.Params()) {
  tr_.end_for_disconnect();
  tr_.SetParams({"concurrency", "nowait", "read"});
}

LeituraConsistente::~LeituraConsistente() {
  tr_.end_for_disconnect();
  tr_.SetParams(antes_);
}

std::string join_location(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/' || folder.back() == '\\') return folder + name;
  return folder + "/" + name;
}

TdmTributarium::TdmTributarium() {
  if (!dmTributarium) dmTributarium = this;
  // The two long lists of the program open at once: their grids read them in batches
  // (the transaction stays open, so the cursor does too); every other reader gets them whole.
  tNotaFiscal.SetBatch(kLoteDaGrade);
  tProduto.SetBatch(kLoteDaGrade);
}

TdmTributarium::~TdmTributarium() {
  if (dmTributarium == this) dmTributarium = nullptr;
  // The members go in reverse order: queries first (telling no observer, whose windows
  // may be gone), then the transactions commit and the connections detach.
}

void TdmTributarium::ConectaCatalogo() {
  dbCatalogo.Disconnect();
  dbCatalogo.DatabaseName = join_location(PathBaseDados, kCatalogFile);
  dbCatalogo.Params = ParametrosConexao(dbCatalogo.DatabaseName);
  dbCatalogo.SQLDialect = 3;
  connect(dbCatalogo);
  tBaseDados.Open();
  if (ListaLogDoDia) todays_log_.Reload();
}

void TdmTributarium::TrocarBanco(const std::string& /*nome_cliente*/, const std::string& pasta) {
  dbDados.Disconnect();
  dbDados.DatabaseName = join_location(pasta, kDataFile);
  dbDados.Params = ParametrosConexao(dbDados.DatabaseName);
  connect(dbDados);
  dbDados.SQLDialect = 3;
  AbreConsultas();

  // Older bases carry the constraint on CD_PRODUTO alone, which refused the same
  // product in two invoices; rebuild it over (CD_PRODUTO, ID_NOTA). A base without it
  // makes the drop fail and stays as it is.
  try {
    checaRegraProdutoNota.Close();
    checaRegraProdutoNota.Open();
    std::int64_t segmentos =
        checaRegraProdutoNota.Rows().empty() ? 0 : checaRegraProdutoNota.Rows().integer(0, "COUNT");
    checaRegraProdutoNota.Close();
    if (segmentos <= 1) {
      // Prepared statements would hold the table while its metadata changes.
      dbDados.ReleaseStatements();
      ExecSQL(trDados, deletaRegraProdutoNota);
      ExecSQL(trDados, insereRegraProdutoNota);
      trDados.CommitRetaining();
    }
  } catch (const DatabaseError&) {
    try {
      trDados.RollbackRetaining();
    } catch (const DatabaseError&) {
    }
  }
}

void TdmTributarium::AbreConsultas() {
  tNotaFiscal.Open();
  tProdutoNota.Open();
  tProduto.Open();
  if (ListaLogDoDia && !tLog.Active()) todays_log_.Reload();
  tInventario.Open();
  tUsuarios.Open();
}

bool TdmTributarium::GravaLog(const std::string& linha) {
  common::LocalDateTime agora = common::clock::local_now();
  std::string texto = common::utf8_to_cp1252(linha);
  if (texto.size() > kLogWidth) texto.resize(kLogWidth);
  bool ok = true;
  try {
    trCatalogo.StartTransaction();
    spLogOperacao.ClearParams();
    spLogOperacao.SetParam("ID_USUARIO", static_cast<std::int64_t>(UsuarioLogado));
    spLogOperacao.SetParam("DATA", Date{agora.year, agora.month, agora.day});
    spLogOperacao.SetParam("HORA", Time{agora.hour, agora.minute, agora.second});
    spLogOperacao.SetParam("TX_OPERACAO", common::cp1252_to_utf8(texto));
    spLogOperacao.ExecProc();
    trCatalogo.CommitRetaining();
  } catch (const DatabaseError& e) {
    ok = false;
    try {
      trCatalogo.RollbackRetaining();
    } catch (const DatabaseError&) {
    }
    if (OnLogError) OnLogError(std::string("Erro ao gravar log: ") + e.what());
  }
  try {
    if (ListaLogDoDia) todays_log_.Refresh();
  } catch (const DatabaseError&) {
    // The list of today's lines stays closed; the logged operation is not affected.
  }
  if (ProcessMessages) ProcessMessages();
  return ok;
}

bool TdmTributarium::ValidaLogin(const std::string& login, const std::string& senha,
                                 std::string* erro) {
  std::string digesto = DigestoSenha(senha);
  std::int64_t valido = 0;
  try {
    trCatalogo.StartTransaction();
    spLogin.ClearParams();
    spLogin.SetParam("LOGIN_USUARIO", login);
    spLogin.SetParam("SENHA", digesto);
    spLogin.ExecProc();
    valido = spLogin.OutputInt("ISVALID");
    trCatalogo.CommitRetaining();
  } catch (const DatabaseError& e) {
    try {
      trCatalogo.RollbackRetaining();
    } catch (const DatabaseError&) {
    }
    if (erro) *erro = std::string("Erro no login: ") + e.what();
    return false;
  }
  if (valido != 1) return false;
  try {
    tUsuarioAtual.Close();
    tUsuarioAtual.SetParam("login_usuario", login);
    tUsuarioAtual.SetParam("senha", digesto);
    tUsuarioAtual.Open();
    const RowSet& r = tUsuarioAtual.Rows();
    if (!r.empty()) {
      UsuarioLogado = static_cast<int>(r.integer(0, "ID_USUARIO"));
      LoginUsuario = r.at(0, "LOGIN_USUARIO");
      NomeUsuario = r.at(0, "NOME_USUARIO");
      UsuarioMestre = r.integer(0, "USUARIO_MESTRE") != 0;
    }
    tUsuarioAtual.Close();
  } catch (const DatabaseError& e) {
    if (erro) *erro = std::string("Erro no login: ") + e.what();
    return false;
  }
  return true;
}

Query* TdmTributarium::query(const std::string& name) {
  Query* all[] = {&tBaseDados,
                  &qBuscaBaseDados,
                  &tUsuarios,
                  &tUsuarioAtual,
                  &tLog,
                  &tGeraLog,
                  &tNotaFiscal,
                  &tProdutoNota,
                  &tProduto,
                  &tProprietario,
                  &tInventario,
                  &qBuscaProduto,
                  &qBuscaInventarioPorProduto,
                  &qBuscaProdutoNFPorPeriodo,
                  &qBuscaNotasPorPeriodo,
                  &qBuscaProdutoNF,
                  &qBuscaInventario,
                  &checaRegraProdutoNota};
  for (Query* q : all)
    if (common::iequals(q->name(), name)) return q;
  return nullptr;
}

std::string delivered_databases_folder() {
  if (const char* env = std::getenv("TRIBUTARIUM_SHARE"); env && *env)
    return common::with_trailing_slash(env);
  fs::path p = common::executable_folder().parent_path() / "share" / "tributarium";
  return common::with_trailing_slash(p.string());
}

bool InstalaBasesEntregues(const std::string& path_base_dados, const std::string& origem) {
  if (path_base_dados.empty() || is_server_location(path_base_dados)) return false;
  fs::path destino(path_base_dados);
  if (common::find_case_blind(destino, kCatalogFile)) return false;

  fs::path catalogo = fs::path(origem) / kCatalogFile;
  fs::path modelo = fs::path(origem) / kTemplateFolder / kDataFile;
  if (!fs::exists(catalogo) || !fs::exists(modelo))
    throw std::runtime_error("Não foi possível instalar as bases de dados: os arquivos de " +
                             origem + " não foram encontrados.");
  // Copied under a temporary name and renamed, so a failed copy leaves no file that
  // looks like a database; an existing data file of the template base is never replaced.
  auto copia = [](const fs::path& de, const fs::path& para) {
    std::error_code ec;
    fs::create_directories(para.parent_path(), ec);
    fs::path tmp = para;
    tmp += ".instalando";
    fs::copy_file(de, tmp, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(tmp, para, ec);
    if (ec) {
      fs::remove(tmp);
      throw std::runtime_error("Não foi possível instalar as bases de dados: " + para.string() +
                               ": " + ec.message());
    }
  };
  fs::path pasta_modelo = destino / kTemplateFolder;
  if (!common::find_case_blind(pasta_modelo, kDataFile)) copia(modelo, pasta_modelo / kDataFile);
  copia(catalogo, destino / kCatalogFile);
  return true;
}

}  // namespace store
