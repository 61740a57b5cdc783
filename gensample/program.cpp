#include "gensample/program.hpp"

#include <memory>
#include <string>

#include "lattice/table_reader.hpp"
#include "runframe/run_sequence.hpp"

namespace gensample {
namespace {
constexpr std::int32_t MaxN = 6;
constexpr std::int32_t MaxM = 6;
}  // namespace

const runframe::ProgramDescription& GensampleProgram() {
  static const runframe::ProgramDescription program{
      {
          "",
          "This is gensample, v. November 3, 2020, a program to estimate the number",
          "of 4-element generating sets of Equ(n)*Equ(m) by random tests.",
          "(It would not be hard to modify \"4\".)",
          "",
          "The input files n-optablea.txt and  m-optableb.txt (where n<=" + std::to_string(MaxN) + " is the ",
          "first while m<=" + std::to_string(MaxM) + " is the second parameter of the program) should be in the",
          "same folder where this program is. Third parameter=number of tests,",
          "fourth parameter=how often to print a dot on the screen.",
          "To force that the program stops soon (but not immediately), hit <Alt-R>.",
          "",
      },
      MaxN,
      MaxM,
      "--random--",
      "gensample",
      "usage: gensample n m [tests [dotInterval]]\n"
      "       gensample --help | --version\n"
      "Estimates the number of 4-element generating sets of Equ(n) x Equ(m),\n"
      "n, m = 1..6, from random 4-element subsets, read from n-optablea.txt and\n"
      "m-optableb.txt in the current folder (optables makes them); writes the\n"
      "result file r-<n>&<m>--random--<time>.txt there and waits for Enter at the end.\n"
      "  tests         how many subsets to test (default 10, at least 1 is tested)\n"
      "  dotInterval   a progress dot every so many tests (default 4, 0: no dots)\n"
      "  Alt+R         stops the run soon, with the result of the tests done\n"
      "  -h, --help    show this text and end\n"
      "  --version     show the version and end\n"
      "More in the manual page gensample(1).\n",
  };
  static_assert(MaxN == 6 && MaxM == 6, "the usage names the range of n and m");
  return program;
}

int RunGensample(int argc, char** argv, const SampleStep& sample) {
  // One zeroed instance for the whole run, made inside the run so that a
  // failed allocation is reported; the hot loops never allocate.
  std::unique_ptr<SampleProduct> product;
  return runframe::RunProgram(
      GensampleProgram(), argc, argv,
      [&](runframe::RunContext& run) {
        product = std::make_unique<SampleProduct>();
        lattice::ReadOperationTables(run, *product);
        CheckSampleable(*product);
      },
      [&](runframe::RunContext& run) {
        RandomSource random(SeedFromClock());
        // The keyboard is in key-by-key mode only while sampling; leaving this
        // scope restores it before the final wait for Enter.
        const std::unique_ptr<ConsoleKeys> keys = OpenConsoleKeys();
        sample(run, *product, random, *keys);
      });
}

}  // namespace gensample
