#pragma once
// The lattice core's one factor model: a factor lattice in two flat tables
// with element numbers of any width (genexact's tables reach 65535 elements;
// gencount and gensample use bytes, factor_lattice.hpp).  Every piece of the
// core (check, closures, corner tests, extension tables) works on it.
//
// Numbering: the element a table file numbers x (1..size) is x - 1 here,
// 0..size-1, so a number fits the narrowest type that holds size - 1; cell
// (x, y) of a size*size table is at FlatCell(x, y, size) = x*size + y.  The
// file's numbers live on only in OperationTables (operation_tables.hpp) and
// in Product's fixed storage (product.hpp); both are turned into this model
// once, when a run starts.
//
// The first operation of a file is the join, the second the meet, as the
// lattice check reads them: for a file that gives the meet first this is the
// dual lattice, which has the same generating sets and automorphisms.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lattice/lattice_check.hpp"
#include "lattice/operation_tables.hpp"

namespace lattice {

// The position of (x, y), both 0-based, in a flat size*size table.
inline std::size_t FlatCell(std::int32_t x, std::int32_t y, std::int32_t size) {
  return static_cast<std::size_t>(x) * static_cast<std::size_t>(size) + static_cast<std::size_t>(y);
}

// The most elements a factor may have in each width: every number the width
// holds but its largest, a byte Equ(6)'s 203, two bytes Equ(8)'s 4140.  Beyond
// Equ(8) memory is the limit, not the width: the tables take 4 size^2 bytes
// (17 GB at 65535 elements), which genexact states and checks before it
// allocates them.  Scratch of fixed size (the corner fixpoint, about 1.6 MB a
// thread in two bytes) is sized by it; size^2 fits std::size_t.
template <class Element>
inline constexpr std::int32_t MaxFlatElements = sizeof(Element) == 1 ? 255 : 65535;

// Element is std::uint8_t or std::uint16_t (the instantiations flat_factor.cpp provides).
template <class Element>
struct FlatFactor {
  std::int32_t size = 0;
  std::vector<Element>
      join;  // join[FlatCell(x, y, size)]: the file's first result for (x+1, y+1), less 1; x, y in 0..size-1
  std::vector<Element> meet;  // meet[FlatCell(x, y, size)]: the file's second result, less 1
  Element top = 0;            // absorbing for join; 0 until CheckFactor succeeds
  Element bottom = 0;         // absorbing for meet; likewise

  Element Join(std::int32_t x, std::int32_t y) const { return join[FlatCell(x, y, size)]; }
  Element Meet(std::int32_t x, std::int32_t y) const { return meet[FlatCell(x, y, size)]; }
  bool Leq(std::int32_t x, std::int32_t y) const { return Join(x, y) == y; }
};

// Builds a factor from a file's tables, first as join and second as meet.
// Contract: every value lies in 1..size and size - 1 fits Element.
template <class Element>
FlatFactor<Element> MakeFlatFactor(const OperationTables& tables);

// The lattice check on the factor's tables; sets top and bottom when they are
// a lattice.
template <class Element>
LatticeCheck CheckFactor(FlatFactor<Element>& factor);

// The dual lattice: join and meet, top and bottom exchanged.
template <class Element>
FlatFactor<Element> Dual(const FlatFactor<Element>& factor);

// The join-irreducible elements, increasing: not the bottom, and not the
// join of the elements strictly below.  Contract: bounds set.
template <class Element>
std::vector<Element> JoinIrreducibles(const FlatFactor<Element>& factor);

}  // namespace lattice
