#include "genexact/program.hpp"

#include <cstdio>
#include <string>
#include <string_view>

#include <memory>

#include "genexact/options.hpp"
#include "genexact/width_run.hpp"
#include "runframe/abrupt_end.hpp"
#include "runframe/run_sequence.hpp"
#include "runframe/stop_signals.hpp"

namespace genexact {

namespace {

constexpr std::string_view Usage =
    "usage: genexact n m [options]\n"
    "       genexact --tables FILE_A FILE_B [options]\n"
    "       genexact --help | --version\n"
    "Counts the 4-element generating sets of Equ(n) x Equ(m), n, m = 1..8, by\n"
    "symmetry, from n-optablea.txt and m-optableb.txt in the current folder, or of\n"
    "the product of any two lattices whose tables FILE_A and FILE_B hold (one line\n"
    "x&y=join,meet per ordered pair of elements 1..size); writes the result file\n"
    "r-<n>&<m>--exact--<time>.txt (with --tables: named after the files) and waits\n"
    "for Enter at the end.\n"
    "  --tables A B        the factors' table files, in place of n and m; their\n"
    "                      sizes are read off the files\n"
    "  --equ-tables        build the tables of Equ(n) and Equ(m) in memory instead\n"
    "                      of reading files\n"
    "  --threads T         worker threads (default: all cores)\n"
    "  --checkpoint FILE   resume from FILE; finished units are saved to it\n"
    "  --save-every S      seconds between two checkpoint saves (default 30)\n"
    "  --progress-every S  seconds between two progress lines when the output is\n"
    "                      not a terminal (default 60)\n"
    "  --shard i/K         count only the units u with u mod K = i-1\n"
    "  --merge FILE...     (last) add up partial-result files\n"
    "  --sizes A B         element counts of the tables (a number, or auto: found\n"
    "                      from the file)\n"
    "  --stop-after U      stop after U units, as if interrupted\n"
    "  --sample U          time U units and estimate the whole run\n"
    "  --plan-file FILE    keep the factors' orbit lists in FILE; later runs read\n"
    "                      them, a stopped search resumes\n"
    "  --units FILE        write the work units' sets (with --merge: and counts) to\n"
    "                      FILE; alone, nothing is counted\n"
    "  -h, --help          show this text and end\n"
    "  --version           show the version and end\n"
    "More in the manual page genexact(1).\n";

static_assert(MaxN == 8 && MaxM == 8, "Usage and banner name the range of n and m");

// The banner is genexact's own: the tables are read from the current folder,
// and every line fits an 80-column terminal.
const runframe::ProgramDescription GenexactProgram{
    {
        "This is genexact, a program to compute the exact number of 4-element",
        "generating sets of Equ(n)*Equ(m) by symmetry, for large n and m.",
        "",
        "The tables n-optablea.txt and m-optableb.txt (n, m <= 8) are read from the",
        "current folder; other lattices' tables with  genexact --tables FILE_A FILE_B.",
        "Options after n and m (or the files):",
        "  --equ-tables  --threads T  --checkpoint FILE  --save-every S",
        "  --progress-every S  --shard i/K  --merge FILE...  --stop-after U",
        "  --sample U  --sizes A B  (--help tells more)",
        "",
    },
    MaxN,
    MaxM,
    "--exact--",
    "genexact",
    std::string(Usage),
    true,
};

}  // namespace

int RunGenexact(int argc, char** argv, CornerMethod method) {
  Options options;
  // The one-byte build unless a table is too large for it.
  std::unique_ptr<WidthRun> chosen = MakeNarrowRun();
  return runframe::RunProgram(
      GenexactProgram, argc, argv,
      [&](runframe::RunContext& run) {
        // Stop signals while the tables are read and the plan is made end the
        // run in order (see ReadExactTables); a second one ends the process at
        // once, as there is nothing to save yet.
        const runframe::StopSignals stopBeforeCounting(false);
        if (!chosen->Read(run, options, method)) {
          chosen = MakeWideRun();
          (void)chosen->Read(run, options, method);
        }
      },
      [&](runframe::RunContext& run) { chosen->Count(run); },
      [&](runframe::RunContext& run) { options = CheckExactOptions(run); });
}

}  // namespace genexact
