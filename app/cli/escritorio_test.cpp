// The office's commands as scripts run them: backups of a base and of the catalogue, the
// month of every base, and the server's login taken from the configuration.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/files.h"
#include "store/firebird.h"

namespace {

namespace fs = std::filesystem;

struct Saida {
  int codigo = -1;
  std::string out, err;
};

class EscritorioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/escritorio_cli_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    ::setenv("LSAN_OPTIONS", "print_suppressions=0", 1);
    ::setenv("TRIBUTARIUM_LOGIN", "admin", 1);
    ::setenv("TRIBUTARIUM_SENHA", "admin", 1);
    ::unsetenv("ISC_USER");
    ::unsetenv("ISC_PASSWORD");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Starts a program of the build in the test's folder; out and err go to files.
  pid_t Inicia(std::vector<std::string> args, const std::string& programa = TRIBUTARIUM_CLI) {
    args.insert(args.begin(), programa);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    fs::path out = dir_ / ".out", err = dir_ / ".err";
    pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(dir_.c_str()) != 0) ::_exit(126);
      int fo = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int fe = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fo, 1);
      ::dup2(fe, 2);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }
  Saida Espera(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    Saida s;
    s.codigo = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    s.out = common::read_file(dir_ / ".out").value_or("");
    s.err = common::read_file(dir_ / ".err").value_or("");
    return s;
  }
  Saida Cli(std::vector<std::string> args, const std::string& programa = TRIBUTARIUM_CLI) {
    return Espera(Inicia(std::move(args), programa));
  }
  void NovaBase(const std::string& nome, bool com_dados = true) {
    Saida s = Cli({"base", "criar", nome});
    ASSERT_EQ(s.codigo, 0) << s.err;
    if (!com_dados) return;
    s = Cli({"preencher", nome, "3", "2024"}, TRIBUTARIUM_DEMO_DADOS);
    ASSERT_EQ(s.codigo, 0) << s.err;
  }
  std::int64_t Notas(const fs::path& banco) {
    store::Connection db;
    db.DatabaseName = banco.string();
    db.Params = {"user_name=SYSDBA", "password=quernstab"};
    db.Connect();
    store::Transaction tr(db);
    store::Query q("q", tr, "select count(*) as N from NOTA_FISCAL");
    q.Open();
    return q.Rows().integer(0, "N");
  }
  fs::path dir_;
};

TEST_F(EscritorioTest, BackupAndRestoreOfABaseAndOfTheCatalogue) {
  ASSERT_EQ(Cli({"init"}).codigo, 0);
  NovaBase("Padaria");
  fs::path banco = dir_ / "Dados" / "Padaria" / "tributariumdados.fdb";
  std::int64_t notas = Notas(banco);
  ASSERT_GT(notas, 0);

  Saida s = Cli({"base", "backup", "Padaria", "padaria.fbk"});
  ASSERT_EQ(s.codigo, 0) << s.err;
  EXPECT_EQ(s.out, (dir_ / "padaria.fbk").string() + "\n");
  ASSERT_TRUE(fs::exists(dir_ / "padaria.fbk"));

  s = Cli({"base", "backup", "--catalogo", "catalogo.fbk"});
  ASSERT_EQ(s.codigo, 0) << s.err;

  // Both come back: the base loses what came after its backup, the catalogue its new base.
  NovaBase("Oficina", false);
  {
    store::Connection db;
    db.DatabaseName = banco.string();
    db.Params = {"user_name=SYSDBA", "password=quernstab"};
    db.Connect();
    store::Transaction tr(db);
    store::ExecSQL(tr, "delete from PRODUTO_NOTA");
    store::ExecSQL(tr, "delete from NOTA_FISCAL");
    tr.CommitRetaining();
  }
  ASSERT_EQ(Notas(banco), 0);
  s = Cli({"base", "restaurar", "Padaria", "padaria.fbk"});
  ASSERT_EQ(s.codigo, 0) << s.err;
  EXPECT_EQ(Notas(banco), notas);
  s = Cli({"base", "restaurar", "--catalogo", "catalogo.fbk"});
  ASSERT_EQ(s.codigo, 0) << s.err;
  s = Cli({"base", "listar"});
  EXPECT_EQ(s.out.find("Oficina"), std::string::npos) << s.out;
  EXPECT_NE(s.out.find("Padaria"), std::string::npos) << s.out;

  // Not a backup: exit 1, the file named, the base as it was.
  std::ofstream(dir_ / "lixo.fbk") << "nada";
  s = Cli({"base", "restaurar", "Padaria", "lixo.fbk"});
  EXPECT_EQ(s.codigo, 1);
  EXPECT_NE(s.err.find((dir_ / "lixo.fbk").string()), std::string::npos) << s.err;
  EXPECT_EQ(Notas(banco), notas);

  s = Cli({"base", "backup", "Inexistente", "x.fbk"});
  EXPECT_EQ(s.codigo, 1);
  EXPECT_NE(s.err.find("Base de dados não encontrada"), std::string::npos) << s.err;
}

TEST_F(EscritorioTest, GerarTodasMakesEveryBaseAndReportsTheOneThatFailed) {
  ASSERT_EQ(Cli({"init"}).codigo, 0);
  NovaBase("Alfa");
  NovaBase("Beta", false);
  // A registered folder without a database: its run fails, the others go on.
  ASSERT_EQ(Cli({"base", "importar", "Quebrada", (dir_ / "nada").string()}).codigo, 0);
  NovaBase("Gama");

  Saida s = Cli({"gerar", "--todas", "--mes", "3", "--ano", "2024", "--saida", "meses"});
  EXPECT_EQ(s.codigo, 1) << s.err;
  std::vector<std::string> linhas;
  std::istringstream in(s.out);
  for (std::string l; std::getline(in, l);) linhas.push_back(l);
  ASSERT_EQ(linhas.size(), 5u) << s.out;
  EXPECT_EQ(linhas[0].rfind("BASE", 0), 0u);
  auto linha = [&](const std::string& base) {
    for (const auto& l : linhas)
      if (l.rfind(base + " ", 0) == 0) return l;
    return std::string();
  };
  for (const char* base : {"Alfa", "Gama"}) {
    SCOPED_TRACE(base);
    std::string l = linha(base);
    fs::path arquivo = dir_ / "meses" / base / "Sintegra.txt";
    EXPECT_NE(l.find(arquivo.string()), std::string::npos) << l;
    EXPECT_TRUE(fs::exists(arquivo));
    EXPECT_NE(l.find("10:1 11:1 50:"), std::string::npos) << l;
    EXPECT_NE(l.find(" 90:"), std::string::npos) << l;
    // The validator's counts of the file made: a month of valid test data has no error.
    EXPECT_NE(l.find("  0 erros, "), std::string::npos) << l;
    EXPECT_EQ(l.substr(l.size() - 2), "ok") << l;
  }
  // An empty month still makes its file: owner, products and trailer only.
  EXPECT_NE(linha("Beta").find("ok"), std::string::npos) << linha("Beta");
  EXPECT_EQ(linha("Beta").find(" 50:"), std::string::npos) << linha("Beta");
  EXPECT_NE(linha("Quebrada").find("FALHA: Não foi possível abrir a base \"Quebrada\""),
            std::string::npos)
      << linha("Quebrada");
  EXPECT_EQ(linha("Default"), "") << "the model base is no client";
}

TEST_F(EscritorioTest, CtrlCStopsGerarTodasAfterTheCurrentBase) {
  ASSERT_EQ(Cli({"init"}).codigo, 0);
  const int kBases = 6;
  for (int i = 0; i < kBases; ++i) NovaBase("B" + std::to_string(i), i == 0);
  pid_t pid = Inicia({"gerar", "--todas", "--mes", "3", "--ano", "2024", "--saida", "meses"});
  // The first base's folder is made once the run is under way.
  auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(dir_ / "meses" / "B0") && std::chrono::steady_clock::now() < limite)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ::kill(pid, SIGINT);
  Saida s = Espera(pid);
  EXPECT_EQ(s.codigo, 1);
  EXPECT_NE(s.err.find("Interrompido"), std::string::npos) << s.err;
  EXPECT_TRUE(fs::exists(dir_ / "meses" / "B0" / "Sintegra.txt")) << "the current base finishes";
  EXPECT_NE(s.out.find("B0 "), std::string::npos);
  EXPECT_NE(s.out.find("não gerada (interrompido)"), std::string::npos) << s.out;
  EXPECT_FALSE(fs::exists(dir_ / "meses" / ("B" + std::to_string(kBases - 1))));
}

// Against the private server (STORE_SERVER, "host/port"): the login comes from the
// configuration, then from the environment; a refused one is said plainly, exit 1.
TEST_F(EscritorioTest, ServidorLoginFromTheConfigurationAndTheEnvironment) {
  const char* servidor = std::getenv("STORE_SERVER");
  if (!servidor) GTEST_SKIP() << "needs the private server (STORE_SERVER)";
  fs::create_directories(dir_ / "Dados" / "Default");
  fs::copy_file(fs::path(STORE_SHARE_DIR) / "tributariumbase.fdb",
                dir_ / "Dados" / "tributariumbase.fdb");
  fs::copy_file(fs::path(STORE_SHARE_DIR) / "Default" / "tributariumdados.fdb",
                dir_ / "Dados" / "Default" / "tributariumdados.fdb");
  std::ofstream(dir_ / "Tributarium.ini")
      << "[Tributarium]\r\nPathBaseDados=" << servidor << ":" << (dir_ / "Dados").string()
      << "\r\n[Servidor]\r\nUsuario=SYSDBA\r\nSenha=errada\r\n";
  fs::permissions(dir_ / "Tributarium.ini", fs::perms::all, fs::perm_options::add);

  Saida s = Cli({"base", "listar"});
  EXPECT_EQ(s.codigo, 1);
  EXPECT_NE(s.err.find("O servidor de banco de dados recusou o usuário e a senha configurados."),
            std::string::npos)
      << s.err;
  struct stat st {};
  ASSERT_EQ(::stat((dir_ / "Tributarium.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file holds a password";

  ::setenv("ISC_PASSWORD", "quernstab", 1);
  s = Cli({"base", "listar"});
  ::unsetenv("ISC_PASSWORD");
  EXPECT_EQ(s.codigo, 0) << s.err;
  EXPECT_NE(s.out.find("Default"), std::string::npos) << s.out;
}

}  // namespace
