#pragma once
// The progress display: one console line rewritten in place with a carriage
// return, at most a few times per second.
#include <cstdint>
#include <string>

namespace genexact {

// Seconds between two rewrites of the progress line.
inline constexpr double ProgressInterval = 0.25;

// "units 30/61, 48.2% of 89304 tests, 152345 tests/s, about 0:00:05 left";
// rate 0 shows the time left as unknown.
std::string ProgressText(std::uint64_t unitsDone, std::uint64_t unitCount, std::uint64_t testsDone,
                         std::uint64_t testCount, double testsPerSecond);

// h:mm:ss, or "d day(s) h:mm:ss" beyond a day.
std::string Duration(double seconds);

}  // namespace genexact
