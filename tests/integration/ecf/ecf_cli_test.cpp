// tributarium-cli ecf portas / ecf ler / gerar --ler-ecf: the built program, a real client
// base, and stand-ins for the driver and the memory-reading libraries.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/ini.h"
#include "sintegra/registros.h"

namespace {

namespace fs = std::filesystem;
using sintegra::TTipoRegistros;

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

class EcfCli : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tributarium_ecf_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    ::setenv("LSAN_OPTIONS", "print_suppressions=0", 1);
    ::setenv("TRIBUTARIUM_LOGIN", "admin", 1);
    ::setenv("TRIBUTARIUM_SENHA", "admin", 1);
    ::setenv("ORVIK_DRIVER", STUB_DRIVER, 1);
    ::setenv("ORVIK_INI", (dir_ / "ORVIK.INI").c_str(), 1);
    ::setenv("STUB_ORVIK_LOG", (dir_ / "driver.log").c_str(), 1);
    for (const char* v :
         {"STUB_ORVIK_ABRE", "STUB_ORVIK_RETORNO_CODIGO", "STUB_ORVIK_RETORNO_TEXTO",
          "STUB_ORVIK_RELATORIO", "STUB_LEITURA_CENARIO"})
      ::unsetenv(v);
    std::ofstream(dir_ / "ORVIK.INI")
        << "[Sistema]\r\nPorta=COM1\r\n[Portas]\r\nCOM5=/dev/null\r\n";
    // What the driver "writes": the month's ECF records.
    {
      std::ofstream f(dir_ / "relatorio.txt", std::ios::binary);
      for (TTipoRegistros k : {TTipoRegistros::Tipo60M, TTipoRegistros::Tipo60A,
                               TTipoRegistros::Tipo60R, TTipoRegistros::Tipo75}) {
        auto r = sintegra::TRegistro::CriaRegistro(k);
        if (k == TTipoRegistros::Tipo75) r->AtribuiValor(4, "ECF75");
        if (k == TTipoRegistros::Tipo60R) r->AtribuiValor(4, "R1");
        f << r->RenderLine();
      }
    }
    ::setenv("STUB_ORVIK_RELATORIO", ("copia:" + (dir_ / "relatorio.txt").string()).c_str(), 1);
    ASSERT_EQ(Cli({"init"}).codigo, 0);
    ASSERT_EQ(Cli({"base", "criar", "Loja"}).codigo, 0);
  }
  void TearDown() override { fs::remove_all(dir_); }

  pid_t Inicia(const std::vector<std::string>& args) {
    std::vector<std::string> texto = {TRIBUTARIUM_CLI};
    texto.insert(texto.end(), args.begin(), args.end());
    pid_t pid = ::fork();
    if (pid == 0) {
      std::vector<char*> argv;
      for (auto& a : texto) argv.push_back(a.data());
      argv.push_back(nullptr);
      if (::chdir(dir_.c_str()) != 0) ::_exit(126);
      int fo = ::open((dir_ / ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int fe = ::open((dir_ / ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fo, 1);
      ::dup2(fe, 2);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }
  Saida Termina(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    Saida s;
    s.codigo = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    s.out = Le(dir_ / ".out");
    s.err = Le(dir_ / ".err");
    return s;
  }
  Saida Cli(const std::vector<std::string>& args) { return Termina(Inicia(args)); }

  fs::path dir_;
};

TEST_F(EcfCli, PortsListTheConfiguredNamesFirst) {
  Saida s = Cli({"ecf", "portas"});
  ASSERT_EQ(s.codigo, 0) << s.err;
  EXPECT_EQ(s.out.rfind("COM5\n", 0), 0u) << s.out;
}

TEST_F(EcfCli, ReadingLeavesTheFileInTheMonthsFolder) {
  Saida s = Cli({"ecf", "ler", "--base", "Loja", "--mes", "3", "--ano", "2024", "--porta", "COM5",
                 "--tipos", "60D,60R"});
  ASSERT_EQ(s.codigo, 0) << s.err;
  fs::path arquivo = dir_ / "Sintegra" / "2024" / "Março" / "Sintegra-3_2024.txt";
  EXPECT_EQ(s.out, arquivo.string() + "\n");
  EXPECT_EQ(Le(arquivo), Le(dir_ / "relatorio.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "Sintegra-3_2024.txt"));
  EXPECT_EQ(common::IniFile(dir_ / "ORVIK.INI").read("Sistema", "Porta"), "COM5");
  EXPECT_EQ(common::IniFile(dir_ / "ORVIK.INI").read("Sistema", "Path"),
            (dir_ / "Sintegra").string());
  EXPECT_NE(Le(dir_ / "driver.log").find("RelatorioSintegraMFDBinario 20|"), std::string::npos);
}

TEST_F(EcfCli, GenerationReadsThePrinterFirst) {
  Saida s = Cli({"gerar", "--base", "Loja", "--mes", "3", "--ano", "2024", "--tipos",
                 "10,60M,60R,75", "--ler-ecf", "--porta", "COM5"});
  ASSERT_EQ(s.codigo, 0) << s.err;
  fs::path pasta = dir_ / "Sintegra" / "2024" / "Março";
  EXPECT_EQ(s.out, (pasta / "Sintegra.txt").string() + "\n");
  EXPECT_TRUE(fs::exists(pasta / "Sintegra-3_2024.txt"));
  std::string linhas = Le(pasta / "Sintegra.txt");
  EXPECT_NE(linhas.find("\r\n60M"), std::string::npos);
  EXPECT_NE(linhas.find("\r\n60R"), std::string::npos);
  EXPECT_NE(linhas.find("ECF75"), std::string::npos);
  EXPECT_EQ(linhas.find("\r\n60A"), std::string::npos);  // not selected
}

TEST_F(EcfCli, BadInputEndsWithAClearMessage) {
  std::ofstream(dir_ / "danificado.txt", std::ios::binary) << "60Mxx\r\nlixo\r\n";
  struct Caso {
    const char* nome;
    std::vector<std::pair<const char*, std::string>> env;
    std::vector<std::string> args;
    int codigo;
    const char* err;
  } casos[] = {
      {"driver ausente",
       {{"ORVIK_DRIVER", "/nao/existe/liborvik.so.1"}},
       {"ecf", "ler", "--base", "Loja", "--mes", "3", "--ano", "2024"},
       1,
       "Falha ao carregar a Dll."},
      {"porta que não existe",
       {{"STUB_ORVIK_ABRE", "0"},
        {"STUB_ORVIK_RETORNO_CODIGO", "-5"},
        {"STUB_ORVIK_RETORNO_TEXTO", "Porta nao pode ser aberta"}},
       {"ecf", "ler", "--base", "Loja", "--mes", "3", "--ano", "2024", "--porta", "COM9"},
       1,
       "Erro na execução da função. Erro nº -5 - Porta nao pode ser aberta"},
      {"arquivo 60/75 danificado",
       {{"STUB_ORVIK_RELATORIO", "copia:" + (dir_ / "danificado.txt").string()}},
       {"gerar", "--base", "Loja", "--mes", "3", "--ano", "2024", "--tipos", "60M", "--ler-ecf"},
       1,
       "Erro:\n"},
      {"tipo desconhecido",
       {},
       {"ecf", "ler", "--base", "Loja", "--mes", "3", "--ano", "2024", "--tipos", "60M"},
       2,
       "--tipos aceita 60D, 60I e 60R"},
      {"ler-ecf sem tipo 60",
       {},
       {"gerar", "--base", "Loja", "--mes", "3", "--ano", "2024", "--ler-ecf"},
       2,
       "--ler-ecf pede ao menos um tipo 60"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    for (const auto& [k, v] : c.env) ::setenv(k, v.c_str(), 1);
    Saida s = Cli(c.args);
    EXPECT_EQ(s.codigo, c.codigo) << s.err;
    EXPECT_NE(s.err.find(c.err), std::string::npos) << s.err;
    EXPECT_EQ(s.out, "");
    TearDown();
    SetUp();
  }
}

// Ctrl-C and SIGTERM during a reading that would otherwise go on (a printer that stopped
// answering): the reading is cancelled, the program says so and ends with 1 at once, and
// the month's folder keeps what an earlier run left there.
TEST_F(EcfCli, ASignalCancelsTheReadingAndKeepsThePreviousFiles) {
  using namespace std::chrono_literals;
  const fs::path pasta = dir_ / "Sintegra" / "2024" / "Março";
  struct Caso {
    const char* nome;
    int sinal;
    std::vector<std::string> args;
    fs::path anterior;
  } casos[] = {
      {"ecf ler, Ctrl-C",
       SIGINT,
       {"ecf", "ler", "--base", "Loja", "--mes", "3", "--ano", "2024", "--porta", "COM5", "--tipos",
        "60D"},
       pasta / "Sintegra-3_2024.txt"},
      {"ecf ler, SIGTERM",
       SIGTERM,
       {"ecf", "ler", "--base", "Loja", "--mes", "3", "--ano", "2024", "--porta", "COM5"},
       pasta / "Sintegra-3_2024.txt"},
      {"gerar --ler-ecf, SIGTERM",
       SIGTERM,
       {"gerar", "--base", "Loja", "--mes", "3", "--ano", "2024", "--tipos", "60M,60R", "--ler-ecf",
        "--porta", "COM5"},
       pasta / "Sintegra.txt"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    ::setenv("STUB_LEITURA_CENARIO", "mudo", 1);
    fs::create_directories(pasta);
    std::ofstream(c.anterior, std::ios::binary) << "anterior\r\n";
    pid_t pid = Inicia(c.args);
    // The reading is under way once the driver was asked for the serial number.
    const auto limite = std::chrono::steady_clock::now() + 30s;
    while (Le(dir_ / "driver.log").find("NumeroSerie") == std::string::npos &&
           std::chrono::steady_clock::now() < limite)
      std::this_thread::sleep_for(20ms);
    ASSERT_NE(Le(dir_ / "driver.log").find("NumeroSerie"), std::string::npos);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(::kill(pid, c.sinal), 0);
    const auto enviado = std::chrono::steady_clock::now();
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0 &&
           std::chrono::steady_clock::now() - enviado < 10s)
      std::this_thread::sleep_for(10ms);
    const auto levou = std::chrono::steady_clock::now() - enviado;
    if (::waitpid(pid, &status, WNOHANG) == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      ADD_FAILURE() << "still running 10 s after the signal";
    }
    EXPECT_LT(levou, 2500ms);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string err = Le(dir_ / ".err");
    EXPECT_NE(err.find("Leitura cancelada pelo usuário."), std::string::npos) << err;
    EXPECT_EQ(Le(dir_ / ".out"), "");
    EXPECT_EQ(Le(c.anterior), "anterior\r\n");
    // The base took the log lines and opens as before.
    ::unsetenv("STUB_LEITURA_CENARIO");
    Saida depois =
        Cli({"ecf", "ler", "--base", "Loja", "--mes", "3", "--ano", "2024", "--porta", "COM5"});
    EXPECT_EQ(depois.codigo, 0) << depois.err;
    TearDown();
    SetUp();
  }
}

}  // namespace
