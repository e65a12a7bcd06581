#pragma once
// Operation-log lines of a long run (the command line and the status window). The data module's
// GravaLog commits each line and rereads today's log for the window's list, which turns a run of
// thousands of lines (one pair per invoice split by tax rate) into minutes. Here lines go through
// the same procedure, under the same user, and are committed in groups. Each commit of the catalogue
// (written synchronously) costs several page writes on disk, so a group is committed when it is a
// second old or 5,000 lines long, at a failure line and at the run's first line (a viewer sees the run
// start, a crash loses at most a second of lines), and everything when the run ends.
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "store/data_module.h"

namespace generation {

// Whether the pending group commits now: `pendentes` lines are pending (the new one included),
// the oldest of them written `idade` ago; `primeira` is the run's first line.
bool ConfirmaAgora(std::size_t pendentes, std::chrono::steady_clock::duration idade, bool primeira,
                   const std::string& linha);

class LogEmLote {
 public:
  // falha receives "Erro ao gravar log: ..." when a group cannot be written.
  LogEmLote(store::TdmTributarium& dm, std::function<void(const std::string&)> falha);
  ~LogEmLote();

  void Grava(const std::string& linha);
  // Commits what is pending.
  void Confirma();

 private:
  store::TdmTributarium& dm_;
  std::function<void(const std::string&)> falha_;
  std::size_t pendentes_ = 0;
  bool primeira_ = true;
  std::chrono::steady_clock::time_point desde_{};
};

}  // namespace generation
