#pragma once
// The closing lines that the three counting programs share: the count line
// and the report that ends the console output with the wait prompt.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runframe/run_context.hpp"

namespace runframe {

// Columns a program's own lines may take: one less than the 80 of a common
// terminal, since a character in the last column makes some terminals wrap.
inline constexpr std::size_t ConsoleLineWidth = 79;

// text in lines of at most width characters, broken at blanks; every line but
// the first starts with indent.  A word longer than a line stands alone.
std::vector<std::string> WrapAtWords(std::string_view text, std::size_t width, std::string_view indent);

// "Part(n)*Part(m) has exactly count   4-element generating sets".
std::string ResultLine(std::int32_t n, std::int32_t m, std::uint64_t count);
// The same line for factors named otherwise: factors " has exactly " ...
std::string ResultLine(const std::string& factors, std::uint64_t count);

// Whether the result file's report ends with an empty line after its last
// line; gensample's result file never had one.
enum class ResultFileEnd { EmptyLine, LastLine };

// An empty line on both outputs (which also ends an open progress line), the
// lines on the console, an empty line and "Hit <enter> to quit!", then the
// lines in the result file.
void WriteReport(RunContext& run, const std::vector<std::string>& lines, ResultFileEnd end);

}  // namespace runframe
