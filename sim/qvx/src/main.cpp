// orvik-qvx-sim: a virtual QVX fiscal printer (610 or 820) on a pseudo-terminal.
//   orvik-qvx-sim [--model 610|820] [--state FILE] [--ini ORVIK.INI] [--link PATH]
//                 [--clock "YYYY-MM-DD HH:MM:SS"] [--device PATH] [--tape FILE]
//                 [--frozen-clock]
// The slave's path is the first line on standard output. SIGTERM and SIGINT save the state
// and end the program. $ORVIK_QVX_SIM_CONTROL names a control file for fault injection.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "common/clock.h"
#include "devkit/publish.h"
#include "qvx_sim/printer.h"
#include "qvx_sim/server.h"

namespace {

qvx_sim::Server* g_server = nullptr;

void on_signal(int) {
  if (g_server) g_server->stop_flag();
}

int usage(std::ostream& out = std::cerr) {
  out << "uso: orvik-qvx-sim [--model 610|820] [--state ARQUIVO] [--ini ORVIK.INI]\n"
         "                    [--link CAMINHO] [--clock \"AAAA-MM-DD HH:MM:SS\"]\n"
         "                    [--device CAMINHO] [--tape ARQUIVO] [--frozen-clock]\n";
  return 2;
}

// --help: the usage and what the program is, on standard output (also the manual page).
int help() {
  usage(std::cout);
  std::cout << "\nImpressora fiscal virtual QVX (modelos 610 e 820) numa pseudo-terminal (ou\n"
               "em --device). A primeira linha da saida e a linha a abrir; SIGTERM ou SIGINT\n"
               "grava o estado e encerra. $ORVIK_QVX_SIM_CONTROL nomeia o arquivo de controle\n"
               "de falhas.\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string model_text, state_file, ini_file, link_path, clock_text, device, tape_file;
  bool frozen = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--model")
      ok = value(model_text) && (model_text == "610" || model_text == "820");
    else if (arg == "--state")
      ok = value(state_file);
    else if (arg == "--ini")
      ok = value(ini_file);
    else if (arg == "--link")
      ok = value(link_path);
    else if (arg == "--clock")
      ok = value(clock_text);
    else if (arg == "--device")
      ok = value(device);
    else if (arg == "--tape")
      ok = value(tape_file);
    else if (arg == "--frozen-clock")
      frozen = true;
    else if (arg == "--help" || arg == "-h")
      return help();
    else
      ok = false;
    if (!ok) return usage();
  }

  qvx_sim::Printer printer(model_text == "610" ? qvx_sim::Model::k610 : qvx_sim::Model::k820);
  if (!state_file.empty() && std::filesystem::exists(state_file)) {
    std::string error;
    if (!printer.load(state_file, &error)) {
      // Never start over a state we cannot read: that would lose the printer's memory.
      std::cerr << "orvik-qvx-sim: estado ilegivel em " << state_file << ": " << error << "\n";
      return 1;
    }
    const std::string stored = printer.state().model == qvx_sim::Model::k610 ? "610" : "820";
    if (!model_text.empty() && model_text != stored) {
      std::cerr << "orvik-qvx-sim: o estado e de um " << stored << ", nao de um " << model_text
                << "\n";
      return 1;
    }
  }
  const bool is610 = printer.state().model == qvx_sim::Model::k610;
  if (!clock_text.empty()) {
    common::LocalDateTime t;
    if (!common::clock::parse(clock_text, t)) {
      std::cerr << "orvik-qvx-sim: --clock espera \"AAAA-MM-DD HH:MM:SS\"\n";
      return 2;
    }
    printer.set_clock(t);
  }
  // The clock stands still: two runs of one script give the same bytes.
  if (frozen) common::clock::set_fixed(common::clock::now());

  qvx_sim::Server server(printer);
  std::string error;
  const bool opened = device.empty() ? server.open_pty(&error) : server.open_device(device, &error);
  if (!opened) {
    std::cerr << "orvik-qvx-sim: " << error << "\n";
    return 1;
  }
  const std::string& slave = server.slave_path();
  const std::vector<devkit::IniKey> port_keys{
      {"Portas", "COM1", slave},
      {"Sistema", "Porta", "COM1"},
      {"Sistema", "ModeloImp", is610 ? "ORVIK_610" : "ORVIK_820"}};
  if (!devkit::publish_link(slave, link_path, &error) ||
      !devkit::publish_ini(ini_file, port_keys, &error)) {
    std::cerr << "orvik-qvx-sim: " << error << "\n";
    return 1;
  }
  if (!state_file.empty()) server.set_state_file(state_file);
  if (!tape_file.empty()) server.set_tape_file(tape_file);
  if (const char* control = std::getenv("ORVIK_QVX_SIM_CONTROL"); control && *control)
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
    if (!printer.save(state_file, &error)) {
      std::cerr << "orvik-qvx-sim: " << error << "\n";
      rc = 1;
    }
  }
  if (!link_path.empty()) {
    std::error_code ec;
    std::filesystem::remove(link_path, ec);
  }
  return rc;
}
