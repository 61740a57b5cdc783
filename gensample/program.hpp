#pragma once
// gensample as a program: its banner and limits, and the run around a
// sampling step.  The real entry and the benchmark baseline differ only in the
// step they pass.
#include <functional>

#include "gensample/random_sampling.hpp"
#include "runframe/run_context.hpp"

namespace gensample {

const runframe::ProgramDescription& GensampleProgram();

using SampleStep = std::function<void(runframe::RunContext&, SampleProduct&, RandomSource&, ConsoleKeys&)>;

// The whole run: banner, files, tables (refusing products below four
// elements), the sampling with the keyboard in key-by-key mode, end lines,
// wait for Enter.
int RunGensample(int argc, char** argv, const SampleStep& sample);

}  // namespace gensample
