// genexact's fast generation test checked against the product closure: the
// cover fixpoints, the refutations tried before them and the count over
// symmetric factors, on every relation between generating sets of small
// products, in several numberings and both operation orders.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "genexact/count_plan.hpp"
#include "lattice/flat_closure.hpp"
#include "tests/genexact_lattices.hpp"
#include "tests/support/known_counts.hpp"

namespace {

using namespace genexact_test;
using genexact::CornerMethod;
using genexact::CountPlan;

// An atom j below a join of three atoms but below no join of two of them:
// the lattice 2^3 (atoms a, b, c, their pairwise joins) with a fourth atom
// under the top only.  Numbered 0; a, b, c = 1, 2, 3; j = 4; ab, ac, bc =
// 5, 6, 7; top = 8.
lattice::OperationTables ThreeCover() {
  static const int below[9] = {0, 1, 2, 4, 8, 1 | 2, 1 | 4, 2 | 4, 1 | 2 | 4 | 8};
  return FromOrder(9, [](int x, int y) {
    if (x == y || x == 0 || y == 8) return true;
    if (x == 8 || y == 0) return false;
    return (below[x] & ~below[y]) == 0;
  });
}

struct Named {
  std::string name;
  FactorLattice lattice;
};

// Small lattices in two numberings each, and partition lattices also given
// meet first (the dual as read).
std::vector<Named> Factors() {
  std::vector<Named> result;
  const std::vector<std::pair<std::string, lattice::OperationTables>> base = {{"C3", Chain(3)},
                                                                              {"M3", M(3)},
                                                                              {"N5", N5()},
                                                                              {"2^3", Boolean(3)},
                                                                              {"Equ3", optables::BuildEquTables(3)},
                                                                              {"Equ4", optables::BuildEquTables(4)},
                                                                              {"ThreeCover", ThreeCover()}};
  for (const auto& [name, tables] : base) {
    result.push_back({name, Factor(tables)});
    result.push_back({name + " renumbered", Factor(Renumbered(tables, 17))});
    if (name.rfind("Equ", 0) == 0) result.push_back({name + " meet first", Factor(Renumbered(tables, 5), true)});
  }
  return result;
}

// Every relation the plan tests, as product elements and in the test's order.
template <class Visit>
void ForEveryRelation(const CountPlan& plan, Visit visit) {
  const bool outerIsDomain = plan.outerIsA == plan.domainIsA;
  for (std::size_t u = 0; u < plan.UnitCount(); ++u) {
    const genexact::GeneratingSet& y = plan.Outer()[u];
    for (const genexact::GeneratingSet& x : plan.Inner()) {
      for (const genexact::RelationPattern& r :
           plan.patterns[static_cast<std::size_t>(x.size)][static_cast<std::size_t>(y.size)]) {
        Element d[4];
        Element v[4];
        for (std::size_t k = 0; k < 4; ++k) {
          d[k] = outerIsDomain ? y.elements[r.second[k]] : x.elements[r.first[k]];
          v[k] = outerIsDomain ? x.elements[r.first[k]] : y.elements[r.second[k]];
        }
        visit(x, y, r, d, v);
      }
    }
  }
}

TEST(GenexactCovers, PartitionLatticesHaveTheTriangleCovers) {
  for (int k = 1; k <= 5; ++k) {
    const auto covers = genexact::FindJoinCovers(Factor(Renumbered(optables::BuildEquTables(k), 3)));
    ASSERT_TRUE(covers.has_value()) << k;
    EXPECT_EQ(covers->irreducibles.size(), static_cast<std::size_t>(k * (k - 1) / 2)) << k;
    // ac <= ab join bc for every ordered choice of the middle point b.
    EXPECT_EQ(covers->covers.size(), static_cast<std::size_t>(k * (k - 1) * (k - 2) / 2)) << k;
  }
  EXPECT_TRUE(genexact::FindJoinCovers(Factor(Boolean(3))).has_value());
  EXPECT_TRUE(genexact::FindJoinCovers(Factor(M(3))).has_value());
  FactorLattice threeCover = Factor(ThreeCover());
  ASSERT_TRUE(genexact::CheckFactor(threeCover).bounds.has_value());
  EXPECT_FALSE(genexact::FindJoinCovers(threeCover).has_value());
  // Too many join-irreducibles for the mask: 2^7 has seven, M_70 seventy.
  EXPECT_FALSE(genexact::FindJoinCovers(Factor(M(70))).has_value());
}

// Every relation of every pair of factors: each corner by covers (where
// found) against the row minima, the refutation never against a generating
// relation, and the whole test against the closure of the product.
TEST(GenexactCovers, EveryRelationAgreesWithTheClosure) {
  const std::vector<Named> factors = Factors();
  int pairs = 0;
  for (const Named& a : factors) {
    for (const Named& b : factors) {
      if (a.lattice.size * b.lattice.size > 120 && a.lattice.size * b.lattice.size != 225) continue;
      SCOPED_TRACE(a.name + " x " + b.name);
      const CountPlan plan = genexact::MakeCountPlan(a.lattice, b.lattice);
      const FactorLattice& domain = plan.domainIsA ? plan.a : plan.b;
      const FactorLattice& values = plan.domainIsA ? plan.b : plan.a;
      genexact::RelationTest fast(domain, values, plan.shortcuts);
      genexact::CornerFixpoint plain(domain, values);
      std::vector<int> refutedGenerating;
      int relations = 0;
      int generating = 0;
      int refuted = 0;
      ForEveryRelation(plan, [&](const auto& x, const auto& y, const auto& r, const Element* d, const Element* v) {
        std::vector<int> seeds;
        for (int k = 0; k < 4; ++k) seeds.push_back(d[k] * values.size + v[k]);
        const bool full = ProductClosureSize(domain, values, seeds) == domain.size * values.size;
        const bool lower = plain.ReachesLowerCorner(d, v);
        const bool upper = plain.ReachesUpperCorner(d, v);
        ASSERT_EQ(lower && upper, full);
        ASSERT_EQ(fast.Generates(d, v), full);
        const FactorLattice& innerLattice = plan.outerIsA ? plan.b : plan.a;
        const FactorLattice& outerLattice = plan.outerIsA ? plan.a : plan.b;
        const bool refutes = genexact::CornerRefuted(
            r.first, r.second, genexact::FindSubsetBounds(innerLattice, x.elements.data(), x.size),
            genexact::FindSubsetBounds(outerLattice, y.elements.data(), y.size));
        if (refutes) {
          ASSERT_FALSE(full);
        }
        ++relations;
        generating += full;
        refuted += refutes;
      });
      ++pairs;
      if (plan.UnitCount() > 0 && !plan.Inner().empty()) {
        EXPECT_GT(relations, 0);
      }
    }
  }
  EXPECT_GT(pairs, 100);
}

// The shortcut is found where it should be, so the fast path is what runs.
TEST(GenexactCovers, PartitionLatticesUseCoversInBothOrders) {
  for (const bool meetFirst : {false, true}) {
    const CountPlan plan = genexact::MakeCountPlan(Factor(optables::BuildEquTables(4), meetFirst),
                                                   Factor(Renumbered(optables::BuildEquTables(4), 9), meetFirst));
    ASSERT_TRUE(plan.shortcuts.lower.has_value()) << meetFirst;
    ASSERT_TRUE(plan.shortcuts.upper.has_value()) << meetFirst;
    // The cheaper orientation is the atoms' (6 of them, 12 covers), read on
    // the tables as given or on their duals when the meet comes first.
    EXPECT_EQ(plan.shortcuts.lower->covers.irreducibles.size(), 6U) << meetFirst;
    EXPECT_EQ(plan.shortcuts.upper->covers.irreducibles.size(), 6U) << meetFirst;
    EXPECT_EQ(plan.shortcuts.lower->exchanged, meetFirst);
    EXPECT_EQ(plan.shortcuts.upper->exchanged, !meetFirst);
  }
}

genexact::PlanSettings RowMinima() {
  genexact::PlanSettings settings;
  settings.method = CornerMethod::RowMinima;
  return settings;
}

std::uint64_t PlanCount(const CountPlan& plan) {
  const auto test = genexact::MakeRelationTest(plan);
  std::uint64_t total = 0;
  for (std::size_t u = 0; u < plan.UnitCount(); ++u) total += genexact::CountUnit(plan, u, *test);
  return total;
}

// Same tables on both sides halve the work; other numberings of the same
// lattice do not, and every way must give the brute-force count.
TEST(GenexactCovers, SymmetricFactorsCountOnce) {
  const std::vector<lattice::OperationTables> lattices = {optables::BuildEquTables(3), N5(), M(3), ThreeCover()};
  for (const auto& t : lattices) {
    const FactorLattice a = Factor(t);
    const CountPlan same = genexact::MakeCountPlan(a, a);
    const CountPlan other = genexact::MakeCountPlan(a, Factor(Renumbered(t, 21)));
    const CountPlan plain = genexact::MakeCountPlan(a, a, RowMinima());
    EXPECT_TRUE(same.symmetric);
    EXPECT_FALSE(other.symmetric && t.size > 2);
    EXPECT_FALSE(plain.shortcuts.lower.has_value() || plain.shortcuts.upper.has_value());
    EXPECT_LT(same.TotalTests(), other.TotalTests());
    const std::uint64_t brute = BruteForceCount(a, a);
    EXPECT_EQ(PlanCount(same), brute) << t.size;
    EXPECT_EQ(PlanCount(other), brute) << t.size;
    EXPECT_EQ(PlanCount(plain), brute) << t.size;
  }
}

// Testing one relation per orbit of the sets' stabilizers changes no unit's
// count: factors with large stabilizers (M4, 2^4), with few (N5), a product
// of one lattice with itself, and both operation orders.
TEST(GenexactCovers, PatternOrbitsKeepEveryUnitCount) {
  genexact::PlanSettings everyRelation;
  everyRelation.patternOrbits = false;
  const std::pair<FactorLattice, FactorLattice> products[] = {
      {Factor(optables::BuildEquTables(4)), Factor(Renumbered(optables::BuildEquTables(5), 3))},
      {Factor(M(4)), Factor(Renumbered(Boolean(4), 7), true)},
      {Factor(Boolean(4), true), Factor(Renumbered(optables::BuildEquTables(4), 5))},
      {Factor(N5()), Factor(M(3))},
      {Factor(optables::BuildEquTables(4)), Factor(optables::BuildEquTables(4))}};
  for (const auto& [a, b] : products) {
    SCOPED_TRACE(std::to_string(a.size) + "x" + std::to_string(b.size));
    const CountPlan orbits = genexact::MakeCountPlan(a, b);
    const CountPlan every = genexact::MakeCountPlan(a, b, everyRelation);
    ASSERT_EQ(orbits.UnitCount(), every.UnitCount());
    std::size_t reduced = 0;
    for (const auto& stabilizer : orbits.positionStabA) reduced += stabilizer.empty() ? 0 : 1;
    for (const auto& stabilizer : orbits.positionStabB) reduced += stabilizer.empty() ? 0 : 1;
    EXPECT_GT(reduced, 0U);  // the shortcut is in use here
    const auto orbitsTest = genexact::MakeRelationTest(orbits);
    const auto everyTest = genexact::MakeRelationTest(every);
    for (std::size_t u = 0; u < orbits.UnitCount(); ++u) {
      EXPECT_EQ(genexact::CountUnit(orbits, u, *orbitsTest), genexact::CountUnit(every, u, *everyTest)) << u;
    }
  }
}

// Equ(4) x Equ(4) by covers, by row minima and by gencount's known count.
TEST(GenexactCovers, PartitionProductsAgreeBetweenMethods) {
  for (int variant = 0; variant < 4; ++variant) {
    SCOPED_TRACE(variant);
    const FactorLattice a =
        Factor(Renumbered(optables::BuildEquTables(4), 30 + static_cast<std::uint64_t>(variant)), (variant & 1) != 0);
    const FactorLattice b =
        Factor(Renumbered(optables::BuildEquTables(4), 40 + static_cast<std::uint64_t>(variant)), (variant & 2) != 0);
    // One file meet first makes the product with a dual factor, a different
    // lattice: gencount counts 14400 for it.
    const std::uint64_t expected = variant == 0 || variant == 3 ? testsupport::KnownCountOf(4, 4) : 14400U;
    EXPECT_EQ(PlanCount(genexact::MakeCountPlan(a, b)), expected);
    EXPECT_EQ(PlanCount(genexact::MakeCountPlan(a, b, RowMinima())), expected);
  }
  const FactorLattice a = Factor(optables::BuildEquTables(4));
  EXPECT_EQ(PlanCount(genexact::MakeCountPlan(a, a)), testsupport::KnownCountOf(4, 4));
}

}  // namespace

namespace {

// Random relations of Equ(2) x Equ(7) and Equ(3) x Equ(7) (877 elements, the
// two-byte build): the fast test and the row minima against the closure of
// the product.  The 4-subsets of Equ(7) are drawn until they generate (about
// one in sixty does).
TEST(GenexactCovers, Equ7RelationsAgreeWithTheClosure) {
  const FactorLattice seven = Factor(optables::BuildEquTables(7));
  std::mt19937 random(7);
  for (const int k : {2, 3}) {
    SCOPED_TRACE(k);
    const FactorLattice small = Factor(optables::BuildEquTables(k));
    const genexact::CornerShortcuts shortcuts = genexact::FindCornerShortcuts(small, seven);
    ASSERT_TRUE(shortcuts.lower.has_value() && shortcuts.upper.has_value());
    genexact::RelationTest fast(small, seven, shortcuts);
    genexact::CornerFixpoint plain(small, seven);
    lattice::FlatClosure<Element> smallClosure(small);
    lattice::FlatClosure<Element> sevenClosure(seven);
    const int n = small.size * seven.size;
    int generating = 0;
    const int relations = k == 2 ? 60 : 20;
    for (int r = 0; r < relations; ++r) {
      Element d[4];
      Element v[4];
      do {
        for (Element& e : d) e = static_cast<Element>(random() % static_cast<unsigned>(small.size));
      } while (!smallClosure.Generates(d, 4));
      do {
        for (Element& e : v) e = static_cast<Element>(random() % static_cast<unsigned>(seven.size));
      } while (v[0] == v[1] || v[0] == v[2] || v[0] == v[3] || v[1] == v[2] || v[1] == v[3] || v[2] == v[3] ||
               !sevenClosure.Generates(v, 4));
      std::vector<int> seeds;
      for (int i = 0; i < 4; ++i) seeds.push_back(d[i] * seven.size + v[i]);
      const bool full = ProductClosureSize(small, seven, seeds) == n;
      generating += full;
      ASSERT_EQ(fast.Generates(d, v), full) << r;
      ASSERT_EQ(plain.Generates(d, v), full) << r;
    }
    EXPECT_GT(generating, 0);
    EXPECT_LT(generating, relations);
  }
}

}  // namespace
