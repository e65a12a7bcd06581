#pragma once
// The QVX command engine: frames one numeric command (STX ESC "$" text ETX) on port 1,
// opened and closed around it, waits for the reply and classifies it. Its outputs live
// in the driver state: the status triple, the last return code and message and, for
// reads, read_value.
#include <string>
#include <string_view>

namespace orvik::qvx {

// Runs one command text (two digits, then the fields). 1 accepted; 0 printer error or no
// reply (-1 "Falha de comunicação"); -5 port cannot be opened.
int ExecuteQvx(std::string_view text);

// The frame sent for a command text.
std::string BuildQvxFrame(std::string_view text);

// Reply time-out in seconds by command number.
int QvxTimeoutFor(int command);

// Sends "34M" + register (two digits); on success the register's text is the read value.
int ReadQvxRegister(int reg);

}  // namespace orvik::qvx
