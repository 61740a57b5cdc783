#pragma once
// The generating sets of at most four elements of one factor, one set per
// orbit of the automorphism group, with the size of its orbit.
//
// A set is listed when, as a sorted tuple, it is the lexicographically least
// of its images.  That property passes to the set without its largest
// element (the k-th least element of a set is at most that of any subset
// image), so the sets grow element by element and a set that is not least is
// never extended.
#include <array>
#include <cstdint>
#include <vector>

#include "genexact/automorphisms.hpp"
#include "genexact/factor_lattice.hpp"

namespace genexact {

inline constexpr int SubsetSize = 4;

struct GeneratingSet {
  std::array<Element, SubsetSize> elements{};  // elements[0..size-1], increasing
  int size = 0;                                 // 1..4
  std::uint64_t orbitSize = 0;                  // |group| / |stabilizer|
};

// Contract: lattice satisfies the laws.  True when the k elements at `set`
// generate the whole lattice under join and meet.
bool Generates(const FactorLattice& lattice, const Element* set, int k);

// One representative of every orbit of `group` on the generating sets of 1
// to 4 elements, ordered by size, then lexicographically.
std::vector<GeneratingSet> GeneratingSetOrbits(const FactorLattice& lattice, const AutomorphismGroup& group);

}  // namespace genexact
