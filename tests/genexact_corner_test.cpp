// genexact's fast generation test checked against the product closure: the
// cover fixpoints, the refutations tried before them and the count over
// symmetric factors, on every relation between generating sets of small
// products, in several numberings and both operation orders.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "genexact/count_plan.hpp"
#include "lattice/flat_closure.hpp"
#include "lattice/partition_corner.hpp"
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
                                                                              {"Equ3", lattice::BuildEquTables(3)},
                                                                              {"Equ4", lattice::BuildEquTables(4)},
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
    const auto covers = genexact::FindJoinCovers(Factor(Renumbered(lattice::BuildEquTables(k), 3)));
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
  int atPositionsTested = 0;  // relations also decided from per-set parts
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
        // The same relation by positions in its two sets, as CountUnit asks.
        if (fast.ReadsSetParts()) {
          const bool outerIsDomain = plan.outerIsA == plan.domainIsA;
          fast.SetDomainSet(outerIsDomain ? y.elements.data() : x.elements.data(), outerIsDomain ? y.size : x.size);
          fast.SetValueSet(outerIsDomain ? x.elements.data() : y.elements.data(), outerIsDomain ? x.size : y.size);
          const bool atPositions = outerIsDomain ? fast.GeneratesAt(r.secondToFirst.data(), r.firstToSecond.data())
                                                 : fast.GeneratesAt(r.firstToSecond.data(), r.secondToFirst.data());
          ASSERT_EQ(atPositions, full);
          ++atPositionsTested;
        }
        const FactorLattice& innerLattice = plan.outerIsA ? plan.b : plan.a;
        const FactorLattice& outerLattice = plan.outerIsA ? plan.a : plan.b;
        const bool refutes =
            genexact::CornerRefuted(r.splits, genexact::FindSubsetBounds(innerLattice, x.elements.data(), x.size),
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
  EXPECT_GT(atPositionsTested, 1000);
}

// The shortcut is found where it should be, so the fast path is what runs.
TEST(GenexactCovers, PartitionLatticesUseCoversInBothOrders) {
  for (const bool meetFirst : {false, true}) {
    const CountPlan plan = genexact::MakeCountPlan(Factor(lattice::BuildEquTables(4), meetFirst),
                                                   Factor(Renumbered(lattice::BuildEquTables(4), 9), meetFirst));
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
  const std::vector<lattice::OperationTables> lattices = {lattice::BuildEquTables(3), N5(), M(3), ThreeCover()};
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
      {Factor(lattice::BuildEquTables(4)), Factor(Renumbered(lattice::BuildEquTables(5), 3))},
      {Factor(M(4)), Factor(Renumbered(Boolean(4), 7), true)},
      {Factor(Boolean(4), true), Factor(Renumbered(lattice::BuildEquTables(4), 5))},
      {Factor(N5()), Factor(M(3))},
      {Factor(lattice::BuildEquTables(4)), Factor(lattice::BuildEquTables(4))}};
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
        Factor(Renumbered(lattice::BuildEquTables(4), 30 + static_cast<std::uint64_t>(variant)), (variant & 1) != 0);
    const FactorLattice b =
        Factor(Renumbered(lattice::BuildEquTables(4), 40 + static_cast<std::uint64_t>(variant)), (variant & 2) != 0);
    // One file meet first makes the product with a dual factor, a different
    // lattice: gencount counts 14400 for it.
    const std::uint64_t expected = variant == 0 || variant == 3 ? testsupport::KnownCountOf(4, 4) : 14400U;
    EXPECT_EQ(PlanCount(genexact::MakeCountPlan(a, b)), expected);
    EXPECT_EQ(PlanCount(genexact::MakeCountPlan(a, b, RowMinima())), expected);
  }
  const FactorLattice a = Factor(lattice::BuildEquTables(4));
  EXPECT_EQ(PlanCount(genexact::MakeCountPlan(a, a)), testsupport::KnownCountOf(4, 4));
}

}  // namespace

namespace {

// Random relations of Equ(2) x Equ(7) and Equ(3) x Equ(7) (877 elements, the
// two-byte build): the fast test and the row minima against the closure of
// the product.  The 4-subsets of Equ(7) are drawn until they generate (about
// one in sixty does).
TEST(GenexactCovers, Equ7RelationsAgreeWithTheClosure) {
  const FactorLattice seven = Factor(lattice::BuildEquTables(7));
  std::mt19937 random(7);
  for (const int k : {2, 3}) {
    SCOPED_TRACE(k);
    const FactorLattice small = Factor(lattice::BuildEquTables(k));
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

// The same for Equ(2) x Equ(8) (4140 elements, eight points: the widest the
// contraction takes), on fewer relations: a closure of the product (8280
// elements) costs about a tenth of a second.
TEST(GenexactCovers, Equ8RelationsAgreeWithTheClosure) {
  const FactorLattice eight = Factor(lattice::BuildEquTables(8));
  const FactorLattice two = Factor(lattice::BuildEquTables(2));
  std::mt19937 random(8);
  const genexact::CornerShortcuts shortcuts = genexact::FindCornerShortcuts(two, eight);
  ASSERT_TRUE(shortcuts.lower.has_value() && shortcuts.upper.has_value());
  ASSERT_TRUE(shortcuts.lower->partition.has_value() || shortcuts.upper->partition.has_value())
      << "Equ(8) is read as a partition lattice";
  genexact::RelationTest fast(two, eight, shortcuts);
  genexact::CornerFixpoint plain(two, eight);
  lattice::FlatClosure<Element> eightClosure(eight);
  const int n = two.size * eight.size;
  int generating = 0;
  const int relations = 8;
  for (int r = 0; r < relations; ++r) {
    // {bottom, top, bottom, top} generates Equ(2); the relation pairs them
    // with four distinct elements of Equ(8) that generate it.
    const Element d[4] = {two.bottom, two.top, two.bottom, two.top};
    Element v[4];
    do {
      for (Element& e : v) e = static_cast<Element>(random() % static_cast<unsigned>(eight.size));
    } while (v[0] == v[1] || v[0] == v[2] || v[0] == v[3] || v[1] == v[2] || v[1] == v[3] || v[2] == v[3] ||
             !eightClosure.Generates(v, 4));
    std::vector<int> seeds;
    for (int i = 0; i < 4; ++i) seeds.push_back(d[i] * eight.size + v[i]);
    const bool full = ProductClosureSize(two, eight, seeds) == n;
    generating += full;
    ASSERT_EQ(fast.Generates(d, v), full) << r;
    ASSERT_EQ(plain.Generates(d, v), full) << r;
  }
  EXPECT_GT(generating, 0);
  EXPECT_LT(generating, relations);
}

}  // namespace

namespace {

// A factor's join-irreducibles and covers as the corner test reads them.
genexact::JoinCovers CoversOf(const FactorLattice& f) {
  const auto covers = genexact::FindJoinCovers(f);
  EXPECT_TRUE(covers.has_value());
  return covers.value_or(genexact::JoinCovers{});
}

// The plain way to the same fixpoint as PartitionCorner::ReachesFrom: lower
// every atom along every cover until nothing changes; true when all are
// bottom.
bool PlainFixpointFrom(const genexact::JoinCovers& covers, const FactorLattice& values, std::vector<Element> f) {
  for (bool lowered = true; lowered;) {
    lowered = false;
    for (const genexact::JoinCover& c : covers.covers) {
      const Element now = values.Meet(f[c.below], values.Join(f[c.first], f[c.second]));
      if (now != f[c.below]) {
        f[c.below] = now;
        lowered = true;
      }
    }
  }
  return std::all_of(f.begin(), f.end(), [&](Element x) { return x == values.bottom; });
}

// Whether the atoms in `set` (bit i: irreducible i) connect all points, by a
// plain union-find over their ends.
bool Connected(const lattice::AtomPoints& atoms, std::uint64_t set) {
  std::vector<int> parent(static_cast<std::size_t>(atoms.points));
  for (int x = 0; x < atoms.points; ++x) parent[static_cast<std::size_t>(x)] = x;
  auto root = [&](int x) {
    while (parent[static_cast<std::size_t>(x)] != x) x = parent[static_cast<std::size_t>(x)];
    return x;
  };
  for (std::size_t i = 0; i < atoms.ends.size(); ++i) {
    if ((set >> i & 1U) != 0) parent[static_cast<std::size_t>(root(atoms.ends[i][0]))] = root(atoms.ends[i][1]);
  }
  for (int x = 1; x < atoms.points; ++x) {
    if (root(x) != root(0)) return false;
  }
  return true;
}

// The atoms of Equ(k), in any numbering, are found as the pairs of k points;
// the lattices of the tests that are not partition lattices are not (M3 is
// Equ(3) and is found).
TEST(PartitionCorner, RecognisesPartitionLatticesOnly) {
  for (int k = 2; k <= 7; ++k) {
    SCOPED_TRACE(k);
    const auto atoms = lattice::FindAtomPoints(CoversOf(Factor(Renumbered(lattice::BuildEquTables(k), 11))));
    ASSERT_TRUE(atoms.has_value());
    EXPECT_EQ(atoms->points, k);
    std::set<std::array<std::uint8_t, 2>> pairs(atoms->ends.begin(), atoms->ends.end());
    EXPECT_EQ(pairs.size(), static_cast<std::size_t>(k * (k - 1) / 2));
  }
  // Tables given meet first are read on their duals, whose atoms these are.
  EXPECT_TRUE(lattice::FindAtomPoints(CoversOf(Dual(Factor(lattice::BuildEquTables(5), true)))).has_value());
  EXPECT_TRUE(lattice::FindAtomPoints(CoversOf(Factor(M(3)))).has_value());
  const std::vector<std::pair<std::string, lattice::OperationTables>> others = {
      {"C3", Chain(3)},    {"C5", Chain(5)}, {"N5", N5()}, {"2^3", Boolean(3)},
      {"2^4", Boolean(4)}, {"M4", M(4)},     {"M6", M(6)}, {"ThreeCover dual", ThreeCover()}};
  for (const auto& [name, tables] : others) {
    FactorLattice f = Factor(tables);
    if (name == "ThreeCover dual") f = Dual(f);  // ThreeCover itself has no covers at all
    const auto covers = genexact::FindJoinCovers(f);
    if (!covers) continue;
    EXPECT_FALSE(lattice::FindAtomPoints(*covers).has_value()) << name;
  }
}

// Which corners take PartitionCorner: both for partition lattices (in either
// operation order), none for products of lattices that are not, and none at
// all for the plain cover method.
TEST(PartitionCorner, OnlyPartitionDomainsTakeIt) {
  for (const bool meetFirst : {false, true}) {
    const FactorLattice a = Factor(lattice::BuildEquTables(5), meetFirst);
    const FactorLattice b = Factor(Renumbered(lattice::BuildEquTables(5), 3), meetFirst);
    const genexact::CornerShortcuts s = genexact::FindCornerShortcuts(a, b);
    ASSERT_TRUE(s.lower && s.upper);
    EXPECT_TRUE(s.lower->partition.has_value()) << meetFirst;
    EXPECT_TRUE(s.upper->partition.has_value()) << meetFirst;
    const genexact::CornerShortcuts plain = genexact::FindCornerShortcuts(a, b, true);
    EXPECT_FALSE(plain.lower->partition.has_value() || plain.upper->partition.has_value());
  }
  for (const auto& tables : {N5(), Boolean(3), Chain(4), M(4)}) {
    const FactorLattice f = Factor(tables);
    const genexact::CornerShortcuts s = genexact::FindCornerShortcuts(f, Factor(N5()));
    EXPECT_FALSE(s.lower && s.lower->partition.has_value()) << f.size;
    EXPECT_FALSE(s.upper && s.upper->partition.has_value()) << f.size;
  }
}

// Contraction against union-find: with the atoms of a set at bottom and the
// others at top, the corner is reached exactly when the set connects all
// points.  Every set for k <= 5, sampled for k = 7.
TEST(PartitionCorner, ContractionIsConnectivity) {
  std::mt19937_64 random(2024);
  for (int k = 2; k <= 7; ++k) {
    SCOPED_TRACE(k);
    const FactorLattice domain = Factor(Renumbered(lattice::BuildEquTables(k), 5));
    const genexact::JoinCovers covers = CoversOf(domain);
    const FactorLattice values = Factor(lattice::BuildEquTables(3));
    const auto tables = lattice::MakePartitionCornerTables(covers, values);
    ASSERT_TRUE(tables.has_value());
    const lattice::PartitionCorner<Element> corner(covers, *tables);
    const std::size_t count = covers.irreducibles.size();
    const std::uint64_t sets = std::uint64_t{1} << count;
    const bool every = k <= 5;
    int connected = 0;
    for (std::uint64_t r = 0; r < (every ? sets : 20000); ++r) {
      const std::uint64_t set = every ? r : random() % sets;
      std::vector<Element> start(count);
      for (std::size_t i = 0; i < count; ++i)
        start[i] = (set >> i & 1U) != 0 ? tables->values.bottom : tables->values.top;
      const bool expected = Connected(tables->atoms, set);
      ASSERT_EQ(corner.ReachesFrom(start.data()), expected) << set;
      connected += expected;
    }
    EXPECT_GT(connected, 0);
  }
}

// Random starting values of the atoms, with some at bottom: the fixpoint
// with contraction against the plain sweep over every cover.
TEST(PartitionCorner, ContractionKeepsTheFixpoint) {
  std::mt19937_64 random(77);
  for (const int k : {4, 5, 6}) {
    SCOPED_TRACE(k);
    const FactorLattice domain = Factor(lattice::BuildEquTables(k));
    const genexact::JoinCovers covers = CoversOf(domain);
    const FactorLattice values = Factor(Renumbered(lattice::BuildEquTables(4), 9));
    const auto tables = lattice::MakePartitionCornerTables(covers, values);
    ASSERT_TRUE(tables.has_value());
    const lattice::PartitionCorner<Element> corner(covers, *tables);
    const std::size_t count = covers.irreducibles.size();
    int reached = 0;
    const int trials = 3000;
    for (int r = 0; r < trials; ++r) {
      std::vector<Element> start(count);  // in the tables' numbering
      for (Element& x : start) {
        const unsigned draw = static_cast<unsigned>(random() % 8);
        x = draw < 3 ? tables->values.bottom : static_cast<Element>(random() % static_cast<unsigned>(values.size));
      }
      const bool reaches = corner.ReachesFrom(start.data());
      ASSERT_EQ(reaches, PlainFixpointFrom(covers, tables->values, start)) << r;
      reached += reaches;
    }
    EXPECT_GT(reached, 0);
    EXPECT_LT(reached, trials);
  }
}

// The height numbering lists every element after all elements below it,
// and the renumbered tables are the same lattice.
TEST(PartitionCorner, HeightNumberingIsALinearExtension) {
  for (const auto& tables : {lattice::BuildEquTables(5), N5(), Boolean(3), M(4)}) {
    const FactorLattice f = Factor(Renumbered(tables, 13));
    const std::vector<Element> number = lattice::HeightNumbering(f);
    const FactorLattice r = lattice::Renumbered(f, number);
    EXPECT_EQ(r.bottom, 0);
    EXPECT_EQ(r.top, f.size - 1);
    for (int x = 0; x < f.size; ++x) {
      for (int y = 0; y < f.size; ++y) {
        if (f.Leq(x, y)) {
          EXPECT_LE(number[static_cast<std::size_t>(x)], number[static_cast<std::size_t>(y)]);
        }
        ASSERT_EQ(r.Join(number[static_cast<std::size_t>(x)], number[static_cast<std::size_t>(y)]),
                  number[f.Join(x, y)]);
        ASSERT_EQ(r.Meet(number[static_cast<std::size_t>(x)], number[static_cast<std::size_t>(y)]),
                  number[f.Meet(x, y)]);
      }
    }
  }
}

// Random relations of products with Equ(6) and Equ(7) factors: the whole
// test (PartitionCorner), the plain cover fixpoints and the row minima over
// all elements must agree.  Their products have 41209 to 769129 elements,
// too many to close for each relation; the row minima are checked against
// the closure on every relation of small products above, and
// PartitionCorner against the closure on Equ(4)xEqu(7) below.  Both sets
// are drawn generating, as genexact's are; about half of the relations
// generate.
TEST(PartitionCorner, LargeProductsAgreeWithThePlainTests) {
  std::mt19937 random(67);
  const std::pair<int, int> products[] = {{5, 6}, {6, 6}, {6, 7}, {7, 7}};
  for (const auto& [n, m] : products) {
    SCOPED_TRACE(std::to_string(n) + "x" + std::to_string(m));
    const FactorLattice a = Factor(lattice::BuildEquTables(n));
    const FactorLattice b = Factor(Renumbered(lattice::BuildEquTables(m), 19));
    const genexact::CornerShortcuts fastShortcuts = genexact::FindCornerShortcuts(a, b);
    const genexact::CornerShortcuts plainShortcuts = genexact::FindCornerShortcuts(a, b, true);
    ASSERT_TRUE(fastShortcuts.lower && fastShortcuts.lower->partition && fastShortcuts.upper &&
                fastShortcuts.upper->partition);
    genexact::RelationTest fast(a, b, fastShortcuts);
    genexact::RelationTest plain(a, b, plainShortcuts);
    genexact::CornerFixpoint rowMinima(a, b);
    lattice::FlatClosure<Element> closeA(a);
    lattice::FlatClosure<Element> closeB(b);
    auto draw = [&](const FactorLattice& f, lattice::FlatClosure<Element>& close, Element* s) {
      do {
        for (int i = 0; i < 4; ++i) s[i] = static_cast<Element>(random() % static_cast<unsigned>(f.size));
      } while (s[0] == s[1] || s[0] == s[2] || s[0] == s[3] || s[1] == s[2] || s[1] == s[3] || s[2] == s[3] ||
               !close.Generates(s, 4));
    };
    const int relations = n + m >= 13 ? 150 : 300;
    int generating = 0;
    for (int r = 0; r < relations; ++r) {
      Element d[4];
      Element v[4];
      draw(a, closeA, d);
      draw(b, closeB, v);
      const bool expected = rowMinima.Generates(d, v);
      ASSERT_EQ(fast.Generates(d, v), expected) << r;
      ASSERT_EQ(plain.Generates(d, v), expected) << r;
      generating += expected;
    }
    EXPECT_GT(generating, 0);
    EXPECT_LT(generating, relations);
  }
}

// Each corner of Equ(4)xEqu(7) (13155 elements) by PartitionCorner, against
// the closure of the product: (top, bottom) on the atoms of Equ(4) with
// values in Equ(7), and (bottom, top) on the atoms of Equ(7) with values in
// Equ(4) (genexact reads that corner on Equ(4)'s coatoms, which have fewer
// covers, so it is built here directly).
TEST(PartitionCorner, Equ4Equ7CornersAgreeWithTheClosure) {
  std::mt19937 random(47);
  const FactorLattice four = Factor(lattice::BuildEquTables(4));
  const FactorLattice seven = Factor(lattice::BuildEquTables(7));
  const genexact::JoinCovers fourCovers = CoversOf(four);
  const genexact::JoinCovers sevenCovers = CoversOf(seven);
  const auto lowerTables = lattice::MakePartitionCornerTables(fourCovers, seven);
  const auto upperTables = lattice::MakePartitionCornerTables(sevenCovers, four);
  ASSERT_TRUE(lowerTables && upperTables);
  const lattice::PartitionCorner<Element> lower(fourCovers, *lowerTables);
  const lattice::PartitionCorner<Element> upper(sevenCovers, *upperTables);
  lattice::FlatClosure<Element> closeFour(four);
  lattice::FlatClosure<Element> closeSeven(seven);
  int reached = 0;
  const int relations = 10;
  for (int r = 0; r < relations; ++r) {
    Element d[4];
    Element v[4];
    do {
      for (Element& e : d) e = static_cast<Element>(random() % static_cast<unsigned>(four.size));
    } while (!closeFour.Generates(d, 4));
    do {
      for (Element& e : v) e = static_cast<Element>(random() % static_cast<unsigned>(seven.size));
    } while (v[0] == v[1] || v[0] == v[2] || v[0] == v[3] || v[1] == v[2] || v[1] == v[3] || v[2] == v[3] ||
             !closeSeven.Generates(v, 4));
    std::vector<int> seeds;
    for (int i = 0; i < 4; ++i) seeds.push_back(d[i] * seven.size + v[i]);
    const std::vector<char> member = ProductClosureMembers(four, seven, seeds);
    const bool lowerIn = member[static_cast<std::size_t>(four.top * seven.size + seven.bottom)] != 0;
    const bool upperIn = member[static_cast<std::size_t>(four.bottom * seven.size + seven.top)] != 0;
    ASSERT_EQ(lower.Reaches(d, v), lowerIn) << r;
    ASSERT_EQ(upper.Reaches(v, d), upperIn) << r;
    reached += lowerIn + upperIn;
  }
  EXPECT_GT(reached, 0);
  EXPECT_LT(reached, 2 * relations);
}

}  // namespace

namespace {

// The restriction of a partition to three points a < b < c as a label of
// M3: 0 bottom, 1 top, 2, 3, 4 the atoms ab, ac, bc.
int Restricted(const lattice::Partition& p, int a, int b, int c) {
  const bool ab = p[static_cast<std::size_t>(a)] == p[static_cast<std::size_t>(b)];
  const bool ac = p[static_cast<std::size_t>(a)] == p[static_cast<std::size_t>(c)];
  const bool bc = p[static_cast<std::size_t>(b)] == p[static_cast<std::size_t>(c)];
  return ab && ac ? 1 : ab ? 2 : ac ? 3 : bc ? 4 : 0;
}

int MeetM3(int x, int y) { return x == 1 ? y : y == 1 ? x : x == y ? x : 0; }
int JoinM3(int x, int y) { return x == 0 ? y : y == 0 ? x : x == y ? x : 1; }

// The cover fixpoint run in M3 on the atoms xy of Equ(k), plainly: true
// when it ends above bottom somewhere.
bool M3FixpointFails(std::vector<std::vector<int>> f, int k) {
  for (bool changed = true; changed;) {
    changed = false;
    for (int x = 0; x < k; ++x) {
      for (int z = x + 1; z < k; ++z) {
        int m = f[static_cast<std::size_t>(x)][static_cast<std::size_t>(z)];
        for (int y = 0; y < k; ++y) {
          if (y != x && y != z) {
            m = MeetM3(m, JoinM3(f[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)],
                                 f[static_cast<std::size_t>(y)][static_cast<std::size_t>(z)]));
          }
        }
        if (m != f[static_cast<std::size_t>(x)][static_cast<std::size_t>(z)]) {
          f[static_cast<std::size_t>(x)][static_cast<std::size_t>(z)] = m;
          f[static_cast<std::size_t>(z)][static_cast<std::size_t>(x)] = m;
          changed = true;
        }
      }
    }
  }
  for (int x = 0; x < k; ++x) {
    for (int z = x + 1; z < k; ++z) {
      if (f[static_cast<std::size_t>(x)][static_cast<std::size_t>(z)] != 0) return true;
    }
  }
  return false;
}

// Random relations of Equ(k) x Equ(m), a generating 4-set on each side and
// a random pairing: the triple refutation by its tables against the cover
// fixpoint in M3 on the restricted values, against the corner itself
// (PartitionCorner, which the closure checks above), which it must never
// call unreachable when reached, and against the split refutation, which
// it must take in.
TEST(TripleRefutation, AgreesWithTheRestrictedFixpointAndTheCorner) {
  std::mt19937 random(3);
  for (const auto& [k, m] : {std::pair{4, 5}, std::pair{5, 4}, std::pair{5, 6}, std::pair{6, 5}, std::pair{4, 7},
                             std::pair{6, 7}, std::pair{7, 6}}) {
    SCOPED_TRACE(std::to_string(k) + "x" + std::to_string(m));
    const FactorLattice domain = Factor(lattice::BuildEquTables(k));
    const FactorLattice values = Factor(lattice::BuildEquTables(m));
    const genexact::JoinCovers covers = CoversOf(domain);
    const auto tables = lattice::MakePartitionCornerTables(covers, values);
    ASSERT_TRUE(tables.has_value());
    const lattice::PartitionCorner<Element> corner(covers, *tables);
    const auto refutation = genexact::TripleRefutation::Make(CoversOf(values));
    ASSERT_TRUE(refutation.has_value());
    const std::vector<lattice::Partition> domainParts = lattice::EquPartitions(k);
    const std::vector<lattice::Partition> valueParts = lattice::EquPartitions(m);
    lattice::FlatClosure<Element> closeDomain(domain);
    lattice::FlatClosure<Element> closeValues(values);
    auto draw = [&](const FactorLattice& f, lattice::FlatClosure<Element>& close, Element* set) {
      do {
        for (int p = 0; p < 4; ++p) set[p] = static_cast<Element>(random() % static_cast<unsigned>(f.size));
      } while (set[0] == set[1] || set[0] == set[2] || set[0] == set[3] || set[1] == set[2] || set[1] == set[3] ||
               set[2] == set[3] || !close.Generates(set, 4));
    };
    int refuted = 0;
    int failing = 0;
    // Fewer with Equ(7) (one 4-subset in sixty generates it).
    const int relations = k == 7 || m == 7 ? 120 : 300;
    for (int r = 0; r < relations; ++r) {
      Element d[4];
      Element v[4];
      draw(domain, closeDomain, d);
      draw(values, closeValues, v);
      std::array<int, 4> pairing = {0, 1, 2, 3};  // generator p is (d[p], v[pairing[p]])
      std::shuffle(pairing.begin(), pairing.end(), random);
      std::array<std::uint8_t, 16> spread{};
      for (unsigned q = 0; q < 16; ++q) {
        for (int p = 0; p < 4; ++p) spread[q] |= static_cast<std::uint8_t>((q >> p & 1U) << pairing[p]);
      }
      Element paired[4];
      for (int p = 0; p < 4; ++p) paired[p] = v[pairing[p]];
      const bool reached = corner.Reaches(d, paired);
      failing += reached ? 0 : 1;
      // By the tables.
      const lattice::TripleShapes shapes = genexact::TripleRefutation::RefutingShapes(domain, d, 4);
      bool byTables = false;
      for (const std::uint16_t code : refutation->ValueCodes(v, 4)) {
        const int s = genexact::TripleRefutation::ShapeOf(code, spread.data());
        byTables |= (shapes[static_cast<std::size_t>(s / 64)] >> (s % 64) & 1U) != 0;
      }
      // Plainly, triple by triple.
      bool plainly = false;
      for (int a = 0; a < m; ++a) {
        for (int b = a + 1; b < m; ++b) {
          for (int c = b + 1; c < m; ++c) {
            std::array<int, 4> label{};  // of domain position p
            for (int p = 0; p < 4; ++p) label[p] = Restricted(valueParts[paired[p]], a, b, c);
            std::vector<std::vector<int>> start(static_cast<std::size_t>(k),
                                                std::vector<int>(static_cast<std::size_t>(k), 1));
            for (int x = 0; x < k; ++x) {
              for (int y = 0; y < k; ++y) {
                for (int p = 0; p < 4; ++p) {
                  const lattice::Partition& dp = domainParts[d[p]];
                  if (x != y && dp[static_cast<std::size_t>(x)] == dp[static_cast<std::size_t>(y)]) {
                    start[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)] =
                        MeetM3(start[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)], label[p]);
                  }
                }
              }
            }
            plainly |= M3FixpointFails(start, k);
          }
        }
      }
      // A split (some generators' domain elements join below top, the
      // others' values meet above bottom) is among the labellings.
      bool split = false;
      for (unsigned in = 1; in < 15; ++in) {
        Element join = domain.bottom;
        Element meet = values.top;
        for (int p = 0; p < 4; ++p) {
          if ((in >> p & 1U) != 0) {
            join = domain.Join(join, d[p]);
          } else {
            meet = values.Meet(meet, paired[p]);
          }
        }
        split |= join != domain.top && meet != values.bottom;
      }
      ASSERT_EQ(byTables, plainly) << r;
      ASSERT_FALSE(byTables && reached) << r;
      ASSERT_TRUE(byTables || !split) << r;
      refuted += byTables ? 1 : 0;
    }
    // It does its job: most failing corners here are refuted.
    EXPECT_GT(refuted, failing / 3);
  }
}

// Lattices that are not partition lattices of three points or more have no
// triple refutation, and plans of products of partition lattices use it
// only with the fast method.
TEST(TripleRefutation, OnlyPartitionValuesTakeIt) {
  for (const auto& t : {N5(), M(4), Boolean(3), Chain(3), lattice::BuildEquTables(2)}) {
    EXPECT_FALSE(genexact::TripleRefutation::Make(CoversOf(Factor(t))).has_value()) << t.size;
  }
  EXPECT_TRUE(genexact::TripleRefutation::Make(CoversOf(Factor(lattice::BuildEquTables(3)))).has_value());
  const FactorLattice four = Factor(lattice::BuildEquTables(4));
  const FactorLattice five = Factor(lattice::BuildEquTables(5));
  const CountPlan fast = genexact::MakeCountPlan(four, five);
  EXPECT_TRUE(fast.triples[0].has_value() && fast.triples[1].has_value());
  genexact::PlanSettings plain;
  plain.method = CornerMethod::PlainCovers;
  const CountPlan before = genexact::MakeCountPlan(four, five, plain);
  EXPECT_FALSE(before.triples[0].has_value() || before.triples[1].has_value());
}

// Every unit's count with the triple refutation and without it, in both
// operation orders (a factor meet first reads a corner in the dual) and
// with the outer set on either side of the corners.
TEST(TripleRefutation, KeepsEveryUnitCount) {
  const std::pair<FactorLattice, FactorLattice> products[] = {
      {Factor(lattice::BuildEquTables(4)), Factor(Renumbered(lattice::BuildEquTables(5), 3))},
      {Factor(lattice::BuildEquTables(5)), Factor(lattice::BuildEquTables(4))},
      {Factor(Renumbered(lattice::BuildEquTables(4), 9), true), Factor(lattice::BuildEquTables(5), true)},
      {Factor(lattice::BuildEquTables(5)), Factor(lattice::BuildEquTables(5))}};
  for (const auto& [a, b] : products) {
    SCOPED_TRACE(std::to_string(a.size) + "x" + std::to_string(b.size));
    const CountPlan with = genexact::MakeCountPlan(a, b);
    ASSERT_TRUE(with.triples[0].has_value() || with.triples[1].has_value());
    CountPlan without = with;
    without.triples = {};
    const auto withTest = genexact::MakeRelationTest(with);
    const auto withoutTest = genexact::MakeRelationTest(without);
    for (std::size_t u = 0; u < with.UnitCount(); ++u) {
      EXPECT_EQ(genexact::CountUnit(with, u, *withTest), genexact::CountUnit(without, u, *withoutTest)) << u;
    }
  }
}

}  // namespace
