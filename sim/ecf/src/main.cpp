// orvik-ecf-sim: a virtual fiscal printer on a pseudo-terminal (or a given device).
//   orvik-ecf-sim [--state FILE] [--ini ORVIK.INI] [--link PATH] [--clock "YYYY-MM-DD HH:MM:SS"]
//                 [--device PATH] [--frozen-clock]
// The slave's path is the first line on standard output. SIGTERM and SIGINT save the state
// and end the program. $ORVIK_ECF_SIM_CONTROL names a control file for fault injection.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "common/clock.h"
#include "devkit/publish.h"
#include "ecf_sim/printer.h"
#include "ecf_sim/server.h"

namespace {

ecf_sim::Server* g_server = nullptr;

void on_signal(int) {
  if (g_server) g_server->stop_flag();
}

int usage(std::ostream& out = std::cerr) {
  out << "uso: orvik-ecf-sim [--state ARQUIVO] [--ini ORVIK.INI] [--link CAMINHO]\n"
         "                    [--clock \"AAAA-MM-DD HH:MM:SS\"] [--device CAMINHO]\n"
         "                    [--frozen-clock]\n";
  return 2;
}

// --help: the usage and what the program is, on standard output (also the manual page).
int help() {
  usage(std::cout);
  std::cout << "\nImpressora fiscal virtual Lumvar numa pseudo-terminal (ou em --device). A\n"
               "primeira linha da saida e a linha a abrir; SIGTERM ou SIGINT grava o estado\n"
               "e encerra. $ORVIK_ECF_SIM_CONTROL nomeia o arquivo de controle de falhas.\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string state_file, ini_file, link_path, clock_text, device;
  bool have_clock = false, frozen = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--state")
      ok = value(state_file);
    else if (arg == "--ini")
      ok = value(ini_file);
    else if (arg == "--link")
      ok = value(link_path);
    else if (arg == "--clock")
      ok = have_clock = value(clock_text);
    else if (arg == "--device")
      ok = value(device);
    else if (arg == "--frozen-clock")
      frozen = true;
    else if (arg == "--help" || arg == "-h")
      return help();
    else
      ok = false;
    if (!ok) return usage();
  }

  ecf_sim::Printer printer;
  if (!state_file.empty() && std::filesystem::exists(state_file)) {
    std::string error;
    if (!printer.load(state_file, &error)) {
      // Never start over a state we cannot read: that would lose the printer's memory.
      std::cerr << "orvik-ecf-sim: estado ilegivel em " << state_file << ": " << error << "\n";
      return 1;
    }
  }
  if (have_clock) {
    common::LocalDateTime t;
    if (!common::clock::parse(clock_text, t)) {
      std::cerr << "orvik-ecf-sim: --clock espera \"AAAA-MM-DD HH:MM:SS\"\n";
      return 2;
    }
    printer.set_clock(ecf_sim::DateTime{{t.year, t.month, t.day}, t.hour, t.minute, t.second});
  }
  // The clock stands still: two runs of one script give the same bytes.
  if (frozen) printer.freeze_clock();

  ecf_sim::Server server(printer);
  std::string error;
  bool opened = device.empty() ? server.open_pty(&error) : server.open_device(device, &error);
  if (!opened) {
    std::cerr << "orvik-ecf-sim: " << error << "\n";
    return 1;
  }
  const std::string& slave = server.slave_path();
  const std::vector<devkit::IniKey> port_keys{{"Portas", "COM1", slave},
                                              {"Sistema", "Porta", "COM1"}};
  if (!devkit::publish_link(slave, link_path, &error) ||
      !devkit::publish_ini(ini_file, port_keys, &error)) {
    std::cerr << "orvik-ecf-sim: " << error << "\n";
    return 1;
  }
  if (!state_file.empty()) server.set_state_file(state_file);
  if (const char* control = std::getenv("ORVIK_ECF_SIM_CONTROL"); control && *control)
    server.set_control_file(control);

  // Handlers first: a host that reads the path and stops us at once must still get the
  // state saved.
  g_server = &server;
  devkit::install_stop_signals(on_signal);

  std::cout << slave << std::endl;

  server.run();

  int rc = 0;
  if (!state_file.empty()) {
    std::lock_guard lock(server.mutex());
    printer.count_running_time();
    if (!printer.save(state_file, &error)) {
      std::cerr << "orvik-ecf-sim: " << error << "\n";
      rc = 1;
    }
  }
  if (!link_path.empty()) {
    std::error_code ec;
    std::filesystem::remove(link_path, ec);
  }
  return rc;
}
