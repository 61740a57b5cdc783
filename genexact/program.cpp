#include "genexact/program.hpp"

#include <cstdio>
#include <string>
#include <string_view>

#include <memory>

#include "genexact/options.hpp"
#include "genexact/width_run.hpp"
#include "runframe/abrupt_end.hpp"
#include "runframe/run_sequence.hpp"

namespace genexact {

namespace {

const runframe::ProgramDescription GenexactProgram{
    {
        "This is genexact, a program to compute the exact number of 4-element",
        "generating sets of Equ(n)*Equ(m) by symmetry, for large n and m.",
        "",
        "The input files n-optablea.txt and  m-optableb.txt (where n<=" + std::to_string(MaxN) + " is the ",
        "first while m<=" + std::to_string(MaxM) + " is the second parameter of the program) should be in the",
        "same folder where this program is.  Options after n and m:",
        "  --threads T  --checkpoint FILE  --save-every S  --shard i/K  --merge FILE...",
        "  --sizes A B (tables of other lattices; a number or auto)  --stop-after U  --sample U",
        "",
    },
    MaxN,
    MaxM,
    "--exact--",
};

constexpr std::string_view Usage =
    "usage: genexact n m [options]\n"
    "       genexact --help | --version\n"
    "Counts the 4-element generating sets of Equ(n) x Equ(m), n, m = 1..7, by symmetry,\n"
    "from n-optablea.txt and m-optableb.txt in the current folder; writes the result\n"
    "file r-<n>&<m>--exact--<time>.txt there and waits for Enter at the end.\n"
    "  --threads T         worker threads (default: all cores)\n"
    "  --checkpoint FILE   resume from FILE; finished units are saved to it\n"
    "  --save-every S      seconds between two saves of the checkpoint (default 30)\n"
    "  --progress-every S  seconds between two progress lines when the output is not\n"
    "                      a terminal (default 60)\n"
    "  --shard i/K         count only the units u with u mod K = i-1\n"
    "  --merge FILE...     (last) add up partial-result files\n"
    "  --sizes A B         element counts of other lattices' tables (a number or auto)\n"
    "  --stop-after U      stop after U units, as if interrupted\n"
    "  --sample U          time U units and estimate the whole run\n"
    "  -h, --help          show this text and end\n"
    "  --version           show the version and end\n"
    "More in the manual page genexact(1).\n";

static_assert(MaxN == 7 && MaxM == 7, "Usage names the range of n and m");

constexpr std::string_view Version = "genexact " GENCOUNT_VERSION "\n";

// --help, -h or --version anywhere on the command line answers at once,
// before any run file is touched; nothing else changes the run.
std::string_view InformationRequest(int argc, char** argv) {
  std::string_view answer;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") return Usage;
    if (arg == "--version") answer = Version;
  }
  return answer;
}

}  // namespace

int RunGenexact(int argc, char** argv, CornerMethod method) {
  if (const std::string_view text = InformationRequest(argc, argv); !text.empty()) {
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return written && std::fflush(stdout) == 0 ? runframe::ExitOk : runframe::ExitIoError;
  }
  Options options;
  // The one-byte build unless a table is too large for it.
  std::unique_ptr<WidthRun> chosen = MakeNarrowRun();
  return runframe::RunProgram(
      GenexactProgram, argc, argv,
      [&](runframe::RunContext& run) {
        if (!chosen->Read(run, options, method)) {
          chosen = MakeWideRun();
          (void)chosen->Read(run, options, method);
        }
      },
      [&](runframe::RunContext& run) { chosen->Count(run); },
      [&](runframe::RunContext& run) { options = CheckExactOptions(run); });
}

}  // namespace genexact
