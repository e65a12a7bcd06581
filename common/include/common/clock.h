#pragma once
// The one clock of the system. Production code asks it for the time; tests (and the
// virtual devices) set it to a fixed instant or make it run from a chosen instant.
#include <chrono>
#include <string>

namespace common {

struct LocalDateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int weekday = 0;  // 0 = Sunday
};

namespace clock {

using time_point = std::chrono::system_clock::time_point;

// The current instant as the system sees it (real, fixed or shifted).
time_point now();

// The current local date and time.
LocalDateTime local_now();

// Breaks an instant down in local time.
LocalDateTime to_local(time_point tp);

// The instant of a local date and time.
time_point from_local(const LocalDateTime& t);

// Freezes the clock at tp.
void set_fixed(time_point tp);

// Makes the clock run from tp onwards.
void set_running_from(time_point tp);

// Back to the real clock.
void reset();

// Parses "YYYY-MM-DD HH:MM:SS"; false when the text does not have that shape.
bool parse(const std::string& text, LocalDateTime& out);

}  // namespace clock
}  // namespace common
