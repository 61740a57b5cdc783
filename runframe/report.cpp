#include "runframe/report.hpp"

namespace runframe {

std::string ResultLine(std::int32_t n, std::int32_t m, std::uint64_t count) {
  return "Part(" + std::to_string(n) + ")*Part(" + std::to_string(m) + ") has exactly " + std::to_string(count) +
         "   4-element generating sets";
}

void WriteReport(RunContext& run, const std::vector<std::string>& lines, ResultFileEnd end) {
  run.console.Line();
  run.progressLineShowing = false;
  run.result.Line();
  for (const std::string& line : lines) run.console.Line(line);
  run.console.Line();
  run.console.Line("Hit <enter> to quit!");
  for (const std::string& line : lines) run.result.Line(line);
  if (end == ResultFileEnd::EmptyLine) run.result.Line();
}

}  // namespace runframe
