#pragma once
// genexact as a program: its banner and limits, and the run around a count.
// The real entry and the benchmark baseline differ only in how the corners
// are decided, so their counts and output compare directly.
#include "genexact/width_run.hpp"

namespace genexact {

// The whole run: banner, options, files, tables, count, end lines, wait for Enter.
int RunGenexact(int argc, char** argv, CornerMethod method);

}  // namespace genexact
