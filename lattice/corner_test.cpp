#include "lattice/corner_test.hpp"

namespace lattice {

template <class Element>
CornerTest<Element>::CornerTest(const FlatFactor<Element>& domain, const FlatFactor<Element>& values)
    : domainSize_(domain.size), valueSize_(values.size), domain_(domain), values_(values) {
  lower_ = Side{domain_.join.data(), domain_.meet.data(), values_.join.data(),
                values_.meet.data(), domain_.top,         values_.bottom};
  upper_ = Side{domain_.meet.data(), domain_.join.data(), values_.meet.data(),
                values_.join.data(), domain_.bottom,      values_.top};
  least_.assign(static_cast<std::size_t>(domainSize_), NoElement<Element>);
  queued_.assign(static_cast<std::size_t>(domainSize_), 0);
  work_.reserve(static_cast<std::size_t>(domainSize_));
  rows_.reserve(static_cast<std::size_t>(domainSize_));
}

template <class Element>
bool CornerTest<Element>::Generates(const Element* d, const Element* v) {
  return ReachesCorner(lower_, d, v) && ReachesCorner(upper_, d, v);
}

template <class Element>
bool CornerTest<Element>::ReachesCorner(const Side& side, const Element* d, const Element* v) {
  const int sd = domainSize_;
  const int sv = valueSize_;
  Element* const least = least_.data();
  std::uint8_t* const queued = queued_.data();
  for (const Element r : rows_) {
    least[r] = NoElement<Element>;
    queued[r] = 0;
  }
  rows_.clear();
  work_.clear();
  bool reached = false;
  // Lowers row r to its meet with value; the goal is checked at every change.
  auto lower = [&](Element r, Element value) {
    const Element old = least[r];
    const Element now = old == NoElement<Element> ? value : side.valueMeet[old * sv + value];
    if (now == old) return;
    if (old == NoElement<Element>) rows_.push_back(r);
    least[r] = now;
    if (r == side.goalRow && now == side.goalValue) reached = true;
    if (!queued[r]) {
      queued[r] = 1;
      work_.push_back(r);
    }
  };
  for (int k = 0; k < 4; ++k) lower(d[k], v[k]);
  while (!reached && !work_.empty()) {
    const Element r = work_.back();
    work_.pop_back();
    queued[r] = 0;
    const Element* const joinRow = side.join + FlatCell(r, 0, sd);
    const Element* const meetRow = side.meet + FlatCell(r, 0, sd);
    // rows_ may grow while it is walked; the new rows meet r in their own turn.
    for (std::size_t i = 0; i < rows_.size() && !reached; ++i) {
      const Element s = rows_[i];
      const int mr = least[r] * sv;
      lower(joinRow[s], side.valueJoin[mr + least[s]]);
      lower(meetRow[s], side.valueMeet[mr + least[s]]);
    }
  }
  return reached;
}

// The two widths genexact is built for (genexact/element_width.hpp).
template class CornerTest<std::uint8_t>;
template class CornerTest<std::uint16_t>;

}  // namespace lattice
