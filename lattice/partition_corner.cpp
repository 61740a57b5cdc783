#include "lattice/partition_corner.hpp"

#include <algorithm>
#include <bit>
#include <numeric>
#include <utility>

namespace lattice {

namespace {

// Spread[b]: byte i is bit i of b, i < 8.  Spreads eight atoms' bits of one
// below-mask into one byte each.
constexpr std::array<std::uint64_t, 256> MakeSpread() {
  std::array<std::uint64_t, 256> table{};
  for (unsigned b = 0; b < 256; ++b) {
    for (unsigned i = 0; i < 8; ++i) table[b] |= static_cast<std::uint64_t>(b >> i & 1U) << (8 * i);
  }
  return table;
}
constexpr std::array<std::uint64_t, 256> Spread = MakeSpread();

// Contract: pairs holds slots x * 8 + y in both orders, x, y < k.  True when
// those pairs connect all k points: grows the points reached from point 0 by
// the rows of those already reached, all eight rows in one word.
bool ConnectsAll(std::uint64_t pairs, int k) {
  const unsigned all = (1U << k) - 1;
  unsigned reached = 1;
  for (unsigned before = 0; reached != before;) {
    before = reached;
    std::uint64_t rows = pairs & Spread[reached] * 0xFF;
    rows |= rows >> 32;
    rows |= rows >> 16;
    rows |= rows >> 8;
    reached |= static_cast<unsigned>(rows & 0xFF);
  }
  return reached == all;
}

// Writes f(J[i]) = valueOf(i) into value[x * 8 + y] and value[y * 8 + x] for
// each atom J[i] = xy; returns the slots of the values below top and the
// slots of those at bottom (0 in the height numbering).
template <class Element, class AtomValue>
std::pair<std::uint64_t, std::uint64_t> FillValues(const PartitionCornerTables<Element>& tables, AtomValue valueOf,
                                                   Element* value) {
  std::uint64_t open = 0;
  std::uint64_t zero = 0;
  const Element top = tables.values.top;
  const std::size_t count = tables.atoms.ends.size();
  for (std::size_t i = 0; i < count; ++i) {
    const Element f = valueOf(i);
    const auto [x, y] = tables.atoms.ends[i];
    value[x * MaxPartitionPoints + y] = value[y * MaxPartitionPoints + x] = f;
    const std::uint64_t slots = tables.slotsOf[i];
    open |= f != top ? slots : 0;
    zero |= f == 0 ? slots : 0;
  }
  return {open, zero};
}

}  // namespace

template <class Element>
std::optional<AtomPoints> FindAtomPoints(const JoinCovers<Element>& covers) {
  const auto count = static_cast<int>(covers.irreducibles.size());
  int k = 2;
  while (k * (k - 1) / 2 < count) ++k;
  if (count == 0 || k * (k - 1) / 2 != count || k > MaxPartitionPoints) return std::nullopt;
  if (static_cast<int>(covers.covers.size()) != k * (k - 1) * (k - 2) / 2) return std::nullopt;
  // third[a][b]: the irreducible below the join of a and b, -1 for none.
  std::array<std::array<int, MaxCoverIrreducibles>, MaxCoverIrreducibles> third{};
  for (auto& row : third) row.fill(-1);
  std::array<std::uint64_t, MaxCoverIrreducibles>
      adjacent{};  // adjacent[i]: the irreducibles that share a cover with i
  for (const JoinCover& c : covers.covers) {
    if (c.first == c.second || third[c.first][c.second] >= 0) return std::nullopt;
    third[c.first][c.second] = third[c.second][c.first] = c.below;
    adjacent[c.first] |= std::uint64_t{1} << c.second;
    adjacent[c.second] |= std::uint64_t{1} << c.first;
  }
  AtomPoints result;
  result.points = k;
  result.ends.resize(static_cast<std::size_t>(count));
  if (k <= 3) {
    // Equ(2) has one atom, Equ(3) three that all play the same part.
    const std::array<std::array<std::uint8_t, 2>, 3> pairs = {{{0, 1}, {0, 2}, {1, 2}}};
    std::copy_n(pairs.begin(), count, result.ends.begin());
  } else {
    // The atoms through one point: two atoms ab, ac with the atoms that
    // share a cover with both, less the third side bc.
    std::vector<std::uint64_t> stars;
    for (int i = 0; i < count; ++i) {
      for (std::uint64_t rest = adjacent[static_cast<std::size_t>(i)]; rest != 0; rest &= rest - 1) {
        const int a = std::countr_zero(rest);
        const std::uint64_t star =
            (std::uint64_t{1} << i | std::uint64_t{1} << a |
             (adjacent[static_cast<std::size_t>(i)] & adjacent[static_cast<std::size_t>(a)])) &
            ~(std::uint64_t{1} << third[static_cast<std::size_t>(i)][static_cast<std::size_t>(a)]);
        if (std::find(stars.begin(), stars.end(), star) == stars.end()) stars.push_back(star);
      }
    }
    if (static_cast<int>(stars.size()) != k) return std::nullopt;
    for (int i = 0; i < count; ++i) {
      int found = 0;
      for (int x = 0; x < k; ++x) {
        if ((stars[static_cast<std::size_t>(x)] >> i & 1U) == 0) continue;
        if (found == 2) return std::nullopt;
        result.ends[static_cast<std::size_t>(i)][static_cast<std::size_t>(found++)] = static_cast<std::uint8_t>(x);
      }
      if (found != 2) return std::nullopt;
    }
  }
  // Each pair of points is one irreducible...
  std::vector<int> atomOf(static_cast<std::size_t>(k * k), -1);
  for (int i = 0; i < count; ++i) {
    const auto [x, y] = result.ends[static_cast<std::size_t>(i)];
    const int at = x * k + y;
    int& slot = atomOf[static_cast<std::size_t>(at)];
    if (slot >= 0) return std::nullopt;
    slot = i;
  }
  // ...and each cover is a triangle's third side below the other two: with
  // as many covers as triangle sides and none repeated, they are all of them.
  for (const JoinCover& c : covers.covers) {
    const auto [a0, a1] = result.ends[c.first];
    const auto [b0, b1] = result.ends[c.second];
    const int shared = a0 == b0 || a0 == b1 ? a0 : a1 == b0 || a1 == b1 ? a1 : -1;
    if (shared < 0) return std::nullopt;
    const int x = a0 == shared ? a1 : a0;  // the other ends, distinct as the pairs are
    const int y = b0 == shared ? b1 : b0;
    const int at = std::min(x, y) * k + std::max(x, y);
    if (atomOf[static_cast<std::size_t>(at)] != c.below) return std::nullopt;
  }
  return result;
}

template <class Element>
std::vector<Element> HeightNumbering(const FlatFactor<Element>& f) {
  const auto n = static_cast<std::size_t>(f.size);
  // Fewer elements below comes first in any chain: an order to fill heights in.
  std::vector<int> downSize(n, 0);
  for (std::int32_t x = 0; x < f.size; ++x) {
    for (std::int32_t y = 0; y < f.size; ++y) downSize[static_cast<std::size_t>(x)] += f.Leq(y, x) ? 1 : 0;
  }
  std::vector<std::int32_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::int32_t x, std::int32_t y) {
    return downSize[static_cast<std::size_t>(x)] < downSize[static_cast<std::size_t>(y)];
  });
  std::vector<int> height(n, 0);
  for (std::size_t p = 0; p < n; ++p) {
    const std::int32_t x = order[p];
    for (std::size_t q = 0; q < p; ++q) {
      const std::int32_t y = order[q];
      if (f.Leq(y, x) && y != x) {
        height[static_cast<std::size_t>(x)] =
            std::max(height[static_cast<std::size_t>(x)], height[static_cast<std::size_t>(y)] + 1);
      }
    }
  }
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::int32_t x, std::int32_t y) {
    return height[static_cast<std::size_t>(x)] < height[static_cast<std::size_t>(y)];
  });
  std::vector<Element> number(n);
  for (std::size_t p = 0; p < n; ++p) number[static_cast<std::size_t>(order[p])] = static_cast<Element>(p);
  return number;
}

template <class Element>
FlatFactor<Element> Renumbered(const FlatFactor<Element>& f, const std::vector<Element>& number) {
  FlatFactor<Element> r;
  r.size = f.size;
  r.join.resize(f.join.size());
  r.meet.resize(f.meet.size());
  for (std::int32_t x = 0; x < f.size; ++x) {
    for (std::int32_t y = 0; y < f.size; ++y) {
      const std::size_t to = FlatCell(number[static_cast<std::size_t>(x)], number[static_cast<std::size_t>(y)], f.size);
      r.join[to] = number[f.Join(x, y)];
      r.meet[to] = number[f.Meet(x, y)];
    }
  }
  r.top = number[f.top];
  r.bottom = number[f.bottom];
  return r;
}

template <class Element>
std::optional<PartitionCornerTables<Element>> MakePartitionCornerTables(const JoinCovers<Element>& covers,
                                                                        const FlatFactor<Element>& values) {
  std::optional<AtomPoints> atoms = FindAtomPoints(covers);
  if (!atoms) return std::nullopt;
  PartitionCornerTables<Element> tables;
  tables.atoms = std::move(*atoms);
  tables.number = HeightNumbering(values);
  tables.values = Renumbered(values, tables.number);
  for (std::size_t i = 0; i < tables.atoms.ends.size(); ++i) {
    const auto [x, y] = tables.atoms.ends[i];
    tables.slotsOf[i] = std::uint64_t{1} << (x * MaxPartitionPoints + y) | std::uint64_t{1}
                                                                               << (y * MaxPartitionPoints + x);
  }
  const int k = tables.atoms.points;
  for (int x = 0; x < k; ++x) {
    for (int y = x + 1; y < k; ++y) {
      const std::uint64_t slot = std::uint64_t{1} << (x * MaxPartitionPoints + y);
      tables.pairs |= slot;
      tables.pairsOf[static_cast<std::size_t>(x)] |= slot;
      tables.pairsOf[static_cast<std::size_t>(y)] |= slot;
    }
  }
  return tables;
}

template <class Element>
PartitionCorner<Element>::PartitionCorner(const JoinCovers<Element>& covers,
                                          const PartitionCornerTables<Element>& tables)
    : covers_(covers), tables_(tables) {}

template <class Element>
void PartitionCorner<Element>::DomainPositions(const Element* set, int size, std::uint8_t* positions) const {
  // Byte j % 8 of above[j / 8]: the positions p with J[j] <= set[p], j < |J| <= 28.
  std::array<std::uint64_t, 4> above{};
  for (int p = 0; p < size; ++p) {
    const std::uint64_t below = covers_.belowOf[set[p]];
    for (unsigned c = 0; c < 4; ++c) above[c] |= Spread[below >> (8 * c) & 0xFF] << p;
  }
  const std::size_t count = tables_.atoms.ends.size();
  for (std::size_t j = 0; j < count; ++j) positions[j] = static_cast<std::uint8_t>(above[j / 8] >> (8 * (j % 8)) & 15);
}

template <class Element>
void PartitionCorner<Element>::SubsetMeets(const Element* set, int size, Element* meets) const {
  const FlatFactor<Element>& values = tables_.values;
  const auto sv = static_cast<std::size_t>(values.size);
  const Element* const meet = values.meet.data();
  meets[0] = values.top;
  for (int p = 0; p < 4; ++p) meets[1U << p] = p < size ? tables_.number[set[p]] : values.top;
  // Each from two smaller sets, so that no look-up waits for more than one other.
  for (const unsigned q : {3U, 5U, 6U, 9U, 10U, 12U}) meets[q] = meet[meets[q & (q - 1)] * sv + meets[q & -q]];
  for (const unsigned q : {7U, 11U, 13U, 14U}) meets[q] = meet[meets[q & (q - 1)] * sv + meets[q & -q]];
  meets[15] = meet[meets[3] * sv + meets[12]];
}

template <class Element>
bool PartitionCorner<Element>::ReachesSpread(const std::uint8_t* positions, const Element* meets,
                                             const std::uint8_t* spread) const {
  std::array<Element, 64> value;  // value[x * 8 + y]: f(xy), x != y < k; other cells unused
  const auto [open, zero] = FillValues(
      tables_, [&](std::size_t j) { return meets[spread[positions[j]]]; }, value.data());
  return Run(value.data(), open, zero);
}

template <class Element>
bool PartitionCorner<Element>::Reaches(const Element* d, const Element* v) const {
  // The generators as two sets of four, each generator at its own position.
  static constexpr std::array<std::uint8_t, 16> same = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  std::array<std::uint8_t, MaxPartitionAtoms> positions;
  std::array<Element, 16> meets;
  DomainPositions(d, 4, positions.data());
  SubsetMeets(v, 4, meets.data());
  return ReachesSpread(positions.data(), meets.data(), same.data());
}

template <class Element>
bool PartitionCorner<Element>::ReachesFrom(const Element* start) const {
  std::array<Element, 64> value;
  const auto [open, zero] = FillValues(
      tables_, [&](std::size_t j) { return start[j]; }, value.data());
  return Run(value.data(), open, zero);
}

template <class Element>
bool PartitionCorner<Element>::Run(Element* value, std::uint64_t open, std::uint64_t zero) const {
  constexpr int W = MaxPartitionPoints;
  const int k = tables_.atoms.points;
  // Bottom pairs that connect all points already: every point merges.
  if (zero != 0 && ConnectsAll(zero, k)) return true;
  const FlatFactor<Element>& values = tables_.values;
  const auto sv = static_cast<std::size_t>(values.size);
  const Element* const join = values.join.data();
  const Element* const meet = values.meet.data();
  constexpr Element bottom = 0;        // height numbering
  unsigned points = (1U << k) - 1;     // the points not merged into another
  std::uint64_t live = tables_.pairs;  // the pairs of those points
  std::uint64_t pass = 0;              // the pairs to look at again in this pass, after slot s
  std::uint64_t later = 0;             // and in the next pass
  int s = 0;                           // the pair looked at
  auto lower = [&](int x, int z, Element m) {
    value[x * W + z] = value[z * W + x] = m;
    open |= std::uint64_t{1} << (x * W + z) | std::uint64_t{1} << (z * W + x);
    // Its own bounds did not change: the pairs that share one point with it.
    const std::uint64_t touched =
        tables_.pairsOf[static_cast<std::size_t>(x)] ^ tables_.pairsOf[static_cast<std::size_t>(z)];
    const std::uint64_t ahead = ~std::uint64_t{1} << s;
    pass |= touched & ahead;
    later |= touched & ~ahead;
  };
  // Merges z into x (f(xz) is bottom), then every point whose pair with x
  // falls to bottom on the way; true when one point is left.
  auto merge = [&](int x, int z) {
    for (;;) {
      points &= ~(1U << z);
      live &= ~tables_.pairsOf[static_cast<std::size_t>(z)];
      if ((points & (points - 1)) == 0) return true;
      int next = -1;
      for (unsigned rest = points & ~(1U << x); rest != 0; rest &= rest - 1) {
        const int w = std::countr_zero(rest);
        const Element now = value[x * W + w];
        const Element m = meet[now * sv + value[z * W + w]];
        if (m != now) lower(x, w, m);
        if (m == bottom) next = w;
      }
      if (next < 0) return false;
      z = next;
    }
  };
  for (std::uint64_t rest = zero & live; rest != 0;) {
    s = std::countr_zero(rest);
    rest &= rest - 1;
    if (value[s] == bottom && merge(s / W, s % W)) return true;
    rest &= live;  // the pairs of merged points are gone
  }
  // Pairs are taken in slot order, pass after pass: one lowered is looked at
  // again in this pass when its slot comes after s, in the next otherwise.
  pass = live;
  later = 0;
  for (;;) {
    pass &= live;
    if (pass == 0) {
      pass = later & live;
      later = 0;
      if (pass == 0) return false;
    }
    s = std::countr_zero(pass);
    pass &= pass - 1;
    const int x = s / W;
    const int z = s % W;
    const Element* const fromX = value + x * W;
    const Element* const fromZ = value + z * W;
    // The third points y with f(xy) and f(yz) both below top (no point is
    // its own third: open never holds a slot x * 8 + x).
    unsigned ys = points & static_cast<unsigned>(open >> (x * W) & open >> (z * W) & 0xFF);
    // Two chains of meets, so that their look-ups overlap: one from the
    // pair's value, one from the first bound.
    const Element before = value[s];
    Element m = before;
    if (ys != 0) {
      const int first = std::countr_zero(ys);
      ys &= ys - 1;
      Element other = join[fromX[first] * sv + fromZ[first]];
      for (; (ys & (ys - 1)) != 0; ys &= ys - 1, ys &= ys - 1) {
        const int y = std::countr_zero(ys);
        const int y2 = std::countr_zero(ys & (ys - 1));
        m = meet[m * sv + join[fromX[y] * sv + fromZ[y]]];
        other = meet[other * sv + join[fromX[y2] * sv + fromZ[y2]]];
      }
      if (ys != 0) {
        const int y = std::countr_zero(ys);
        m = meet[m * sv + join[fromX[y] * sv + fromZ[y]]];
      }
      m = meet[m * sv + other];
    }
    if (m == before) continue;
    lower(x, z, m);
    if (m == bottom && merge(x, z)) return true;
  }
}

// The two widths genexact is built for (genexact/element_width.hpp).
template std::optional<AtomPoints> FindAtomPoints(const JoinCovers<std::uint8_t>&);
template std::optional<AtomPoints> FindAtomPoints(const JoinCovers<std::uint16_t>&);
template std::vector<std::uint8_t> HeightNumbering(const FlatFactor<std::uint8_t>&);
template std::vector<std::uint16_t> HeightNumbering(const FlatFactor<std::uint16_t>&);
template FlatFactor<std::uint8_t> Renumbered(const FlatFactor<std::uint8_t>&, const std::vector<std::uint8_t>&);
template FlatFactor<std::uint16_t> Renumbered(const FlatFactor<std::uint16_t>&, const std::vector<std::uint16_t>&);
template std::optional<PartitionCornerTables<std::uint8_t>> MakePartitionCornerTables(const JoinCovers<std::uint8_t>&,
                                                                                      const FlatFactor<std::uint8_t>&);
template std::optional<PartitionCornerTables<std::uint16_t>> MakePartitionCornerTables(
    const JoinCovers<std::uint16_t>&, const FlatFactor<std::uint16_t>&);
template class PartitionCorner<std::uint8_t>;
template class PartitionCorner<std::uint16_t>;

}  // namespace lattice
