#pragma once
// genexact's two steps inside the shared run sequence: reading (options,
// tables, lattice laws, the plan, a checkpoint or the files to merge) and
// counting (worker threads, progress line, checkpoints, result lines).
#include <cstdint>
#include <string>
#include <vector>

#include "genexact/count_plan.hpp"
#include "genexact/options.hpp"
#include "genexact/partial_result.hpp"
#include "genexact/width_run.hpp"
#include "runframe/atomic_file.hpp"
#include "runframe/run_context.hpp"

namespace genexact::inline GENEXACT_WIDTH {

struct ExactRun {
  Options options;
  CountPlan plan;
  std::uint64_t fingerprint = 0;
  std::string checkpointFile;         // empty: finished units are not saved
  PartialResult saved;                // units finished before this run (checkpoint), or all merged units
  std::size_t mergedFiles = 0;        // merge mode: number of partial files read
  runframe::FileLock checkpointLock;  // held on the checkpoint file for the whole run
  CornerMethod cornerMethod = CornerMethod::Covers;
};

// The number of 4-element subsets of a set of productSize elements.
// It needs more than 64 bits from N = 2^16 on: Equ(6) x Equ(7) has
// C(178031, 4), about 4.2e19, 4-element subsets.
__extension__ typedef unsigned __int128 WideCount;
WideCount FourSubsets(std::uint64_t productSize);

// A wide count in decimal.
std::string Decimal(WideCount value);

// The line after the result line, in gensample's form so that an exact count
// and an estimate compare at a glance:
//   "Out of " C(productSize,4) " 4-element subsets, " count " are generating, i.e., " P "%."
// P is 100 * count / C(productSize,4), rounded exactly to 4 decimals (halves
// up), right-aligned in 8 characters.  Contract: count <= C(productSize,4).
std::string ShareLine(std::uint64_t productSize, std::uint64_t count);

// Step 6 of the run sequence, as WidthRun::Read.
bool ReadExactTables(runframe::RunContext& run, ExactRun& state);

// Step 7: counts, shows progress and writes the report.
void ExactCount(runframe::RunContext& run, ExactRun& state);

}  // namespace genexact::inline GENEXACT_WIDTH
