#pragma once
// The one-byte and two-byte builds of genexact (element_width.hpp) as the
// program sees them: the same two steps of the run sequence.
#include <cstdint>
#include <memory>

#include "genexact/options.hpp"
#include "runframe/run_context.hpp"

namespace genexact {

// genexact takes both parameters up to 8: Equ(8) has 4140 elements, its
// tables 69 MB in two-byte numbers.
inline constexpr std::int32_t MaxN = 8;
inline constexpr std::int32_t MaxM = 8;

// How the corners are decided: by cover fixpoints where the factors allow
// (the fast way: PartitionCorner where a domain is a partition lattice,
// CoverCorner for other domains), by the plain cover fixpoints alone
// (CoverCorner everywhere, the fast way of earlier versions, kept as the
// baseline the benchmark measures the fast one against), or by the row
// minima over all elements alone (the plain way, the baseline that
// benchmarks and tests compare with).
enum class CornerMethod { Covers, PlainCovers, RowMinima };

class WidthRun {
 public:
  virtual ~WidthRun() = default;
  // Step 6 of the run sequence, with the options checked before.  False,
  // with nothing read and nothing written, when a table has more elements
  // than this build takes; every fault ends the run through FatalStop.
  virtual bool Read(runframe::RunContext& run, const Options& options, CornerMethod method) = 0;
  // Step 7: counts, shows progress and writes the report.
  virtual void Count(runframe::RunContext& run) = 0;
};

std::unique_ptr<WidthRun> MakeNarrowRun();  // up to 255 elements
std::unique_ptr<WidthRun> MakeWideRun();    // up to MaxFactorElements

}  // namespace genexact
