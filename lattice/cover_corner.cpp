#include "lattice/cover_corner.hpp"

#include <bit>

namespace lattice {

namespace {

// Adds to `set` every irreducible that follows from it by covers.
std::uint64_t CloseUnderCovers(std::uint64_t set, const std::vector<JoinCover>& covers) {
  for (bool grown = true; grown;) {
    grown = false;
    for (const JoinCover& c : covers) {
      const std::uint64_t bit = std::uint64_t{1} << c.below;
      if ((set & bit) == 0 && (set >> c.first & 1) != 0 && (set >> c.second & 1) != 0) {
        set |= bit;
        grown = true;
      }
    }
  }
  return set;
}

}  // namespace

template <class Element>
std::optional<JoinCovers<Element>> FindJoinCovers(const FlatFactor<Element>& f) {
  JoinCovers<Element> result;
  result.irreducibles = JoinIrreducibles(f);
  const std::size_t count = result.irreducibles.size();
  if (count > static_cast<std::size_t>(MaxCoverIrreducibles)) return std::nullopt;
  const auto& J = result.irreducibles;
  result.belowOf.assign(static_cast<std::size_t>(f.size), 0);
  for (int d = 0; d < f.size; ++d) {
    for (std::size_t i = 0; i < count; ++i) {
      if (f.Leq(J[i], d)) result.belowOf[static_cast<std::size_t>(d)] |= std::uint64_t{1} << i;
    }
  }
  auto above = [&](std::size_t i, std::uint64_t bit) { return (result.belowOf[J[i]] & bit) != 0; };
  for (std::size_t j = 0; j < count; ++j) {
    const auto bitJ = std::uint64_t{1} << j;
    for (std::size_t a = 0; a < count; ++a) {
      if (a == j) continue;
      if (above(a, bitJ)) {
        result.covers.push_back(
            {static_cast<std::uint8_t>(j), static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a)});
        continue;
      }
      for (std::size_t b = a + 1; b < count; ++b) {
        if (b == j || above(b, bitJ)) continue;
        if ((result.belowOf[f.Join(J[a], J[b])] & bitJ) != 0) {
          result.covers.push_back(
              {static_cast<std::uint8_t>(j), static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)});
        }
      }
    }
  }
  // The covers must explain every join: the irreducibles below d join e
  // follow from those below d or below e.  It is enough to ask for e in J:
  // with e = j1 join ... join jr, adding one irreducible at a time keeps the
  // irreducibles below the running join inside the closure.  (Those below
  // one element are closed already: each cover's join stays below it.)
  for (int d = 0; d < f.size; ++d) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint64_t joined = result.belowOf[f.Join(d, J[i])];
      const std::uint64_t both = result.belowOf[static_cast<std::size_t>(d)] | result.belowOf[J[i]];
      if (both != joined && CloseUnderCovers(both, result.covers) != joined) return std::nullopt;
    }
  }
  return result;
}

template <class Element>
CoverCorner<Element>::CoverCorner(const JoinCovers<Element>& covers, const FlatFactor<Element>& values)
    : covers_(covers),
      valueJoin_(values.join.data()),
      valueMeet_(values.meet.data()),
      valueSize_(values.size),
      valueTop_(values.top),
      valueBottom_(values.bottom) {}

template <class Element>
bool CoverCorner<Element>::Reaches(const Element* d, const Element* v) {
  const std::size_t count = covers_.irreducibles.size();
  if (count == 0) return true;  // a one-element domain: its top is its bottom
  const auto sv = static_cast<std::size_t>(valueSize_);
  Element* const f = least_.data();
  for (std::size_t i = 0; i < count; ++i) f[i] = valueTop_;
  for (int k = 0; k < 4; ++k) {
    for (std::uint64_t below = covers_.belowOf[d[k]]; below != 0; below &= below - 1) {
      const auto i = static_cast<std::size_t>(std::countr_zero(below));
      f[i] = valueMeet_[f[i] * sv + v[k]];
    }
  }
  std::size_t above = 0;  // values not yet bottom
  for (std::size_t i = 0; i < count; ++i) above += f[i] != valueBottom_;
  const JoinCover* const begin = covers_.covers.data();
  const JoinCover* const end = begin + covers_.covers.size();
  if (above == 0) return true;
  for (bool lowered = true; lowered;) {
    lowered = false;
    for (const JoinCover* c = begin; c != end; ++c) {
      const Element bound = valueJoin_[f[c->first] * sv + f[c->second]];
      const Element now = valueMeet_[f[c->below] * sv + bound];
      if (now != f[c->below]) {
        f[c->below] = now;
        lowered = true;
        if (now == valueBottom_ && --above == 0) return true;
      }
    }
  }
  return false;
}

// The two widths genexact is built for (genexact/element_width.hpp).
template std::optional<JoinCovers<std::uint8_t>> FindJoinCovers(const FlatFactor<std::uint8_t>&);
template std::optional<JoinCovers<std::uint16_t>> FindJoinCovers(const FlatFactor<std::uint16_t>&);
template class CoverCorner<std::uint8_t>;
template class CoverCorner<std::uint16_t>;

}  // namespace lattice
