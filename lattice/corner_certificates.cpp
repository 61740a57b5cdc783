#include "lattice/corner_certificates.hpp"

namespace lattice {

template <class Element>
SubsetBounds FindSubsetBounds(const FlatFactor<Element>& f, const Element* elements, int size) {
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

// The two widths genexact is built for (genexact/element_width.hpp).
template SubsetBounds FindSubsetBounds(const FlatFactor<std::uint8_t>&, const std::uint8_t*, int);
template SubsetBounds FindSubsetBounds(const FlatFactor<std::uint16_t>&, const std::uint16_t*, int);

}  // namespace lattice
