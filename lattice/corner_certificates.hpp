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

// Contract: first[k] and second[k] are the positions, in the sets with bounds
// d and v, of the k-th pair of a relation.  True when a sublattice as above
// holds the relation and misses (top of D, bottom of V) or (bottom of D, top
// of V): the relation then does not generate D x V.
inline bool CornerRefuted(const std::array<std::uint8_t, 4>& first, const std::array<std::uint8_t, 4>& second,
                          SubsetBounds d, SubsetBounds v) {
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
    if ((d.joinBelowTop >> firstIn & 1U) != 0 && (v.meetAboveBottom >> secondOut & 1U) != 0) return true;
    if ((v.joinBelowTop >> secondIn & 1U) != 0 && (d.meetAboveBottom >> firstOut & 1U) != 0) return true;
  }
  return false;
}

}  // namespace lattice
