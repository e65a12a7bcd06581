#pragma once
// The Lumvar command engine: sends one named command to the printer on port 1 (or
// through COMANDO.TXT / STATUS.TXT in network mode), waits for the reply and classifies
// it. Its outputs live in the driver state (orvik/core/state.h):
//   raw_result        the results text of every reply, as received
//   read_value        the value extracted from a successful read ("Le..." command)
//   read_code         the code of payment (CodMeioPagamento) and non-fiscal reads
//   read_flag         the PermiteVinculado character of payment reads
//   rate_kind_filter  set by the rate queries: 0 none, 1-2 keep ISS rates, 3-4 ICMS rates
#include <string>
#include <string_view>

namespace orvik::lumvar {

// Runs one command. 1 success; 0 printer error or communication failure; -5 port cannot
// be opened; -8 Path directory missing in network mode. Last return code, last message
// and the status triple tell the details.
int ExecuteLumvar(std::string_view command, std::string_view parameters);

// Feeds the configured lines and, on models with a cutter, cuts after a document.
void FeedAfterDocument();

// The frame sent for a command with the given packet number.
std::string BuildFrame(int packet, std::string_view command, std::string_view parameters);

// Reply time-out in seconds for a command.
int TimeoutFor(std::string_view command, std::string_view parameters);

}  // namespace orvik::lumvar
