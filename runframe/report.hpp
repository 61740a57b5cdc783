#pragma once
// The closing lines that the three counting programs share: the count line
// and the report that ends the console output with the wait prompt.
#include <cstdint>
#include <string>
#include <vector>

#include "runframe/run_context.hpp"

namespace runframe {

// "Part(n)*Part(m) has exactly count   4-element generating sets".
std::string ResultLine(std::int32_t n, std::int32_t m, std::uint64_t count);

// Whether the result file's report ends with an empty line after its last
// line; gensample's result file never had one.
enum class ResultFileEnd { EmptyLine, LastLine };

// An empty line on both outputs (which also ends an open progress line), the
// lines on the console, an empty line and "Hit <enter> to quit!", then the
// lines in the result file.
void WriteReport(RunContext& run, const std::vector<std::string>& lines, ResultFileEnd end);

}  // namespace runframe
