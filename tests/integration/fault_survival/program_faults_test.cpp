// tributarium-cli when the world fails under it: the disk fills up while the month's file is
// written, and the program is killed in the middle of a generation. What the accountant
// sees is a clear failure; what stays on disk is the previous month file or the new one
// whole, never a mix; the next run works on the same databases.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "scratch_mounts.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int code = -1;  // exit status, or -signal when killed
  std::string out, err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Sets [Tributarium] PathBaseDados of the program's configuration.
void common_ini_set(const fs::path& ini, const std::string& location) {
  std::ifstream in(ini, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string s = text.str(), out;
  std::istringstream lines(s);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("PathBaseDados=", 0) == 0) line = "PathBaseDados=" + location + "\r";
    out += line + "\n";
  }
  std::ofstream(ini, std::ios::binary | std::ios::trunc) << out;
}

class ProgramFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/program-faults-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ::setenv("LSAN_OPTIONS", "print_suppressions=0", 1);
    ::setenv("TRIBUTARIUM_LOGIN", "admin", 1);
    ::setenv("TRIBUTARIUM_SENHA", "admin", 1);
    ASSERT_EQ(Cli({"init"}).code, 0);
    Outcome o = Cli({"base", "criar", kBase});
    ASSERT_EQ(o.code, 0) << o.err;
    o = Run(TRIBUTARIUM_DEMO, {"preencher", kBase, "3", "2024"});
    ASSERT_EQ(o.code, 0) << o.err;
  }
  void TearDown() override {
    if (!mounted_.empty()) ::umount2(mounted_.c_str(), MNT_DETACH);
    fs::remove_all(dir_);
  }

  // Starts a program of the build in dir_; its pid.
  pid_t Start(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> words = {program};
    words.insert(words.end(), args.begin(), args.end());
    const fs::path out = dir_ / ".out", err = dir_ / ".err";
    pid_t pid = ::fork();
    if (pid == 0) {
      std::vector<char*> argv;
      for (auto& w : words) argv.push_back(w.data());
      argv.push_back(nullptr);
      if (::chdir(dir_.c_str()) != 0) ::_exit(126);
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }
  Outcome Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    Outcome o;
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    o.out = Slurp(dir_ / ".out");
    o.err = Slurp(dir_ / ".err");
    return o;
  }
  Outcome Run(const std::string& program, const std::vector<std::string>& args) {
    return Wait(Start(program, args));
  }
  Outcome Cli(const std::vector<std::string>& args) { return Run(TRIBUTARIUM_CLI, args); }
  std::vector<std::string> Gerar(const std::string& saida) {
    return {"gerar", "--base", kBase, "--mes", "3", "--ano", "2024", "--saida", saida};
  }

  // A small memory filesystem at dir_/name, in a mount namespace of this test process
  // alone (each test case runs in its own process). False when the system does not allow it.
  bool SmallDisk(const std::string& name, const std::string& size) {
    if (::unshare(CLONE_NEWNS) != 0) return false;
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    fs::create_directories(dir_ / name);
    const std::string options = "size=" + size;
    if (::mount("tmpfs", (dir_ / name).c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
    mounted_ = dir_ / name;
    return true;
  }

  // Fills the filesystem of `folder` until fewer than `leave` bytes are free.
  static void Fill(const fs::path& folder, std::uintmax_t leave) {
    std::ofstream out(folder / "enchimento", std::ios::binary);
    const std::string block(4096, 'x');
    while (fs::space(folder).available > leave && out.write(block.data(), block.size())) {
      out.flush();
    }
  }

  // Files left in a folder besides the ones named.
  static std::vector<std::string> Others(const fs::path& folder,
                                         const std::vector<std::string>& known) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
      const std::string n = e.path().filename().string();
      if (std::find(known.begin(), known.end(), n) == known.end()) names.push_back(n);
    }
    return names;
  }

  static constexpr const char* kBase = "Loja Falhas";
  fs::path dir_, mounted_;
};

TEST_F(ProgramFaults, DiskFullWhileWritingTheMonthKeepsThePreviousFileAndTheNextRunWorks) {
  if (!SmallDisk("cheio", "1m")) GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
  const fs::path folder = dir_ / "cheio";
  Outcome o = Cli(Gerar("cheio"));
  ASSERT_EQ(o.code, 0) << o.err;
  const std::string good = Slurp(folder / "Sintegra.txt");
  ASSERT_GT(good.size(), 10000u);

  Fill(folder, good.size() / 4);
  o = Cli(Gerar("cheio"));
  EXPECT_NE(o.code, 0) << "a file that could not be written was reported as written";
  EXPECT_NE(o.err, "") << "the failure must say why";
  EXPECT_EQ(Slurp(folder / "Sintegra.txt"), good) << "the previous file was damaged";
  EXPECT_EQ(Others(folder, {"Sintegra.txt", "enchimento"}), std::vector<std::string>{})
      << "a partial file was left behind";

  fs::remove(folder / "enchimento");
  o = Cli(Gerar("cheio"));
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(Slurp(folder / "Sintegra.txt"), good);
}

// The month's folder shown read-only (a read-only bind mount refuses even root): the run
// fails saying why, the previous file stays as it was, and once the folder is writable
// again the next run writes it.
TEST_F(ProgramFaults, AReadOnlyMonthFolderFailsClearlyKeepsTheFileAndTheNextRunWorks) {
  Outcome o = Cli(Gerar("saida"));
  ASSERT_EQ(o.code, 0) << o.err;
  const fs::path folder = dir_ / "saida";
  const std::string good = Slurp(folder / "Sintegra.txt");
  ASSERT_GT(good.size(), 10000u);
  if (!fault_survival::ReadOnly(folder))
    GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
  mounted_ = folder;

  o = Cli(Gerar("saida"));
  EXPECT_NE(o.code, 0) << "a file that could not be written was reported as written";
  EXPECT_NE(o.err.find("Read-only file system"), std::string::npos)
      << "the failure must say why: " << o.err;
  EXPECT_EQ(Slurp(folder / "Sintegra.txt"), good);
  EXPECT_EQ(Others(folder, {"Sintegra.txt"}), std::vector<std::string>{});

  ASSERT_TRUE(fault_survival::Writable(folder));
  mounted_.clear();
  o = Cli(Gerar("saida"));
  EXPECT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(Slurp(folder / "Sintegra.txt"), good);
}

TEST_F(ProgramFaults, KilledDuringAGenerationLeavesTheOldOrTheNewFileWholeAndTheNextRunWorks) {
  Outcome o = Cli(Gerar("saida"));
  ASSERT_EQ(o.code, 0) << o.err;
  const fs::path file = dir_ / "saida" / "Sintegra.txt";
  const std::string good = Slurp(file);
  ASSERT_GT(good.size(), 10000u);
  // Kills at several points of the run: connecting, reading, writing.
  for (int delay_ms : {50, 150, 300, 600, 1000}) {
    pid_t pid = Start(TRIBUTARIUM_CLI, Gerar("saida"));
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    ::kill(pid, SIGKILL);
    Wait(pid);
    ASSERT_TRUE(fs::exists(file)) << "killed after " << delay_ms << " ms: the file is gone";
    // The demo month is the same every run, so the new file whole equals the old one.
    EXPECT_EQ(Slurp(file), good) << "killed after " << delay_ms << " ms: a half-written file";
    o = Cli(Gerar("saida"));
    ASSERT_EQ(o.code, 0) << "after a kill at " << delay_ms << " ms: " << o.err;
    EXPECT_EQ(Slurp(file), good);
  }
}

// The month file of a base held by a Firebird server (as several machines share one
// installation): the server goes down in the middle of the run. The accountant sees the run
// fail with the database's message; the previous file stays; once the server is back the
// next run works.
TEST_F(ProgramFaults, ServerDownDuringAGenerationFailsClearlyAndTheNextRunWorks) {
  const fs::path server_dir = dir_ / "servidor";
  const std::string port = "3071";
  auto server = [&](const std::string& action) {
    const std::string command = "bash " TEST_SERVER_SCRIPT " " + action + " '" +
                                server_dir.string() + "' " + port + " >/dev/null 2>&1";
    return std::system(command.c_str());
  };
  ASSERT_EQ(server("start"), 0) << "the private Firebird server did not start";
  // From here on every connection goes through the server, never embedded, so the two
  // engines never share a file.
  common_ini_set(dir_ / "Tributarium.ini", "127.0.0.1/" + port + ":" + (dir_ / "Dados").string());
  const std::string base = "127.0.0.1/" + port + ":" + (dir_ / "Dados" / kBase).string();
  Outcome o = Cli({"base", "importar", "Pelo Servidor", base});
  ASSERT_EQ(o.code, 0) << o.err;
  std::vector<std::string> gerar = {"gerar", "--base", "Pelo Servidor", "--mes", "3",
                                    "--ano", "2024",   "--saida",       "saida"};
  o = Cli(gerar);
  ASSERT_EQ(o.code, 0) << o.err;
  const fs::path file = dir_ / "saida" / "Sintegra.txt";
  const std::string good = Slurp(file);
  ASSERT_GT(good.size(), 10000u);

  for (int delay_ms : {200, 600}) {
    pid_t pid = Start(TRIBUTARIUM_CLI, gerar);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    std::ifstream pid_file(server_dir / "server.pid");
    pid_t server_pid = 0;
    pid_file >> server_pid;
    ASSERT_GT(server_pid, 0);
    ::kill(server_pid, SIGKILL);
    o = Wait(pid);
    // A run that had already finished when the server went down is a success; any other
    // ends in a failure that says so.
    if (o.code != 0) {
      EXPECT_NE(o.err, "") << "killed after " << delay_ms << " ms";
    }
    EXPECT_EQ(Slurp(file), good) << "after the server went down at " << delay_ms << " ms";
    EXPECT_EQ(Others(dir_ / "saida", {"Sintegra.txt"}), std::vector<std::string>{});
    ASSERT_EQ(server("start"), 0) << "the server did not come back";
    o = Cli(gerar);
    EXPECT_EQ(o.code, 0) << "after the server came back: " << o.err;
    EXPECT_EQ(Slurp(file), good);
  }
  server("stop");
}

}  // namespace
