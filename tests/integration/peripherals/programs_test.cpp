// orvik-vuno-sim and orvik-scale-sim as programs: the line (or socket) on the first line
// of output, the control file steering them, the journal, SIGTERM ending them.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>
#include <vector>

#include "inpout32/link.h"
#include "peripherals_fixture.h"

namespace orvik_testing {
namespace {

class Program {
 public:
  Program(const char* path, std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv{const_cast<char*>(path)};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(path, argv.data());
      _exit(127);
    }
    ::close(out[1]);
    FILE* f = ::fdopen(out[0], "r");
    char line[512] = "";
    if (f && std::fgets(line, sizeof line, f)) first_line_ = line;
    if (!first_line_.empty() && first_line_.back() == '\n') first_line_.pop_back();
    if (f) std::fclose(f);
  }
  ~Program() { stop(); }
  int stop() {
    int status = -1;
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
    }
    return status;
  }
  const std::string& first_line() const { return first_line_; }

 private:
  pid_t pid_ = -1;
  std::string first_line_;
};

class Programs : public PeripheralsTest {
 protected:
  // Writes a control-file line for the running device (taken before its next request).
  // The device may be reading the file right now, for bytes sent just before: the file
  // is put in place whole, never seen half-written.
  void Control(const std::string& variable_value) {
    std::ofstream(dir / "control.tmp", std::ios::binary) << variable_value << "\n";
    std::filesystem::rename(dir / "control.tmp", dir / "control");
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(Programs, SerialPrinterProgram) {
  ::setenv("ORVIK_VUNO_SIM_CONTROL", (dir / "control").c_str(), 1);
  Program sim(ORVIK_VUNO_SIM_PATH,
              {"--serial", "--speed", "19200", "--journal", (dir / "journal").string()});
  ::unsetenv("ORVIK_VUNO_SIM_CONTROL");
  ASSERT_EQ(sim.first_line().rfind("/dev/pts/", 0), 0u) << sim.first_line();
  Load("ModeloImp=ORVIK_VUNO_SERIAL\r\nPorta=COM1\r\nBAUD=19200\r\n",
       "[Portas]\r\nCOM1=" + sim.first_line() + "\r\n");
  EXPECT_EQ(EXPORT(Vuno_EnviaBufferFormatado)("PEDIDO 7\n", 0, 0, 0, 0, 1), 1) << last();
  EXPECT_EQ(EXPORT(Vuno_AcionaGuilhotina)(1), 1);
  Control("paper-low");
  EXPECT_EQ(EXPORT(Vuno_VerificaPoucoPapel)(), 2) << last();
  Control("silent");
  EXPECT_EQ(EXPORT(Vuno_VerificaPoucoPapel)(), 0);
  EXPECT_EQ(last(), "-10 Impressora offline ou desligada");
  EXPECT_EQ(sim.stop(), 0);
  EXPECT_EQ(Read("journal"), "line <E>PEDIDO 7\nevent cut full\nevent status 4\nevent status 4\n");
}

TEST_F(Programs, ParallelPrinterProgram) {
  const std::string socket = (dir / "lpt.sock").string();
  ::setenv("ORVIK_VUNO_SIM_CONTROL", (dir / "control").c_str(), 1);
  Program sim(ORVIK_VUNO_SIM_PATH, {"--parallel", "--socket", socket, "--busy-us", "20",
                                    "--journal", (dir / "journal").string()});
  ::unsetenv("ORVIK_VUNO_SIM_CONTROL");
  ASSERT_EQ(sim.first_line(), socket);
  ::setenv(inpout32::kLinkEnv, socket.c_str(), 1);
  Load("ModeloImp=ORVIK_VUNO_LPT\r\nPorta=LPT1\r\n");
  EXPECT_EQ(EXPORT(OrvikCupom_EnviaBuffer)("MESA 4\n"), 1) << last();
  Control("stuck-busy");
  EXPECT_EQ(EXPORT(OrvikCupom_AcionaGaveta)(), 0);
  EXPECT_EQ(last(), "-10 Impressora offline ou desligada");
  Control("busy-free");
  EXPECT_EQ(EXPORT(OrvikCupom_AcionaGaveta)(), 1) << last();
  Control("paper-out");
  EXPECT_EQ(EXPORT(OrvikCupom_VerificaFimPapel)(), 2);
  EXPECT_EQ(sim.stop(), 0);
  ::unsetenv(inpout32::kLinkEnv);
  EXPECT_FALSE(std::filesystem::exists(socket));
  // The drawer pulse strobed while stuck went nowhere; the second one was printed.
  const std::string journal = Read("journal");
  EXPECT_EQ(journal.rfind("line MESA 4\n", 0), 0u) << journal;
  EXPECT_NE(journal.find("event pulse 50\n"), std::string::npos) << journal;
}

TEST_F(Programs, ScaleProgram) {
  ::setenv("ORVIK_SCALE_SIM_CONTROL", (dir / "control").c_str(), 1);
  Program sim(ORVIK_SCALE_SIM_PATH, {"--speed", "1200", "--weight", "00375"});
  ::unsetenv("ORVIK_SCALE_SIM_CONTROL");
  ASSERT_EQ(sim.first_line().rfind("/dev/pts/", 0), 0u) << sim.first_line();
  Load("ModeloImp=ORVIK_KAP\r\n", "[Portas]\r\nCOM4=" + sim.first_line() + "\r\n");
  char weight[32] = "";
  EXPECT_EQ(EXPORT(Orvik_LeBalanca)("COM4", "1", weight), 1) << last();
  EXPECT_STREQ(weight, "00375");
  Control("unstable");
  EXPECT_EQ(EXPORT(Orvik_LeBalanca)("COM4", "1", weight), -34);
  Control("no-stx 3");
  EXPECT_EQ(EXPORT(Orvik_LeBalanca)("COM4", "1", weight), 0);
  EXPECT_EQ(last(), "-1 Falha de comunica\xE7\xE3o");
  EXPECT_EQ(sim.stop(), 0);
}

}  // namespace
}  // namespace orvik_testing
