#include "lattice/flat_closure.hpp"

#include <algorithm>
#include <cstdint>

namespace lattice {

template <class Element>
FlatClosure<Element>::FlatClosure(const FlatFactor<Element>& factor)
    : f_(factor), list_(static_cast<std::size_t>(factor.size)), member_(static_cast<std::size_t>(factor.size), 0) {}

template <class Element>
bool FlatClosure<Element>::Generates(const Element* set, std::int32_t count) {
  Reset();
  for (std::int32_t t = 0; t < count; ++t) Append(set[t]);
  return CloseFrom(0, nullptr);
}

template <class Element>
void FlatClosure<Element>::Truncate(std::int32_t count) {
  for (std::int32_t t = count; t < count_; ++t) member_[list_[static_cast<std::size_t>(t)]] = 0;
  count_ = count;
}

template <class Element>
bool FlatClosure<Element>::CloseFrom(std::int32_t previous, const std::uint8_t* stop) {
  // Locals, not members, in the loop: a byte stored to member may alias
  // anything in memory, which would load the members again each time.
  const std::int32_t size = f_.size;
  Element* const list = list_.data();
  std::uint8_t* const member = member_.data();
  std::int32_t count = count_;
  auto stopsIn = [&](std::int32_t from) {
    if (count == size) return true;
    if (stop == nullptr) return false;
    for (std::int32_t t = from; t < count; ++t) {
      if (stop[list[t]] != 0) return true;
    }
    return false;
  };
  bool stopped = stopsIn(previous);
  while (!stopped && previous < count) {
    const std::int32_t passEnd = count;
    for (std::int32_t i = 0; i < passEnd && !stopped; ++i) {
      const Element* const joinRow = f_.join.data() + FlatCell(list[i], 0, size);
      const Element* const meetRow = f_.meet.data() + FlatCell(list[i], 0, size);
      const std::int32_t before = count;
      // Both operations commute: a pair of two new elements is formed once.
      for (std::int32_t j = previous > i ? previous : i; j < passEnd; ++j) {
        for (const Element e : {joinRow[list[j]], meetRow[list[j]]}) {
          if (member[e] == 0) {
            member[e] = 1;
            list[count++] = e;
          }
        }
      }
      stopped = stopsIn(before);
    }
    previous = passEnd;
  }
  count_ = count;
  return stopped;
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
  verdict_.assign(static_cast<std::size_t>(factor.size), 0);
  list_.reserve(static_cast<std::size_t>(factor.size));
}

template <class Element>
void IncrementalFlatClosure<Element>::SetBase(const Element* set, std::int32_t k) {
  for (const Element e : list_) member_[e] = 0;
  list_.clear();
  found_ = 0;
  if (++epoch_ > UINT32_MAX / 2 - 1) {  // the marks would wrap: forget them all
    std::fill(verdict_.begin(), verdict_.end(), 0);
    epoch_ = 1;
  }
  reachedGenerator_ = false;
  for (std::int32_t i = 0; i < k; ++i) Add(set[i]);
  Close(0, false);
  baseSize_ = list_.size();
  baseFound_ = found_;
}

template <class Element>
bool IncrementalFlatClosure<Element>::GeneratesWith(Element x) {
  if (BaseIsAll()) return true;
  if (verdict_[x] == FailsMark()) return false;
  if (verdict_[x] == GeneratesMark()) return true;
  reachedGenerator_ = false;
  Add(x);
  const bool all = Close(baseSize_, true);
  if (all) {
    verdict_[x] = GeneratesMark();
  } else {
    // Close went to the end: list_ is the closed sublattice of the base and x.
    for (const Element e : list_) verdict_[e] = FailsMark();
  }
  for (std::size_t i = baseSize_; i < list_.size(); ++i) member_[list_[i]] = 0;
  list_.resize(baseSize_);
  found_ = baseFound_;
  return all;
}

template <class Element>
bool IncrementalFlatClosure<Element>::Generates(const Element* set, std::int32_t count) {
  SetBase(set, 0);
  for (std::int32_t i = 0; i < count; ++i) Add(set[i]);
  const bool all = Close(0, true);
  SetBase(set, 0);
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
    if (stopEarly && (found_ == targetCount_ || reachedGenerator_)) return true;
  }
  return found_ == targetCount_ || reachedGenerator_;
}

// The two widths genexact is built for (genexact/element_width.hpp).
template class FlatClosure<std::uint8_t>;
template class FlatClosure<std::uint16_t>;
template class IncrementalFlatClosure<std::uint8_t>;
template class IncrementalFlatClosure<std::uint16_t>;

}  // namespace lattice
