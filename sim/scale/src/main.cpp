// orvik-scale-sim: the virtual checkout scale on a pseudo-terminal (or a device).
//   orvik-scale-sim [--speed N] [--weight TEXT | --unstable | --overload | --negative]
//                   [--device PATH] [--ini ORVIK.INI]
// The first line of standard output is the line to open.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

#include "common/ini.h"
#include "scale_sim/scale.h"

namespace {

scale_sim::Scale* g_scale = nullptr;
volatile std::sig_atomic_t g_stop = 0;

void on_signal(int) {
  g_stop = 1;
  if (g_scale) g_scale->request_stop();
}

int usage(std::ostream& out = std::cerr) {
  out << "uso: orvik-scale-sim [--speed N] [--weight TEXTO | --unstable | --overload |\n"
         "                      --negative] [--device CAMINHO] [--ini ORVIK.INI]\n";
  return 2;
}

// --help: the usage and what the program is, on standard output (also the manual page).
int help() {
  usage(std::cout);
  std::cout << "\nBalanca de checkout virtual numa pseudo-terminal (ou em --device). A primeira\n"
               "linha da saida e a linha a abrir; --ini grava [Portas] COM2. SIGTERM ou SIGINT\n"
               "encerra.\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  scale_sim::Scale scale;
  std::string device, ini_file;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--help" || arg == "-h") {
      return help();
    } else if (arg == "--speed") {
      if (!value(v) || v.empty() || v.size() > 7 || v.find_first_not_of("0123456789") != v.npos)
        return usage();
      scale.set_speed(std::stoi(v));
    } else if (arg == "--weight") {
      if (!value(v)) return usage();
      scale.set_weight(v);
    } else if (arg == "--unstable") {
      scale.set_mode(scale_sim::Mode::kUnstable);
    } else if (arg == "--overload") {
      scale.set_mode(scale_sim::Mode::kOverload);
    } else if (arg == "--negative") {
      scale.set_mode(scale_sim::Mode::kNegative);
    } else if (arg == "--device") {
      if (!value(device)) return usage();
    } else if (arg == "--ini") {
      if (!value(ini_file)) return usage();
    } else {
      return usage();
    }
  }
  if (const char* control = std::getenv("ORVIK_SCALE_SIM_CONTROL"); control && *control)
    scale.set_control_file(control);
  std::string error;
  const bool opened = device.empty() ? scale.open_pty(&error) : scale.open_device(device, &error);
  if (!opened) {
    std::cerr << "orvik-scale-sim: " << error << "\n";
    return 1;
  }
  if (!ini_file.empty() && !common::IniFile(ini_file).write("Portas", "COM2", scale.slave_path())) {
    std::cerr << "orvik-scale-sim: " << ini_file << ": cannot write\n";
    return 1;
  }
  std::signal(SIGTERM, on_signal);
  std::signal(SIGINT, on_signal);
  std::cout << scale.slave_path() << std::endl;
  g_scale = &scale;
  if (!g_stop) scale.run();
  g_scale = nullptr;
  return 0;
}
