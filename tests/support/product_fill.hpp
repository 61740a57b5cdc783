#pragma once
// Fills a Product straight from in-memory lattice tables, for tests that need
// a model without going through table files.
#include <memory>
#include <optional>

#include "lattice/operation_tables.hpp"
#include "lattice/product.hpp"
#include "optables/equ_tables.hpp"

namespace testsupport {

// The tables of Equ(k), renumbered from numberingSeed when one is given.
inline lattice::OperationTables EquTables(int k, std::optional<std::uint64_t> numberingSeed = std::nullopt) {
  lattice::OperationTables t = lattice::BuildEquTables(k);
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

// Sizes, both factors and ProductPairs of A x B as the reader would leave
// them; a and b are the tables of any lattices (Equ(n) and Equ(m) in any
// numbering for the programs), given join first.
template <std::int32_t MaxSizeA>
void FillProduct(lattice::Product<MaxSizeA>& p, const lattice::OperationTables& a, const lattice::OperationTables& b,
                 bool meetFirst = false) {
  p.sizeA = a.size;
  p.sizeB = b.size;
  p.productSize = a.size * b.size;
  p.totalSubsets = static_cast<double>(lattice::SubsetCount(p.productSize));
  FillFactor(p.factorA, a, meetFirst);
  FillFactor(p.factorB, b, meetFirst);
  lattice::BuildProductPairs(p);
}

// A product on the heap (too large for a stack), zeroed like the programs'
// static storage, then filled.
template <class P>
std::unique_ptr<P> NewProduct(const lattice::OperationTables& a, const lattice::OperationTables& b,
                              bool meetFirst = false) {
  auto p = std::make_unique<P>();
  FillProduct(*p, a, b, meetFirst);
  return p;
}

}  // namespace testsupport
