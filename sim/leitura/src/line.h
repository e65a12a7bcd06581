#pragma once
// The reading library's end of the serial line to the printer, on the platform's own
// calls: 8 data bits, even parity (when the line has parity), one stop bit, no flow
// control, exclusive.
#include <string>
#include <string_view>

namespace leitura {

class Line {
 public:
  Line() = default;
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;
  ~Line();
  // Opens the device exclusively at baud; false with Error() telling why.
  bool Open(const std::string& device, int baud);
  void Close();
  // Writes every byte within about two seconds; false when it cannot.
  bool Write(std::string_view bytes);
  // Appends what arrives within ms (at most one slice of it); false on a broken line.
  bool Read(std::string& into, int ms);
  // Why the last Open failed.
  const std::string& Error() const { return error_; }

 private:
  long long handle_ = -1;
  std::string error_;
};

}  // namespace leitura
