#include "shell/widgets/recursos.h"

#include "common/files.h"

namespace shell {

namespace fs = std::filesystem;

fs::path PastaDosRecursos(const fs::path& program_folder) {
  std::error_code ec;
  if (fs::is_directory(program_folder / "Imagens", ec)) return program_folder / "";
  fs::path share = (program_folder / ".." / "share" / "tributarium").lexically_normal();
  if (fs::is_directory(share / "Imagens", ec)) return share / "";
  return program_folder / "";
}

fs::path PastaDosRecursos() {
  return PastaDosRecursos(common::executable_folder());
}

}  // namespace shell
