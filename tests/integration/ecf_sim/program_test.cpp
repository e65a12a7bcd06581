// orvik-ecf-sim as scripts use it: the slave path on the first line, --ini, --link,
// --clock, --state, and SIGTERM saving the state.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/ini.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using ecf_sim::testing::RawClient;

class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv{const_cast<char*>(ORVIK_ECF_SIM_PATH)};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(ORVIK_ECF_SIM_PATH, argv.data());
      _exit(127);
    }
    close(out[1]);
    FILE* f = fdopen(out[0], "r");
    char line[512] = "";
    if (f && fgets(line, sizeof line, f)) first_line_ = line;
    if (!first_line_.empty() && first_line_.back() == '\n') first_line_.pop_back();
    if (f) fclose(f);
  }
  ~Program() {
    if (pid_ > 0) stop();
  }
  // SIGTERM and wait; the exit status.
  int stop() {
    int status = -1;
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, &status, 0);
      pid_ = -1;
    }
    return status;
  }
  const std::string& first_line() const { return first_line_; }

 private:
  pid_t pid_ = -1;
  std::string first_line_;
};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ecfsim-program-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(ProgramTest, CommandLineContract) {
  fs::path ini = dir / "ORVIK.INI";
  std::ofstream(ini, std::ios::binary) << "[Sistema]\r\nModeloImp=ORVIK_KAP\r\nPorta=COM3\r\n"
                                          "[Flags]\r\nNumPkt=17\r\n";
  fs::path link = dir / "ttyECF";
  Program sim({"--ini", ini.string(), "--link", link.string(), "--clock", "2026-03-14 09:30:00"});
  ASSERT_EQ(sim.first_line().rfind("/dev/pts/", 0), 0u) << sim.first_line();
  common::IniFile file(ini);
  EXPECT_EQ(file.read("Portas", "COM1"), sim.first_line());
  EXPECT_EQ(file.read("Sistema", "Porta"), "COM1");
  EXPECT_EQ(file.read("Sistema", "ModeloImp"), "ORVIK_KAP");
  EXPECT_EQ(file.read("Flags", "NumPkt"), "17");
  EXPECT_EQ(fs::read_symlink(link), sim.first_line());

  RawClient client(link.string());
  ASSERT_TRUE(client.is_open());
  auto a = client.send("LeData", "NomeData=\"Data\"");
  EXPECT_EQ(a.results, "ValorData=#14/03/2026#");
  EXPECT_EQ(WEXITSTATUS(sim.stop()), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST_F(ProgramTest, StateSurvivesARestart) {
  fs::path state = dir / "printer.state";
  {
    Program sim({"--state", state.string(), "--clock", "2026-03-14 09:30:00"});
    RawClient c(sim.first_line());
    ASSERT_TRUE(c.is_open());
    for (auto [cmd, params] : std::vector<std::pair<std::string, std::string>>{
             {"DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00"},
             {"AbreCupomFiscal", ""},
             {"VendeItem",
              "CodAliquota=0 CodProduto=\"1\" NomeProduto=\"CAFE\" PrecoUnitario=8,90 "
              "Quantidade=2"},
             {"PagaCupom", "CodMeioPagamento=-2 Valor=20,00"},
             {"EncerraDocumento", "Operador=\"Ana\""},
             {"EmiteReducaoZ", ""}}) {
      auto a = c.send(cmd, params);
      ASSERT_EQ(a.code, 0) << cmd << " " << a.results;
    }
    // Saved after the document already, before any signal.
    EXPECT_TRUE(fs::exists(state));
    EXPECT_EQ(WEXITSTATUS(sim.stop()), 0);
  }
  Program again({"--state", state.string()});
  RawClient c(again.first_line());
  EXPECT_EQ(c.send("LeInteiro", "NomeInteiro=\"COO\"").results, "ValorInteiro=2");
  EXPECT_EQ(c.send("LeInteiro", "NomeInteiro=\"CRZ\"").results, "ValorInteiro=1");
  EXPECT_EQ(c.send("LeMoeda", "NomeDadoMonetario=\"GT\"").results, "ValorMoeda=17,8000");
  // The clock offset is part of the state: the printer is still on its day, closed by Z.
  EXPECT_EQ(c.send("LeData", "NomeData=\"Data\"").results, "ValorData=#14/03/2026#");
  EXPECT_EQ(c.send("EmiteReducaoZ").code, 8104);
}

// A host may stop the printer as soon as it has read the path: the stop must still be the
// orderly one (state written, link removed, status 0), never the default death by signal.
TEST_F(ProgramTest, StopRightAfterThePathIsOrderly) {
  for (int round = 0; round < 20; ++round) {
    fs::path state = dir / ("printer" + std::to_string(round) + ".state");
    fs::path link = dir / "ttyECF";
    Program sim({"--state", state.string(), "--link", link.string()});
    ASSERT_FALSE(sim.first_line().empty());
    int status = sim.stop();
    ASSERT_TRUE(WIFEXITED(status)) << "round " << round << " ended by signal "
                                   << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(fs::exists(state)) << "round " << round;
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "round " << round;
  }
}

TEST_F(ProgramTest, UnreadableStateIsNotOverwritten) {
  fs::path state = dir / "printer.state";
  std::ofstream(state) << "not a printer";
  Program sim({"--state", state.string()});
  EXPECT_EQ(sim.first_line(), "");
  EXPECT_EQ(WEXITSTATUS(sim.stop()), 1);
  std::ifstream in(state);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "not a printer");
}

TEST_F(ProgramTest, ServesAGivenDevice) {
  // The host's end is the master of a pair made here; the printer serves the slave.
  int master = -1, slave = -1;
  char name[256] = "";
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  termios t{};
  tcgetattr(master, &t);
  cfmakeraw(&t);
  tcsetattr(master, TCSANOW, &t);
  Program sim({"--device", name});
  EXPECT_EQ(sim.first_line(), name);
  std::string frame = "{5;LeInteiro;NomeInteiro=\"CRZ\";30}";
  ASSERT_EQ(write(master, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
  std::string reply;
  for (int i = 0; i < 200 && (reply.empty() || reply.back() != '}'); ++i) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 10) <= 0) continue;
    char buf[256];
    ssize_t n = read(master, buf, sizeof buf);
    if (n > 0) reply.append(buf, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(reply, "{5;0;ValorInteiro=0;19}");
  EXPECT_EQ(WEXITSTATUS(sim.stop()), 0);
  close(slave);
  close(master);
}

}  // namespace
