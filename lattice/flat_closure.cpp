#include "lattice/flat_closure.hpp"

#include <algorithm>

namespace lattice {

template <class Element>
FlatClosure<Element>::FlatClosure(const FlatFactor<Element>& factor)
    : f_(factor), list_(static_cast<std::size_t>(factor.size)), member_(static_cast<std::size_t>(factor.size), 0) {}

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

template <class Element>
IncrementalFlatClosure<Element>::IncrementalFlatClosure(const FlatFactor<Element>& factor) : f_(factor) {
  const std::vector<Element> joinIrreducible = JoinIrreducibles(factor);
  const std::vector<Element> meetIrreducible = JoinIrreducibles(Dual(factor));
  const bool joins = joinIrreducible.size() <= meetIrreducible.size();
  target_.assign(static_cast<std::size_t>(factor.size), 0);
  for (const Element e : joins ? joinIrreducible : meetIrreducible) target_[e] = 1;
  target_[joins ? factor.bottom : factor.top] = 1;
  targetCount_ = static_cast<std::int32_t>(std::count(target_.begin(), target_.end(), 1));
  member_.assign(static_cast<std::size_t>(factor.size), 0);
  list_.reserve(static_cast<std::size_t>(factor.size));
}

template <class Element>
void IncrementalFlatClosure<Element>::SetBase(const Element* set, std::int32_t k) {
  for (const Element e : list_) member_[e] = 0;
  list_.clear();
  found_ = 0;
  for (std::int32_t i = 0; i < k; ++i) Add(set[i]);
  Close(0, false);
  baseSize_ = list_.size();
  baseFound_ = found_;
}

template <class Element>
bool IncrementalFlatClosure<Element>::GeneratesWith(Element x) {
  if (BaseIsAll()) return true;
  Add(x);
  const bool all = Close(baseSize_, true);
  for (std::size_t i = baseSize_; i < list_.size(); ++i) member_[list_[i]] = 0;
  list_.resize(baseSize_);
  found_ = baseFound_;
  return all;
}

template <class Element>
bool IncrementalFlatClosure<Element>::Close(std::size_t from, bool stopEarly) {
  const auto size = static_cast<std::size_t>(f_.size);
  for (std::size_t i = from; i < list_.size(); ++i) {
    const Element e = list_[i];
    const Element* const joinRow = f_.join.data() + e * size;
    const Element* const meetRow = f_.meet.data() + e * size;
    for (std::size_t j = 0; j < i; ++j) {
      const Element o = list_[j];
      Add(joinRow[o]);
      Add(meetRow[o]);
    }
    if (stopEarly && found_ == targetCount_) return true;
  }
  return found_ == targetCount_;
}

// The two widths genexact is built for (genexact/element_width.hpp).
template class FlatClosure<std::uint8_t>;
template class FlatClosure<std::uint16_t>;
template class IncrementalFlatClosure<std::uint8_t>;
template class IncrementalFlatClosure<std::uint16_t>;

}  // namespace lattice
