#include "runframe/time_recording.hpp"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "runframe/checked.hpp"

namespace runframe {

ClockReading ReadLocalClock() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
#if defined(_WIN32)
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  ClockReading r;
  r.year = static_cast<std::uint16_t>(local.tm_year + 1900);
  r.month = static_cast<std::uint16_t>(local.tm_mon + 1);
  r.day = static_cast<std::uint16_t>(local.tm_mday);
  r.hour = static_cast<std::uint16_t>(local.tm_hour);
  r.minute = static_cast<std::uint16_t>(local.tm_min);
  // A leap second shows as 60; keep the field within its documented range.
  r.second = static_cast<std::uint16_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
  r.millisecond = static_cast<std::uint16_t>(ms < 0 ? ms + 1000 : ms);
  return r;
}

std::string TimeStampLine(const ClockReading& t, const std::string& label) {
  return " " + label + " (DD/MM/YY:) " + std::to_string(t.day) + "/" + std::to_string(t.month) + "/" +
         std::to_string(t.year) + ", at " + std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" +
         std::to_string(t.second) + ":" + std::to_string(t.millisecond);
}

std::string ElapsedTimeLine(const ClockReading& start, const ClockReading& end) {
  auto diff = [](std::uint16_t b, std::uint16_t a) { return CheckedSub<std::int32_t>(b, a, "the elapsed time"); };
  std::int32_t days = diff(end.day, start.day);
  std::int32_t hours = diff(end.hour, start.hour);
  std::int32_t minutes = diff(end.minute, start.minute);
  std::int32_t seconds = diff(end.second, start.second);
  std::int32_t millis = diff(end.millisecond, start.millisecond);
  if (millis < 0) {
    millis += 1000;
    seconds -= 1;
  }
  if (seconds < 0) {
    seconds += 60;
    minutes -= 1;
  }
  if (minutes < 0) {
    minutes += 60;
    hours -= 1;
  }
  if (hours < 0) {
    hours += 24;
    days -= 1;
  }
  // The month of a reading is 1..12 on every real clock; anything else adds no
  // days rather than reading outside the table.
  if (days < 0 && start.month >= 1 && start.month <= 12) days += DaysInMonth[start.month];
  char ms[16];
  (void)std::snprintf(ms, sizeof ms, "%03d", static_cast<int>(millis));
  return "  " + std::to_string(days) + " day(s) + " + std::to_string(hours) + " hour(s) + " + std::to_string(minutes) +
         " minute(s) + " + std::to_string(seconds) + "." + ms + " second(s).";
}

}  // namespace runframe
