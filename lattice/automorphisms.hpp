#pragma once
// The automorphism group of a finite lattice, found by a search of its own.
//
// An automorphism maps join-irreducibles onto join-irreducibles and keeps
// order and joins; every element is the join of the join-irreducibles below
// it, so the images of the join-irreducibles fix the whole map.  The search
// assigns those images one by one, pruned by order and by which assigned
// irreducibles lie below each pairwise join, and every complete assignment is
// extended and checked against both whole tables.  The search runs on the
// lattice or its dual, whichever has fewer join-irreducibles.  nauty would do the search
// too, but the lattices here are small and a dependency was not worth it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lattice/flat_factor.hpp"

namespace lattice {

// A map of the factor onto itself: image[x] for x in 0..size-1.
template <class Element>
using Permutation = std::vector<Element>;

// Element is std::uint8_t or std::uint16_t (the instantiations automorphisms.cpp provides).
template <class Element>
struct AutomorphismGroup {
  std::vector<Permutation<Element>> elements;  // every group element once, identity first
  bool complete = true;                        // false: only a point stabilizer, see below
  std::size_t Order() const { return elements.size(); }
};

// Groups larger than this are not listed: the orbit search applies every
// element to every least set.  Any subgroup still counts correctly, so a
// larger group is replaced by the stabilizer of its first join-irreducibles,
// the largest such stabilizer within the limit.  8! lists Equ(8)'s whole
// group: with the 1440 elements of the stabilizer that the earlier limit of
// 5040 left, Equ(8) would have some 10^8 orbits instead of 5 million.
inline constexpr std::size_t MaxListedAutomorphisms = 40320;
// The listed maps take at most this much memory (a map is size elements), so
// that a large lattice with a large group gets a subgroup instead of
// gigabytes: Equ(8)'s whole group takes 334 MB in two-byte numbers.
inline constexpr std::size_t MaxListedAutomorphismBytes = std::size_t{512} << 20;

// Contract: lattice satisfies the lattice laws with top and bottom set.
// Returns Aut(lattice), or a subgroup of it with complete = false, of at most
// limit elements and MaxListedAutomorphismBytes.
template <class Element>
AutomorphismGroup<Element> FindAutomorphisms(const FlatFactor<Element>& lattice,
                                             std::size_t limit = MaxListedAutomorphisms);

// images[x * Order() + g] = group.elements[g][x], x < size: the images of
// one element under every listed map side by side.  A pass over the whole
// group that looks at a few elements (the orbit search, the stabilizers of
// its sets) then streams through a few rows instead of missing the cache
// in every map: Equ(8)'s 40320 maps take 8 KB each.
template <class Element>
std::vector<Element> ImagesByElement(const AutomorphismGroup<Element>& group, std::size_t size);

}  // namespace lattice
