// The fast generating test and the range-skipping count against the full
// closure: on every 4-subset of small products, in several numberings and both
// operation orders, they must give the same answers and the same progress.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gencount/exhaustive_count.hpp"
#include "lattice/closure.hpp"
#include "lattice/factor_lattice.hpp"
#include "lattice/generating_test.hpp"
#include "optables/equ_tables.hpp"
#include "tests/support/known_counts.hpp"
#include "tests/support/order_lattice.hpp"
#include "tests/support/product_fill.hpp"
#include "tests/support/run_program.hpp"

namespace {

using gencount::CountProduct;
using lattice::FactorElement;

using lattice::OperationTables;
using testsupport::EquTables;

// The pentagon N5: 0 < a < b < 1, 0 < c < 1; numbered so that neither bound is 1.
OperationTables Pentagon() { return testsupport::FromCovers(5, {{2, 0}, {0, 4}, {4, 3}, {2, 1}, {1, 3}}); }
// The chain of five elements, numbered out of order.
OperationTables Chain5() { return testsupport::FromCovers(5, {{3, 1}, {1, 4}, {4, 0}, {0, 2}}); }

template <std::int32_t MaxSizeA>
std::unique_ptr<lattice::Product<MaxSizeA>> MakeProduct(const OperationTables& a, const OperationTables& b,
                                                        bool meetFirst) {
  return testsupport::NewProduct<lattice::Product<MaxSizeA>>(a, b, meetFirst);
}

struct Variant {
  const char* label;
  std::optional<std::uint64_t> seedA, seedB;  // numbering seeds
  bool meetFirst;
};

const Variant Variants[] = {
    {"canonical, join first", std::nullopt, std::nullopt, false},
    {"canonical, meet first", std::nullopt, std::nullopt, true},
    {"renumbered, join first", 11, 12, false},
    {"renumbered, meet first", 5, 9, true},
};

const std::pair<int, int> SmallProducts[] = {{1, 3}, {3, 1}, {2, 2}, {2, 3}, {3, 2},
                                             {1, 4}, {4, 1}, {3, 3}, {2, 4}, {4, 2}};

// Calls visit(index) for every 4-subset in lexicographic order.
template <class Visit>
void ForEverySubset(std::int32_t N, Visit&& visit) {
  std::int32_t index[4];
  for (index[0] = 1; index[0] <= N - 3; ++index[0])
    for (index[1] = index[0] + 1; index[1] <= N - 2; ++index[1])
      for (index[2] = index[1] + 1; index[2] <= N - 1; ++index[2])
        for (index[3] = index[2] + 1; index[3] <= N; ++index[3]) visit(index);
}

// Every 4-subset: the fast test, and the corner test alone where both
// projections generate, agree with the closure.  Returns the count.
template <std::int32_t MaxSizeA>
std::int64_t ExpectSameOnEverySubset(lattice::Product<MaxSizeA>& p, std::int32_t sampleEvery = 1) {
  lattice::GeneratingTest<MaxSizeA> fast(p);
  // The route of factors beyond 64 elements, on these small ones.
  lattice::GeneratingTest<MaxSizeA> refuting(p, lattice::FactorTestRoute::Refuting);
  lattice::ProductShortcuts corners(p);
  EXPECT_TRUE(fast.Shortcuts());
  const lattice::ByteFactor factorA = lattice::FlatFactorOf(p.factorA, p.sizeA);
  const lattice::ByteFactor factorB = lattice::FlatFactorOf(p.factorB, p.sizeB);
  lattice::FlatClosure<FactorElement> closeA(factorA);
  lattice::FlatClosure<FactorElement> closeB(factorB);
  std::int64_t generating = 0, mismatches = 0, seen = 0;
  ForEverySubset(p.productSize, [&](const std::int32_t(&index)[4]) {
    if (seen++ % sampleEvery != 0) return;
    const bool full = lattice::SeedAndClose(p, index);
    generating += full ? 1 : 0;
    if (fast.Generates(index) != full) ++mismatches;
    if (refuting.Generates(index) != full) ++mismatches;
    FactorElement a[4], b[4];  // in the core's numbering
    for (int t = 0; t < 4; ++t) {
      const lattice::ProductElement e = p.ProductPairs[static_cast<std::size_t>(index[t])];
      a[t] = static_cast<FactorElement>(e.a - 1);
      b[t] = static_cast<FactorElement>(e.b - 1);
    }
    if (closeA.Generates(a, 4) && closeB.Generates(b, 4)) {
      if (corners.GeneratesGivenProjections(a, b) != full) ++mismatches;
    } else if (full) {
      ++mismatches;  // a generating subset must project onto both factors
    }
  });
  EXPECT_EQ(mismatches, 0);
  return generating;
}

// Records every progress point.
struct RecordedProgress final : gencount::ProgressSink {
  std::vector<std::uint64_t> points;
  void Items(std::uint64_t first, std::uint64_t last) override {
    for (std::uint64_t d = first; d <= last; d += gencount::ProgressEvery) points.push_back(d);
  }
};

std::vector<std::uint64_t> ExpectedPoints(std::int32_t N) {
  std::vector<std::uint64_t> points;
  for (std::uint64_t d = gencount::ProgressEvery; d <= lattice::SubsetCount(N); d += gencount::ProgressEvery)
    points.push_back(d);
  return points;
}

TEST(CheckLattice, FindsTheBoundsInAnyNumberingAndOrder) {
  for (int k = 1; k <= 6; ++k) {
    for (const Variant& v : Variants) {
      const OperationTables t = EquTables(k, v.seedA);
      auto p = MakeProduct<203>(t, EquTables(1), v.meetFirst);
      lattice::ByteFactor f = lattice::FlatFactorOf(p->factorA, p->sizeA);
      const auto bounds = lattice::CheckFactor(f).bounds;
      ASSERT_TRUE(bounds.has_value()) << k << " " << v.label;
      EXPECT_EQ(f.top, bounds->top);
      EXPECT_EQ(f.bottom, bounds->bottom);
      // Top absorbs under firstOp: the join's top when the join comes first.
      // The tables number from 1, the core from 0.
      int joinTop = 0, meetBottom = 0;
      for (int x = 1; x <= t.size; ++x) {
        bool top = true, bottom = true;
        for (int y = 1; y <= t.size; ++y) {
          top = top && t.First(x, y) == x;
          bottom = bottom && t.Second(x, y) == x;
        }
        if (top) joinTop = x;
        if (bottom) meetBottom = x;
      }
      EXPECT_EQ(bounds->top + 1, v.meetFirst ? meetBottom : joinTop);
      EXPECT_EQ(bounds->bottom + 1, v.meetFirst ? joinTop : meetBottom);
    }
  }
}

TEST(CheckLattice, RefusesTablesThatAreNoLattice) {
  auto p = MakeProduct<52>(EquTables(3), EquTables(1), false);
  const auto isLattice = [&p] {
    lattice::ByteFactor f = lattice::FlatFactorOf(p->factorA, p->sizeA);
    return lattice::CheckFactor(f).bounds.has_value();
  };
  ASSERT_TRUE(isLattice());
  // A commutative change that breaks associativity and absorption.
  const FactorElement x = 2, y = 3;
  const FactorElement old = p->factorA.firstOp[x][y];
  p->factorA.firstOp[x][y] = p->factorA.firstOp[y][x] = x;
  EXPECT_FALSE(isLattice());
  p->factorA.firstOp[x][y] = p->factorA.firstOp[y][x] = old;
  // Not commutative.
  p->factorA.secondOp[1][2] = static_cast<FactorElement>(p->factorA.secondOp[1][2] == 1 ? 2 : 1);
  EXPECT_FALSE(isLattice());
}

// The fault names the first broken law in the file's numbers, for gencount's
// tables as for genexact's (genexact_test's GenexactLaws.RefusesBrokenTables
// gives these tables there).
TEST(CheckLattice, NamesTheFirstBrokenLawWithItsWitness) {
  // Cell c is (c / 3 + 1, c % 3 + 1).
  auto fault = [](const std::vector<int>& first, const std::vector<int>& second) {
    const OperationTables t{3, first, second};
    auto p = MakeProduct<52>(t, EquTables(1), false);
    lattice::ByteFactor f = lattice::FlatFactorOf(p->factorA, p->sizeA);
    const lattice::LatticeCheck check = lattice::CheckFactor(f);
    EXPECT_EQ(check.bounds.has_value(), check.fault.empty());
    return check.fault;
  };
  const std::vector<int> max = {1, 2, 3, 2, 2, 3, 3, 3, 3};
  const std::vector<int> min = {1, 1, 1, 1, 2, 2, 1, 2, 3};
  EXPECT_EQ(fault(max, min), "");
  std::vector<int> notIdempotent = max;
  notIdempotent[4] = 3;
  EXPECT_EQ(fault(notIdempotent, min), "the first operation is not idempotent at 2");
  std::vector<int> notCommutative = min;
  notCommutative[1] = 2;
  EXPECT_EQ(fault(max, notCommutative), "the second operation is not commutative at 1,2");
  const std::vector<int> game = {1, 1, 3, 1, 2, 2, 3, 2, 3};
  EXPECT_EQ(fault(game, min), "the first operation is not associative at 1,2,3");
  EXPECT_EQ(fault(max, max), "the absorption law fails at 1,2");
  std::vector<int> outOfRange = min;
  outOfRange[5] = 4;
  EXPECT_EQ(fault(max, outOfRange), "the second operation gives no element at 2,3");
}

// The factor of a file with these tables, as gencount reads it.
lattice::ByteFactor FactorOf(const OperationTables& t, bool meetFirst) {
  auto p = MakeProduct<203>(t, EquTables(1), meetFirst);
  lattice::ByteFactor factor = lattice::FlatFactorOf(p->factorA, p->sizeA);
  EXPECT_TRUE(lattice::CheckFactor(factor).bounds.has_value());
  return factor;
}

// Whether each quadruple of elements generates the factor, by the closure:
// entry ((x*s + y)*s + z)*s + w for the factor's s elements.
std::vector<std::uint8_t> GeneratingQuadruples(const lattice::ByteFactor& factor) {
  lattice::FlatClosure<FactorElement> closure(factor);
  const int s = factor.size;
  std::vector<std::uint8_t> generates;
  for (int x = 0; x < s; ++x)
    for (int y = 0; y < s; ++y)
      for (int z = 0; z < s; ++z)
        for (int w = 0; w < s; ++w) {
          const FactorElement xs[4] = {FactorElement(x), FactorElement(y), FactorElement(z), FactorElement(w)};
          generates.push_back(closure.Generates(xs, 4) ? 1 : 0);
        }
  return generates;
}

// The entries of a table that differ from the closure, on every triple in
// every order; with pairs, also the pairs (x <= y) whose set of z differs.
template <int W>
int Mismatches(lattice::FactorExtensions<W>& ext, const std::vector<std::uint8_t>& generates, int s, bool pairs) {
  int mismatches = 0;
  std::size_t at = 0;
  for (int x = 0; x < s; ++x)
    for (int y = 0; y < s; ++y)
      for (int z = 0; z < s; ++z) {
        bool someW = false;
        for (int w = 0; w < s; ++w) {
          const bool full = generates[at++] != 0;
          someW = someW || full;
          mismatches += ext.Triple(x, y, z).Has(w) != full;
        }
        if (pairs && x <= y) mismatches += ext.PairSorted(x, y).Has(z) != someW;
      }
  return mismatches;
}

TEST(FactorExtensions, MatchTheClosureOnEveryTriple) {
  for (int k = 1; k <= 4; ++k) {
    for (const Variant& v : Variants) {
      SCOPED_TRACE(std::to_string(k) + " " + v.label);
      const lattice::ByteFactor factor = FactorOf(EquTables(k, v.seedA), v.meetFirst);
      auto eager = std::make_unique<lattice::FactorExtensions<1>>();
      auto lazy = std::make_unique<lattice::FactorExtensions<4>>();
      auto bySymmetry = std::make_unique<lattice::FactorExtensions<4>>();
      eager->Build(factor);
      lazy->BuildLazily(factor);
      bySymmetry->BuildBySymmetry(factor);
      const std::vector<std::uint8_t> generates = GeneratingQuadruples(factor);
      EXPECT_EQ(Mismatches(*eager, generates, factor.size, true), 0);
      EXPECT_EQ(Mismatches(*lazy, generates, factor.size, false), 0);
      EXPECT_EQ(Mismatches(*bySymmetry, generates, factor.size, true), 0);
    }
  }
}

// The orbit search's special cases seen through the table built from it:
// sets of one, two and three elements that generate (the chains of one and
// two, M3, the Boolean lattice of 8), no generating set of four (M7: seven
// elements lie in every generating set), more automorphisms than are listed
// (M8: 8!), and few of them (the pentagon, the chain of five).
TEST(FactorExtensions, BySymmetryMatchTheClosureOnOtherLattices) {
  const struct {
    const char* label;
    OperationTables tables;
  } cases[] = {
      {"C1", testsupport::Chain(1)}, {"C2", testsupport::Chain(2)}, {"C5", Chain5()},   {"M3", testsupport::M(3)},
      {"M7", testsupport::M(7)},     {"M8", testsupport::M(8)},     {"N5", Pentagon()}, {"B3", testsupport::Boolean(3)},
  };
  for (const auto& c : cases) {
    for (const bool meetFirst : {false, true}) {
      SCOPED_TRACE(std::string(c.label) + (meetFirst ? ", meet first" : ", join first"));
      const lattice::ByteFactor factor = FactorOf(c.tables, meetFirst);
      auto eager = std::make_unique<lattice::FactorExtensions<1>>();
      auto bySymmetry = std::make_unique<lattice::FactorExtensions<4>>();
      eager->Build(factor);
      bySymmetry->BuildBySymmetry(factor);
      const std::vector<std::uint8_t> generates = GeneratingQuadruples(factor);
      EXPECT_EQ(Mismatches(*eager, generates, factor.size, true), 0);
      EXPECT_EQ(Mismatches(*bySymmetry, generates, factor.size, true), 0);
    }
  }
}

// Equ(5): the table from the generating sets equals the one by closures on
// every triple and every pair (the latter is checked against the closure
// below and by every count).
TEST(FactorExtensions, BySymmetryEqualsTheTableByClosuresOfEqu5) {
  for (const Variant& v : Variants) {
    SCOPED_TRACE(v.label);
    const lattice::ByteFactor factor = FactorOf(EquTables(5, v.seedA), v.meetFirst);
    auto eager = std::make_unique<lattice::FactorExtensions<1>>();
    auto bySymmetry = std::make_unique<lattice::FactorExtensions<1>>();
    eager->Build(factor);
    bySymmetry->BuildBySymmetry(factor);
    const int s = factor.size;
    int mismatches = 0, nonEmpty = 0;
    for (int x = 0; x < s; ++x)
      for (int y = x; y < s; ++y) {
        mismatches += eager->PairSorted(x, y).word != bySymmetry->PairSorted(x, y).word;
        for (int z = y; z < s; ++z) {
          mismatches += eager->TripleSorted(x, y, z).word != bySymmetry->TripleSorted(x, y, z).word;
          nonEmpty += !eager->TripleSorted(x, y, z).Empty();
        }
      }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(nonEmpty, 0);
  }
}

TEST(FactorExtensions, MatchTheClosureOnSampledTriplesOfEqu5AndEqu6) {
  for (int k : {5, 6}) {
    const lattice::ByteFactor factor = FactorOf(EquTables(k, 77), k == 6);
    auto ext = std::make_unique<lattice::FactorExtensions<4>>();
    ext->Build(factor);  // by closures for EquTables(5), from the generating sets for EquTables(6)
    lattice::FlatClosure<FactorElement> closure(factor);
    optables::SplitMix64 random(k);
    const int s = factor.size;
    int mismatches = 0, generating = 0;
    for (int sample = 0; sample < (k == 5 ? 300 : 40); ++sample) {
      const int x = static_cast<int>(random.Below(s)), y = static_cast<int>(random.Below(s));
      const int z = static_cast<int>(random.Below(s));
      for (int w = 0; w < s; ++w) {
        const FactorElement xs[4] = {FactorElement(x), FactorElement(y), FactorElement(z), FactorElement(w)};
        const bool generates = closure.Generates(xs, 4);
        generating += generates;
        mismatches += ext->Triple(x, y, z).Has(w) != generates;
      }
    }
    EXPECT_EQ(mismatches, 0) << k;
    EXPECT_GT(generating, 0) << k;
  }
}

// Equ(6), the factor the table from the generating sets is for, against the
// table filled triple by triple by closures: every triple of sampled pairs
// (with both operation orders and a repeated element among them), and the
// pair table.
TEST(FactorExtensions, BySymmetryMatchTheClosuresOnSampledPairsOfEqu6) {
  for (const Variant& v : {Variants[0], Variants[3]}) {
    SCOPED_TRACE(v.label);
    const lattice::ByteFactor factor = FactorOf(EquTables(6, v.seedA), v.meetFirst);
    auto bySymmetry = std::make_unique<lattice::FactorExtensions<4>>();
    auto lazy = std::make_unique<lattice::FactorExtensions<4>>();
    bySymmetry->Build(factor);
    lazy->BuildLazily(factor);
    optables::SplitMix64 random(v.meetFirst ? 61 : 60);
    const int s = factor.size;
    int mismatches = 0, generating = 0, pairsWithZ = 0;
    for (int sample = 0; sample < 8; ++sample) {
      int x = static_cast<int>(random.Below(s));
      int y = sample == 0 ? x : static_cast<int>(random.Below(s));
      if (x > y) std::swap(x, y);
      for (int z = 0; z < s; ++z) {
        const lattice::ElementSet<4>& closed = lazy->Triple(x, y, z);
        mismatches += closed.word != bySymmetry->Triple(x, y, z).word;
        mismatches += bySymmetry->PairSorted(x, y).Has(z) == closed.Empty();
        pairsWithZ += !closed.Empty();
        closed.ForEachFrom(0, [&](std::int32_t) { ++generating; });
      }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(pairsWithZ, 0);
    EXPECT_GT(generating, 0);
  }
}

TEST(FastGeneratingTest, AgreesWithTheClosureOnEverySubsetOfSmallProducts) {
  for (const auto& [n, m] : SmallProducts) {
    for (const Variant& v : Variants) {
      SCOPED_TRACE(std::to_string(n) + "x" + std::to_string(m) + " " + v.label);
      auto p = MakeProduct<52>(EquTables(n, v.seedA), EquTables(m, v.seedB), v.meetFirst);
      ExpectSameOnEverySubset(*p);
    }
  }
}

TEST(FastGeneratingTest, AgreesWithTheClosureOnOtherLattices) {
  const struct {
    const char* label;
    OperationTables a, b;
  } cases[] = {
      {"N5 x N5", Pentagon(), Pentagon()},
      {"C5 x EquTables(3)", Chain5(), EquTables(3, 4)},
      {"N5 x EquTables(3)", Pentagon(), EquTables(3)},
      {"EquTables(2) x N5", EquTables(2), Pentagon()},
  };
  for (const auto& c : cases) {
    for (const bool meetFirst : {false, true}) {
      SCOPED_TRACE(std::string(c.label) + (meetFirst ? ", meet first" : ", join first"));
      auto p = MakeProduct<52>(c.a, c.b, meetFirst);
      ExpectSameOnEverySubset(*p);
    }
  }
}

TEST(FastGeneratingTest, AgreesWithTheClosureOnASampleOf3x4And4x3) {
  for (const auto& [n, m] : {std::pair{3, 4}, std::pair{4, 3}}) {
    for (const Variant& v : {Variants[0], Variants[3]}) {
      SCOPED_TRACE(std::to_string(n) + "x" + std::to_string(m) + " " + v.label);
      auto p = MakeProduct<52>(EquTables(n, v.seedA), EquTables(m, v.seedB), v.meetFirst);
      EXPECT_GT(ExpectSameOnEverySubset(*p, 61), 0);
    }
  }
}

// The factor tests of gensample's large factors on random 4-sets (elements
// may repeat), against the plain closure: Equ(5) and Equ(6) by size (the
// refutation, then the byte-table or the incremental closure) and by the
// refutation and the incremental closure, in two numberings and both
// operation orders.
TEST(FastGeneratingTest, FactorTestsAgreeWithTheClosureOnRandomSetsOfEqu5AndEqu6) {
  for (const int k : {5, 6}) {
    for (const Variant& v : {Variants[0], Variants[3]}) {
      SCOPED_TRACE(std::to_string(k) + " " + v.label);
      const lattice::ByteFactor factor = FactorOf(EquTables(k, v.seedA), v.meetFirst);
      lattice::FactorGenerationTest bySize(factor);
      lattice::FactorGenerationTest refuting(factor, lattice::FactorTestRoute::Refuting);
      lattice::FlatClosure<FactorElement> closure(factor);
      optables::SplitMix64 random(static_cast<std::uint64_t>(k) * 10 + (v.meetFirst ? 1 : 0));
      const int samples = testsupport::UnderAddressSanitizer ? 20000 : 100000;
      int mismatches = 0, generating = 0;
      for (int sample = 0; sample < samples; ++sample) {
        FactorElement xs[4];
        for (FactorElement& x : xs)
          x = static_cast<FactorElement>(random.Below(static_cast<std::uint64_t>(factor.size)));
        const bool full = closure.Generates(xs, 4);
        generating += full;
        mismatches += bySize.Generates(xs) != full;
        mismatches += refuting.Generates(xs) != full;
      }
      EXPECT_EQ(mismatches, 0);
      EXPECT_GT(generating, samples / 200);  // about 2 % generate
    }
  }
}

TEST(FastGeneratingTest, FallsBackToTheClosureForTablesThatAreNoLattice) {
  auto p = MakeProduct<52>(EquTables(2), EquTables(3), false);
  // Commutative, but 2 v 3 = 2 breaks the lattice laws.
  p->factorB.firstOp[2][3] = p->factorB.firstOp[3][2] = 2;
  lattice::GeneratingTest<52> fast(*p);
  EXPECT_FALSE(fast.Shortcuts());
  ForEverySubset(p->productSize, [&](const std::int32_t(&index)[4]) {
    const bool full = lattice::SeedAndClose(*p, index);
    EXPECT_EQ(fast.Generates(index), full);
  });
  RecordedProgress progress;
  RecordedProgress plainProgress;
  EXPECT_EQ(gencount::CountGeneratingSubsets(*p, progress), gencount::CountGeneratingSubsetsPlain(*p, plainProgress));
}

TEST(RangeSkippingCount, SameCountAndProgressAsSubsetBySubset) {
  for (const auto& [n, m] : SmallProducts) {
    for (const Variant& v : Variants) {
      SCOPED_TRACE(std::to_string(n) + "x" + std::to_string(m) + " " + v.label);
      auto p = MakeProduct<52>(EquTables(n, v.seedA), EquTables(m, v.seedB), v.meetFirst);
      RecordedProgress fast, plain;
      const std::uint64_t count = gencount::CountGeneratingSubsets(*p, fast);
      EXPECT_EQ(count, gencount::CountGeneratingSubsetsPlain(*p, plain));
      EXPECT_EQ(fast.points, plain.points);
      EXPECT_EQ(fast.points, ExpectedPoints(p->productSize));
    }
  }
  for (const bool meetFirst : {false, true}) {
    auto p = MakeProduct<52>(Pentagon(), Chain5(), meetFirst);
    RecordedProgress fast, plain;
    EXPECT_EQ(gencount::CountGeneratingSubsets(*p, fast), gencount::CountGeneratingSubsetsPlain(*p, plain));
    EXPECT_EQ(fast.points, plain.points);
  }
}

// The plain path for a second factor (sets of four words, tables filled
// triple by triple by closures), taken on small products.
TEST(RangeSkippingCount, LazySecondFactorTablesGiveTheSameCountAndProgress) {
  for (const auto& [n, m] : {std::pair{2, 3}, std::pair{3, 3}, std::pair{4, 2}, std::pair{3, 4}, std::pair{2, 5}}) {
    for (const Variant& v : {Variants[0], Variants[3]}) {
      SCOPED_TRACE(std::to_string(n) + "x" + std::to_string(m) + " " + v.label);
      auto p = MakeProduct<52>(EquTables(n, v.seedA), EquTables(m, v.seedB), v.meetFirst);
      RecordedProgress eager, lazy;
      EXPECT_EQ(gencount::CountGeneratingSubsets(*p, lazy, gencount::SecondFactorTables::Lazy),
                gencount::CountGeneratingSubsets(*p, eager));
      EXPECT_EQ(lazy.points, eager.points);
    }
  }
}

// The path of EquTables(6) as second factor (sets of four words, tables from
// the generating sets up to symmetry), taken on small products and against
// other lattices.
TEST(RangeSkippingCount, SecondFactorTablesBySymmetryGiveTheSameCountAndProgress) {
  for (const auto& [n, m] : {std::pair{2, 3}, std::pair{3, 3}, std::pair{4, 2}, std::pair{3, 4}, std::pair{2, 5}}) {
    for (const Variant& v : {Variants[0], Variants[3]}) {
      SCOPED_TRACE(std::to_string(n) + "x" + std::to_string(m) + " " + v.label);
      auto p = MakeProduct<52>(EquTables(n, v.seedA), EquTables(m, v.seedB), v.meetFirst);
      RecordedProgress eager, bySymmetry;
      EXPECT_EQ(gencount::CountGeneratingSubsets(*p, bySymmetry, gencount::SecondFactorTables::BySymmetry),
                gencount::CountGeneratingSubsets(*p, eager));
      EXPECT_EQ(bySymmetry.points, eager.points);
    }
  }
  for (const bool meetFirst : {false, true}) {
    auto p = MakeProduct<52>(EquTables(3), Pentagon(), meetFirst);
    RecordedProgress bySymmetry, plain;
    EXPECT_EQ(gencount::CountGeneratingSubsets(*p, bySymmetry, gencount::SecondFactorTables::BySymmetry),
              gencount::CountGeneratingSubsetsPlain(*p, plain));
    EXPECT_EQ(bySymmetry.points, plain.points);
  }
}

TEST(ElementSet, ForEachFromVisitsTheElementsFromThereInOrder) {
  lattice::ElementSet<4> set{};
  const std::vector<int> elements = {0, 1, 62, 63, 64, 99, 127, 128, 189, 202, 255};
  for (int x : elements) set.Add(x);
  for (int from : {0, 1, 2, 63, 64, 65, 128, 129, 202, 203, 255}) {
    std::vector<int> seen, expected;
    set.ForEachFrom(from, [&](std::int32_t x) { seen.push_back(x); });
    for (int x : elements) {
      if (x >= from) expected.push_back(x);
    }
    EXPECT_EQ(seen, expected) << from;
  }
  EXPECT_FALSE(set.Empty());
  EXPECT_TRUE(lattice::ElementSet<4>{}.Empty());
}

TEST(RangeSkippingCount, KnownCountsOfLargerProducts) {
  const struct { int n, m; } known[] = {{3, 4}, {4, 3}, {2, 5}, {5, 2}};
  for (const auto& c : known) {
    for (const Variant& v : {Variants[0], Variants[3]}) {
      SCOPED_TRACE(std::to_string(c.n) + "x" + std::to_string(c.m) + " " + v.label);
      auto p = MakeProduct<52>(EquTables(c.n, v.seedA), EquTables(c.m, v.seedB), v.meetFirst);
      RecordedProgress progress;
      // A x B and B x A are isomorphic: the table may list only one order.
      EXPECT_EQ(gencount::CountGeneratingSubsets(*p, progress),
                testsupport::KnownCountOf(std::min(c.n, c.m), std::max(c.n, c.m)));
      EXPECT_EQ(progress.points, ExpectedPoints(p->productSize));
    }
  }
}

// The products with Equ(6) that gencount takes in seconds, whole: their
// known counts and every progress point.
TEST(RangeSkippingCount, KnownCountsOfProductsWithEqu6) {
  for (const int n : {1, 2}) {
    const Variant& v = Variants[n == 1 ? 0 : 3];
    SCOPED_TRACE(std::to_string(n) + "x6 " + v.label);
    auto p = MakeProduct<52>(EquTables(n, v.seedA), EquTables(6, v.seedB), v.meetFirst);
    RecordedProgress progress;
    EXPECT_EQ(gencount::CountGeneratingSubsets(*p, progress), testsupport::KnownCountOf(n, 6));
    EXPECT_EQ(progress.points, ExpectedPoints(p->productSize));
  }
}

}  // namespace
