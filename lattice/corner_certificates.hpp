#pragma once
// A cheap proof that a relation does not generate, tried before the cover
// fixpoints.
//
// For an element p < top of D and an element w > bottom of V the set
//   {(d, v) : d <= p or v >= w}
// is a sublattice of D x V (a join stays below p only if both parts do, and
// otherwise one part's second coordinate is >= w; meets likewise) without
// (top, bottom).  It holds the relation when every pair (s_d, s_v) has
// s_d <= p or s_v >= w.  Such p and w exist exactly when for some set P of
// the pairs the join of their first coordinates is below top and the meet
// of the second coordinates of the others is above bottom.  Mirrored, with
// the factors exchanged, the same refutes (bottom, top).  On
// Equ(6)xEqu(6) this settles most failing relations with 14 look-ups
// instead of a fixpoint.
#include <array>
#include <cstdint>

#include "lattice/flat_factor.hpp"

namespace lattice {

// For the elements at positions 0..size-1 of one set: bit q of joinBelowTop
// is set when the join of the positions in q (a 4-bit mask) is not top,
// bit q of meetAboveBottom when their meet is not bottom.  Bit 0 (the empty
// set) is set in both: its join is bottom and its meet is top.
struct SubsetBounds {
  std::uint16_t joinBelowTop = 0;
  std::uint16_t meetAboveBottom = 0;
};

// Contract: 1 <= size <= 4, elements of f.  For the positions in q that
// exist; a q with missing positions is never asked for.
template <class Element>
SubsetBounds FindSubsetBounds(const FlatFactor<Element>& f, const Element* elements, int size);

// The 14 splits of a relation's four pairs into two non-empty parts P and
// Q, as positions in the two sets: nibble 0 holds the positions in the
// D-set of the pairs in P, nibble 1 those in the V-set of the pairs in Q,
// nibble 2 those in the V-set of P, nibble 3 those in the D-set of Q.  Made
// once per relation pattern, so that a test reads them instead of
// gathering the positions again (a sixth of the refutation's time).
using CornerSplits = std::array<std::uint16_t, 14>;

// Contract: first[k] and second[k] < 4 are the positions, in the D-set and
// the V-set, of the k-th pair of a relation.
constexpr CornerSplits MakeCornerSplits(const std::array<std::uint8_t, 4>& first,
                                        const std::array<std::uint8_t, 4>& second) {
  CornerSplits splits{};
  for (unsigned p = 1; p < 15; ++p) {
    unsigned firstIn = 0;   // positions in the D-set of the pairs in p
    unsigned firstOut = 0;  // and of the others
    unsigned secondIn = 0;
    unsigned secondOut = 0;
    for (unsigned k = 0; k < 4; ++k) {
      if (p >> k & 1U) {
        firstIn |= 1U << first[k];
        secondIn |= 1U << second[k];
      } else {
        firstOut |= 1U << first[k];
        secondOut |= 1U << second[k];
      }
    }
    splits[p - 1] = static_cast<std::uint16_t>(firstIn | secondOut << 4 | secondIn << 8 | firstOut << 12);
  }
  return splits;
}

// Contract: splits == MakeCornerSplits(first, second) of a relation between
// the sets with bounds d and v.  True when a sublattice as above holds the
// relation and misses (top of D, bottom of V) or (bottom of D, top of V):
// the relation then does not generate D x V.
inline bool CornerRefuted(const CornerSplits& splits, SubsetBounds d, SubsetBounds v) {
  unsigned found = 0;  // bit 0, no branch per split
  for (const std::uint16_t s : splits) {
    found |= (d.joinBelowTop >> (s & 15U)) & (v.meetAboveBottom >> (s >> 4 & 15U));
    found |= (v.joinBelowTop >> (s >> 8 & 15U)) & (d.meetAboveBottom >> (s >> 12));
  }
  return (found & 1U) != 0;
}

}  // namespace lattice
