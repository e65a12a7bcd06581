#pragma once
// How a virtual device tells its host where it is: a symbolic link to the slave terminal
// (--link) and the port keys of an ORVIK.INI (--ini), then the slave's path on stdout.
#include <string>
#include <vector>

namespace devkit {

struct IniKey {
  std::string section, key, value;
};

// Replaces `link` (when not empty) with a symbolic link to `slave`.
bool publish_link(const std::string& slave, const std::string& link, std::string* error);
// Writes every key into `ini_file` (when not empty); stops at the first that fails.
bool publish_ini(const std::string& ini_file, const std::vector<IniKey>& keys,
                 std::string* error);
// SIGTERM and SIGINT call `handler`; SIGPIPE is ignored (a host that goes away must not kill
// the device before it saves its state). Install before publishing the path: a host may stop
// the device as soon as it reads it.
void install_stop_signals(void (*handler)(int));

}  // namespace devkit
