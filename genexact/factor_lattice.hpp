#pragma once
// One factor lattice as genexact holds it: 0-based element numbers in two bytes,
// both operations as flat tables, and the two bounds.
//
// The first operation of the table file is taken as the join and the second
// as the meet.  When a file gives the meet first, genexact works on the dual
// lattice; generation, automorphisms and the corner argument are the same for
// a lattice and its dual, so the count does not change.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace genexact {

// A factor element, 0..size-1.  Two bytes: Equ(7) has 877 elements.  Measured
// against bytes on Equ(5)xEqu(6) and Equ(4)xEqu(6), the wider tables cost no
// time that the runs could show (see the README); one type keeps every part
// of genexact a single instance.
using Element = std::uint16_t;

// Largest factor size.  The reader checks the lattice laws in size^3 steps
// and the tables take 4 size^2 bytes, so this is a practical bound, well above
// B(7) = 877; 0xFFFF stays free as a mark for "no element" in the corner test.
inline constexpr int MaxFactorElements = 4095;
inline constexpr Element NoElement = 0xFFFF;
static_assert(MaxFactorElements < NoElement, "NoElement must not be an element number");

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
// column y-1).  top and bottom are left at 0 until FindBounds succeeds.
FactorLattice MakeFactor(int size, const std::vector<std::int32_t>& firstOp,
                         const std::vector<std::int32_t>& secondOp);

// Sets top and bottom; false when join or meet has no absorbing element.
bool FindBounds(FactorLattice& lattice);

// The dual lattice: join and meet, top and bottom exchanged.
FactorLattice Dual(const FactorLattice& lattice);

}  // namespace genexact
