#pragma once
// Fills a Product straight from in-memory lattice tables, for tests that need
// a model without going through table files.
#include <optional>

#include "lattice/operation_tables.hpp"
#include "lattice/product.hpp"
#include "optables/equ_tables.hpp"

namespace testsupport {

// The tables of Equ(k), renumbered from numberingSeed when one is given.
inline lattice::OperationTables EquTables(int k, std::optional<std::uint64_t> numberingSeed = std::nullopt) {
  lattice::OperationTables t = optables::BuildEquTables(k);
  if (numberingSeed) t = optables::Renumber(t, optables::ShuffledNumbering(t.size, *numberingSeed));
  return t;
}

template <std::int32_t Capacity>
void FillFactor(lattice::FactorTables<Capacity>& f, const lattice::OperationTables& t, bool meetFirst) {
  for (int x = 1; x <= t.size; ++x) {
    for (int y = 1; y <= t.size; ++y) {
      const int first = t.First(x, y);
      const int second = t.Second(x, y);
      f.firstOp[x][y] = static_cast<lattice::FactorElement>(meetFirst ? second : first);
      f.secondOp[x][y] = static_cast<lattice::FactorElement>(meetFirst ? first : second);
    }
  }
}

// Sizes, both factors and ProductPairs of Equ(n) x Equ(m) as the reader would
// leave them; a and b are the tables of Equ(n) and Equ(m) in any numbering.
template <std::int32_t MaxSizeA>
void FillProduct(lattice::Product<MaxSizeA>& p, int n, int m, const lattice::OperationTables& a,
                 const lattice::OperationTables& b, bool meetFirst = false) {
  lattice::SetSizes(p, n, m);
  FillFactor(p.factorA, a, meetFirst);
  FillFactor(p.factorB, b, meetFirst);
  lattice::BuildProductPairs(p);
}

}  // namespace testsupport
