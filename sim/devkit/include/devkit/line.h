#pragma once
// The device's end of a serial line: the master of a pseudo-terminal pair it creates (the
// host opens the slave) or an existing device it opens itself.
#include <termios.h>

#include <optional>
#include <string>
#include <string_view>

namespace devkit {

// The settings the host put on the line, as a device sees them.
struct LineSettings {
  int baud = 0;           // 0 when the speed is not one of the usual rates
  int data_bits = 8;      // 5..8
  char parity = 'N';      // 'N', 'E' or 'O'
  int stop_bits = 1;      // 1 or 2
  bool cts_flow = false;  // hardware (RTS/CTS) flow control

  bool operator==(const LineSettings&) const = default;
};

// Reads the settings from a terminal descriptor; nothing when it is not a terminal.
std::optional<LineSettings> read_line_settings(int fd);
// "9600 8N1 CTS" style text, for messages.
std::string describe(const LineSettings& s);

class Line {
 public:
  Line() = default;
  ~Line();
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  // Creates a pseudo-terminal pair in raw mode; the host opens slave_path().
  bool open_pty(std::string* error);
  // Opens an existing device (a serial port or a pty slave made elsewhere), in raw mode.
  bool open_device(const std::string& path, std::string* error);
  bool is_open() const { return fd_ >= 0; }
  const std::string& slave_path() const { return slave_path_; }
  // The descriptor the device reads and writes.
  int fd() const { return fd_; }

  // The settings the host has put on the line right now. Known only on a pair we created
  // (read through our own slave descriptor, which shares the host's terminal settings);
  // nothing on a device opened by path, where the settings would be our own.
  std::optional<LineSettings> host_settings() const;

  // Writes every byte (a closed or failing line returns false).
  bool write_all(std::string_view bytes) const;
  // Writes bytes in `parts` pieces with `gap_ms` between them, as a slow device would.
  bool write_in_pieces(std::string_view bytes, int parts, int gap_ms) const;

 private:
  int fd_ = -1;         // the side we read and write
  int keep_open_ = -1;  // our own slave descriptor, so the line never hangs up
  std::string slave_path_;
};

void sleep_ms(int ms);

}  // namespace devkit
