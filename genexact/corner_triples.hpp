#pragma once
// The triple refutation (lattice/triple_refutation.hpp) as the unit loop
// tries it, before the cover fixpoints.  Of its two sides, the domain set's
// refuting labellings and the value set's codes, the inner sets' side is
// made once per plan and the outer set's once per unit; what pattern makes
// of the codes is then one AND a relation, or one bit of a mask per pair of
// sets.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "genexact/factor_lattice.hpp"
#include "genexact/relation_patterns.hpp"
#include "lattice/triple_refutation.hpp"

namespace genexact::inline GENEXACT_WIDTH {

using TripleRefutation = lattice::TripleRefutation<Element>;
// patterns[p][q]: the relation patterns of an inner set of p and an outer set of q elements.
using PatternTable = std::array<std::array<std::vector<RelationPattern>, SubsetSize + 1>, SubsetSize + 1>;

// One corner's side of the plan.
struct CornerTriples {
  TripleRefutation refutation;
  bool domainIsOuter = false;  // the corner's domain set is the unit's set
  // shapes[j]: the labellings that set j of the domain's side refutes (the
  // outer sets when domainIsOuter, the inner ones otherwise).
  std::vector<lattice::TripleShapes> shapes;
  // With the domain outer: innerCodes[i], inner set i's codes as values.
  std::vector<std::vector<std::uint16_t>> innerCodes;
  // labellings[p][q][ri][code]: the labelling (TripleRefutation::ShapeOf)
  // that pattern ri between an inner set of p and an outer set of q
  // elements makes of a code of the values, for the sizes the plan's sets
  // have: read for every pattern and code a unit meets.
  std::array<std::array<std::vector<std::array<std::uint8_t, lattice::TripleCodeCount>>, SubsetSize + 1>,
             SubsetSize + 1>
      labellings;
};

// Contract: the corner decided by a partition corner of the plan's
// relation test has domain `domain` (in the orientation it is read) and
// values with covers valueCovers; domainIsOuter says whether it reads its
// domain from the outer set.  nullopt where the corner has no triple
// refutation.
std::optional<CornerTriples> MakeCornerTriples(const FactorLattice& domain, const JoinCovers& valueCovers,
                                               bool domainIsOuter, const std::vector<GeneratingSet>& outer,
                                               const std::vector<GeneratingSet>& inner, const PatternTable& patterns);

// What one unit's outer set adds, for both corners; scratch of one worker.
class UnitTriples {
 public:
  // Contract: each corner from MakeCornerTriples or empty, outer unit u's
  // set, patterns the plan's patterns; all outlive this object.
  UnitTriples(const std::array<std::optional<CornerTriples>, 2>& corners, std::size_t u, const GeneratingSet& outer,
              const PatternTable& patterns);

  // Contract: i indexes the plan's inner sets, of the given size; before
  // Refutes for the relations between inner set i and the outer set.
  void SetInner(std::size_t i, int size);

  // True when pattern ri (of the set sizes given) cannot generate: a corner
  // is refuted.
  bool Refutes(std::size_t ri) const {
    for (std::size_t c = 0; c < 2; ++c) {
      const Corner& corner = corners_[c];
      if (corner.triples == nullptr) continue;
      if (corner.triples->domainIsOuter
              ? (pairPatterns_[c] >> ri & 1U) != 0
              : lattice::Overlap(*innerShapes_[c], corner.patternShapes[static_cast<std::size_t>(innerSize_)][ri])) {
        return true;
      }
    }
    return false;
  }

 private:
  struct Corner {
    const CornerTriples* triples = nullptr;
    // Domain inner: the outer set's codes, and patternShapes[p][ri] the
    // labellings pattern ri of an inner set of p elements makes of them
    // (made for p when first needed).
    std::vector<std::uint16_t> outerCodes;
    std::array<std::vector<lattice::TripleShapes>, SubsetSize + 1> patternShapes;
    // Domain outer: refuted[p][code], the patterns (inner sets of p
    // elements) whose labelling of an inner set's code the outer set
    // refutes, with known[p][code] once made.
    std::array<std::vector<std::uint64_t>, SubsetSize + 1> refuted;
    std::array<std::vector<bool>, SubsetSize + 1> known;
  };
  const std::vector<RelationPattern>& Patterns(int innerSize) const;

  const PatternTable* patterns_ = nullptr;
  int outerSize_ = 0;
  int innerSize_ = 0;
  std::array<Corner, 2> corners_;
  std::array<std::uint64_t, 2> pairPatterns_{};                // domain outer: the refuted patterns of the pair
  std::array<const lattice::TripleShapes*, 2> innerShapes_{};  // domain inner: the inner set's labellings
  std::array<const lattice::TripleShapes*, 2> outerShapes_{};  // domain outer: the outer set's labellings
};

}  // namespace genexact::inline GENEXACT_WIDTH
