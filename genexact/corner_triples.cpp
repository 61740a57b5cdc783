#include "genexact/corner_triples.hpp"

#include <cassert>

namespace genexact::inline GENEXACT_WIDTH {

std::optional<CornerTriples> MakeCornerTriples(const FactorLattice& domain, const JoinCovers& valueCovers,
                                               bool domainIsOuter, const std::vector<GeneratingSet>& outer,
                                               const std::vector<GeneratingSet>& inner) {
  std::optional<TripleRefutation> refutation = TripleRefutation::Make(valueCovers);
  if (!refutation) return std::nullopt;
  CornerTriples t{std::move(*refutation), domainIsOuter, {}, {}};
  for (const GeneratingSet& s : domainIsOuter ? outer : inner) {
    t.shapes.push_back(TripleRefutation::RefutingShapes(domain, s.elements.data(), s.size));
  }
  if (domainIsOuter) {
    for (const GeneratingSet& s : inner) t.innerCodes.push_back(t.refutation.ValueCodes(s.elements.data(), s.size));
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
          for (const std::uint16_t code : corner.outerCodes) {
            const int s = TripleRefutation::ShapeOf(code, patterns[ri].firstToSecond.data());
            shapes[ri][static_cast<std::size_t>(s / 64)] |= std::uint64_t{1} << (s % 64);
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
        for (std::size_t ri = 0; ri < patterns.size(); ++ri) {
          const int s = TripleRefutation::ShapeOf(code, patterns[ri].secondToFirst.data());
          if (((*outerShapes_[c])[static_cast<std::size_t>(s / 64)] >> (s % 64) & 1U) != 0) {
            bits |= std::uint64_t{1} << ri;
          }
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
