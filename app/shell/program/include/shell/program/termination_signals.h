#pragma once
// The program's end on SIGTERM, SIGINT and SIGHUP (a session that logs out, a service
// manager, Ctrl-C in the terminal that started it): the same end as closing the main
// window, without questions. Open dialogs are rejected, every event loop ends, and main's
// objects go on the way out: the windows, then the data module with both connections.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class QSocketNotifier;

namespace shell {

class TerminationSignals {
 public:
  // Installs the handlers; a QCoreApplication must exist. When the program has not
  // ended `grace` after a signal (a long wait that does not look at Requested), it is
  // ended at once.
  explicit TerminationSignals(std::chrono::milliseconds grace = std::chrono::seconds(5));
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // Takes the signals back for the program. The embedded database engine installs
  // handlers of its own at its first connection, which shut every connection and leave
  // the window open on them; call this after that connection. Does nothing when no
  // TerminationSignals exists.
  static void TakeBack();

  // True once a termination signal has arrived. Loops that wait for a worker while
  // keeping the window alive end their wait when they see it.
  static bool Requested();

 private:
  void End();

  QSocketNotifier* notifier_ = nullptr;
  std::chrono::milliseconds grace_;
  bool ending_ = false;
  // Ends the process when the way out takes longer than grace_; stopped by the
  // destructor, which runs when main returns.
  std::thread watchdog_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
};

}  // namespace shell
