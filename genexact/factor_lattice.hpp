#pragma once
// One factor lattice as genexact holds it: 0-based element numbers in one or two bytes,
// both operations as flat tables, and the two bounds.
//
// The first operation of the table file is taken as the join and the second
// as the meet, as the lattice check (lattice/lattice_check.hpp) reads them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "genexact/element_width.hpp"
#include "lattice/lattice_check.hpp"

namespace genexact::inline GENEXACT_WIDTH {

// A factor element, 0..size-1: two bytes in the wide build, one in the
// narrow one (see element_width.hpp).
#if GENEXACT_WIDE_ELEMENTS
using Element = std::uint16_t;
inline constexpr int MaxWidthElements = MaxFactorElements;
#else
using Element = std::uint8_t;
inline constexpr int MaxWidthElements = NarrowMaxElements;
#endif

// The largest value is kept free as a mark for "no element" in the corner test.
inline constexpr Element NoElement = static_cast<Element>(~Element{0});
static_assert(MaxWidthElements <= NoElement, "NoElement must not be an element number");

// The position of (x, y) in a flat size*size table.
inline std::size_t CellIndex(int x, int y, int size) {
  return static_cast<std::size_t>(x) * static_cast<std::size_t>(size) + static_cast<std::size_t>(y);
}

struct FactorLattice {
  int size = 0;
  std::vector<Element> join;  // join[x*size+y]: the file's first result for (x+1, y+1), less 1
  std::vector<Element> meet;  // meet[x*size+y]: the file's second result, less 1
  Element top = 0;            // absorbing for join
  Element bottom = 0;         // absorbing for meet

  Element Join(int x, int y) const { return join[CellIndex(x, y, size)]; }
  Element Meet(int x, int y) const { return meet[CellIndex(x, y, size)]; }
  bool Leq(int x, int y) const { return Join(x, y) == y; }
};

// Builds a factor from the reader's flat tables (1-based values, row x-1,
// column y-1).  top and bottom are left at 0 until CheckFactor succeeds.
FactorLattice MakeFactor(int size, const std::vector<std::int32_t>& firstOp,
                         const std::vector<std::int32_t>& secondOp);

// The lattice check on the factor's tables; sets top and bottom when they are
// a lattice.
lattice::LatticeCheck CheckFactor(FactorLattice& factor);

// The dual lattice: join and meet, top and bottom exchanged.
FactorLattice Dual(const FactorLattice& lattice);

}  // namespace genexact
