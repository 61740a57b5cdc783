#pragma once
// gencount's computation: every 4-element subset of the product, in
// lexicographic order of ProductPairs indexes, with a progress item every 1024
// subsets and the result line at the end.
#include <cstdint>
#include <string>

#include "lattice/product.hpp"
#include "runframe/run_context.hpp"

namespace gencount {

// gencount takes n up to 5, so the first factor needs room for Equ(5) only.
inline constexpr std::int32_t MaxSizeA = 52;
using CountProduct = lattice::Product<MaxSizeA>;

// Subsets between two progress items.
inline constexpr std::int32_t ProgressEvery = 1024;

// "  " + done (width 10) + "/" + total (width 10) + "  ".
std::string ProgressItem(double subsetsDone, double totalSubsets);

// The lines after the count: the result line (runframe::ResultLine) on the
// console and in the result file, the console's part ending with
// "Hit <enter> to quit!".
void WriteCountReport(runframe::RunContext& run, std::uint64_t generatingCount);

// Receives the progress points of a count: done = 1024, 2048, ... up to the
// number of subsets, in this order, each once.  Items(first, last) hands over
// the points first, first + 1024, ..., last that a count passed at one time.
class ProgressSink {
 public:
  virtual void Items(std::uint64_t first, std::uint64_t last) = 0;

 protected:
  ~ProgressSink() = default;
};

// How the count gets the second factor's extension tables: whole at the
// start, by closures for factors of up to 64 elements and from the generating
// sets up to symmetry for larger ones (BySize); always from those sets
// (BySymmetry, so that tests reach that path on small products); or triple
// by triple by closures when first asked (Lazy, the plain version).
enum class SecondFactorTables { BySize, BySymmetry, Lazy };

// The number of generating 4-subsets of the product.  Uses the generating
// test's shortcuts and passes over whole ranges of subsets that cannot
// generate; tables that are not lattices are counted subset by subset.
std::uint64_t CountGeneratingSubsets(CountProduct& model, ProgressSink& progress,
                                     SecondFactorTables tables = SecondFactorTables::BySize);

// The same, subset by subset in lexicographic order: clear, seed, close, compare.
std::uint64_t CountGeneratingSubsetsPlain(CountProduct& model, ProgressSink& progress);

// Whether the four ProductPairs indexes generate the product.
using SubsetGenerates = bool (*)(CountProduct&, const std::int32_t (&)[4]);

// Every subset in lexicographic order through the given test, with a progress
// point at every 1024th.
std::uint64_t CountEverySubset(CountProduct& model, ProgressSink& progress, SubsetGenerates generates);

void ExhaustiveCount(runframe::RunContext& run, CountProduct& model);

// ExhaustiveCount with the subset-by-subset count; its console and result
// file output are the reference for ExhaustiveCount's.
void ExhaustiveCountPlain(runframe::RunContext& run, CountProduct& model);

}  // namespace gencount
