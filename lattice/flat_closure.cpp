#include "lattice/flat_closure.hpp"

namespace lattice {

template <class Element>
FlatClosure<Element>::FlatClosure(const FlatFactor<Element>& factor)
    : f_(factor),
      list_(static_cast<std::size_t>(factor.size)),
      member_(static_cast<std::size_t>(factor.size), 0) {}

template <class Element>
bool FlatClosure<Element>::Generates(const Element* set, std::int32_t count) {
  for (std::int32_t t = 0; t < count_; ++t) member_[list_[static_cast<std::size_t>(t)]] = 0;
  count_ = 0;
  for (std::int32_t t = 0; t < count; ++t) Add(set[t]);
  // Semi-naive passes: each pass pairs every known element with those that
  // are new since the pass before.
  std::int32_t previous = 0;
  while (previous < count_) {
    const std::int32_t passEnd = count_;
    for (std::int32_t i = 0; i < passEnd; ++i) {
      const Element x = list_[static_cast<std::size_t>(i)];
      for (std::int32_t j = previous > i ? previous : i; j < passEnd; ++j) {
        const Element y = list_[static_cast<std::size_t>(j)];
        Add(f_.Join(x, y));
        Add(f_.Meet(x, y));
      }
    }
    if (count_ == f_.size) return true;
    previous = passEnd;
  }
  return count_ == f_.size;
}

// The two widths genexact is built for (genexact/element_width.hpp).
template class FlatClosure<std::uint8_t>;
template class FlatClosure<std::uint16_t>;

}  // namespace lattice
