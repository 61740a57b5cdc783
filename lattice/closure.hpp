#pragma once
// The subuniverse closure: grows the elements in PairList into the sublattice
// they generate, by semi-naive passes, and the per-subset steps around it.
#include <cstdint>

#include "lattice/product.hpp"

namespace lattice {

// Before: PairList entries 1..count hold distinct product elements, and
//   MemberMatrix marks exactly those among the used cells; the factor tables
//   are complete, in range and commutative.
// After: entries 1..count hold the generated sublattice in order of discovery
//   (a pass pairs every element known at its start, as row, with every element
//   new since the previous pass, as column; the firstOp candidate is tested
//   before the secondOp one); MemberMatrix marks exactly them.  There is no
//   early stop: the closure ends with one pass that finds nothing.
template <std::int32_t MaxSizeA>
void SubuniverseClosure(Product<MaxSizeA>& p) {
  auto& list = p.PairList;
  ProductElement* const entries = list.entries.data();
  std::int32_t count = list.count;  // kept in a local in the hot loop
  std::int32_t previous = 0;
  for (;;) {
    const std::int32_t passEnd = count;
    list.passStart = passEnd;
    for (std::int32_t i = 1; i <= passEnd; ++i) {
      const ProductElement ei = entries[i];
      const FactorElement* const a1 = p.factorA.firstOp[ei.a];
      const FactorElement* const a2 = p.factorA.secondOp[ei.a];
      const FactorElement* const b1 = p.factorB.firstOp[ei.b];
      const FactorElement* const b2 = p.factorB.secondOp[ei.b];
      for (std::int32_t j = previous + 1; j <= passEnd; ++j) {
        const ProductElement ej = entries[j];
        const std::int32_t firstA = a1[ej.a];
        const std::int32_t firstB = b1[ej.b];
        const std::int32_t secondA = a2[ej.a];
        const std::int32_t secondB = b2[ej.b];
        std::uint8_t& firstCell = p.MemberMatrix[firstA][firstB];
        if (firstCell == 0) {
          firstCell = 1;
          entries[++count] = ProductElement{firstA, firstB};
        }
        std::uint8_t& secondCell = p.MemberMatrix[secondA][secondB];
        if (secondCell == 0) {
          secondCell = 1;
          entries[++count] = ProductElement{secondA, secondB};
        }
      }
    }
    previous = passEnd;
    if (count == passEnd) break;
  }
  list.count = count;
}

// Clears the MemberMatrix cells of the previous test.  Only the cells that
// PairList marked can be 1, so this touches count cells instead of N; the
// matrix is all zero afterwards, as the per-test preparation requires.
template <std::int32_t MaxSizeA>
void ClearMembers(Product<MaxSizeA>& p) {
  for (std::int32_t t = 1; t <= p.PairList.count; ++t) {
    const ProductElement e = p.PairList.entries[static_cast<std::size_t>(t)];
    p.MemberMatrix[e.a][e.b] = 0;
  }
  p.PairList.count = 0;
}

// Seeds PairList with four distinct ProductPairs indexes (in this order) on a
// cleared matrix and closes them.  Returns true when they generate the product.
template <std::int32_t MaxSizeA>
bool SeedAndClose(Product<MaxSizeA>& p, const std::int32_t (&index)[4]) {
  ClearMembers(p);
  for (std::size_t t = 0; t < 4; ++t) {
    p.PairList.entries[t + 1] = p.ProductPairs[static_cast<std::size_t>(index[t])];
  }
  for (std::int32_t t = 1; t <= 4; ++t) {
    const ProductElement e = p.PairList.entries[static_cast<std::size_t>(t)];
    p.MemberMatrix[e.a][e.b] = 1;
    ++p.PairList.count;
  }
  SubuniverseClosure(p);
  return p.PairList.count == p.productSize;
}

}  // namespace lattice
