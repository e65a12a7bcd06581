#include "shell/program/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <cstdio>

namespace shell {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler only writes to a pipe; the window thread reads it in its event loop.
int g_pipe[2] = {-1, -1};
std::atomic<bool> g_requested{false};
TerminationSignals* g_instance = nullptr;

extern "C" void OnTerminationSignal(int signal_number) {
  g_requested.store(true);
  const int saved = errno;
  const char byte = static_cast<char>(signal_number);
  [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

void InstallHandlers() {
  struct sigaction sa {};
  sa.sa_handler = OnTerminationSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int s : kSignals) sigaction(s, &sa, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals(std::chrono::milliseconds grace) : grace_(grace) {
  g_requested.store(false);
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("tributarium: pipe");
    return;
  }
  g_instance = this;
  notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] {
    char buffer[16];
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
    End();
  });
  InstallHandlers();
}

TerminationSignals::~TerminationSignals() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  done_.notify_all();
  if (watchdog_.joinable()) watchdog_.join();
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  for (int s : kSignals) sigaction(s, &sa, nullptr);
  delete notifier_;
  if (g_pipe[0] >= 0) ::close(g_pipe[0]);
  if (g_pipe[1] >= 0) ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
  g_instance = nullptr;
}

void TerminationSignals::TakeBack() {
  if (g_instance) InstallHandlers();
}

bool TerminationSignals::Requested() {
  return g_requested.load();
}

void TerminationSignals::End() {
  if (ending_) return;
  ending_ = true;
  if (grace_.count() > 0) {
    watchdog_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      if (done_.wait_for(lock, grace_, [this] { return finished_; })) return;
      std::fputs("tributarium: encerrado sem concluir a saída\n", stderr);
      ::_exit(1);
    });
  }
  // Dialogs first (a message box, the login), then every running event loop. A dialog
  // opened on the way out by code that was waiting for one of them is rejected as well.
  auto reject_dialogs_and_exit = [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->reject();
    QCoreApplication::exit(0);
  };
  reject_dialogs_and_exit();
  auto* again = new QTimer(notifier_);
  QObject::connect(again, &QTimer::timeout, again, reject_dialogs_and_exit);
  again->start(50);
}

}  // namespace shell
