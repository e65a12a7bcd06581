// The reading library's line: the Windows side, on the communications API.
#include <windows.h>

#include <chrono>

#include "line.h"

namespace leitura {
namespace {

HANDLE AsHandle(long long h) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(h));
}

std::string SystemError(DWORD code) {
  char text[256] = {};
  const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, text, sizeof text, nullptr);
  std::string s(text, n);
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s.empty() ? "erro " + std::to_string(code) : s;
}

}  // namespace

Line::~Line() {
  Close();
}

bool Line::Open(const std::string& device, int baud) {
  const HANDLE h = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error_ = SystemError(::GetLastError());
    return false;
  }
  handle_ = static_cast<long long>(reinterpret_cast<intptr_t>(h));
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  const std::string mode = "baud=" + std::to_string(baud) + " parity=e data=8 stop=1";
  if (!::GetCommState(h, &dcb) || !::BuildCommDCBA(mode.c_str(), &dcb)) {
    error_ = SystemError(::GetLastError());
    Close();
    return false;
  }
  dcb.DCBlength = sizeof dcb;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  // A line without parity (a pseudo-terminal under Wine) may refuse the settings; the
  // bytes still pass.
  ::SetCommState(h, &dcb);
  ::PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
  return true;
}

void Line::Close() {
  if (handle_ == -1) return;
  ::CloseHandle(AsHandle(handle_));
  handle_ = -1;
}

bool Line::Write(std::string_view bytes) {
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = MAXDWORD;
  t.WriteTotalTimeoutConstant = 2000;
  ::SetCommTimeouts(AsHandle(handle_), &t);
  DWORD written = 0;
  return ::WriteFile(AsHandle(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
         written == bytes.size();
}

bool Line::Read(std::string& into, int ms) {
  // Returns as soon as bytes are there, or after ms with none.
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = MAXDWORD;
  t.ReadTotalTimeoutMultiplier = MAXDWORD;
  t.ReadTotalTimeoutConstant = static_cast<DWORD>(ms > 0 ? ms : 1);
  t.WriteTotalTimeoutConstant = 2000;
  if (!::SetCommTimeouts(AsHandle(handle_), &t)) return false;
  char buf[4096];
  DWORD n = 0;
  if (!::ReadFile(AsHandle(handle_), buf, sizeof buf, &n, nullptr)) return false;
  into.append(buf, n);
  return true;
}

}  // namespace leitura
