#pragma once
// The one check that a factor's two tables are the operations of a lattice,
// for every program: gencount and gensample fall back to the plain closure
// when it fails, genexact stops with its fault.  Every shortcut relies on the
// lattice laws: the corner argument needs absorption and the bounds, genexact's
// orbit argument needs that automorphisms are found from join-irreducibles,
// which holds in lattices only.
//
// The first operation of a file is taken as the join and the second as the
// meet (x <= y :<=> second(x, y) = x).  When a file gives the meet first, the
// check sees the dual lattice; generation, automorphisms and the corner
// argument are the same for a lattice and its dual.
#include <cstdint>
#include <optional>
#include <string>

namespace lattice {

// The two bounds of a lattice, 0..size-1: top
// absorbs everything under the first operation (and is neutral for the
// second), bottom absorbs everything under the second.
struct FactorBounds {
  std::int32_t top;
  std::int32_t bottom;
};

// A factor's two tables as the check reads them (the core's numbering,
// flat_factor.hpp): the first result for x and y is first[x*size + y], likewise
// second, x and y in 0..size-1.
template <class Element>
struct CheckedTables {
  const Element* first;
  const Element* second;
  std::int32_t size;
};

// The outcome: the bounds for a lattice; otherwise the first broken law with a
// witness in the file's numbers, e.g. "the first operation is not associative
// at 1,2,3" (the laws in this order: for the first operation, then the second,
// idempotence, commutativity, associativity; then absorption).
struct LatticeCheck {
  std::optional<FactorBounds> bounds;  // set exactly when the tables are a lattice
  std::string fault;                   // empty exactly when bounds is set
};

// Contract: size >= 1 and the tables are complete; values out of range are
// reported as a fault.  O(size^3 / 64) for a lattice (the order-based test
// decides); only tables that fail it are gone through law by law, O(size^3),
// for the witness.
LatticeCheck CheckLattice(const CheckedTables<std::uint8_t>& t);
LatticeCheck CheckLattice(const CheckedTables<std::uint16_t>& t);

}  // namespace lattice
