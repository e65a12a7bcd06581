#include "port_search.h"

#include <algorithm>

#include "common/ini.h"
#include "common/orvik_ini.h"
#include "common/serial_line.h"

namespace orvik_cli {
namespace {

using std::chrono::milliseconds;

constexpr char kStx = 0x02, kEtx = 0x03, kEnq = 0x05, kEsc = 0x1B, kDle = 0x10, kEot = 0x04;

struct Probe {
  const char* kind;
  std::vector<int> speeds;
  char parity;
  bool cts_flow;
  std::string request;
  milliseconds wait;
  bool (*answered)(const std::string&);
};

bool ScaleAnswer(const std::string& b) {
  const size_t stx = b.find(kStx), etx = b.find(kEtx, stx == std::string::npos ? 0 : stx);
  return stx != std::string::npos && etx != std::string::npos && etx - stx == 6;
}

// DLE EOT 1 is answered with one status byte.
bool ReceiptPrinterAnswer(const std::string& b) {
  return b.size() == 1;
}

bool QvxAnswer(const std::string& b) {
  const size_t stx = b.find(kStx);
  return stx != std::string::npos && b.size() >= stx + 6 &&
         (b[stx + 1] == 'S' || b[stx + 1] == '-') && b.find(kEtx, stx) != std::string::npos;
}

bool LumvarAnswer(const std::string& b) {
  const size_t open = b.find('{');
  return open != std::string::npos && b.back() == '}' && b.find(';', open) != std::string::npos;
}

// A read that changes nothing, framed as the driver frames it (its length field counts
// the packet number up to the last ';').
std::string LumvarProbe() {
  const std::string body = "1;LeIndicador;NomeIndicador=\"SemPapel\";";
  return "{" + body + std::to_string(body.size()) + "}";
}

const std::vector<Probe>& Probes() {
  static const std::vector<Probe> probes = {
      {"scale",
       {9600, 4800, 2400, 1200},
       'N',
       false,
       std::string(1, kEnq),
       milliseconds(300),
       ScaleAnswer},
      {"non-fiscal printer",
       {9600, 19200, 38400, 115200},
       'N',
       false,
       std::string{kDle, kEot, 1},
       milliseconds(300),
       ReceiptPrinterAnswer},
      // An empty command text: the printer refuses it, which is answer enough.
      {"QVX fiscal printer",
       {9600},
       'N',
       true,
       std::string{kStx, kEsc, '$', kEtx},
       milliseconds(300),
       QvxAnswer},
      {"Lumvar fiscal printer",
       {115200, 57600, 38400, 19200, 9600},
       'E',
       true,
       LumvarProbe(),
       milliseconds(300),
       LumvarAnswer},
  };
  return probes;
}

}  // namespace

Found SearchDevice(const std::string& device) {
  Found f{device, "", 0, ""};
  common::SerialLine line;
  if (!line.open(device)) {
    f.problem = common::open_problem_advice(line.problem(), line.error());
    return f;
  }
  for (const Probe& p : Probes()) {
    for (int speed : p.speeds) {
      if (!line.configure({speed, p.parity, p.cts_flow})) continue;
      line.drain();
      if (!line.write_all(p.request, milliseconds(300))) continue;
      const std::string got = line.read_until(p.answered, p.wait);
      if (p.answered(got)) {
        f.kind = p.kind;
        f.speed = speed;
        return f;
      }
    }
  }
  return f;
}

std::vector<std::string> DevicesToSearch() {
  std::vector<std::string> out = common::serial_devices();
  common::IniFile ini(common::orvik_ini_path());
  for (const std::string& key : ini.keys("Portas")) {
    if (key.size() < 4 || (key.compare(0, 3, "COM") != 0 && key.compare(0, 3, "com") != 0))
      continue;
    const std::string device = ini.read("Portas", key, "");
    if (!device.empty() && std::find(out.begin(), out.end(), device) == out.end())
      out.push_back(device);
  }
  return out;
}

void PrintFound(const Found& f, std::FILE* out) {
  if (!f.problem.empty()) {
    std::fprintf(out, "%s: %s\n", f.device.c_str(), f.problem.c_str());
    return;
  }
  if (f.kind.empty()) {
    std::fprintf(out, "%s: no answer\n", f.device.c_str());
    return;
  }
  std::fprintf(out, "%s: %s at %d bit/s\n", f.device.c_str(), f.kind.c_str(), f.speed);
  const char* d = f.device.c_str();
  if (f.kind == "scale") {
    std::fprintf(out, "  Orvik_LeBalanca port text: %s (line at %d bit/s)\n", d, f.speed);
  } else if (f.kind == "non-fiscal printer") {
    std::fprintf(out, "  ORVIK.INI [Sistema]: ModeloImp=ORVIK_VUNO_SERIAL Porta=%s BAUD=%d\n", d,
                 f.speed);
  } else if (f.kind == "QVX fiscal printer") {
    std::fprintf(
        out, "  ORVIK.INI [Sistema]: ModeloImp=ORVIK_820 (ORVIK_610 for the 610) Porta=%s\n", d);
  } else {
    std::fprintf(out, "  ORVIK.INI [Sistema]: ModeloImp=ORVIK_KAP Porta=%s BAUD=%d\n", d, f.speed);
  }
}

}  // namespace orvik_cli
