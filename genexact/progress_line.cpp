#include "genexact/progress_line.hpp"

#include <cmath>
#include <cstdio>

namespace genexact {

std::string Duration(double seconds) {
  if (!(seconds >= 0) || seconds > 1e9) return "?";
  const auto total = static_cast<std::uint64_t>(std::llround(seconds));
  const std::uint64_t days = total / 86400;
  char buf[64];
  (void)std::snprintf(buf, sizeof buf, "%llu:%02llu:%02llu", static_cast<unsigned long long>(total % 86400 / 3600),
                static_cast<unsigned long long>(total % 3600 / 60), static_cast<unsigned long long>(total % 60));
  return days > 0 ? std::to_string(days) + " day(s) " + buf : std::string(buf);
}

std::string ProgressText(std::uint64_t unitsDone, std::uint64_t unitCount, std::uint64_t testsDone,
                         std::uint64_t testCount, double testsPerSecond) {
  char percent[32];
  (void)std::snprintf(percent, sizeof percent, "%.1f%%",
                testCount == 0 ? 100.0 : 100.0 * static_cast<double>(testsDone) / static_cast<double>(testCount));
  std::string text = "  units " + std::to_string(unitsDone) + "/" + std::to_string(unitCount) + ", " + percent +
                     " of " + std::to_string(testCount) + " tests, ";
  if (testsPerSecond > 0) {
    text += std::to_string(static_cast<std::uint64_t>(testsPerSecond)) + " tests/s, about " +
            Duration(static_cast<double>(testCount - testsDone) / testsPerSecond) + " left";
  } else {
    text += "rate not known yet";
  }
  return text;
}

}  // namespace genexact
