#pragma once
// A cheap proof that a set does not generate.  For a < top and b > bottom,
// the union of the ideal below a and the filter above b is a sublattice (the
// join of a member of each is above b, their meet below a).  When every
// such union misses an element of the lattice, a set that splits into a
// part with join below top and a part with meet above bottom generates no
// more than that union.  The unions all miss an element as soon as the ones
// for a coatom and an atom do (each union lies in one of those), which the
// constructor checks once.  In genexact's search of Equ(6) about 98 % of the
// closed candidates did not generate, each at the cost of a whole
// sub-closure; the split settles 100732 of those 103836.  The joins and meets
// of the parts of a base set S are shared by all its candidates.
#include <array>
#include <bit>

#include "lattice/flat_factor.hpp"

namespace lattice {

// Element is std::uint8_t or std::uint16_t (the instantiations split_refutation.cpp provides).
template <class Element>
class SplitRefutation {
 public:
  // Contract: f satisfies the lattice laws, bounds set.
  explicit SplitRefutation(const FlatFactor<Element>& f) : usable_(UnionsAreProper(f)) {}

  // The joins and meets of every part of a base set S, kept for its
  // candidates: part q (a mask of positions) has join joins[q], meet meets[q].
  struct Parts {
    std::array<Element, 8> joins{};
    std::array<Element, 8> meets{};
  };
  // Inline with Refutes: both run once per candidate of the orbit search.
  static Parts PartsOf(const FlatFactor<Element>& f, const Element* s, int k) {
    Parts parts;
    parts.joins[0] = f.bottom;
    parts.meets[0] = f.top;
    for (unsigned q = 1; q < (1U << k); ++q) {
      const unsigned low = static_cast<unsigned>(std::countr_zero(q));
      parts.joins[q] = f.Join(parts.joins[q & (q - 1)], s[low]);
      parts.meets[q] = f.Meet(parts.meets[q & (q - 1)], s[low]);
    }
    return parts;
  }

  // Contract: parts from PartsOf(f, S, k), 0 <= k <= 3.  True when a split of
  // S u {x} as above shows that it does not generate.
  bool Refutes(const FlatFactor<Element>& f, const Parts& parts, int k, Element x) const {
    if (!usable_) return false;
    const unsigned all = (1U << k) - 1;
    // The part with the join below top holds the positions q of S, and x
    // (the other part is then rest, not empty) or not (q is then not empty).
    for (unsigned q = 0; q <= all; ++q) {
      const unsigned rest = all ^ q;
      if (rest != 0 && f.Join(parts.joins[q], x) != f.top && parts.meets[rest] != f.bottom) return true;
      if (q != 0 && parts.joins[q] != f.top && f.Meet(parts.meets[rest], x) != f.bottom) return true;
    }
    return false;
  }

 private:
  // True when for every coatom c and atom t some element is neither below c
  // nor above t.  Gives up (false) on lattices where checking would cost
  // more than the closures it could save.
  static bool UnionsAreProper(const FlatFactor<Element>& f);

  bool usable_;
};

}  // namespace lattice
