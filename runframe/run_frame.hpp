#pragma once
// The steps of a run that both programs share, from the command line to the
// closing of the run files.
#include <cstdint>
#include <string>
#include <string_view>

#include "runframe/run_context.hpp"

namespace runframe {

// An anticipated fault.  Thrown by FatalStop and completed by the run
// sequence, which shows it, waits for Enter, logs it and closes the files.
struct FatalStopRequest {
  std::string message;
};

// Ends the run with a fixed message (cut to 255 characters).
[[noreturn]] void FatalStop(std::string_view message);

// The value of command-line parameter k (1 or 2) after its range test.
std::int32_t ParseSizeParameter(const RunContext& run, std::int32_t k);

// Sets n, m and the three names, opens both input files (none when the
// tables are built in memory), records the start time and creates the result
// file.
void OpenRunFiles(RunContext& run);

// "r-", n, "&", m, tag, then the start time, ".txt".
std::string MakeResultFileName(std::int32_t n, std::int32_t m, const std::string& tag, const ClockReading& start);

// A short name for the factor in table file path, safe in a file name and on
// a console: the file's name without folder and extension, every character
// but letters, digits, '+', '-' and '_' as '_', at most 20 characters
// ("table" when nothing is left).
std::string TableLabel(const std::string& path);

// "Part(n)*Part(m)", or "A*B" after the labels of named table files.
std::string FactorsName(const RunContext& run);

void RecordTime(RunContext& run, std::int32_t slot);
void WriteTimeStamp(RunContext& run, std::int32_t slot, const std::string& label);
void ReportElapsedTime(RunContext& run);
void CloseRunFiles(RunContext& run);

// Shows, waits for Enter, logs and closes, for a fault raised by FatalStop.
void CompleteFatalStop(RunContext& run, const std::string& message);

// Reads one line of standard input and discards it; the end of the input ends
// the wait at once.
void WaitForEnterOnStdin();

}  // namespace runframe
