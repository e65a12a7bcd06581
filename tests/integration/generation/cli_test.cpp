// tributarium-cli end to end: the built program run in a fresh folder, as scripts run it.
#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/ini.h"
#include "store/data_module.h"

namespace {

namespace fs = std::filesystem;

struct Saida {
  int codigo = -1;
  std::string out, err;
};

std::string Le(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class CliProgramaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tributarium_cli_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    // In sanitizer builds the leak checker would add its summary of the suppressed
    // engine leaks to the program's standard error.
    ::setenv("LSAN_OPTIONS", "print_suppressions=0", 1);
    ::unsetenv("TRIBUTARIUM_LOGIN");
    ::unsetenv("TRIBUTARIUM_SENHA");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs a program of the build in dir_ (its current directory).
  Saida Roda(const std::string& programa, const std::vector<std::string>& args) {
    fs::path out = dir_ / ".out", err = dir_ / ".err";
    std::vector<std::string> texto = {programa};
    texto.insert(texto.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : texto) argv.push_back(a.data());
    argv.push_back(nullptr);
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
    int status = 0;
    ::waitpid(pid, &status, 0);
    Saida s;
    s.codigo = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    s.out = Le(out);
    s.err = Le(err);
    return s;
  }
  Saida Cli(const std::vector<std::string>& args) { return Roda(TRIBUTARIUM_CLI, args); }
  Saida Admin(std::vector<std::string> args) {
    args.insert(args.begin(), {"--login", "admin", "--senha", "admin"});
    return Cli(args);
  }

  fs::path dir_;
};

TEST_F(CliProgramaTest, InstallCreateFillAndGenerate) {
  Saida s = Cli({"init"});
  ASSERT_EQ(s.codigo, 0) << s.err;
  EXPECT_TRUE(fs::exists(dir_ / "Tributarium.ini"));
  EXPECT_TRUE(fs::exists(dir_ / "Dados" / "tributariumbase.fdb"));
  EXPECT_EQ(Cli({"init"}).codigo, 0);  // a second init keeps the catalogue

  s = Admin({"base", "criar", "Padaria Central"});
  ASSERT_EQ(s.codigo, 0) << s.err;
  fs::path base = dir_ / "Dados" / "Padaria Central";
  EXPECT_EQ(s.out, base.string() + "\n");
  EXPECT_TRUE(fs::exists(base / "tributariumdados.fdb"));
  s = Cli({"base", "listar"});
  EXPECT_EQ(s.out, "1\tDefault\t" + (dir_ / "Dados" / "Default").string() +
                       "\n2\tPadaria Central\t" + base.string() + "\n");

  s = Roda(TRIBUTARIUM_DEMO,
           {"--login", "admin", "--senha", "admin", "preencher", "Padaria Central", "3", "2024"});
  ASSERT_EQ(s.codigo, 0) << s.err;

  // Credentials from the environment, month folder named as the screen names it.
  ::setenv("TRIBUTARIUM_LOGIN", "admin", 1);
  ::setenv("TRIBUTARIUM_SENHA", "admin", 1);
  s = Cli({"gerar", "--base", "Padaria Central", "--mes", "3", "--ano", "2024"});
  ASSERT_EQ(s.codigo, 0) << s.err;
  fs::path arquivo = dir_ / "Sintegra" / "2024" / "Março" / "Sintegra.txt";
  EXPECT_EQ(s.out, arquivo.string() + "\n");
  // No progress line when standard error is not a terminal: only the check of the file it
  // wrote, and the demo month has no errors.
  EXPECT_EQ(s.err.rfind("Validação: 0 erros e ", 0), 0u) << s.err;
  EXPECT_EQ(std::count(s.err.begin(), s.err.end(), '\n'), 1) << s.err;
  s = Cli({"sintegra", "ler", arquivo.string()});
  ASSERT_EQ(s.codigo, 0) << s.err;
  for (const char* tipo : {"10\t1\n", "11\t1\n", "50\t", "54\t", "74\t120\n", "75\t", "90\t1\n"})
    EXPECT_NE(s.out.find(tipo), std::string::npos) << tipo << " in\n" << s.out;

  // Another nature drops the point-of-sale kinds: no file of type 60 is needed then.
  fs::path outra = dir_ / "saida";
  s = Cli({"gerar", "--base", "Padaria Central", "--mes", "3", "--ano", "2024", "--tipos",
           "10,60R,75", "--natureza", "1", "--finalidade", "4", "--saida", "saida"});
  ASSERT_EQ(s.codigo, 0) << s.err;
  EXPECT_EQ(s.out, (outra / "Sintegra.txt").string() + "\n");
  std::string linhas = Le(outra / "Sintegra.txt");
  ASSERT_EQ(linhas.size(), 128u * 1);  // only type 10: no record is counted, no trailer
  EXPECT_EQ(linhas.substr(123, 3), "315");
  // Such a file would be refused: it is written all the same, and the run says so.
  EXPECT_NE(s.err.find("Erro registro 90: o arquivo não tem registro tipo 90\n"), std::string::npos)
      << s.err;
  EXPECT_NE(s.err.find("O arquivo foi gravado com erros que o estado recusaria"), std::string::npos)
      << s.err;

  // The run's log lines are kept under the user who ran it.
  store::TdmTributarium dm;
  dm.PathBaseDados = (dir_ / "Dados").string();
  dm.ConectaCatalogo();
  store::Query q("log", dm.trCatalogo,
                 "select l.ID_USUARIO, u.LOGIN_USUARIO from LOG l join USUARIOS u on "
                 "u.ID_USUARIO = l.ID_USUARIO where l.TX_OPERACAO = :linha");
  q.SetParam("linha", std::string("--> Inicio Thread de Geração do Sintegra"));
  q.Open();
  ASSERT_EQ(q.Rows().size(), 2u);
  EXPECT_EQ(q.Rows().at(0, "LOGIN_USUARIO"), "ADMIN");
  // Lines written in groups are all there: every split opened is closed, and the run's
  // last line follows them.
  store::Query n("contagem", dm.trCatalogo,
                 "select TX_OPERACAO, count(*) as N, max(ID_ITEMLOG) as ULTIMO from LOG where "
                 "TX_OPERACAO starting with '--> Inicio Desmembra' or TX_OPERACAO starting with "
                 "'<-- Fim Desmembra' or TX_OPERACAO = '<-- Fim da Geração do Sintegra.' "
                 "group by TX_OPERACAO order by 3");
  n.Open();
  ASSERT_EQ(n.Rows().size(), 3u);
  EXPECT_GT(n.Rows().integer(0, "N"), 10);
  EXPECT_EQ(n.Rows().integer(0, "N"), n.Rows().integer(1, "N"));
  EXPECT_EQ(n.Rows().at(2, "TX_OPERACAO"), "<-- Fim da Geração do Sintegra.");
}

TEST_F(CliProgramaTest, ExitCodesAndMessages) {
  ASSERT_EQ(Cli({"init"}).codigo, 0);
  ASSERT_EQ(Admin({"base", "criar", "Loja"}).codigo, 0);
  fs::create_directories(dir_ / "importada");
  ASSERT_EQ(Admin({"base", "importar", "Importada", "importada"}).codigo, 0);
  struct Caso {
    std::vector<std::string> args;
    bool admin;
    int codigo;
    std::string err;  // a part of standard error
  } casos[] = {
      {{"gerar", "--base", "Loja", "--mes", "3", "--ano", "2024"}, false, 2, "--login"},
      {{"--login", "admin", "--senha", "errada", "gerar", "--base", "Loja", "--mes", "3", "--ano",
        "2024"},
       false,
       1,
       "Login ou Senha Inválidos!"},
      {{"gerar", "--base", "Outra", "--mes", "3", "--ano", "2024"},
       true,
       1,
       "Base de dados não encontrada"},
      {{"gerar", "--base", "Loja", "--mes", "13", "--ano", "2024"}, true, 2, "--mes"},
      {{"gerar", "--base", "Loja", "--mes", "3", "--ano", "2024", "--tipos", "10,99"},
       true,
       2,
       "tipo de registro desconhecido: 99"},
      {{"gerar", "--base", "Loja", "--mes", "3", "--ano", "2024", "--tipos", "60M"},
       true,
       2,
       "Arquivo com registros tipo 60 e 75"},
      {{"gerar", "--base", "Loja", "--mes", "3", "--ano", "2024", "--tipos", "60M",
        "--arquivo-60-75", "falta.txt"},
       true,
       1,
       "Erro:\n"},
      {{"base", "criar", "Loja"}, true, 1, "Já existe uma base"},
      {{"base", "excluir", "Default"}, true, 1, "não pode ser excluída"},
      {{"base", "excluir", "Nenhuma"}, true, 1, "não encontrada"},
      {{"base", "excluir"}, true, 2, "uso: tributarium-cli base excluir"},
      {{"--config"}, false, 2, "falta o valor de --config"},
  };
  for (const Caso& c : casos) {
    Saida s = c.admin ? Admin(c.args) : Cli(c.args);
    std::string nome;
    for (const auto& a : c.args) nome += a + " ";
    EXPECT_EQ(s.codigo, c.codigo) << nome << "\n" << s.err;
    EXPECT_NE(s.err.find(c.err), std::string::npos) << nome << "\n" << s.err;
    EXPECT_EQ(s.out, "") << nome;
  }

  // The base chosen in the configuration stays; another one goes, without its folder.
  common::IniFile(dir_ / "Tributarium.ini").write("Tributarium", "BaseSelecionada", "Loja");
  Saida s = Admin({"base", "excluir", "Loja"});
  EXPECT_EQ(s.codigo, 1);
  EXPECT_NE(s.err.find("BaseSelecionada"), std::string::npos);
  s = Admin({"base", "excluir", "Importada"});
  EXPECT_EQ(s.codigo, 0) << s.err;
  EXPECT_TRUE(fs::exists(dir_ / "importada"));
  s = Cli({"base", "listar"});
  EXPECT_EQ(s.out.find("Importada"), std::string::npos);
  EXPECT_NE(s.out.find("\tLoja\t"), std::string::npos);
}

TEST_F(CliProgramaTest, ProgressIsOneUpdatingLineWhenStandardErrorIsATerminal) {
  ASSERT_EQ(Cli({"init"}).codigo, 0);
  ASSERT_EQ(Admin({"base", "criar", "Loja"}).codigo, 0);
  int mestre = -1, escravo = -1;
  ASSERT_EQ(::openpty(&mestre, &escravo, nullptr, nullptr, nullptr), 0);
  std::string programa = TRIBUTARIUM_CLI;
  std::vector<std::string> texto = {programa, "--login", "admin", "--senha", "admin", "gerar",
                                    "--base", "Loja",    "--mes", "3",       "--ano", "2024"};
  std::vector<char*> argv;
  for (auto& a : texto) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir_.c_str()) != 0) ::_exit(126);
    int fo = ::open("/dev/null", O_WRONLY);
    ::dup2(fo, 1);
    ::dup2(escravo, 2);
    ::close(mestre);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(escravo);
  std::string tela;
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(mestre, buf, sizeof buf);
    if (n <= 0) break;  // EIO once the program has gone
    tela.append(buf, static_cast<size_t>(n));
  }
  ::close(mestre);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << tela;
  EXPECT_NE(tela.find("\r\33[K0% "), std::string::npos) << tela;
  EXPECT_NE(tela.find("\r\33[K100% Operação realizada com sucesso!"), std::string::npos) << tela;
  // One line: the updates rewrite it, and a single line end closes it before the check of
  // the file written (an empty base: its lines name the errors).
  size_t fim = tela.find('\n');
  ASSERT_NE(fim, std::string::npos) << tela;
  EXPECT_NE(tela.substr(0, fim).find("100% Operação realizada com sucesso!"), std::string::npos)
      << tela;
  EXPECT_NE(tela.find("Validação: ", fim), std::string::npos) << tela;
  EXPECT_EQ(tela.find("% ", fim), std::string::npos) << tela;
}

struct SinalDeCancelamento {
  const char* nome;
  int numero;
};

void PrintTo(const SinalDeCancelamento& s, std::ostream* os) {
  *os << s.nome;
}

class CliCancelamentoTest : public CliProgramaTest,
                            public ::testing::WithParamInterface<SinalDeCancelamento> {};

// Ctrl-C, and SIGTERM and SIGHUP as well, cancel a run: "Geração cancelada", status 1 and
// the previous file kept, rather than the engine shutting the connection under the run.
TEST_P(CliCancelamentoTest, SignalDuringTheRunCancelsItAndKeepsThePreviousFile) {
  ASSERT_EQ(Cli({"init"}).codigo, 0);
  ASSERT_EQ(Admin({"base", "criar", "Loja"}).codigo, 0);
  fs::create_directories(dir_ / "saida");
  {
    std::ofstream(dir_ / "saida" / "Sintegra.txt", std::ios::binary)
        << "arquivo do mes anterior\r\n";
  }

  int mestre = -1, escravo = -1;
  ASSERT_EQ(::openpty(&mestre, &escravo, nullptr, nullptr, nullptr), 0);
  termios modo{};
  ASSERT_EQ(::tcgetattr(escravo, &modo), 0);
  ::cfmakeraw(&modo);
  ASSERT_EQ(::tcsetattr(escravo, TCSANOW, &modo), 0);
  // The terminal's buffer is filled beforehand, so that the program stops at its first
  // progress line, inside the run, until the test reads.
  int enche = ::open(::ttyname(escravo), O_WRONLY | O_NONBLOCK | O_NOCTTY);
  ASSERT_GE(enche, 0);
  // Large writes first, then single bytes: the terminal takes a small write after
  // refusing a large one.
  for (size_t tamanho : {size_t{1024}, size_t{1}}) {
    std::string bloco(tamanho, '.');
    while (::write(enche, bloco.data(), bloco.size()) > 0) {
    }
    ASSERT_EQ(errno, EAGAIN);
  }
  ::close(enche);

  std::string programa = TRIBUTARIUM_CLI;
  std::vector<std::string> texto = {programa, "--login", "admin",   "--senha", "admin",
                                    "gerar",  "--base",  "Loja",    "--mes",   "3",
                                    "--ano",  "2024",    "--saida", "saida"};
  std::vector<char*> argv;
  for (auto& a : texto) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir_.c_str()) != 0) ::_exit(126);
    int fo = ::open("/dev/null", O_WRONLY);
    ::dup2(fo, 1);
    ::dup2(escravo, 2);
    ::close(mestre);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(escravo);
  // Blocked on its first progress line: its main thread waits in write(2, ...).
  auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    std::ifstream chamada("/proc/" + std::to_string(pid) + "/syscall");
    std::string numero, fd;
    chamada >> numero >> fd;
    if (numero == "1" && fd == "0x2") break;
    ASSERT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "ended before its first progress line";
    ASSERT_LT(std::chrono::steady_clock::now(), limite) << "never reached its progress line";
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(::kill(pid, GetParam().numero), 0);
  std::string tela;
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(mestre, buf, sizeof buf);
    if (n <= 0) break;  // EIO once the program has gone
    tela.append(buf, static_cast<size_t>(n));
  }
  ::close(mestre);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by " << GetParam().nome << " itself";
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(tela.find("Geração cancelada: nenhum arquivo foi gravado."), std::string::npos)
      << tela.substr(tela.find_first_not_of('.'));
  EXPECT_EQ(tela.find("connection shutdown"), std::string::npos);
  EXPECT_EQ(Le(dir_ / "saida" / "Sintegra.txt"), "arquivo do mes anterior\r\n");
}

INSTANTIATE_TEST_SUITE_P(Sinais, CliCancelamentoTest,
                         ::testing::Values(SinalDeCancelamento{"SIGINT", SIGINT},
                                           SinalDeCancelamento{"SIGTERM", SIGTERM},
                                           SinalDeCancelamento{"SIGHUP", SIGHUP}),
                         [](const auto& info) { return std::string(info.param.nome); });

TEST_F(CliProgramaTest, ConfigurationElsewhereKeepsFolderDefaultsInTheCurrentDirectory) {
  fs::create_directories(dir_ / "conf");
  Saida s = Cli({"--config", "conf/outro.ini", "init"});
  ASSERT_EQ(s.codigo, 0) << s.err;
  common::IniFile ini(dir_ / "conf" / "outro.ini");
  EXPECT_EQ(ini.read("Tributarium", "PathBaseDados"), (dir_ / "Dados").string());
  EXPECT_EQ(ini.read("Tributarium", "IniciarBase"), "1");
  EXPECT_FALSE(fs::exists(dir_ / "Tributarium.ini"));
  // Without a catalogue the advice is to run init.
  fs::remove_all(dir_ / "Dados");
  s = Cli({"--config", "conf/outro.ini", "base", "listar"});
  EXPECT_EQ(s.codigo, 1);
  EXPECT_NE(s.err.find("tributarium-cli init"), std::string::npos);
}

}  // namespace
