#include "coupon_files.h"

#include <filesystem>

#include "common/files.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"

namespace orvik::lumvar::coupon_files {
namespace fs = std::filesystem;

namespace {

fs::path CurrentFolder() {
  std::error_code ec;
  fs::path folder = fs::current_path(ec);
  return ec ? fs::path(".") : folder;
}

}  // namespace

bool Recreate(std::string_view name, const std::vector<std::string>& lines) {
  const fs::path file = common::fixed_name(CurrentFolder(), name);
  if (common::write_lines(file, lines)) return true;
  // The host must not believe that the consumer or the description was kept.
  core::DriverState& s = core::State();
  s.last_return_code = -8;
  s.last_message = "Erro ao gravar " + file.string();
  core::Log("---[" + s.last_message + "]---");
  return false;
}

std::optional<std::vector<std::string>> TakeLines(std::string_view name) {
  const auto found = common::find_case_blind(CurrentFolder(), name);
  if (!found) return std::nullopt;
  const auto data = common::read_file(*found);
  Remove(name);
  if (!data) return std::nullopt;
  return common::split_lines(*data);
}

void Remove(std::string_view name) {
  const fs::path folder = CurrentFolder();
  std::error_code ec;
  while (auto found = common::find_case_blind(folder, name)) {
    if (!fs::remove(*found, ec)) break;
  }
}

}  // namespace orvik::lumvar::coupon_files
