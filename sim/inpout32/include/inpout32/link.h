#pragma once
// The parallel-port link between libinpout32.so and the virtual printer
// (orvik-vuno-sim --parallel) over a Unix stream socket: one request, one reply per
// register access.
//
//   request: 3 bytes  op ('W' write, 'R' read), register (0 data, 1 status, 2 control), value
//   reply:   2 bytes  'K' and the register's value (after a write, the value written),
//                     or 'E' and 0 for a request the printer does not know
#include <cstdint>

namespace inpout32 {

inline constexpr char kLinkEnv[] = "ORVIK_INPOUT32_SOCKET";

enum Register : uint8_t { kData = 0, kStatus = 1, kControl = 2 };

inline constexpr char kWrite = 'W';
inline constexpr char kRead = 'R';
inline constexpr char kOk = 'K';
inline constexpr char kRefused = 'E';

// Status register bits (as read from the port: bit 7 is set when the printer is NOT busy).
inline constexpr uint8_t kStatusError = 0x08;     // set: no error
inline constexpr uint8_t kStatusSelect = 0x10;    // set: selected (on line)
inline constexpr uint8_t kStatusPaperOut = 0x20;  // set: paper out
inline constexpr uint8_t kStatusAck = 0x40;       // clear while acknowledging
inline constexpr uint8_t kStatusReady = 0x80;     // set: not busy

// Control register: bit 0 set drives the strobe line active.
inline constexpr uint8_t kControlStrobe = 0x01;

}  // namespace inpout32
