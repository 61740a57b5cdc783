#include "runframe/report.hpp"

namespace runframe {

std::vector<std::string> WrapAtWords(std::string_view text, std::size_t width, std::string_view indent) {
  if (text.size() <= width) return {std::string(text)};
  std::vector<std::string> lines;
  std::string line;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t start = text.find_first_not_of(' ', at);
    if (start == std::string_view::npos) break;
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(start, end - start);
    if (line.empty() && lines.empty()) {
      line.assign(text.substr(0, end));  // the first line keeps its leading blanks
    } else if (!line.empty() && line.size() + 1 + word.size() <= width) {
      line.append(1, ' ').append(word);
    } else {
      if (!line.empty()) lines.push_back(line);
      line.assign(indent).append(word);
    }
    at = end;
  }
  if (!line.empty() || lines.empty()) lines.push_back(line);
  return lines;
}

std::string ResultLine(std::int32_t n, std::int32_t m, std::uint64_t count) {
  return ResultLine("Part(" + std::to_string(n) + ")*Part(" + std::to_string(m) + ")", count);
}

std::string ResultLine(const std::string& factors, std::uint64_t count) {
  return factors + " has exactly " + std::to_string(count) + "   4-element generating sets";
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
