// genexact: the exact number of 4-element generating sets of Equ(n)*Equ(m),
// counted by orbits instead of subset by subset.
#include <memory>

#include "genexact/width_run.hpp"
#include "runframe/run_sequence.hpp"

namespace {

const runframe::ProgramDescription GenexactProgram{
    {
        "This is genexact, a program to compute the exact number of 4-element",
        "generating sets of Equ(n)*Equ(m) by symmetry, for large n and m.",
        "",
        "The input files n-optablea.txt and  m-optableb.txt (where n<=7 is the ",
        "first while m<=7 is the second parameter of the program) should be in the",
        "same folder where this program is.  Options after n and m:",
        "  --threads T  --checkpoint FILE  --save-every S  --shard i/K  --merge FILE...",
        "  --sizes A B (tables of other lattices; a number or auto)  --stop-after U  --sample U",
        "",
    },
    genexact::MaxN,
    genexact::MaxM,
    "--exact--",
};

}  // namespace

int main(int argc, char** argv) {
  // The one-byte build unless a table is too large for it.
  std::unique_ptr<genexact::WidthRun> chosen = genexact::MakeNarrowRun();
  return runframe::RunProgram(
      GenexactProgram, argc, argv,
      [&](runframe::RunContext& run) {
        if (!chosen->Read(run)) {
          chosen = genexact::MakeWideRun();
          (void)chosen->Read(run);
        }
      },
      [&](runframe::RunContext& run) { chosen->Count(run); });
}
