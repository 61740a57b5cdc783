#pragma once
// The product Equ(n) x Equ(m) in memory: the two factors' operation tables, the
// derived sizes, the fixed enumeration of product elements, and the working
// storage in which one subset is grown into the sublattice it generates.
//
// Everything has a fixed capacity and is filled once by the table reader; the
// drivers then only read the tables and reuse PairList and MemberMatrix.
// Indexes are 1-based, as the table files number the elements.
#include <array>
#include <cstdint>

namespace lattice {

// Capacity of the second factor's tables: Equ(6) has 203 elements.
inline constexpr std::int32_t MaxFactorSize = 203;

// BellNumbers[k] = B(k) = |Equ(k)|, k in 1..10 (index 0 unused).
inline constexpr std::array<std::int32_t, 11> BellNumbers = {0, 1, 2, 5, 15, 52, 203, 877, 4140, 21147, 115975};

// A factor element number, 1..size.  Sizes never exceed 203, so a byte holds
// one and a table row of Equ(6) fits in a few cache lines.
using FactorElement = std::uint8_t;

template <std::int32_t Capacity>
struct FactorTables {
  // firstOp[x][y]: the first result the file gives for (x, y); x, y in 1..size.
  FactorElement firstOp[Capacity + 1][Capacity + 1];
  // secondOp[x][y]: the second result for (x, y); x, y in 1..size.
  FactorElement secondOp[Capacity + 1][Capacity + 1];
};

// One product element: a in 1..sizeA (Equ(n)), b in 1..sizeB (Equ(m)).
struct ProductElement {
  std::int32_t a;
  std::int32_t b;
};

inline bool operator==(const ProductElement& x, const ProductElement& y) { return x.a == y.a && x.b == y.b; }

// The whole state of one program: MaxSizeA is 52 in gencount, 203 in gensample.
template <std::int32_t MaxSizeA_>
struct Product {
  static constexpr std::int32_t MaxSizeA = MaxSizeA_;
  static constexpr std::int32_t MaxProductSize = MaxSizeA * MaxFactorSize;

  std::int32_t sizeA = 0;        // |Equ(n)|
  std::int32_t sizeB = 0;        // |Equ(m)|
  std::int32_t productSize = 0;  // N = sizeA * sizeB
  double totalSubsets = 0;       // C(N, 4), exact below 2^53

  FactorTables<MaxSizeA> factorA;       // Equ(n)
  FactorTables<MaxFactorSize> factorB;  // Equ(m)

  // ProductPairs[k], k in 1..N: the element (a, b) with k = (a-1)*sizeB + b.
  std::array<ProductElement, MaxProductSize + 1> ProductPairs;

  // The sublattice being grown, in order of discovery: entries[1..count].
  struct {
    std::array<ProductElement, MaxProductSize + 1> entries;
    std::int32_t count;      // entries in use
    std::int32_t passStart;  // count at the start of the closure's current pass
  } PairList;

  // MemberMatrix[a][b] = 1 exactly when (a, b) is among PairList entries 1..count;
  // a in 1..sizeA, b in 1..sizeB.
  std::uint8_t MemberMatrix[MaxSizeA + 1][MaxFactorSize + 1];
};

// C(N, 4), the number of 4-element subsets of N elements, exactly; 0 for
// N < 4.  It needs more than 64 bits from N = 2^16 on: Equ(6) x Equ(7) has
// C(178031, 4), about 4.2e19, 4-element subsets.
__extension__ typedef unsigned __int128 WideCount;
WideCount FourSubsets(std::uint64_t productSize);

// C(N, 4) for the fixed products of gencount and gensample, which fit 64 bits;
// one that does not ends the run with the overflow stop.
std::uint64_t SubsetCount(std::int64_t productSize);

// Sets sizeA, sizeB, productSize and totalSubsets for Equ(n) x Equ(m).
template <std::int32_t MaxSizeA>
void SetSizes(Product<MaxSizeA>& p, std::int32_t n, std::int32_t m);

// Fills ProductPairs[1..productSize] from sizeA and sizeB.
template <std::int32_t MaxSizeA>
void BuildProductPairs(Product<MaxSizeA>& p);

}  // namespace lattice

#include "lattice/product_impl.hpp"
