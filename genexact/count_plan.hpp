#pragma once
// The exact count of 4-element generating sets of A x B by orbits.
//
// A 4-subset S of A x B generates only if its projections X and Y generate A
// and B (projections are homomorphisms), so S is a 4-element relation
// between a generating set X of A and a generating set Y of B, each of at most
// four elements, that covers both.  Every automorphism pair (g, h) of A and B
// maps such relations between X and Y one to one onto those between gX and
// hY and keeps generation, so with c(X, Y) the number of generating relations
//   count = sum over orbit representatives X, Y of |orbit X| |orbit Y| c(X, Y).
// One work unit is one representative of the factor with more of them (the
// outer factor) against every representative of the other.
//
// When both factors have the same tables, exchanging the coordinates maps
// the relations between X and Y one to one onto those between Y and X and
// keeps generation, so c(X, Y) = c(Y, X).  Both lists of representatives are
// then the same list, and unit u pairs its set only with sets u, u+1, ...,
// counting each pair of different sets twice: half the corner tests.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "genexact/corner_triples.hpp"
#include "genexact/factor_lattice.hpp"
#include "genexact/orbit_file.hpp"
#include "genexact/relation_patterns.hpp"
#include "genexact/width_run.hpp"

namespace genexact::inline GENEXACT_WIDTH {

struct CountPlan {
  FactorLattice a;  // first factor, as read
  FactorLattice b;  // second factor
  AutomorphismGroup groupA, groupB;
  std::vector<GeneratingSet> setsA, setsB;  // orbit representatives
  bool outerIsA = false;                    // units run over setsA instead of setsB
  bool domainIsA = true;                    // the corner test's rows are A's elements
  CornerShortcuts shortcuts;                // empty: the row minima decide both corners
  bool refuteFirst = false;                 // try CornerRefuted before the corner test
  // The triple refutation of the lower and the upper corner, tried after
  // CornerRefuted; empty where a corner has none or the method is not Covers.
  std::array<std::optional<CornerTriples>, 2> triples;
  // patterns[p][q]: relations between an inner set of p and an outer set of q elements.
  std::array<std::array<std::vector<RelationPattern>, SubsetSize + 1>, SubsetSize + 1> patterns;
  bool symmetric = false;  // same tables for A and B: unit u meets inner sets u.. only
  // positionStabA[i]: the permutations (PositionPermutations(size) indices)
  // of setsA[i]'s positions made by the automorphisms that fix it; empty
  // when only the identity does.  Likewise for B.  Empty lists throughout
  // when the plan does not use PatternSymmetry.
  std::vector<std::vector<PositionPermutation>> positionStabA, positionStabB;
  PatternSymmetry patternSymmetry;
  std::vector<std::uint64_t> unitTests;  // unitTests[u]: the relations unit u tests, u < UnitCount()
  // Elements of A and of B that are both join- and meet-irreducible.  More
  // than four in a factor: it has no generating set of at most four elements,
  // so its group and sets are not searched (a trivial group stands in) and
  // neither are those of the other factor, as the count is 0 anyway.
  std::size_t forcedA = 0, forcedB = 0;
  bool searchedA = true, searchedB = true;

  const std::vector<GeneratingSet>& Outer() const { return outerIsA ? setsA : setsB; }
  const std::vector<GeneratingSet>& Inner() const { return outerIsA ? setsB : setsA; }
  const std::vector<std::vector<PositionPermutation>>& OuterStabilizers() const {
    return outerIsA ? positionStabA : positionStabB;
  }
  const std::vector<std::vector<PositionPermutation>>& InnerStabilizers() const {
    return outerIsA ? positionStabB : positionStabA;
  }
  std::size_t UnitCount() const { return Outer().size(); }
  // Corner tests that unit u makes: its share of the progress display.
  std::uint64_t UnitTests(std::size_t u) const { return unitTests[u]; }
  std::uint64_t TotalTests() const;
};

struct PlanSettings {
  int threads = 1;          // workers of the generating-set search
  SearchProgress progress;  // told what the plan is doing; may be empty
  CornerMethod method = CornerMethod::Covers;
  // Test one relation per orbit of the sets' stabilizers (see PatternSymmetry);
  // with the two cover methods only.
  bool patternOrbits = true;
  // Orbit searches kept between runs (orbit_file.hpp): a factor found in
  // `kept` complete is not searched, one found partial resumes; the search
  // writes into it and calls keep() every saveEverySeconds of its last
  // level, on a stop and when complete.  Null: nothing is kept.
  OrbitFileContent* kept = nullptr;
  std::function<void()> keep;
  double saveEverySeconds = 60;
};

// Contract: a and b satisfy the lattice laws, with top and bottom set.
// Finds both groups and the orbit representatives; may take a minute or so
// on Equ(7).
CountPlan MakeCountPlan(const FactorLattice& a, const FactorLattice& b, const PlanSettings& settings = {});

// Makes again what depends on the corner method (shortcuts, refutation,
// pattern orbits), keeping the factors, groups, sets and units: the
// benchmark compares methods on one orbit search.
void SetCornerMethod(CountPlan& plan, const PlanSettings& settings);

// A fingerprint of the tables and the unit list, so that a checkpoint or a
// partial result is never added to the count of another problem.
std::uint64_t PlanFingerprint(const CountPlan& plan);

// One worker's generation test, built for the plan's orientation.
std::unique_ptr<RelationTest> MakeRelationTest(const CountPlan& plan);

// Contract: u < plan.UnitCount(); test from MakeRelationTest(plan).  The sum over
// the unit's outer set Y and every inner set X of |orbit X| |orbit Y| c(X, Y).
std::uint64_t CountUnit(const CountPlan& plan, std::size_t u, RelationTest& test);

}  // namespace genexact::inline GENEXACT_WIDTH
