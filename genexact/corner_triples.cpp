#include "genexact/corner_triples.hpp"

#include <cassert>

namespace genexact::inline GENEXACT_WIDTH {

std::optional<CornerTriples> MakeCornerTriples(const FactorLattice& domain, const JoinCovers& valueCovers,
                                               bool domainIsOuter, const std::vector<GeneratingSet>& outer,
                                               const std::vector<GeneratingSet>& inner, const PatternTable& patterns) {
  std::optional<TripleRefutation> refutation = TripleRefutation::Make(valueCovers);
  if (!refutation) return std::nullopt;
  CornerTriples t{std::move(*refutation), domainIsOuter, {}, {}, {}};
  for (const GeneratingSet& s : domainIsOuter ? outer : inner) {
    t.shapes.push_back(TripleRefutation::RefutingShapes(domain, s.elements.data(), s.size));
  }
  if (domainIsOuter) {
    for (const GeneratingSet& s : inner) t.innerCodes.push_back(t.refutation.ValueCodes(s.elements.data(), s.size));
  }
  std::array<bool, SubsetSize + 1> innerSize{};
  std::array<bool, SubsetSize + 1> outerSize{};
  for (const GeneratingSet& s : inner) innerSize[static_cast<std::size_t>(s.size)] = true;
  for (const GeneratingSet& s : outer) outerSize[static_cast<std::size_t>(s.size)] = true;
  for (std::size_t p = 1; p <= SubsetSize; ++p) {
    for (std::size_t q = 1; q <= SubsetSize; ++q) {
      if (!innerSize[p] || !outerSize[q]) continue;
      for (const RelationPattern& r : patterns[p][q]) {
        // The corner's domain positions are paired with its values' ones.
        const std::uint8_t* spread = domainIsOuter ? r.secondToFirst.data() : r.firstToSecond.data();
        std::array<std::uint8_t, lattice::TripleCodeCount>& row = t.labellings[p][q].emplace_back();
        for (std::size_t code = 0; code < row.size(); ++code) {
          row[code] = static_cast<std::uint8_t>(TripleRefutation::ShapeOf(static_cast<std::uint16_t>(code), spread));
        }
      }
    }
  }
  return t;
}

UnitTriples::UnitTriples(const std::array<std::optional<CornerTriples>, 2>& corners, std::size_t u,
                         const GeneratingSet& outer, const PatternTable& patterns)
    : patterns_(&patterns), outerSize_(outer.size) {
  for (std::size_t c = 0; c < 2; ++c) {
    if (!corners[c]) continue;
    Corner& corner = corners_[c];
    corner.triples = &*corners[c];
    if (corner.triples->domainIsOuter) {
      outerShapes_[c] = &corner.triples->shapes[u];
    } else {
      corner.outerCodes = corner.triples->refutation.ValueCodes(outer.elements.data(), outer.size);
    }
  }
}

const std::vector<RelationPattern>& UnitTriples::Patterns(int innerSize) const {
  return (*patterns_)[static_cast<std::size_t>(innerSize)][static_cast<std::size_t>(outerSize_)];
}

void UnitTriples::SetInner(std::size_t i, int size) {
  innerSize_ = size;
  const auto p = static_cast<std::size_t>(size);
  const std::vector<RelationPattern>& patterns = Patterns(size);
  assert(patterns.size() <= 64);
  for (std::size_t c = 0; c < 2; ++c) {
    Corner& corner = corners_[c];
    if (corner.triples == nullptr) continue;
    if (!corner.triples->domainIsOuter) {
      // The pattern's labellings of the outer codes, once for each inner size.
      innerShapes_[c] = &corner.triples->shapes[i];
      std::vector<lattice::TripleShapes>& shapes = corner.patternShapes[p];
      if (shapes.empty() && !patterns.empty()) {
        shapes.assign(patterns.size(), lattice::TripleShapes{});
        for (std::size_t ri = 0; ri < patterns.size(); ++ri) {
          const auto& labelling = corner.triples->labellings[p][static_cast<std::size_t>(outerSize_)][ri];
          for (const std::uint16_t code : corner.outerCodes) {
            const unsigned s = labelling[code];
            shapes[ri][s / 64] |= std::uint64_t{1} << (s % 64);
          }
        }
      }
      continue;
    }
    // The outer set is the domain: each of the inner set's codes refutes the
    // patterns whose labelling of it the outer set refutes.
    std::vector<std::uint64_t>& refuted = corner.refuted[p];
    std::vector<bool>& known = corner.known[p];
    if (known.empty()) {
      refuted.assign(lattice::TripleCodeCount, 0);
      known.assign(lattice::TripleCodeCount, false);
    }
    std::uint64_t mask = 0;
    for (const std::uint16_t code : corner.triples->innerCodes[i]) {
      if (!known[code]) {
        std::uint64_t bits = 0;
        const lattice::TripleShapes& refuting = *outerShapes_[c];
        const auto& labellings = corner.triples->labellings[p][static_cast<std::size_t>(outerSize_)];
        for (std::size_t ri = 0; ri < patterns.size(); ++ri) {
          const unsigned s = labellings[ri][code];
          bits |= (refuting[s / 64] >> (s % 64) & 1U) << ri;
        }
        refuted[code] = bits;
        known[code] = true;
      }
      mask |= refuted[code];
    }
    pairPatterns_[c] = mask;
  }
}

}  // namespace genexact::inline GENEXACT_WIDTH
