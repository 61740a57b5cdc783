#include "genexact/program.hpp"

#include "genexact/exact_run.hpp"
#include "runframe/run_sequence.hpp"

namespace genexact {

namespace {

const runframe::ProgramDescription GenexactProgram{
    {
        "This is genexact, a program to compute the exact number of 4-element",
        "generating sets of Equ(n)*Equ(m) by symmetry, for large n and m.",
        "",
        "The input files n-optablea.txt and  m-optableb.txt (where n<=6 is the ",
        "first while m<=6 is the second parameter of the program) should be in the",
        "same folder where this program is.  Options after n and m:",
        "  --threads T  --checkpoint FILE  --save-every S  --shard i/K  --merge FILE...",
        "  --sizes A B (tables of other lattices; a number or auto)  --stop-after U  --sample U",
        "",
    },
    MaxN,
    MaxM,
    "--exact--",
};

}  // namespace

int RunGenexact(int argc, char** argv, CornerMethod method) {
  ExactRun state;
  state.cornerMethod = method;
  return runframe::RunProgram(
      GenexactProgram, argc, argv, [&](runframe::RunContext& run) { ReadExactTables(run, state); },
      [&](runframe::RunContext& run) { ExactCount(run, state); },
      [&](runframe::RunContext& run) { CheckExactOptions(run, state); });
}

}  // namespace genexact
