// The port layer's transport over the Windows communications API: serial ports opened
// as \\.\COMn, exclusive, with the queue sizes, line settings and time-outs the engines
// were written for.
#include <windows.h>

#include <deque>
#include <mutex>

#include "orvik/core/port.h"

namespace orvik::core {
namespace {

constexpr DWORD kInputQueue = 4092;
constexpr DWORD kOutputQueue = 256;
constexpr DWORD kReadSliceMs = 5;
constexpr DWORD kWriteTimeoutMs = 1000;

// The time-outs a handle holds now, so that a read or write with the usual limits sets
// nothing.
struct OpenLine {
  HANDLE handle = INVALID_HANDLE_VALUE;
  COMMTIMEOUTS timeouts{};
  bool timeouts_set = false;
};

// The system's text for an error code, with its number (ERROR_SHARING_VIOLATION is 32,
// ERROR_FILE_NOT_FOUND 2).
std::string SystemText(DWORD code) {
  char text[256] = {};
  const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, text, sizeof text, nullptr);
  std::string s(text, n);
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == '.'))
    s.pop_back();
  return (s.empty() ? std::string("erro") : s) + " (" + std::to_string(code) + ")";
}

class Win32Transport final : public Transport {
 public:
  int Open(const std::string& device) override {
    if (device.empty()) return -1;
    // No sharing and an existing device only: a port another program holds fails at once
    // (a sharing violation), as does a port that does not exist.
    const HANDLE h = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      open_failure_ = SystemText(::GetLastError());
      return -1;
    }
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (lines_[i].handle == INVALID_HANDLE_VALUE) {
        lines_[i] = OpenLine{h, {}, false};
        return static_cast<int>(i);
      }
    }
    lines_.push_back(OpenLine{h, {}, false});
    return static_cast<int>(lines_.size() - 1);
  }

  bool Configure(int id, const LineSettings& settings) override {
    OpenLine* line = Find(id);
    if (!line) return false;
    const HANDLE h = line->handle;
    bool ok = ::SetupComm(h, kInputQueue, kOutputQueue) != 0;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ok = ::GetCommState(h, &dcb) != 0 && ok;
    const std::string mode = "baud=" + settings.speed +
                             (settings.parity == Parity::kEven ? " parity=e" : " parity=n") +
                             " data=" + std::to_string(settings.data_bits) +
                             " stop=" + std::to_string(settings.stop_bits);
    ok = ::BuildCommDCBA(mode.c_str(), &dcb) != 0 && ok;
    dcb.DCBlength = sizeof dcb;
    if (settings.cts_flow) {
      dcb.fBinary = TRUE;
      dcb.fOutxCtsFlow = TRUE;
      dcb.fDtrControl = DTR_CONTROL_ENABLE;
      dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
      dcb.fParity = FALSE;
      dcb.fOutxDsrFlow = FALSE;
      dcb.fDsrSensitivity = FALSE;
      dcb.fOutX = FALSE;
      dcb.fInX = FALSE;
      dcb.fErrorChar = FALSE;
      dcb.fNull = FALSE;
      dcb.fAbortOnError = FALSE;
    } else {
      dcb.fOutxCtsFlow = FALSE;
      if (dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) dcb.fRtsControl = RTS_CONTROL_ENABLE;
    }
    ok = ::SetCommState(h, &dcb) != 0 && ok;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = kReadSliceMs;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    ok = SetTimeouts(*line, timeouts) && ok;
    return ok;
  }

  long Write(int id, std::string_view bytes) override {
    return WriteWithin(id, bytes, static_cast<int>(kWriteTimeoutMs));
  }

  long WriteWithin(int id, std::string_view bytes, int timeout_ms) override {
    OpenLine* line = Find(id);
    if (!line || bytes.empty()) return 0;
    COMMTIMEOUTS timeouts = line->timeouts;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(timeout_ms < 1 ? 1 : timeout_ms);
    SetTimeouts(*line, timeouts);
    DWORD written = 0;
    // A failed or short write is reported by the count; the engine notices the missing reply.
    ::WriteFile(line->handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return static_cast<long>(written);
  }

  std::string ReadChunk(int id, size_t max, int timeout_ms) override {
    OpenLine* line = Find(id);
    if (!line) return {};
    COMMTIMEOUTS timeouts = line->timeouts;
    if (timeout_ms == static_cast<int>(kReadSliceMs)) {
      // The configured read: what arrives within the slice.
      timeouts.ReadIntervalTimeout = 0;
      timeouts.ReadTotalTimeoutMultiplier = 0;
      timeouts.ReadTotalTimeoutConstant = kReadSliceMs;
    } else if (timeout_ms <= 0) {
      // Only what is already there.
      timeouts.ReadIntervalTimeout = MAXDWORD;
      timeouts.ReadTotalTimeoutMultiplier = 0;
      timeouts.ReadTotalTimeoutConstant = 0;
    } else {
      // A longer wait returns as soon as the first bytes are there.
      timeouts.ReadIntervalTimeout = MAXDWORD;
      timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
      timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(timeout_ms);
    }
    SetTimeouts(*line, timeouts);
    std::string out(max, '\0');
    DWORD n = 0;
    if (!::ReadFile(line->handle, out.data(), static_cast<DWORD>(max), &n, nullptr)) {
      // A broken line: wait out the slice rather than spin.
      ::Sleep(static_cast<DWORD>(timeout_ms > 0 ? timeout_ms : 0));
      return {};
    }
    out.resize(n);
    return out;
  }

  std::string OpenFailure() const override { return open_failure_; }

  bool Cts(int id) override {
    OpenLine* line = Find(id);
    DWORD status = 0;
    if (!line) return false;
    // A port without modem lines (a virtual port; a pseudo-terminal under Wine) says the
    // call is not supported: it counts as CTS asserted, as on Linux. Any other failure is
    // CTS off.
    if (!::GetCommModemStatus(line->handle, &status))
      return ::GetLastError() == ERROR_NOT_SUPPORTED;
    return (status & MS_CTS_ON) != 0;
  }

  void Close(int id) override {
    std::lock_guard lock(mutex_);
    if (id < 0 || static_cast<size_t>(id) >= lines_.size()) return;
    if (lines_[id].handle != INVALID_HANDLE_VALUE) ::CloseHandle(lines_[id].handle);
    lines_[id] = OpenLine{};
  }

 private:
  OpenLine* Find(int id) {
    std::lock_guard lock(mutex_);
    if (id < 0 || static_cast<size_t>(id) >= lines_.size()) return nullptr;
    OpenLine& line = lines_[id];
    return line.handle == INVALID_HANDLE_VALUE ? nullptr : &line;
  }

  static bool SetTimeouts(OpenLine& line, const COMMTIMEOUTS& wanted) {
    const COMMTIMEOUTS& now = line.timeouts;
    if (line.timeouts_set && now.ReadIntervalTimeout == wanted.ReadIntervalTimeout &&
        now.ReadTotalTimeoutMultiplier == wanted.ReadTotalTimeoutMultiplier &&
        now.ReadTotalTimeoutConstant == wanted.ReadTotalTimeoutConstant &&
        now.WriteTotalTimeoutMultiplier == wanted.WriteTotalTimeoutMultiplier &&
        now.WriteTotalTimeoutConstant == wanted.WriteTotalTimeoutConstant)
      return true;
    COMMTIMEOUTS copy = wanted;
    if (!::SetCommTimeouts(line.handle, &copy)) return false;
    line.timeouts = wanted;
    line.timeouts_set = true;
    return true;
  }

  std::string open_failure_;
  std::mutex mutex_;
  // Slots of open handles; the index is the handle the port layer keeps. A slot is
  // reused once closed; a deque that only grows keeps every found line in place.
  std::deque<OpenLine> lines_;
};

}  // namespace

std::unique_ptr<Transport> MakePlatformTransport() {
  return std::make_unique<Win32Transport>();
}

}  // namespace orvik::core
