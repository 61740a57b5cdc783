// gensample on the baseline driver, for whole-program timings against gensample.
#include <memory>
#include <string>

#include "bench/baseline_drivers.hpp"
#include "lattice/table_reader.hpp"
#include "runframe/run_sequence.hpp"

namespace {

const runframe::ProgramDescription GensampleProgram{
    {
        "",
        "This is gensample, v. November 3, 2020, a program to estimate the number",
        "of 4-element generating sets of Equ(n)*Equ(m) by random tests.",
        "(It would not be hard to modify \"4\".)",
        "",
        "The input files n-optablea.txt and  m-optableb.txt (where n<=6 is the ",
        "first while m<=6 is the second parameter of the program) should be in the",
        "same folder where this program is. Third parameter=number of tests,",
        "fourth parameter=how often to print a dot on the screen.",
        "To force that the program stops soon (but not immediately), hit <Alt-R>.",
        "",
    },
    6,
    6,
    "--random--",
};

}  // namespace

int main(int argc, char** argv) {
  auto product = std::make_unique<gensample::SampleProduct>();
  return runframe::RunProgram(
      GensampleProgram, argc, argv,
      [&](runframe::RunContext& run) {
        lattice::ReadOperationTables(run, *product);
        gensample::CheckSampleable(*product);
      },
      [&](runframe::RunContext& run) {
        gensample::RandomSource random(gensample::SeedFromClock());
        const std::unique_ptr<gensample::ConsoleKeys> keys = gensample::OpenConsoleKeys();
        bench::BaselineRandomSampling(run, *product, random, *keys);
      });
}
