#include "orvik/memfiles/working_folder.h"

#include "common/files.h"
#include "common/host_files.h"
#include "orvik/core/text_forms.h"

namespace orvik::memfiles {
namespace {

std::optional<std::filesystem::path>& HostOverride() {
  static std::optional<std::filesystem::path> folder;
  return folder;
}

}  // namespace

void SetHostFolderOverride(std::optional<std::filesystem::path> folder) {
  HostOverride() = std::move(folder);
}

std::string PastaRFDTemp() {
  const std::filesystem::path host = HostOverride() ? *HostOverride() : common::host_files_folder();
  return common::with_trailing_slash(host.string()) + "RFDTEMP/";
}

std::string DigitsField(std::string_view text, int n) {
  return core::LastDigits(text, n);
}

std::string TextField(std::string_view text, int n) {
  return core::BlankFit(text, n);
}

std::string LastChars(std::string_view text, size_t n) {
  return std::string(text.size() <= n ? text : text.substr(text.size() - n));
}

std::string StripLeadingZeros(std::string_view text) {
  const size_t first = text.find_first_not_of('0');
  return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

bool AppendLine(const std::filesystem::path& file, std::string_view text) {
  return common::append_line(file, text);
}

std::filesystem::path TemporaryBeside(const std::filesystem::path& to) {
  std::filesystem::path tmp = to;
  tmp += ".tmp";
  return tmp;
}

bool CopyFileWhole(const std::filesystem::path& from, const std::filesystem::path& to) {
  const std::filesystem::path tmp = TemporaryBeside(to);
  std::error_code ec;
  std::filesystem::copy_file(from, tmp, std::filesystem::copy_options::overwrite_existing, ec);
  if (!ec) std::filesystem::rename(tmp, to, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(tmp, ignored);
    return false;
  }
  return true;
}

bool DeleteFileIfPresent(const std::filesystem::path& file) {
  std::error_code ec;
  return std::filesystem::remove(file, ec);
}

std::string DmaCode(std::string_view yyyymmdd) {
  if (yyyymmdd.size() != 8 || core::Digits(yyyymmdd).size() != 8) return {};
  const int year = core::ParseInteger(yyyymmdd.substr(0, 4), 0) - 2000;
  const int month = core::ParseInteger(yyyymmdd.substr(4, 2), 0);
  const int day = core::ParseInteger(yyyymmdd.substr(6, 2), 0);
  if (year < 0 || year > 35 || month < 1 || month > 12 || day < 1 || day > 31) return {};
  constexpr const char* kDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  return std::string(".") + kDigits[day] + kDigits[month] + kDigits[year];
}

}  // namespace orvik::memfiles
