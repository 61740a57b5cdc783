#include "lattice/corner_fixpoint.hpp"

#include <algorithm>
#include <stdexcept>

namespace lattice {

template <class Element>
CornerFixpoint<Element>::CornerFixpoint(const FlatFactor<Element>& index, const FlatFactor<Element>& value)
    : index_(index), value_(value), topI_(index.top), bottomI_(index.bottom), topV_(value.top), bottomV_(value.bottom) {
  if (index.size > static_cast<std::int32_t>(Capacity)) {
    throw std::logic_error("CornerFixpoint: the index factor is too large");
  }
}

template <class Element>
void CornerFixpoint<Element>::Clear() {
  for (std::int32_t t = 0; t < defined_; ++t)
    isDefined_[static_cast<std::size_t>(list_[static_cast<std::size_t>(t)])] = 0;
  defined_ = 0;
  lo_.Drop();
  hi_.Drop();
}

template <class Element>
void CornerFixpoint<Element>::AddSeed(std::int32_t i, std::int32_t v) {
  const auto at = static_cast<std::size_t>(i);
  if (isDefined_[at] == 0) {
    Define(i, v, v);
    return;
  }
  lo_.Lower(i, value_.Meet(lo_.value[at], v));
  hi_.Lower(i, value_.Join(hi_.value[at], v));
}

template <class Element>
void CornerFixpoint<Element>::Seed(const Element* i, const Element* v) {
  Clear();
  for (std::int32_t t = 0; t < 4; ++t) AddSeed(i[t], v[t]);
}

template <class Element>
bool CornerFixpoint<Element>::Generates(const Element* i, const Element* v) {
  Seed(i, v);
  return Run(true);
}

template <class Element>
bool CornerFixpoint<Element>::ReachesLowerCorner(const Element* i, const Element* v) {
  Seed(i, v);
  while (!lo_.Empty() && !LoCornerIn()) Process<true>(lo_.Pop());
  return LoCornerIn();
}

template <class Element>
bool CornerFixpoint<Element>::ReachesUpperCorner(const Element* i, const Element* v) {
  Seed(i, v);
  while (!hi_.Empty() && !HiCornerIn()) Process<false>(hi_.Pop());
  return HiCornerIn();
}

template <class Element>
bool CornerFixpoint<Element>::Run(bool decide) {
  while (!lo_.Empty()) {
    if (decide && LoCornerIn()) break;
    Process<true>(lo_.Pop());
  }
  if (decide && !LoCornerIn()) return false;
  while (!hi_.Empty()) {
    if (decide && HiCornerIn()) break;
    Process<false>(hi_.Pop());
  }
  return LoCornerIn() && HiCornerIn();
}

template <class Element>
void CornerFixpoint<Element>::Save() {
  const auto cells = static_cast<std::size_t>(index_.size);
  std::copy_n(lo_.value.begin(), cells, savedLo_.begin());
  std::copy_n(hi_.value.begin(), cells, savedHi_.begin());
  std::copy_n(isDefined_.begin(), cells, savedIsDefined_.begin());
  std::copy_n(list_.begin(), defined_, savedList_.begin());
  savedDefined_ = defined_;
}

template <class Element>
void CornerFixpoint<Element>::Restore() {
  lo_.Drop();
  hi_.Drop();
  const auto cells = static_cast<std::size_t>(index_.size);
  std::copy_n(savedLo_.begin(), cells, lo_.value.begin());
  std::copy_n(savedHi_.begin(), cells, hi_.value.begin());
  std::copy_n(savedIsDefined_.begin(), cells, isDefined_.begin());
  std::copy_n(savedList_.begin(), savedDefined_, list_.begin());
  defined_ = savedDefined_;
}

template <class Element>
void CornerFixpoint<Element>::Define(std::int32_t k, std::int32_t lo, std::int32_t hi) {
  isDefined_[static_cast<std::size_t>(k)] = 1;
  lo_.value[static_cast<std::size_t>(k)] = static_cast<Element>(lo);
  hi_.value[static_cast<std::size_t>(k)] = static_cast<Element>(hi);
  list_[static_cast<std::size_t>(defined_++)] = k;
  lo_.Push(k);
  hi_.Push(k);
}

// Combines i with every defined j on one side: (i join j, f(i) join f(j)) and
// (i meet j, f(i) meet f(j)) are in S for f = lo and f = hi.  An index met for
// the first time gets both of its values.
template <class Element>
template <bool IsLo>
void CornerFixpoint<Element>::Process(std::int32_t i) {
  Side& side = IsLo ? lo_ : hi_;
  Side& other = IsLo ? hi_ : lo_;
  const std::int32_t sizeV = value_.size;
  const Element* const i1 = index_.join.data() + FlatCell(i, 0, index_.size);
  const Element* const i2 = index_.meet.data() + FlatCell(i, 0, index_.size);
  // Values of i read here may be outdated by an update of i inside the loop;
  // they still lie in S, and i is queued again.
  const std::int32_t fi = side.value[static_cast<std::size_t>(i)];
  const Element* const f1 = value_.join.data() + FlatCell(fi, 0, sizeV);
  const Element* const f2 = value_.meet.data() + FlatCell(fi, 0, sizeV);
  // The fold that moves this side towards its target.
  const Element* const fold = IsLo ? value_.meet.data() : value_.join.data();
  for (std::int32_t t = 0; t < defined_; ++t) {
    const std::int32_t j = list_[static_cast<std::size_t>(t)];
    const std::int32_t fj = side.value[static_cast<std::size_t>(j)];
    const std::int32_t joinIndex = i1[j];
    const std::int32_t meetIndex = i2[j];
    if (isDefined_[static_cast<std::size_t>(joinIndex)] == 0) {
      const std::int32_t g =
          value_.Join(other.value[static_cast<std::size_t>(i)], other.value[static_cast<std::size_t>(j)]);
      if (IsLo) {
        Define(joinIndex, f1[fj], g);
      } else {
        Define(joinIndex, g, f1[fj]);
      }
    } else {
      side.Lower(joinIndex, fold[FlatCell(side.value[static_cast<std::size_t>(joinIndex)], f1[fj], sizeV)]);
    }
    if (isDefined_[static_cast<std::size_t>(meetIndex)] == 0) {
      const std::int32_t g =
          value_.Meet(other.value[static_cast<std::size_t>(i)], other.value[static_cast<std::size_t>(j)]);
      if (IsLo) {
        Define(meetIndex, f2[fj], g);
      } else {
        Define(meetIndex, g, f2[fj]);
      }
    } else {
      side.Lower(meetIndex, fold[FlatCell(side.value[static_cast<std::size_t>(meetIndex)], f2[fj], sizeV)]);
    }
  }
}

// gencount and gensample use the byte width; genexact both (genexact/element_width.hpp).
template class CornerFixpoint<std::uint8_t>;
template class CornerFixpoint<std::uint16_t>;

}  // namespace lattice
