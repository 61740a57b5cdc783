#include "lattice/triple_refutation.hpp"

#include <algorithm>
#include <bit>

namespace lattice {

namespace {

constexpr int Bottom = 0;  // labels of M3
constexpr int Top = 1;

constexpr int Meet(int a, int b) { return a == Top ? b : b == Top ? a : a == b ? a : Bottom; }

constexpr int Digit(int code, int p) {
  for (; p > 0; --p) code /= 5;
  return code % 5;
}

// The code with its atoms renamed 2, 3, 4 in order of first appearance.
constexpr int Canonical(int code) {
  std::array<int, 5> name = {Bottom, Top, -1, -1, -1};
  int next = 2;
  int canonical = 0;
  int scale = 1;
  for (int p = 0; p < 4; ++p, scale *= 5) {
    const int label = Digit(code, p);
    if (name[static_cast<std::size_t>(label)] < 0) name[static_cast<std::size_t>(label)] = next++;
    canonical += name[static_cast<std::size_t>(label)] * scale;
  }
  return canonical;
}

struct ShapeTables {
  std::array<std::uint8_t, TripleCodeCount> index{};                  // index[code]: its labelling
  std::array<std::array<std::uint8_t, 4>, TripleCodeCount> digits{};  // digits[code][p]: position p's label
  std::array<std::array<std::uint8_t, 4>, TripleShapeCount>
      labels{};  // labels[s][p]: position p's label in labelling s
};

constexpr ShapeTables MakeShapeTables() {
  ShapeTables t{};
  std::array<int, TripleCodeCount> ofCanonical{};  // ofCanonical[c]: the index given to canonical code c
  for (int& i : ofCanonical) i = -1;
  int count = 0;
  for (int code = 0; code < TripleCodeCount; ++code) {
    for (int p = 0; p < 4; ++p) {
      t.digits[static_cast<std::size_t>(code)][static_cast<std::size_t>(p)] = static_cast<std::uint8_t>(Digit(code, p));
    }
    const int canonical = Canonical(code);
    int& s = ofCanonical[static_cast<std::size_t>(canonical)];
    if (s < 0) {
      s = count++;
      for (int p = 0; p < 4; ++p) {
        t.labels[static_cast<std::size_t>(s)][static_cast<std::size_t>(p)] =
            static_cast<std::uint8_t>(Digit(canonical, p));
      }
    }
    t.index[static_cast<std::size_t>(code)] = static_cast<std::uint8_t>(s);
  }
  return count == TripleShapeCount ? t : throw "the labellings are not TripleShapeCount";
}

constexpr ShapeTables Shapes = MakeShapeTables();

}  // namespace

template <class Element>
std::optional<TripleRefutation<Element>> TripleRefutation<Element>::Make(const JoinCovers<Element>& valueCovers) {
  const std::optional<AtomPoints> valueAtoms = FindAtomPoints(valueCovers);
  if (!valueAtoms || valueAtoms->points < 3) return std::nullopt;
  TripleRefutation r;
  r.valuePairs_.assign(valueCovers.belowOf.size(), 0);
  for (std::size_t v = 0; v < valueCovers.belowOf.size(); ++v) {
    for (std::uint64_t rest = valueCovers.belowOf[v]; rest != 0; rest &= rest - 1) {
      const auto [a, b] = valueAtoms->ends[static_cast<std::size_t>(std::countr_zero(rest))];
      r.valuePairs_[v] |= std::uint64_t{1} << (8 * a + b);
    }
  }
  const int m = valueAtoms->points;
  for (int a = 0; a < m; ++a) {
    for (int b = a + 1; b < m; ++b) {
      for (int c = b + 1; c < m; ++c) r.triples_.push_back({a, b, c});
    }
  }
  return r;
}

template <class Element>
TripleShapes TripleRefutation<Element>::RefutingShapes(const FlatFactor<Element>& domain, const Element* set,
                                                       int size) {
  std::array<Element, 16> join{};  // join[q]: the join of the set's elements at the positions in q
  join[0] = domain.bottom;
  for (unsigned q = 1; q < 16; ++q) {
    const int p = std::countr_zero(q);
    const Element rest = join[q & (q - 1)];
    join[q] = p < size ? domain.Join(rest, set[p]) : rest;
  }
  TripleShapes refuting{};
  for (int s = 0; s < TripleShapeCount; ++s) {
    std::array<unsigned, 5> at{};  // at[label]: the positions with that label
    for (unsigned p = 0; p < 4; ++p) at[Shapes.labels[static_cast<std::size_t>(s)][p]] |= 1U << p;
    // The least Z and E1, E2, E3 (an Ei with no positions is Z itself).
    Element z = join[at[Bottom]];
    while (z != domain.top) {
      const Element e1 = domain.Join(z, join[at[2]]);
      const Element e2 = domain.Join(z, join[at[3]]);
      const Element e3 = domain.Join(z, join[at[4]]);
      const Element raised =
          domain.Join(domain.Join(z, domain.Meet(e1, e2)), domain.Join(domain.Meet(e1, e3), domain.Meet(e2, e3)));
      if (raised == z) break;
      z = raised;
    }
    if (z != domain.top) refuting[static_cast<std::size_t>(s / 64)] |= std::uint64_t{1} << (s % 64);
  }
  return refuting;
}

template <class Element>
std::vector<std::uint16_t> TripleRefutation<Element>::ValueCodes(const Element* set, int size) const {
  std::vector<std::uint16_t> codes;
  for (const auto& [a, b, c] : triples_) {
    int code = 0;
    int scale = 1;
    for (int q = 0; q < 4; ++q, scale *= 5) {
      int label = Top;
      if (q < size) {
        const std::uint64_t pairs = valuePairs_[static_cast<std::size_t>(set[q])];
        const bool ab = (pairs >> (8 * a + b) & 1U) != 0;
        const bool ac = (pairs >> (8 * a + c) & 1U) != 0;
        const bool bc = (pairs >> (8 * b + c) & 1U) != 0;
        label = ab && ac ? Top : ab ? 2 : ac ? 3 : bc ? 4 : Bottom;
      }
      code += label * scale;
    }
    if (code != 0) codes.push_back(static_cast<std::uint16_t>(code));
  }
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  return codes;
}

template <class Element>
int TripleRefutation<Element>::ShapeOf(std::uint16_t code, const std::uint8_t* spread) {
  // A position paired once (every position, when the projections are
  // 4-sets) takes its value position's label as it is.
  const std::array<std::uint8_t, 4>& digits = Shapes.digits[code];
  int labelling = 0;
  int scale = 1;
  for (int p = 0; p < 4; ++p, scale *= 5) {
    const unsigned paired = spread[1U << p];
    int label = Top;
    if ((paired & (paired - 1)) == 0) {
      if (paired != 0) label = digits[static_cast<std::size_t>(std::countr_zero(paired))];
    } else {
      for (unsigned rest = paired; rest != 0; rest &= rest - 1) {
        label = Meet(label, digits[static_cast<std::size_t>(std::countr_zero(rest))]);
      }
    }
    labelling += label * scale;
  }
  return Shapes.index[static_cast<std::size_t>(labelling)];
}

// The two widths genexact is built for (genexact/element_width.hpp).
template class TripleRefutation<std::uint8_t>;
template class TripleRefutation<std::uint16_t>;

}  // namespace lattice
