// orvik-vuno-sim: the virtual non-fiscal receipt printer.
//   orvik-vuno-sim --serial [--speed N] [--device PATH] [--ini ORVIK.INI] [--journal FILE]
//   orvik-vuno-sim --parallel --socket PATH [--busy-us N] [--ini ORVIK.INI] [--journal FILE]
// The first line of standard output is the line to open (serial) or the socket (parallel).
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>

#include "common/ini.h"
#include "vuno_sim/device.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
vuno_sim::SerialServer* g_serial = nullptr;
vuno_sim::ParallelServer* g_parallel = nullptr;

void on_signal(int) {
  g_stop = 1;
  if (g_serial) g_serial->request_stop();
  if (g_parallel) g_parallel->request_stop();
}

int usage(std::ostream& out = std::cerr) {
  out << "uso: orvik-vuno-sim --serial [--speed N] [--device CAMINHO] [--ini ORVIK.INI]\n"
         "                     [--journal ARQUIVO]\n"
         "     orvik-vuno-sim --parallel --socket CAMINHO [--busy-us N] [--ini ORVIK.INI]\n"
         "                     [--journal ARQUIVO]\n";
  return 2;
}

// --help: the usage and what the program is, on standard output (also the manual page).
int help() {
  usage(std::cout);
  std::cout << "\nImpressora nao fiscal virtual: serial numa pseudo-terminal (ou em --device),\n"
               "ou paralela atras do socket Unix que a biblioteca substituta libinpout32.so usa\n"
               "(ORVIK_INPOUT32_SOCKET). A primeira linha da saida e a linha a abrir (serial)\n"
               "ou o socket (paralela); SIGTERM ou SIGINT encerra.\n";
  return 0;
}

bool number(const std::string& text, int& out) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  out = std::stoi(text);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  enum { kNone, kSerial, kParallel } mode = kNone;
  std::string device_path, ini_file, journal, socket_path, speed_text = "9600", busy_text = "0";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--help" || arg == "-h") return help();
    if (arg == "--serial")
      mode = kSerial;
    else if (arg == "--parallel")
      mode = kParallel;
    else if (arg == "--speed")
      ok = value(speed_text);
    else if (arg == "--device")
      ok = value(device_path);
    else if (arg == "--ini")
      ok = value(ini_file);
    else if (arg == "--journal")
      ok = value(journal);
    else if (arg == "--socket")
      ok = value(socket_path);
    else if (arg == "--busy-us")
      ok = value(busy_text);
    else
      ok = false;
    if (!ok) return usage();
  }
  int speed = 0, busy_us = 0;
  if (mode == kNone || !number(speed_text, speed) || !number(busy_text, busy_us) ||
      (mode == kParallel && socket_path.empty()))
    return usage();

  vuno_sim::Device device;
  if (const char* control = std::getenv("ORVIK_VUNO_SIM_CONTROL"); control && *control)
    device.set_control_file(control);
  if (!journal.empty()) device.set_journal_file(journal);
  device.busy_us = busy_us;

  std::signal(SIGTERM, on_signal);
  std::signal(SIGINT, on_signal);

  std::string error;
  if (mode == kSerial) {
    vuno_sim::SerialServer server(device);
    server.set_expected(devkit::LineSettings{speed, 8, 'N', 1, false});
    const bool opened =
        device_path.empty() ? server.open_pty(&error) : server.open_device(device_path, &error);
    if (!opened) {
      std::cerr << "orvik-vuno-sim: " << error << "\n";
      return 1;
    }
    if (!ini_file.empty()) {
      common::IniFile ini(ini_file);
      if (!ini.write("Portas", "COM1", server.slave_path()) ||
          !ini.write("Sistema", "Porta", "COM1")) {
        std::cerr << "orvik-vuno-sim: " << ini_file << ": cannot write\n";
        return 1;
      }
    }
    std::cout << server.slave_path() << std::endl;
    g_serial = &server;
    if (!g_stop) server.run();
    g_serial = nullptr;
  } else {
    vuno_sim::ParallelServer server(device);
    if (!server.listen(socket_path, &error)) {
      std::cerr << "orvik-vuno-sim: " << error << "\n";
      return 1;
    }
    if (!ini_file.empty()) {
      common::IniFile ini(ini_file);
      if (!ini.write("Sistema", "Porta", "LPT1")) {
        std::cerr << "orvik-vuno-sim: " << ini_file << ": cannot write\n";
        return 1;
      }
    }
    std::cout << socket_path << std::endl;
    g_parallel = &server;
    if (!g_stop) server.run();
    g_parallel = nullptr;
  }
  device.flush_journal();
  return 0;
}
