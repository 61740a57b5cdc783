#pragma once
// gencount as a program: its banner and limits, and the run around a count.
// The real entry and the reference builds (plain count, benchmark baseline)
// differ only in the count they pass, so their output compares byte for byte.
#include "gencount/exhaustive_count.hpp"
#include "runframe/run_context.hpp"

namespace gencount {

const runframe::ProgramDescription& GencountProgram();

using CountStep = void (*)(runframe::RunContext&, CountProduct&);

// The whole run: banner, files, tables, count, end lines, wait for Enter.
int RunGencount(int argc, char** argv, CountStep count);

}  // namespace gencount
