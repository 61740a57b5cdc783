#pragma once
// The start and end of a run: local wall-clock readings, the stamp lines and
// the elapsed-time report built from them.
#include <array>
#include <cstdint>
#include <string>

namespace runframe {

struct ClockReading {
  std::uint16_t year = 0;         // in full, e.g. 2026
  std::uint16_t month = 0;        // 1..12
  std::uint16_t day = 0;          // 1..31
  std::uint16_t hour = 0;         // 0..23
  std::uint16_t minute = 0;       // 0..59
  std::uint16_t second = 0;       // 0..59
  std::uint16_t millisecond = 0;  // 0..999
};

// Days of months 1..12 (index 0 unused); February always 28, as the report
// promises only runs shorter than four weeks.
inline constexpr std::array<std::int32_t, 13> DaysInMonth = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// The local date and time of day, to the millisecond.
ClockReading ReadLocalClock();

// " " + label + " (DD/MM/YY:) d/m/yyyy, at h:m:s:ms", without a line end.
std::string TimeStampLine(const ClockReading& reading, const std::string& label);

// The second line of the elapsed-time report, without a line end: days, hours,
// minutes and seconds from start to end, borrowing field by field.
std::string ElapsedTimeLine(const ClockReading& start, const ClockReading& end);

inline constexpr const char* ElapsedHeader = "Assuming that it is shorter than four weeks, the time elapsed is: ";

}  // namespace runframe
