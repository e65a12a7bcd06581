// orvik-relay: the printer's end of the driver's network mode (see README.md).
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>

#include "relay/relay.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) {
  g_stop = true;
}

void Usage(std::FILE* out) {
  std::fprintf(out,
               "uso: orvik-relay --pasta DIR --dispositivo DEV [--velocidade N] [--espera S]\n"
               "                 [--intervalo MS] [--log ARQUIVO]\n"
               "\n"
               "Leva os comandos do modo em rede do driver (ConfigRede=1) à impressora fiscal.\n"
               "Cada COMANDO.TXT completo da pasta DIR é enviado à impressora em DEV e a\n"
               "resposta é gravada em STATUS.TXT (nome temporário e renomeação); COMANDO.TXT\n"
               "é removido. Sem resposta da impressora, nenhum STATUS.TXT é escrito.\n"
               "\n"
               "  --pasta DIR        a pasta Path do driver, compartilhada com o PDV\n"
               "  --dispositivo DEV  a linha da impressora (/dev/ttyUSB0, /dev/ttyS0, ...)\n"
               "  --velocidade N     bits por segundo (115200)\n"
               "  --espera S         segundos de espera pela resposta (60)\n"
               "  --intervalo MS     intervalo de sondagem da pasta em ms (100)\n"
               "  --log ARQUIVO      também grava o registro das trocas no arquivo\n"
               "SIGTERM ou SIGINT encerra o relay entre duas trocas.\n");
}

bool ToInt(const char* text, int low, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < low || v > 10000000) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  relay::Options options;
  std::string log_file;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "orvik-relay: falta o valor de %s\n", arg.c_str());
      Usage(stderr);
      return 2;
    }
    const char* value = argv[++i];
    int n = 0;
    if (arg == "--pasta") {
      options.folder = value;
    } else if (arg == "--dispositivo") {
      options.device = value;
    } else if (arg == "--velocidade" && ToInt(value, 1, n)) {
      options.speed = n;
    } else if (arg == "--espera" && ToInt(value, 1, n)) {
      options.reply_limit = std::chrono::seconds(n);
    } else if (arg == "--intervalo" && ToInt(value, 1, n)) {
      options.poll_interval = std::chrono::milliseconds(n);
    } else if (arg == "--log") {
      log_file = value;
    } else {
      std::fprintf(stderr, "orvik-relay: opção desconhecida ou valor inválido: %s %s\n",
                   arg.c_str(), value);
      Usage(stderr);
      return 2;
    }
  }
  if (options.folder.empty() || options.device.empty()) {
    std::fprintf(stderr, "orvik-relay: --pasta e --dispositivo são obrigatórios\n");
    Usage(stderr);
    return 2;
  }

  std::ofstream log_out;
  if (!log_file.empty()) {
    log_out.open(log_file, std::ios::app | std::ios::binary);
    if (!log_out) {
      std::fprintf(stderr, "orvik-relay: não foi possível abrir o registro %s\n", log_file.c_str());
      return 1;
    }
  }
  auto log = [&log_out](const std::string& line) {
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    const std::string text = std::string(stamp) + " " + line + "\n";
    std::cerr << text << std::flush;
    if (log_out) log_out << text << std::flush;
  };

  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  relay::Relay r(options, log);
  std::string error;
  if (!r.Start(&error)) {
    std::fprintf(stderr, "orvik-relay: %s\n", error.c_str());
    return 1;
  }
  r.Run(g_stop);
  return 0;
}
