#pragma once
// The port layer: the only code that touches the communication ports. The engines see
// ports 1 (printer) and 2 (scale) through these operations; the device work itself is
// done by a Transport, termios on a real line, a fake in unit tests.
#include <memory>
#include <string>
#include <string_view>

namespace orvik::core {

enum class Parity { kNone, kEven };

struct LineSettings {
  std::string speed;  // decimal bits per second, as configured
  Parity parity = Parity::kNone;
  int data_bits = 8;
  int stop_bits = 1;
  bool cts_flow = false;  // hardware (RTS/CTS) flow control
};

class Transport {
 public:
  virtual ~Transport() = default;
  // Opens an existing device for reading and writing, exclusively; a handle or -1.
  virtual int Open(const std::string& device) = 0;
  // Applies raw mode and the line settings; false when any step failed.
  virtual bool Configure(int handle, const LineSettings& settings) = 0;
  // Writes the bytes, giving up after about one second; the count written.
  virtual long Write(int handle, std::string_view bytes) = 0;
  // Writes the bytes, giving up after timeout_ms; the count written. A transport without
  // its own time limit writes as Write does.
  virtual long WriteWithin(int handle, std::string_view bytes, int timeout_ms) {
    (void)timeout_ms;
    return Write(handle, bytes);
  }
  // What arrives within timeout_ms (at most max bytes); returns as soon as bytes are there.
  virtual std::string ReadChunk(int handle, size_t max, int timeout_ms) = 0;
  // CTS asserted; a device without modem lines counts as asserted.
  virtual bool Cts(int handle) = 0;
  virtual void Close(int handle) = 0;
  // Why the last Open failed, as a log text ("dispositivo inexistente"); empty when the
  // transport cannot tell.
  virtual std::string OpenFailure() const { return {}; }
};

// The transport the port layer uses (the platform's unless replaced).
Transport& CurrentTransport();
// Replaces it; nullptr goes back to the platform's.
void SetTransport(std::unique_ptr<Transport> transport);
// The platform's transport: termios over character devices on Linux, the communications
// API on Windows.
std::unique_ptr<Transport> MakePlatformTransport();
// The termios transport over character devices (Linux).
std::unique_ptr<Transport> MakeTermiosTransport();

// Device of a serial or parallel port number: [Portas] COMn (LPTn) of ORVIK.INI when
// present, otherwise /dev/ttyS(n-1) (/dev/parport(n-1)).
std::string SerialDeviceName(int number);
std::string ParallelDeviceName(int number);

// Reads [Sistema] Porta, Endereco, BAUD and Path into the driver state, writing back
// Porta and Path. A Porta that names a device path (/dev/ttyUSB0) is that device and is
// written back as it is.
void ReadPortSettings();

// Opens port 1 or 2; true at once when it is already open. Logs the outcome.
bool OpenPort(int index);
// Applies the line settings of the port's case; true when every step succeeded.
bool ConfigurePort(int index);
// The settings ConfigurePort applies for the port and the current model family.
LineSettings SettingsFor(int index);
void WritePort(int index, std::string_view bytes);
void WritePortBytes(int index, const char* bytes, int n);
// Writes the bytes, giving up after timeout_ms; the count written (0 on a closed port).
// For callers that must know whether everything went out.
long WritePortWithin(int index, std::string_view bytes, int timeout_ms);
// One read of at most 1024 bytes, waiting at most 5 ms.
std::string ReadPortChunk(int index);
// The same read waiting up to wait_ms: it still returns as soon as bytes are there, so a
// long wait costs no latency, only fewer wake-ups while the line is silent.
std::string ReadPortChunk(int index, int wait_ms);
void ClosePort(int index);
// Reads and drops whatever is already waiting on the port (a late reply of an earlier
// command), without waiting for more; the bytes dropped.
size_t DiscardPortInput(int index);
bool IsCtsOn(int index);
// True when [Sistema] ChecaCTS is off or CTS of port 1 rises within 2 seconds.
bool WaitForCts();
// Device of the scale's port text: the number in characters 4-5 (1 when not a number).
std::string ScaleDeviceName(std::string_view port_text);

}  // namespace orvik::core
