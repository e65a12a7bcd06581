#pragma once
// The QVX reply, read as a pure function over the bytes received (no state, no I/O), so
// that tests and fuzzing can call it on any byte range.
//
// A frame is STX, the status character, four state characters, the two-character error
// number and, for reads, the data; it ends at the next ETX. The data of a read begins at
// the seventh character of its frame (where the error number would stand) and runs up to
// the ETX; command 32 keeps ten characters of it.
#include <cstddef>
#include <string>
#include <string_view>

namespace orvik::qvx {

inline constexpr char kStx = 0x02;
inline constexpr char kEtx = 0x03;
inline constexpr char kEsc = 0x1B;

// The characters from STX up to the error number; a shorter frame holds no answer.
inline constexpr size_t kMinFrame = 8;

struct QvxReply {
  int frames = 0;            // frames found (STX, at least kMinFrame bytes, then ETX)
  bool accepted = false;     // the last frame accepts the command
  char status = 0;           // status character of the last frame
  std::string error_number;  // its two error characters, as received
  std::string data;          // read data of the last accepted frame (reads only)
  bool has_data = false;     // some frame was accepted with data
};

// Classifies a reply to `command` (its number). Read commands (30 to 34) accept "S" and
// "+"; the others accept "+" only. Every frame is read in turn and the last one decides.
QvxReply ParseQvxReply(std::string_view bytes, int command);

// True when command is a read (30 to 34).
bool IsReadCommand(int command);

// A reply that can be classified now: it ends with ETX, or (`quiet`, nothing more is
// arriving) it holds a whole frame followed by stray bytes.
bool ReplyComplete(std::string_view bytes, bool quiet);

// The last message for a printer error number as the two characters received (UTF-8).
std::string ErrorMessageFor(std::string_view number);

}  // namespace orvik::qvx
