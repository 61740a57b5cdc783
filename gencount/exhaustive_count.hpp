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

// "Part(n)*Part(m) has exactly count   4-element generating sets".
std::string ResultLine(std::int32_t n, std::int32_t m, std::uint64_t generatingCount);

void ExhaustiveCount(runframe::RunContext& run, CountProduct& model);

}  // namespace gencount
