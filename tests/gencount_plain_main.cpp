// gencount with the subset-by-subset count: the reference whose console and
// result file the real gencount must reproduce byte for byte.
#include <memory>

#include "gencount/exhaustive_count.hpp"
#include "lattice/table_reader.hpp"
#include "runframe/run_sequence.hpp"

namespace {

// gencount's own description, line for line.
const runframe::ProgramDescription GencountProgram{
    {
        "This is gencount , version November 5, 2020, a program to compute the number of",
        "4-element generating sets of Equ(n)*Equ(m).",
        "",
        "The input files n-optablea.txt and  m-optableb.txt (where n<=5 is the ",
        "first while m<=6 is the second paramter of the program) should be in the",
        "same folder where this program is.",
    },
    5,
    6,
    "---",
};

}  // namespace

int main(int argc, char** argv) {
  auto product = std::make_unique<gencount::CountProduct>();
  return runframe::RunProgram(
      GencountProgram, argc, argv,
      [&](runframe::RunContext& run) { lattice::ReadOperationTables(run, *product); },
      [&](runframe::RunContext& run) { gencount::ExhaustiveCountPlain(run, *product); });
}
