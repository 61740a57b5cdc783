#pragma once
// The fixed sequence of a run, from banner to the final wait for Enter.
#include <functional>

#include "runframe/run_context.hpp"

namespace runframe {

using RunStep = std::function<void(RunContext&)>;

// Runs the whole sequence: banner, checkOptions (when given: everything on the
// command line is checked before any file is opened or created), run files,
// start lines, readTables, compute, end stamp, elapsed time, closing, wait for
// Enter.  Returns the exit status: run.exitStatus (0 unless a step set it)
// after a run that went through, ExitFatalStop after a fatal stop, the
// status of an abrupt end otherwise.
int RunSequence(RunContext& run, const RunStep& readTables, const RunStep& compute, const RunStep& checkOptions = {});

// The same for a program's entry: builds the run from argc/argv first.
int RunProgram(const ProgramDescription& program, int argc, char** argv, const RunStep& readTables,
               const RunStep& compute, const RunStep& checkOptions = {});

}  // namespace runframe
