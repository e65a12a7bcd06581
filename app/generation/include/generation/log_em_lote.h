#pragma once
// Operation-log lines of a long run (the command line and the status window). The data module's
// GravaLog commits each line and rereads today's log for the window's list, which turns a run of
// thousands of lines (one pair per invoice split by tax rate) into minutes. Here lines go through
// the same procedure, under the same user, and are committed in groups: a line that opens or closes
// anything but a split is committed at once, split lines at most 500 at a time, and everything when
// the run ends.
#include <cstddef>
#include <functional>
#include <string>

#include "store/data_module.h"

namespace generation {

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
};

}  // namespace generation
