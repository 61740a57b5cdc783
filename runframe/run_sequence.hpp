#pragma once
// The fixed sequence of a run, from banner to the final wait for Enter.
#include <functional>

#include "runframe/run_context.hpp"

namespace runframe {

using RunStep = std::function<void(RunContext&)>;

// Runs the whole sequence: banner, run files, start lines, readTables, compute,
// end stamp, elapsed time, closing, wait for Enter.  Returns the exit status:
// 0 after a full run or a fatal stop, non-zero after an abrupt end.
int RunSequence(RunContext& run, const RunStep& readTables, const RunStep& compute);

// The same for a program's entry: builds the run from argc/argv first.
int RunProgram(const ProgramDescription& program, int argc, char** argv,
               const RunStep& readTables, const RunStep& compute);

}  // namespace runframe
