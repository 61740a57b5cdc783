#include "lattice/split_refutation.hpp"

#include <vector>

namespace lattice {

template <class Element>
bool SplitRefutation<Element>::UnionsAreProper(const FlatFactor<Element>& f) {
  std::vector<Element> atoms;
  std::vector<Element> coatoms;
  for (int x = 0; x < f.size; ++x) {
    bool atom = x != f.bottom;
    bool coatom = x != f.top;
    for (int y = 0; y < f.size && (atom || coatom); ++y) {
      if (y == x) continue;
      if (y != f.bottom && f.Leq(y, x)) atom = false;
      if (y != f.top && f.Leq(x, y)) coatom = false;
    }
    if (atom) atoms.push_back(static_cast<Element>(x));
    if (coatom) coatoms.push_back(static_cast<Element>(x));
  }
  if (atoms.empty() || coatoms.empty()) return false;  // a lattice of one element
  long budget = 20'000'000;
  for (const Element c : coatoms) {
    for (const Element t : atoms) {
      bool missed = false;
      for (int x = 0; x < f.size && !missed; ++x) {
        missed = !f.Leq(x, c) && !f.Leq(t, x);
        if (--budget < 0) return false;
      }
      if (!missed) return false;
    }
  }
  return true;
}

// The two widths genexact is built for (genexact/element_width.hpp).
template class SplitRefutation<std::uint8_t>;
template class SplitRefutation<std::uint16_t>;

}  // namespace lattice
