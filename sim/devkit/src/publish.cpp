#include "devkit/publish.h"

#include <csignal>
#include <filesystem>

#include "common/ini.h"

namespace devkit {

bool publish_link(const std::string& slave, const std::string& link, std::string* error) {
  if (link.empty()) return true;
  std::error_code ec;
  std::filesystem::remove(link, ec);
  std::filesystem::create_symlink(slave, link, ec);
  if (ec) {
    if (error) *error = "--link " + link + ": " + ec.message();
    return false;
  }
  return true;
}

bool publish_ini(const std::string& ini_file, const std::vector<IniKey>& keys,
                 std::string* error) {
  if (ini_file.empty()) return true;
  common::IniFile ini(ini_file);
  for (const auto& k : keys) {
    if (!ini.write(k.section, k.key, k.value)) {
      if (error) *error = "nao foi possivel gravar " + ini_file;
      return false;
    }
  }
  return true;
}

void install_stop_signals(void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace devkit
