// orvik-cli run as a technician runs it, against the real library and a temporary
// ORVIK.INI.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "orvik/orvik.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int exit_code = -1;
  std::string output;  // standard output and error together
};

class OrvikCli : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvik-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    WriteIni("ORVIK_KAP");
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteIni(const std::string& model) {
    std::ofstream ini(dir_ / "ORVIK.INI", std::ios::binary);
    ini << "[Sistema]\r\nModeloImp=" << model << "\r\nPath=" << dir_.string() << "/\r\n"
        << "[Portas]\r\nCOM1=" << (dir_ / "no-such-tty").string() << "\r\n";
  }

  std::string IniText() const {
    std::ifstream in(dir_ / "ORVIK.INI", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Runs orvik-cli with the arguments (each quoted for the shell).
  Outcome Run(const std::string& arguments) const {
    const std::string command = "cd '" + dir_.string() + "' && ORVIK_INI='" +
                                (dir_ / "ORVIK.INI").string() + "' '" + ORVIK_CLI_PATH + "' " +
                                arguments + " 2>&1";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return outcome;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) outcome.output.append(chunk, n);
    const int status = pclose(pipe);
    outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
  }

  // Runs orvik-cli with its standard output on a pipe whose reader has already gone, the
  // way `orvik-cli --list | head` ends once head has its lines; standard error is kept.
  Outcome RunIntoClosedPipe(const std::vector<std::string>& arguments) const {
    Outcome outcome;
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return outcome;
    close(out[0]);
    const pid_t child = fork();
    if (child == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(err[1], STDERR_FILENO);
      close(err[0]);
      setenv("ORVIK_INI", (dir_ / "ORVIK.INI").c_str(), 1);
      if (chdir(dir_.c_str()) != 0) _exit(126);
      std::vector<char*> argv{const_cast<char*>(ORVIK_CLI_PATH)};
      for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(ORVIK_CLI_PATH, argv.data());
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    char chunk[4096];
    ssize_t n;
    while ((n = read(err[0], chunk, sizeof chunk)) > 0) outcome.output.append(chunk, n);
    close(err[0]);
    int status = 0;
    waitpid(child, &status, 0);
    outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
  }

  fs::path dir_;
};

TEST_F(OrvikCli, ListPrintsOnePrototypePerExport) {
  const Outcome out = Run("--list");
  ASSERT_EQ(out.exit_code, 0) << out.output;
  std::set<std::string> listed;
  std::istringstream lines(out.output);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    ASSERT_EQ(line.rfind("int ", 0), 0u) << line;
    listed.insert(line.substr(4, line.find('(') - 4));
  }
  EXPECT_EQ(count, 298);
  std::set<std::string> declared;
#define ORVIK_EXPORT(group, name, params) declared.insert(#name);
#include "orvik/exports.def"
#undef ORVIK_EXPORT
  EXPECT_EQ(listed, declared);
  EXPECT_NE(out.output.find("int Orvik_VendeItem(const char* code, const char* description, "
                            "const char* aliquot, const char* quantity_type, const char* "
                            "quantity, int decimals, const char* unit_price, const char* "
                            "discount_type, const char* discount)\n"),
            std::string::npos);
}

// Under `set -o pipefail` a tool killed by SIGPIPE fails the whole script (status 141).
TEST_F(OrvikCli, ReaderThatGoesAwayEndsItQuietlyWithZero) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--list"},
        std::vector<std::string>{"Orvik_ProgramaBaudRate", "4800"}}) {
    const Outcome out = RunIntoClosedPipe(arguments);
    EXPECT_EQ(out.exit_code, 0) << arguments[0] << ": " << out.output;
    EXPECT_EQ(out.output, "") << arguments[0];
  }
}

struct MisuseCase {
  const char* title;
  const char* arguments;
  const char* complaint;
};

// Test names and failure messages show the case by its title.
void PrintTo(const MisuseCase& c, std::ostream* os) {
  *os << c.title;
}

class Misuse : public OrvikCli, public ::testing::WithParamInterface<MisuseCase> {};

TEST_P(Misuse, ExitsWithTwoAndSaysWhy) {
  const Outcome out = Run(GetParam().arguments);
  EXPECT_EQ(out.exit_code, 2) << out.output;
  EXPECT_NE(out.output.find(GetParam().complaint), std::string::npos) << out.output;
}

INSTANTIATE_TEST_SUITE_P(
    Cli, Misuse,
    ::testing::Values(MisuseCase{"NoArguments", "", "usage: orvik-cli"},
                      MisuseCase{"UnknownExport", "Orvik_Inexistente",
                                 "unknown export Orvik_Inexistente"},
                      MisuseCase{"TooFewArguments", "Orvik_ProgramaBaudRate",
                                 "Orvik_ProgramaBaudRate takes 1 argument(s), 0 given"},
                      MisuseCase{"TooManyArguments", "Orvik_AbrePortaSerial x",
                                 "Orvik_AbrePortaSerial takes 0 argument(s), 1 given"},
                      MisuseCase{"IntegerThatIsNotANumber", "Orvik_LinhasEntreCupons 7x",
                                 "argument 1 must be a whole number: 7x"}),
    [](const auto& info) { return std::string(info.param.title); });

TEST_F(OrvikCli, FrameCallPrintsResultCodeAndMessageInUtf8) {
  const Outcome out = Run("Orvik_ProgramaBaudRate 4800");
  ASSERT_EQ(out.exit_code, 0) << out.output;
  EXPECT_EQ(out.output,
            "result: 0\n"
            "last return code: -7\n"
            "last message: Valores aceitos para esta função[9600,19200,38400,57600,115200]\n");
}

TEST_F(OrvikCli, IntegerResultIsPrinted) {
  const Outcome out = Run("Orvik_VerificaReducaoZAutomatica");
  ASSERT_EQ(out.exit_code, 0) << out.output;
  EXPECT_NE(out.output.find("result: 1\nflag: 0\n"), std::string::npos) << out.output;
}

TEST_F(OrvikCli, AnswerBufferIsPrinted) {
  WriteIni("ORVIK_VUNO_LPT");
  const Outcome out = Run("Orvik_SubTotal");
  ASSERT_EQ(out.exit_code, 0) << out.output;
  EXPECT_EQ(out.output,
            "result: 0\n"
            "subtotal: \"00000000000000\"\n"
            "last return code: -3\n"
            "last message: Nao Implementado: Orvik_SubTotal\n");
}

TEST_F(OrvikCli, BufferTheExportLeavesAloneIsMarked) {
  // No RETORNO.TXT yet: the answer buffer is left as it was.
  const Outcome out = Run("Orvik_LeArquivoRetorno");
  ASSERT_EQ(out.exit_code, 0) << out.output;
  EXPECT_NE(out.output.find("result: 0\nanswer: (not written)\n"), std::string::npos) << out.output;
}

TEST_F(OrvikCli, TextArgumentReachesTheDriverInWindows1252) {
  const Outcome out = Run("Orvik_ProgramaIdAplicativoMFD 'Ação 1'");
  ASSERT_EQ(out.exit_code, 0) << out.output;
  EXPECT_NE(IniText().find("IdAplicativo=A\xE7\xE3o 1"), std::string::npos) << IniText();
}

}  // namespace
