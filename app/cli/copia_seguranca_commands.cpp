#include "copia_seguranca_commands.h"

#include <filesystem>
#include <optional>

namespace cli {

namespace {

namespace fs = std::filesystem;

// A progress line rewritten in place on a terminal; nothing otherwise.
store::BackupProgress Progresso(Context& c, bool terminal, const std::string& tarefa) {
  if (!terminal) return {};
  auto ultimo = std::make_shared<int>(-1);
  return [&c, terminal, tarefa, ultimo](std::uint64_t feito, std::uint64_t total) {
    int mb = static_cast<int>(feito >> 20);
    if (mb == *ultimo) return;
    *ultimo = mb;
    c.err << "\r\33[K" << tarefa << ": " << mb << " MB";
    if (total > 0) c.err << " (" << (feito * 100 / total) << "%)";
    c.err << std::flush;
  };
}

// The database the command names: the catalogue or a client base's data database.
std::string LocalDoBanco(Sessao& s, const std::string& nome) {
  const std::string& pasta = s.Modulo().PathBaseDados;
  if (nome == kNomeCatalogo) return store::join_location(pasta, store::kCatalogFile);
  std::optional<Base> b = s.BuscaBase(nome);
  if (!b) throw std::runtime_error("Base de dados não encontrada: \"" + nome + "\".");
  return store::join_location(b->path, store::kDataFile);
}

std::string Absoluto(const std::string& p) {
  return fs::absolute(p).lexically_normal().string();
}

int Backup(const OpcoesGlobais& g, const Arguments& args, Context& c) {
  RequireArguments(args, 2);
  std::string arquivo = Absoluto(args[1]);
  Sessao s(g);
  s.Modulo().ListaLogDoDia = false;
  s.ConectaCatalogo();
  s.Login();
  std::string local = LocalDoBanco(s, args[0]);
  store::ServerLogin login = LoginDoServidor(s, local);
  bool terminal = g.progresso_no_terminal;
  store::BackupDatabase(local, login, arquivo, Progresso(c, terminal, "Cópia de Segurança"));
  if (terminal) c.err << "\n";
  c.out << arquivo << "\n";
  return kExitSuccess;
}

int Restaurar(const OpcoesGlobais& g, const Arguments& args, Context& c) {
  RequireArguments(args, 2);
  std::string arquivo = Absoluto(args[1]);
  Sessao s(g);
  s.Modulo().ListaLogDoDia = false;
  s.ConectaCatalogo();
  s.Login();
  std::string local = LocalDoBanco(s, args[0]);
  store::ServerLogin login = LoginDoServidor(s, local);
  // This session's own connection would count as a desk that has the base open.
  s.Modulo().dbDados.Disconnect();
  if (args[0] == kNomeCatalogo) s.Modulo().dbCatalogo.Disconnect();
  bool terminal = g.progresso_no_terminal;
  store::RestoreDatabase(arquivo, local, login, Progresso(c, terminal, "Restaurar"));
  if (terminal) c.err << "\n";
  c.out << local << "\n";
  return kExitSuccess;
}

template <int (*F)(const OpcoesGlobais&, const Arguments&, Context&)>
std::function<int(const Arguments&, Context&)> Com(const OpcoesGlobais& g) {
  return [&g](const Arguments& a, Context& c) { return F(g, a, c); };
}

}  // namespace

store::ServerLogin LoginDoServidor(Sessao& s, const std::string& local) {
  return store::LoginFromParams(s.Modulo().ParametrosConexao(local));
}

void AddCopiaSegurancaCommands(Dispatcher& d, const OpcoesGlobais& g) {
  d.Add({{"base", "backup"},
         "NOME ARQUIVO",
         "cópia de segurança da base NOME (--catalogo: o catálogo) em ARQUIVO, verificada "
         "por uma restauração",
         Com<Backup>(g)});
  d.Add({{"base", "restaurar"},
         "NOME ARQUIVO",
         "substitui a base NOME (--catalogo: o catálogo) pela cópia de ARQUIVO; recusa uma "
         "base aberta em outro lugar",
         Com<Restaurar>(g)});
}

}  // namespace cli
