#include "genexact/corner_certificates.hpp"

namespace genexact::inline GENEXACT_WIDTH {

SubsetBounds FindSubsetBounds(const FactorLattice& f, const Element* elements, int size) {
  SubsetBounds bounds;
  for (unsigned q = 0; q < (1U << size); ++q) {
    int join = f.bottom;
    int meet = f.top;
    for (int k = 0; k < size; ++k) {
      if (q >> k & 1U) {
        join = f.Join(join, elements[k]);
        meet = f.Meet(meet, elements[k]);
      }
    }
    if (join != f.top) bounds.joinBelowTop = static_cast<std::uint16_t>(bounds.joinBelowTop | 1U << q);
    if (meet != f.bottom) bounds.meetAboveBottom = static_cast<std::uint16_t>(bounds.meetAboveBottom | 1U << q);
  }
  return bounds;
}

}  // namespace genexact
