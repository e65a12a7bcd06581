#include "orvik/core/port.h"

#include <chrono>
#include <thread>

#include "common/files.h"
#include "common/ports.h"
#include "orvik/core/config.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"

namespace orvik::core {
namespace {

constexpr const char* kBanner = "---------------[1.0.0.8]------------";
constexpr size_t kChunkBytes = 1024;
constexpr int kReadSliceMs = 5;

std::unique_ptr<Transport>& TransportSlot() {
  static std::unique_ptr<Transport> slot = MakePlatformTransport();
  return slot;
}

PortSlot& Slot(int index) {
  return index == 2 ? State().port2 : State().port1;
}

bool IsAcceptedSpeed(const std::string& speed) {
  return speed == "9600" || speed == "19200" || speed == "38400" || speed == "57600" ||
         speed == "115200";
}

}  // namespace

Transport& CurrentTransport() {
  return *TransportSlot();
}

void SetTransport(std::unique_ptr<Transport> transport) {
  TransportSlot() = transport ? std::move(transport) : MakePlatformTransport();
}

std::string SerialDeviceName(int number) {
  return common::serial_device(Config(), number);
}

std::string ParallelDeviceName(int number) {
  return common::parallel_device(Config(), number);
}

void ReadPortSettings() {
  DriverState& s = State();
  common::IniFile ini = Config();
  if (s.model_family == 4) {
    const std::string porta = ini.read("Sistema", "Porta", "LPT1");
    int n = 1;
    if (porta.size() != 3 && porta.size() != 5 && porta.rfind("LPT", 0) == 0 && porta.size() > 3 &&
        porta[3] >= '0' && porta[3] <= '9')
      n = porta[3] - '0';
    s.port_number = n;
    s.port_name = "LPT" + std::to_string(n);
    ini.write("Sistema", "Porta", s.port_name);
    s.port1.device = ParallelDeviceName(n);
    int base = 0x378;
    const std::string address = ini.read("Sistema", "Endereco", "378");
    bool hex = !address.empty() && address.size() <= 7;
    for (char c : address)
      hex = hex && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
    if (hex) base = static_cast<int>(std::stol(address, nullptr, 16));
    s.lpt_base = base;
    s.lpt_base1 = base + 1;
    s.lpt_base2 = base + 2;
  } else {
    const std::string porta = ini.read("Sistema", "Porta", "COM1");
    if (common::is_device_path(porta)) {
      s.port_number = 1;
      s.port_name = porta;
      s.port1.device = porta;
    } else {
      const int n = PortNumber(porta);
      s.port_number = n;
      s.port_name = "COM" + std::to_string(n);
      s.port1.device = SerialDeviceName(n);
    }
    ini.write("Sistema", "Porta", s.port_name);
    if (s.model_family == 5) {
      s.port1.speed = ini.read("Sistema", "BAUD", "9600");
    } else {
      const std::string baud = ini.read("Sistema", "BAUD", "115200");
      s.port1.speed = IsAcceptedSpeed(baud) ? baud : "115200";
    }
  }
  const std::string path = ini.read("Sistema", "Path", common::default_path_folder());
  s.path_directory = common::with_trailing_slash(path);
  ini.write("Sistema", "Path", path);
}

bool OpenPort(int index) {
  PortSlot& port = Slot(index);
  if (port.handle != -1) return true;
  port.handle = CurrentTransport().Open(port.device);
  Log(kBanner);
  if (port.handle == -1) {
    Log("<<Falha na Abertura da Porta (" + port.device + ") a " + port.speed + ">>");
    // The reason on a line of its own, so the line above stays as readers expect it.
    const std::string why = CurrentTransport().OpenFailure();
    if (!why.empty()) Log("<<Motivo: " + why + ">>");
    return false;
  }
  Log("<<Porta (" + port.device + ")(" + port.speed + ") Aberta com sucesso>>");
  return true;
}

LineSettings SettingsFor(int index) {
  const DriverState& s = State();
  LineSettings ls;
  if (index == 2) {
    ls.speed = s.port2.speed;
    return ls;
  }
  switch (s.model_family) {
    case 0:
      ls.speed = s.port1.speed;
      ls.parity = Parity::kEven;
      ls.cts_flow = true;
      break;
    case 1:
    case 2:
      ls.speed = "9600";
      ls.cts_flow = true;
      break;
    default:
      ls.speed = s.port1.speed;
      break;
  }
  return ls;
}

bool ConfigurePort(int index) {
  const PortSlot& port = Slot(index);
  if (port.handle == -1) return false;
  return CurrentTransport().Configure(port.handle, SettingsFor(index));
}

void WritePort(int index, std::string_view bytes) {
  const PortSlot& port = Slot(index);
  if (port.handle != -1) CurrentTransport().Write(port.handle, bytes);
}

void WritePortBytes(int index, const char* bytes, int n) {
  if (!bytes || n <= 0) return;
  WritePort(index, std::string_view(bytes, static_cast<size_t>(n)));
}

long WritePortWithin(int index, std::string_view bytes, int timeout_ms) {
  const PortSlot& port = Slot(index);
  if (port.handle == -1) return 0;
  return CurrentTransport().WriteWithin(port.handle, bytes, timeout_ms);
}

std::string ReadPortChunk(int index) {
  return ReadPortChunk(index, kReadSliceMs);
}

std::string ReadPortChunk(int index, int wait_ms) {
  const PortSlot& port = Slot(index);
  if (port.handle == -1) {
    // Nothing can arrive on a closed port; keep the caller's loop paced all the same.
    std::this_thread::sleep_for(std::chrono::milliseconds(wait_ms));
    return {};
  }
  return CurrentTransport().ReadChunk(port.handle, kChunkBytes, wait_ms);
}

void ClosePort(int index) {
  PortSlot& port = Slot(index);
  if (port.handle != -1) CurrentTransport().Close(port.handle);
  port.handle = -1;
}

size_t DiscardPortInput(int index) {
  const PortSlot& port = Slot(index);
  if (port.handle == -1) return 0;
  size_t dropped = 0;
  // Bounded, so a line that never stops talking cannot hold the caller.
  for (int i = 0; i < 64; ++i) {
    const std::string bytes = CurrentTransport().ReadChunk(port.handle, kChunkBytes, 0);
    if (bytes.empty()) break;
    dropped += bytes.size();
  }
  return dropped;
}

bool IsCtsOn(int index) {
  const PortSlot& port = Slot(index);
  return port.handle != -1 && CurrentTransport().Cts(port.handle);
}

bool WaitForCts() {
  if (!State().check_cts) return true;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const bool on = IsCtsOn(1);
    if (on || std::chrono::steady_clock::now() - start >= std::chrono::seconds(2)) return on;
    // A short pause keeps the wait from monopolising a core; CTS is still seen within 1 ms.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::string ScaleDeviceName(std::string_view port_text) {
  if (common::is_device_path(port_text)) return std::string(port_text);
  return SerialDeviceName(PortNumber(port_text));
}

}  // namespace orvik::core
