#include "gencount/program.hpp"

#include <cstdint>
#include <memory>
#include <string>

#include "lattice/table_reader.hpp"
#include "runframe/run_sequence.hpp"

namespace gencount {
namespace {
// MaxSizeA (exhaustive_count.hpp) is the size of Equ(MaxN).
constexpr std::int32_t MaxN = 5;
constexpr std::int32_t MaxM = 6;
}  // namespace

const runframe::ProgramDescription& GencountProgram() {
  static const runframe::ProgramDescription program{
      {
          "This is gencount , version November 5, 2020, a program to compute the number of",
          "4-element generating sets of Equ(n)*Equ(m).",
          "",
          "The input files n-optablea.txt and  m-optableb.txt (where n<=" + std::to_string(MaxN) + " is the ",
          "first while m<=" + std::to_string(MaxM) + " is the second paramter of the program) should be in the",
          "same folder where this program is.",
      },
      MaxN,
      MaxM,
      "---",
      "gencount",
      "usage: gencount n m\n"
      "       gencount --help | --version\n"
      "Counts the 4-element generating sets of Equ(n) x Equ(m), n = 1..5, m = 1..6,\n"
      "by testing every 4-element subset in lexicographic order, from n-optablea.txt\n"
      "and m-optableb.txt in the current folder (optables makes them); writes the\n"
      "result file r-<n>&<m>---<time>.txt there and waits for Enter at the end.\n"
      "Further parameters are ignored.\n"
      "  -h, --help   show this text and end\n"
      "  --version    show the version and end\n"
      "More in the manual page gencount(1).\n",
  };
  static_assert(MaxN == 5 && MaxM == 6, "the usage names the range of n and m");
  return program;
}

int RunGencount(int argc, char** argv, CountStep count) {
  // One zeroed instance for the whole run, made inside the run so that a
  // failed allocation is reported; the hot loops never allocate.
  std::unique_ptr<CountProduct> product;
  return runframe::RunProgram(
      GencountProgram(), argc, argv,
      [&](runframe::RunContext& run) {
        product = std::make_unique<CountProduct>();
        lattice::ReadOperationTables(run, *product);
      },
      [&](runframe::RunContext& run) { count(run, *product); });
}

}  // namespace gencount
