#include "common/clock.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace common::clock {
namespace {

using namespace std::chrono;

// Mode 0: real time; 1: frozen at `base`; 2: running with `shift` added to real time.
std::mutex g_mutex;
int g_mode = 0;
time_point g_base;
system_clock::duration g_shift{};

}  // namespace

time_point now() {
  std::lock_guard lock(g_mutex);
  if (g_mode == 1) return g_base;
  if (g_mode == 2) return system_clock::now() + g_shift;
  return system_clock::now();
}

LocalDateTime to_local(time_point tp) {
  std::time_t t = system_clock::to_time_t(tp);
  std::tm tm{};
  localtime_r(&t, &tm);
  LocalDateTime out;
  out.year = tm.tm_year + 1900;
  out.month = tm.tm_mon + 1;
  out.day = tm.tm_mday;
  out.hour = tm.tm_hour;
  out.minute = tm.tm_min;
  out.second = tm.tm_sec;
  out.weekday = tm.tm_wday;
  auto ms = duration_cast<milliseconds>(tp.time_since_epoch()).count() % 1000;
  out.millisecond = static_cast<int>(ms < 0 ? ms + 1000 : ms);
  return out;
}

LocalDateTime local_now() {
  return to_local(now());
}

time_point from_local(const LocalDateTime& t) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  return system_clock::from_time_t(std::mktime(&tm)) + milliseconds(t.millisecond);
}

void set_fixed(time_point tp) {
  std::lock_guard lock(g_mutex);
  g_mode = 1;
  g_base = tp;
}

void set_running_from(time_point tp) {
  std::lock_guard lock(g_mutex);
  g_mode = 2;
  g_shift = tp - system_clock::now();
}

void reset() {
  std::lock_guard lock(g_mutex);
  g_mode = 0;
}

bool parse(const std::string& text, LocalDateTime& out) {
  LocalDateTime t;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour,
                  &t.minute, &t.second, &tail) != 6)
    return false;
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
      t.second > 60 || t.hour < 0 || t.minute < 0 || t.second < 0)
    return false;
  out = t;
  return true;
}

}  // namespace common::clock
