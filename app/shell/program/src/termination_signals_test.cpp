// The program ends as its window's close does when the session, a service manager or a
// terminal sends SIGTERM, SIGINT or SIGHUP: inside the process with a dialog left open
// after the login, and as the built program waiting at its login.
#include "shell/program/termination_signals.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "shell/program/main_window.h"
#include "shell/testing/shell_fixture.h"

namespace fs = std::filesystem;

namespace shell {
namespace {

using testing::ShellTest;

struct Sinal {
  const char* nome;
  int numero;
};

void PrintTo(const Sinal& s, std::ostream* os) {
  *os << s.nome;
}

const Sinal kSinais[] = {{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}};

class TerminationInProcess : public ShellTest, public ::testing::WithParamInterface<Sinal> {};

TEST_P(TerminationInProcess, EndsEveryLoopAndLeavesTheConnectionsToTheWayOut) {
  // No watchdog here: it would end the test program.
  TerminationSignals termination(std::chrono::milliseconds(0));
  auto w = std::make_unique<TformTributarium>(*dm_);
  ASSERT_EQ(w->Inicia([](TPasswordDlg& dlg) {
    dlg.edtLogin()->setText(QStringLiteral("ADMIN"));
    dlg.edtSenha()->setText(QStringLiteral("admin"));
    dlg.Confirma();
    return dlg.result() == QDialog::Accepted;
  }),
            TformTributarium::Partida::Pronta);
  w->show();
  // A question nobody will answer is open when the signal comes.
  auto* pergunta = new QDialog(w.get());
  bool perguntaTerminou = false;
  QTimer::singleShot(0, [&] {
    pergunta->exec();
    perguntaTerminou = true;
  });
  const int sinal = GetParam().numero;
  QTimer::singleShot(100, [sinal] { ::raise(sinal); });
  QTimer::singleShot(20000, [] { QCoreApplication::exit(2); });  // never hang the suite
  EXPECT_EQ(QCoreApplication::exec(), 0);
  EXPECT_TRUE(TerminationSignals::Requested());
  EXPECT_TRUE(perguntaTerminou);
  EXPECT_FALSE(pergunta->isVisible());
  // The engine's own handler did not run: the catalogue is still connected and answers,
  // so the way out releases connections that are alive.
  store::RowSet r;
  EXPECT_NO_THROW(r = Consulta(dm_->trCatalogo, "select count(*) as N from USUARIOS"));
  w.reset();
}

INSTANTIATE_TEST_SUITE_P(Sinais, TerminationInProcess, ::testing::ValuesIn(kSinais),
                         [](const auto& info) { return std::string(info.param.nome); });

// The built program in an empty folder: it installs the catalogue, connects and waits at
// its login dialog, where a signal must end it with status 0.
class TerminationOfTheProgram : public ::testing::TestWithParam<Sinal> {
 protected:
  void SetUp() override {
    std::string modelo = (fs::temp_directory_path() / "tributarium-sinal-XXXXXX").string();
    ASSERT_NE(mkdtemp(modelo.data()), nullptr);
    dir_ = modelo;
  }
  void TearDown() override {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    fs::remove_all(dir_);
  }

  // True when the process holds the catalogue open and its main thread has been asleep
  // (its event loop waiting) for a while.
  bool WaitsAtTheLogin() {
    bool conectado = false;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", ec))
      if (fs::read_symlink(fd.path(), ec).filename() == "tributariumbase.fdb") conectado = true;
    if (!conectado) return false;
    for (int i = 0; i < 6; ++i) {
      std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
      std::string pid, nome, estado;
      stat >> pid >> nome >> estado;
      if (estado != "S") return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }

  fs::path dir_;
  pid_t pid_ = -1;
};

TEST_P(TerminationOfTheProgram, EndsWithZeroAtTheLoginDialog) {
  pid_ = ::fork();
  if (pid_ == 0) {
    if (::chdir(dir_.c_str()) != 0) ::_exit(126);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::execl(TRIBUTARIUM_PROGRAM, TRIBUTARIUM_PROGRAM, nullptr);
    ::_exit(127);
  }
  ASSERT_GT(pid_, 0);
  auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!WaitsAtTheLogin()) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid_, &status, WNOHANG), 0) << "the program ended before its login";
    ASSERT_LT(std::chrono::steady_clock::now(), limite) << "no login dialog within a minute";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_EQ(::kill(pid_, GetParam().numero), 0);
  // Generous for a loaded machine; a program that ignores the signal never ends, and one
  // that needed its watchdog ends with 1.
  int status = 0;
  pid_t fim = 0;
  limite = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((fim = ::waitpid(pid_, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < limite)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(fim, pid_) << "still running 10 s after " << GetParam().nome;
  pid_ = -1;
  ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

INSTANTIATE_TEST_SUITE_P(Sinais, TerminationOfTheProgram, ::testing::ValuesIn(kSinais),
                         [](const auto& info) { return std::string(info.param.nome); });

}  // namespace
}  // namespace shell
